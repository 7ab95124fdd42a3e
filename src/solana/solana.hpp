// USDC deposit and withdrawal-intent instructions for the exchange program,
// and the unsigned legacy Solana transaction that carries one of them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "types/error.hpp"
#include "types/types.hpp"

namespace vorn {

// One account reference of an instruction; the key is base58 text.
struct AccountMeta {
    std::string pubkey;
    bool is_signer = false;
    bool is_writable = false;
    bool operator==(const AccountMeta&) const = default;
};

struct SolanaInstruction {
    std::string program_id;             // base58
    std::vector<AccountMeta> accounts;  // in instruction order
    std::vector<uint8_t> data;
    bool operator==(const SolanaInstruction&) const = default;
};

namespace solana {

inline constexpr uint8_t kDepositTag = 2;
inline constexpr uint8_t kWithdrawIntentTag = 4;
// Solana addresses and hashes never need more than 44 base58 characters.
inline constexpr size_t kMaxAddressChars = 44;

// Public Solana identifiers.
const Pubkey& token_program_id();
const Pubkey& usdc_mint();
const Pubkey& associated_token_program_id();
// The exchange's deployment addresses, compiled in at build time.
const Pubkey& exchange_program_id();
const Pubkey& exchange_account_a();
const Pubkey& exchange_account_b();

// Base58 text of at most 44 characters that decodes to exactly 32 bytes.
std::optional<Pubkey> parse_address(std::string_view text);

// The program-derived address for the seeds: bumps 255 down to 1, the first
// SHA-256(seeds || bump || program || "ProgramDerivedAddress") off the curve.
// Each seed here is a 32-byte key. The bump found is stored in *bump if given.
Result<Pubkey> find_program_address(std::span<const Pubkey> seeds, const Pubkey& program,
                                    uint8_t* bump = nullptr);

// The owner's USDC associated token account.
Result<Pubkey> associated_token_address(const Pubkey& owner);

// A deposit (deposit = true) or withdrawal-intent instruction for amount
// base units of USDC owned by the base58 wallet owner.
Result<SolanaInstruction> instruction(std::string_view owner, uint64_t amount, bool deposit);

// Solana short-vector length: 7-bit groups, least significant first, high
// bit set on all but the last byte; values above 65535 are refused.
Status append_compact_length(std::vector<uint8_t>& out, size_t value);

// The unsigned legacy transaction bytes: one zero signature per required
// signer, then the message with the first account as fee payer.
Result<std::vector<uint8_t>> transaction_bytes(const SolanaInstruction& ix, std::string_view recent_blockhash);

// The same transaction as standard base64 with padding.
Result<std::string> export_transaction(SolanaInstruction ix, std::string_view recent_blockhash);

}  // namespace solana
}  // namespace vorn
