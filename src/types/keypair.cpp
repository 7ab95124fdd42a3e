#include "types/keypair.hpp"

#include <sodium.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "types/base58.hpp"

namespace vorn {

void ensure_sodium() {
    static const bool ready = [] {
        if (sodium_init() < 0) std::abort();
        return true;
    }();
    (void)ready;
}

Hash sha256(const uint8_t* data, size_t len) {
    ensure_sodium();
    Hash h;
    crypto_hash_sha256(h.bytes.data(), data, len);
    return h;
}

Keypair::Keypair(const Keypair& o) : seed_(o.seed_), pubkey_(o.pubkey_), sodium_sk_(o.sodium_sk_) {}

Keypair& Keypair::operator=(const Keypair& o) {
    seed_ = o.seed_;
    pubkey_ = o.pubkey_;
    sodium_sk_ = o.sodium_sk_;
    return *this;
}

Keypair::~Keypair() {
    sodium_memzero(seed_.data(), seed_.size());
    sodium_memzero(sodium_sk_.data(), sodium_sk_.size());
}

Result<Keypair> Keypair::from_bytes(const uint8_t* data, size_t len) {
    ensure_sodium();
    if (len != 32 && len != 64) return fail(Error::invalid_key_length(64, len));
    Keypair kp;
    std::copy(data, data + 32, kp.seed_.begin());
    crypto_sign_seed_keypair(kp.pubkey_.bytes.data(), kp.sodium_sk_.data(), kp.seed_.data());
    // A derived key always decompresses, so equality with it also proves the
    // claimed key is a curve point.
    if (len == 64 && sodium_memcmp(kp.pubkey_.bytes.data(), data + 32, 32) != 0) return fail(Error::keypair_mismatch());
    return kp;
}

Result<Keypair> Keypair::from_base58(std::string_view text) {
    uint8_t buf[128];
    auto n = base58_decode_into(text, buf, sizeof buf);
    if (!n) return fail(n.error());
    if (*n > sizeof buf) return fail(Error::invalid_key_length(64, *n));
    auto kp = from_bytes(buf, *n);
    sodium_memzero(buf, sizeof buf);
    return kp;
}

Result<Keypair> Keypair::generate() {
    uint8_t seed[32];
    if (getentropy(seed, sizeof seed) != 0) return fail(Error::signing_failed("entropy source unavailable"));
    auto kp = from_bytes(seed, sizeof seed);
    sodium_memzero(seed, sizeof seed);
    return kp;
}

std::array<uint8_t, 64> Keypair::to_bytes() const {
    std::array<uint8_t, 64> out;
    std::copy(seed_.begin(), seed_.end(), out.begin());
    std::copy(pubkey_.bytes.begin(), pubkey_.bytes.end(), out.begin() + 32);
    return out;
}

std::string Keypair::to_base58() const {
    auto b = to_bytes();
    std::string s = base58_encode(b.data(), b.size());
    sodium_memzero(b.data(), b.size());
    return s;
}

Signature Keypair::sign(const uint8_t* msg, size_t len) const {
    Signature sig;
    crypto_sign_detached(sig.data(), nullptr, msg, len, sodium_sk_.data());
    return sig;
}

bool verify_signature(const Pubkey& key, const uint8_t* msg, size_t len, const Signature& sig) {
    ensure_sodium();
    return crypto_sign_verify_detached(sig.data(), msg, len, key.bytes.data()) == 0;
}

std::string random_hash() {
    ensure_sodium();
    uint8_t b[32];
    randombytes_buf(b, sizeof b);
    return base58_encode(b, sizeof b);
}

bool validate_pubkey(std::string_view text) { return Pubkey::from_base58(text).has_value(); }
bool validate_hash(std::string_view text) { return Hash::from_base58(text).has_value(); }

std::string signature_to_base58(const Signature& sig) { return base58_encode(sig.data(), sig.size()); }

}  // namespace vorn
