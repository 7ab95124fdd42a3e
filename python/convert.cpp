// Python values to core values, with the module's conversion messages.
#include "convert.hpp"

#include <cmath>
#include <limits>

#include "errors.hpp"

namespace vorn::py {
namespace {

constexpr const char* kOutOfRange = "out of range integral type conversion attempted";
constexpr const char* kStrToVec = "Can't extract `str` to `Vec`";

bool not_an_integer(PyObject* obj, const char* argname) {
    if (argname != nullptr) {
        PyErr_Format(PyExc_TypeError, "argument '%s': '%s' object cannot be interpreted as an integer", argname,
                     type_name(obj).c_str());
    } else {
        PyErr_Format(PyExc_TypeError, "'%s' object cannot be interpreted as an integer", type_name(obj).c_str());
    }
    return false;
}

bool has_index(PyObject* obj) { return PyType_GetSlot(Py_TYPE(obj), Py_nb_index) != nullptr; }

bool converts_to_double(PyObject* obj) {
    if (PyFloat_Check(obj) || PyLong_Check(obj)) return true;
    return PyType_GetSlot(Py_TYPE(obj), Py_nb_float) != nullptr || has_index(obj);
}

// An int object (a new reference) for obj, or nullptr with TypeError set.
PyObject* as_index(PyObject* obj, const char* argname) {
    if (PyLong_Check(obj)) return Py_NewRef(obj);
    if (!has_index(obj)) {
        not_an_integer(obj, argname);
        return nullptr;
    }
    return PyNumber_Index(obj);
}

// An integer of type T; anything outside its range is the fixed out-of-range
// OverflowError.
template <class T>
bool to_bounded(PyObject* obj, const char* argname, T* out) {
    PyRef num(as_index(obj, argname));
    if (!num) return false;
    int overflow = 0;
    long long v = PyLong_AsLongLongAndOverflow(num.get(), &overflow);
    if (v == -1 && PyErr_Occurred()) return false;
    if (overflow != 0 || v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) {
        PyErr_SetString(PyExc_OverflowError, kOutOfRange);
        return false;
    }
    *out = static_cast<T>(v);
    return true;
}

// NumPy's boolean scalar type: type module numpy, type name bool or bool_.
bool is_numpy_bool(PyObject* obj) {
    PyTypeObject* t = Py_TYPE(obj);
    // The common values are none of it, without asking for a name.
    if (obj == Py_None || t == &PyLong_Type || t == &PyFloat_Type || t == &PyUnicode_Type) return false;
    PyRef name(PyType_GetName(t));
    if (!name) {
        PyErr_Clear();
        return false;
    }
    if (PyUnicode_CompareWithASCIIString(name.get(), "bool") != 0 &&
        PyUnicode_CompareWithASCIIString(name.get(), "bool_") != 0) {
        return false;
    }
    PyRef module(PyObject_GetAttrString(reinterpret_cast<PyObject*>(t), "__module__"));
    if (!module) {
        PyErr_Clear();
        return false;
    }
    return PyUnicode_Check(module.get()) && PyUnicode_CompareWithASCIIString(module.get(), "numpy") == 0;
}

// Reads a NumPy boolean through its __bool__ slot.
bool numpy_bool_value(PyObject* obj, bool* out) {
    auto nb_bool = reinterpret_cast<inquiry>(PyType_GetSlot(Py_TYPE(obj), Py_nb_bool));
    if (nb_bool == nullptr) {
        PyRef name(PyType_GetName(Py_TYPE(obj)));
        if (!name) return false;
        PyErr_Format(PyExc_TypeError, "object of type '%U' does not define a '__bool__' conversion", name.get());
        return false;
    }
    int r = nb_bool(obj);
    if (r < 0) return false;
    *out = r != 0;
    return true;
}

// A tuple (new reference) of the items of a sequence argument that is not a
// str; nullptr with the error set otherwise.
PyObject* as_fast_sequence(PyObject* obj, const char* argname) {
    if (PyUnicode_Check(obj)) {
        PyErr_SetString(PyExc_TypeError, kStrToVec);
        return nullptr;
    }
    // A list could be changed by user code run during the conversion of its
    // elements; a private tuple copy keeps the borrowed items alive.
    if (PyTuple_Check(obj)) return Py_NewRef(obj);
    if (PyList_Check(obj)) return PyList_AsTuple(obj);
    if (!PySequence_Check(obj)) {
        wrong_type(obj, argname, "Sequence");
        return nullptr;
    }
    PyRef fast(PySequence_Fast(obj, "expected a sequence"));
    if (!fast) return nullptr;
    return PyList_Check(fast.get()) ? PyList_AsTuple(fast.get()) : fast.release();
}

// Each item of a sequence (not a str) converted by `convert`, in order;
// `out` is empty.
template <class T, class Convert>
bool to_list(PyObject* obj, const char* argname, std::vector<T>* out, Convert convert) {
    PyRef seq(as_fast_sequence(obj, argname));
    if (!seq) return false;
    Py_ssize_t n = PyTuple_Size(seq.get());
    out->reserve(static_cast<size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i) {
        // Hold the element: its conversion may run user code.
        PyRef item = PyRef::borrow(PyTuple_GetItem(seq.get(), i));
        T v{};
        if (!convert(item.get(), nullptr, &v)) return false;
        out->push_back(std::move(v));
    }
    return true;
}

}  // namespace

bool wrong_type(PyObject* obj, const char* argname, const char* expected) {
    if (argname != nullptr) {
        PyErr_Format(PyExc_TypeError, "argument '%s': '%s' object cannot be converted to '%s'", argname,
                     type_name(obj).c_str(), expected);
    } else {
        PyErr_Format(PyExc_TypeError, "'%s' object cannot be converted to '%s'", type_name(obj).c_str(), expected);
    }
    return false;
}

namespace {

// The text of a str attribute of a type, or "" (no error set) when there is
// none.
std::string type_attr_text(PyTypeObject* t, const char* attr) {
    PyRef value(PyObject_GetAttrString(reinterpret_cast<PyObject*>(t), attr));
    Py_ssize_t len = 0;
    const char* s = value && PyUnicode_Check(value.get()) ? PyUnicode_AsUTF8AndSize(value.get(), &len) : nullptr;
    if (s == nullptr) {
        PyErr_Clear();
        return {};
    }
    return std::string(s, static_cast<size_t>(len));
}

// Whether t was made by a class statement: such classes share one
// deallocator, which no type made by PyType_FromSpec with its own has.
bool made_by_class_statement(PyTypeObject* t) {
    static void* class_dealloc = [] {
        PyRef cls(PyObject_CallFunction(reinterpret_cast<PyObject*>(&PyType_Type), "s()N", "C", PyDict_New()));
        if (!cls) {
            PyErr_Clear();
            return static_cast<void*>(nullptr);
        }
        return PyType_GetSlot(reinterpret_cast<PyTypeObject*>(cls.get()), Py_tp_dealloc);
    }();
    return class_dealloc != nullptr && PyType_GetSlot(t, Py_tp_dealloc) == class_dealloc;
}

}  // namespace

std::string type_name(PyObject* obj) {
    // The name the interpreter's own messages give (the type's tp_name),
    // rebuilt from the type's attributes: a type defined in C carries its
    // module in it unless that is builtins ("int", "numpy.float64"), as does
    // a type made by PyType_FromSpec in a module ("solders.pubkey.Pubkey"); a class
    // statement's type is its bare name.
    PyTypeObject* t = Py_TYPE(obj);
    std::string name = type_attr_text(t, "__name__");
    bool heap = (PyType_GetFlags(t) & Py_TPFLAGS_HEAPTYPE) != 0;
    if (heap && made_by_class_statement(t)) return name;
    std::string module = type_attr_text(t, "__module__");
    if (module.empty() || (!heap && module == "builtins")) return name;
    return module + "." + name;
}

KeySlot key_slots[kKeySlots];

PyObject* key_object_slow(const char* key) {
    size_t h = key_slot_index(key);
    for (size_t n = 0; n < kKeySlots; ++n, h = (h + 1) % kKeySlots) {
        KeySlot& slot = key_slots[h];
        if (slot.text == key) return slot.obj;
        if (slot.text == nullptr) {
            PyObject* obj = PyUnicode_InternFromString(key);
            if (obj == nullptr) return nullptr;
            slot = {key, obj};
            return obj;
        }
    }
    PyErr_Format(PyExc_RuntimeError, "no key object for '%s'", key);
    return nullptr;
}

PyRef dict_get(PyObject* dict, const char* key) {
    PyObject* k = key_object(key);
    if (k == nullptr) {
        PyErr_Clear();
        return PyRef::borrow(PyDict_GetItemString(dict, key));
    }
    return PyRef::borrow(PyDict_GetItem(dict, k));
}

bool to_text(PyObject* obj, const char* argname, std::string_view* out) {
    if (!PyUnicode_Check(obj)) return wrong_type(obj, argname, "str");
    Py_ssize_t len = 0;
    const char* s = PyUnicode_AsUTF8AndSize(obj, &len);
    if (s == nullptr) return false;
    *out = std::string_view(s, static_cast<size_t>(len));
    return true;
}

bool to_string(PyObject* obj, const char* argname, std::string* out) {
    std::string_view v;
    if (!to_text(obj, argname, &v)) return false;
    out->assign(v);
    return true;
}

bool to_optional_text(PyObject* obj, const char* argname, std::optional<std::string_view>* out) {
    return to_optional(obj, argname, out, to_text);
}

bool to_u64(PyObject* obj, const char* argname, uint64_t* out) {
    PyRef num(as_index(obj, argname));
    if (!num) return false;
    unsigned long long v = PyLong_AsUnsignedLongLong(num.get());
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
    *out = static_cast<uint64_t>(v);
    return true;
}

bool to_optional_u64(PyObject* obj, const char* argname, std::optional<uint64_t>* out) {
    return to_optional(obj, argname, out, to_u64);
}

bool to_u32(PyObject* obj, const char* argname, uint32_t* out) { return to_bounded(obj, argname, out); }
bool to_u8(PyObject* obj, const char* argname, uint8_t* out) { return to_bounded(obj, argname, out); }
bool to_i16(PyObject* obj, const char* argname, int16_t* out) { return to_bounded(obj, argname, out); }

bool to_f64(PyObject* obj, const char* argname, double* out) {
    if (PyFloat_CheckExact(obj)) {
        *out = PyFloat_AsDouble(obj);
        return true;
    }
    if (!converts_to_double(obj)) return wrong_type(obj, argname, "float");
    double v = PyFloat_AsDouble(obj);
    if (v == -1.0 && PyErr_Occurred()) return false;
    *out = v;
    return true;
}

bool to_optional_f64(PyObject* obj, const char* argname, std::optional<double>* out) {
    return to_optional(obj, argname, out, to_f64);
}

std::optional<double> number_or_none(PyObject* obj) {
    if (obj == nullptr || !converts_to_double(obj)) return std::nullopt;
    double v = PyFloat_AsDouble(obj);
    if (v == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        return std::nullopt;
    }
    return v;
}

double number_or_nan(PyObject* obj) { return number_or_none(obj).value_or(std::nan("")); }
double number_or_zero(PyObject* obj) { return number_or_none(obj).value_or(0.0); }

bool to_strict_bool(PyObject* obj, const char* argname, bool* out) {
    if (PyBool_Check(obj)) {
        *out = obj == Py_True;
        return true;
    }
    if (is_numpy_bool(obj)) return numpy_bool_value(obj, out);
    return wrong_type(obj, argname, "bool");
}

bool lenient_bool(PyObject* obj) {
    if (obj == Py_True) return true;
    if (obj == nullptr || PyBool_Check(obj) || !is_numpy_bool(obj)) return false;
    bool v = false;
    if (!numpy_bool_value(obj, &v)) {
        PyErr_Clear();
        return false;
    }
    return v;
}

bool lenient_market_flag(PyObject* obj) { return obj != Py_False; }

bool to_bytes(PyObject* obj, const char* argname, std::string_view* out) {
    if (!PyBytes_Check(obj)) return wrong_type(obj, argname, "bytes");
    char* p = nullptr;
    Py_ssize_t len = 0;
    if (PyBytes_AsStringAndSize(obj, &p, &len) < 0) return false;
    *out = std::string_view(p, static_cast<size_t>(len));
    return true;
}

bool check_dict(PyObject* obj, const char* argname) {
    if (!PyDict_Check(obj)) return wrong_type(obj, argname, "dict");
    return true;
}

bool check_list(PyObject* obj, const char* argname) {
    if (!PyList_Check(obj)) return wrong_type(obj, argname, "list");
    return true;
}

bool to_byte_list(PyObject* obj, const char* argname, std::vector<uint8_t>* out) {
    out->clear();
    if (PyBytes_Check(obj)) {
        std::string_view b;
        if (!to_bytes(obj, argname, &b)) return false;
        out->assign(b.begin(), b.end());
        return true;
    }
    return to_list(obj, argname, out, to_u8);
}

bool to_text_list(PyObject* obj, const char* argname, std::vector<std::string>* out) {
    out->clear();
    return to_list(obj, argname, out, to_string);
}

bool to_tuple_sequence(PyObject* obj, const char* argname, Py_ssize_t arity, PyRef* holder,
                       std::vector<PyObject*>* items) {
    items->clear();
    PyRef seq(as_fast_sequence(obj, argname));
    if (!seq) return false;
    Py_ssize_t n = PyTuple_Size(seq.get());
    items->reserve(static_cast<size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject* t = PyTuple_GetItem(seq.get(), i);
        if (!PyTuple_Check(t)) return wrong_type(t, nullptr, "tuple");
        Py_ssize_t len = PyTuple_Size(t);
        if (len != arity) {
            PyErr_Format(PyExc_ValueError, "expected tuple of length %zd, but got tuple of length %zd", arity, len);
            return false;
        }
        items->push_back(t);
    }
    *holder = std::move(seq);
    return true;
}

bool decode_pubkey(std::string_view text, vorn::Pubkey* out) {
    // The last text decoded and its key, kept: a caller names the same
    // account call after call. Only called with the GIL.
    static std::string last_text;
    static vorn::Pubkey last_key;
    if (!last_text.empty() && text == last_text) {
        *out = last_key;
        return true;
    }
    if (!store(vorn::Pubkey::from_base58(text), out)) return false;
    last_text.assign(text);
    last_key = *out;
    return true;
}
bool decode_hash(std::string_view text, vorn::Hash* out) { return store(vorn::Hash::from_base58(text), out); }
bool decode_domain(std::string_view text, vorn::SignatureDomain* out) {
    return store(vorn::signature_domain_from_str(text), out);
}

}  // namespace vorn::py
