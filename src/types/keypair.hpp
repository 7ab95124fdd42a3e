// The Ed25519 signing key: 32-byte seed and its public key, wiped on destruction.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "types/error.hpp"
#include "types/types.hpp"

namespace vorn {

using Signature = std::array<uint8_t, 64>;

class Keypair {
public:
    // 32 bytes: a seed. 64 bytes: seed then the public key it must derive.
    static Result<Keypair> from_bytes(const uint8_t* data, size_t len);
    static Result<Keypair> from_base58(std::string_view text);
    // A fresh seed from the OS entropy source; fails if that source fails.
    static Result<Keypair> generate();

    Keypair(const Keypair& o);
    Keypair& operator=(const Keypair& o);
    ~Keypair();

    const Pubkey& pubkey() const { return pubkey_; }
    const std::array<uint8_t, 32>& seed() const { return seed_; }
    std::array<uint8_t, 64> to_bytes() const;  // seed then public key
    std::string to_base58() const;

    // Pure Ed25519 over exactly these bytes; cannot fail.
    Signature sign(const uint8_t* msg, size_t len) const;

private:
    Keypair() = default;
    std::array<uint8_t, 32> seed_{};
    Pubkey pubkey_;
    std::array<uint8_t, 64> sodium_sk_{};  // libsodium's form: seed || public key
};

// Strict Ed25519 verification (canonical S, no small-order key or R).
bool verify_signature(const Pubkey& key, const uint8_t* msg, size_t len, const Signature& sig);

// 32 bytes from a cryptographically secure generator, as base58.
std::string random_hash();
bool validate_pubkey(std::string_view text);
bool validate_hash(std::string_view text);

std::string signature_to_base58(const Signature& sig);

// The one-time libsodium initialisation; thread-safe, and cheap after the
// first call. Aborts when the library cannot work at all.
void ensure_sodium();

// SHA-256 of exactly these bytes.
Hash sha256(const uint8_t* data, size_t len);

}  // namespace vorn
