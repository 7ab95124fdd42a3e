// Field readers and number formatting of the clear-sign text.
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

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

bool has_control_byte(std::string_view s) {
    for (char ch : s) {
        uint8_t c = static_cast<uint8_t>(ch);
        if (c < 0x20 || c == 0x7F) return true;
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
    if (has_control_byte(s)) return fail(field_error(key));
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

}  // namespace vorn::clear_sign
