// Wallet signing modes and the Solana off-chain envelope.
#include "wallet/wallet.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "sdk_compat/sdk_compat.hpp"
#include "types/base58.hpp"
#include "wallet/clear_sign.hpp"

namespace vorn {

namespace {

constexpr uint8_t kSigningDomain[16] = {0xFF, 's', 'o', 'l', 'a', 'n', 'a', ' ', 'o',
                                        'f',  'f', 'c', 'h', 'a', 'i', 'n'};

bool printable_ascii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char ch) {
        const uint8_t c = static_cast<uint8_t>(ch);
        return c >= 0x20 && c <= 0x7E;
    });
}

}  // namespace

const char* signature_mode_name(SignatureMode mode) {
    switch (mode) {
    case SignatureMode::Raw: return "raw";
    case SignatureMode::Base58: return "base58";
    case SignatureMode::Offchain: return "offchain";
    }
    return "raw";
}

Result<SignatureMode> signature_mode_from_str(std::string_view name) {
    if (name == "raw") return SignatureMode::Raw;
    if (name == "base58") return SignatureMode::Base58;
    if (name == "offchain") return SignatureMode::Offchain;
    return fail(Error::signing_failed("signature mode must be raw, base58 or offchain"));
}

Result<uint8_t> prepared_domain(const PreparedMessage& prepared) {
    if (prepared.actions.empty()) return fail(Error::empty_orders());
    auto suffix = check_signing_suffix(prepared, {"prepared account or nonce differs from raw signing bytes",
                                                  "prepared message has an invalid network domain"});
    if (!suffix) return fail(std::move(suffix.error()));
    auto signer = Pubkey::from_base58(prepared.signer);
    if (!signer) return fail(std::move(signer).error());
    return suffix->domain;
}

Result<std::string> clear_sign_message(const PreparedMessage& prepared) {
    return clear_sign::render_text(prepared.message_bytes.data(), prepared.message_bytes.size(), prepared.actions,
                                   prepared.account, prepared.nonce);
}

Result<std::vector<uint8_t>> offchain_envelope(uint8_t domain, const Pubkey& signer, std::string_view text) {
    if (text.size() > kMaxOffchainText) return fail(Error::signing_failed("offchain message exceeds 65535 bytes"));
    std::vector<uint8_t> out;
    out.reserve(kOffchainHeaderLen + text.size());
    out.insert(out.end(), std::begin(kSigningDomain), std::end(kSigningDomain));
    out.push_back(0);  // header version
    out.push_back(domain);  // application domain: the network byte, then zeros
    out.insert(out.end(), 31, 0);
    out.push_back(printable_ascii(text) ? 0 : 1);  // message format
    out.push_back(1);  // one signer
    out.insert(out.end(), signer.bytes.begin(), signer.bytes.end());
    const uint16_t len = static_cast<uint16_t>(text.size());
    out.push_back(static_cast<uint8_t>(len & 0xFF));
    out.push_back(static_cast<uint8_t>(len >> 8));
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

Result<WalletMessage> prepare_wallet_message(PreparedMessage prepared, SignatureMode mode) {
    auto domain = prepared_domain(prepared);
    if (!domain) return fail(std::move(domain).error());

    WalletMessage wallet;
    wallet.mode = mode;
    switch (mode) {
    case SignatureMode::Raw:
        wallet.message = prepared.message_bytes;
        break;
    case SignatureMode::Base58: {
        const std::string text = base58_encode(prepared.message_bytes.data(), prepared.message_bytes.size());
        wallet.message.assign(text.begin(), text.end());
        break;
    }
    case SignatureMode::Offchain: {
        auto text = clear_sign_message(prepared);
        if (!text) return fail(std::move(text).error());
        if (text->size() > kMaxOffchainText)
            return fail(Error::signing_failed("offchain message exceeds 65535 bytes"));
        auto signer = Pubkey::from_base58(prepared.signer);
        if (!signer) return fail(std::move(signer).error());
        auto envelope = offchain_envelope(*domain, *signer, *text);
        if (!envelope) return fail(std::move(envelope).error());
        wallet.message = std::move(*envelope);
        wallet.text = std::move(*text);
        break;
    }
    default:
        return fail(Error::signing_failed("signature mode must be raw, base58 or offchain"));
    }
    wallet.prepared = std::move(prepared);
    return wallet;
}

Result<WalletMessage> validate_wallet_message(WalletMessage wallet) {
    auto rebuilt = prepare_wallet_message(wallet.prepared, wallet.mode);
    if (!rebuilt) return fail(std::move(rebuilt).error());
    if (rebuilt->message != wallet.message || rebuilt->text != wallet.text)
        return fail(Error::signing_failed("wallet message differs from selected encoding of the raw preparation"));
    return std::move(*rebuilt);
}

}  // namespace vorn
