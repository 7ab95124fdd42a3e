#include "types/error.hpp"

namespace vorn {

std::string Error::display() const {
    switch (kind) {
    case ErrorKind::InvalidSolanaInstruction: return "invalid Solana instruction: " + text;
    case ErrorKind::LegacyWithdrawal:
        return "legacy Vorn withdrawal actions are unsupported; use solana::request_withdraw to build a Solana "
               "withdrawal intent";
    case ErrorKind::InvalidBase58: return "invalid base58: " + text;
    case ErrorKind::InvalidKeyLength:
        return "invalid key length: expected " + std::to_string(expected) + ", got " + std::to_string(got);
    case ErrorKind::KeypairMismatch: return "keypair public key does not match its secret key";
    case ErrorKind::InvalidHashLength: return "invalid hash length: expected 32 bytes, got " + std::to_string(got);
    case ErrorKind::InvalidSignatureLength:
        return "invalid signature length: expected 64 bytes, got " + std::to_string(got);
    case ErrorKind::InvalidSignatureDomain:
        return "invalid signature domain '" + text + "'; expected mainnet, testnet, or devnet";
    case ErrorKind::InvalidNonce: return "invalid nonce '" + text + "'; expected an unsigned 64-bit decimal string";
    case ErrorKind::SigningFailed: return "signing failed: " + text;
    case ErrorKind::EmptyOrders: return "orders array cannot be empty";
    case ErrorKind::SignatureCountMismatch:
        return "signature count mismatch: expected " + std::to_string(expected) + ", got " + std::to_string(got);
    case ErrorKind::InvalidOrder: return "invalid order: " + text;
    case ErrorKind::Serialization: return "serialization error: " + text;
    case ErrorKind::Json: return "json error: " + text;
    case ErrorKind::OrderNesting: return "order items nest deeper than 256 levels";
    case ErrorKind::Internal: return text;
    }
    return {};
}

}  // namespace vorn
