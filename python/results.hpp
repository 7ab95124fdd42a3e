// Core results to Python objects. Every function returns a new reference, or
// nullptr with the Python error set (only when the interpreter cannot
// allocate).
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace vorn::py {

// JSON value to Python: null None, booleans bool, integers int (unsigned
// values of 2^63 or more become float), floats float, strings str, arrays
// list, objects dict in the object's own (sorted) key order.
PyObject* json_to_python(const nlohmann::json& value);
// A list of JSON values as a Python list.
PyObject* json_list_to_python(const std::vector<nlohmann::json>& values);

// UTF-8 text as str.
PyObject* text_to_python(std::string_view text);
// The same, shared: the str objects of short texts that come back in every
// result (JSON keys, symbols, names) are made once and handed out again.
// Bounded; a text that finds its slots taken is made each time. The objects
// are the module's own, never interned (interning could hand back, and keep
// alive, a str the caller owns). Only called with the GIL.
PyObject* cached_text_to_python(std::string_view text);
// Text known to be ASCII (base58, base64, hex) as str, without decoding.
PyObject* ascii_to_python(std::string_view text);
// A string literal (static storage) as str: the same object for the same
// literal every time.
PyObject* literal_to_python(const char* literal);
// A list of str.
PyObject* text_list_to_python(const std::vector<std::string>& texts);
// Raw bytes as bytes.
PyObject* bytes_to_python(const std::vector<uint8_t>& bytes);

// A list with `convert(item)` (a new reference, or nullptr on failure) for
// each item, in order.
template <class T, class F>
PyObject* list_to_python(const std::vector<T>& items, F&& convert) {
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(items.size()));
    if (list == nullptr) return nullptr;
    for (size_t i = 0; i < items.size(); ++i) {
        PyObject* item = convert(items[i]);
        if (item == nullptr) {
            Py_DECREF(list);
            return nullptr;
        }
        PyList_SetItem(list, static_cast<Py_ssize_t>(i), item);  // steals item
    }
    return list;
}

// Sets d[key] = value and releases value; false (with the error set) when
// value is nullptr, its construction having failed, or the dict refuses it.
bool set_item(PyObject* d, const char* key, PyObject* value);

// The str of a key's base58 text; the last one made is kept and handed out
// again for the same text (a signer's own account and key come back on
// every call). Only called with the GIL.
PyObject* key_text_to_python(const std::string& text);

// An empty dict for size keys.
inline PyObject* new_dict(Py_ssize_t) { return PyDict_New(); }

}  // namespace vorn::py
