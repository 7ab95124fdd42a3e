// Finalisation: a signature made elsewhere, checked against its prepared
// record, becomes a signed transaction.
#include <algorithm>
#include <utility>

#include "types/base58.hpp"
#include "types/keypair.hpp"
#include "prepare/prepare.hpp"

namespace vorn {

namespace {

// The longest base58 text of 64 bytes.
constexpr size_t kMaxSignatureText = 88;
// Nonce (8), account (32) and network domain (1) close every signing message.
constexpr size_t kSuffixLen = 41;

uint64_t read_u64_le(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

}  // namespace

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
    const std::vector<uint8_t>& bytes = prepared.message_bytes;
    if (bytes.size() < kSuffixLen) return fail(Error::signing_failed("prepared message is missing its signing suffix"));
    const uint8_t* suffix = bytes.data() + bytes.size() - kSuffixLen;
    const uint8_t domain = bytes.back();
    if (read_u64_le(suffix) != prepared.nonce || !std::equal(account->bytes.begin(), account->bytes.end(), suffix + 8) ||
        domain < 1 || domain > 3)
        return fail(Error::signing_failed("prepared account, nonce, or network domain does not match message bytes"));
    // 8. and 9. Strict verification; a signer that is not a valid curve point
    // or of small order fails here too.
    const uint8_t* signed_bytes = message ? message->data() : bytes.data();
    const size_t signed_len = message ? message->size() : bytes.size();
    if (!verify_signature(*signer, signed_bytes, signed_len, sig))
        return fail(Error::signing_failed("signature does not verify for the prepared signer and message"));
    // 10. Everything but the message bytes carries over; the signature text
    // is kept exactly as passed.
    SignedTransaction tx;
    tx.actions = std::move(prepared.actions);
    tx.account = std::move(prepared.account);
    tx.signer = std::move(prepared.signer);
    tx.signature = std::string(signature);
    tx.order_id = std::move(prepared.order_id);
    tx.order_ids = std::move(prepared.order_ids);
    tx.nonce = prepared.nonce;
    return tx;
}

}  // namespace vorn
