// Finalisation of a prepared record with a signature made elsewhere: the
// checks in their order, the signature text rules, the suffix, strict
// verification and the message override (finalised results are golden
// cases, tests/golden/wallet.json).
#include <gtest/gtest.h>

#include <functional>

#include "test_util.hpp"

using namespace vorn_test;

namespace {

constexpr uint64_t kNonce = 1700000000000000000ull;
const char* kNoVerify = "signing failed: signature does not verify for the prepared signer and message";
const char* kSuffix = "signing failed: prepared account, nonce, or network domain does not match message bytes";
const char* kMissing = "signing failed: prepared message is missing its signing suffix";

PreparedMessage prepared(uint8_t account, uint8_t signer) {
    Order o = limit_order("BTC-USD", true, 100, 0.5);
    auto p = prepare_action(Action{Orders{{o}}}, SignatureDomain::Mainnet, seed_keypair(account).pubkey(),
                            seed_keypair(signer).pubkey(), kNonce);
    EXPECT_TRUE(p);
    return *p;
}

std::string sig_over(uint8_t key, const std::vector<uint8_t>& bytes) {
    return signature_to_base58(seed_keypair(key).sign(bytes.data(), bytes.size()));
}

std::string finalize(PreparedMessage p, const std::string& sig, const std::vector<uint8_t>* over = nullptr) {
    std::optional<std::span<const uint8_t>> message;
    if (over) message = std::span<const uint8_t>(*over);
    return outcome(finalize_with_message(std::move(p), sig, message));
}

}  // namespace

// Starting from a record broken in every way, each fix exposes the next check.
TEST(Finalize, ChecksInOrder) {
    const PreparedMessage good = prepared(1, 2);
    PreparedMessage p = good;
    p.actions.clear();
    p.account = p.signer = "bad0";
    p.message_bytes.resize(40);
    std::string sig(89, '2');
    const auto step = [&](const char* expect, auto fix) {
        EXPECT_EQ(finalize(p, sig), expect);
        fix();
    };
    step("signing failed: signature must encode exactly 64 bytes", [&] { sig = "0OIl"; });
    step("orders array cannot be empty", [&] { p.actions = good.actions; });
    step("signing failed: signature must be base58", [&] { sig = b58(std::vector<uint8_t>(32, 9)); });
    step("invalid signature length: expected 64 bytes, got 32", [&] { sig = sig_over(2, {1, 2, 3}); });
    step("invalid base58: provided string contained invalid character '0' at byte 3", [&] {
        p.account = good.account;
        p.signer = "2";
    });
    step("invalid key length: expected 32, got 1", [&] { p.signer = good.signer; });
    step(kMissing, [&] {
        p.message_bytes = good.message_bytes;
        p.nonce += 1;
    });
    step(kSuffix, [&] {
        p.nonce = good.nonce;
        p.signer = b58(std::vector<uint8_t>(32, 0xFF));  // not a usable curve point
    });
    step(kNoVerify, [&] { p.signer = good.signer; });
    step(kNoVerify, [&] { sig = sig_over(2, good.message_bytes); });
    EXPECT_EQ(finalize(p, sig), "OK");
}

TEST(Finalize, SignatureTexts) {
    const PreparedMessage p = prepared(3, 3);
    const std::string sig = sig_over(3, p.message_bytes);
    const std::pair<std::string, std::string> table[] = {
        {std::string(88, '1'), "invalid signature length: expected 64 bytes, got 88"},  // 88 chars are decoded
        {std::string(89, '1'), "signing failed: signature must encode exactly 64 bytes"},
        {sig + std::string(89 - sig.size(), 'z'), "signing failed: signature must encode exactly 64 bytes"},
        {b58(std::vector<uint8_t>(65, 7)), "invalid signature length: expected 64 bytes, got 65"},
        {sig.substr(0, 10) + "\xc3\xa9", "signing failed: signature must be base58"},
        {sig, "OK"},
    };
    for (const auto& [text, expect] : table) EXPECT_EQ(finalize(p, text), expect) << text;
}

TEST(Finalize, SuffixStrictnessAndOverride) {
    const PreparedMessage good = prepared(4, 4);
    const Signature raw = seed_keypair(4).sign(good.message_bytes.data(), good.message_bytes.size());
    const std::string sig = signature_to_base58(raw);
    const std::vector<uint8_t> wallet = {0xFF, 's', 'o', 'l'}, empty;
    struct Case {
        const char* name;
        std::function<void(PreparedMessage&, std::string&)> edit;
        const std::vector<uint8_t>* over;
        const char* expect;
    };
    const Case cases[] = {
        {"account", [](auto& p, auto&) { p.account = seed_keypair(5).pubkey().to_base58(); }, nullptr, kSuffix},
        {"domain 4", [](auto& p, auto&) { p.message_bytes.back() = 4; }, nullptr, kSuffix},
        {"domain 3", [](auto& p, auto& s) { p.message_bytes.back() = 3; s = sig_over(4, p.message_bytes); }, nullptr, "OK"},
        {"suffix only", [](auto& p, auto& s) {
             p.message_bytes.erase(p.message_bytes.begin(), p.message_bytes.end() - 41);
             s = sig_over(4, p.message_bytes);
         }, nullptr, "OK"},
        {"40 bytes", [](auto& p, auto&) { p.message_bytes.erase(p.message_bytes.begin(), p.message_bytes.end() - 40); },
         nullptr, kMissing},
        {"flipped bit", [&](auto&, auto& s) { Signature b = raw; b[40] ^= 0x10; s = signature_to_base58(b); }, nullptr, kNoVerify},
        {"S + L", [&](auto&, auto& s) { s = signature_to_base58(malleated(raw)); }, nullptr, kNoVerify},
        {"identity signer", [](auto& p, auto& s) {
             std::vector<uint8_t> id(32, 0), trivial(64, 0);
             id[0] = trivial[0] = 1;
             p.signer = b58(id);
             s = b58(trivial);
         }, nullptr, kNoVerify},
        {"override", [&](auto&, auto& s) { s = sig_over(4, wallet); }, &wallet, "OK"},
        {"override, prepared sig", [](auto&, auto&) {}, &wallet, kNoVerify},
        {"wallet sig, no override", [&](auto&, auto& s) { s = sig_over(4, wallet); }, nullptr, kNoVerify},
        {"override = prepared", [](auto&, auto&) {}, &good.message_bytes, "OK"},
        {"empty override", [&](auto&, auto& s) { s = sig_over(4, empty); }, &empty, "OK"},
        {"override, suffix still read", [&](auto& p, auto& s) { p.nonce += 1; s = sig_over(4, wallet); }, &wallet, kSuffix},
    };
    for (const Case& c : cases) {
        PreparedMessage p = good;
        std::string s = sig;
        c.edit(p, s);
        EXPECT_EQ(finalize(p, s, c.over), c.expect) << c.name;
    }
}
