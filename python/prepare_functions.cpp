// The py_prepare_ functions and py_finalize_transaction, bodies of the call
// path (fastcall.hpp). Each converts its arguments in parameter order, then
// decodes the network domain, the account and the optional signer, then the
// payload's own keys, and only then draws a nonce (when none was given) and
// prepares the action. A call that fails on its input therefore consumes no
// nonce.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

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
#include "prepare/operation.hpp"
#include "prepare/prepare.hpp"
#include "sdk_compat/render.hpp"
#include "action_sink.hpp"

namespace vorn::py {
namespace {

// ---------------------------------------------------------------- docstrings

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

// The account, network and signer of the prepared message: decoded before the
// payload's own keys and values.
using Network = First<Domain>;
using Account = First<Key>;
using SignerKey = First<OptionalKey>;

// Prepares an operation's action (prepare/operation.hpp) once the nonce is
// drawn, when none was given; its action list is rendered straight into
// Python objects. A refused operation draws no nonce. A refusal of one of a
// group's orders names it in a note (errors.hpp) under `name`.
PyObject* prepare(Result<Action> operation, const Network& domain, const Account& account,
                  const SignerKey& signer, const Nonce& nonce, const char* name = nullptr) {
    if (!operation) return raise_core_error(operation.error());
    Result<uint64_t> resolved = resolve_nonce(nonce.value);
    if (!resolved) return raise_core_error(resolved.error());
    PySink actions;
    auto prepared = prepare_action(*operation, domain.value, account.value, signer.value, *resolved, actions);
    if (!prepared && name != nullptr) return raise_item_error(prepared.error(), name);
    return prepared_to_python(prepared, actions);
}

// ---------------------------------------------------------------- orders

constexpr const char* kOrderParams[] = {"order", "signature_domain", "account", "signer", "nonce"};
constexpr CallSignature kPrepareOrder{"py_prepare_order", kOrderParams, 5, 3};

// Unusual: the order is read last, after the network, account and signer
// have decoded.
PyObject* prepare_order(Late<OrderWithOnFill> order, Network domain, Account account, SignerKey signer,
                        Nonce nonce) {
    return prepare(operation::order(std::move(order.value)), domain, account, signer, nonce);
}

constexpr const char* kAllOrdersParams[] = {"orders", "signature_domain", "account", "signer", "base_nonce"};
constexpr CallSignature kPrepareAllOrders{"py_prepare_all_orders", kAllOrdersParams, 5, 3};

// Element i is prepared with nonce base + i (batch.hpp): the calling thread
// converts the elements, and wraps finished records (rendering their action
// lists) while the pool prepares the rest, the workers also making the
// message texts.
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
        orders.name, true, n, base.value,
        [&](size_t i) {
            if (!orders.read_element(i)) return false;
            actions[i] = one_item_orders(std::move(orders.items[i]));
            return true;
        },
        [&](size_t i, uint64_t nonce) -> Result<Prepared> {
            auto record = prepare_batch_item(actions[i], domain.value, account.value, none, none, nonce, nullptr);
            if (!record) return fail(std::move(record.error()));
            MessageTexts texts = MessageTexts::of(record->message_bytes);
            return Prepared{std::move(*record), std::move(texts)};
        },
        [&](size_t i, Prepared&& p) -> PyObject* {
            PySink sink;
            if (auto st = render_actions(actions[i], sink); !st) return raise_core_error(st.error());
            actions[i] = Action();  // its items are freed here, on the calling thread
            return prepared_with_actions(p.record, sink.take(), &p.texts, account_obj.get(), signer_obj.get());
        });
}

constexpr const char* kGroupParams[] = {"orders", "signature_domain", "account", "signer", "nonce"};
constexpr CallSignature kPrepareOrderGroup{"py_prepare_order_group", kGroupParams, 5, 3};

PyObject* prepare_group(OrderList orders, Network domain, Account account, SignerKey signer, Nonce nonce) {
    return prepare(operation::group(std::move(orders.value)), domain, account, signer, nonce, "orders");
}

// ---------------------------------------------------------------- finalisation

constexpr const char* kFinalizeParams[] = {"prepared", "signature"};
constexpr CallSignature kFinalizeTransaction{"py_finalize_transaction", kFinalizeParams, 2, 2};

PyObject* finalize_transaction(PreparedDict prepared, Text signature) {
    return finalize_to_python(std::move(prepared.value), signature.value, std::nullopt);
}

// ---------------------------------------------------------------- account operations

constexpr const char* kAgentParams[] = {"agent_pubkey", "delete", "signature_domain", "account", "signer", "nonce"};
constexpr CallSignature kPrepareAgentWallet{"py_prepare_agent_wallet_auth", kAgentParams, 6, 4};

PyObject* prepare_agent_wallet(Key agent, Flag delete_agent, Network domain, Account account, SignerKey signer,
                               Nonce nonce) {
    return prepare(operation::agent_wallet(agent.value, delete_agent.value), domain, account, signer, nonce);
}

constexpr const char* kApproveParams[] = {"to_pubkey", "fee", "signature_domain", "account", "signer", "nonce"};
constexpr CallSignature kPrepareApproveBuilderCode{"py_prepare_approve_builder_code", kApproveParams, 6, 4};
constexpr CallSignature kPrepareApproveCommissionFee{"py_prepare_approve_commission_fee", kApproveParams, 6, 4};

PyObject* prepare_approve(Key to, U8 fee, Network domain, Account account, SignerKey signer, Nonce nonce) {
    return prepare(operation::approve_commission_fee(to.value, fee.value), domain, account, signer, nonce);
}

constexpr const char* kRevokeParams[] = {"to_pubkey", "signature_domain", "account", "signer", "nonce"};
constexpr CallSignature kPrepareRevokeBuilderCode{"py_prepare_revoke_builder_code", kRevokeParams, 5, 3};
constexpr CallSignature kPrepareRevokeCommissionFee{"py_prepare_revoke_commission_fee", kRevokeParams, 5, 3};

PyObject* prepare_revoke(Key to, Network domain, Account account, SignerKey signer, Nonce nonce) {
    return prepare(operation::revoke_commission_fee(to.value), domain, account, signer, nonce);
}

constexpr const char* kConfigParams[] = {"config", "signature_domain", "account", "signer", "nonce"};
constexpr CallSignature kPrepareLiquidatorConfig{"py_prepare_update_liquidator_config", kConfigParams, 5, 3};

PyObject* prepare_liquidator_config(Config config, Network domain, Account account, SignerKey signer,
                                    Nonce nonce) {
    return prepare(operation::update_liquidator_config(std::move(config.value)), domain, account, signer, nonce);
}

constexpr const char* kFaucetParams[] = {"signature_domain", "account", "signer", "nonce"};
constexpr CallSignature kPrepareFaucet{"py_prepare_faucet_request", kFaucetParams, 4, 2};

PyObject* prepare_faucet(Network domain, Account account, SignerKey signer, Nonce nonce) {
    return prepare(operation::faucet(account.value), domain, account, signer, nonce);
}

constexpr const char* kCreateSubParams[] = {"name", "signature_domain", "account", "margin_amount", "signer", "nonce"};
constexpr CallSignature kPrepareCreateSubAccount{"py_prepare_create_sub_account", kCreateSubParams, 6, 3};

PyObject* prepare_create_sub_account(String name, Network domain, Account account, OptionalF64 margin,
                                     SignerKey signer, Nonce nonce) {
    return prepare(operation::create_sub_account(std::move(name.value), margin.value), domain, account, signer,
                   nonce);
}

constexpr const char* kRemoveSubParams[] = {"to_remove", "signature_domain", "account", "signer", "nonce"};
constexpr CallSignature kPrepareRemoveSubAccount{"py_prepare_remove_sub_account", kRemoveSubParams, 5, 3};

PyObject* prepare_remove_sub_account(Key to_remove, Network domain, Account account, SignerKey signer,
                                     Nonce nonce) {
    return prepare(operation::remove_sub_account(to_remove.value), domain, account, signer, nonce);
}

constexpr const char* kTransferParams[] = {"from_pubkey", "to_pubkey", "margin_amount", "signature_domain",
                                           "account",     "kind",      "signer",        "nonce"};
constexpr CallSignature kPrepareTransfer{"py_prepare_transfer", kTransferParams, 8, 5};

// Unusual: the kind's type is checked in parameter order, its value only after
// the keys have decoded.
PyObject* prepare_transfer_fn(Key from, Key to, F64 amount, Network domain, Account account, CheckedKind kind,
                              SignerKey signer, Nonce nonce) {
    return prepare(operation::transfer(from.value, to.value, amount.value, kind.value), domain, account, signer,
                   nonce);
}

}  // namespace

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
    {"py_prepare_transfer", fastcall<kPrepareTransfer, prepare_transfer_fn>(), kFastCall, kPrepareTransferDoc},
    {"py_finalize_transaction", fastcall<kFinalizeTransaction, finalize_transaction>(), kFastCall,
     kFinalizeTransactionDoc},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace vorn::py
