// The Python class Signer: wraps one core Signer behind a borrow flag. Its
// methods are bodies of the call path (fastcall.hpp): every argument is
// converted, and every public key decoded, with the signer borrowed and
// before a nonce is drawn; then one operation of the core signer runs and
// its result is converted.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "arguments.hpp"
#include "batch.hpp"
#include "binder.hpp"
#include "convert.hpp"
#include "dicts.hpp"
#include "errors.hpp"
#include "fastcall.hpp"
#include "module.hpp"
#include "order_parse.hpp"
#include "results.hpp"
#include "ed25519/group.hpp"
#include "sign/sign.hpp"
#include "sdk_compat/render.hpp"
#include "action_sink.hpp"

namespace vorn::py {
namespace {

struct SignerObject {
    PyObject_HEAD
    vorn::Signer* signer;
    // 0: free; > 0: that many shared borrows; -1: borrowed exclusively.
    int borrow;
};

PyTypeObject* g_signer_type = nullptr;

SignerObject* as_signer(PyObject* self) { return reinterpret_cast<SignerObject*>(self); }

}  // namespace

// The borrow guards of the Signer's methods (fastcall.hpp): a conflicting
// borrow raises RuntimeError "Already borrowed" (exclusive wanted while any
// borrow is held) or "Already mutably borrowed" (shared wanted while an
// exclusive one runs). The borrow is released on destruction.
template <bool Exclusive>
class SignerBorrow {
public:
    explicit SignerBorrow(PyObject* self) : obj_(as_signer(self)) {
        if (Exclusive ? obj_->borrow != 0 : obj_->borrow < 0) {
            PyErr_SetString(PyExc_RuntimeError, Exclusive ? "Already borrowed" : "Already mutably borrowed");
            obj_ = nullptr;
            return;
        }
        obj_->borrow = Exclusive ? -1 : obj_->borrow + 1;
    }
    ~SignerBorrow() {
        if (obj_ != nullptr) obj_->borrow = Exclusive ? 0 : obj_->borrow - 1;
    }
    SignerBorrow(const SignerBorrow&) = delete;
    SignerBorrow& operator=(const SignerBorrow&) = delete;
    bool ok() const { return obj_ != nullptr; }
    std::conditional_t<Exclusive, Signer&, const Signer&> get() const { return *obj_->signer; }

private:
    SignerObject* obj_;
};

template <>
struct Borrow<Signer&> : SignerBorrow<true> {
    using SignerBorrow::SignerBorrow;
};

template <>
struct Borrow<const Signer&> : SignerBorrow<false> {
    using SignerBorrow::SignerBorrow;
};

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

// ---- signing: the table of operations (prepare/operation.hpp) ----

// Signs an operation's action with the signer's own account, its action list
// rendered straight into Python objects.
PyObject* sign_operation(Signer& s, Result<Action> operation, const Nonce& nonce) {
    PySink actions;
    return signed_to_python(s.sign(std::move(operation), nonce.value, actions), actions);
}

constexpr const char* kOrderNonceParams[] = {"order", "nonce"};
constexpr CallSignature kSign{"Signer.sign", kOrderNonceParams, 2, 1};

PyObject* sign(Signer& s, Order order, Nonce nonce) {
    return sign_operation(s, operation::order(std::move(order.value)), nonce);
}

constexpr const char* kOrdersNonceParams[] = {"orders", "nonce"};
constexpr CallSignature kSignGroup{"Signer.sign_group", kOrdersNonceParams, 2, 1};
constexpr CallSignature kSignOrder{"Signer.sign_order", kOrdersNonceParams, 2, 1};

// A refusal of one order names it in a note (errors.hpp).
PyObject* sign_group(Signer& s, OrderList orders, Nonce nonce) {
    PySink actions;
    Result<SignedTransaction> tx = s.sign(operation::group(std::move(orders.value)), nonce.value, actions);
    if (!tx) return raise_item_error(tx.error(), "orders");
    return signed_to_python(tx, actions);
}

// The batches: element i is signed alone with nonce base + i (batch.hpp).
// The calling thread converts the elements, and renders each finished
// element's action list while the pool signs the rest; the workers leave the
// action JSON out.
template <class Streamed>
PyObject* sign_batch(const Signer& s, Streamed& elements, bool one_item, Nonce base) {
    std::vector<Action> actions(elements.size());
    return batch_to_list<SignedTransaction>(
        elements.name, one_item, elements.size(), base.value,
        [&](size_t i) {
            if (!elements.read_element(i)) return false;
            if constexpr (std::is_same_v<Streamed, StreamedOrders>) {
                actions[i] = one_item_orders(std::move(elements.items[i]));
            } else {
                actions[i] = Action(Orders{std::move(elements.items[i])});  // empty: refused by the conversion
            }
            return true;
        },
        [&](size_t first, std::span<SignedTransaction> out, uint64_t nonce) {
            return s.sign_batch_group(out, nonce, [&](size_t k, uint64_t n, PreparedMessage& p) {
                Status st = s.prepare_element(actions[first + k], n, p, nullptr);
                if (!st) locate_element(st.error(), first + k, one_item);
                return st;
            });
        },
        [&](size_t i, SignedTransaction&& tx) {
            PySink sink;
            if (auto st = render_actions(actions[i], sink); !st) return raise_core_error(st.error());
            actions[i] = Action();  // its items are freed here, on the calling thread
            return signed_transaction_with_actions(tx, sink.take());
        },
        ed25519::batch_group_size());
}

constexpr const char* kOrdersBaseParams[] = {"orders", "base_nonce"};
constexpr CallSignature kSignAll{"Signer.sign_all", kOrdersBaseParams, 2, 1};

PyObject* sign_all(const Signer& s, StreamedOrders orders, Nonce base) { return sign_batch(s, orders, true, base); }

constexpr const char* kBatchesParams[] = {"batches", "base_nonce"};
constexpr CallSignature kSignOrdersBatch{"Signer.sign_orders_batch", kBatchesParams, 2, 1};

PyObject* sign_orders_batch(const Signer& s, StreamedBatches batches, Nonce base) {
    return sign_batch(s, batches, false, base);
}

constexpr const char* kNonceParams[] = {"nonce"};
constexpr CallSignature kSignFaucet{"Signer.sign_faucet", kNonceParams, 1, 0};

PyObject* sign_faucet(Signer& s, Nonce nonce) { return sign_operation(s, operation::faucet(s.pubkey()), nonce); }

constexpr const char* kAgentParams[] = {"agent_pubkey", "delete", "nonce"};
constexpr CallSignature kSignAgent{"Signer.sign_agent_wallet", kAgentParams, 3, 2};

PyObject* sign_agent_wallet(Signer& s, Key agent, Flag del, Nonce nonce) {
    return sign_operation(s, operation::agent_wallet(agent.value, del.value), nonce);
}

constexpr const char* kApproveParams[] = {"to_pubkey", "fee", "nonce"};
constexpr CallSignature kApproveCommission{"Signer.sign_approve_commission_fee", kApproveParams, 3, 2};
constexpr CallSignature kApproveBuilder{"Signer.sign_approve_builder_code", kApproveParams, 3, 2};

PyObject* sign_approve(Signer& s, Key to, U8 fee, Nonce nonce) {
    return sign_operation(s, operation::approve_commission_fee(to.value, fee.value), nonce);
}

constexpr const char* kRevokeParams[] = {"to_pubkey", "nonce"};
constexpr CallSignature kRevokeCommission{"Signer.sign_revoke_commission_fee", kRevokeParams, 2, 1};
constexpr CallSignature kRevokeBuilder{"Signer.sign_revoke_builder_code", kRevokeParams, 2, 1};

PyObject* sign_revoke(Signer& s, Key to, Nonce nonce) {
    return sign_operation(s, operation::revoke_commission_fee(to.value), nonce);
}

constexpr const char* kUserSettingsParams[] = {"max_leverage", "nonce"};
constexpr CallSignature kUserSettings{"Signer.sign_user_settings", kUserSettingsParams, 2, 1};

PyObject* sign_user_settings(Signer& s, Leverage leverage, Nonce nonce) {
    return sign_operation(s, operation::user_settings(std::move(leverage.value)), nonce);
}

// The nonce is converted before the configuration is parsed.
constexpr const char* kConfigParams[] = {"config", "nonce"};
constexpr CallSignature kLiquidator{"Signer.sign_update_liquidator_config", kConfigParams, 2, 1};

PyObject* sign_update_liquidator_config(Signer& s, Late<Config> config, Nonce nonce) {
    return sign_operation(s, operation::update_liquidator_config(std::move(config.value)), nonce);
}

constexpr const char* kOraclesParams[] = {"oracles", "nonce"};
constexpr CallSignature kOraclePrices{"Signer.sign_oracle_prices", kOraclesParams, 2, 1};
constexpr CallSignature kPythOracle{"Signer.sign_pyth_oracle", kOraclesParams, 2, 1};

PyObject* sign_oracle_prices(Signer& s, OraclePrices prices, Nonce nonce) {
    return sign_operation(s, operation::oracle_prices(std::move(prices.value)), nonce);
}

PyObject* sign_pyth_oracle(Signer& s, PythEntries entries, Nonce nonce) {
    return sign_operation(s, operation::pyth_oracle(std::move(entries.value)), nonce);
}

constexpr const char* kRemoveParams[] = {"to_remove", "nonce"};
constexpr CallSignature kRemove{"Signer.sign_remove_sub_account", kRemoveParams, 2, 1};

PyObject* sign_remove_sub_account(Signer& s, Key to_remove, Nonce nonce) {
    return sign_operation(s, operation::remove_sub_account(to_remove.value), nonce);
}

constexpr const char* kTransferParams[] = {"from_pubkey", "to_pubkey", "margin_amount", "kind", "nonce"};
constexpr CallSignature kTransfer{"Signer.sign_transfer", kTransferParams, 5, 3};

PyObject* sign_transfer(Signer& s, Key from, Key to, F64 amount, Kind kind, Nonce nonce) {
    return sign_operation(s, operation::transfer(from.value, to.value, amount.value, kind.value), nonce);
}

constexpr const char* kCreateSubParams[] = {"name", "margin_amount", "nonce"};
constexpr CallSignature kCreateSub{"Signer.sign_create_sub_account", kCreateSubParams, 3, 1};

PyObject* sign_create_sub_account(Signer& s, String name, OptionalF64 amount, Nonce nonce) {
    return sign_operation(s, operation::create_sub_account(std::move(name.value), amount.value), nonce);
}

constexpr const char* kWhitelistParams[] = {"target_pubkey", "whitelist", "nonce"};
constexpr CallSignature kWhitelist{"Signer.sign_whitelist_faucet", kWhitelistParams, 3, 2};

PyObject* sign_whitelist_faucet(Signer& s, Key target, Flag whitelist, Nonce nonce) {
    return sign_operation(s, operation::whitelist_faucet(target.value, whitelist.value), nonce);
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
    {"sign", fastcall<kSign, sign>(), kFastCall,
     "sign($self, order, nonce=None)\n--\n\nSign a single order/cancel/cancelAll"},
    {"sign_all", fastcall<kSignAll, sign_all>(), kFastCall,
     "sign_all($self, orders, base_nonce=None)\n--\n\n"
     "Sign multiple orders - each becomes its own transaction (parallel)"},
    {"sign_group", fastcall<kSignGroup, sign_group>(), kFastCall,
     "sign_group($self, orders, nonce=None)\n--\n\nSign multiple orders atomically in ONE transaction"},
    {"sign_faucet", fastcall<kSignFaucet, sign_faucet>(), kFastCall,
     "sign_faucet($self, nonce=None)\n--\n\nSign a faucet request (testnet only)"},
    {"sign_agent_wallet", fastcall<kSignAgent, sign_agent_wallet>(), kFastCall,
     "sign_agent_wallet($self, agent_pubkey, delete, nonce=None)\n--\n\nSign agent wallet creation/deletion"},
    {"sign_approve_commission_fee", fastcall<kApproveCommission, sign_approve>(), kFastCall,
     "sign_approve_commission_fee($self, to_pubkey, fee, nonce=None)\n--\n\n"
     "Sign builder-code recipient approval (`abc`)"},
    {"sign_approve_builder_code", fastcall<kApproveBuilder, sign_approve>(), kFastCall,
     "sign_approve_builder_code($self, to_pubkey, fee, nonce=None)\n--\n\n"
     "Sign builder-code recipient approval (`abc`)"},
    {"sign_revoke_commission_fee", fastcall<kRevokeCommission, sign_revoke>(), kFastCall,
     "sign_revoke_commission_fee($self, to_pubkey, nonce=None)\n--\n\n"
     "Sign builder-code recipient revocation (`rbc`)"},
    {"sign_revoke_builder_code", fastcall<kRevokeBuilder, sign_revoke>(), kFastCall,
     "sign_revoke_builder_code($self, to_pubkey, nonce=None)\n--\n\n"
     "Sign builder-code recipient revocation (`rbc`)"},
    {"sign_user_settings", fastcall<kUserSettings, sign_user_settings>(), kFastCall,
     "sign_user_settings($self, max_leverage, nonce=None)\n--\n\nSign user settings update"},
    {"sign_update_liquidator_config", fastcall<kLiquidator, sign_update_liquidator_config>(), kFastCall,
     "sign_update_liquidator_config($self, config, nonce=None)\n--\n\nSign a liquidator config update (`liq`)"},
    {"sign_oracle_prices", fastcall<kOraclePrices, sign_oracle_prices>(), kFastCall,
     "sign_oracle_prices($self, oracles, nonce=None)\n--\n\nSign one or more oracle price updates (`px`)"},
    {"sign_pyth_oracle", fastcall<kPythOracle, sign_pyth_oracle>(), kFastCall,
     "sign_pyth_oracle($self, oracles, nonce=None)\n--\n\nSign a batch Pyth oracle update (`o`)"},
    {"sign_remove_sub_account", fastcall<kRemove, sign_remove_sub_account>(), kFastCall,
     "sign_remove_sub_account($self, to_remove, nonce=None)\n--\n\nSign a sub-account removal"},
    {"sign_transfer", fastcall<kTransfer, sign_transfer>(), kFastCall,
     "sign_transfer($self, from_pubkey, to_pubkey, margin_amount, kind=None, nonce=None)\n--\n\n"
     "Sign a margin transfer between accounts.\n\n"
     "`kind` is \"internal\" (default) or \"external\"."},
    {"sign_create_sub_account", fastcall<kCreateSub, sign_create_sub_account>(), kFastCall,
     "sign_create_sub_account($self, name, margin_amount=None, nonce=None)\n--\n\n"
     "Sign a sub-account creation (optional initial margin transfer)"},
    {"sign_whitelist_faucet", fastcall<kWhitelist, sign_whitelist_faucet>(), kFastCall,
     "sign_whitelist_faucet($self, target_pubkey, whitelist, nonce=None)\n--\n\n"
     "Sign whitelist/un-whitelist faucet access (`whitelistFaucet`)"},
    {"sign_order", fastcall<kSignOrder, sign_group>(), kFastCall,
     "sign_order($self, orders, nonce=None)\n--\n\n"
     "Deprecated: Use sign() for single, sign_all() for batch, sign_group() for atomic"},
    {"sign_orders_batch", fastcall<kSignOrdersBatch, sign_orders_batch>(), kFastCall,
     "sign_orders_batch($self, batches, base_nonce=None)\n--\n\nDeprecated: Use sign_all() instead"},
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
    {Py_tp_methods, kSignerMethods},
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

}  // namespace

PyObject* create_signer_type() { return create_type(kSignerTypeDef, g_signer_type); }

}  // namespace vorn::py
