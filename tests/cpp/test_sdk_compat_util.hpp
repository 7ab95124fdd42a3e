// Helpers shared by the signing-payload tests: hex literals, filled keys,
// and a plain little-endian writer for spelling out expected layouts.
#pragma once
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "types/hex.hpp"
#include "sdk_compat/sdk_compat.hpp"

namespace vorn::testing_wire {

// "01 00 ab" -> {0x01, 0x00, 0xab}; spaces and line breaks are ignored.
inline std::vector<uint8_t> hex_bytes(std::string_view text) {
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::vector<uint8_t> out;
    int high = -1;
    for (char c : text) {
        const int n = nibble(c);
        if (n < 0) continue;
        if (high < 0) {
            high = n;
        } else {
            out.push_back(static_cast<uint8_t>(high << 4 | n));
            high = -1;
        }
    }
    return out;
}

inline std::string hex(const std::vector<uint8_t>& b) { return hex_encode(b.data(), b.size()); }
inline std::string hex_of(std::string_view spaced) { return hex(hex_bytes(spaced)); }

inline Pubkey filled_key(uint8_t b) {
    Pubkey k;
    k.bytes.fill(b);
    return k;
}
inline Hash filled_hash(uint8_t b) {
    Hash h;
    h.bytes.fill(b);
    return h;
}

inline std::vector<uint8_t> encoded(const TxAction& a) {
    std::vector<uint8_t> out;
    encode_tx_action(a, out);
    return out;
}

// Expected layouts spelled out field by field, independent of the encoder.
struct Expect {
    std::vector<uint8_t> b;
    Expect& raw(std::string_view spaced_hex) {
        auto x = hex_bytes(spaced_hex);
        b.insert(b.end(), x.begin(), x.end());
        return *this;
    }
    Expect& u8(uint8_t v) {
        b.push_back(v);
        return *this;
    }
    Expect& u16(uint16_t v) { return le(v, 2); }
    Expect& u32(uint32_t v) { return le(v, 4); }
    Expect& u64(uint64_t v) { return le(v, 8); }
    Expect& f64(double v) { return le(std::bit_cast<uint64_t>(v), 8); }
    Expect& str(std::string_view s) {
        u64(s.size());
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
    Expect& fill(uint8_t v, size_t n) {
        b.insert(b.end(), n, v);
        return *this;
    }
    Expect& le(uint64_t v, size_t n) {
        for (size_t i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    std::string hex() const { return testing_wire::hex(b); }
};

inline Order limit_order(std::string symbol, bool is_buy, double price, double size,
                         TimeInForce tif = TimeInForce::GTC) {
    Order o;
    o.symbol = std::move(symbol);
    o.is_buy = is_buy;
    o.price = price;
    o.size = size;
    o.order_type = LimitType{tif};
    return o;
}

inline Order market_order(std::string symbol, bool is_buy, double size) {
    Order o;
    o.symbol = std::move(symbol);
    o.is_buy = is_buy;
    o.size = size;
    o.order_type = TriggerType{true, 0.0};
    return o;
}


}  // namespace vorn::testing_wire
