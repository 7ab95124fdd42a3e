// Signer.sign_wallet_prepared and Signer.sign_prepared: sign an
// external-wallet record with the signer's own key, then finalise it exactly
// as a signature from the wallet would be finalised. Neither draws a nonce:
// the nonce is the one already in the record.
#include "signer_wallet_methods.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "binder.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "fastcall.hpp"
#include "prepare/prepare.hpp"
#include "results.hpp"
#include "signer_type.hpp"
#include "wallet/wallet.hpp"
#include "wallet_dicts.hpp"

namespace vorn::py {
namespace {

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

PyObject* sign_wallet_prepared(const Signer& signer, WalletDict given) {
    Result<WalletMessage> wallet = validate_wallet_message(std::move(given.value));
    if (!wallet) return raise_core_error(wallet.error());

    // The record validated, so its signer decodes and its last byte is its
    // network domain.
    Result<Pubkey> prepared_signer = Pubkey::from_base58(wallet->prepared.signer);
    const std::vector<uint8_t>& raw = wallet->prepared.message_bytes;
    if (!prepared_signer || *prepared_signer != signer.pubkey() || raw.empty() ||
        raw.back() != signature_domain_byte(signer.signature_domain())) {
        return raise_core_error(
            Error::signing_failed("prepared wallet signer or network does not match configured signer"));
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
    if (prepared_signer != signer.pubkey_base58()) {
        return raise_value_error("Prepared message signer " + prepared_signer + " does not match signer pubkey " +
                                 signer.pubkey_base58());
    }

    value = dict_get(dict, "message_bytes");
    if (!value) return raise_value_error("Missing 'message_bytes'");
    std::vector<uint8_t> message;
    if (!to_byte_list(value.get(), nullptr, &message)) return nullptr;
    // The signing message ends with its network byte.
    if (message.empty() || message.back() != signature_domain_byte(signer.signature_domain())) {
        return raise_value_error("Prepared message network domain does not match signer");
    }

    std::string signature = signer.sign_bytes(message.data(), message.size());
    PreparedMessage prepared;
    if (!read_prepared(dict, "prepared", &prepared)) return nullptr;
    return finalize_to_python(std::move(prepared), signature, std::nullopt);
}

}  // namespace

PyMethodDef sign_wallet_prepared_method() {
    return {"sign_wallet_prepared", fastcall<kSignWalletPrepared, sign_wallet_prepared>(), kFastCall,
            kSignWalletPreparedDoc};
}

PyMethodDef sign_prepared_method() {
    return {"sign_prepared", fastcall<kSignPrepared, sign_prepared>(), kFastCall, kSignPreparedDoc};
}

}  // namespace vorn::py
