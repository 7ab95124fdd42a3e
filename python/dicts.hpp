// The dicts of signing and of the external-wallet flows: the
// signed-transaction, prepared-message and wallet dicts going out, and the
// readers of the last two coming back in.
//
// Signed-transaction dict keys, in insertion order: "actions", "nonce",
// "account", "signer", "signature", then "order_id" / "order_ids" only when
// present.
// Prepared dict keys, in insertion order: "message_bytes" (bytes),
// "message_base58", "message_base64", "message_hex", "order_id" or
// "order_ids" (only when present), "actions", "account", "signer", "nonce".
// Wallet dict keys: "prepared", "signature_mode", "message_bytes",
// "clear_sign_message" (always present; None when the mode has no text).
//
// The builders return a new reference, or nullptr with the Python error set.
// The readers return true, or false with the Python error set; they report
// the first missing key in their reading order.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "action_sink.hpp"
#include "arguments.hpp"
#include "prepare/prepare.hpp"
#include "sign/sign.hpp"
#include "wallet/wallet.hpp"

namespace vorn::py {

PyObject* signed_transaction_to_python(const vorn::SignedTransaction& tx);
// The same with the "actions" value given (a new reference, consumed; tx's
// own actions are not read).
PyObject* signed_transaction_with_actions(const vorn::SignedTransaction& tx, PyObject* actions);

// The text encodings of a signing message that a prepared dict carries, in
// one buffer. Plain C++, so batch workers make them off the interpreter
// lock.
class MessageTexts {
public:
    static MessageTexts of(const std::vector<uint8_t>& message);
    std::string_view base58() const { return std::string_view(buffer_).substr(0, base58_len_); }
    std::string_view base64() const { return std::string_view(buffer_).substr(base58_len_, base64_len_); }
    std::string_view hex() const { return std::string_view(buffer_).substr(base58_len_ + base64_len_); }

private:
    std::string buffer_;
    size_t base58_len_ = 0;
    size_t base64_len_ = 0;
};

// prepared_to_python with the "actions" value given (a new reference,
// consumed; p's own actions are not read); with the message texts when they
// are already made, and with the "account" and "signer" str objects
// (borrowed) in place of p's account and signer texts when given.
PyObject* prepared_with_actions(const vorn::PreparedMessage& p, PyObject* actions,
                                const MessageTexts* texts = nullptr, PyObject* account = nullptr,
                                PyObject* signer = nullptr);
// The outcome of a signing operation: its dict, or its failure raised
// (errors.hpp). With a sink, the action list is the one rendered into it.
PyObject* signed_to_python(const vorn::Result<vorn::SignedTransaction>& r);
PyObject* signed_to_python(const vorn::Result<vorn::SignedTransaction>& r, PySink& actions);

PyObject* prepared_to_python(const vorn::PreparedMessage& prepared);
// The outcome of a preparation whose action list went to actions: its dict,
// or its failure raised.
PyObject* prepared_to_python(const vorn::Result<vorn::PreparedMessage>& r, PySink& actions);
PyObject* wallet_to_python(const vorn::WalletMessage& wallet);

// Reads "actions" (serialised with the standard json module's dumps and
// parsed back as a JSON array), "message_bytes", "account", "signer",
// "nonce", then the optional "order_id" and "order_ids" (None counts as
// absent). `obj` must be a dict (TypeError naming argname otherwise).
bool read_prepared(PyObject* obj, const char* argname, vorn::PreparedMessage* out);

// Reads "prepared" (a prepared dict), "signature_mode" ("raw", "base58" or
// "offchain"), "message_bytes" and the optional "clear_sign_message".
bool read_wallet(PyObject* obj, const char* argname, vorn::WalletMessage* out);

// The mode text of prepare_wallet_message and of the wallet dict; anything
// but the three exact names raises the core's signing-failure ValueError.
bool parse_signature_mode(PyObject* obj, const char* argname, vorn::SignatureMode* out);

// Checks the signature and builds the signed-transaction dict (prepare.hpp's
// finalize_with_message); a refusal raises its ValueError.
PyObject* finalize_to_python(vorn::PreparedMessage prepared, std::string_view signature,
                             std::optional<std::span<const uint8_t>> message);

// The dicts as call arguments (arguments.hpp).
using PreparedDict = Arg<vorn::PreparedMessage, read_prepared>;
using WalletDict = Arg<vorn::WalletMessage, read_wallet>;
using Mode = Arg<vorn::SignatureMode, parse_signature_mode>;

}  // namespace vorn::py
