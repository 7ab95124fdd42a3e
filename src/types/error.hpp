// The one error type of the core: every operation returns its value or an Error.
#pragma once
#include <cstddef>
#include <cstdint>
#include <expected>
#include <string>
#include <vector>

namespace vorn {

// One step of the way to the order item an error is about: the item's index
// in its list (field == nullptr), or the field of the enclosing item that
// holds it ("trigger", "actions").
struct ErrorStep {
    const char* field;
    size_t index;
};

enum class ErrorKind : uint8_t {
    InvalidSolanaInstruction = 0,
    LegacyWithdrawal,
    InvalidBase58,
    InvalidKeyLength,
    KeypairMismatch,
    InvalidHashLength,
    InvalidSignatureLength,
    InvalidSignatureDomain,
    InvalidNonce,
    SigningFailed,
    EmptyOrders,
    SignatureCountMismatch,
    InvalidOrder,
    Serialization,
    Json,
    // Order items nested deeper than kMaxOrderNesting (sdk_compat.hpp). The
    // binding raises it as RecursionError, as for any too-deep input.
    OrderNesting,
    // A fault of the machine rather than of the input (the clock reads before
    // 1970 or past the u64 nanosecond range). The binding raises it as its
    // internal-fault exception, not as ValueError.
    Internal,
};

struct Error {
    ErrorKind kind;
    std::string text;      // payload text (static texts are copied too)
    size_t expected = 0;   // InvalidKeyLength, SignatureCountMismatch
    size_t got = 0;        // InvalidKeyLength, InvalidHashLength, InvalidSignatureLength, SignatureCountMismatch
    // Where in an action's order items a refusal was found, innermost step
    // first: each level appends its step while the refusal unwinds, so a
    // successful conversion never touches it. Empty when the error is not
    // about one item. Not part of the message.
    std::vector<ErrorStep> where{};

    std::string display() const;

    static Error invalid_solana_instruction(std::string t) { return {ErrorKind::InvalidSolanaInstruction, std::move(t)}; }
    static Error legacy_withdrawal() { return {ErrorKind::LegacyWithdrawal, {}}; }
    static Error invalid_base58(std::string t) { return {ErrorKind::InvalidBase58, std::move(t)}; }
    static Error invalid_key_length(size_t e, size_t g) { return {ErrorKind::InvalidKeyLength, {}, e, g}; }
    static Error keypair_mismatch() { return {ErrorKind::KeypairMismatch, {}}; }
    static Error invalid_hash_length(size_t g) { return {ErrorKind::InvalidHashLength, {}, 0, g}; }
    static Error invalid_signature_length(size_t g) { return {ErrorKind::InvalidSignatureLength, {}, 0, g}; }
    static Error invalid_signature_domain(std::string t) { return {ErrorKind::InvalidSignatureDomain, std::move(t)}; }
    static Error invalid_nonce(std::string t) { return {ErrorKind::InvalidNonce, std::move(t)}; }
    static Error signing_failed(std::string t) { return {ErrorKind::SigningFailed, std::move(t)}; }
    static Error empty_orders() { return {ErrorKind::EmptyOrders, {}}; }
    static Error signature_count_mismatch(size_t e, size_t g) { return {ErrorKind::SignatureCountMismatch, {}, e, g}; }
    static Error invalid_order(std::string t) { return {ErrorKind::InvalidOrder, std::move(t)}; }
    static Error serialization(std::string t) { return {ErrorKind::Serialization, std::move(t)}; }
    static Error json(std::string t) { return {ErrorKind::Json, std::move(t)}; }
    static Error order_nesting() { return {ErrorKind::OrderNesting, {}}; }
    static Error internal(std::string t) { return {ErrorKind::Internal, std::move(t)}; }
};

template <class T>
using Result = std::expected<T, Error>;
using Status = std::expected<void, Error>;

inline std::unexpected<Error> fail(Error e) { return std::unexpected<Error>(std::move(e)); }

}  // namespace vorn
