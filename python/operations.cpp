// The signable operations, each once: the Signer's method and the
// py_prepare_ function of an operation side by side, both bodies of the call
// path (fastcall.hpp) that convert their arguments and hand them to the
// operation of the core's table (prepare/operation.hpp). Its action list is
// rendered straight into Python objects (PySink).
//
// A Signer method converts every argument, and decodes every public key,
// with the signer borrowed and before a nonce is drawn. A py_prepare_
// function converts its arguments in parameter order, then decodes the
// network domain, the account and the optional signer, then the payload's
// own keys, and only then draws a nonce (when none was given) and prepares
// the action. A call that fails on its input, or whose operation refuses it,
// therefore consumes no nonce.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "action_sink.hpp"
#include "arguments.hpp"
#include "batch.hpp"
#include "binder.hpp"
#include "convert.hpp"
#include "dicts.hpp"
#include "errors.hpp"
#include "fastcall.hpp"
#include "inputs.hpp"
#include "module.hpp"
#include "order_parse.hpp"
#include "signer_type.hpp"
#include "ed25519/group.hpp"
#include "prepare/operation.hpp"
#include "prepare/prepare.hpp"
#include "sdk_compat/render.hpp"

namespace vorn::py {
namespace {

// ---------------------------------------------------------------- docstrings of the preparations

// Lines that the docstrings share.
#define DOC_DOMAIN "    signature_domain: Network name: \"mainnet\", \"testnet\" or \"devnet\"\n"
#define DOC_ACCOUNT "    account: Account public key (base58)\n"
#define DOC_SIGNER "    signer: Signer public key (defaults to account)\n"
#define DOC_NONCE "    nonce: Transaction nonce (defaults to current timestamp)\n"
#define DOC_TO_PUBKEY "    to_pubkey: Builder-code recipient public key (base58)\n"
#define DOC_FEE "    fee: Maximum fee in basis points, 1 to 15\n"
#define DOC_RETURNS_PREPARED "\nReturns:\n    PreparedMessage dict with message_bytes to sign"

const char kPrepareOrderDoc[] =
    "py_prepare_order(order, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare a single order for external wallet signing\n"
    "\n"
    "Use this when you don't have access to the private key and need\n"
    "to sign with an external wallet.\n"
    "\n"
    "Args:\n"
    "    order: Order dict with type, symbol, is_buy, price, size, etc.\n"
    DOC_ACCOUNT DOC_SIGNER DOC_NONCE
    DOC_RETURNS_PREPARED "\n"
    "\n"
    "Example:\n"
    "    prepared = py_prepare_order(order, \"mainnet\", account_pubkey)\n"
    "    signature = wallet.sign(prepared[\"message_bytes\"])\n"
    "    signed = py_finalize_transaction(prepared, signature)";

const char kPrepareAllOrdersDoc[] =
    "py_prepare_all_orders(orders, signature_domain, account, signer=None, base_nonce=None)\n--\n\n"
    "Prepare multiple orders - each becomes its own transaction (parallel)\n"
    "\n"
    "Optimized for HFT: each order gets independent confirmation/rejection.\n"
    "\n"
    "Args:\n"
    "    orders: List of order dicts\n"
    DOC_DOMAIN DOC_ACCOUNT DOC_SIGNER
    "    base_nonce: Nonce of the first order; order i gets base_nonce + i\n"
    "        (defaults to current timestamp)\n"
    "\n"
    "Returns:\n"
    "    List of PreparedMessage dicts, in input order\n"
    "\n"
    "Example:\n"
    "    prepared = py_prepare_all_orders([order1, order2], \"mainnet\", account_pubkey)\n"
    "    signed = [py_finalize_transaction(p, wallet.sign(p[\"message_bytes\"])) for p in prepared]";

const char kPrepareOrderGroupDoc[] =
    "py_prepare_order_group(orders, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare multiple orders as ONE atomic transaction\n"
    "\n"
    "Use for bracket orders (entry + stop loss + take profit).\n"
    "\n"
    "Args:\n"
    "    orders: List of order dicts, signed together in this order\n"
    DOC_DOMAIN DOC_ACCOUNT DOC_SIGNER DOC_NONCE
    DOC_RETURNS_PREPARED "\n"
    "\n"
    "Example:\n"
    "    prepared = py_prepare_order_group([entry, stop_loss, take_profit], \"mainnet\", account_pubkey)\n"
    "    signed = py_finalize_transaction(prepared, wallet.sign(prepared[\"message_bytes\"]))";

const char kPrepareAgentWalletAuthDoc[] =
    "py_prepare_agent_wallet_auth(agent_pubkey, delete, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare agent wallet creation for external signing\n"
    "\n"
    "Args:\n"
    "    agent_pubkey: Agent wallet public key (base58)\n"
    "    delete: True to remove the agent wallet instead of creating it\n"
    DOC_DOMAIN DOC_ACCOUNT DOC_SIGNER DOC_NONCE
    DOC_RETURNS_PREPARED "\n"
    "\n"
    "Example:\n"
    "    prepared = py_prepare_agent_wallet_auth(agent.pubkey, False, \"mainnet\", account_pubkey)\n"
    "    signed = py_finalize_transaction(prepared, wallet.sign(prepared[\"message_bytes\"]))";

const char kPrepareApproveBuilderCodeDoc[] =
    "py_prepare_approve_builder_code(to_pubkey, fee, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare builder-code recipient approval for external signing\n"
    "\n"
    "Args:\n"
    DOC_TO_PUBKEY DOC_FEE DOC_DOMAIN DOC_ACCOUNT DOC_SIGNER DOC_NONCE
    DOC_RETURNS_PREPARED;

const char kPrepareUpdateLiquidatorConfigDoc[] =
    "py_prepare_update_liquidator_config(config, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare a liquidator config update for external signing\n"
    "\n"
    "Args:\n"
    "    config: Liquidator config dict (global parameters and \"instruments\")\n"
    DOC_DOMAIN DOC_ACCOUNT DOC_SIGNER DOC_NONCE
    DOC_RETURNS_PREPARED;

const char kPrepareApproveCommissionFeeDoc[] =
    "py_prepare_approve_commission_fee(to_pubkey, fee, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare builder-code recipient approval for external signing\n"
    "\n"
    "The same operation as py_prepare_approve_builder_code.\n"
    "\n"
    "Args:\n"
    DOC_TO_PUBKEY DOC_FEE DOC_DOMAIN DOC_ACCOUNT DOC_SIGNER DOC_NONCE
    DOC_RETURNS_PREPARED;

const char kPrepareRevokeBuilderCodeDoc[] =
    "py_prepare_revoke_builder_code(to_pubkey, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare builder-code recipient revocation for external signing\n"
    "\n"
    "Args:\n"
    DOC_TO_PUBKEY DOC_DOMAIN DOC_ACCOUNT DOC_SIGNER DOC_NONCE
    DOC_RETURNS_PREPARED;

const char kPrepareRevokeCommissionFeeDoc[] =
    "py_prepare_revoke_commission_fee(to_pubkey, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare builder-code recipient revocation for external signing\n"
    "\n"
    "The same operation as py_prepare_revoke_builder_code.\n"
    "\n"
    "Args:\n"
    DOC_TO_PUBKEY DOC_DOMAIN DOC_ACCOUNT DOC_SIGNER DOC_NONCE
    DOC_RETURNS_PREPARED;

const char kPrepareFaucetRequestDoc[] =
    "py_prepare_faucet_request(signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare faucet request for external signing\n"
    "\n"
    "Args:\n"
    DOC_DOMAIN
    "    account: Account public key (base58) that receives the funds\n"
    DOC_SIGNER DOC_NONCE
    DOC_RETURNS_PREPARED;

const char kPrepareCreateSubAccountDoc[] =
    "py_prepare_create_sub_account(name, signature_domain, account, margin_amount=None, signer=None, nonce=None)\n"
    "--\n\n"
    "Prepare a sub-account creation for external signing\n"
    "\n"
    "Args:\n"
    "    name: Sub-account name\n"
    DOC_DOMAIN DOC_ACCOUNT
    "    margin_amount: Initial margin moved into the sub-account (optional)\n"
    DOC_SIGNER DOC_NONCE
    DOC_RETURNS_PREPARED;

const char kPrepareRemoveSubAccountDoc[] =
    "py_prepare_remove_sub_account(to_remove, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare a sub-account removal for external signing\n"
    "\n"
    "Args:\n"
    "    to_remove: Sub-account public key (base58)\n"
    DOC_DOMAIN DOC_ACCOUNT DOC_SIGNER DOC_NONCE
    DOC_RETURNS_PREPARED;

const char kPrepareTransferDoc[] =
    "py_prepare_transfer(from_pubkey, to_pubkey, margin_amount, signature_domain, account, kind=None, signer=None, "
    "nonce=None)\n--\n\n"
    "Prepare a margin transfer for external signing\n"
    "\n"
    "Args:\n"
    "    from_pubkey: Source account public key (base58)\n"
    "    to_pubkey: Destination account public key (base58)\n"
    "    margin_amount: Margin amount to move\n"
    DOC_DOMAIN DOC_ACCOUNT
    "    kind: \"internal\" (default) or \"external\"\n"
    DOC_SIGNER DOC_NONCE
    DOC_RETURNS_PREPARED;

const char kFinalizeTransactionDoc[] =
    "py_finalize_transaction(prepared, signature)\n--\n\n"
    "Finalize a prepared message with a signature from an external wallet\n"
    "\n"
    "The signature is checked against the prepared message bytes and the\n"
    "prepared signer before the transaction is built.\n"
    "\n"
    "Args:\n"
    "    prepared: PreparedMessage dict from prepare_* functions\n"
    "    signature: Base58-encoded signature from wallet\n"
    "\n"
    "Returns:\n"
    "    SignedTransaction dict ready for API submission\n"
    "\n"
    "Example:\n"
    "    prepared = py_prepare_order(order, \"mainnet\", account_pubkey)\n"
    "    signature = wallet.sign(prepared[\"message_bytes\"])\n"
    "    signed = py_finalize_transaction(prepared, signature)";

// ---------------------------------------------------------------- shared steps

// Signs an operation's action with the signer's own account.
PyObject* sign_operation(Signer& s, const Result<Action>& operation, const Nonce& nonce) {
    PySink actions;
    return signed_to_python(s.sign(operation, nonce.value, actions), actions);
}

// The account, network and signer of a prepared message: decoded before the
// payload's own keys and values.
using Network = First<Domain>;
using Account = First<Key>;
using SignerKey = First<OptionalKey>;

// Prepares an operation's action once the nonce is drawn, when none was
// given. A refusal of one of a group's orders names it in a note
// (errors.hpp) under `name`.
PyObject* prepare(const Result<Action>& operation, const Network& domain, const Account& account,
                  const SignerKey& signer, const Nonce& nonce, const char* name = nullptr) {
    if (!operation) return raise_core_error(operation.error());
    Result<uint64_t> resolved = resolve_nonce(nonce.value);
    if (!resolved) return raise_core_error(resolved.error());
    PySink actions;
    auto prepared = prepare_action(*operation, domain.value, account.value, signer.value, *resolved, actions);
    if (!prepared && name != nullptr) return raise_item_error(prepared.error(), name);
    return prepared_to_python(prepared, actions);
}

// A batch element's action list, rendered on the calling thread once its
// element is done (the workers leave the action JSON out); the element's
// items are freed here too, on the calling thread.
PyObject* take_actions(Action& action) {
    PySink sink;
    if (auto st = sink.render(action); !st) return raise_core_error(st.error());
    action = Action();
    return sink.take();
}

// ---------------------------------------------------------------- one order, a group of orders

constexpr const char* kOrderNonceParams[] = {"order", "nonce"};
constexpr CallSignature kSign{"Signer.sign", kOrderNonceParams, 2, 1};

PyObject* sign(Signer& s, Order order, Nonce nonce) {
    return sign_operation(s, operation::order(std::move(order.value)), nonce);
}

constexpr const char* kOrderParams[] = {"order", "signature_domain", "account", "signer", "nonce"};
constexpr CallSignature kPrepareOrder{"py_prepare_order", kOrderParams, 5, 3};

// Unusual: the order is read last, after the network, account and signer
// have decoded.
PyObject* prepare_order(Late<OrderWithOnFill> order, Network domain, Account account, SignerKey signer,
                        Nonce nonce) {
    return prepare(operation::order(std::move(order.value)), domain, account, signer, nonce);
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

constexpr const char* kGroupParams[] = {"orders", "signature_domain", "account", "signer", "nonce"};
constexpr CallSignature kPrepareOrderGroup{"py_prepare_order_group", kGroupParams, 5, 3};

PyObject* prepare_group(OrderList orders, Network domain, Account account, SignerKey signer, Nonce nonce) {
    return prepare(operation::group(std::move(orders.value)), domain, account, signer, nonce, "orders");
}

// ---------------------------------------------------------------- batches of orders

// Element i is its own transaction with nonce base + i (batch.hpp): the
// calling thread converts the elements, and wraps finished ones while the
// pool signs or prepares the rest. Each element becomes its action when
// read: an order alone (operation::order), or a list signed together (an
// empty one refused by the conversion).
template <class Streamed>
bool read_action(Streamed& elements, size_t i, std::vector<Action>& actions) {
    if (!elements.read_element(i)) return false;
    if constexpr (std::is_same_v<Streamed, StreamedOrders>) {
        actions[i] = one_item_orders(std::move(elements.items[i]));
    } else {
        actions[i] = Action(Orders{std::move(elements.items[i])});
    }
    return true;
}

template <class Streamed>
PyObject* sign_batch(const Signer& s, Streamed& elements, bool one_item, Nonce base) {
    std::vector<Action> actions(elements.size());
    return batch_to_list<SignedTransaction>(
        elements.name, one_item, elements.size(), base.value, [&](size_t i) { return read_action(elements, i, actions); },
        [&](size_t first, std::span<SignedTransaction> out, uint64_t nonce) {
            return s.sign_batch_group(out, nonce, [&](size_t k, uint64_t n, PreparedMessage& p) {
                Status st = s.prepare_element(actions[first + k], n, p, nullptr);
                if (!st) locate_element(st.error(), first + k, one_item);
                return st;
            });
        },
        [&](size_t i, SignedTransaction&& tx) { return signed_transaction_with_actions(tx, take_actions(actions[i])); },
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

constexpr const char* kAllOrdersParams[] = {"orders", "signature_domain", "account", "signer", "base_nonce"};
constexpr CallSignature kPrepareAllOrders{"py_prepare_all_orders", kAllOrdersParams, 5, 3};

// The workers also make the message texts.
PyObject* prepare_all(StreamedOrders orders, Network domain, Account account, SignerKey signer, Nonce base) {
    // The records leave out the account and signer texts, which every
    // element shares: one str object each goes into all the dicts.
    struct Prepared {
        PreparedMessage record;
        MessageTexts texts;
    };
    const size_t n = orders.size();
    const std::string account_text = account.value.to_base58();
    PyRef account_obj(text_to_python(account_text));
    PyRef signer_obj(signer.value ? text_to_python(signer.value->to_base58()) : Py_NewRef(account_obj.get()));
    if (!account_obj || !signer_obj) return nullptr;
    const std::string none;
    std::vector<Action> actions(n);
    return batch_to_list<Prepared>(
        orders.name, true, n, base.value, [&](size_t i) { return read_action(orders, i, actions); },
        [&](size_t i, uint64_t nonce) -> Result<Prepared> {
            auto record = prepare_batch_item(actions[i], domain.value, account.value, none, none, nonce, nullptr);
            if (!record) return fail(std::move(record.error()));
            MessageTexts texts = MessageTexts::of(record->message_bytes);
            return Prepared{std::move(*record), std::move(texts)};
        },
        [&](size_t i, Prepared&& p) {
            return prepared_with_actions(p.record, take_actions(actions[i]), &p.texts, account_obj.get(),
                                         signer_obj.get());
        });
}

// ---------------------------------------------------------------- finalisation of a preparation

constexpr const char* kFinalizeParams[] = {"prepared", "signature"};
constexpr CallSignature kFinalizeTransaction{"py_finalize_transaction", kFinalizeParams, 2, 2};

PyObject* finalize_transaction(PreparedDict prepared, Text signature) {
    return finalize_to_python(std::move(prepared.value), signature.value, std::nullopt);
}

// ---------------------------------------------------------------- agent wallet

constexpr const char* kSignAgentParams[] = {"agent_pubkey", "delete", "nonce"};
constexpr CallSignature kSignAgent{"Signer.sign_agent_wallet", kSignAgentParams, 3, 2};

PyObject* sign_agent_wallet(Signer& s, Key agent, Flag del, Nonce nonce) {
    return sign_operation(s, operation::agent_wallet(agent.value, del.value), nonce);
}

constexpr const char* kAgentParams[] = {"agent_pubkey", "delete", "signature_domain", "account", "signer", "nonce"};
constexpr CallSignature kPrepareAgentWallet{"py_prepare_agent_wallet_auth", kAgentParams, 6, 4};

PyObject* prepare_agent_wallet(Key agent, Flag delete_agent, Network domain, Account account, SignerKey signer,
                               Nonce nonce) {
    return prepare(operation::agent_wallet(agent.value, delete_agent.value), domain, account, signer, nonce);
}

// ---------------------------------------------------------------- builder-code (commission-fee) approval and revocation

constexpr const char* kSignApproveParams[] = {"to_pubkey", "fee", "nonce"};
constexpr CallSignature kApproveCommission{"Signer.sign_approve_commission_fee", kSignApproveParams, 3, 2};
constexpr CallSignature kApproveBuilder{"Signer.sign_approve_builder_code", kSignApproveParams, 3, 2};

PyObject* sign_approve(Signer& s, Key to, U8 fee, Nonce nonce) {
    return sign_operation(s, operation::approve_commission_fee(to.value, fee.value), nonce);
}

constexpr const char* kApproveParams[] = {"to_pubkey", "fee", "signature_domain", "account", "signer", "nonce"};
constexpr CallSignature kPrepareApproveBuilderCode{"py_prepare_approve_builder_code", kApproveParams, 6, 4};
constexpr CallSignature kPrepareApproveCommissionFee{"py_prepare_approve_commission_fee", kApproveParams, 6, 4};

PyObject* prepare_approve(Key to, U8 fee, Network domain, Account account, SignerKey signer, Nonce nonce) {
    return prepare(operation::approve_commission_fee(to.value, fee.value), domain, account, signer, nonce);
}

constexpr const char* kSignRevokeParams[] = {"to_pubkey", "nonce"};
constexpr CallSignature kRevokeCommission{"Signer.sign_revoke_commission_fee", kSignRevokeParams, 2, 1};
constexpr CallSignature kRevokeBuilder{"Signer.sign_revoke_builder_code", kSignRevokeParams, 2, 1};

PyObject* sign_revoke(Signer& s, Key to, Nonce nonce) {
    return sign_operation(s, operation::revoke_commission_fee(to.value), nonce);
}

constexpr const char* kRevokeParams[] = {"to_pubkey", "signature_domain", "account", "signer", "nonce"};
constexpr CallSignature kPrepareRevokeBuilderCode{"py_prepare_revoke_builder_code", kRevokeParams, 5, 3};
constexpr CallSignature kPrepareRevokeCommissionFee{"py_prepare_revoke_commission_fee", kRevokeParams, 5, 3};

PyObject* prepare_revoke(Key to, Network domain, Account account, SignerKey signer, Nonce nonce) {
    return prepare(operation::revoke_commission_fee(to.value), domain, account, signer, nonce);
}

// ---------------------------------------------------------------- liquidator configuration

// The nonce is converted before the configuration is parsed.
constexpr const char* kSignConfigParams[] = {"config", "nonce"};
constexpr CallSignature kLiquidator{"Signer.sign_update_liquidator_config", kSignConfigParams, 2, 1};

PyObject* sign_update_liquidator_config(Signer& s, Late<Config> config, Nonce nonce) {
    return sign_operation(s, operation::update_liquidator_config(std::move(config.value)), nonce);
}

constexpr const char* kConfigParams[] = {"config", "signature_domain", "account", "signer", "nonce"};
constexpr CallSignature kPrepareLiquidatorConfig{"py_prepare_update_liquidator_config", kConfigParams, 5, 3};

PyObject* prepare_liquidator_config(Config config, Network domain, Account account, SignerKey signer,
                                    Nonce nonce) {
    return prepare(operation::update_liquidator_config(std::move(config.value)), domain, account, signer, nonce);
}

// ---------------------------------------------------------------- faucet

constexpr const char* kNonceParams[] = {"nonce"};
constexpr CallSignature kSignFaucet{"Signer.sign_faucet", kNonceParams, 1, 0};

// The faucet pays the account itself, without an amount.
PyObject* sign_faucet(Signer& s, Nonce nonce) { return sign_operation(s, operation::faucet(s.pubkey()), nonce); }

constexpr const char* kFaucetParams[] = {"signature_domain", "account", "signer", "nonce"};
constexpr CallSignature kPrepareFaucet{"py_prepare_faucet_request", kFaucetParams, 4, 2};

PyObject* prepare_faucet(Network domain, Account account, SignerKey signer, Nonce nonce) {
    return prepare(operation::faucet(account.value), domain, account, signer, nonce);
}

// ---------------------------------------------------------------- sub-accounts

constexpr const char* kSignCreateSubParams[] = {"name", "margin_amount", "nonce"};
constexpr CallSignature kCreateSub{"Signer.sign_create_sub_account", kSignCreateSubParams, 3, 1};

PyObject* sign_create_sub_account(Signer& s, String name, OptionalF64 amount, Nonce nonce) {
    return sign_operation(s, operation::create_sub_account(std::move(name.value), amount.value), nonce);
}

constexpr const char* kCreateSubParams[] = {"name", "signature_domain", "account", "margin_amount", "signer", "nonce"};
constexpr CallSignature kPrepareCreateSubAccount{"py_prepare_create_sub_account", kCreateSubParams, 6, 3};

PyObject* prepare_create_sub_account(String name, Network domain, Account account, OptionalF64 margin,
                                     SignerKey signer, Nonce nonce) {
    return prepare(operation::create_sub_account(std::move(name.value), margin.value), domain, account, signer,
                   nonce);
}

constexpr const char* kSignRemoveParams[] = {"to_remove", "nonce"};
constexpr CallSignature kRemove{"Signer.sign_remove_sub_account", kSignRemoveParams, 2, 1};

PyObject* sign_remove_sub_account(Signer& s, Key to_remove, Nonce nonce) {
    return sign_operation(s, operation::remove_sub_account(to_remove.value), nonce);
}

constexpr const char* kRemoveSubParams[] = {"to_remove", "signature_domain", "account", "signer", "nonce"};
constexpr CallSignature kPrepareRemoveSubAccount{"py_prepare_remove_sub_account", kRemoveSubParams, 5, 3};

PyObject* prepare_remove_sub_account(Key to_remove, Network domain, Account account, SignerKey signer,
                                     Nonce nonce) {
    return prepare(operation::remove_sub_account(to_remove.value), domain, account, signer, nonce);
}

// ---------------------------------------------------------------- margin transfer

constexpr const char* kSignTransferParams[] = {"from_pubkey", "to_pubkey", "margin_amount", "kind", "nonce"};
constexpr CallSignature kTransfer{"Signer.sign_transfer", kSignTransferParams, 5, 3};

PyObject* sign_transfer(Signer& s, Key from, Key to, F64 amount, Kind kind, Nonce nonce) {
    return sign_operation(s, operation::transfer(from.value, to.value, amount.value, kind.value), nonce);
}

constexpr const char* kTransferParams[] = {"from_pubkey", "to_pubkey", "margin_amount", "signature_domain",
                                           "account",     "kind",      "signer",        "nonce"};
constexpr CallSignature kPrepareTransfer{"py_prepare_transfer", kTransferParams, 8, 5};

// Unusual: the kind's type is checked in parameter order, its value only after
// the keys have decoded.
PyObject* prepare_transfer(Key from, Key to, F64 amount, Network domain, Account account, CheckedKind kind,
                           SignerKey signer, Nonce nonce) {
    return prepare(operation::transfer(from.value, to.value, amount.value, kind.value), domain, account, signer,
                   nonce);
}

// ---------------------------------------------------------------- signed only: settings, oracles, faucet access

constexpr const char* kUserSettingsParams[] = {"max_leverage", "nonce"};
constexpr CallSignature kUserSettings{"Signer.sign_user_settings", kUserSettingsParams, 2, 1};

PyObject* sign_user_settings(Signer& s, Leverage leverage, Nonce nonce) {
    return sign_operation(s, operation::user_settings(std::move(leverage.value)), nonce);
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

constexpr const char* kWhitelistParams[] = {"target_pubkey", "whitelist", "nonce"};
constexpr CallSignature kWhitelist{"Signer.sign_whitelist_faucet", kWhitelistParams, 3, 2};

PyObject* sign_whitelist_faucet(Signer& s, Key target, Flag whitelist, Nonce nonce) {
    return sign_operation(s, operation::whitelist_faucet(target.value, whitelist.value), nonce);
}

}  // namespace

// The Signer's methods, in the class's order after its own.
PyMethodDef signer_operation_methods[] = {
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

PyMethodDef prepare_functions[] = {
    {"py_prepare_order", fastcall<kPrepareOrder, prepare_order>(), kFastCall, kPrepareOrderDoc},
    {"py_prepare_all_orders", fastcall<kPrepareAllOrders, prepare_all>(), kFastCall, kPrepareAllOrdersDoc},
    {"py_prepare_order_group", fastcall<kPrepareOrderGroup, prepare_group>(), kFastCall, kPrepareOrderGroupDoc},
    {"py_prepare_agent_wallet_auth", fastcall<kPrepareAgentWallet, prepare_agent_wallet>(), kFastCall,
     kPrepareAgentWalletAuthDoc},
    {"py_prepare_approve_builder_code", fastcall<kPrepareApproveBuilderCode, prepare_approve>(), kFastCall,
     kPrepareApproveBuilderCodeDoc},
    {"py_prepare_update_liquidator_config", fastcall<kPrepareLiquidatorConfig, prepare_liquidator_config>(),
     kFastCall, kPrepareUpdateLiquidatorConfigDoc},
    {"py_prepare_approve_commission_fee", fastcall<kPrepareApproveCommissionFee, prepare_approve>(), kFastCall,
     kPrepareApproveCommissionFeeDoc},
    {"py_prepare_revoke_builder_code", fastcall<kPrepareRevokeBuilderCode, prepare_revoke>(), kFastCall,
     kPrepareRevokeBuilderCodeDoc},
    {"py_prepare_revoke_commission_fee", fastcall<kPrepareRevokeCommissionFee, prepare_revoke>(), kFastCall,
     kPrepareRevokeCommissionFeeDoc},
    {"py_prepare_faucet_request", fastcall<kPrepareFaucet, prepare_faucet>(), kFastCall, kPrepareFaucetRequestDoc},
    {"py_prepare_create_sub_account", fastcall<kPrepareCreateSubAccount, prepare_create_sub_account>(), kFastCall,
     kPrepareCreateSubAccountDoc},
    {"py_prepare_remove_sub_account", fastcall<kPrepareRemoveSubAccount, prepare_remove_sub_account>(), kFastCall,
     kPrepareRemoveSubAccountDoc},
    {"py_prepare_transfer", fastcall<kPrepareTransfer, prepare_transfer>(), kFastCall, kPrepareTransferDoc},
    {"py_finalize_transaction", fastcall<kFinalizeTransaction, finalize_transaction>(), kFastCall,
     kFinalizeTransactionDoc},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace vorn::py
