// Ed25519 through Keypair: the RFC 8032 section 7.1 vectors, both key forms,
// and strict verification (canonical S, no small-order key).
#include <gtest/gtest.h>

#include "test_util.hpp"
#include "types/hex.hpp"

using namespace vorn_test;

namespace {

struct Vector {
    const char* seed;
    const char* pub;
    const char* msg;
    const char* sig;
};

const Vector kVectors[] = {
    {"9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
     "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
     "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24"
     "655141438e7a100b"},
    {"4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
     "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
     "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb0"
     "0d291612bb0c00"},
    {"c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7",
     "fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
     "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac18ff9b538d16f290ae67f760984dc6594a7c15e9716ed28dc0"
     "27beceea1ec40a"},
};

// S + L: the same scalar, not canonical.
Signature add_group_order(Signature sig) {
    static const uint8_t L[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                                  0xa2, 0xde, 0xf9, 0xde, 0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10};
    unsigned carry = 0;
    for (int i = 0; i < 32; ++i) {
        unsigned s = sig[32 + i] + L[i] + carry;
        sig[32 + i] = static_cast<uint8_t>(s);
        carry = s >> 8;
    }
    return sig;
}

}  // namespace

TEST(Rfc8032, SeedPublicKeySignature) {
    for (const auto& v : kVectors) {
        auto seed = unhex(v.seed), msg = unhex(v.msg);
        auto kp = Keypair::from_bytes(seed.data(), seed.size());
        ASSERT_TRUE(kp);
        EXPECT_EQ(hex_encode(kp->pubkey().bytes.data(), 32), v.pub);
        auto sig = kp->sign(msg.data(), msg.size());
        EXPECT_EQ(hex_encode(sig.data(), sig.size()), v.sig);
        EXPECT_TRUE(verify_signature(kp->pubkey(), msg.data(), msg.size(), sig));
        msg.push_back(0);
        EXPECT_FALSE(verify_signature(kp->pubkey(), msg.data(), msg.size(), sig));
        // The 64-byte form, the base58 text of both forms and to_bytes agree.
        auto full = unhex(std::string(v.seed) + v.pub);
        for (auto other : {Keypair::from_bytes(full.data(), full.size()), Keypair::from_base58(b58(seed)),
                           Keypair::from_base58(kp->to_base58())}) {
            ASSERT_TRUE(other);
            EXPECT_EQ(other->to_bytes(), kp->to_bytes());
        }
    }
}

TEST(Rfc8032, StrictVerificationRefusesNonCanonicalSAndSmallOrderKeys) {
    auto kp = seed_keypair(1);
    auto sig = kp.sign(nullptr, 0);
    ASSERT_TRUE(verify_signature(kp.pubkey(), nullptr, 0, sig));
    EXPECT_FALSE(verify_signature(kp.pubkey(), nullptr, 0, add_group_order(sig)));
    Pubkey identity;
    identity.bytes[0] = 1;
    Signature trivial{};
    trivial[0] = 1;  // R = identity, S = 0 verifies for the identity key under lax rules
    EXPECT_FALSE(verify_signature(identity, nullptr, 0, trivial));
}
