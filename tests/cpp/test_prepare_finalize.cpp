// Finalisation of a prepared record with a signature made elsewhere: the ten
// checks in their order, strict verification and the message override.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "types/base58.hpp"
#include "types/keypair.hpp"
#include "prepare/prepare.hpp"

using namespace vorn;

namespace {

constexpr uint64_t kNonce = 1700000000000000000ull;

Keypair key_from_seed(uint8_t fill) {
    std::vector<uint8_t> seed(32, fill);
    return *Keypair::from_bytes(seed.data(), seed.size());
}

std::string b58(const std::vector<uint8_t>& v) { return base58_encode(v.data(), v.size()); }

// A record as preparation leaves it: action bytes, then nonce, account and
// the network byte.
PreparedMessage make_prepared(const Keypair& account_key, const Keypair& signer_key) {
    PreparedMessage p;
    p.message_bytes = {0x01, 0, 0, 0, 0, 0, 0, 0, 0x11, 0, 0, 0};
    p.message_bytes.insert(p.message_bytes.end(), 32, 0x22);
    p.message_bytes.push_back(0x00);
    for (int i = 0; i < 8; ++i) p.message_bytes.push_back(static_cast<uint8_t>(kNonce >> (8 * i)));
    const Pubkey& acct = account_key.pubkey();
    p.message_bytes.insert(p.message_bytes.end(), acct.bytes.begin(), acct.bytes.end());
    p.message_bytes.push_back(0x01);
    p.actions = {nlohmann::json{{"agentWalletCreation", {{"a", "Agent"}, {"d", false}}}}};
    p.account = acct.to_base58();
    p.signer = signer_key.pubkey().to_base58();
    p.order_id = "OrderIdText";
    p.nonce = kNonce;
    return p;
}

std::string sign_b58(const Keypair& k, const std::vector<uint8_t>& bytes) {
    return signature_to_base58(k.sign(bytes.data(), bytes.size()));
}

std::string outcome(PreparedMessage p, const std::string& sig,
                    std::optional<std::span<const uint8_t>> message = std::nullopt) {
    auto r = finalize_with_message(std::move(p), sig, message);
    return r ? "OK" : r.error().display();
}

const char* kNoVerify = "signing failed: signature does not verify for the prepared signer and message";
const char* kSuffixMismatch = "signing failed: prepared account, nonce, or network domain does not match message bytes";

}  // namespace

TEST(Finalize, AcceptsTheSignersSignature) {
    Keypair account = key_from_seed(1), agent = key_from_seed(2);
    PreparedMessage p = make_prepared(account, agent);
    const std::string sig = sign_b58(agent, p.message_bytes);
    auto tx = finalize_with_message(p, sig, std::nullopt);
    ASSERT_TRUE(tx) << tx.error().display();
    EXPECT_EQ(tx->signature, sig);
    EXPECT_EQ(tx->account, p.account);
    EXPECT_EQ(tx->signer, p.signer);
    EXPECT_NE(tx->account, tx->signer);
    EXPECT_EQ(tx->nonce, kNonce);
    EXPECT_EQ(tx->actions, p.actions);
    EXPECT_EQ(tx->order_id, std::optional<std::string>("OrderIdText"));
    EXPECT_FALSE(tx->order_ids.has_value());

    p.order_id.reset();
    p.order_ids = std::vector<std::string>{"A", "B"};
    auto tx2 = finalize_with_message(p, sig, std::nullopt);
    ASSERT_TRUE(tx2);
    EXPECT_FALSE(tx2->order_id.has_value());
    EXPECT_EQ(tx2->order_ids, (std::vector<std::string>{"A", "B"}));
}

// Starting from a record broken in every way, each fix exposes the next check.
TEST(Finalize, TenChecksInOrder) {
    Keypair account = key_from_seed(1), signer = key_from_seed(2);
    const PreparedMessage good = make_prepared(account, signer);
    const std::string good_sig = sign_b58(signer, good.message_bytes);

    PreparedMessage p = good;
    p.actions.clear();
    p.account = "bad0";
    p.signer = "bad0";
    p.message_bytes.resize(40);
    std::string sig(89, '2');
    EXPECT_EQ(outcome(p, sig), "signing failed: signature must encode exactly 64 bytes");  // 1

    sig = "0OIl";
    EXPECT_EQ(outcome(p, sig), "orders array cannot be empty");  // 2
    p.actions = good.actions;
    EXPECT_EQ(outcome(p, sig), "signing failed: signature must be base58");  // 3

    sig = b58(std::vector<uint8_t>(32, 9));
    EXPECT_EQ(outcome(p, sig), "invalid signature length: expected 64 bytes, got 32");  // 4

    sig = sign_b58(signer, {1, 2, 3});  // well formed, over other bytes
    EXPECT_EQ(outcome(p, sig), "invalid base58: provided string contained invalid character '0' at byte 3");  // 5
    p.account = good.account;
    p.signer = "2";
    EXPECT_EQ(outcome(p, sig), "invalid key length: expected 32, got 1");  // 5, signer
    p.signer = good.signer;

    EXPECT_EQ(outcome(p, sig), "signing failed: prepared message is missing its signing suffix");  // 6
    p.message_bytes = good.message_bytes;
    p.nonce = good.nonce + 1;
    EXPECT_EQ(outcome(p, sig), kSuffixMismatch);  // 7
    p.nonce = good.nonce;

    // 8: a signer that is not a usable curve point (all 0xFF is not canonical).
    p.signer = b58(std::vector<uint8_t>(32, 0xFF));
    EXPECT_EQ(outcome(p, sig), kNoVerify);
    p.signer = good.signer;
    EXPECT_EQ(outcome(p, sig), kNoVerify);  // 9
    EXPECT_EQ(outcome(p, good_sig), "OK");  // 10
}

TEST(Finalize, SignatureTextRules) {
    Keypair k = key_from_seed(3);
    PreparedMessage p = make_prepared(k, k);
    const std::string sig = sign_b58(k, p.message_bytes);
    ASSERT_LE(sig.size(), 88u);
    // 88 characters are decoded; 89 never are.
    EXPECT_EQ(outcome(p, std::string(88, '1')), "invalid signature length: expected 64 bytes, got 88");
    EXPECT_EQ(outcome(p, std::string(89, '1')), "signing failed: signature must encode exactly 64 bytes");
    EXPECT_EQ(outcome(p, sig + std::string(89 - sig.size(), 'z')),
              "signing failed: signature must encode exactly 64 bytes");
    for (std::string bad : {"0", "O", "I", "l", "+", "abc def", "\xc3\xa9"}) {
        EXPECT_EQ(outcome(p, sig.substr(0, 10) + bad), "signing failed: signature must be base58") << bad;
    }
    EXPECT_EQ(outcome(p, ""), "invalid signature length: expected 64 bytes, got 0");
    EXPECT_EQ(outcome(p, b58(std::vector<uint8_t>(65, 7))), "invalid signature length: expected 64 bytes, got 65");
}

TEST(Finalize, SuffixMustDescribeTheRecord) {
    Keypair k = key_from_seed(4);
    const PreparedMessage good = make_prepared(k, k);
    const std::string sig = sign_b58(k, good.message_bytes);

    PreparedMessage p = good;
    p.nonce = 1000;
    EXPECT_EQ(outcome(p, sig), kSuffixMismatch);
    p = good;
    p.account = key_from_seed(5).pubkey().to_base58();
    EXPECT_EQ(outcome(p, sig), kSuffixMismatch);
    for (uint8_t bad : {uint8_t{0}, uint8_t{4}}) {
        p = good;
        p.message_bytes.back() = bad;
        EXPECT_EQ(outcome(p, sig), kSuffixMismatch);
    }
    for (uint8_t fine : {uint8_t{2}, uint8_t{3}}) {
        p = good;
        p.message_bytes.back() = fine;
        EXPECT_EQ(outcome(p, sign_b58(k, p.message_bytes)), "OK");
    }
    p = good;
    p.message_bytes.erase(p.message_bytes.begin(), p.message_bytes.end() - 41);
    EXPECT_EQ(outcome(p, sign_b58(k, p.message_bytes)), "OK");
    p.message_bytes.erase(p.message_bytes.begin());
    EXPECT_EQ(outcome(p, sig), "signing failed: prepared message is missing its signing suffix");

    // With an override the suffix is still read from the prepared bytes.
    p = good;
    p.nonce += 1;
    const std::vector<uint8_t> wallet_bytes = {'h', 'i'};
    EXPECT_EQ(outcome(p, sign_b58(k, wallet_bytes), std::span<const uint8_t>(wallet_bytes)), kSuffixMismatch);
}

TEST(Finalize, StrictVerification) {
    Keypair k = key_from_seed(6), other = key_from_seed(7);
    const PreparedMessage good = make_prepared(k, k);
    Signature raw = k.sign(good.message_bytes.data(), good.message_bytes.size());

    PreparedMessage p = good;
    p.signer = other.pubkey().to_base58();
    EXPECT_EQ(outcome(p, signature_to_base58(raw)), kNoVerify);
    // The account's own key does not stand in for the prepared signer.
    p = make_prepared(k, other);
    EXPECT_EQ(outcome(p, signature_to_base58(raw)), kNoVerify);

    // One flipped bit anywhere in the signature.
    for (size_t i : {size_t{0}, size_t{31}, size_t{32}, size_t{63}}) {
        Signature bad = raw;
        bad[i] ^= 0x10;
        EXPECT_EQ(outcome(good, signature_to_base58(bad)), kNoVerify) << i;
    }
    // S + L verifies under lax rules but is not canonical.
    static const uint8_t kL[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                                   0xa2, 0xde, 0xf9, 0xde, 0x14, 0,    0,    0,    0,    0,    0,
                                   0,    0,    0,    0,    0,    0,    0,    0,    0,    0x10};
    Signature malleated = raw;
    unsigned carry = 0;
    for (size_t i = 0; i < 32; ++i) {
        unsigned sum = malleated[32 + i] + kL[i] + carry;
        malleated[32 + i] = static_cast<uint8_t>(sum);
        carry = sum >> 8;
    }
    EXPECT_EQ(outcome(good, signature_to_base58(malleated)), kNoVerify);

    // A small-order signer key (the identity point) with an all-zero signature.
    p = good;
    std::vector<uint8_t> identity(32, 0);
    identity[0] = 1;
    p.signer = b58(identity);
    Signature trivial{};
    trivial[0] = 1;
    EXPECT_EQ(outcome(p, signature_to_base58(trivial)), kNoVerify);
}

TEST(Finalize, MessageOverride) {
    Keypair k = key_from_seed(8);
    const PreparedMessage good = make_prepared(k, k);
    const std::vector<uint8_t> wallet_bytes = {0xFF, 's', 'o', 'l', 'a', 'n', 'a'};
    const std::string over_prepared = sign_b58(k, good.message_bytes);
    const std::string over_wallet = sign_b58(k, wallet_bytes);

    EXPECT_EQ(outcome(good, over_wallet, std::span<const uint8_t>(wallet_bytes)), "OK");
    EXPECT_EQ(outcome(good, over_prepared, std::span<const uint8_t>(wallet_bytes)), kNoVerify);
    EXPECT_EQ(outcome(good, over_wallet), kNoVerify);
    // An override equal to the prepared bytes behaves like none.
    EXPECT_EQ(outcome(good, over_prepared, std::span<const uint8_t>(good.message_bytes)), "OK");
    const std::vector<uint8_t> empty;
    EXPECT_EQ(outcome(good, sign_b58(k, empty), std::span<const uint8_t>(empty)), "OK");
}
