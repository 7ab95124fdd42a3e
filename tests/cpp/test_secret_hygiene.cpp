// The seed copies inside a Keypair (the seed and libsodium's secret key) and
// inside a Signer (its own Keypair) are wiped when the object is destroyed or
// overwritten.
//
// The objects live in buffers the test owns (placement new, explicit
// destructor call), so reading the storage after the destructor reads memory
// that is still allocated: no freed memory is inspected. The storage is read
// through a volatile pointer, so the compiler cannot reason the stores of the
// wipe away or answer the search from what it knows was stored earlier.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "types/keypair.hpp"
#include "sign/sign.hpp"

using namespace vorn;

namespace {

// Any 8 consecutive seed bytes count as a surviving copy.
constexpr size_t kRun = 8;

std::array<uint8_t, 32> seed_of(uint8_t first) {
    std::array<uint8_t, 32> s{};
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<uint8_t>(first + 7 * i + 1);
    return s;
}

Keypair keypair_of(const std::array<uint8_t, 32>& seed) {
    auto kp = Keypair::from_bytes(seed.data(), seed.size());
    EXPECT_TRUE(kp);
    return *kp;
}

Signer signer_of(const std::array<uint8_t, 32>& seed) {
    auto s = Signer::create(keypair_of(seed), "mainnet");
    EXPECT_TRUE(s);
    return std::move(*s);
}

// Storage for one T, owned by the test for its whole lifetime.
template <class T>
struct Storage {
    alignas(T) unsigned char bytes[sizeof(T)];

    Storage() {
        // A known background, so that nothing in it looks like a seed.
        for (unsigned char& b : bytes) b = 0xEE;
    }
    T* get() { return std::launder(reinterpret_cast<T*>(bytes)); }

    std::vector<uint8_t> snapshot() const {
        const volatile unsigned char* p = bytes;
        std::vector<uint8_t> out(sizeof(T));
        for (size_t i = 0; i < sizeof(T); ++i) out[i] = p[i];
        return out;
    }

    // Whether any kRun consecutive bytes of the seed appear in the storage.
    bool holds_part_of(const std::array<uint8_t, 32>& seed) const {
        std::vector<uint8_t> mem = snapshot();
        for (size_t start = 0; start + kRun <= seed.size(); ++start) {
            for (size_t at = 0; at + kRun <= mem.size(); ++at) {
                bool same = true;
                for (size_t k = 0; k < kRun && same; ++k) same = mem[at + k] == seed[start + k];
                if (same) return true;
            }
        }
        return false;
    }
};

}  // namespace

TEST(SecretHygiene, KeypairDestructorWipesBothSeedCopies) {
    const auto seed = seed_of(3);
    const Keypair source = keypair_of(seed);
    Storage<Keypair> box;
    new (box.bytes) Keypair(source);
    // The check can fail: a live keypair holds the seed.
    ASSERT_TRUE(box.holds_part_of(seed));
    ASSERT_EQ(box.get()->seed(), seed);
    box.get()->~Keypair();
    EXPECT_FALSE(box.holds_part_of(seed));
}

TEST(SecretHygiene, CopyAssignmentLeavesNoTraceOfTheOverwrittenSeed) {
    const auto old_seed = seed_of(40);
    const auto new_seed = seed_of(90);
    const Keypair replacement = keypair_of(new_seed);
    Storage<Keypair> box;
    new (box.bytes) Keypair(keypair_of(old_seed));
    ASSERT_TRUE(box.holds_part_of(old_seed));
    *box.get() = replacement;
    EXPECT_FALSE(box.holds_part_of(old_seed));
    EXPECT_TRUE(box.holds_part_of(new_seed));
    EXPECT_EQ(box.get()->pubkey(), replacement.pubkey());
    box.get()->~Keypair();
    EXPECT_FALSE(box.holds_part_of(new_seed));
}

TEST(SecretHygiene, SignerDestructorWipesItsKeypair) {
    const auto seed = seed_of(11);
    Storage<Signer> box;
    new (box.bytes) Signer(signer_of(seed));
    ASSERT_TRUE(box.holds_part_of(seed));
    // A signature made by the boxed signer, so the key in it is the live one.
    const uint8_t msg[3] = {1, 2, 3};
    EXPECT_EQ(box.get()->sign_bytes(msg, sizeof msg), signature_to_base58(keypair_of(seed).sign(msg, sizeof msg)));
    box.get()->~Signer();
    EXPECT_FALSE(box.holds_part_of(seed));
}

TEST(SecretHygiene, MovedFromAndMovedToSignersAreBothWiped) {
    const auto seed = seed_of(60);
    Storage<Signer> from;
    Storage<Signer> to;
    new (from.bytes) Signer(signer_of(seed));
    new (to.bytes) Signer(std::move(*from.get()));
    ASSERT_TRUE(to.holds_part_of(seed));
    from.get()->~Signer();
    EXPECT_FALSE(from.holds_part_of(seed));
    EXPECT_TRUE(to.holds_part_of(seed));
    to.get()->~Signer();
    EXPECT_FALSE(to.holds_part_of(seed));
}

TEST(SecretHygiene, MoveAssignmentOverASignerLeavesNoTraceOfItsSeed) {
    const auto old_seed = seed_of(120);
    const auto new_seed = seed_of(170);
    Storage<Signer> box;
    new (box.bytes) Signer(signer_of(old_seed));
    ASSERT_TRUE(box.holds_part_of(old_seed));
    {
        Signer replacement = signer_of(new_seed);
        *box.get() = std::move(replacement);
    }
    EXPECT_FALSE(box.holds_part_of(old_seed));
    EXPECT_TRUE(box.holds_part_of(new_seed));
    box.get()->~Signer();
    EXPECT_FALSE(box.holds_part_of(new_seed));
}
