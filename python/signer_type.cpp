// The Signer class: every method binds and converts its arguments (all of
// them, and every public key decoded, before a nonce is drawn), calls one
// operation of the core signer and converts the result.
#include "signer_type.hpp"

#include <string>
#include <utility>
#include <vector>

#include "binder.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "inputs.hpp"
#include "keypair_type.hpp"
#include "order_parse.hpp"
#include "results.hpp"
#include "signer_wallet_methods.hpp"

namespace vorn::py {
namespace {

PyTypeObject* g_signer_type = nullptr;

SignerObject* as_signer(PyObject* self) { return reinterpret_cast<SignerObject*>(self); }

using vorn::Outcome;
using vorn::SignedTransaction;

PyObject* finish(const Outcome<SignedTransaction>& r) {
    if (!r) return raise_failure(r.error());
    return signed_transaction_to_python(*r);
}

PyObject* finish(const Outcome<std::vector<SignedTransaction>>& r) {
    if (!r) return raise_failure(r.error());
    return signed_transactions_to_python(*r);
}

PyObject* wrap(PyTypeObject* type, vorn::Signer&& signer) {
    PyRef obj(type->tp_alloc(type, 0));
    if (!obj) return nullptr;
    as_signer(obj.get())->signer = new vorn::Signer(std::move(signer));
    as_signer(obj.get())->borrow = 0;
    return obj.release();
}

PyObject* wrap_result(PyTypeObject* type, vorn::Result<vorn::Signer>&& r) {
    if (!r) return raise_core_error(r.error());
    return wrap(type, std::move(*r));
}

// ---- construction ----

const char* const kNewParams[] = {"keypair", "signature_domain"};
const FunctionSpec kNew{"Signer", kNewParams, 2, 2};

PyObject* signer_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[2];
        if (!bind_tuple_args(kNew, args, kwargs, a)) return nullptr;
        const vorn::Keypair* kp = nullptr;
        std::string_view domain;
        if (!to_keypair(a[0], "keypair", &kp) || !to_text(a[1], "signature_domain", &domain)) return nullptr;
        return wrap_result(type, vorn::Signer::create(*kp, domain));
    });
}

const char* const kFromBase58Params[] = {"s", "signature_domain"};
const FunctionSpec kFromBase58{"Signer.from_base58", kFromBase58Params, 2, 2};

PyObject* signer_from_base58(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[2];
        if (!bind_args(kFromBase58, args, nargs, kwnames, a)) return nullptr;
        std::string_view secret;
        std::string_view domain;
        if (!to_text(a[0], "s", &secret) || !to_text(a[1], "signature_domain", &domain)) return nullptr;
        return wrap_result(g_signer_type, vorn::Signer::from_base58(secret, domain));
    });
}

const char* const kWithNonceParams[] = {"keypair", "strategy", "signature_domain"};
const FunctionSpec kWithNonce{"Signer.with_nonce_manager", kWithNonceParams, 3, 3};

PyObject* signer_with_nonce_manager(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[3];
        if (!bind_args(kWithNonce, args, nargs, kwnames, a)) return nullptr;
        const vorn::Keypair* kp = nullptr;
        std::string_view strategy_name;
        std::string_view domain;
        if (!to_keypair(a[0], "keypair", &kp) || !to_text(a[1], "strategy", &strategy_name) ||
            !to_text(a[2], "signature_domain", &domain)) {
            return nullptr;
        }
        std::optional<vorn::NonceStrategy> strategy = vorn::nonce_strategy_from_name(strategy_name);
        if (!strategy) return raise_value_error(vorn::kInvalidNonceStrategy);
        return wrap_result(g_signer_type, vorn::Signer::with_nonce_manager(*kp, *strategy, domain));
    });
}

void signer_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    delete as_signer(self)->signer;  // the core signer wipes its keypair copy
    as_signer(self)->signer = nullptr;
    type->tp_free(self);
    Py_DECREF(type);
}

// ---- flags and accessors ----

PyObject* signer_pubkey(PyObject* self, void*) {
    return call_guarded([&]() -> PyObject* {
        SharedBorrow b(self);
        if (!b.ok()) return nullptr;
        return text_to_python(b.signer().pubkey_base58());
    });
}

PyObject* signer_repr(PyObject* self) {
    return call_guarded([&]() -> PyObject* {
        SharedBorrow b(self);
        if (!b.ok()) return nullptr;
        return text_to_python("Signer(pubkey='" + b.signer().pubkey_base58() + "')");
    });
}

const char* const kEnabledParams[] = {"enabled"};
const FunctionSpec kSetComputeOrderId{"Signer.set_compute_order_id", kEnabledParams, 1, 1};
const FunctionSpec kSetComputeBatch{"Signer.set_compute_batch_order_ids", kEnabledParams, 1, 1};

PyObject* signer_set_compute_order_id(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[1];
        if (!bind_args(kSetComputeOrderId, args, nargs, kwnames, a)) return nullptr;
        ExclusiveBorrow b(self);
        if (!b.ok()) return nullptr;
        bool enabled = false;
        if (!to_strict_bool(a[0], "enabled", &enabled)) return nullptr;
        b.signer().set_compute_order_id(enabled);
        Py_RETURN_NONE;
    });
}

PyObject* signer_set_compute_batch_order_ids(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                             PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[1];
        if (!bind_args(kSetComputeBatch, args, nargs, kwnames, a)) return nullptr;
        ExclusiveBorrow b(self);
        if (!b.ok()) return nullptr;
        bool enabled = false;
        if (!to_strict_bool(a[0], "enabled", &enabled)) return nullptr;
        b.signer().set_compute_batch_order_ids(enabled);
        Py_RETURN_NONE;
    });
}

PyObject* signer_computes_order_id(PyObject* self, PyObject*) {
    SharedBorrow b(self);
    if (!b.ok()) return nullptr;
    return PyBool_FromLong(b.signer().computes_order_id());
}

PyObject* signer_computes_batch_order_ids(PyObject* self, PyObject*) {
    SharedBorrow b(self);
    if (!b.ok()) return nullptr;
    return PyBool_FromLong(b.signer().computes_batch_order_ids());
}

// ---- raw signing ----

const char* const kSignBytesParams[] = {"message"};
const FunctionSpec kSignBytes{"Signer.sign_bytes", kSignBytesParams, 1, 1};

PyObject* signer_sign_bytes(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[1];
        if (!bind_args(kSignBytes, args, nargs, kwnames, a)) return nullptr;
        SharedBorrow b(self);
        if (!b.ok()) return nullptr;
        std::string_view message;
        if (!to_bytes(a[0], "message", &message)) return nullptr;
        return text_to_python(
            b.signer().sign_bytes(reinterpret_cast<const uint8_t*>(message.data()), message.size()));
    });
}

// ---- order signing ----

const char* const kOrderNonceParams[] = {"order", "nonce"};
const FunctionSpec kSign{"Signer.sign", kOrderNonceParams, 2, 1};

PyObject* signer_sign(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[2];
        if (!bind_args(kSign, args, nargs, kwnames, a)) return nullptr;
        ExclusiveBorrow b(self);
        if (!b.ok()) return nullptr;
        vorn::OrderItem item;
        std::optional<uint64_t> nonce;
        if (!parse_order_item(a[0], &item) || !to_optional_u64(a[1], "nonce", &nonce)) return nullptr;
        return finish(b.signer().sign(std::move(item), nonce));
    });
}

const char* const kOrdersNonceParams[] = {"orders", "nonce"};
const FunctionSpec kSignGroup{"Signer.sign_group", kOrdersNonceParams, 2, 1};
const FunctionSpec kSignOrder{"Signer.sign_order", kOrdersNonceParams, 2, 1};

PyObject* sign_group_with(const FunctionSpec& spec, PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                          PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[2];
        if (!bind_args(spec, args, nargs, kwnames, a)) return nullptr;
        ExclusiveBorrow b(self);
        if (!b.ok()) return nullptr;
        std::vector<vorn::OrderItem> items;
        std::optional<uint64_t> nonce;
        if (!parse_order_list(a[0], "orders", &items) || !to_optional_u64(a[1], "nonce", &nonce)) return nullptr;
        return finish(b.signer().sign_group(std::move(items), nonce));
    });
}

PyObject* signer_sign_group(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return sign_group_with(kSignGroup, self, args, nargs, kwnames);
}

PyObject* signer_sign_order(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return sign_group_with(kSignOrder, self, args, nargs, kwnames);
}

const char* const kOrdersBaseParams[] = {"orders", "base_nonce"};
const FunctionSpec kSignAll{"Signer.sign_all", kOrdersBaseParams, 2, 1};

// Every element is converted here on the calling thread; the core then signs
// the converted items (on the worker pool from 10 elements on) and the
// results are converted after it has finished. The interpreter lock stays
// held throughout.
PyObject* signer_sign_all(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[2];
        if (!bind_args(kSignAll, args, nargs, kwnames, a)) return nullptr;
        SharedBorrow b(self);
        if (!b.ok()) return nullptr;
        std::vector<vorn::OrderItem> items;
        std::optional<uint64_t> base;
        if (!parse_order_list(a[0], "orders", &items) || !to_optional_u64(a[1], "base_nonce", &base)) return nullptr;
        return finish(b.signer().sign_all(std::move(items), base));
    });
}

const char* const kBatchesParams[] = {"batches", "base_nonce"};
const FunctionSpec kSignOrdersBatch{"Signer.sign_orders_batch", kBatchesParams, 2, 1};

PyObject* signer_sign_orders_batch(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[2];
        if (!bind_args(kSignOrdersBatch, args, nargs, kwnames, a)) return nullptr;
        SharedBorrow b(self);
        if (!b.ok()) return nullptr;
        if (!check_list(a[0], "batches")) return nullptr;
        // A tuple copy keeps the inner lists alive while user code runs.
        PyRef outer(PyList_AsTuple(a[0]));
        if (!outer) return nullptr;
        Py_ssize_t n = PyTuple_GET_SIZE(outer.get());
        std::vector<std::vector<vorn::OrderItem>> batches;
        batches.reserve(static_cast<size_t>(n));
        for (Py_ssize_t i = 0; i < n; ++i) {
            std::vector<vorn::OrderItem> items;
            if (!parse_order_list(PyTuple_GET_ITEM(outer.get(), i), nullptr, &items)) return nullptr;
            batches.push_back(std::move(items));
        }
        std::optional<uint64_t> base;
        if (!to_optional_u64(a[1], "base_nonce", &base)) return nullptr;
        return finish(b.signer().sign_orders_batch(std::move(batches), base));
    });
}

// ---- account operations ----

const char* const kNonceParams[] = {"nonce"};
const FunctionSpec kSignFaucet{"Signer.sign_faucet", kNonceParams, 1, 0};

PyObject* signer_sign_faucet(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[1];
        if (!bind_args(kSignFaucet, args, nargs, kwnames, a)) return nullptr;
        ExclusiveBorrow b(self);
        if (!b.ok()) return nullptr;
        std::optional<uint64_t> nonce;
        if (!to_optional_u64(a[0], "nonce", &nonce)) return nullptr;
        return finish(b.signer().sign_faucet(nonce));
    });
}

const char* const kAgentParams[] = {"agent_pubkey", "delete", "nonce"};
const FunctionSpec kSignAgent{"Signer.sign_agent_wallet", kAgentParams, 3, 2};

PyObject* signer_sign_agent_wallet(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[3];
        if (!bind_args(kSignAgent, args, nargs, kwnames, a)) return nullptr;
        ExclusiveBorrow b(self);
        if (!b.ok()) return nullptr;
        std::string_view agent_text;
        bool del = false;
        std::optional<uint64_t> nonce;
        vorn::Pubkey agent;
        if (!to_text(a[0], "agent_pubkey", &agent_text) || !to_strict_bool(a[1], "delete", &del) ||
            !to_optional_u64(a[2], "nonce", &nonce) || !decode_pubkey(agent_text, &agent)) {
            return nullptr;
        }
        return finish(b.signer().sign_agent_wallet(agent, del, nonce));
    });
}

const char* const kApproveParams[] = {"to_pubkey", "fee", "nonce"};
const FunctionSpec kApproveCommission{"Signer.sign_approve_commission_fee", kApproveParams, 3, 2};
const FunctionSpec kApproveBuilder{"Signer.sign_approve_builder_code", kApproveParams, 3, 2};

PyObject* approve_with(const FunctionSpec& spec, PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[3];
        if (!bind_args(spec, args, nargs, kwnames, a)) return nullptr;
        ExclusiveBorrow b(self);
        if (!b.ok()) return nullptr;
        std::string_view to_text_value;
        uint8_t fee = 0;
        std::optional<uint64_t> nonce;
        vorn::Pubkey to;
        if (!to_text(a[0], "to_pubkey", &to_text_value) || !to_u8(a[1], "fee", &fee) ||
            !to_optional_u64(a[2], "nonce", &nonce) || !decode_pubkey(to_text_value, &to)) {
            return nullptr;
        }
        return finish(b.signer().sign_approve_commission_fee(to, fee, nonce));
    });
}

PyObject* signer_sign_approve_commission_fee(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                             PyObject* kwnames) {
    return approve_with(kApproveCommission, self, args, nargs, kwnames);
}

PyObject* signer_sign_approve_builder_code(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                           PyObject* kwnames) {
    return approve_with(kApproveBuilder, self, args, nargs, kwnames);
}

const char* const kRevokeParams[] = {"to_pubkey", "nonce"};
const FunctionSpec kRevokeCommission{"Signer.sign_revoke_commission_fee", kRevokeParams, 2, 1};
const FunctionSpec kRevokeBuilder{"Signer.sign_revoke_builder_code", kRevokeParams, 2, 1};

PyObject* revoke_with(const FunctionSpec& spec, PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                      PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[2];
        if (!bind_args(spec, args, nargs, kwnames, a)) return nullptr;
        ExclusiveBorrow b(self);
        if (!b.ok()) return nullptr;
        std::string_view to_text_value;
        std::optional<uint64_t> nonce;
        vorn::Pubkey to;
        if (!to_text(a[0], "to_pubkey", &to_text_value) || !to_optional_u64(a[1], "nonce", &nonce) ||
            !decode_pubkey(to_text_value, &to)) {
            return nullptr;
        }
        return finish(b.signer().sign_revoke_commission_fee(to, nonce));
    });
}

PyObject* signer_sign_revoke_commission_fee(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                            PyObject* kwnames) {
    return revoke_with(kRevokeCommission, self, args, nargs, kwnames);
}

PyObject* signer_sign_revoke_builder_code(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                          PyObject* kwnames) {
    return revoke_with(kRevokeBuilder, self, args, nargs, kwnames);
}

const char* const kUserSettingsParams[] = {"max_leverage", "nonce"};
const FunctionSpec kUserSettings{"Signer.sign_user_settings", kUserSettingsParams, 2, 1};

PyObject* signer_sign_user_settings(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[2];
        if (!bind_args(kUserSettings, args, nargs, kwnames, a)) return nullptr;
        ExclusiveBorrow b(self);
        if (!b.ok()) return nullptr;
        PyRef holder;
        std::vector<PyObject*> pairs;
        if (!to_tuple_sequence(a[0], "max_leverage", 2, &holder, &pairs)) return nullptr;
        std::vector<std::pair<std::string, double>> leverage;
        leverage.reserve(pairs.size());
        for (PyObject* t : pairs) {
            std::string symbol;
            double value = 0.0;
            if (!to_string(PyTuple_GET_ITEM(t, 0), nullptr, &symbol) ||
                !to_f64(PyTuple_GET_ITEM(t, 1), nullptr, &value)) {
                return nullptr;
            }
            leverage.emplace_back(std::move(symbol), value);
        }
        std::optional<uint64_t> nonce;
        if (!to_optional_u64(a[1], "nonce", &nonce)) return nullptr;
        return finish(b.signer().sign_user_settings(std::move(leverage), nonce));
    });
}

const char* const kConfigParams[] = {"config", "nonce"};
const FunctionSpec kLiquidator{"Signer.sign_update_liquidator_config", kConfigParams, 2, 1};

PyObject* signer_sign_update_liquidator_config(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                               PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[2];
        if (!bind_args(kLiquidator, args, nargs, kwnames, a)) return nullptr;
        ExclusiveBorrow b(self);
        if (!b.ok()) return nullptr;
        // The nonce is converted before the configuration is parsed.
        std::optional<uint64_t> nonce;
        vorn::LiquidatorConfig config;
        if (!to_optional_u64(a[1], "nonce", &nonce) || !parse_liquidator_config(a[0], "config", &config)) {
            return nullptr;
        }
        return finish(b.signer().sign_update_liquidator_config(std::move(config), nonce));
    });
}

const char* const kOraclesParams[] = {"oracles", "nonce"};
const FunctionSpec kOraclePrices{"Signer.sign_oracle_prices", kOraclesParams, 2, 1};
const FunctionSpec kPythOracle{"Signer.sign_pyth_oracle", kOraclesParams, 2, 1};

PyObject* signer_sign_oracle_prices(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[2];
        if (!bind_args(kOraclePrices, args, nargs, kwnames, a)) return nullptr;
        ExclusiveBorrow b(self);
        if (!b.ok()) return nullptr;
        PyRef holder;
        std::vector<PyObject*> triples;
        if (!to_tuple_sequence(a[0], "oracles", 3, &holder, &triples)) return nullptr;
        std::vector<vorn::OraclePrice> prices;
        prices.reserve(triples.size());
        for (PyObject* t : triples) {
            vorn::OraclePrice p;
            if (!to_u64(PyTuple_GET_ITEM(t, 0), nullptr, &p.timestamp) ||
                !to_string(PyTuple_GET_ITEM(t, 1), nullptr, &p.symbol) ||
                !to_f64(PyTuple_GET_ITEM(t, 2), nullptr, &p.price)) {
                return nullptr;
            }
            prices.push_back(std::move(p));
        }
        std::optional<uint64_t> nonce;
        if (!to_optional_u64(a[1], "nonce", &nonce)) return nullptr;
        return finish(b.signer().sign_oracle_prices(std::move(prices), nonce));
    });
}

PyObject* signer_sign_pyth_oracle(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[2];
        if (!bind_args(kPythOracle, args, nargs, kwnames, a)) return nullptr;
        ExclusiveBorrow b(self);
        if (!b.ok()) return nullptr;
        PyRef holder;
        std::vector<PyObject*> quads;
        if (!to_tuple_sequence(a[0], "oracles", 4, &holder, &quads)) return nullptr;
        std::vector<vorn::PythEntry> entries;
        entries.reserve(quads.size());
        for (PyObject* t : quads) {
            vorn::PythEntry e;
            if (!to_u64(PyTuple_GET_ITEM(t, 0), nullptr, &e.timestamp) ||
                !to_u64(PyTuple_GET_ITEM(t, 1), nullptr, &e.feed_index) ||
                !to_u64(PyTuple_GET_ITEM(t, 2), nullptr, &e.price) ||
                !to_i16(PyTuple_GET_ITEM(t, 3), nullptr, &e.exponent)) {
                return nullptr;
            }
            entries.push_back(e);
        }
        std::optional<uint64_t> nonce;
        if (!to_optional_u64(a[1], "nonce", &nonce)) return nullptr;
        return finish(b.signer().sign_pyth_oracle(std::move(entries), nonce));
    });
}

const char* const kRemoveParams[] = {"to_remove", "nonce"};
const FunctionSpec kRemove{"Signer.sign_remove_sub_account", kRemoveParams, 2, 1};

PyObject* signer_sign_remove_sub_account(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                         PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[2];
        if (!bind_args(kRemove, args, nargs, kwnames, a)) return nullptr;
        ExclusiveBorrow b(self);
        if (!b.ok()) return nullptr;
        std::string_view text;
        std::optional<uint64_t> nonce;
        vorn::Pubkey to_remove;
        if (!to_text(a[0], "to_remove", &text) || !to_optional_u64(a[1], "nonce", &nonce) ||
            !decode_pubkey(text, &to_remove)) {
            return nullptr;
        }
        return finish(b.signer().sign_remove_sub_account(to_remove, nonce));
    });
}

const char* const kTransferParams[] = {"from_pubkey", "to_pubkey", "margin_amount", "kind", "nonce"};
const FunctionSpec kTransfer{"Signer.sign_transfer", kTransferParams, 5, 3};

PyObject* signer_sign_transfer(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[5];
        if (!bind_args(kTransfer, args, nargs, kwnames, a)) return nullptr;
        ExclusiveBorrow b(self);
        if (!b.ok()) return nullptr;
        std::string_view from_text;
        std::string_view to_text_value;
        double amount = 0.0;
        vorn::TransferKind kind = vorn::TransferKind::Internal;
        std::optional<uint64_t> nonce;
        vorn::Pubkey from;
        vorn::Pubkey to;
        if (!to_text(a[0], "from_pubkey", &from_text) || !to_text(a[1], "to_pubkey", &to_text_value) ||
            !to_f64(a[2], "margin_amount", &amount) || !parse_transfer_kind(a[3], &kind) ||
            !to_optional_u64(a[4], "nonce", &nonce) || !decode_pubkey(from_text, &from) ||
            !decode_pubkey(to_text_value, &to)) {
            return nullptr;
        }
        return finish(b.signer().sign_transfer(from, to, amount, kind, nonce));
    });
}

const char* const kCreateSubParams[] = {"name", "margin_amount", "nonce"};
const FunctionSpec kCreateSub{"Signer.sign_create_sub_account", kCreateSubParams, 3, 1};

PyObject* signer_sign_create_sub_account(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                         PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[3];
        if (!bind_args(kCreateSub, args, nargs, kwnames, a)) return nullptr;
        ExclusiveBorrow b(self);
        if (!b.ok()) return nullptr;
        std::string name;
        std::optional<double> amount;
        std::optional<uint64_t> nonce;
        if (!to_string(a[0], "name", &name) || !to_optional_f64(a[1], "margin_amount", &amount) ||
            !to_optional_u64(a[2], "nonce", &nonce)) {
            return nullptr;
        }
        return finish(b.signer().sign_create_sub_account(std::move(name), amount, nonce));
    });
}

const char* const kWhitelistParams[] = {"target_pubkey", "whitelist", "nonce"};
const FunctionSpec kWhitelist{"Signer.sign_whitelist_faucet", kWhitelistParams, 3, 2};

PyObject* signer_sign_whitelist_faucet(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[3];
        if (!bind_args(kWhitelist, args, nargs, kwnames, a)) return nullptr;
        ExclusiveBorrow b(self);
        if (!b.ok()) return nullptr;
        std::string_view text;
        bool whitelist = false;
        std::optional<uint64_t> nonce;
        vorn::Pubkey target;
        if (!to_text(a[0], "target_pubkey", &text) || !to_strict_bool(a[1], "whitelist", &whitelist) ||
            !to_optional_u64(a[2], "nonce", &nonce) || !decode_pubkey(text, &target)) {
            return nullptr;
        }
        return finish(b.signer().sign_whitelist_faucet(target, whitelist, nonce));
    });
}

// ---- the class ----

template <class F>
PyCFunction as_cfunction(F* f) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f));
}

constexpr int kFast = METH_FASTCALL | METH_KEYWORDS;

PyMethodDef kSignerMethods[] = {
    {"from_base58", as_cfunction(signer_from_base58), kFast | METH_STATIC,
     "from_base58(s, signature_domain)\n--\n\nCreate a signer from base58-encoded secret key"},
    {"with_nonce_manager", as_cfunction(signer_with_nonce_manager), kFast | METH_STATIC,
     "with_nonce_manager(keypair, strategy, signature_domain)\n--\n\nCreate a signer with nonce management"},
    {"set_compute_order_id", as_cfunction(signer_set_compute_order_id), kFast,
     "set_compute_order_id($self, enabled)\n--\n\nEnable/disable single-order ID computation."},
    {"set_compute_batch_order_ids", as_cfunction(signer_set_compute_batch_order_ids), kFast,
     "set_compute_batch_order_ids($self, enabled)\n--\n\n"
     "Enable/disable batch order ID computation for multi-order transactions."},
    {"computes_order_id", signer_computes_order_id, METH_NOARGS,
     "computes_order_id($self)\n--\n\nWhether single-order ID computation is enabled."},
    {"computes_batch_order_ids", signer_computes_batch_order_ids, METH_NOARGS,
     "computes_batch_order_ids($self)\n--\n\nWhether batch order ID computation is enabled."},
    // Signing of external-wallet records (signer_wallet_methods.cpp).
    {"sign_wallet_prepared", as_cfunction(signer_sign_wallet_prepared), kFast, signer_sign_wallet_prepared_doc},
    {"sign_bytes", as_cfunction(signer_sign_bytes), kFast,
     "sign_bytes($self, message)\n--\n\nSign raw message bytes and return a base58 Ed25519 signature."},
    // Signing of prepared messages (signer_wallet_methods.cpp).
    {"sign_prepared", as_cfunction(signer_sign_prepared), kFast, signer_sign_prepared_doc},
    {"sign", as_cfunction(signer_sign), kFast,
     "sign($self, order, nonce=None)\n--\n\nSign a single order/cancel/cancelAll"},
    {"sign_all", as_cfunction(signer_sign_all), kFast,
     "sign_all($self, orders, base_nonce=None)\n--\n\n"
     "Sign multiple orders - each becomes its own transaction (parallel)"},
    {"sign_group", as_cfunction(signer_sign_group), kFast,
     "sign_group($self, orders, nonce=None)\n--\n\nSign multiple orders atomically in ONE transaction"},
    {"sign_faucet", as_cfunction(signer_sign_faucet), kFast,
     "sign_faucet($self, nonce=None)\n--\n\nSign a faucet request (testnet only)"},
    {"sign_agent_wallet", as_cfunction(signer_sign_agent_wallet), kFast,
     "sign_agent_wallet($self, agent_pubkey, delete, nonce=None)\n--\n\nSign agent wallet creation/deletion"},
    {"sign_approve_commission_fee", as_cfunction(signer_sign_approve_commission_fee), kFast,
     "sign_approve_commission_fee($self, to_pubkey, fee, nonce=None)\n--\n\n"
     "Sign builder-code recipient approval (`abc`)"},
    {"sign_approve_builder_code", as_cfunction(signer_sign_approve_builder_code), kFast,
     "sign_approve_builder_code($self, to_pubkey, fee, nonce=None)\n--\n\n"
     "Sign builder-code recipient approval (`abc`)"},
    {"sign_revoke_commission_fee", as_cfunction(signer_sign_revoke_commission_fee), kFast,
     "sign_revoke_commission_fee($self, to_pubkey, nonce=None)\n--\n\n"
     "Sign builder-code recipient revocation (`rbc`)"},
    {"sign_revoke_builder_code", as_cfunction(signer_sign_revoke_builder_code), kFast,
     "sign_revoke_builder_code($self, to_pubkey, nonce=None)\n--\n\n"
     "Sign builder-code recipient revocation (`rbc`)"},
    {"sign_user_settings", as_cfunction(signer_sign_user_settings), kFast,
     "sign_user_settings($self, max_leverage, nonce=None)\n--\n\nSign user settings update"},
    {"sign_update_liquidator_config", as_cfunction(signer_sign_update_liquidator_config), kFast,
     "sign_update_liquidator_config($self, config, nonce=None)\n--\n\nSign a liquidator config update (`liq`)"},
    {"sign_oracle_prices", as_cfunction(signer_sign_oracle_prices), kFast,
     "sign_oracle_prices($self, oracles, nonce=None)\n--\n\nSign one or more oracle price updates (`px`)"},
    {"sign_pyth_oracle", as_cfunction(signer_sign_pyth_oracle), kFast,
     "sign_pyth_oracle($self, oracles, nonce=None)\n--\n\nSign a batch Pyth oracle update (`o`)"},
    {"sign_remove_sub_account", as_cfunction(signer_sign_remove_sub_account), kFast,
     "sign_remove_sub_account($self, to_remove, nonce=None)\n--\n\nSign a sub-account removal"},
    {"sign_transfer", as_cfunction(signer_sign_transfer), kFast,
     "sign_transfer($self, from_pubkey, to_pubkey, margin_amount, kind=None, nonce=None)\n--\n\n"
     "Sign a margin transfer between accounts.\n\n"
     "`kind` is \"internal\" (default) or \"external\"."},
    {"sign_create_sub_account", as_cfunction(signer_sign_create_sub_account), kFast,
     "sign_create_sub_account($self, name, margin_amount=None, nonce=None)\n--\n\n"
     "Sign a sub-account creation (optional initial margin transfer)"},
    {"sign_whitelist_faucet", as_cfunction(signer_sign_whitelist_faucet), kFast,
     "sign_whitelist_faucet($self, target_pubkey, whitelist, nonce=None)\n--\n\n"
     "Sign whitelist/un-whitelist faucet access (`whitelistFaucet`)"},
    {"sign_order", as_cfunction(signer_sign_order), kFast,
     "sign_order($self, orders, nonce=None)\n--\n\n"
     "Deprecated: Use sign() for single, sign_all() for batch, sign_group() for atomic"},
    {"sign_orders_batch", as_cfunction(signer_sign_orders_batch), kFast,
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
    {Py_tp_dealloc, reinterpret_cast<void*>(signer_dealloc)},
    {Py_tp_methods, kSignerMethods},
    {Py_tp_getset, kSignerGetSet},
    {Py_tp_repr, reinterpret_cast<void*>(signer_repr)},
    {0, nullptr},
};

PyType_Spec kSignerSpec = {
    "vorn_keychain._native.Signer",
    sizeof(SignerObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
    kSignerSlots,
};

}  // namespace

SharedBorrow::SharedBorrow(PyObject* self) : obj_(as_signer(self)) {
    if (obj_->borrow < 0) {
        PyErr_SetString(PyExc_RuntimeError, "Already mutably borrowed");
        obj_ = nullptr;
        return;
    }
    ++obj_->borrow;
}

SharedBorrow::~SharedBorrow() {
    if (obj_ != nullptr) --obj_->borrow;
}

ExclusiveBorrow::ExclusiveBorrow(PyObject* self) : obj_(as_signer(self)) {
    if (obj_->borrow != 0) {
        PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
        obj_ = nullptr;
        return;
    }
    obj_->borrow = -1;
}

ExclusiveBorrow::~ExclusiveBorrow() {
    if (obj_ != nullptr) obj_->borrow = 0;
}

PyObject* create_signer_type() {
    if (g_signer_type == nullptr) {
        PyObject* type = PyType_FromSpec(&kSignerSpec);
        if (type == nullptr) {
            PyErr_Print();
            return raise_fault_text("failed to create type object for Signer");
        }
        g_signer_type = reinterpret_cast<PyTypeObject*>(type);  // kept for the life of the process
    }
    return Py_NewRef(reinterpret_cast<PyObject*>(g_signer_type));
}

}  // namespace vorn::py
