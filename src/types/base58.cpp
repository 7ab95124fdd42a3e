#include "types/base58.hpp"

#include <sodium.h>

#include <cstdio>
#include <cstring>

namespace vorn {

namespace {

constexpr char kAlphabet[] = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";

struct DecodeTable {
    int8_t v[128];
    constexpr DecodeTable() : v{} {
        for (int i = 0; i < 128; ++i) v[i] = -1;
        for (int i = 0; i < 58; ++i) v[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
    }
};
constexpr DecodeTable kDecode;

// Longest text whose decoded length is reported exactly when it does not fit
// the caller's buffer. Finding that length takes a full decode, quadratic in
// the text, so a megabyte from the network would hold the caller for
// minutes; anything longer than this is refused on its length alone (keys,
// hashes and signatures are at most 88 characters).
constexpr size_t kMaxExactLengthChars = 1024;

// The character as a quoted character literal: 'l', '\n', '\'', '\u{1f}'.
std::string char_literal(uint8_t c) {
    std::string out = "'";
    switch (c) {
    case '\t': out += "\\t"; break;
    case '\r': out += "\\r"; break;
    case '\n': out += "\\n"; break;
    case '\0': out += "\\0"; break;
    case '\'': out += "\\'"; break;
    case '\\': out += "\\\\"; break;
    default:
        if (c < 0x20 || c == 0x7f) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "\\u{%x}", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += "'";
    return out;
}

Status check_chars(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        uint8_t c = static_cast<uint8_t>(text[i]);
        if (c >= 128)
            return fail(Error::invalid_base58("provided string contained non-ascii character starting at byte " +
                                              std::to_string(i)));
        if (kDecode.v[c] < 0)
            return fail(Error::invalid_base58("provided string contained invalid character " + char_literal(c) +
                                              " at byte " + std::to_string(i)));
    }
    return {};
}

// Wide limbs: five base-58 digits each (58^5 < 2^30).
constexpr uint64_t kLimb5 = 58ull * 58 * 58 * 58 * 58;

// Inputs up to this many 32-bit words (128 bytes) take the table path.
constexpr size_t kTableWords = 32;
constexpr size_t kTableLimbs = 36;  // 180 digits; 128 bytes need at most 175

// 2^(32k) for k below kTableWords in base-58^5 limbs, least significant
// first, so a value given as big-endian 32-bit words becomes limbs by
// multiply-accumulate.
struct WordPowers {
    uint32_t limb[kTableWords][kTableLimbs];
    uint8_t used[kTableWords + 1];  // used[k] limbs hold any value below 2^(32k)
    constexpr WordPowers() : limb{}, used{} {
        uint64_t cur[kTableLimbs] = {1};
        size_t n = 1;
        for (size_t k = 0; k <= kTableWords; ++k) {
            used[k] = static_cast<uint8_t>(n);
            if (k == kTableWords) break;
            for (size_t j = 0; j < n; ++j) limb[k][j] = static_cast<uint32_t>(cur[j]);
            uint64_t carry = 0;
            for (size_t j = 0; j < n; ++j) {
                const uint64_t x = (cur[j] << 32) + carry;
                cur[j] = x % kLimb5;
                carry = x / kLimb5;
            }
            while (carry != 0) {
                cur[n++] = carry % kLimb5;
                carry /= kLimb5;
            }
        }
    }
};
constexpr WordPowers kWordPowers;
static_assert(kWordPowers.used[kTableWords] <= kTableLimbs);

// Moves everything above 58^5 in each limb into the next one.
inline void carry_limbs(uint64_t* acc, size_t limbs) {
    for (size_t j = 0; j + 1 < limbs; ++j) {
        acc[j + 1] += acc[j] / kLimb5;
        acc[j] %= kLimb5;
    }
}

// The five digits of a limb below 58^5 as alphabet characters, most
// significant first: v * ceil(2^54 / 58^4) holds v / 58^4 with a 54-bit
// fraction exact enough for all five digits (checked for every limb value),
// and each digit is the integer part after one more multiplication by 58.
inline void limb_digits(uint64_t v, char* out) {
    constexpr uint64_t kScale = (1ull << 54) / (58ull * 58 * 58 * 58) + 1;
    constexpr uint64_t kFraction = (1ull << 54) - 1;
    uint64_t y = v * kScale;
    out[0] = kAlphabet[y >> 54];
    for (size_t k = 1; k < 5; ++k) {
        y = (y & kFraction) * 58;
        out[k] = kAlphabet[y >> 54];
    }
}

// Words added between carries in encode_table.
constexpr size_t kWordsPerCarry = 8;

// True when any kWordsPerCarry consecutive powers times words of all ones,
// added to carried limbs, keep every limb below 2^64.
constexpr bool carries_suffice() {
    for (size_t first = 0; first + kWordsPerCarry <= kTableWords; ++first) {
        for (size_t j = 0; j < kTableLimbs; ++j) {
            unsigned __int128 sum = kLimb5;
            for (size_t k = first; k < first + kWordsPerCarry; ++k)
                if (j < kWordPowers.used[k]) sum += static_cast<unsigned __int128>(0xffffffffu) * kWordPowers.limb[k][j];
            if (sum >> 64) return false;
        }
    }
    return true;
}
static_assert(carries_suffice());

// Up to 128 bytes to text; out holds len * 138 / 100 + 1 characters. The
// bytes are read as big-endian 32-bit words (zero-padded in front), the
// words times the table give limbs of five digits, carried every
// kWordsPerCarry words.
[[gnu::always_inline]] inline size_t encode_table(const uint8_t* data, size_t len, char* out) {
    uint8_t padded[kTableWords * 4];
    const size_t words = (len + 3) / 4;
    const size_t lead = words * 4 - len;
    const uint8_t* src = data;
    if (lead != 0) {
        std::memset(padded, 0, lead);
        std::memcpy(padded + lead, data, len);
        src = padded;
    }
    const size_t limbs = kWordPowers.used[words];  // the value is below 2^(32 words)
    uint64_t acc[kTableLimbs];
    std::memset(acc, 0, limbs * sizeof(uint64_t));
#pragma GCC unroll 16
    for (size_t i = 0; i < words; ++i) {
        const uint64_t w = (uint64_t{src[4 * i]} << 24) | (uint64_t{src[4 * i + 1]} << 16) |
                           (uint64_t{src[4 * i + 2]} << 8) | uint64_t{src[4 * i + 3]};
        const size_t k = words - 1 - i;
        const size_t used = kWordPowers.used[k];
#pragma GCC unroll 18
        for (size_t j = 0; j < used; ++j) acc[j] += w * kWordPowers.limb[k][j];
        if (i % kWordsPerCarry == kWordsPerCarry - 1 || i + 1 == words) carry_limbs(acc, limbs);
    }
    // A '1' for each leading zero byte, then the digits from the value's
    // highest nonzero one.
    size_t zeros = 0;
    while (zeros < len && data[zeros] == 0) ++zeros;
    std::memset(out, '1', zeros);
    char* o = out + zeros;
    size_t top = limbs;  // limbs at and above top are zero
    while (top > 0 && acc[top - 1] == 0) --top;
    if (top > 0) {
        char five[5];
        limb_digits(acc[top - 1], five);
        size_t k = 0;
        while (five[k] == '1') ++k;  // the limb is nonzero, so k < 5
        for (; k < 5; ++k) *o++ = five[k];
        for (size_t j = top - 1; j > 0; --j, o += 5) limb_digits(acc[j - 1], o);
    }
    // The limbs held the value (a secret key, for some callers).
    sodium_memzero(acc, limbs * sizeof(uint64_t));
    if (lead != 0) sodium_memzero(padded, sizeof padded);
    return static_cast<size_t>(o - out);
}

// Text of 32 to 44 characters that encodes exactly 32 bytes, decoded into
// out; false when the text is anything else (a bad character, a value of
// another length), which the general decoder then describes.
bool decode_fixed_32(std::string_view text, uint8_t* out) {
    constexpr size_t kDigits = 45;
    const size_t n = text.size();
    if (n < 32 || n > kBase58Max32) return false;  // no other length decodes to 32 bytes
    uint8_t raw[kDigits];  // most significant digit first, zero-padded
    const size_t pad = kDigits - n;
    for (size_t i = 0; i < pad; ++i) raw[i] = 0;
    int8_t bad = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t c = static_cast<uint8_t>(text[i]);
        const int8_t d = kDecode.v[c & 0x7f] | static_cast<int8_t>(-(c >> 7));
        bad |= d;
        raw[pad + i] = static_cast<uint8_t>(d);
    }
    if (bad < 0) return false;
    // Nine limbs of five digits, then Horner's rule into nine big-endian
    // 32-bit words; the first word holds anything past 256 bits.
    uint64_t words[9] = {};
    for (size_t j = 0; j < 9; ++j) {
        const uint8_t* r = raw + 5 * j;
        uint64_t carry = (((uint64_t{r[0]} * 58 + r[1]) * 58 + r[2]) * 58 + r[3]) * 58 + r[4];
        for (size_t k = 9; k > 0; --k) {
            const uint64_t x = words[k - 1] * kLimb5 + carry;
            words[k - 1] = x & 0xffffffffu;
            carry = x >> 32;
        }
    }
    bool ok = words[0] == 0;
    uint8_t bytes[32];
    for (size_t k = 0; k < 8; ++k) {
        const uint64_t w = words[k + 1];
        bytes[4 * k] = static_cast<uint8_t>(w >> 24);
        bytes[4 * k + 1] = static_cast<uint8_t>(w >> 16);
        bytes[4 * k + 2] = static_cast<uint8_t>(w >> 8);
        bytes[4 * k + 3] = static_cast<uint8_t>(w);
    }
    if (ok) {
        // Each leading '1' stands for one zero byte; the value's own length
        // fills the rest, so the total is 32 exactly when the counts agree.
        size_t ones = 0, zeros = 0;
        while (ones < n && text[ones] == '1') ++ones;
        while (zeros < 32 && bytes[zeros] == 0) ++zeros;
        ok = ones == zeros;
        if (ok)
            for (size_t k = 0; k < 32; ++k) out[k] = bytes[k];
    }
    sodium_memzero(words, sizeof words);
    sodium_memzero(bytes, sizeof bytes);
    return ok;
}

}  // namespace

size_t base58_encode_32(const uint8_t* data, char* out) { return encode_table(data, 32, out); }
size_t base58_encode_64(const uint8_t* data, char* out) { return encode_table(data, 64, out); }

std::string base58_encode_32(const uint8_t* data) {
    char buf[kBase58Max32];
    return std::string(buf, encode_table(data, 32, buf));
}

std::string base58_encode_64(const uint8_t* data) {
    char buf[kBase58Max64];
    std::string s(buf, encode_table(data, 64, buf));
    sodium_memzero(buf, sizeof buf);
    return s;
}

std::string base58_encode(const uint8_t* data, size_t len) {
    if (len == 32) return base58_encode_32(data);
    if (len == 64) return base58_encode_64(data);
    if (len > kTableWords * 4) return base58_encode_generic(data, len);
    char buf[kTableWords * 4 * 138 / 100 + 1];
    std::string s(buf, encode_table(data, len, buf));
    sodium_memzero(buf, sizeof buf);
    return s;
}

Result<size_t> base58_decode_32(std::string_view text, uint8_t* out) {
    if (decode_fixed_32(text, out)) return size_t{32};
    // Reports the error or the decoded length; with no room, writes nothing
    // (a length-32 value never gets here).
    return base58_decode_into(text, out, 0);
}

std::string base58_encode_generic(const uint8_t* data, size_t len) {
    // Works in limbs of 58^5 (< 2^30) and feeds four input bytes per pass, so
    // a 64-byte signature needs a few hundred divisions instead of thousands.
    constexpr uint64_t kLimb = 58ull * 58 * 58 * 58 * 58;
    size_t zeros = 0;
    while (zeros < len && data[zeros] == 0) ++zeros;
    const size_t rest = len - zeros;
    const size_t max_limbs = rest * 138 / 100 / 5 + 2;
    uint32_t small[64];
    std::vector<uint32_t> large;
    uint32_t* limbs = small;
    if (max_limbs > 64) {
        large.resize(max_limbs);
        limbs = large.data();
    }
    size_t used = 0;
    size_t i = zeros;
    size_t first = rest % 4 == 0 ? 4 : rest % 4;
    while (i < len) {
        size_t take = (i == zeros) ? first : 4;
        uint64_t carry = 0;
        for (size_t k = 0; k < take; ++k) carry = (carry << 8) | data[i + k];
        const uint64_t mul = 1ull << (8 * take);
        for (size_t j = 0; j < used; ++j) {
            uint64_t x = static_cast<uint64_t>(limbs[j]) * mul + carry;
            limbs[j] = static_cast<uint32_t>(x % kLimb);
            carry = x / kLimb;
        }
        while (carry != 0) {
            limbs[used++] = static_cast<uint32_t>(carry % kLimb);
            carry /= kLimb;
        }
        i += take;
    }
    std::string out(zeros, '1');
    out.reserve(zeros + used * 5);
    for (size_t j = used; j > 0; --j) {
        char d[5];
        uint32_t v = limbs[j - 1];
        for (int k = 4; k >= 0; --k) {
            d[k] = kAlphabet[v % 58];
            v /= 58;
        }
        int skip = 0;
        if (j == used)
            while (skip < 4 && d[skip] == '1') ++skip;  // no leading zero digits in the top limb
        out.append(d + skip, 5 - skip);
    }
    // The limbs held the value (a secret key, for some callers).
    sodium_memzero(limbs, max_limbs * sizeof(uint32_t));
    return out;
}

Result<std::vector<uint8_t>> base58_decode(std::string_view text) {
    if (auto ok = check_chars(text); !ok) return fail(ok.error());
    size_t zeros = 0;
    while (zeros < text.size() && text[zeros] == '1') ++zeros;
    std::vector<uint8_t> bytes(text.size() * 733 / 1000 + 1, 0);  // little-endian accumulator
    size_t used = 0;
    for (size_t i = zeros; i < text.size(); ++i) {
        uint32_t carry = static_cast<uint32_t>(kDecode.v[static_cast<uint8_t>(text[i])]);
        size_t j = 0;
        for (; j < used || carry != 0; ++j) {
            carry += static_cast<uint32_t>(bytes[j]) * 58;
            bytes[j] = static_cast<uint8_t>(carry & 0xff);
            carry >>= 8;
        }
        used = j;
    }
    std::vector<uint8_t> out(zeros + used, 0);
    for (size_t j = 0; j < used; ++j) out[zeros + j] = bytes[used - 1 - j];
    return out;
}

Result<size_t> base58_decode_into(std::string_view text, uint8_t* out, size_t cap) {
    if (auto ok = check_chars(text); !ok) return fail(ok.error());
    // Accumulate in a bounded little-endian buffer; track overflow length.
    uint8_t acc[128] = {0};
    const size_t acc_cap = sizeof acc;
    size_t zeros = 0;
    while (zeros < text.size() && text[zeros] == '1') ++zeros;
    size_t used = 0;
    bool overflow = false;
    for (size_t i = zeros; i < text.size() && !overflow; ++i) {
        uint32_t carry = static_cast<uint32_t>(kDecode.v[static_cast<uint8_t>(text[i])]);
        size_t j = 0;
        for (; j < used || carry != 0; ++j) {
            if (j >= acc_cap) {
                overflow = true;
                break;
            }
            carry += static_cast<uint32_t>(acc[j]) * 58;
            acc[j] = static_cast<uint8_t>(carry & 0xff);
            carry >>= 8;
        }
        used = j;
    }
    if (overflow) {
        sodium_memzero(acc, sizeof acc);
        if (text.size() > kMaxExactLengthChars)
            return fail(Error::invalid_base58("provided string is too long: " + std::to_string(text.size()) +
                                              " characters"));
        auto full = base58_decode(text);  // rare: long input, report its exact length
        if (!full) return fail(full.error());
        return full->size();
    }
    size_t total = zeros + used;
    if (total <= cap) {
        for (size_t j = 0; j < zeros; ++j) out[j] = 0;
        for (size_t j = 0; j < used; ++j) out[zeros + j] = acc[used - 1 - j];
    }
    // The accumulator held the decoded value (a secret key, for some callers).
    sodium_memzero(acc, sizeof acc);
    return total;
}

}  // namespace vorn
