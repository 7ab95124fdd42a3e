// The module functions of the external-wallet flows: wrapping a prepared
// message for a wallet signing mode and finalising prepared and wallet
// messages with a signature made elsewhere.
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
#include "fastcall.hpp"
#include "prepare/prepare.hpp"
#include "results.hpp"
#include "wallet/wallet.hpp"
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

constexpr const char* kPrepareWalletParams[] = {"prepared", "mode"};
constexpr CallSignature kPrepareWalletMessage{"prepare_wallet_message", kPrepareWalletParams, 2, 2};
constexpr const char* kFinalizeWalletParams[] = {"wallet", "signature"};
constexpr CallSignature kFinalizeWalletMessage{"finalize_wallet_message", kFinalizeWalletParams, 2, 2};
constexpr const char* kFinalizeParams[] = {"prepared", "signature"};
constexpr CallSignature kFinalizeTransaction{"py_finalize_transaction", kFinalizeParams, 2, 2};

PyObject* prepare_wallet_message_fn(PreparedDict prepared, Mode mode) {
    Result<WalletMessage> wallet = prepare_wallet_message(std::move(prepared.value), mode.value);
    if (!wallet) return raise_core_error(wallet.error());
    return wallet_to_python(*wallet);
}

// The signature is checked over the wallet bytes rebuilt from the
// preparation, which validation has shown to equal the given ones.
PyObject* finalize_wallet_message_fn(WalletDict given, Text signature) {
    Result<WalletMessage> wallet = validate_wallet_message(std::move(given.value));
    if (!wallet) return raise_core_error(wallet.error());
    std::vector<uint8_t> message = std::move(wallet->message);
    return finalize_to_python(std::move(wallet->prepared), signature.value, std::span<const uint8_t>(message));
}

PyObject* finalize_transaction(PreparedDict prepared, Text signature) {
    return finalize_to_python(std::move(prepared.value), signature.value, std::nullopt);
}

}  // namespace
}  // namespace vorn::py

using namespace vorn::py;

PyMethodDef vorn_wallet_methods[] = {
    {"prepare_wallet_message", fastcall<kPrepareWalletMessage, prepare_wallet_message_fn>(), kFastCall,
     kPrepareWalletMessageDoc},
    {"finalize_wallet_message", fastcall<kFinalizeWalletMessage, finalize_wallet_message_fn>(), kFastCall,
     kFinalizeWalletMessageDoc},
    {"py_finalize_transaction", fastcall<kFinalizeTransaction, finalize_transaction>(), kFastCall,
     kFinalizeTransactionDoc},
    {nullptr, nullptr, 0, nullptr},
};
