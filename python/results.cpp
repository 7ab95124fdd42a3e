// Core results to plain Python objects.
#include "results.hpp"

#include "convert.hpp"

#include <string_view>
#include <unordered_map>

namespace vorn::py {

namespace {

// The str objects of the keys of action JSON objects, made once by text: the
// same few dozen names come back in every result. Bounded, since keys can
// also be names the caller chose; beyond the bound keys are made each time.
// The objects are the module's own, never interned: interning could hand
// back (and keep alive) a str the caller owns. The map's views point into
// the objects, which the map keeps alive. Only touched with the GIL.
constexpr size_t kMaxJsonKeys = 256;

PyObject* json_key_to_python(const std::string& key) {
    static std::unordered_map<std::string_view, PyObject*> cache;
    if (auto it = cache.find(key); it != cache.end()) return Py_NewRef(it->second);
    PyObject* obj = text_to_python(key);
    if (obj == nullptr || cache.size() >= kMaxJsonKeys) return obj;
    // The str's own UTF-8 text, which lives as long as the str.
    Py_ssize_t len = 0;
    const char* text = PyUnicode_AsUTF8AndSize(obj, &len);
    if (text == nullptr) {
        Py_DECREF(obj);
        return nullptr;
    }
    cache.emplace(std::string_view(text, static_cast<size_t>(len)), Py_NewRef(obj));
    return obj;
}

}  // namespace

bool set_item(PyObject* d, const char* key, PyObject* value) {
    PyRef v(value);
    if (!v) return false;
    PyObject* k = key_object(key);
    if (k == nullptr) {
        PyErr_Clear();
        return PyDict_SetItemString(d, key, v.get()) == 0;
    }
    return PyDict_SetItem(d, k, v.get()) == 0;
}

PyObject* text_to_python(std::string_view text) {
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

PyObject* ascii_to_python(std::string_view text) {
    return PyUnicode_DecodeLatin1(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr);
}

PyObject* literal_to_python(const char* literal) {
    // The module's own str per literal, not interned (interning could hand
    // back, and keep alive, a str the caller owns). Only touched with the GIL.
    struct Slot {
        const char* literal;
        PyObject* obj;
    };
    static Slot slots[16];
    for (Slot& slot : slots) {
        if (slot.literal == literal) return Py_NewRef(slot.obj);
        if (slot.literal == nullptr) {
            PyObject* obj = PyUnicode_FromString(literal);
            if (obj == nullptr) return nullptr;
            slot = {literal, Py_NewRef(obj)};
            return obj;
        }
    }
    return PyUnicode_FromString(literal);
}

PyObject* key_text_to_python(const std::string& text) {
    static std::string last_text;
    static PyObject* last = nullptr;
    if (last != nullptr && text == last_text) return Py_NewRef(last);
    PyObject* obj = text_to_python(text);
    if (obj == nullptr) return nullptr;
    last_text = text;
    Py_XDECREF(last);
    last = Py_NewRef(obj);
    return obj;
}

PyObject* text_list_to_python(const std::vector<std::string>& texts) {
    return list_to_python(texts, [](const std::string& s) { return text_to_python(s); });
}

PyObject* bytes_to_python(const std::vector<uint8_t>& bytes) {
    return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(bytes.data()),
                                     static_cast<Py_ssize_t>(bytes.size()));
}

PyObject* json_to_python(const nlohmann::json& value) {
    using T = nlohmann::json::value_t;
    switch (value.type()) {
    case T::null:
    case T::discarded: Py_RETURN_NONE;
    case T::boolean: return PyBool_FromLong(value.get<bool>());
    case T::number_integer: return PyLong_FromLongLong(value.get<int64_t>());
    case T::number_unsigned: {
        uint64_t u = value.get<uint64_t>();
        // Beyond the signed 64-bit range an unsigned integer becomes the
        // nearest double, as a float.
        if (u > static_cast<uint64_t>(INT64_MAX)) return PyFloat_FromDouble(static_cast<double>(u));
        return PyLong_FromUnsignedLongLong(u);
    }
    case T::number_float: return PyFloat_FromDouble(value.get<double>());
    case T::string: return text_to_python(value.get_ref<const std::string&>());
    case T::array: return json_list_to_python(value.get_ref<const nlohmann::json::array_t&>());
    case T::object: {
        PyRef dict(PyDict_New());
        if (!dict) return nullptr;
        for (auto it = value.begin(); it != value.end(); ++it) {
            PyRef key(json_key_to_python(it.key()));
            if (!key) return nullptr;
            PyRef item(json_to_python(it.value()));
            if (!item || PyDict_SetItem(dict.get(), key.get(), item.get()) < 0) return nullptr;
        }
        return dict.release();
    }
    case T::binary: break;
    }
    Py_RETURN_NONE;
}

PyObject* json_list_to_python(const std::vector<nlohmann::json>& values) {
    return list_to_python(values, json_to_python);
}

}  // namespace vorn::py
