// Keys, hashes, base58 and the keypair.
#include <gtest/gtest.h>

#include <vector>

#include "types/base58.hpp"
#include "types/keypair.hpp"
#include "types/types.hpp"

using namespace vorn;

namespace {

std::string b58(const std::vector<uint8_t>& v) { return base58_encode(v.data(), v.size()); }

}  // namespace

TEST(Base58, KnownVectors) {
    EXPECT_EQ(b58({}), "");
    EXPECT_EQ(b58({0}), "1");
    EXPECT_EQ(b58({0, 0, 1}), "112");
    EXPECT_EQ(b58({'H', 'e', 'l', 'l', 'o', ' ', 'W', 'o', 'r', 'l', 'd', '!'}), "2NEpo7TZRRrLZSi2U");
    std::vector<uint8_t> zeros(32, 0);
    EXPECT_EQ(b58(zeros), std::string(32, '1'));
    auto back = base58_decode("2NEpo7TZRRrLZSi2U");
    ASSERT_TRUE(back);
    EXPECT_EQ(std::string(back->begin(), back->end()), "Hello World!");
    auto z = base58_decode("112");
    ASSERT_TRUE(z);
    EXPECT_EQ(*z, (std::vector<uint8_t>{0, 0, 1}));
}

TEST(Base58, RoundTripsRandomLengths) {
    for (size_t len = 0; len < 90; ++len) {
        std::vector<uint8_t> v(len);
        for (size_t i = 0; i < len; ++i) v[i] = static_cast<uint8_t>((i * 37 + len) & 0xff);
        if (len > 2) v[0] = 0;
        auto back = base58_decode(b58(v));
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, v) << len;
    }
}

TEST(Base58, DecoderDescriptions) {
    auto e = base58_decode("abc0def");
    ASSERT_FALSE(e);
    EXPECT_EQ(e.error().display(), "invalid base58: provided string contained invalid character '0' at byte 3");
    EXPECT_EQ(base58_decode("l").error().text, "provided string contained invalid character 'l' at byte 0");
    EXPECT_EQ(base58_decode("1\n").error().text, "provided string contained invalid character '\\n' at byte 1");
    EXPECT_EQ(base58_decode("'").error().text, "provided string contained invalid character '\\'' at byte 0");
    EXPECT_EQ(base58_decode(std::string("2\x1f", 2)).error().text,
              "provided string contained invalid character '\\u{1f}' at byte 1");
    EXPECT_EQ(base58_decode("22\xc3\xa9").error().text,
              "provided string contained non-ascii character starting at byte 2");
}

TEST(Pubkey, LengthRules) {
    EXPECT_EQ(Pubkey::from_base58("").error().display(), "invalid key length: expected 32, got 0");
    std::vector<uint8_t> v31(31, 7), v33(33, 7);
    EXPECT_EQ(Pubkey::from_base58(b58(v31)).error().display(), "invalid key length: expected 32, got 31");
    EXPECT_EQ(Pubkey::from_base58(b58(v33)).error().display(), "invalid key length: expected 32, got 33");
    EXPECT_EQ(Hash::from_base58(b58(v31)).error().display(), "invalid hash length: expected 32 bytes, got 31");
    EXPECT_EQ(Hash::from_base58(b58(v33)).error().display(), "invalid hash length: expected 32 bytes, got 33");
    std::vector<uint8_t> long_value(200, 9);
    EXPECT_EQ(Pubkey::from_base58(b58(long_value)).error().display(), "invalid key length: expected 32, got 200");
    EXPECT_EQ(Pubkey::from_base58("abc0").error().kind, ErrorKind::InvalidBase58);
    // Long texts keep their exact decoded length up to 1024 characters; past
    // that the text is refused on its length without the quadratic decode.
    std::string at_limit = "1" + std::string(1023, 'z');  // one zero byte, then the number
    auto exact = base58_decode(at_limit);
    ASSERT_TRUE(exact);
    EXPECT_EQ(Pubkey::from_base58(at_limit).error().got, exact->size());
    std::string huge(1 << 20, '2');
    EXPECT_EQ(Pubkey::from_base58(huge).error().display(),
              "invalid base58: provided string is too long: 1048576 characters");
    EXPECT_EQ(Pubkey::from_base58(huge + "0").error().text,
              "provided string contained invalid character '0' at byte 1048576");
    auto k = Pubkey::from_base58("11111111111111111111111111111111");
    ASSERT_TRUE(k);
    EXPECT_EQ(k->bytes, (std::array<uint8_t, 32>{}));
    EXPECT_TRUE(validate_pubkey("TokenkegQfeZyiNwAJbNbGKPFXCWuBvf9Ss623VQ5DA"));
    EXPECT_FALSE(validate_pubkey("xyz0"));
    EXPECT_FALSE(validate_hash(""));
}

TEST(SignatureDomain, ExactNames) {
    EXPECT_EQ(*signature_domain_from_str("mainnet"), SignatureDomain::Mainnet);
    EXPECT_EQ(*signature_domain_from_str("testnet"), SignatureDomain::Testnet);
    EXPECT_EQ(*signature_domain_from_str("devnet"), SignatureDomain::Devnet);
    EXPECT_EQ(signature_domain_from_str("Mainnet").error().display(),
              "invalid signature domain 'Mainnet'; expected mainnet, testnet, or devnet");
    EXPECT_EQ(signature_domain_from_str(" mainnet").error().text, " mainnet");
    EXPECT_FALSE(signature_domain_from_str(""));
    EXPECT_FALSE(signature_domain_from_byte(0));
    EXPECT_FALSE(signature_domain_from_byte(4));
}

TEST(Keypair, RfcVectorAndForms) {
    // RFC 8032 test 1: empty message.
    std::vector<uint8_t> seed = {0x9d, 0x61, 0xb1, 0x9d, 0xef, 0xfd, 0x5a, 0x60, 0xba, 0x84, 0x4a,
                                 0xf4, 0x92, 0xec, 0x2c, 0xc4, 0x44, 0x49, 0xc5, 0x69, 0x7b, 0x32,
                                 0x69, 0x19, 0x70, 0x3b, 0xac, 0x03, 0x1c, 0xae, 0x7f, 0x60};
    auto kp = Keypair::from_bytes(seed.data(), seed.size());
    ASSERT_TRUE(kp);
    const uint8_t pk[32] = {0xd7, 0x5a, 0x98, 0x01, 0x82, 0xb1, 0x0a, 0xb7, 0xd5, 0x4b, 0xfe,
                            0xd3, 0xc9, 0x64, 0x07, 0x3a, 0x0e, 0xe1, 0x72, 0xf3, 0xda, 0xa6,
                            0x23, 0x25, 0xaf, 0x02, 0x1a, 0x68, 0xf7, 0x07, 0x51, 0x1a};
    EXPECT_TRUE(std::equal(pk, pk + 32, kp->pubkey().bytes.begin()));
    auto sig = kp->sign(nullptr, 0);
    EXPECT_EQ(sig[0], 0xe5);
    EXPECT_EQ(sig[63], 0x0b);
    EXPECT_EQ(sig, kp->sign(nullptr, 0));
    EXPECT_TRUE(verify_signature(kp->pubkey(), nullptr, 0, sig));
    const uint8_t one = 1;
    EXPECT_FALSE(verify_signature(kp->pubkey(), &one, 1, sig));

    auto full = kp->to_bytes();
    auto again = Keypair::from_bytes(full.data(), full.size());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->pubkey(), kp->pubkey());
    auto from_text = Keypair::from_base58(kp->to_base58());
    ASSERT_TRUE(from_text);
    EXPECT_EQ(from_text->pubkey(), kp->pubkey());
    auto from_seed_text = Keypair::from_base58(b58(seed));
    ASSERT_TRUE(from_seed_text);
    EXPECT_EQ(from_seed_text->seed(), kp->seed());
}

TEST(Keypair, Refusals) {
    std::vector<uint8_t> b48(48, 1);
    EXPECT_EQ(Keypair::from_bytes(b48.data(), b48.size()).error().display(),
              "invalid key length: expected 64, got 48");
    auto a = Keypair::generate();
    auto b = Keypair::generate();
    ASSERT_TRUE(a && b);
    auto mixed = a->to_bytes();
    std::copy(b->pubkey().bytes.begin(), b->pubkey().bytes.end(), mixed.begin() + 32);
    EXPECT_EQ(Keypair::from_bytes(mixed.data(), 64).error().display(),
              "keypair public key does not match its secret key");
    // y = 2 does not decompress: not a curve point at all.
    auto off_curve = a->to_bytes();
    std::fill(off_curve.begin() + 32, off_curve.end(), 0);
    off_curve[32] = 2;
    EXPECT_EQ(Keypair::from_bytes(off_curve.data(), 64).error().kind, ErrorKind::KeypairMismatch);
    EXPECT_EQ(Keypair::from_base58("0abc").error().kind, ErrorKind::InvalidBase58);
    EXPECT_NE(random_hash(), random_hash());
    EXPECT_TRUE(validate_hash(random_hash()));
}

TEST(Commission, FeeRange) {
    Pubkey to;
    EXPECT_TRUE(Commission::make(to, 1));
    EXPECT_TRUE(Commission::make(to, 15));
    EXPECT_EQ(Commission::make(to, 0).error().display(), "invalid order: builder-code fee must be 1..=15 bps");
    EXPECT_EQ(Commission::make(to, 16).error().text, "builder-code fee must be 1..=15 bps");
}

TEST(LiquidatorConfig, SortedInstrumentsStable) {
    LiquidatorConfig c;
    for (const char* s : {"ETH-USD", "BTC-USD", "SOL-USD", "BTC-USD", "BTC"}) {
        LiquidatorInstrumentConfig i;
        i.symbol = s;
        i.volume_rampup = c.instruments.size();
        c.instruments.push_back(i);
    }
    auto sorted = c.sorted_instruments();
    ASSERT_EQ(sorted.size(), 5u);
    EXPECT_EQ(sorted[0]->symbol, "BTC");
    EXPECT_EQ(sorted[1]->volume_rampup, 1u);
    EXPECT_EQ(sorted[2]->volume_rampup, 3u);
    EXPECT_EQ(sorted[3]->symbol, "ETH-USD");
    EXPECT_EQ(sorted[4]->symbol, "SOL-USD");
    EXPECT_EQ(c.instruments[0].symbol, "ETH-USD");
}
