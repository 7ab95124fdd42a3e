// The Python class Signer: wraps one core Signer behind a borrow flag
// (signer_type.hpp). Its construction, flags, raw signing and the signing of
// external-wallet records are here; the methods of the signable operations
// are in operations.cpp. Methods are bodies of the call path (fastcall.hpp):
// every argument is converted, and every public key decoded, with the signer
// borrowed.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "arguments.hpp"
#include "binder.hpp"
#include "convert.hpp"
#include "dicts.hpp"
#include "errors.hpp"
#include "fastcall.hpp"
#include "module.hpp"
#include "results.hpp"
#include "signer_type.hpp"
#include "sign/sign.hpp"

namespace vorn::py {
namespace {

PyTypeObject* g_signer_type = nullptr;

SignerObject* as_signer(PyObject* self) { return reinterpret_cast<SignerObject*>(self); }

}  // namespace

namespace {

PyObject* wrap(PyTypeObject* type, Result<Signer>&& r) {
    if (!r) return raise_core_error(r.error());
    PyRef obj(alloc_instance(type));
    if (!obj) return nullptr;
    as_signer(obj.get())->signer = new Signer(std::move(*r));
    as_signer(obj.get())->borrow = 0;
    return obj.release();
}

// ---- construction ----

constexpr const char* kNewParams[] = {"keypair", "signature_domain"};
constexpr CallSignature kNew{"Signer", kNewParams, 2, 2};

PyObject* signer_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[2];
        if (!bind_tuple_args(kNew, args, kwargs, a)) return nullptr;
        KeypairArg kp;
        Text domain;
        if (!kp.read(a[0], "keypair") || !domain.read(a[1], "signature_domain")) return nullptr;
        return wrap(type, Signer::create(*kp.value, domain.value));
    });
}

constexpr const char* kFromBase58Params[] = {"s", "signature_domain"};
constexpr CallSignature kFromBase58{"Signer.from_base58", kFromBase58Params, 2, 2};

PyObject* from_base58(Text secret, Text domain) {
    return wrap(g_signer_type, Signer::from_base58(secret.value, domain.value));
}

constexpr const char* kWithNonceParams[] = {"keypair", "strategy", "signature_domain"};
constexpr CallSignature kWithNonce{"Signer.with_nonce_manager", kWithNonceParams, 3, 3};

PyObject* with_nonce_manager(KeypairArg kp, Text strategy_name, Text domain) {
    std::optional<NonceStrategy> strategy = nonce_strategy_from_name(strategy_name.value);
    if (!strategy) return raise_value_error(kInvalidNonceStrategy);
    return wrap(g_signer_type, Signer::with_nonce_manager(*kp.value, *strategy, domain.value));
}

// ---- flags, accessors and raw signing ----

// A slot or getter that reads the signer under a shared borrow.
template <class F>
PyObject* read_shared(PyObject* self, F&& read) {
    return call_guarded([&]() -> PyObject* {
        Borrow<const Signer&> b(self);
        if (!b.ok()) return nullptr;
        return read(b.get());
    });
}

PyObject* signer_pubkey(PyObject* self, void*) {
    return read_shared(self, [](const Signer& s) { return text_to_python(s.pubkey_base58()); });
}

PyObject* signer_repr(PyObject* self) {
    return read_shared(self, [](const Signer& s) {
        return text_to_python("Signer(pubkey='" + s.pubkey_base58() + "')");
    });
}

PyObject* signer_computes_order_id(PyObject* self, PyObject*) {
    return read_shared(self, [](const Signer& s) { return PyBool_FromLong(s.computes_order_id()); });
}

PyObject* signer_computes_batch_order_ids(PyObject* self, PyObject*) {
    return read_shared(self, [](const Signer& s) { return PyBool_FromLong(s.computes_batch_order_ids()); });
}

constexpr const char* kEnabledParams[] = {"enabled"};
constexpr CallSignature kSetComputeOrderId{"Signer.set_compute_order_id", kEnabledParams, 1, 1};
constexpr CallSignature kSetComputeBatch{"Signer.set_compute_batch_order_ids", kEnabledParams, 1, 1};

void set_compute_order_id(Signer& s, Flag enabled) { s.set_compute_order_id(enabled.value); }
void set_compute_batch_order_ids(Signer& s, Flag enabled) { s.set_compute_batch_order_ids(enabled.value); }

constexpr const char* kSignBytesParams[] = {"message"};
constexpr CallSignature kSignBytes{"Signer.sign_bytes", kSignBytesParams, 1, 1};

std::string sign_bytes(const Signer& s, Bytes message) {
    return s.sign_bytes(reinterpret_cast<const uint8_t*>(message.value.data()), message.value.size());
}

// ---- signing of external-wallet records ----

// Both sign a record with the signer's own key, then finalise it exactly as a
// signature from the wallet would be finalised. Neither draws a nonce: the
// nonce is the one already in the record.

const char kSignWalletPreparedDoc[] =
    "sign_wallet_prepared($self, wallet)\n--\n\n"
    "Sign a wallet mode with this signer's key and configured network.\n"
    "\n"
    "The wallet dict (from prepare_wallet_message) is first checked against its\n"
    "own preparation; its signer and network must be this signer's.\n"
    "\n"
    "Args:\n"
    "    wallet: Wallet message dict from prepare_wallet_message\n"
    "\n"
    "Returns:\n"
    "    SignedTransaction dict ready for API submission";

const char kSignPreparedDoc[] =
    "sign_prepared($self, prepared)\n--\n\n"
    "Sign a prepared message and finalize it into a signed transaction.\n"
    "\n"
    "Supports agent-wallet flows: the prepared dict's \"account\" is the trading\n"
    "account, and its \"signer\" is this signer's public key.\n"
    "\n"
    "Args:\n"
    "    prepared: PreparedMessage dict from prepare_* functions\n"
    "\n"
    "Returns:\n"
    "    SignedTransaction dict ready for API submission";

constexpr const char* kWalletParams[] = {"wallet"};
constexpr CallSignature kSignWalletPrepared{"Signer.sign_wallet_prepared", kWalletParams, 1, 1};
constexpr const char* kPreparedParams[] = {"prepared"};
constexpr CallSignature kSignPrepared{"Signer.sign_prepared", kPreparedParams, 1, 1};

// Whether a record is this signer's to sign: its signer is this signer's key,
// then its message, read by message() only once the signer matches (nullptr
// with the Python error set when it cannot be read), ends with this signer's
// network byte. Each caller keeps its own refusal texts: refuse(network)
// raises the one for a record of another key (false) or of another network
// (true).
template <class Message, class Refuse>
bool own_record(const Signer& signer, std::string_view record_signer, Message&& message, Refuse&& refuse) {
    if (record_signer != signer.pubkey_base58()) {
        refuse(false);
        return false;
    }
    const std::vector<uint8_t>* bytes = message();
    if (bytes == nullptr) return false;
    if (bytes->empty() || bytes->back() != signature_domain_byte(signer.signature_domain())) {
        refuse(true);
        return false;
    }
    return true;
}

PyObject* sign_wallet_prepared(const Signer& signer, WalletDict given) {
    Result<WalletMessage> wallet = validate_wallet_message(std::move(given.value));
    if (!wallet) return raise_core_error(wallet.error());
    auto prepared_bytes = [&] { return &wallet->prepared.message_bytes; };
    if (!own_record(signer, wallet->prepared.signer, prepared_bytes, [](bool) {
            raise_core_error(
                Error::signing_failed("prepared wallet signer or network does not match configured signer"));
        })) {
        return nullptr;
    }
    std::string signature = signer.sign_bytes(wallet->message.data(), wallet->message.size());
    std::vector<uint8_t> message = std::move(wallet->message);
    return finalize_to_python(std::move(wallet->prepared), signature, std::span<const uint8_t>(message));
}

// The signer and the network byte are checked on the dict itself, before the
// whole record is read.
PyObject* sign_prepared(const Signer& signer, Object prepared_dict) {
    PyObject* dict = prepared_dict.value;
    if (!check_dict(dict, "prepared")) return nullptr;

    PyRef value = dict_get(dict, "signer");
    if (!value) return raise_value_error("Missing 'signer'");
    std::string prepared_signer;
    if (!to_string(value.get(), nullptr, &prepared_signer)) return nullptr;
    std::vector<uint8_t> message;
    auto read_message = [&]() -> const std::vector<uint8_t>* {
        PyRef bytes = dict_get(dict, "message_bytes");
        if (!bytes) {
            raise_value_error("Missing 'message_bytes'");
            return nullptr;
        }
        return to_byte_list(bytes.get(), nullptr, &message) ? &message : nullptr;
    };
    if (!own_record(signer, prepared_signer, read_message, [&](bool network) {
            if (network) {
                raise_value_error("Prepared message network domain does not match signer");
            } else {
                raise_value_error("Prepared message signer " + prepared_signer + " does not match signer pubkey " +
                                  signer.pubkey_base58());
            }
        })) {
        return nullptr;
    }

    std::string signature = signer.sign_bytes(message.data(), message.size());
    PreparedMessage prepared;
    if (!read_prepared(dict, "prepared", &prepared)) return nullptr;
    return finalize_to_python(std::move(prepared), signature, std::nullopt);
}

// ---- the class ----

PyMethodDef kSignerMethods[] = {
    {"from_base58", fastcall<kFromBase58, from_base58>(), kFastCall | METH_STATIC,
     "from_base58(s, signature_domain)\n--\n\nCreate a signer from base58-encoded secret key"},
    {"with_nonce_manager", fastcall<kWithNonce, with_nonce_manager>(), kFastCall | METH_STATIC,
     "with_nonce_manager(keypair, strategy, signature_domain)\n--\n\nCreate a signer with nonce management"},
    {"set_compute_order_id", fastcall<kSetComputeOrderId, set_compute_order_id>(), kFastCall,
     "set_compute_order_id($self, enabled)\n--\n\nEnable/disable single-order ID computation."},
    {"set_compute_batch_order_ids", fastcall<kSetComputeBatch, set_compute_batch_order_ids>(), kFastCall,
     "set_compute_batch_order_ids($self, enabled)\n--\n\n"
     "Enable/disable batch order ID computation for multi-order transactions."},
    {"computes_order_id", signer_computes_order_id, METH_NOARGS,
     "computes_order_id($self)\n--\n\nWhether single-order ID computation is enabled."},
    {"computes_batch_order_ids", signer_computes_batch_order_ids, METH_NOARGS,
     "computes_batch_order_ids($self)\n--\n\nWhether batch order ID computation is enabled."},
    {"sign_wallet_prepared", fastcall<kSignWalletPrepared, sign_wallet_prepared>(), kFastCall,
     kSignWalletPreparedDoc},
    {"sign_bytes", fastcall<kSignBytes, sign_bytes>(), kFastCall,
     "sign_bytes($self, message)\n--\n\nSign raw message bytes and return a base58 Ed25519 signature."},
    {"sign_prepared", fastcall<kSignPrepared, sign_prepared>(), kFastCall, kSignPreparedDoc},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kSignerGetSet[] = {
    {"pubkey", signer_pubkey, nullptr, "Get the signer's public key", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot kSignerSlots[] = {
    {Py_tp_doc,
     const_cast<char*>("Signer(keypair, signature_domain)\n--\n\nHigh-performance transaction signer")},
    {Py_tp_new, reinterpret_cast<void*>(signer_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_owner<SignerObject, &SignerObject::signer>)},
    {Py_tp_methods, nullptr},  // its own methods, then the operations' (all_methods)
    {Py_tp_getset, kSignerGetSet},
    {Py_tp_repr, reinterpret_cast<void*>(signer_repr)},
    {0, nullptr},
};

PyType_Spec kSignerTypeDef = {
    "vorn_keychain._native.Signer",
    sizeof(SignerObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
    kSignerSlots,
};

// The class's methods: its own, then those of the signable operations
// (operations.cpp), in one null-terminated table that lives as long as the
// process (the method objects point into it).
PyMethodDef* all_methods() {
    static std::vector<PyMethodDef> table = [] {
        std::vector<PyMethodDef> t;
        for (const PyMethodDef* m : {kSignerMethods, signer_operation_methods})
            for (; m->ml_name != nullptr; ++m) t.push_back(*m);
        t.push_back({nullptr, nullptr, 0, nullptr});
        return t;
    }();
    return table.data();
}

}  // namespace

PyObject* create_signer_type() {
    for (PyType_Slot* slot = kSignerSlots; slot->slot != 0; ++slot)
        if (slot->slot == Py_tp_methods) slot->pfunc = all_methods();
    return create_type(kSignerTypeDef, g_signer_type);
}

}  // namespace vorn::py
