// Group signatures (ed25519/group.hpp) are libsodium's bytes on both engines:
// every message length 0..300 in groups of every size 1..8, and the signed
// batches of every size 1..40 (below and on the pool, with partial groups).
#include <gtest/gtest.h>

#include "ed25519/group.hpp"
#include "test_util.hpp"

using namespace vorn_test;
using vorn::ed25519::Engine;

namespace {

std::vector<Engine> engines() {
    std::vector<Engine> out{Engine::Portable};
    if (ed25519::multi_buffer_available()) out.push_back(Engine::MultiBuffer);
    return out;
}

}  // namespace

TEST(Ed25519Group, EveryLengthAndGroupSizeMatchesLibsodium) {
    const Keypair key = seed_keypair(5);
    std::vector<std::vector<uint8_t>> messages(301);
    for (size_t len = 0; len < messages.size(); ++len)
        for (size_t j = 0; j < len; ++j) messages[len].push_back(static_cast<uint8_t>(j * 31 + len));
    for (Engine engine : engines()) {
        size_t group = 1;
        for (size_t first = 0; first < messages.size(); first += group, group = group % 8 + 1) {
            const size_t n = std::min(group, messages.size() - first);
            std::array<ed25519::Message, 8> in;
            std::array<Signature, 8> out;
            for (Signature& s : out) s.fill(0xA5);
            for (size_t k = 0; k < n; ++k) in[k] = {messages[first + k].data(), messages[first + k].size()};
            ed25519::sign_group_with(engine, key, std::span(in).first(n), std::span(out).first(n));
            for (size_t k = 0; k < 8; ++k) {
                Signature expected;
                if (k < n) expected = key.sign(in[k].data, in[k].size);
                else expected.fill(0xA5);  // an unused lane reaches no result
                ASSERT_EQ(out[k], expected) << "engine " << int(engine) << " length " << first + k;
            }
        }
    }
}

TEST(Ed25519Group, BatchesOfEverySizeSignTheirPreparedBytes) {
    const Signer s = *Signer::create(seed_keypair(6), "mainnet");
    const Keypair key = seed_keypair(6);
    for (size_t n = 1; n <= 40; ++n) {
        std::vector<OrderItem> items;
        std::vector<std::vector<OrderItem>> groups;
        for (size_t i = 0; i < n; ++i) {
            items.push_back(limit_order("BTC-USD", i % 2 == 0, 100.0 + i, 1.0 + n));
            groups.push_back({items.back(), limit_order("ETH-USD", true, 3.0, 0.5 + i)});
        }
        auto all = s.sign_all(items, uint64_t{7});
        auto batches = s.sign_orders_batch(groups, uint64_t{7});
        ASSERT_TRUE(all && batches) << n;
        for (size_t i = 0; i < n; ++i) {
            const std::pair<Action, const SignedTransaction*> cases[] = {{Action{Orders{{items[i]}}}, &(*all)[i]},
                                                                         {Action{Orders{groups[i]}}, &(*batches)[i]}};
            for (const auto& [action, tx] : cases) {
                auto p = prepare_action(action, s.signature_domain(), s.pubkey(), std::nullopt, 7 + i);
                ASSERT_TRUE(p);
                EXPECT_EQ(tx->signature, signature_to_base58(key.sign(p->message_bytes.data(), p->message_bytes.size())))
                    << n << " " << i;
                EXPECT_EQ(tx->nonce, 7 + i);
            }
        }
    }
}
