// Finalisation over any signature text and any prepared record, and over
// genuine records signed with a fixed test key (sometimes tampered with).
// A finalisation that succeeds must carry a signature that verifies for the
// prepared signer over the signed bytes, and the record's fields unchanged.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "types/base58.hpp"
#include "fuzz_check.hpp"
#include "fuzz_prepared.hpp"
#include "types/keypair.hpp"
#include "prepare/prepare.hpp"
#include "wallet/wallet.hpp"

namespace {

using vorn::PreparedMessage;

PreparedMessage laid_out(fuzz::Reader& in, uint8_t flags) {
    PreparedMessage p;
    if (flags & 2) p.actions.push_back(vorn::json{{"faucet", {{"u", "x"}}}});
    p.account = (flags & 4) ? fuzz::test_key(0x42).pubkey().to_base58() : std::string(in.until_nul());
    p.signer = (flags & 8) ? fuzz::test_key(0x42).pubkey().to_base58() : std::string(in.until_nul());
    p.nonce = in.u64();
    const std::string_view body = in.bytes(in.u8());
    p.message_bytes.assign(body.begin(), body.end());
    if (flags & 16) {
        auto account = vorn::Pubkey::from_base58(p.account);
        if (account) fuzz::append_suffix(p.message_bytes, p.nonce, *account, 1 + (flags >> 5) % 4);
    }
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader in{data, size};
    const uint8_t flags = in.u8();
    const vorn::Keypair& key = fuzz::test_key(0x42);

    PreparedMessage prepared;
    std::string signature;
    std::optional<std::vector<uint8_t>> override_bytes;
    bool must_succeed = false;
    if (flags & 1) {
        auto genuine = fuzz::genuine_prepared(in);
        if (!genuine) return 0;
        prepared = std::move(*genuine);
        const uint8_t how = in.u8();
        std::vector<uint8_t> signed_bytes = prepared.message_bytes;
        if (how & 1) {  // the wallet signs the bytes of one wallet mode instead
            auto wallet = vorn::prepare_wallet_message(prepared, static_cast<vorn::SignatureMode>((how >> 1) % 3));
            if (wallet) {
                signed_bytes = wallet->message;
                override_bytes = wallet->message;
            }
        }
        const vorn::Signature sig = key.sign(signed_bytes.data(), signed_bytes.size());
        signature = vorn::signature_to_base58(sig);
        must_succeed = true;
        switch ((how >> 3) % 8) {
        case 1:  // one character of the signature replaced
            if (!signature.empty()) signature[in.u8() % signature.size()] = static_cast<char>(in.u8());
            must_succeed = false;
            break;
        case 2: prepared.nonce ^= 1 + in.u8(); must_succeed = false; break;
        case 3: prepared.message_bytes.resize(in.u8() % prepared.message_bytes.size()); must_succeed = false; break;
        case 4: prepared.signer = fuzz::test_key(0x77).pubkey().to_base58(); must_succeed = false; break;
        case 5: signature = std::string(in.until_nul()); must_succeed = false; break;
        case 6: prepared.actions.clear(); must_succeed = false; break;
        default: break;
        }
    } else {
        prepared = laid_out(in, flags);
        signature = std::string(in.until_nul());
        if (flags & 0x80) {
            const std::string_view rest = in.rest();
            override_bytes.emplace(rest.begin(), rest.end());
        }
    }

    const PreparedMessage copy = prepared;
    std::optional<std::span<const uint8_t>> message;
    if (override_bytes) message = std::span<const uint8_t>(*override_bytes);
    auto tx = vorn::finalize_with_message(std::move(prepared), signature, message);

    if (signature.size() > 88) FUZZ_CHECK(!tx && tx.error().text == "signature must encode exactly 64 bytes");
    if (must_succeed) FUZZ_CHECK(tx.has_value());
    if (!tx) return 0;

    auto decoded = vorn::base58_decode(signature);
    FUZZ_CHECK(decoded && decoded->size() == 64);
    vorn::Signature sig;
    std::copy(decoded->begin(), decoded->end(), sig.begin());
    auto signer = vorn::Pubkey::from_base58(copy.signer);
    FUZZ_CHECK(signer.has_value());
    const std::vector<uint8_t>& signed_bytes = override_bytes ? *override_bytes : copy.message_bytes;
    FUZZ_CHECK(vorn::verify_signature(*signer, signed_bytes.data(), signed_bytes.size(), sig));
    FUZZ_CHECK(fuzz::suffix_matches(copy));
    FUZZ_CHECK(!copy.actions.empty() && tx->actions == copy.actions);
    FUZZ_CHECK(tx->account == copy.account && tx->signer == copy.signer && tx->nonce == copy.nonce);
    FUZZ_CHECK(tx->signature == signature && tx->order_id == copy.order_id && tx->order_ids == copy.order_ids);
    return 0;
}
