// Seed copies in a Keypair (its seed and libsodium's secret key) and in a
// Signer are wiped when the object is destroyed or overwritten.
//
// Objects live in buffers the test owns (placement new, explicit destructor),
// so reading them after the destructor reads allocated memory; the reads go
// through a volatile pointer so the wipe cannot be reasoned away.
#include <gtest/gtest.h>

#include <new>

#include "sign/sign.hpp"
#include "test_util.hpp"

using namespace vorn_test;

namespace {

template <class T>
struct Storage {
    alignas(T) unsigned char bytes[sizeof(T)];
    Storage() { std::fill(std::begin(bytes), std::end(bytes), 0xEE); }
    T* get() { return std::launder(reinterpret_cast<T*>(bytes)); }

    // Whether any 8 consecutive bytes of the seed are in the storage.
    bool holds(uint8_t fill) const {
        const std::array<uint8_t, 32> seed = seed_keypair(fill).seed();
        const volatile unsigned char* p = bytes;
        std::vector<uint8_t> mem(p, p + sizeof(T));
        for (size_t start = 0; start + 8 <= seed.size(); ++start)
            if (std::search(mem.begin(), mem.end(), seed.begin() + start, seed.begin() + start + 8) != mem.end())
                return true;
        return false;
    }
};

Signer signer_of(uint8_t fill) { return *Signer::create(seed_keypair(fill), "mainnet"); }

}  // namespace

TEST(SecretHygiene, KeypairCopiesAreWiped) {
    Storage<Keypair> box;
    new (box.bytes) Keypair(seed_keypair(3));
    ASSERT_TRUE(box.holds(3));  // the check can fail: a live keypair holds its seed
    *box.get() = seed_keypair(9);
    EXPECT_FALSE(box.holds(3));
    EXPECT_TRUE(box.holds(9));
    EXPECT_EQ(box.get()->pubkey(), seed_keypair(9).pubkey());
    box.get()->~Keypair();
    EXPECT_FALSE(box.holds(9));
}

TEST(SecretHygiene, SignerCopiesAreWipedOnDestroyMoveAndMoveAssign) {
    Storage<Signer> from, to;
    new (from.bytes) Signer(signer_of(11));
    ASSERT_TRUE(from.holds(11));
    const uint8_t msg[3] = {1, 2, 3};
    EXPECT_EQ(from.get()->sign_bytes(msg, 3), signature_to_base58(seed_keypair(11).sign(msg, 3)));

    new (to.bytes) Signer(std::move(*from.get()));
    from.get()->~Signer();
    EXPECT_FALSE(from.holds(11));
    ASSERT_TRUE(to.holds(11));

    *to.get() = signer_of(12);
    EXPECT_FALSE(to.holds(11));
    EXPECT_TRUE(to.holds(12));
    to.get()->~Signer();
    EXPECT_FALSE(to.holds(12));
}
