// The module functions of the external-wallet flows: wrapping a prepared
// message for a wallet signing mode, finalising prepared and wallet messages
// with a signature made elsewhere, and the table that lists them with the
// py_prepare_ functions.
#include "wallet_functions.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "binder.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "prepare.hpp"
#include "prepare_functions.hpp"
#include "results.hpp"
#include "wallet.hpp"
#include "wallet_dicts.hpp"

namespace vorn::py {
namespace {

const char kPrepareWalletMessageDoc[] = "prepare_wallet_message(prepared, mode)\n--\n\n";
const char kFinalizeWalletMessageDoc[] = "finalize_wallet_message(wallet, signature)\n--\n\n";

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

const char* const kPrepareWalletParams[] = {"prepared", "mode"};
const FunctionSpec kPrepareWalletMessage{"prepare_wallet_message", kPrepareWalletParams, 2, 2};
const char* const kFinalizeWalletParams[] = {"wallet", "signature"};
const FunctionSpec kFinalizeWalletMessage{"finalize_wallet_message", kFinalizeWalletParams, 2, 2};
const char* const kFinalizeParams[] = {"prepared", "signature"};
const FunctionSpec kFinalizeTransaction{"py_finalize_transaction", kFinalizeParams, 2, 2};

PyObject* finalize_to_python(PreparedMessage prepared, std::string_view signature,
                             std::optional<std::span<const uint8_t>> message) {
    Result<SignedTransaction> tx = finalize_with_message(std::move(prepared), signature, message);
    if (!tx) return raise_core_error(tx.error());
    return signed_transaction_to_python(*tx);
}

PyObject* prepare_wallet_message_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[2];
        if (!bind_args(kPrepareWalletMessage, args, nargs, kwnames, a)) return nullptr;
        PreparedMessage prepared;
        SignatureMode mode = SignatureMode::Raw;
        if (!read_prepared(a[0], "prepared", &prepared) || !parse_signature_mode(a[1], "mode", &mode)) return nullptr;
        Result<WalletMessage> wallet = prepare_wallet_message(std::move(prepared), mode);
        if (!wallet) return raise_core_error(wallet.error());
        return wallet_to_python(*wallet);
    });
}

PyObject* finalize_wallet_message_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[2];
        if (!bind_args(kFinalizeWalletMessage, args, nargs, kwnames, a)) return nullptr;
        WalletMessage given;
        std::string_view signature;
        if (!read_wallet(a[0], "wallet", &given) || !to_text(a[1], "signature", &signature)) return nullptr;
        // The signature is checked over the wallet bytes rebuilt from the
        // preparation, which validation has shown to equal the given ones.
        Result<WalletMessage> wallet = validate_wallet_message(std::move(given));
        if (!wallet) return raise_core_error(wallet.error());
        std::vector<uint8_t> message = std::move(wallet->message);
        return finalize_to_python(std::move(wallet->prepared), signature, std::span<const uint8_t>(message));
    });
}

PyObject* py_finalize_transaction(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[2];
        if (!bind_args(kFinalizeTransaction, args, nargs, kwnames, a)) return nullptr;
        PreparedMessage prepared;
        std::string_view signature;
        if (!read_prepared(a[0], "prepared", &prepared) || !to_text(a[1], "signature", &signature)) return nullptr;
        return finalize_to_python(std::move(prepared), signature, std::nullopt);
    });
}

using FastFunction = PyObject*(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);

// METH_FASTCALL | METH_KEYWORDS functions are stored under the PyCFunction type.
PyCFunction fastcall(FastFunction* f) { return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f)); }

constexpr int kFlags = METH_FASTCALL | METH_KEYWORDS;

}  // namespace
}  // namespace vorn::py

using namespace vorn::py;

PyMethodDef vorn_wallet_methods[] = {
    {"prepare_wallet_message", fastcall(prepare_wallet_message_fn), kFlags, kPrepareWalletMessageDoc},
    {"finalize_wallet_message", fastcall(finalize_wallet_message_fn), kFlags, kFinalizeWalletMessageDoc},
    {"py_prepare_order", fastcall(py_prepare_order), kFlags, py_prepare_order_doc},
    {"py_prepare_all_orders", fastcall(py_prepare_all_orders), kFlags, py_prepare_all_orders_doc},
    {"py_prepare_order_group", fastcall(py_prepare_order_group), kFlags, py_prepare_order_group_doc},
    {"py_prepare_agent_wallet_auth", fastcall(py_prepare_agent_wallet_auth), kFlags,
     py_prepare_agent_wallet_auth_doc},
    {"py_prepare_approve_builder_code", fastcall(py_prepare_approve_builder_code), kFlags,
     py_prepare_approve_builder_code_doc},
    {"py_prepare_update_liquidator_config", fastcall(py_prepare_update_liquidator_config), kFlags,
     py_prepare_update_liquidator_config_doc},
    {"py_prepare_approve_commission_fee", fastcall(py_prepare_approve_commission_fee), kFlags,
     py_prepare_approve_commission_fee_doc},
    {"py_prepare_revoke_builder_code", fastcall(py_prepare_revoke_builder_code), kFlags,
     py_prepare_revoke_builder_code_doc},
    {"py_prepare_revoke_commission_fee", fastcall(py_prepare_revoke_commission_fee), kFlags,
     py_prepare_revoke_commission_fee_doc},
    {"py_prepare_faucet_request", fastcall(py_prepare_faucet_request), kFlags, py_prepare_faucet_request_doc},
    {"py_prepare_create_sub_account", fastcall(py_prepare_create_sub_account), kFlags,
     py_prepare_create_sub_account_doc},
    {"py_prepare_remove_sub_account", fastcall(py_prepare_remove_sub_account), kFlags,
     py_prepare_remove_sub_account_doc},
    {"py_prepare_transfer", fastcall(py_prepare_transfer), kFlags, py_prepare_transfer_doc},
    {"py_finalize_transaction", fastcall(py_finalize_transaction), kFlags, kFinalizeTransactionDoc},
    {nullptr, nullptr, 0, nullptr},
};
