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

// True when s holds a byte below 0x20 or the byte 0x7F, or the UTF-8 form of
// a C1 control (U+0080..U+009F), the line or paragraph separator (U+2028,
// U+2029) or a bidirectional control (U+200E, U+200F, U+202A..U+202E,
// U+2066..U+2069). Text is printed unescaped, so any of them could forge
// lines or reorder what the user approves.
bool has_forbidden_char(std::string_view s);

// ---- field readers ----
// The object readers take the action body and a key; the number readers take
// the field's value, nullptr when the key is missing.

// A JSON string free of forbidden characters.
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
// A field the wire carries as a fixed-point integer n: the rendering of safe
// when it shows exactly n / 10^8, else the field error "exact number" (values
// the wire clamps, and those above about 9e7 that no double shows).
Result<std::string> exact(const Json* value);
// Null or missing gives "-"; otherwise as exact.
Result<std::string> exact_or_dash(const Json* value);

// ---- number helpers ----

// The float whose 8-decimal rendering shows the same 1e-8 count that the
// exchange stores for v. Non-positive and out-of-range values come back as is.
double quantise(double v);
// Fixed point with exactly 8 digits after the point; locale independent.
std::string format_fixed8(double v);
// The wire's fixed-point integer as its decimal: n / 10^8 with exactly 8
// digits after the point.
std::string fixed_point_decimal(uint64_t n);
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
