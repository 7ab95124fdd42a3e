// The on-curve test that tells wallets from program-derived addresses: points
// of every order count, non-squares do not, y is reduced mod p and the sign
// bit never matters (vectors in tests/cpp/vectors/curve25519.json).
#include <gtest/gtest.h>
#include <sodium.h>

#include "solana/curve25519.hpp"
#include "test_util.hpp"

using namespace vorn_test;

namespace {

using Bytes32 = std::array<uint8_t, 32>;

// y = k (k < 256) or y = p + k, with or without the sign bit of x.
Bytes32 y_of(unsigned k, bool plus_p, bool sign) {
    Bytes32 b{};
    if (plus_p) { b.fill(0xff); b[31] = 0x7f; }
    b[0] = static_cast<uint8_t>(plus_p ? 0xed + k : k);
    if (sign) b[31] |= 0x80;
    return b;
}

}  // namespace

TEST(Curve25519, PointsOfEveryOrderAreOnCurve) {
    ASSERT_GE(sodium_init(), 0);
    for (uint8_t i = 0; i < 64; ++i) {
        Bytes32 pk;
        uint8_t sk[64];
        crypto_sign_seed_keypair(pk.data(), sk, y_of(i, false, false).data());
        EXPECT_TRUE(is_on_curve(pk)) << int(i);
    }
    // Torsion points (libsodium refuses them, yet they decompress), and
    // prime-order points plus a torsion point.
    for (const auto& t : vectors("curve25519.json")["torsion"]) {
        Bytes32 small;
        std::ranges::copy(unhex(t), small.begin());
        EXPECT_EQ(crypto_core_ed25519_is_valid_point(small.data()), 0) << t;
        EXPECT_TRUE(is_on_curve(small)) << t;
        for (uint8_t i = 1; i <= 8; ++i) {
            uint8_t scalar[32] = {i};
            Bytes32 prime, mixed;
            ASSERT_EQ(crypto_scalarmult_ed25519_base_noclamp(prime.data(), scalar), 0);
            ASSERT_TRUE(is_on_curve(prime));
            ASSERT_EQ(crypto_core_ed25519_add(mixed.data(), prime.data(), small.data()), 0);
            EXPECT_TRUE(is_on_curve(mixed)) << t << " + " << int(i) << "B";
        }
    }
}

TEST(Curve25519, ReferenceVerdicts) {
    const auto& v = vectors("curve25519.json");
    for (const auto& row : v["addresses"]) EXPECT_EQ(is_on_curve(Pubkey::from_base58(row[0].get<std::string>())->bytes), row[1]);
    // y = k for k = 0..18; y = p + k reduces to y = k; the sign bit never matters.
    const std::string small = v["small_y_0_to_18"];
    for (unsigned k = 0; k <= 18; ++k)
        for (int variant = 0; variant < 4; ++variant)
            EXPECT_EQ(is_on_curve(y_of(k, variant & 1, variant & 2)), small[k] == '1') << k << " " << variant;
    const std::string hashed = v["sha256_curve_0_to_23"];  // SHA-256("curve-<i>")
    for (unsigned i = 0; i < hashed.size(); ++i) {
        const std::string msg = "curve-" + std::to_string(i);
        Bytes32 h;
        crypto_hash_sha256(h.data(), reinterpret_cast<const uint8_t*>(msg.data()), msg.size());
        EXPECT_EQ(is_on_curve(h), hashed[i] == '1') << i;
    }
}
