// Field readers and number formatting of the clear-sign text.
#include <charconv>
#include <utility>
#include <cmath>
#include <limits>
#include <system_error>

#include "sdk_compat/wire.hpp"
#include "wallet/clear_sign.hpp"

namespace vorn::clear_sign {

namespace {

constexpr double kTwoTo64 = 18446744073709551616.0;
constexpr double kScale = 1e8;

// Round to nearest, ties away from zero, saturating into u64 (NaN and
// negatives give 0), as a float-to-integer cast with rounding does.
uint64_t round_to_u64(double s) {
    if (!(s >= 0.0)) return 0;
    double r = std::round(s);
    if (r >= kTwoTo64) return std::numeric_limits<uint64_t>::max();
    return static_cast<uint64_t>(r);
}

const Json* find_key(const Json& body, std::string_view key) {
    if (!body.is_object()) return nullptr;
    auto it = body.find(key);
    return it == body.end() ? nullptr : &*it;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool has_forbidden_char(std::string_view s) {
    const auto byte = [&s](size_t i) { return i < s.size() ? static_cast<uint8_t>(s[i]) : uint8_t{0}; };
    for (size_t i = 0; i < s.size(); ++i) {
        const uint8_t c = byte(i);
        if (c < 0x20 || c == 0x7F) return true;
        // U+0080..U+009F are C2 80..C2 9F.
        if (c == 0xC2 && byte(i + 1) >= 0x80 && byte(i + 1) <= 0x9F) return true;
        if (c != 0xE2) continue;
        const uint8_t c1 = byte(i + 1), c2 = byte(i + 2);
        // U+200E, U+200F, U+2028..U+202E are E2 80 8E, 8F and A8..AE.
        if (c1 == 0x80 && (c2 == 0x8E || c2 == 0x8F || (c2 >= 0xA8 && c2 <= 0xAE))) return true;
        // U+2066..U+2069 are E2 81 A6..A9.
        if (c1 == 0x81 && c2 >= 0xA6 && c2 <= 0xA9) return true;
    }
    return false;
}

Error field_error(std::string_view name) {
    return Error::signing_failed("invalid offchain clear-sign field: " + std::string(name));
}

Result<std::string_view> text(const Json& body, std::string_view key) {
    const Json* v = find_key(body, key);
    if (v == nullptr || !v->is_string()) return fail(field_error(key));
    const std::string& s = v->get_ref<const std::string&>();
    if (has_forbidden_char(s)) return fail(field_error(key));
    return std::string_view(s);
}

Result<bool> boolean(const Json& body, std::string_view key) {
    const Json* v = find_key(body, key);
    if (v == nullptr || !v->is_boolean()) return fail(field_error(key));
    return v->get<bool>();
}

Result<uint64_t> integer(const Json& body, std::string_view key) {
    const Json* v = find_key(body, key);
    if (v == nullptr) return fail(field_error(key));
    if (v->is_number_unsigned()) return v->get<uint64_t>();
    if (v->is_number_integer()) {
        int64_t i = v->get<int64_t>();
        if (i >= 0) return static_cast<uint64_t>(i);
    }
    return fail(field_error(key));
}

std::optional<double> parse_decimal(std::string_view s) {
    size_t pos = 0;
    bool negative = false;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
        negative = s[pos] == '-';
        ++pos;
    }
    const size_t body_start = pos;
    // Mantissa: digits, optional point, digits; at least one digit overall.
    size_t int_digits = 0, frac_digits = 0;
    size_t first_nonzero = std::string_view::npos;  // index among all mantissa digits
    size_t digit_index = 0;
    while (pos < s.size() && is_digit(s[pos])) {
        if (s[pos] != '0' && first_nonzero == std::string_view::npos) first_nonzero = digit_index;
        ++int_digits, ++digit_index, ++pos;
    }
    if (pos < s.size() && s[pos] == '.') {
        ++pos;
        while (pos < s.size() && is_digit(s[pos])) {
            if (s[pos] != '0' && first_nonzero == std::string_view::npos) first_nonzero = digit_index;
            ++frac_digits, ++digit_index, ++pos;
        }
    }
    if (int_digits + frac_digits == 0) return std::nullopt;
    // Exponent: e or E, optional sign, at least one digit. Saturated for the
    // out-of-range decision below only.
    int64_t exponent = 0;
    if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
        ++pos;
        bool exp_negative = false;
        if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
            exp_negative = s[pos] == '-';
            ++pos;
        }
        size_t exp_digits = 0;
        while (pos < s.size() && is_digit(s[pos])) {
            if (exponent < 1000000000) exponent = exponent * 10 + (s[pos] - '0');
            ++exp_digits, ++pos;
        }
        if (exp_digits == 0) return std::nullopt;
        if (exp_negative) exponent = -exponent;
    }
    if (pos != s.size()) return std::nullopt;

    double value = 0.0;
    const char* begin = s.data() + body_start;
    const char* end = s.data() + s.size();
    auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Decide between overflow (refused: not finite) and underflow (zero).
        if (first_nonzero == std::string_view::npos) {
            value = 0.0;
        } else {
            int64_t order = static_cast<int64_t>(int_digits) - static_cast<int64_t>(first_nonzero) + exponent;
            if (order > 0) return std::nullopt;
            value = 0.0;
        }
    } else if (ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    if (!std::isfinite(value)) return std::nullopt;
    return negative ? -value : value;
}

Result<double> number(const Json* value) {
    if (value == nullptr) return fail(field_error("finite number"));
    double v = 0.0;
    if (value->is_number_float()) {
        v = value->get<double>();
    } else if (value->is_number_unsigned()) {
        v = static_cast<double>(value->get<uint64_t>());
    } else if (value->is_number_integer()) {
        v = static_cast<double>(value->get<int64_t>());
    } else if (value->is_string()) {
        auto parsed = parse_decimal(value->get_ref<const std::string&>());
        if (!parsed) return fail(field_error("finite number"));
        v = *parsed;
    } else {
        return fail(field_error("finite number"));
    }
    if (!std::isfinite(v)) return fail(field_error("finite number"));
    return v;
}

double quantise(double v) {
    const double s = v * kScale;
    const uint64_t n = round_to_u64(s);
    if (!(v > 0.0 && s < kTwoTo64 && n >= 1 && n <= std::numeric_limits<uint64_t>::max() - 1)) return v;

    const double start = static_cast<double>(n) / kScale;
    if (start == 0.0 || std::isinf(start)) return start;
    // Walk one unit in the last place at a time towards the float that scales
    // back to exactly n.
    double x = start;
    for (int steps = 0;; ++steps) {
        const uint64_t m = round_to_u64(x * kScale);
        if (m == n) return x;
        if (steps == 15) break;
        const double next = m > n ? std::nextafter(x, 0.0) : std::nextafter(x, std::numeric_limits<double>::infinity());
        if (!std::isfinite(next) || !std::isnormal(next) || !(next > 0.0)) break;
        x = next;
    }
    return start;
}

std::string format_fixed8(double v) {
    // The largest double has 309 integer digits; sign, point and 8 decimals fit.
    char buf[400];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 8);
    if (ec != std::errc()) return "-";  // unreachable for finite input
    return std::string(buf, ptr);
}

std::string fixed_point_decimal(uint64_t n) {
    constexpr uint64_t kUnit = 100000000;
    char frac[8];
    uint64_t f = n % kUnit;
    for (int i = 7; i >= 0; --i, f /= 10) frac[i] = static_cast<char>('0' + f % 10);
    return std::to_string(n / kUnit) + "." + std::string(frac, sizeof frac);
}

Result<double> safe(const Json* value) {
    auto v = number(value);
    if (!v) return v;
    return quantise(*v);
}

Result<std::optional<double>> optional(const Json* value, bool quantise_value) {
    if (value == nullptr || value->is_null()) return std::optional<double>{};
    auto v = quantise_value ? safe(value) : number(value);
    if (!v) return fail(v.error());
    return std::optional<double>(*v);
}

Result<std::string> exact(const Json* value) {
    auto v = number(value);
    if (!v) return fail(std::move(v).error());
    // The double-based rendering is kept wherever it already shows the wire
    // integer, so every text that was exact stays byte for byte the same.
    std::string shown = format_fixed8(quantise(*v));
    if (shown != fixed_point_decimal(to_fixed_point(*v))) return fail(field_error("exact number"));
    return shown;
}

Result<std::string> exact_or_dash(const Json* value) {
    if (value == nullptr || value->is_null()) return std::string("-");
    return exact(value);
}

}  // namespace vorn::clear_sign
