// The on-curve test used to tell wallets from program-derived addresses.
#include <gtest/gtest.h>
#include <sodium.h>

#include <array>
#include <string>

#include "solana/curve25519.hpp"
#include "types/types.hpp"

using namespace vorn;

namespace {

using Bytes32 = std::array<uint8_t, 32>;

Bytes32 from_hex(const char* text) {
    Bytes32 out{};
    std::string s(text);
    for (size_t i = 0; i < 32; ++i) out[i] = static_cast<uint8_t>(std::stoi(s.substr(2 * i, 2), nullptr, 16));
    return out;
}

// The little-endian encoding of p + k = 2^255 - 19 + k (k <= 18), optionally
// with the sign bit of x set.
Bytes32 p_plus(unsigned k, bool sign) {
    Bytes32 b;
    b.fill(0xff);
    b[0] = static_cast<uint8_t>(0xed + k);
    b[31] = sign ? 0xff : 0x7f;
    return b;
}

Bytes32 small_y(uint8_t y, bool sign) {
    Bytes32 b{};
    b[0] = y;
    if (sign) b[31] = 0x80;
    return b;
}

Bytes32 key_of(const char* base58) {
    auto k = Pubkey::from_base58(base58);
    EXPECT_TRUE(k) << base58;
    return k ? k->bytes : Bytes32{};
}

class Curve25519 : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_GE(sodium_init(), 0); }
};

}  // namespace

TEST_F(Curve25519, WalletKeysDerivedFromSeedsAreOnCurve) {
    for (unsigned i = 0; i < 200; ++i) {
        uint8_t seed[32];
        for (size_t j = 0; j < 32; ++j) seed[j] = static_cast<uint8_t>(i * 31 + j * 7);
        Bytes32 pk;
        uint8_t sk[64];
        crypto_sign_seed_keypair(pk.data(), sk, seed);
        EXPECT_TRUE(is_on_curve(pk)) << i;
    }
}

TEST_F(Curve25519, PrimeOrderPointsAgreeWithLibsodium) {
    for (unsigned i = 1; i <= 64; ++i) {
        uint8_t scalar[32] = {};
        scalar[0] = static_cast<uint8_t>(i);
        scalar[5] = static_cast<uint8_t>(i * 3);
        Bytes32 point;
        ASSERT_EQ(crypto_scalarmult_ed25519_base_noclamp(point.data(), scalar), 0);
        ASSERT_EQ(crypto_core_ed25519_is_valid_point(point.data()), 1);
        EXPECT_TRUE(is_on_curve(point)) << i;
    }
}

TEST_F(Curve25519, PublicProgramIdsAreOrdinaryCurvePoints) {
    // These well-known ids are keypair addresses, so they do decompress.
    EXPECT_TRUE(is_on_curve(key_of("TokenkegQfeZyiNwAJbNbGKPFXCWuBvf9Ss623VQ5DA")));
    EXPECT_TRUE(is_on_curve(key_of("ATokenGPvbdGVxr1b2hvZbsiqW5xWH25efTNsLJA8knL")));
    EXPECT_TRUE(is_on_curve(key_of("EPjFWdd5AufqSSqeM2qN1xzybapC8G4wEGGkZwyTDt1v")));
}

TEST_F(Curve25519, ProgramDerivedAddressesAreOffCurve) {
    // Associated token accounts of USDC, as the chain derives them.
    for (const char* ata : {"3wvJdyFnGvaMWpbq93NU91SggiVRveULUXL6iX5VZDGP", "ASZ2TDDNJG2n42TxAezqNNzwWipykHrENDKMCoLKgzup",
                            "DNDTCnZkNk358qDFZd9unHtnrc73SsXcpVWtwJJMrR4B", "FHPASu6WrzXmbm5NbAQy9BxwX5naUHKn5z8ycurGoSX",
                            "VWJuvk8BYp1fcDsjj6e21be2w69Yj9pCXQiKmXnbTkk"})
        EXPECT_FALSE(is_on_curve(key_of(ata))) << ata;
}

TEST_F(Curve25519, SmallOrderPointsAreOnCurve) {
    // The eight torsion points (and sign-bit variants): outside the prime-order
    // subgroup, so libsodium's validity check refuses them, yet they decompress.
    const char* torsion[] = {
        "0100000000000000000000000000000000000000000000000000000000000000",  // identity
        "ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",  // order 2
        "0000000000000000000000000000000000000000000000000000000000000000",  // order 4
        "0000000000000000000000000000000000000000000000000000000000000080",  // order 4
        "26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc05",  // order 8
        "26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc85",  // order 8
        "c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac037a",  // order 8
        "c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac03fa",  // order 8
    };
    for (const char* t : torsion) {
        Bytes32 b = from_hex(t);
        EXPECT_EQ(crypto_core_ed25519_is_valid_point(b.data()), 0) << t;
        EXPECT_TRUE(is_on_curve(b)) << t;
    }
}

TEST_F(Curve25519, MixedOrderPointsAreOnCurve) {
    const Bytes32 torsion8 = from_hex("26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc05");
    const Bytes32 torsion4 = from_hex("0000000000000000000000000000000000000000000000000000000000000080");
    for (unsigned i = 1; i <= 16; ++i) {
        uint8_t scalar[32] = {};
        scalar[0] = static_cast<uint8_t>(i);
        scalar[17] = static_cast<uint8_t>(i + 100);
        Bytes32 base_multiple;
        ASSERT_EQ(crypto_scalarmult_ed25519_base_noclamp(base_multiple.data(), scalar), 0);
        for (const Bytes32& t : {torsion8, torsion4}) {
            Bytes32 mixed;
            ASSERT_EQ(crypto_core_ed25519_add(mixed.data(), base_multiple.data(), t.data()), 0);
            // Not in the prime-order subgroup...
            EXPECT_EQ(crypto_core_ed25519_is_valid_point(mixed.data()), 0) << i;
            // ...but a curve point all the same.
            EXPECT_TRUE(is_on_curve(mixed)) << i;
        }
    }
}

TEST_F(Curve25519, NonSquareRatiosAreNotOnCurve) {
    // y = 2, 7, 8, 11: (y^2-1)/(d y^2+1) is not a square mod p, either sign.
    for (uint8_t y : {2, 7, 8, 11}) {
        EXPECT_FALSE(is_on_curve(small_y(y, false))) << int(y);
        EXPECT_FALSE(is_on_curve(small_y(y, true))) << int(y);
    }
    for (uint8_t y : {3, 4, 5, 6, 9, 10}) {
        EXPECT_TRUE(is_on_curve(small_y(y, false))) << int(y);
        EXPECT_TRUE(is_on_curve(small_y(y, true))) << int(y);
    }
}

TEST_F(Curve25519, XZeroWithSignBitSetIsAccepted) {
    // y = 1 and y = -1 give x = 0; a set sign bit is not a reason to refuse.
    EXPECT_TRUE(is_on_curve(small_y(1, true)));
    EXPECT_TRUE(is_on_curve(from_hex("ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff")));
}

TEST_F(Curve25519, NonCanonicalYIsReducedModP) {
    // y = p + k stands for y = k: y = p is y = 0 (on), p + 1 is the identity,
    // p + 2 is y = 2 (not on), and so on for every value from p to 2^255 - 1.
    EXPECT_TRUE(is_on_curve(p_plus(0, false)));
    EXPECT_TRUE(is_on_curve(p_plus(1, false)));
    EXPECT_FALSE(is_on_curve(p_plus(2, false)));
    EXPECT_TRUE(is_on_curve(p_plus(3, true)));
    const char* expected = "1101111001100011101";  // k = 0..18
    for (unsigned k = 0; k <= 18; ++k) {
        const bool on = expected[k] == '1';
        EXPECT_EQ(is_on_curve(p_plus(k, false)), on) << k;
        EXPECT_EQ(is_on_curve(p_plus(k, true)), on) << k;
        EXPECT_EQ(is_on_curve(small_y(static_cast<uint8_t>(k), false)), on) << k;
    }
}

TEST_F(Curve25519, HashOutputsMatchReferenceVerdicts) {
    // SHA-256("curve-<i>") for i = 0..23 and whether each decompresses.
    const char* expected = "111000011011111110000110";
    for (unsigned i = 0; i < 24; ++i) {
        std::string msg = "curve-" + std::to_string(i);
        Bytes32 h;
        crypto_hash_sha256(h.data(), reinterpret_cast<const uint8_t*>(msg.data()), msg.size());
        EXPECT_EQ(is_on_curve(h), expected[i] == '1') << i;
    }
}
