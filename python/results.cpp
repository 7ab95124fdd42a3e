// Core results to plain Python objects.
#include "results.hpp"

#include "convert.hpp"
#include "errors.hpp"

namespace vorn::py {
namespace {

// Sets d[key] = value, taking ownership of value.
bool set_item(PyObject* d, const char* key, PyObject* value) {
    PyRef v(value);
    return v && PyDict_SetItemString(d, key, v.get()) == 0;
}

PyObject* text_list(const std::vector<std::string>& texts) {
    PyRef list(PyList_New(static_cast<Py_ssize_t>(texts.size())));
    if (!list) return nullptr;
    for (size_t i = 0; i < texts.size(); ++i) {
        PyObject* s = text_to_python(texts[i]);
        if (s == nullptr) return nullptr;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), s);
    }
    return list.release();
}

}  // namespace

PyObject* text_to_python(std::string_view text) {
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
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
    case T::array: {
        PyRef list(PyList_New(static_cast<Py_ssize_t>(value.size())));
        if (!list) return nullptr;
        Py_ssize_t i = 0;
        for (const auto& element : value) {
            PyObject* item = json_to_python(element);
            if (item == nullptr) return nullptr;
            PyList_SET_ITEM(list.get(), i++, item);
        }
        return list.release();
    }
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

PyObject* json_list_to_python(const std::vector<vorn::json>& values) {
    PyRef list(PyList_New(static_cast<Py_ssize_t>(values.size())));
    if (!list) return nullptr;
    for (size_t i = 0; i < values.size(); ++i) {
        PyObject* item = json_to_python(values[i]);
        if (item == nullptr) return nullptr;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);
    }
    return list.release();
}

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
    if (tx.order_ids && !set_item(d.get(), "order_ids", text_list(*tx.order_ids))) return nullptr;
    return d.release();
}

PyObject* signed_transactions_to_python(const std::vector<vorn::SignedTransaction>& txs) {
    PyRef list(PyList_New(static_cast<Py_ssize_t>(txs.size())));
    if (!list) return nullptr;
    for (size_t i = 0; i < txs.size(); ++i) {
        PyObject* d = signed_transaction_to_python(txs[i]);
        if (d == nullptr) return nullptr;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), d);
    }
    return list.release();
}

PyObject* to_python(const std::string& text) { return text_to_python(text); }

PyObject* to_python(bool flag) { return PyBool_FromLong(flag); }

PyObject* to_python(const vorn::Outcome<vorn::SignedTransaction>& r) {
    if (!r) return raise_failure(r.error());
    return signed_transaction_to_python(*r);
}

PyObject* to_python(const vorn::Outcome<std::vector<vorn::SignedTransaction>>& r) {
    if (!r) return raise_failure(r.error());
    return signed_transactions_to_python(*r);
}

}  // namespace vorn::py
