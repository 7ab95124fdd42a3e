// Base58, keys, hashes, network domains and keypair refusals (vectors in
// tests/cpp/vectors/keys.json).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

#include "test_util.hpp"

using namespace vorn_test;

TEST(Base58, VectorsRoundTripsAndRefusals) {
    const auto& v = vectors("keys.json");
    for (const auto& row : v["base58"]) {
        EXPECT_EQ(b58(unhex(row[0])), row[1]);
        EXPECT_EQ(*base58_decode(row[1].get<std::string>()), unhex(row[0])) << row[1];
    }
    for (const auto& row : v["base58_refusals"]) EXPECT_EQ(outcome(base58_decode(row[0].get<std::string>())), row[1]);
    for (size_t len = 0; len < 90; ++len) {
        std::vector<uint8_t> bytes(len);
        for (size_t i = 0; i < len; ++i) bytes[i] = static_cast<uint8_t>(i * 37 + len);
        if (len > 2) bytes[0] = bytes[1] = 0;  // leading zero bytes are '1' characters
        EXPECT_EQ(*base58_decode(b58(bytes)), bytes) << len;
    }
}

// The table paths (any length up to 128 bytes, 32 and 64 among them)
// against the generic encoder: several counts of leading zero bytes, random
// and all-ones bodies, every count for 32 bytes, whose texts must also
// decode on the 32-byte path; then 32-byte decoding of texts that are not
// 32 bytes, which must give the general decoder's answer.
TEST(Base58, TablePathsMatchGeneric) {
    std::mt19937_64 rng(58);
    for (size_t n = 0; n <= 136; ++n) {
        for (size_t zeros = 0; zeros <= n; zeros += (n == 32 || zeros < 2) ? 1 : n / 3 + 1) {
            for (int fill = 0; fill < 4; ++fill) {
                std::vector<uint8_t> bytes(n, 0xff);
                for (size_t i = zeros; i < n && fill > 0; ++i) bytes[i] = static_cast<uint8_t>(rng());
                std::fill_n(bytes.begin(), zeros, 0);
                const std::string text = base58_encode_generic(bytes.data(), n);
                ASSERT_EQ(b58(bytes), text) << n << " " << zeros;
                char raw[kBase58Max64];  // the fixed-size encoders writing into a caller's buffer
                if (n == 64) {
                    ASSERT_EQ(std::string(raw, base58_encode_64(bytes.data(), raw)), text);
                }
                if (n != 32) continue;
                ASSERT_EQ(std::string(raw, base58_encode_32(bytes.data(), raw)), text);
                std::array<uint8_t, 32> out{};
                ASSERT_EQ(outcome(base58_decode_32(text, out.data())), "OK") << text;
                EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end()), bytes) << text;
            }
        }
    }
    const std::string key = "TokenkegQfeZyiNwAJbNbGKPFXCWuBvf9Ss623VQ5DA";
    const std::string texts[] = {
        "1" + key, std::string(33, '1'), std::string(31, '1') + "2", "2" + std::string(31, '1'),
        std::string(44, 'z'), std::string(45, 'z'), key.substr(0, 31), key.substr(0, 43) + "0",
        key.substr(0, 10) + "\xc3\xa9" + key.substr(12), std::string(43, '1') + "z", "",
    };
    for (const std::string& text : texts) {
        std::array<uint8_t, 32> fast{};
        uint8_t general[64] = {};
        auto got = base58_decode_32(text, fast.data());
        auto want = base58_decode_into(text, general, sizeof general);
        ASSERT_EQ(outcome(got), outcome(want)) << text;
        if (!want) continue;
        EXPECT_EQ(*got, *want) << text;
        if (*want == 32) {
            EXPECT_TRUE(std::equal(fast.begin(), fast.end(), general)) << text;
        }
    }
}

TEST(Keys, LengthRulesAndDomains) {
    const std::string big(1 << 20, '2');
    const std::string at_limit = "1" + std::string(1023, 'z');  // still decoded for its exact length
    const std::pair<std::string, std::string> keys[] = {
        {"", "invalid key length: expected 32, got 0"},
        {b58(std::vector<uint8_t>(31, 7)), "invalid key length: expected 32, got 31"},
        {b58(std::vector<uint8_t>(33, 7)), "invalid key length: expected 32, got 33"},
        {at_limit, "invalid key length: expected 32, got " + std::to_string(base58_decode(at_limit)->size())},
        {big, "invalid base58: provided string is too long: 1048576 characters"},
        {big + "0", "invalid base58: provided string contained invalid character '0' at byte 1048576"},
        {"11111111111111111111111111111111", "OK"},
    };
    for (const auto& [text, error] : keys) EXPECT_EQ(outcome(Pubkey::from_base58(text)), error) << text.size();
    for (size_t n : {31, 33})
        EXPECT_EQ(outcome(Hash::from_base58(b58(std::vector<uint8_t>(n, 7)))),
                  "invalid hash length: expected 32 bytes, got " + std::to_string(n));
    for (const auto& row : vectors("keys.json")["signature_domains"]) {
        const std::string name = row[0];
        auto d = signature_domain_from_str(name);
        EXPECT_EQ(d ? signature_domain_byte(*d) : 0, row[1]) << name;
        EXPECT_EQ(d ? signature_domain_name(*d) : "", d ? name : "");
        EXPECT_EQ(outcome(Signer::create(seed_keypair(1), name)),
                  d ? "OK" : "invalid signature domain '" + name + "'; expected mainnet, testnet, or devnet");
    }
}

// A public half that does not decompress is refused like a mismatched one
// (lengths, mismatches and bad text are golden cases, tests/golden/errors.json).
TEST(Keys, KeypairWithAnOffCurvePublicHalf) {
    auto off_curve = seed_keypair(1).to_bytes();
    std::fill(off_curve.begin() + 32, off_curve.end(), 0);
    off_curve[32] = 2;  // y = 2 does not decompress
    EXPECT_EQ(outcome(Keypair::from_bytes(off_curve.data(), 64)), "keypair public key does not match its secret key");
}
