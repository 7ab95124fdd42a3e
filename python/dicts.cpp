// Signed, prepared and wallet dicts: building them from core records and
// reading the last two back.
#include "dicts.hpp"

#include <cmath>
#include <iterator>
#include <variant>
#include <string>
#include <string_view>
#include <utility>

#include "convert.hpp"
#include "errors.hpp"
#include "results.hpp"
#include "types/base58.hpp"
#include "types/base64.hpp"
#include "types/hex.hpp"

namespace vorn::py {
namespace {

// The value under a required key, or ValueError "Missing '<key>'".
bool require(PyObject* dict, const char* key, PyRef* out) {
    *out = dict_get(dict, key);
    if (*out) return true;
    PyErr_Format(PyExc_ValueError, "Missing '%s'", key);
    return false;
}

// The value under an optional key, converted; absent and None give none.
template <class T, class Convert>
bool optional_field(PyObject* dict, const char* key, std::optional<T>* out, Convert convert) {
    PyRef v = dict_get(dict, key);
    return to_optional(v.get(), nullptr, out, convert);
}

// Any value the standard json module can serialise, as a JSON array. The
// module's own dumps decides what is serialisable (its exception propagates);
// the JSON parser decides what is an array.
bool actions_from_python(PyObject* value, std::vector<json>* out) {
    PyRef json_module(PyImport_ImportModule("json"));
    if (!json_module) return false;
    PyRef dumps(PyObject_GetAttrString(json_module.get(), "dumps"));
    if (!dumps) return false;
    PyRef text(PyObject_CallFunctionObjArgs(dumps.get(), value, nullptr));
    if (!text) return false;
    std::string_view s;
    if (!to_text(text.get(), nullptr, &s)) return false;
    try {
        json parsed = json::parse(s);
        if (!parsed.is_array()) {
            // Raises the library's own "type must be array" error.
            (void)parsed.get<std::vector<json>>();
        }
        auto& array = parsed.get_ref<json::array_t&>();
        out->assign(std::make_move_iterator(array.begin()), std::make_move_iterator(array.end()));
    } catch (const json::exception& e) {
        raise_value_error(e.what());
        return false;
    }
    return true;
}

}  // namespace

PyObject* signed_transaction_to_python(const SignedTransaction& tx) {
    return signed_transaction_with_actions(tx, json_list_to_python(tx.actions));
}

PyObject* signed_transaction_with_actions(const SignedTransaction& tx, PyObject* actions) {
    PyRef d(new_dict(7));
    if (!d) {
        Py_XDECREF(actions);
        return nullptr;
    }
    if (!set_item(d.get(), "actions", actions) ||
        !set_item(d.get(), "nonce", PyLong_FromUnsignedLongLong(tx.nonce)) ||
        !set_item(d.get(), "account", key_text_to_python(tx.account)) ||
        !set_item(d.get(), "signer", key_text_to_python(tx.signer)) ||
        !set_item(d.get(), "signature", ascii_to_python(tx.signature))) {
        return nullptr;
    }
    if (tx.order_id && !set_item(d.get(), "order_id", text_to_python(*tx.order_id))) return nullptr;
    if (tx.order_ids && !set_item(d.get(), "order_ids", text_list_to_python(*tx.order_ids))) return nullptr;
    return d.release();
}

PyObject* signed_to_python(const Result<SignedTransaction>& r) {
    return convert_result(r, signed_transaction_to_python);
}

PyObject* signed_to_python(const Result<SignedTransaction>& r, PySink& actions) {
    return convert_result(r, [&](const SignedTransaction& tx) {
        return signed_transaction_with_actions(tx, actions.take());
    });
}

PyObject* prepared_to_python(const Result<PreparedMessage>& r, PySink& actions) {
    return convert_result(r, [&](const PreparedMessage& p) { return prepared_with_actions(p, actions.take()); });
}

PyObject* prepared_to_python(const PreparedMessage& p) {
    return prepared_with_actions(p, json_list_to_python(p.actions));
}

MessageTexts MessageTexts::of(const std::vector<uint8_t>& message) {
    const uint8_t* msg = message.data();
    const size_t len = message.size();
    MessageTexts t;
    t.buffer_ = base58_encode(msg, len);
    t.base58_len_ = t.buffer_.size();
    t.buffer_ += base64_encode(msg, len);
    t.base64_len_ = t.buffer_.size() - t.base58_len_;
    t.buffer_ += hex_encode(msg, len);
    return t;
}

PyObject* prepared_with_actions(const PreparedMessage& p, PyObject* actions_value, const MessageTexts* texts,
                                PyObject* account, PyObject* signer) {
    PyRef actions(actions_value);
    PyRef d(new_dict(11));
    if (!d || !actions) return nullptr;
    std::optional<MessageTexts> made;
    if (texts == nullptr) texts = &made.emplace(MessageTexts::of(p.message_bytes));
    if (!set_item(d.get(), "message_bytes", bytes_to_python(p.message_bytes)) ||
        !set_item(d.get(), "message_base58", ascii_to_python(texts->base58())) ||
        !set_item(d.get(), "message_base64", ascii_to_python(texts->base64())) ||
        !set_item(d.get(), "message_hex", ascii_to_python(texts->hex()))) {
        return nullptr;
    }
    if (p.order_id && !set_item(d.get(), "order_id", text_to_python(*p.order_id))) return nullptr;
    if (p.order_ids && !set_item(d.get(), "order_ids", text_list_to_python(*p.order_ids))) return nullptr;
    if (!set_item(d.get(), "actions", actions.release()) ||
        !set_item(d.get(), "account", account != nullptr ? Py_NewRef(account) : key_text_to_python(p.account)) ||
        !set_item(d.get(), "signer", signer != nullptr ? Py_NewRef(signer) : key_text_to_python(p.signer)) ||
        !set_item(d.get(), "nonce", PyLong_FromUnsignedLongLong(p.nonce))) {
        return nullptr;
    }
    return d.release();
}

PyObject* wallet_to_python(const WalletMessage& w) {
    PyRef d(PyDict_New());
    if (!d || !set_item(d.get(), "prepared", prepared_to_python(w.prepared)) ||
        !set_item(d.get(), "signature_mode", text_to_python(signature_mode_name(w.mode))) ||
        !set_item(d.get(), "message_bytes", bytes_to_python(w.message)) ||
        !set_item(d.get(), "clear_sign_message", w.text ? text_to_python(*w.text) : Py_NewRef(Py_None))) {
        return nullptr;
    }
    return d.release();
}

bool read_prepared(PyObject* obj, const char* argname, PreparedMessage* out) {
    if (!check_dict(obj, argname)) return false;
    PyRef v;
    if (!require(obj, "actions", &v) || !actions_from_python(v.get(), &out->actions)) return false;
    if (!require(obj, "message_bytes", &v) || !to_byte_list(v.get(), nullptr, &out->message_bytes)) return false;
    if (!require(obj, "account", &v) || !to_string(v.get(), nullptr, &out->account)) return false;
    if (!require(obj, "signer", &v) || !to_string(v.get(), nullptr, &out->signer)) return false;
    if (!require(obj, "nonce", &v) || !to_u64(v.get(), nullptr, &out->nonce)) return false;

    return optional_field(obj, "order_id", &out->order_id, to_string) &&
           optional_field(obj, "order_ids", &out->order_ids, to_text_list);
}

bool parse_signature_mode(PyObject* obj, const char* argname, SignatureMode* out) {
    std::string_view text;
    if (!to_text(obj, argname, &text)) return false;
    return store(signature_mode_from_str(text), out);
}

bool read_wallet(PyObject* obj, const char* argname, WalletMessage* out) {
    if (!check_dict(obj, argname)) return false;
    // Both keys are looked up before either value is checked.
    PyRef prepared, mode, v;
    if (!require(obj, "prepared", &prepared) || !require(obj, "signature_mode", &mode)) return false;
    if (!read_prepared(prepared.get(), nullptr, &out->prepared)) return false;
    if (!parse_signature_mode(mode.get(), nullptr, &out->mode)) return false;
    if (!require(obj, "message_bytes", &v) || !to_byte_list(v.get(), nullptr, &out->message)) return false;

    return optional_field(obj, "clear_sign_message", &out->text, to_string);
}

PyObject* finalize_to_python(PreparedMessage prepared, std::string_view signature,
                             std::optional<std::span<const uint8_t>> message) {
    return convert_result(finalize_with_message(std::move(prepared), signature, message),
                          signed_transaction_to_python);
}

}  // namespace vorn::py
