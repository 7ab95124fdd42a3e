#include "types/base58.hpp"

#include <sodium.h>

#include <cstdio>

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

}  // namespace

std::string base58_encode(const uint8_t* data, size_t len) {
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
