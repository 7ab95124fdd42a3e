// The module functions of the wallet signing modes: wrapping a prepared
// message for a mode and finalising a wallet message with a signature made
// elsewhere.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "binder.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "dicts.hpp"
#include "fastcall.hpp"
#include "module.hpp"
#include "prepare/prepare.hpp"
#include "results.hpp"
#include "wallet/wallet.hpp"

namespace vorn::py {
namespace {

const char kPrepareWalletMessageDoc[] = "prepare_wallet_message(prepared, mode)\n--\n\n";
const char kFinalizeWalletMessageDoc[] = "finalize_wallet_message(wallet, signature)\n--\n\n";

constexpr const char* kPrepareWalletParams[] = {"prepared", "mode"};
constexpr CallSignature kPrepareWalletMessage{"prepare_wallet_message", kPrepareWalletParams, 2, 2};
constexpr const char* kFinalizeWalletParams[] = {"wallet", "signature"};
constexpr CallSignature kFinalizeWalletMessage{"finalize_wallet_message", kFinalizeWalletParams, 2, 2};

PyObject* prepare_wallet_message_fn(PreparedDict prepared, Mode mode) {
    return convert_result(prepare_wallet_message(std::move(prepared.value), mode.value), wallet_to_python);
}

// The signature is checked over the wallet bytes rebuilt from the
// preparation, which validation has shown to equal the given ones.
PyObject* finalize_wallet_message_fn(WalletDict given, Text signature) {
    Result<WalletMessage> wallet = validate_wallet_message(std::move(given.value));
    if (!wallet) return raise_core_error(wallet.error());
    std::vector<uint8_t> message = std::move(wallet->message);
    return finalize_to_python(std::move(wallet->prepared), signature.value, std::span<const uint8_t>(message));
}

}  // namespace

PyMethodDef wallet_functions[] = {
    {"prepare_wallet_message", fastcall<kPrepareWalletMessage, prepare_wallet_message_fn>(), kFastCall,
     kPrepareWalletMessageDoc},
    {"finalize_wallet_message", fastcall<kFinalizeWalletMessage, finalize_wallet_message_fn>(), kFastCall,
     kFinalizeWalletMessageDoc},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace vorn::py
