// Base58, keys, hashes, network domains and keypair refusals.
#include <gtest/gtest.h>

#include "test_util.hpp"

using namespace vorn_test;

TEST(Base58, VectorsAndRoundTrips) {
    const std::pair<std::vector<uint8_t>, std::string> table[] = {
        {{}, ""},
        {{0}, "1"},
        {{0, 0, 1}, "112"},
        {{'H', 'e', 'l', 'l', 'o', ' ', 'W', 'o', 'r', 'l', 'd', '!'}, "2NEpo7TZRRrLZSi2U"},
        {std::vector<uint8_t>(32, 0), std::string(32, '1')},
        {std::vector<uint8_t>(32, 0xff), "JEKNVnkbo3jma5nREBBJCDoXFVeKkD56V3xKrvRmWxFG"},
    };
    for (const auto& [bytes, text] : table) {
        EXPECT_EQ(b58(bytes), text);
        EXPECT_EQ(*base58_decode(text), bytes) << text;
    }
    for (size_t len = 0; len < 90; ++len) {
        std::vector<uint8_t> v(len);
        for (size_t i = 0; i < len; ++i) v[i] = static_cast<uint8_t>(i * 37 + len);
        if (len > 2) v[0] = v[1] = 0;  // leading zero bytes are '1' characters
        EXPECT_EQ(*base58_decode(b58(v)), v) << len;
    }
}

TEST(Base58, Refusals) {
    const std::pair<std::string, std::string> table[] = {
        {"abc0def", "invalid base58: provided string contained invalid character '0' at byte 3"},
        {"l", "invalid base58: provided string contained invalid character 'l' at byte 0"},
        {"1\n", "invalid base58: provided string contained invalid character '\\n' at byte 1"},
        {"'", "invalid base58: provided string contained invalid character '\\'' at byte 0"},
        {std::string("2\x1f", 2), "invalid base58: provided string contained invalid character '\\u{1f}' at byte 1"},
        {"22\xc3\xa9", "invalid base58: provided string contained non-ascii character starting at byte 2"},
    };
    for (const auto& [text, error] : table) EXPECT_EQ(outcome(base58_decode(text)), error) << text;
}

TEST(Keys, LengthRules) {
    const std::string big(1 << 20, '2');
    const std::string at_limit = "1" + std::string(1023, 'z');  // still decoded for its exact length
    const std::pair<std::string, std::string> keys[] = {
        {"", "invalid key length: expected 32, got 0"},
        {b58(std::vector<uint8_t>(31, 7)), "invalid key length: expected 32, got 31"},
        {b58(std::vector<uint8_t>(33, 7)), "invalid key length: expected 32, got 33"},
        {b58(std::vector<uint8_t>(200, 9)), "invalid key length: expected 32, got 200"},
        {at_limit, "invalid key length: expected 32, got " + std::to_string(base58_decode(at_limit)->size())},
        {big, "invalid base58: provided string is too long: 1048576 characters"},
        {big + "0", "invalid base58: provided string contained invalid character '0' at byte 1048576"},
        {"11111111111111111111111111111111", "OK"},
    };
    for (const auto& [text, error] : keys) EXPECT_EQ(outcome(Pubkey::from_base58(text)), error) << text.size();
    EXPECT_EQ(outcome(Hash::from_base58(b58(std::vector<uint8_t>(31, 7)))),
              "invalid hash length: expected 32 bytes, got 31");
    EXPECT_EQ(outcome(Hash::from_base58(b58(std::vector<uint8_t>(33, 7)))),
              "invalid hash length: expected 32 bytes, got 33");
    EXPECT_TRUE(validate_pubkey("TokenkegQfeZyiNwAJbNbGKPFXCWuBvf9Ss623VQ5DA"));
    EXPECT_FALSE(validate_pubkey("xyz0"));
    EXPECT_FALSE(validate_hash(""));
    EXPECT_NE(random_hash(), random_hash());
    EXPECT_TRUE(validate_hash(random_hash()));
}

TEST(Keys, SignatureDomainNames) {
    EXPECT_EQ(*signature_domain_from_str("mainnet"), SignatureDomain::Mainnet);
    EXPECT_EQ(*signature_domain_from_str("testnet"), SignatureDomain::Testnet);
    EXPECT_EQ(*signature_domain_from_str("devnet"), SignatureDomain::Devnet);
    for (const char* bad : {"Mainnet", " mainnet", ""})
        EXPECT_EQ(outcome(signature_domain_from_str(bad)),
                  std::string("invalid signature domain '") + bad + "'; expected mainnet, testnet, or devnet");
    EXPECT_EQ(outcome(Signer::create(seed_keypair(1), "local")),
              "invalid signature domain 'local'; expected mainnet, testnet, or devnet");
}

TEST(Keys, KeypairRefusals) {
    const std::vector<uint8_t> b48(48, 1);
    auto a = seed_keypair(1).to_bytes(), mixed = a, off_curve = a;
    const auto other = seed_keypair(2).pubkey();
    std::copy(other.bytes.begin(), other.bytes.end(), mixed.begin() + 32);
    std::fill(off_curve.begin() + 32, off_curve.end(), 0);
    off_curve[32] = 2;  // y = 2 does not decompress
    const std::string mismatch = "keypair public key does not match its secret key";
    EXPECT_EQ(outcome(Keypair::from_bytes(b48.data(), b48.size())), "invalid key length: expected 64, got 48");
    EXPECT_EQ(outcome(Keypair::from_bytes(mixed.data(), 64)), mismatch);
    EXPECT_EQ(outcome(Keypair::from_bytes(off_curve.data(), 64)), mismatch);
    EXPECT_EQ(outcome(Keypair::from_base58("0abc")),
              "invalid base58: provided string contained invalid character '0' at byte 0");
    auto g1 = Keypair::generate(), g2 = Keypair::generate();
    ASSERT_TRUE(g1 && g2);
    EXPECT_NE(g1->pubkey(), g2->pubkey());
}
