// Fixed Solana addresses, decoded and checked at compile time, and the
// program-derived address search behind associated token accounts.
#include <sodium.h>

#include <array>
#include <cstring>

#include "types/base58.hpp"
#include "solana/curve25519.hpp"
#include "solana/solana.hpp"

#if !defined(VORN_PROGRAM_ID) || !defined(VORN_EXCHANGE_ACCOUNT_A) || !defined(VORN_EXCHANGE_ACCOUNT_B)
#error "the exchange addresses VORN_PROGRAM_ID, VORN_EXCHANGE_ACCOUNT_A and VORN_EXCHANGE_ACCOUNT_B must be defined"
#endif

namespace vorn::solana {

namespace {

struct DecodedAddress {
    bool ok = false;
    std::array<uint8_t, 32> bytes{};
};

constexpr int base58_digit(char c) {
    constexpr std::string_view kAlphabet = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
    for (size_t i = 0; i < kAlphabet.size(); ++i)
        if (kAlphabet[i] == c) return static_cast<int>(i);
    return -1;
}

// Compile-time base58 decoding of an address literal: ok only for at most 44
// characters that decode to exactly 32 bytes.
consteval DecodedAddress decode_address(std::string_view text) {
    DecodedAddress out;
    if (text.size() > kMaxAddressChars) return out;
    size_t zeros = 0;
    while (zeros < text.size() && text[zeros] == '1') ++zeros;
    uint8_t acc[33] = {};  // little-endian; one spare byte detects overflow
    for (size_t i = zeros; i < text.size(); ++i) {
        int d = base58_digit(text[i]);
        if (d < 0) return out;
        uint32_t carry = static_cast<uint32_t>(d);
        for (size_t j = 0; j < sizeof acc; ++j) {
            carry += static_cast<uint32_t>(acc[j]) * 58;
            acc[j] = static_cast<uint8_t>(carry & 0xff);
            carry >>= 8;
        }
        if (carry != 0 || acc[32] != 0) return out;
    }
    size_t used = 32;
    while (used > 0 && acc[used - 1] == 0) --used;
    if (zeros + used != 32) return out;
    for (size_t j = 0; j < used; ++j) out.bytes[31 - j] = acc[j];
    out.ok = true;
    return out;
}

constexpr DecodedAddress kTokenProgram = decode_address("TokenkegQfeZyiNwAJbNbGKPFXCWuBvf9Ss623VQ5DA");
constexpr DecodedAddress kUsdcMint = decode_address("EPjFWdd5AufqSSqeM2qN1xzybapC8G4wEGGkZwyTDt1v");
constexpr DecodedAddress kAtaProgram = decode_address("ATokenGPvbdGVxr1b2hvZbsiqW5xWH25efTNsLJA8knL");
constexpr DecodedAddress kExchangeProgram = decode_address(VORN_PROGRAM_ID);
constexpr DecodedAddress kExchangeAccountA = decode_address(VORN_EXCHANGE_ACCOUNT_A);
constexpr DecodedAddress kExchangeAccountB = decode_address(VORN_EXCHANGE_ACCOUNT_B);

static_assert(kTokenProgram.ok && kUsdcMint.ok && kAtaProgram.ok);
// A deployment that sets these at build time gets a compile error, not a
// run-time failure, when a value is not a 32-byte base58 key.
static_assert(kExchangeProgram.ok, "VORN_PROGRAM_ID must be base58 text of a 32-byte key");
static_assert(kExchangeAccountA.ok, "VORN_EXCHANGE_ACCOUNT_A must be base58 text of a 32-byte key");
static_assert(kExchangeAccountB.ok, "VORN_EXCHANGE_ACCOUNT_B must be base58 text of a 32-byte key");

constexpr Pubkey kTokenProgramKey{kTokenProgram.bytes};
constexpr Pubkey kUsdcMintKey{kUsdcMint.bytes};
constexpr Pubkey kAtaProgramKey{kAtaProgram.bytes};
constexpr Pubkey kExchangeProgramKey{kExchangeProgram.bytes};
constexpr Pubkey kExchangeAccountAKey{kExchangeAccountA.bytes};
constexpr Pubkey kExchangeAccountBKey{kExchangeAccountB.bytes};

constexpr char kPdaMarker[] = "ProgramDerivedAddress";

}  // namespace

const Pubkey& token_program_id() { return kTokenProgramKey; }
const Pubkey& usdc_mint() { return kUsdcMintKey; }
const Pubkey& associated_token_program_id() { return kAtaProgramKey; }
const Pubkey& exchange_program_id() { return kExchangeProgramKey; }
const Pubkey& exchange_account_a() { return kExchangeAccountAKey; }
const Pubkey& exchange_account_b() { return kExchangeAccountBKey; }

std::optional<Pubkey> parse_address(std::string_view text) {
    // The length bound comes first, so overlong text is never decoded.
    if (text.size() > kMaxAddressChars) return std::nullopt;
    Pubkey key;
    auto n = base58_decode_32(text, key.bytes.data());
    if (!n || *n != 32) return std::nullopt;
    return key;
}

Result<Pubkey> find_program_address(std::span<const Pubkey> seeds, const Pubkey& program, uint8_t* bump) {
    for (unsigned b = 255; b >= 1; --b) {
        const uint8_t bump_byte = static_cast<uint8_t>(b);
        crypto_hash_sha256_state st;
        crypto_hash_sha256_init(&st);
        for (const Pubkey& seed : seeds) crypto_hash_sha256_update(&st, seed.bytes.data(), seed.bytes.size());
        crypto_hash_sha256_update(&st, &bump_byte, 1);
        crypto_hash_sha256_update(&st, program.bytes.data(), program.bytes.size());
        crypto_hash_sha256_update(&st, reinterpret_cast<const uint8_t*>(kPdaMarker), sizeof kPdaMarker - 1);
        Pubkey candidate;
        crypto_hash_sha256_final(&st, candidate.bytes.data());
        // An address on the curve could have a private key; a PDA must not.
        if (!is_on_curve(candidate.bytes)) {
            if (bump) *bump = bump_byte;
            return candidate;
        }
    }
    return fail(Error::invalid_solana_instruction("Unable to find a viable program address bump seed"));
}

Result<Pubkey> associated_token_address(const Pubkey& owner) {
    const Pubkey seeds[3] = {owner, kTokenProgramKey, kUsdcMintKey};
    return find_program_address(seeds, kAtaProgramKey);
}

}  // namespace vorn::solana
