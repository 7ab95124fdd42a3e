// Wallet signing modes: the exact bytes a wallet signs for a prepared
// message, as the raw signing bytes, as their base58 text, or as a Solana
// off-chain message whose body is the clear-sign text; and the check that a
// wallet message handed back is still exactly what its mode produces.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "types/error.hpp"
#include "prepare/prepare.hpp"
#include "types/types.hpp"

namespace vorn {

enum class SignatureMode : uint8_t { Raw = 0, Base58 = 1, Offchain = 2 };

// "raw", "base58", "offchain".
const char* signature_mode_name(SignatureMode mode);
// Exact names only; otherwise SigningFailed
// "signature mode must be raw, base58 or offchain".
Result<SignatureMode> signature_mode_from_str(std::string_view name);

struct WalletMessage {
    PreparedMessage prepared;         // moved in unchanged
    std::vector<uint8_t> message;     // exactly the bytes the wallet signs
    std::optional<std::string> text;  // the clear-sign text; offchain mode only
    SignatureMode mode = SignatureMode::Raw;
};

// Off-chain envelope: signing domain (0xFF "solana offchain"), version 0,
// application domain (network byte, 31 zeros), format, one signer, the
// signer's key, u16 length, text.
inline constexpr size_t kOffchainHeaderLen = 85;
inline constexpr size_t kMaxOffchainText = 65535;

// Checks the signing suffix against the record's own fields
// (check_signing_suffix), then that its signer decodes, and returns the
// network domain byte (1, 2 or 3).
Result<uint8_t> prepared_domain(const PreparedMessage& prepared);

// The clear-sign text of a preparation, as the wallet shows it.
Result<std::string> clear_sign_message(const PreparedMessage& prepared);

// The envelope around text; format 0 only for all-printable ASCII, else 1.
// A text over 65535 bytes fails with "offchain message exceeds 65535 bytes".
Result<std::vector<uint8_t>> offchain_envelope(uint8_t domain, const Pubkey& signer, std::string_view text);

// The wallet bytes for the preparation in the given mode. On failure the
// preparation is dropped.
Result<WalletMessage> prepare_wallet_message(PreparedMessage prepared, SignatureMode mode);

// Rebuilds the wallet message from its preparation and mode and returns the
// rebuilt one when the given bytes and text are exactly reproduced; else
// "wallet message differs from selected encoding of the raw preparation".
Result<WalletMessage> validate_wallet_message(WalletMessage wallet);

}  // namespace vorn
