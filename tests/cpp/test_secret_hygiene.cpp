// Seed copies in a Keypair (its seed and libsodium's secret key) and in a
// Signer are wiped when the object is destroyed or overwritten, and a group
// signature leaves neither the seed nor its expanded key on the stack.
//
// Objects live in buffers the test owns (placement new, explicit destructor),
// so reading them after the destructor reads allocated memory; the reads go
// through a volatile pointer so the wipe cannot be reasoned away.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sodium.h>

#include <cstring>
#include <new>

#include "ed25519/group.hpp"

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

namespace {

// Whether any 8 consecutive bytes of one of the secrets are in memory.
// (Without the wipe after the multi-buffer call, the limbs of the scalar and
// of the nonce are found there dozens of times.)
bool holds_any(std::span<const uint8_t> memory, const std::vector<std::vector<uint8_t>>& secrets) {
    for (const auto& secret : secrets)
        for (size_t start = 0; start + 8 <= secret.size(); ++start)
            if (std::search(memory.begin(), memory.end(), secret.begin() + start, secret.begin() + start + 8) !=
                memory.end())
                return true;
    return false;
}

// Runs work on a thread whose stack the test owns, and returns that stack.
std::vector<uint8_t> stack_after(void (*work)()) {
    std::vector<uint8_t> stack(512 * 1024, 0xEE);
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstack(&attr, stack.data(), stack.size());
    pthread_t thread;
    EXPECT_EQ(pthread_create(&thread, &attr, [](void* w) -> void* {
        reinterpret_cast<void (*)()>(w)();
        return nullptr;
    }, reinterpret_cast<void*>(work)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    const volatile uint8_t* p = stack.data();
    return std::vector<uint8_t>(p, p + stack.size());
}

constexpr uint8_t kMessage[91] = {7};

// The 52-bit limbs of a scalar as 64-bit words: the form the multi-buffer
// arithmetic keeps on its stack.
void add_limbs(std::vector<std::vector<uint8_t>>& out, const uint8_t* scalar) {
    for (int j = 0; j < 5; ++j) {
        uint64_t limb = 0;
        for (int bit = 0; bit < 52 && 52 * j + bit < 256; ++bit) {
            const int pos = 52 * j + bit;
            limb |= uint64_t{(scalar[pos / 8] >> (pos % 8)) & 1u} << bit;
        }
        std::vector<uint8_t> word(8);
        std::memcpy(word.data(), &limb, 8);
        out.push_back(word);
    }
}

// The seed of seed_keypair(21), its SHA-512 expansion, and the limbs of the
// secret scalar and of the nonce for kMessage.
std::vector<std::vector<uint8_t>> secrets_of_21() {
    const auto seed = seed_keypair(21).seed();
    std::vector<uint8_t> expanded(64);
    crypto_hash_sha512(expanded.data(), seed.data(), seed.size());
    std::vector<std::vector<uint8_t>> out{std::vector<uint8_t>(seed.begin(), seed.end()), expanded};
    uint8_t scalar[32];
    std::memcpy(scalar, expanded.data(), 32);
    scalar[0] &= 248, scalar[31] &= 127, scalar[31] |= 64;
    add_limbs(out, scalar);
    crypto_hash_sha512_state state;
    uint8_t nonce_hash[64], nonce[32];
    crypto_hash_sha512_init(&state);
    crypto_hash_sha512_update(&state, expanded.data() + 32, 32);
    crypto_hash_sha512_update(&state, kMessage, sizeof kMessage);
    crypto_hash_sha512_final(&state, nonce_hash);
    crypto_core_ed25519_scalar_reduce(nonce, nonce_hash);
    add_limbs(out, nonce);
    return out;
}

const Keypair* group_key = nullptr;  // made off the owned stack

void sign_a_group() {
    std::array<ed25519::Message, 8> in;
    in.fill({kMessage, sizeof kMessage});
    std::array<Signature, 8> out;
    ed25519::sign_group_with(ed25519::batch_engine(), *group_key, in, out);
}

}  // namespace

TEST(SecretHygiene, GroupSignaturesLeaveNoKeyOnTheStack) {
    // The check can fail: a copy of the expansion on the stack is found.
    auto leak = stack_after([] {
        volatile uint8_t copy[64];
        const auto secrets = secrets_of_21();
        for (size_t i = 0; i < 64; ++i) copy[i] = secrets[1][i];
        (void)copy[0];
    });
    ASSERT_TRUE(holds_any(leak, secrets_of_21()));
    if (ed25519::batch_engine() != ed25519::Engine::MultiBuffer) GTEST_SKIP() << "no multi-buffer engine here";
    const Keypair key = seed_keypair(21);
    group_key = &key;
    EXPECT_FALSE(holds_any(stack_after(sign_a_group), secrets_of_21()));
}
