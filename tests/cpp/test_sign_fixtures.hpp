// Shared builders for the signer, batch and concurrency tests.
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "types/base58.hpp"
#include "types/keypair.hpp"
#include "sdk_compat/sdk_compat.hpp"
#include "sign/sign.hpp"
#include "types/types.hpp"

namespace vorn_test {

using namespace vorn;

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

inline Keypair seed_keypair(uint8_t b) {
    std::array<uint8_t, 32> seed;
    seed.fill(b);
    return *Keypair::from_bytes(seed.data(), seed.size());
}

inline Signer make_signer(uint8_t seed_byte = 7, const char* domain = "mainnet") {
    return *Signer::create(seed_keypair(seed_byte), domain);
}

inline Signer make_counter_signer(uint8_t seed_byte = 7) {
    return *Signer::with_nonce_manager(seed_keypair(seed_byte), NonceStrategy::Counter, "mainnet");
}

inline OrderItem limit_order(std::string symbol, bool is_buy, double price, double size,
                             TimeInForce tif = TimeInForce::GTC) {
    Order o;
    o.symbol = std::move(symbol);
    o.is_buy = is_buy;
    o.price = price;
    o.size = size;
    o.order_type = LimitType{tif};
    return o;
}

inline OrderItem market_order(std::string symbol, bool is_buy, double size,
                              std::optional<double> slippage = std::nullopt) {
    Order o;
    o.symbol = std::move(symbol);
    o.is_buy = is_buy;
    o.size = size;
    o.order_type = TriggerType{true, 0.0};
    o.slippage = slippage;
    return o;
}

// A trigger order that is not a market order: refused when signed.
inline OrderItem resting_trigger_order() {
    Order o;
    o.symbol = "BTC-USD";
    o.is_buy = true;
    o.price = 1.0;
    o.size = 1.0;
    o.order_type = TriggerType{false, 99.0};
    return o;
}

inline OrderItem cancel(std::string symbol, uint8_t id_byte) { return Cancel{filled_hash(id_byte), std::move(symbol)}; }

inline std::vector<uint8_t> from_hex(const std::string& hex) {
    std::vector<uint8_t> out;
    std::string digits;
    for (char c : hex)
        if (c != ' ') digits.push_back(c);
    for (size_t i = 0; i + 1 < digits.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return out;
}

inline bool signature_verifies(const Pubkey& key, const std::vector<uint8_t>& message, const std::string& sig58) {
    auto raw = base58_decode(sig58);
    if (!raw || raw->size() != 64) return false;
    Signature sig;
    std::copy(raw->begin(), raw->end(), sig.begin());
    return verify_signature(key, message.data(), message.size(), sig);
}

// The message the exchange verifies for a one-item orders action.
inline std::vector<uint8_t> single_item_message(const OrderItem& item, SignatureDomain domain, uint64_t nonce,
                                                const Pubkey& account) {
    Action action{Orders{{item}}};
    std::vector<uint8_t> buffer;
    EXPECT_TRUE(serialize_for_sdk_signing(action, signature_domain_byte(domain), nonce, account, buffer));
    return buffer;
}

inline std::string error_text(const Error& e) { return e.display(); }

}  // namespace vorn_test
