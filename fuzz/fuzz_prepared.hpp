// Prepared records for the fuzz targets: genuinely prepared ones for a fixed
// test key, and hand-laid ones from the input with a chosen signing suffix.
#pragma once
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_check.hpp"
#include "types/keypair.hpp"
#include "prepare/prepare.hpp"
#include "types/types.hpp"

namespace fuzz {

// The Ed25519 key of the 32-byte seed filled with one byte value.
inline const vorn::Keypair& test_key(uint8_t fill) {
    static std::optional<vorn::Keypair> keys[2];
    const int slot = fill == 0x42 ? 0 : 1;
    if (!keys[slot]) {
        uint8_t seed[32];
        std::memset(seed, fill == 0x42 ? 0x42 : 0x77, sizeof seed);
        keys[slot] = *vorn::Keypair::from_bytes(seed, sizeof seed);
    }
    return *keys[slot];
}

inline double as_double(uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// A one-order preparation for test_key(0x42): a limit or market order whose
// symbol, side, price and size come from the input. Fails as the core fails.
inline vorn::Result<vorn::PreparedMessage> genuine_prepared(Reader& in) {
    const uint8_t kind = in.u8();
    vorn::Order order;
    order.symbol = std::string(in.bytes(in.u8() % 12));
    order.is_buy = kind & 1;
    order.price = (kind & 2) ? as_double(in.u64()) : static_cast<double>(in.u8()) + 0.5;
    order.size = (kind & 4) ? as_double(in.u64()) : static_cast<double>(in.u8() % 8) / 4.0 + 0.25;
    if (kind & 8) order.order_type = vorn::TriggerType{true, 0.0};
    else order.order_type = vorn::LimitType{static_cast<vorn::TimeInForce>(in.u8() % 3)};
    const auto domain = static_cast<vorn::SignatureDomain>(1 + (kind >> 4) % 3);
    const vorn::Pubkey account = test_key(0x42).pubkey();
    return vorn::prepare_action(vorn::one_item_orders(vorn::OrderItem(order)), domain, account, std::nullopt, in.u64());
}

// The 41 bytes that close a signing message.
inline void append_suffix(std::vector<uint8_t>& out, uint64_t nonce, const vorn::Pubkey& account, uint8_t domain) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(nonce >> (8 * i)));
    out.insert(out.end(), account.bytes.begin(), account.bytes.end());
    out.push_back(domain);
}

// Whether the record's last 41 bytes name its nonce, its account and a domain.
inline bool suffix_matches(const vorn::PreparedMessage& p) {
    const auto& b = p.message_bytes;
    if (b.size() < 41) return false;
    const uint8_t* s = b.data() + b.size() - 41;
    uint64_t nonce = 0;
    for (int i = 7; i >= 0; --i) nonce = (nonce << 8) | s[i];
    auto account = vorn::Pubkey::from_base58(p.account);
    return account && nonce == p.nonce && std::memcmp(account->bytes.data(), s + 8, 32) == 0 && b.back() >= 1 &&
           b.back() <= 3;
}

}  // namespace fuzz
