// Small helpers shared by the core tests: keys from a fill byte, hex, and
// signature checks over exact bytes.
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "prepare/prepare.hpp"
#include "sign/sign.hpp"
#include "types/base58.hpp"
#include "types/keypair.hpp"
#include "types/types.hpp"

namespace vorn_test {

using namespace vorn;

// A table of vectors from tests/cpp/vectors/ (or a golden file, "../../golden/..."),
// parsed once and kept, so a range-for over one of its members never dangles.
inline const nlohmann::json& vectors(const std::string& file) {
    static std::map<std::string, nlohmann::json> cache;
    auto it = cache.find(file);
    if (it != cache.end()) return it->second;
    std::ifstream in(std::string(VORN_TESTS_DIR "/cpp/vectors/") + file);
    EXPECT_TRUE(in) << file;
    return cache[file] = nlohmann::json::parse(in);
}

inline Pubkey filled_key(uint8_t fill) {
    Pubkey k;
    k.bytes.fill(fill);
    return k;
}
inline Keypair seed_keypair(uint8_t fill) { return *Keypair::from_bytes(filled_key(fill).bytes.data(), 32); }

inline Order limit_order(std::string symbol, bool is_buy, double price, double size) {
    return Order{std::move(symbol), is_buy, price, size, LimitType{TimeInForce::GTC}, false, false, {}, {}, {}};
}

inline std::vector<uint8_t> unhex(const std::string& hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

inline std::string b58(const std::vector<uint8_t>& v) { return base58_encode(v.data(), v.size()); }

inline bool verifies(const Pubkey& key, const std::vector<uint8_t>& message, const std::string& sig58) {
    auto raw = base58_decode(sig58);
    if (!raw || raw->size() != 64) return false;
    Signature sig;
    std::copy(raw->begin(), raw->end(), sig.begin());
    return verify_signature(key, message.data(), message.size(), sig);
}

// A signed transaction is its preparation plus a signature over exactly the
// prepared bytes.
inline void expect_signed_as_prepared(const SignedTransaction& tx, const Action& action, const Signer& s,
                                      uint64_t nonce) {
    auto p = prepare_action(action, s.signature_domain(), s.pubkey(), std::nullopt, nonce);
    ASSERT_TRUE(p) << p.error().display();
    EXPECT_EQ(std::tie(tx.nonce, tx.actions, tx.order_id, tx.account, tx.signer),
              std::tie(p->nonce, p->actions, p->order_id, p->account, p->signer));
    EXPECT_TRUE(verifies(s.pubkey(), p->message_bytes, tx.signature)) << nonce;
}

// S + L (the group order): the same scalar, so lax verification accepts it;
// strict verification must not.
inline Signature malleated(Signature sig) {
    const auto L = unhex("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010");
    for (unsigned i = 0, carry = 0; i < 32; ++i) {
        const unsigned s = sig[32 + i] + L[i] + carry;
        sig[32 + i] = static_cast<uint8_t>(s);
        carry = s >> 8;
    }
    return sig;
}

// "OK" or the display text of the error: one column in a table of outcomes.
template <class R>
std::string outcome(const R& r) {
    return r ? std::string("OK") : r.error().display();
}

}  // namespace vorn_test
