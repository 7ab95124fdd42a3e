// Core results to plain Python objects.
#include "results.hpp"

#include "convert.hpp"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace vorn::py {

namespace {

// The cache of cached_text_to_python: open addressing on an FNV-1a hash of
// the text, a few probes, entries kept once made.
constexpr size_t kSlots = 256;
constexpr size_t kProbes = 4;
constexpr size_t kMaxCachedText = 23;

struct TextSlot {
    PyObject* obj;
    uint8_t len;
    char text[kMaxCachedText];
};
TextSlot g_texts[kSlots];

size_t text_hash(std::string_view t) {
    uint32_t h = 2166136261u;
    for (char c : t) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
    return h;
}

}  // namespace

PyObject* cached_text_to_python(std::string_view t) {
    if (t.size() > kMaxCachedText) return text_to_python(t);
    const size_t h = text_hash(t);
    TextSlot* free_slot = nullptr;
    for (size_t p = 0; p < kProbes; ++p) {
        TextSlot& slot = g_texts[(h + p) % kSlots];
        if (slot.obj == nullptr) {
            if (free_slot == nullptr) free_slot = &slot;
            continue;
        }
        if (slot.len == t.size() && std::memcmp(slot.text, t.data(), t.size()) == 0) return Py_NewRef(slot.obj);
    }
    PyObject* obj = text_to_python(t);
    if (obj != nullptr && free_slot != nullptr) {
        free_slot->obj = Py_NewRef(obj);
        free_slot->len = static_cast<uint8_t>(t.size());
        std::memcpy(free_slot->text, t.data(), t.size());
    }
    return obj;
}

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
            PyRef key(cached_text_to_python(it.key()));
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
