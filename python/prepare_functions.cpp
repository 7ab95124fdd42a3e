// The py_prepare_ functions. Each follows one path: convert every argument
// to its Python type (in parameter order), parse the network domain, decode
// the account and the optional signer, read the payload, and only then draw
// a nonce (when none was given) and prepare the action. A call that fails on
// its input therefore consumes no nonce.
#include "prepare_functions.hpp"

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "binder.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "inputs.hpp"
#include "order_parse.hpp"
#include "prepare.hpp"
#include "wallet_dicts.hpp"

namespace vorn::py {

// ---------------------------------------------------------------- docstrings

const char py_prepare_order_doc[] =
    "py_prepare_order(order, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare a single order for external wallet signing\n"
    "\n"
    "Use this when you don't have access to the private key and need\n"
    "to sign with an external wallet.\n"
    "\n"
    "Args:\n"
    "    order: Order dict with type, symbol, is_buy, price, size, etc.\n"
    "    account: Account public key (base58)\n"
    "    signer: Signer public key (defaults to account)\n"
    "    nonce: Transaction nonce (defaults to current timestamp)\n"
    "\n"
    "Returns:\n"
    "    PreparedMessage dict with message_bytes to sign\n"
    "\n"
    "Example:\n"
    "    prepared = py_prepare_order(order, \"mainnet\", account_pubkey)\n"
    "    signature = wallet.sign(prepared[\"message_bytes\"])\n"
    "    signed = py_finalize_transaction(prepared, signature)";

const char py_prepare_all_orders_doc[] =
    "py_prepare_all_orders(orders, signature_domain, account, signer=None, base_nonce=None)\n--\n\n"
    "Prepare multiple orders - each becomes its own transaction (parallel)\n"
    "\n"
    "Optimized for HFT: each order gets independent confirmation/rejection.\n"
    "\n"
    "Args:\n"
    "    orders: List of order dicts\n"
    "    signature_domain: Network name: \"mainnet\", \"testnet\" or \"devnet\"\n"
    "    account: Account public key (base58)\n"
    "    signer: Signer public key (defaults to account)\n"
    "    base_nonce: Nonce of the first order; order i gets base_nonce + i\n"
    "        (defaults to current timestamp)\n"
    "\n"
    "Returns:\n"
    "    List of PreparedMessage dicts, in input order\n"
    "\n"
    "Example:\n"
    "    prepared = py_prepare_all_orders([order1, order2], \"mainnet\", account_pubkey)\n"
    "    signed = [py_finalize_transaction(p, wallet.sign(p[\"message_bytes\"])) for p in prepared]";

const char py_prepare_order_group_doc[] =
    "py_prepare_order_group(orders, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare multiple orders as ONE atomic transaction\n"
    "\n"
    "Use for bracket orders (entry + stop loss + take profit).\n"
    "\n"
    "Args:\n"
    "    orders: List of order dicts, signed together in this order\n"
    "    signature_domain: Network name: \"mainnet\", \"testnet\" or \"devnet\"\n"
    "    account: Account public key (base58)\n"
    "    signer: Signer public key (defaults to account)\n"
    "    nonce: Transaction nonce (defaults to current timestamp)\n"
    "\n"
    "Returns:\n"
    "    PreparedMessage dict with message_bytes to sign\n"
    "\n"
    "Example:\n"
    "    prepared = py_prepare_order_group([entry, stop_loss, take_profit], \"mainnet\", account_pubkey)\n"
    "    signed = py_finalize_transaction(prepared, wallet.sign(prepared[\"message_bytes\"]))";

const char py_prepare_agent_wallet_auth_doc[] =
    "py_prepare_agent_wallet_auth(agent_pubkey, delete, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare agent wallet creation for external signing\n"
    "\n"
    "Args:\n"
    "    agent_pubkey: Agent wallet public key (base58)\n"
    "    delete: True to remove the agent wallet instead of creating it\n"
    "    signature_domain: Network name: \"mainnet\", \"testnet\" or \"devnet\"\n"
    "    account: Account public key (base58)\n"
    "    signer: Signer public key (defaults to account)\n"
    "    nonce: Transaction nonce (defaults to current timestamp)\n"
    "\n"
    "Returns:\n"
    "    PreparedMessage dict with message_bytes to sign\n"
    "\n"
    "Example:\n"
    "    prepared = py_prepare_agent_wallet_auth(agent.pubkey, False, \"mainnet\", account_pubkey)\n"
    "    signed = py_finalize_transaction(prepared, wallet.sign(prepared[\"message_bytes\"]))";

const char py_prepare_approve_builder_code_doc[] =
    "py_prepare_approve_builder_code(to_pubkey, fee, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare builder-code recipient approval for external signing\n"
    "\n"
    "Args:\n"
    "    to_pubkey: Builder-code recipient public key (base58)\n"
    "    fee: Maximum fee in basis points, 1 to 15\n"
    "    signature_domain: Network name: \"mainnet\", \"testnet\" or \"devnet\"\n"
    "    account: Account public key (base58)\n"
    "    signer: Signer public key (defaults to account)\n"
    "    nonce: Transaction nonce (defaults to current timestamp)\n"
    "\n"
    "Returns:\n"
    "    PreparedMessage dict with message_bytes to sign";

const char py_prepare_update_liquidator_config_doc[] =
    "py_prepare_update_liquidator_config(config, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare a liquidator config update for external signing\n"
    "\n"
    "Args:\n"
    "    config: Liquidator config dict (global parameters and \"instruments\")\n"
    "    signature_domain: Network name: \"mainnet\", \"testnet\" or \"devnet\"\n"
    "    account: Account public key (base58)\n"
    "    signer: Signer public key (defaults to account)\n"
    "    nonce: Transaction nonce (defaults to current timestamp)\n"
    "\n"
    "Returns:\n"
    "    PreparedMessage dict with message_bytes to sign";

const char py_prepare_approve_commission_fee_doc[] =
    "py_prepare_approve_commission_fee(to_pubkey, fee, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare builder-code recipient approval for external signing\n"
    "\n"
    "The same operation as py_prepare_approve_builder_code.\n"
    "\n"
    "Args:\n"
    "    to_pubkey: Builder-code recipient public key (base58)\n"
    "    fee: Maximum fee in basis points, 1 to 15\n"
    "    signature_domain: Network name: \"mainnet\", \"testnet\" or \"devnet\"\n"
    "    account: Account public key (base58)\n"
    "    signer: Signer public key (defaults to account)\n"
    "    nonce: Transaction nonce (defaults to current timestamp)\n"
    "\n"
    "Returns:\n"
    "    PreparedMessage dict with message_bytes to sign";

const char py_prepare_revoke_builder_code_doc[] =
    "py_prepare_revoke_builder_code(to_pubkey, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare builder-code recipient revocation for external signing\n"
    "\n"
    "Args:\n"
    "    to_pubkey: Builder-code recipient public key (base58)\n"
    "    signature_domain: Network name: \"mainnet\", \"testnet\" or \"devnet\"\n"
    "    account: Account public key (base58)\n"
    "    signer: Signer public key (defaults to account)\n"
    "    nonce: Transaction nonce (defaults to current timestamp)\n"
    "\n"
    "Returns:\n"
    "    PreparedMessage dict with message_bytes to sign";

const char py_prepare_revoke_commission_fee_doc[] =
    "py_prepare_revoke_commission_fee(to_pubkey, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare builder-code recipient revocation for external signing\n"
    "\n"
    "The same operation as py_prepare_revoke_builder_code.\n"
    "\n"
    "Args:\n"
    "    to_pubkey: Builder-code recipient public key (base58)\n"
    "    signature_domain: Network name: \"mainnet\", \"testnet\" or \"devnet\"\n"
    "    account: Account public key (base58)\n"
    "    signer: Signer public key (defaults to account)\n"
    "    nonce: Transaction nonce (defaults to current timestamp)\n"
    "\n"
    "Returns:\n"
    "    PreparedMessage dict with message_bytes to sign";

const char py_prepare_faucet_request_doc[] =
    "py_prepare_faucet_request(signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare faucet request for external signing\n"
    "\n"
    "Args:\n"
    "    signature_domain: Network name: \"mainnet\", \"testnet\" or \"devnet\"\n"
    "    account: Account public key (base58) that receives the funds\n"
    "    signer: Signer public key (defaults to account)\n"
    "    nonce: Transaction nonce (defaults to current timestamp)\n"
    "\n"
    "Returns:\n"
    "    PreparedMessage dict with message_bytes to sign";

const char py_prepare_create_sub_account_doc[] =
    "py_prepare_create_sub_account(name, signature_domain, account, margin_amount=None, signer=None, nonce=None)\n"
    "--\n\n"
    "Prepare a sub-account creation for external signing\n"
    "\n"
    "Args:\n"
    "    name: Sub-account name\n"
    "    signature_domain: Network name: \"mainnet\", \"testnet\" or \"devnet\"\n"
    "    account: Account public key (base58)\n"
    "    margin_amount: Initial margin moved into the sub-account (optional)\n"
    "    signer: Signer public key (defaults to account)\n"
    "    nonce: Transaction nonce (defaults to current timestamp)\n"
    "\n"
    "Returns:\n"
    "    PreparedMessage dict with message_bytes to sign";

const char py_prepare_remove_sub_account_doc[] =
    "py_prepare_remove_sub_account(to_remove, signature_domain, account, signer=None, nonce=None)\n--\n\n"
    "Prepare a sub-account removal for external signing\n"
    "\n"
    "Args:\n"
    "    to_remove: Sub-account public key (base58)\n"
    "    signature_domain: Network name: \"mainnet\", \"testnet\" or \"devnet\"\n"
    "    account: Account public key (base58)\n"
    "    signer: Signer public key (defaults to account)\n"
    "    nonce: Transaction nonce (defaults to current timestamp)\n"
    "\n"
    "Returns:\n"
    "    PreparedMessage dict with message_bytes to sign";

const char py_prepare_transfer_doc[] =
    "py_prepare_transfer(from_pubkey, to_pubkey, margin_amount, signature_domain, account, kind=None, signer=None, "
    "nonce=None)\n--\n\n"
    "Prepare a margin transfer for external signing\n"
    "\n"
    "Args:\n"
    "    from_pubkey: Source account public key (base58)\n"
    "    to_pubkey: Destination account public key (base58)\n"
    "    margin_amount: Margin amount to move\n"
    "    signature_domain: Network name: \"mainnet\", \"testnet\" or \"devnet\"\n"
    "    account: Account public key (base58)\n"
    "    kind: \"internal\" (default) or \"external\"\n"
    "    signer: Signer public key (defaults to account)\n"
    "    nonce: Transaction nonce (defaults to current timestamp)\n"
    "\n"
    "Returns:\n"
    "    PreparedMessage dict with message_bytes to sign";

// ---------------------------------------------------------------- shared steps

namespace {

// The trailing parameters every preparing function shares, as Python types.
struct CommonText {
    std::string_view domain;
    std::string_view account;
    std::optional<std::string_view> signer;
    std::optional<uint64_t> nonce;
};

// The same, decoded.
struct Common {
    SignatureDomain domain = SignatureDomain::Mainnet;
    Pubkey account;
    std::optional<Pubkey> signer;
    std::optional<uint64_t> nonce;
};

bool convert_domain_account(PyObject* domain, PyObject* account, CommonText* out) {
    return to_text(domain, "signature_domain", &out->domain) && to_text(account, "account", &out->account);
}

bool convert_signer_nonce(PyObject* signer, PyObject* nonce, const char* nonce_name, CommonText* out) {
    return to_optional_text(signer, "signer", &out->signer) && to_optional_u64(nonce, nonce_name, &out->nonce);
}

// Domain, then account, then the signer when one was given.
bool decode_common(const CommonText& text, Common* out) {
    if (!decode_domain(text.domain, &out->domain)) return false;
    if (!decode_pubkey(text.account, &out->account)) return false;
    out->signer.reset();
    if (text.signer) {
        Pubkey signer;
        if (!decode_pubkey(*text.signer, &signer)) return false;
        out->signer = signer;
    }
    out->nonce = text.nonce;
    return true;
}

PyObject* prepared_or_raise(Result<PreparedMessage> prepared) {
    if (!prepared) return raise_core_error(prepared.error());
    return prepared_to_python(*prepared);
}

// Draws the nonce when none was given, then prepares the action.
PyObject* prepare_and_convert(const Action& action, const Common& c) {
    Timed<uint64_t> nonce = resolve_nonce(c.nonce);
    if (!nonce) return raise_fault(nonce.error());
    return prepared_or_raise(prepare_action(action, c.domain, c.account, c.signer, *nonce));
}

// The builder-code fee must lie in 1..=15; refused before any nonce is drawn.
bool check_fee(uint8_t fee) {
    if (Commission::fee_allowed(fee)) return true;
    raise_core_error(Error::invalid_order("builder-code fee must be 1..=15 bps"));
    return false;
}

const char* const kOrderParams[] = {"order", "signature_domain", "account", "signer", "nonce"};
const FunctionSpec kPrepareOrder{"py_prepare_order", kOrderParams, 5, 3};

const char* const kAllOrdersParams[] = {"orders", "signature_domain", "account", "signer", "base_nonce"};
const FunctionSpec kPrepareAllOrders{"py_prepare_all_orders", kAllOrdersParams, 5, 3};

const char* const kGroupParams[] = {"orders", "signature_domain", "account", "signer", "nonce"};
const FunctionSpec kPrepareOrderGroup{"py_prepare_order_group", kGroupParams, 5, 3};

const char* const kAgentParams[] = {"agent_pubkey", "delete", "signature_domain", "account", "signer", "nonce"};
const FunctionSpec kPrepareAgentWallet{"py_prepare_agent_wallet_auth", kAgentParams, 6, 4};

const char* const kApproveParams[] = {"to_pubkey", "fee", "signature_domain", "account", "signer", "nonce"};
const FunctionSpec kPrepareApproveBuilderCode{"py_prepare_approve_builder_code", kApproveParams, 6, 4};
const FunctionSpec kPrepareApproveCommissionFee{"py_prepare_approve_commission_fee", kApproveParams, 6, 4};

const char* const kConfigParams[] = {"config", "signature_domain", "account", "signer", "nonce"};
const FunctionSpec kPrepareLiquidatorConfig{"py_prepare_update_liquidator_config", kConfigParams, 5, 3};

const char* const kRevokeParams[] = {"to_pubkey", "signature_domain", "account", "signer", "nonce"};
const FunctionSpec kPrepareRevokeBuilderCode{"py_prepare_revoke_builder_code", kRevokeParams, 5, 3};
const FunctionSpec kPrepareRevokeCommissionFee{"py_prepare_revoke_commission_fee", kRevokeParams, 5, 3};

const char* const kFaucetParams[] = {"signature_domain", "account", "signer", "nonce"};
const FunctionSpec kPrepareFaucet{"py_prepare_faucet_request", kFaucetParams, 4, 2};

const char* const kCreateSubParams[] = {"name", "signature_domain", "account", "margin_amount", "signer", "nonce"};
const FunctionSpec kPrepareCreateSubAccount{"py_prepare_create_sub_account", kCreateSubParams, 6, 3};

const char* const kRemoveSubParams[] = {"to_remove", "signature_domain", "account", "signer", "nonce"};
const FunctionSpec kPrepareRemoveSubAccount{"py_prepare_remove_sub_account", kRemoveSubParams, 5, 3};

const char* const kTransferParams[] = {"from_pubkey", "to_pubkey", "margin_amount", "signature_domain",
                                       "account",     "kind",      "signer",        "nonce"};
const FunctionSpec kPrepareTransfer{"py_prepare_transfer", kTransferParams, 8, 5};

// The functions of the form (payload, signature_domain, account, signer,
// nonce): binds, converts the common parameters and decodes them. `payload`
// receives the first argument unconverted.
bool bind_payload_common(const FunctionSpec& spec, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                         PyObject** payload, Common* common) {
    PyObject* a[5];
    if (!bind_args(spec, args, nargs, kwnames, a)) return false;
    CommonText text;
    if (!convert_domain_account(a[1], a[2], &text) || !convert_signer_nonce(a[3], a[4], spec.params[4], &text)) {
        return false;
    }
    *payload = a[0];
    return decode_common(text, common);
}

PyObject* approve_commission_fee(const FunctionSpec& spec, PyObject* const* args, Py_ssize_t nargs,
                                 PyObject* kwnames) {
    PyObject* a[6];
    if (!bind_args(spec, args, nargs, kwnames, a)) return nullptr;
    std::string_view recipient;
    uint8_t fee = 0;
    CommonText text;
    if (!to_text(a[0], "to_pubkey", &recipient) || !to_u8(a[1], "fee", &fee) ||
        !convert_domain_account(a[2], a[3], &text) || !convert_signer_nonce(a[4], a[5], "nonce", &text)) {
        return nullptr;
    }
    Common c;
    ApproveCommissionFee approve;
    if (!decode_common(text, &c) || !decode_pubkey(recipient, &approve.to) || !check_fee(fee)) return nullptr;
    approve.fee = fee;
    return prepare_and_convert(Action(std::move(approve)), c);
}

PyObject* revoke_commission_fee(const FunctionSpec& spec, PyObject* const* args, Py_ssize_t nargs,
                                PyObject* kwnames) {
    PyObject* payload = nullptr;
    Common c;
    if (!bind_payload_common(spec, args, nargs, kwnames, &payload, &c)) return nullptr;
    std::string_view to;
    RevokeCommissionFee revoke;
    if (!to_text(payload, "to_pubkey", &to) || !decode_pubkey(to, &revoke.to)) return nullptr;
    return prepare_and_convert(Action(std::move(revoke)), c);
}

}  // namespace

// ---------------------------------------------------------------- orders

PyObject* py_prepare_order(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* order = nullptr;
        Common c;
        if (!bind_payload_common(kPrepareOrder, args, nargs, kwnames, &order, &c)) return nullptr;
        OrderItem item;
        if (!parse_order_with_on_fill(order, &item)) return nullptr;
        Timed<uint64_t> nonce = resolve_nonce(c.nonce);
        if (!nonce) return raise_fault(nonce.error());
        return prepared_or_raise(prepare_message(std::move(item), c.domain, c.account, c.signer, *nonce));
    });
}

PyObject* py_prepare_all_orders(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* orders = nullptr;
        Common c;
        if (!bind_payload_common(kPrepareAllOrders, args, nargs, kwnames, &orders, &c)) return nullptr;
        // Every order is converted here, on the calling thread, before any
        // work goes to the pool.
        std::vector<OrderItem> items;
        if (!parse_order_list(orders, "orders", &items)) return nullptr;
        Outcome<std::vector<PreparedMessage>> prepared =
            prepare_all_orders(std::move(items), c.domain, c.account, c.signer, c.nonce);
        if (!prepared) return raise_failure(prepared.error());
        return prepared_list_to_python(*prepared);
    });
}

PyObject* py_prepare_order_group(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* orders = nullptr;
        Common c;
        if (!bind_payload_common(kPrepareOrderGroup, args, nargs, kwnames, &orders, &c)) return nullptr;
        Orders group;
        if (!parse_order_list(orders, "orders", &group.items)) return nullptr;
        return prepare_and_convert(Action(std::move(group)), c);
    });
}

// ---------------------------------------------------------------- account operations

PyObject* py_prepare_agent_wallet_auth(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[6];
        if (!bind_args(kPrepareAgentWallet, args, nargs, kwnames, a)) return nullptr;
        std::string_view agent;
        bool delete_agent = false;
        CommonText text;
        if (!to_text(a[0], "agent_pubkey", &agent) || !to_strict_bool(a[1], "delete", &delete_agent) ||
            !convert_domain_account(a[2], a[3], &text) || !convert_signer_nonce(a[4], a[5], "nonce", &text)) {
            return nullptr;
        }
        Common c;
        AgentWalletCreation creation;
        if (!decode_common(text, &c) || !decode_pubkey(agent, &creation.agent)) return nullptr;
        creation.delete_ = delete_agent;
        return prepare_and_convert(Action(std::move(creation)), c);
    });
}

PyObject* py_prepare_approve_builder_code(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded(
        [&]() -> PyObject* { return approve_commission_fee(kPrepareApproveBuilderCode, args, nargs, kwnames); });
}

PyObject* py_prepare_approve_commission_fee(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded(
        [&]() -> PyObject* { return approve_commission_fee(kPrepareApproveCommissionFee, args, nargs, kwnames); });
}

PyObject* py_prepare_revoke_builder_code(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded(
        [&]() -> PyObject* { return revoke_commission_fee(kPrepareRevokeBuilderCode, args, nargs, kwnames); });
}

PyObject* py_prepare_revoke_commission_fee(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded(
        [&]() -> PyObject* { return revoke_commission_fee(kPrepareRevokeCommissionFee, args, nargs, kwnames); });
}

PyObject* py_prepare_update_liquidator_config(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                              PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* config = nullptr;
        Common c;
        if (!bind_payload_common(kPrepareLiquidatorConfig, args, nargs, kwnames, &config, &c)) return nullptr;
        UpdateLiquidatorConfig update;
        if (!parse_liquidator_config(config, "config", &update.config)) return nullptr;
        return prepare_and_convert(Action(std::move(update)), c);
    });
}

PyObject* py_prepare_faucet_request(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[4];
        if (!bind_args(kPrepareFaucet, args, nargs, kwnames, a)) return nullptr;
        CommonText text;
        Common c;
        if (!convert_domain_account(a[0], a[1], &text) || !convert_signer_nonce(a[2], a[3], "nonce", &text) ||
            !decode_common(text, &c)) {
            return nullptr;
        }
        // The faucet pays the account itself, without an amount.
        Faucet faucet;
        faucet.user = c.account;
        return prepare_and_convert(Action(std::move(faucet)), c);
    });
}

PyObject* py_prepare_create_sub_account(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[6];
        if (!bind_args(kPrepareCreateSubAccount, args, nargs, kwnames, a)) return nullptr;
        CreateSubAccount create;
        CommonText text;
        if (!to_string(a[0], "name", &create.name) || !convert_domain_account(a[1], a[2], &text) ||
            !to_optional_f64(a[3], "margin_amount", &create.margin_amount) ||
            !convert_signer_nonce(a[4], a[5], "nonce", &text)) {
            return nullptr;
        }
        Common c;
        if (!decode_common(text, &c)) return nullptr;
        return prepare_and_convert(Action(std::move(create)), c);
    });
}

PyObject* py_prepare_remove_sub_account(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* payload = nullptr;
        Common c;
        if (!bind_payload_common(kPrepareRemoveSubAccount, args, nargs, kwnames, &payload, &c)) return nullptr;
        std::string_view to_remove;
        RemoveSubAccount remove;
        if (!to_text(payload, "to_remove", &to_remove) || !decode_pubkey(to_remove, &remove.to_remove)) {
            return nullptr;
        }
        return prepare_and_convert(Action(std::move(remove)), c);
    });
}

PyObject* py_prepare_transfer(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[8];
        if (!bind_args(kPrepareTransfer, args, nargs, kwnames, a)) return nullptr;
        std::string_view from, to;
        std::optional<std::string_view> kind_text;
        Transfer transfer;
        CommonText text;
        if (!to_text(a[0], "from_pubkey", &from) || !to_text(a[1], "to_pubkey", &to) ||
            !to_f64(a[2], "margin_amount", &transfer.amount) || !convert_domain_account(a[3], a[4], &text) ||
            !to_optional_text(a[5], "kind", &kind_text) || !convert_signer_nonce(a[6], a[7], "nonce", &text)) {
            return nullptr;
        }
        Common c;
        if (!decode_common(text, &c) || !decode_pubkey(from, &transfer.from) || !decode_pubkey(to, &transfer.to) ||
            !parse_transfer_kind(a[5], &transfer.kind)) {
            return nullptr;
        }
        Timed<uint64_t> nonce = resolve_nonce(c.nonce);
        if (!nonce) return raise_fault(nonce.error());
        return prepared_or_raise(prepare_transfer(transfer, c.domain, c.account, c.signer, *nonce));
    });
}

}  // namespace vorn::py
