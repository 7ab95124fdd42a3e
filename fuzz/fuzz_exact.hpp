// Independent references for what a clear-sign line may show: the wire's
// fixed-point integer worked out in integer arithmetic alone, its decimal,
// the code points no text may hold, and a reader of a line's last tokens.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.hpp"

namespace fuzz {

inline constexpr uint64_t kU64Max = ~uint64_t{0};

inline int bit_length(unsigned __int128 v) {
    int n = 0;
    while (v != 0) ++n, v >>= 1;
    return n;
}

// The fixed-point rule of the wire: the double product x * 1e8, rounded half
// away from zero to an integer, 0 for negatives, zero and NaN, saturated at
// 2^64 - 1. The product is formed exactly as a 128-bit integer times a power
// of two, then rounded to 53 bits (nearest, ties to even) as the FPU does.
inline uint64_t ref_fixed_point(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const bool negative = bits >> 63;
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    const uint64_t frac = bits & ((uint64_t{1} << 52) - 1);
    if (biased == 0x7FF) return frac != 0 || negative ? 0 : kU64Max;  // NaN, -inf, +inf
    if (negative || (biased == 0 && frac == 0)) return 0;
    const uint64_t m = biased == 0 ? frac : frac | (uint64_t{1} << 52);
    int e = (biased == 0 ? 1 : biased) - 1075;  // x = m * 2^e
    unsigned __int128 p = static_cast<unsigned __int128>(m) * 100000000u;
    // Round p to 53 significant bits. Products too small to reach 0.5 give 0
    // whatever the rounding, and subnormal results are far below 0.5.
    const int len = bit_length(p);
    if (len > 53) {
        const int k = len - 53;
        const unsigned __int128 rem = p & ((static_cast<unsigned __int128>(1) << k) - 1);
        const unsigned __int128 half = static_cast<unsigned __int128>(1) << (k - 1);
        p >>= k;
        if (rem > half || (rem == half && (p & 1))) ++p;
        e += k;
    }
    // Now the product is p * 2^e exactly.
    if (e >= 0) {
        if (bit_length(p) + e > 64) return kU64Max;
        return static_cast<uint64_t>(p << e);
    }
    if (-e >= 120) return 0;
    const unsigned __int128 whole = p >> -e;
    const unsigned __int128 rest = p & ((static_cast<unsigned __int128>(1) << -e) - 1);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (-e - 1);
    const unsigned __int128 n = whole + (rest >= half ? 1 : 0);
    return n > kU64Max ? kU64Max : static_cast<uint64_t>(n);
}

// n / 10^8 with exactly 8 decimals.
inline std::string ref_decimal(uint64_t n) {
    std::string digits = std::to_string(n);
    if (digits.size() < 9) digits.insert(0, 9 - digits.size(), '0');
    digits.insert(digits.size() - 8, ".");
    return digits;
}

// Code points a clear-sign text must never hold: C0 controls, DEL, C1
// controls, line and paragraph separators, bidirectional controls.
inline bool forbidden_code_point(uint32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x200E || cp == 0x200F || cp == 0x2028 ||
           cp == 0x2029 || (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

// The first forbidden code point of a line (line feeds allowed when told),
// decoding well-formed UTF-8 sequences; malformed bytes are skipped.
inline std::optional<uint32_t> forbidden_in(std::string_view s, bool allow_line_feed) {
    size_t i = 0;
    while (i < s.size()) {
        const uint8_t c = static_cast<uint8_t>(s[i]);
        size_t n = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 9;
        uint32_t cp = n == 0 ? c : n == 1 ? (c & 0x1F) : n == 2 ? (c & 0x0F) : (c & 0x07);
        bool ok = n != 9 && i + n < s.size();
        for (size_t k = 1; ok && k <= n; ++k) {
            const uint8_t cc = static_cast<uint8_t>(s[i + k]);
            ok = (cc & 0xC0) == 0x80;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) { ++i; continue; }
        if (forbidden_code_point(cp) && !(allow_line_feed && cp == '\n')) return cp;
        i += n + 1;
    }
    return std::nullopt;
}

// The last k space-separated tokens of a line, first to last; fewer when the
// line is shorter. Fields after the free text of a line never hold spaces.
inline std::vector<std::string_view> last_tokens(std::string_view line, size_t k) {
    std::vector<std::string_view> out(k);
    size_t end = line.size(), got = 0;
    while (got < k) {
        const size_t space = line.rfind(' ', end == 0 ? 0 : end - 1);
        if (space == std::string_view::npos || end == 0) break;
        out[k - 1 - got++] = line.substr(space + 1, end - space - 1);
        end = space;
    }
    out.erase(out.begin(), out.begin() + static_cast<long>(k - got));
    return out;
}

// A fixed-point field as a line must show it: its wire integer, or nothing
// (printed "-") when the wire carries none.
struct Shown {
    const char* label;                 // "px=", "limit=", ...
    std::optional<uint64_t> wire;      // absent: printed "-"
    const char* suffix = "";           // "bps" for slippage
};

// Checks the tokens of a rendered line against the wire values, by position.
inline void check_shown(std::string_view line, const std::vector<std::pair<size_t, Shown>>& fields, size_t count) {
    const auto tokens = last_tokens(line, count);
    FUZZ_CHECK(tokens.size() == count);
    for (const auto& [at, f] : fields) {
        const std::string want = std::string(f.label) + (f.wire ? ref_decimal(*f.wire) : std::string("-")) + f.suffix;
        if (tokens[at] != want) {
            std::fprintf(stderr, "line: %.*s\nwant: %s\n", static_cast<int>(line.size()), line.data(), want.c_str());
            FUZZ_CHECK(tokens[at] == want);
        }
    }
}

// Whether a value may be refused as "exact number": only what the wire
// clamps (negatives, including -0, and at or above 2^64 units) and what lies
// above 9e7, where no double shows every wire integer.
inline bool may_be_inexact(double v) { return std::signbit(v) || !(v < 9e7); }

}  // namespace fuzz
