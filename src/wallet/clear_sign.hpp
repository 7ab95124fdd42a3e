// The human-readable "clear-sign" text a wallet shows before it signs a
// prepared message in off-chain mode: a fixed header, then one line per
// action written from the action's JSON. Every number is printed the way the
// exchange will read it, and every action kind that has no line is refused.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "types/error.hpp"

namespace vorn::clear_sign {

using Json = nlohmann::json;

// Deepest nesting of trigger baskets that still renders.
inline constexpr uint32_t kMaxDepth = 32;

// SigningFailed "invalid offchain clear-sign field: {name}".
Error field_error(std::string_view name);

// True when s holds a byte below 0x20 or the byte 0x7F. Text is printed
// unescaped, so such a byte could forge lines in what the user approves.
bool has_control_byte(std::string_view s);

// ---- field readers ----
// The object readers take the action body and a key; the number readers take
// the field's value, nullptr when the key is missing.

// A JSON string free of control bytes.
Result<std::string_view> text(const Json& body, std::string_view key);
// A JSON boolean.
Result<bool> boolean(const Json& body, std::string_view key);
// A non-negative JSON integer.
Result<uint64_t> integer(const Json& body, std::string_view key);
// A finite JSON number of any kind, or a string holding a decimal float.
Result<double> number(const Json* value);
// As number, then quantised to the exchange's 1e-8 units.
Result<double> safe(const Json* value);
// Null or missing gives nullopt; otherwise as safe (quantise) or as number.
Result<std::optional<double>> optional(const Json* value, bool quantise);

// ---- number helpers ----

// The float whose 8-decimal rendering shows the same 1e-8 count that the
// exchange stores for v. Non-positive and out-of-range values come back as is.
double quantise(double v);
// Fixed point with exactly 8 digits after the point; locale independent.
std::string format_fixed8(double v);
// Rust-style decimal float syntax: optional sign, digits with an optional
// point, optional exponent. Non-finite spellings and blanks are refused.
std::optional<double> parse_decimal(std::string_view s);

// ---- lines and the whole text ----

// One action JSON value (an object with one tag key) as its line, without the
// "[i] " prefix or the line feed. depth is 0 for a top-level action.
Result<std::string> action_line(const Json& action, uint32_t depth);

// The full text for the signing bytes, their action JSON values, the account
// text as stored and the nonce. The network name comes from the last byte.
Result<std::string> render_text(const uint8_t* message, size_t message_len, const std::vector<Json>& actions,
                                std::string_view account, uint64_t nonce);

}  // namespace vorn::clear_sign
