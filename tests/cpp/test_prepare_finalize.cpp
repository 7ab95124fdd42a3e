// Finalisation with the message a wallet signed instead of the prepared
// bytes, which the module reaches only through its own wallet messages: the
// signature must be over the override, and the suffix is still read from the
// prepared bytes. The checks in their order, the signature texts, the suffix
// and strict verification are golden cases (tests/golden/errors.json,
// error/finalize_order/..., error/finalize_text/..., error/finalize_strict/...).
#include <gtest/gtest.h>

#include "test_util.hpp"

using namespace vorn_test;

TEST(Finalize, MessageOverride) {
    const char* kNoVerify = "signing failed: signature does not verify for the prepared signer and message";
    const Keypair key = seed_keypair(4);
    const PreparedMessage good = *prepare_action(Action{Orders{{limit_order("BTC-USD", true, 100, 0.5)}}},
                                                 SignatureDomain::Mainnet, key.pubkey(), key.pubkey(), 7);
    const auto sig_over = [&](const std::vector<uint8_t>& m) { return signature_to_base58(key.sign(m.data(), m.size())); };
    const std::vector<uint8_t> wallet = {0xFF, 's', 'o', 'l'}, empty;
    const struct {
        const char* name;
        std::string signature;
        const std::vector<uint8_t>* over;
        uint64_t nonce;
        const char* expect;
    } cases[] = {
        {"override", sig_over(wallet), &wallet, 7, "OK"},
        {"override, prepared sig", sig_over(good.message_bytes), &wallet, 7, kNoVerify},
        {"wallet sig, no override", sig_over(wallet), nullptr, 7, kNoVerify},
        {"override = prepared", sig_over(good.message_bytes), &good.message_bytes, 7, "OK"},
        {"empty override", sig_over(empty), &empty, 7, "OK"},
        {"override, suffix still read", sig_over(wallet), &wallet, 8,
         "signing failed: prepared account, nonce, or network domain does not match message bytes"},
    };
    for (const auto& c : cases) {
        PreparedMessage p = good;
        p.nonce = c.nonce;
        std::optional<std::span<const uint8_t>> message;
        if (c.over) message = std::span<const uint8_t>(*c.over);
        EXPECT_EQ(outcome(finalize_with_message(std::move(p), c.signature, message)), c.expect) << c.name;
    }
}
