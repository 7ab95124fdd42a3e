#include "base58.hpp"

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
    size_t zeros = 0;
    while (zeros < len && data[zeros] == 0) ++zeros;
    // log(256)/log(58) ~ 1.366
    std::vector<uint8_t> digits((len - zeros) * 138 / 100 + 1, 0);
    size_t used = 0;
    for (size_t i = zeros; i < len; ++i) {
        uint32_t carry = data[i];
        size_t j = 0;
        for (; j < used || carry != 0; ++j) {
            carry += static_cast<uint32_t>(digits[j]) << 8;
            digits[j] = static_cast<uint8_t>(carry % 58);
            carry /= 58;
        }
        used = j;
    }
    std::string out(zeros, '1');
    out.reserve(zeros + used);
    for (size_t j = used; j > 0; --j) out += kAlphabet[digits[j - 1]];
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
        auto full = base58_decode(text);  // rare: very long input, report its exact length
        if (!full) return fail(full.error());
        return full->size();
    }
    size_t total = zeros + used;
    if (total > cap) return total;
    for (size_t j = 0; j < zeros; ++j) out[j] = 0;
    for (size_t j = 0; j < used; ++j) out[zeros + j] = acc[used - 1 - j];
    return total;
}

}  // namespace vorn
