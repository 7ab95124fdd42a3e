// Ed25519 through Keypair: the RFC 8032 section 7.1 vectors (tests/cpp/vectors/
// keys.json), both key forms, and strict verification (canonical S, no
// small-order key).
#include <gtest/gtest.h>

#include "test_util.hpp"
#include "types/hex.hpp"

using namespace vorn_test;

TEST(Rfc8032, SeedPublicKeySignature) {
    for (const auto& v : vectors("keys.json")["rfc8032"]) {
        const std::string seed_hex = v[0], pub_hex = v[1];
        auto seed = unhex(seed_hex), msg = unhex(v[2]), full = unhex(seed_hex + pub_hex);
        auto kp = Keypair::from_bytes(seed.data(), seed.size());
        ASSERT_TRUE(kp);
        EXPECT_EQ(hex_encode(kp->pubkey().bytes.data(), 32), pub_hex);
        const Signature sig = kp->sign(msg.data(), msg.size());
        EXPECT_EQ(hex_encode(sig.data(), sig.size()), v[3]);
        EXPECT_TRUE(verify_signature(kp->pubkey(), msg.data(), msg.size(), sig));
        msg.push_back(0);
        EXPECT_FALSE(verify_signature(kp->pubkey(), msg.data(), msg.size(), sig));
        // The 64-byte form and the base58 text of both forms give the same key (and signer).
        for (auto other : {Keypair::from_bytes(full.data(), full.size()), Keypair::from_base58(b58(seed)),
                           Keypair::from_base58(kp->to_base58())}) {
            ASSERT_TRUE(other);
            EXPECT_EQ(other->to_bytes(), kp->to_bytes());
        }
        EXPECT_EQ(Signer::from_base58(kp->to_base58(), "devnet")->pubkey(), kp->pubkey());
    }
}

TEST(Rfc8032, StrictVerificationRefusesNonCanonicalSAndSmallOrderKeys) {
    const Keypair kp = seed_keypair(1);
    const Signature sig = kp.sign(nullptr, 0);
    ASSERT_TRUE(verify_signature(kp.pubkey(), nullptr, 0, sig));
    EXPECT_FALSE(verify_signature(kp.pubkey(), nullptr, 0, malleated(sig)));
    // The identity key with R = identity, S = 0 verifies under lax rules.
    Pubkey identity;
    identity.bytes[0] = 1;
    Signature trivial{};
    trivial[0] = 1;
    EXPECT_FALSE(verify_signature(identity, nullptr, 0, trivial));
}
