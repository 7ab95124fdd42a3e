// Finalisation: a signature made elsewhere, checked against its prepared
// record, becomes a signed transaction.
#include <algorithm>
#include <utility>

#include "types/base58.hpp"
#include "types/keypair.hpp"
#include "prepare/prepare.hpp"
#include "sdk_compat/sdk_compat.hpp"

namespace vorn {

namespace {

// The longest base58 text of 64 bytes.
constexpr size_t kMaxSignatureText = 88;
}  // namespace

Result<SigningSuffix> check_signing_suffix(const PreparedMessage& prepared, const SuffixRefusals& refusals,
                                           const Pubkey* account) {
    const auto suffix = read_signing_suffix(prepared.message_bytes);
    if (!suffix) return fail(Error::signing_failed("prepared message is missing its signing suffix"));
    if (suffix->nonce != prepared.nonce) return fail(Error::signing_failed(refusals.mismatch));
    Result<Pubkey> decoded = account != nullptr ? Result<Pubkey>(*account) : Pubkey::from_base58(prepared.account);
    if (!decoded) return fail(std::move(decoded).error());
    if (suffix->account != *decoded) return fail(Error::signing_failed(refusals.mismatch));
    if (!signature_domain_from_byte(suffix->domain)) return fail(Error::signing_failed(refusals.bad_domain));
    return *suffix;
}

Result<SignedTransaction> finalize_with_message(PreparedMessage prepared, std::string_view signature,
                                                std::optional<std::span<const uint8_t>> message) {
    // 1. Refuse over-long text before decoding anything.
    if (signature.size() > kMaxSignatureText)
        return fail(Error::signing_failed("signature must encode exactly 64 bytes"));
    // 2. Nothing to submit.
    if (prepared.actions.empty()) return fail(Error::empty_orders());
    // 3. and 4. Decode; at most 88 characters give at most 88 bytes.
    uint8_t decoded[kMaxSignatureText];
    auto len = base58_decode_into(signature, decoded, sizeof decoded);
    if (!len) return fail(Error::signing_failed("signature must be base58"));
    if (*len != 64) return fail(Error::invalid_signature_length(*len));
    Signature sig;
    std::copy(decoded, decoded + 64, sig.begin());
    // 5. The account, then the signer.
    auto account = Pubkey::from_base58(prepared.account);
    if (!account) return fail(std::move(account).error());
    auto signer = Pubkey::from_base58(prepared.signer);
    if (!signer) return fail(std::move(signer).error());
    // 6. and 7. The signing suffix must still describe the prepared record;
    // it is read from the prepared bytes even when a wallet message is given.
    constexpr const char* kDiffers = "prepared account, nonce, or network domain does not match message bytes";
    if (auto suffix = check_signing_suffix(prepared, {kDiffers, kDiffers}, &*account); !suffix)
        return fail(std::move(suffix.error()));
    const std::vector<uint8_t>& bytes = prepared.message_bytes;
    // 8. and 9. Strict verification; a signer that is not a valid curve point
    // or of small order fails here too.
    const uint8_t* signed_bytes = message ? message->data() : bytes.data();
    const size_t signed_len = message ? message->size() : bytes.size();
    if (!verify_signature(*signer, signed_bytes, signed_len, sig))
        return fail(Error::signing_failed("signature does not verify for the prepared signer and message"));
    // 10. Everything but the message bytes carries over; the signature text
    // is kept exactly as passed.
    return SignedTransaction::from(prepared, std::string(signature));
}

}  // namespace vorn
