// The on-curve test that tells wallets from program-derived addresses: points
// of every order count, non-squares and the reduced encodings do not.
#include <gtest/gtest.h>
#include <sodium.h>

#include "solana/curve25519.hpp"
#include "test_util.hpp"

using namespace vorn_test;

namespace {

using Bytes32 = std::array<uint8_t, 32>;

Bytes32 bytes32(const std::vector<uint8_t>& v) {
    Bytes32 b{};
    std::copy(v.begin(), v.end(), b.begin());
    return b;
}

// y = k (k < 256) or y = p + k, with or without the sign bit of x.
Bytes32 y_of(unsigned k, bool plus_p, bool sign) {
    Bytes32 b{};
    if (plus_p) {
        b.fill(0xff);
        b[0] = static_cast<uint8_t>(0xed + k);
        b[31] = 0x7f;
    } else {
        b[0] = static_cast<uint8_t>(k);
    }
    if (sign) b[31] |= 0x80;
    return b;
}

Bytes32 scalar_times_base(uint8_t lo, uint8_t hi) {
    uint8_t scalar[32] = {};
    scalar[0] = lo;
    scalar[17] = hi;
    Bytes32 p;
    EXPECT_EQ(crypto_scalarmult_ed25519_base_noclamp(p.data(), scalar), 0);
    return p;
}

}  // namespace

TEST(Curve25519, PointsOfEveryOrderAreOnCurve) {
    ASSERT_GE(sodium_init(), 0);
    for (uint8_t i = 0; i < 64; ++i) {
        Bytes32 pk;
        uint8_t sk[64];
        const Bytes32 seed = y_of(i, false, false);
        crypto_sign_seed_keypair(pk.data(), sk, seed.data());
        EXPECT_TRUE(is_on_curve(pk)) << int(i);
    }
    // The torsion points: libsodium refuses them, yet they decompress;
    // so do prime-order points plus a torsion point.
    const char* torsion[] = {
        "0100000000000000000000000000000000000000000000000000000000000000",
        "ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",
        "ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",  // x = 0, sign bit set
        "0000000000000000000000000000000000000000000000000000000000000000",
        "0000000000000000000000000000000000000000000000000000000000000080",
        "26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc05",
        "26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc85",
        "c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac037a",
        "c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac03fa",
    };
    for (const char* t : torsion) {
        const Bytes32 small = bytes32(unhex(t));
        EXPECT_EQ(crypto_core_ed25519_is_valid_point(small.data()), 0) << t;
        EXPECT_TRUE(is_on_curve(small)) << t;
        for (uint8_t i = 1; i <= 8; ++i) {
            const Bytes32 prime = scalar_times_base(i, i + 100);
            ASSERT_TRUE(is_on_curve(prime));
            Bytes32 mixed;
            ASSERT_EQ(crypto_core_ed25519_add(mixed.data(), prime.data(), small.data()), 0);
            EXPECT_TRUE(is_on_curve(mixed)) << t << " + " << int(i) << "B";
        }
    }
}

TEST(Curve25519, KnownAddresses) {
    struct Case {
        const char* address;
        bool on;
    };
    const Case cases[] = {
        {"TokenkegQfeZyiNwAJbNbGKPFXCWuBvf9Ss623VQ5DA", true},   // keypair-made program ids
        {"ATokenGPvbdGVxr1b2hvZbsiqW5xWH25efTNsLJA8knL", true},
        {"EPjFWdd5AufqSSqeM2qN1xzybapC8G4wEGGkZwyTDt1v", true},
        {"3wvJdyFnGvaMWpbq93NU91SggiVRveULUXL6iX5VZDGP", false},  // associated token accounts
        {"ASZ2TDDNJG2n42TxAezqNNzwWipykHrENDKMCoLKgzup", false},
        {"FHPASu6WrzXmbm5NbAQy9BxwX5naUHKn5z8ycurGoSX", false},
        {"VWJuvk8BYp1fcDsjj6e21be2w69Yj9pCXQiKmXnbTkk", false},
    };
    for (const Case& c : cases) EXPECT_EQ(is_on_curve(Pubkey::from_base58(c.address)->bytes), c.on) << c.address;
}

TEST(Curve25519, SmallAndNonCanonicalY) {
    // Verdict for y = k, k = 0..18; y = p + k is reduced to y = k, and the
    // sign bit never matters (x = 0 with the sign bit set is accepted too).
    const char* expected = "1101111001100011101";
    for (unsigned k = 0; k <= 18; ++k)
        for (bool plus_p : {false, true})
            for (bool sign : {false, true})
                EXPECT_EQ(is_on_curve(y_of(k, plus_p, sign)), expected[k] == '1') << k << plus_p << sign;
}

TEST(Curve25519, HashOutputsMatchReferenceVerdicts) {
    // SHA-256("curve-<i>") for i = 0..23, whether each decompresses.
    const char* expected = "111000011011111110000110";
    for (unsigned i = 0; i < 24; ++i) {
        std::string msg = "curve-" + std::to_string(i);
        Bytes32 h;
        crypto_hash_sha256(h.data(), reinterpret_cast<const uint8_t*>(msg.data()), msg.size());
        EXPECT_EQ(is_on_curve(h), expected[i] == '1') << i;
    }
}
