// Conversion of Python argument values and dict fields to core values.
//
// Every converter returns true on success, or false with the Python error
// set (TypeError for a wrong Python type, OverflowError for an integer out
// of range, ValueError for a value the core refuses).
//
// `argname` names the parameter in messages: "argument 's': 'int' object
// cannot be converted to 'str'". Pass nullptr for dict fields; the message
// then has no "argument" prefix.
//
// The to_optional_ converters accept nullptr (what bind_args writes for an
// omitted optional parameter) and None as "absent" and leave *out empty.
//
// Values written into std::string_view outputs point into the Python object
// and stay valid as long as that object is alive (arguments live for the
// whole call; dict values are held by a PyRef from dict_get).
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "errors.hpp"
#include "types/types.hpp"

namespace vorn::py {

// An owned (strong) reference, released on destruction.
class PyRef {
public:
    PyRef() = default;
    explicit PyRef(PyObject* owned) : p_(owned) {}
    static PyRef borrow(PyObject* borrowed) {
        Py_XINCREF(borrowed);
        return PyRef(borrowed);
    }
    PyRef(const PyRef&) = delete;
    PyRef& operator=(const PyRef&) = delete;
    PyRef(PyRef&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    PyRef& operator=(PyRef&& o) noexcept {
        if (this != &o) {
            Py_XDECREF(p_);
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }
    ~PyRef() { Py_XDECREF(p_); }
    PyObject* get() const { return p_; }
    PyObject* release() {
        PyObject* r = p_;
        p_ = nullptr;
        return r;
    }
    explicit operator bool() const { return p_ != nullptr; }

private:
    PyObject* p_ = nullptr;
};

// ---- dict access ----

// The value under `key` (static storage, as for key_object) as a strong reference, or an empty PyRef when the key
// is absent. A strong reference keeps the value alive even if user code run
// by a later conversion (a __float__, say) mutates the dict.
PyRef dict_get(PyObject* dict, const char* key);

// The interned str objects of C keys, found by the key's address: every key
// is a string literal or lives in static storage, so each address names one
// text for the life of the process and each str is made once, not once per
// lookup. Open addressing; only touched with the GIL.
struct KeySlot {
    const char* text;
    PyObject* obj;
};
inline constexpr size_t kKeySlots = 512;
extern KeySlot key_slots[kKeySlots];
inline size_t key_slot_index(const char* key) {
    return static_cast<size_t>((reinterpret_cast<uintptr_t>(key) * 0x9E3779B97F4A7C15ull) >> 55);
}
PyObject* key_object_slow(const char* key);

// The interned str of a key (borrowed; kept for the life of the process), or
// nullptr with an exception set. The key must be a string literal or live in
// static storage: its address identifies it.
inline PyObject* key_object(const char* key) {
    const KeySlot& slot = key_slots[key_slot_index(key)];
    return slot.text == key ? slot.obj : key_object_slow(key);
}
inline bool dict_has(PyObject* dict, const char* key) { return static_cast<bool>(dict_get(dict, key)); }

// ---- scalars ----

// str or a subclass, read as UTF-8.
bool to_text(PyObject* obj, const char* argname, std::string_view* out);
bool to_string(PyObject* obj, const char* argname, std::string* out);
bool to_optional_text(PyObject* obj, const char* argname, std::optional<std::string_view>* out);

// int or any object with __index__; negative or too large gives the
// interpreter's OverflowError, anything else TypeError.
bool to_u64(PyObject* obj, const char* argname, uint64_t* out);
bool to_optional_u64(PyObject* obj, const char* argname, std::optional<uint64_t>* out);
// Out of range: OverflowError "out of range integral type conversion attempted".
bool to_u32(PyObject* obj, const char* argname, uint32_t* out);
bool to_u8(PyObject* obj, const char* argname, uint8_t* out);
bool to_i16(PyObject* obj, const char* argname, int16_t* out);

// float, int or anything with __float__ / __index__. Exceptions raised by
// the object's own conversion propagate unchanged.
bool to_f64(PyObject* obj, const char* argname, double* out);
bool to_optional_f64(PyObject* obj, const char* argname, std::optional<double>* out);

// bool only (int refused); a NumPy boolean scalar is read through its
// __bool__ slot.
bool to_strict_bool(PyObject* obj, const char* argname, bool* out);

// Never fail: True (or a true NumPy boolean) gives true, anything else false.
bool lenient_bool(PyObject* obj);
// Never fails: False gives false, anything else true.
bool lenient_market_flag(PyObject* obj);
// Never fail: a value that does not convert to a double gives NaN / nothing.
double number_or_nan(PyObject* obj);
std::optional<double> number_or_none(PyObject* obj);
// Never fails: a value that does not convert gives 0.0.
double number_or_zero(PyObject* obj);

// bytes (or a subclass) only; the view points into the object.
bool to_bytes(PyObject* obj, const char* argname, std::string_view* out);

// Type checks only; `obj` must be a dict / list (or a subclass).
bool check_dict(PyObject* obj, const char* argname);
bool check_list(PyObject* obj, const char* argname);

// ---- sequences ----

// bytes, or a list or tuple of ints 0..255. A str raises TypeError
// "Can't extract `str` to `Vec`"; an element out of range OverflowError.
bool to_byte_list(PyObject* obj, const char* argname, std::vector<uint8_t>* out);
// A list or tuple of str. A str itself raises "Can't extract `str` to `Vec`".
bool to_text_list(PyObject* obj, const char* argname, std::vector<std::string>* out);

// A sequence (not a str) whose items are tuples of exactly `arity` members.
// On success `holder` keeps the sequence alive and `items` holds borrowed
// pointers to the tuples, in order. Messages: "Can't extract `str` to `Vec`";
// "expected tuple of length 2, but got tuple of length 3".
bool to_tuple_sequence(PyObject* obj, const char* argname, Py_ssize_t arity, PyRef* holder,
                       std::vector<PyObject*>* items);

// ---- core values ----

// The value of a core result, or its error raised as ValueError.
template <class T>
bool store(vorn::Result<T> r, T* out) {
    if (!r) {
        raise_core_error(r.error());
        return false;
    }
    *out = std::move(*r);
    return true;
}

// Decode base58 text; the core's error becomes ValueError.
bool decode_pubkey(std::string_view text, vorn::Pubkey* out);
bool decode_hash(std::string_view text, vorn::Hash* out);
bool decode_domain(std::string_view text, vorn::SignatureDomain* out);

// None and nullptr (omitted) give an empty optional; anything else goes
// through `convert`, one of the converters above.
template <class T, class Convert>
bool to_optional(PyObject* obj, const char* argname, std::optional<T>* out, Convert convert) {
    out->reset();
    if (obj == nullptr || obj == Py_None) return true;
    T v{};
    if (!convert(obj, argname, &v)) return false;
    *out = std::move(v);
    return true;
}

// Raises the TypeError "argument 'x': 'int' object cannot be converted to
// 'str'" (without the argument prefix when argname is nullptr) and returns
// false.
bool wrong_type(PyObject* obj, const char* argname, const char* expected);

// The Python type name of an object, for messages, as the interpreter's own
// messages give it: "int", "numpy.float64".
std::string type_name(PyObject* obj);

}  // namespace vorn::py
