// Core results to plain Python objects.
#include "results.hpp"

#include "convert.hpp"
#include "errors.hpp"

namespace vorn::py {

bool set_item(PyObject* d, const char* key, PyObject* value) {
    PyRef v(value);
    return v && PyDict_SetItemString(d, key, v.get()) == 0;
}

PyObject* text_to_python(std::string_view text) {
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

PyObject* text_list_to_python(const std::vector<std::string>& texts) {
    return list_to_python(texts, [](const std::string& s) { return text_to_python(s); });
}

PyObject* bytes_to_python(const std::vector<uint8_t>& bytes) {
    return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(bytes.data()),
                                     static_cast<Py_ssize_t>(bytes.size()));
}

PyObject* json_to_python(const vorn::json& value) {
    using T = vorn::json::value_t;
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
    case T::array: return json_list_to_python(value.get_ref<const vorn::json::array_t&>());
    case T::object: {
        PyRef dict(PyDict_New());
        if (!dict) return nullptr;
        for (auto it = value.begin(); it != value.end(); ++it) {
            PyRef key(text_to_python(it.key()));
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

PyObject* json_list_to_python(const std::vector<vorn::json>& values) { return list_to_python(values, json_to_python); }

PyObject* signed_transaction_to_python(const vorn::SignedTransaction& tx) {
    PyRef d(PyDict_New());
    if (!d) return nullptr;
    if (!set_item(d.get(), "actions", json_list_to_python(tx.actions)) ||
        !set_item(d.get(), "nonce", PyLong_FromUnsignedLongLong(tx.nonce)) ||
        !set_item(d.get(), "account", text_to_python(tx.account)) ||
        !set_item(d.get(), "signer", text_to_python(tx.signer)) ||
        !set_item(d.get(), "signature", text_to_python(tx.signature))) {
        return nullptr;
    }
    if (tx.order_id && !set_item(d.get(), "order_id", text_to_python(*tx.order_id))) return nullptr;
    if (tx.order_ids && !set_item(d.get(), "order_ids", text_list_to_python(*tx.order_ids))) return nullptr;
    return d.release();
}

PyObject* signed_transactions_to_python(const std::vector<vorn::SignedTransaction>& txs) {
    return list_to_python(txs, signed_transaction_to_python);
}

PyObject* to_python(const std::string& text) { return text_to_python(text); }

PyObject* to_python(bool flag) { return PyBool_FromLong(flag); }

PyObject* to_python(const vorn::Result<vorn::SignedTransaction>& r) {
    if (!r) return raise_core_error(r.error());
    return signed_transaction_to_python(*r);
}

PyObject* to_python(const vorn::Result<std::vector<vorn::SignedTransaction>>& r) {
    if (!r) return raise_core_error(r.error());
    return signed_transactions_to_python(*r);
}

}  // namespace vorn::py
