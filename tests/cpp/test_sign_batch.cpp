// Batches below the pool threshold (signed and prepared share one driver):
// order, nonce ranges, the first error in input order, empty batches.
#include <gtest/gtest.h>

#include <limits>

#include "test_util.hpp"

using namespace vorn_test;

namespace {

std::vector<OrderItem> limits(size_t n) {
    std::vector<OrderItem> out;
    for (size_t i = 0; i < n; ++i) out.push_back(limit_order("BTC-USD", i % 2 == 0, 100.0 + i, 1.0 + i));
    return out;
}

}  // namespace

TEST(SequentialBatch, BasePlusIndexInOrderForSignedAndPrepared) {
    const Signer s = *Signer::create(seed_keypair(7), "mainnet");
    const Pubkey agent = seed_keypair(8).pubkey();
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    for (auto [n, base] : {std::pair<size_t, uint64_t>{9, 1000}, {2, kMax}}) {
        const auto orders = limits(n);
        auto txs = s.sign_all(orders, base);
        ASSERT_TRUE(txs) << outcome(txs);
        auto prepared = prepare_all_orders(orders, SignatureDomain::Mainnet, s.pubkey(), agent, base);
        ASSERT_TRUE(prepared) << outcome(prepared);
        ASSERT_EQ(txs->size(), n);
        ASSERT_EQ(prepared->size(), n);
        for (size_t i = 0; i < n; ++i) {
            expect_signed_as_prepared((*txs)[i], Action{Orders{{orders[i]}}}, s, base + i);
            EXPECT_FALSE((*txs)[i].order_ids);
            const PreparedMessage& p = (*prepared)[i];
            EXPECT_EQ(p.nonce, base + i);
            EXPECT_EQ(p.signer, agent.to_base58());
            EXPECT_TRUE(verifies(s.pubkey(), p.message_bytes, (*txs)[i].signature));
            EXPECT_EQ(p.order_id, (*txs)[i].order_id);
        }
    }
}

TEST(SequentialBatch, DrawnBaseIsOneReservedTimestampRangeEvenForCounterSigners) {
    const Signer s = *Signer::with_nonce_manager(seed_keypair(7), NonceStrategy::Counter, "mainnet");
    const uint64_t before = *unique_timestamp();
    auto txs = s.sign_all(limits(4), std::nullopt);
    ASSERT_TRUE(txs);
    const uint64_t base = (*txs)[0].nonce;
    EXPECT_GT(base, before);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ((*txs)[i].nonce, base + i);
    EXPECT_EQ(s.nonce_counter(), 0u);
    EXPECT_GT(*unique_timestamp(), base + 3);
    auto prepared = prepare_all_orders(limits(3), SignatureDomain::Testnet, s.pubkey(), std::nullopt, std::nullopt);
    ASSERT_TRUE(prepared);
    EXPECT_GT((*prepared)[0].nonce, base + 3);
    EXPECT_EQ((*prepared)[2].nonce, (*prepared)[0].nonce + 2);
    EXPECT_EQ((*prepared)[0].signer, (*prepared)[0].account);
}

TEST(SequentialBatch, EmptyBatchesDrawNoNonce) {
    const Signer s = *Signer::create(seed_keypair(7), "mainnet");
    const uint64_t before = *unique_timestamp();
    EXPECT_TRUE(s.sign_all({}, std::nullopt)->empty());
    EXPECT_TRUE(s.sign_orders_batch({}, std::nullopt)->empty());
    EXPECT_TRUE(prepare_all_orders({}, SignatureDomain::Mainnet, s.pubkey(), std::nullopt, std::nullopt)->empty());
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), before);
}

TEST(SequentialBatch, FirstFailingElementInInputOrderFailsTheCall) {
    Signer s = *Signer::create(seed_keypair(7), "mainnet");
    auto orders = limits(5);
    Order resting = limit_order("BTC-USD", true, 1, 1);
    resting.order_type = TriggerType{false, 99.0};
    Order slipping = limit_order("BTC-USD", true, 1, 1);
    slipping.slippage = 0.1;
    orders[2] = resting;
    orders[4] = slipping;
    const std::string first = "invalid order: trigger orders are not supported by VORN API; use market";
    EXPECT_EQ(outcome(s.sign_all(orders, uint64_t{1})), first);
    EXPECT_EQ(outcome(prepare_all_orders(orders, SignatureDomain::Mainnet, s.pubkey(), std::nullopt, uint64_t{1})),
              first);

    s.set_compute_batch_order_ids(true);
    auto ok = s.sign_orders_batch({limits(2), {Cancel{Hash{}, "A"}}, limits(1)}, uint64_t{50});
    ASSERT_TRUE(ok) << outcome(ok);
    const size_t ids[] = {2, 0, 1};  // order_ids for two items, order_id for one, none for a cancel
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ((*ok)[i].nonce, 50 + i);
        EXPECT_EQ((*ok)[i].order_ids ? (*ok)[i].order_ids->size() : (*ok)[i].order_id ? 1 : 0, ids[i]) << i;
    }
    EXPECT_EQ(outcome(s.sign_orders_batch({limits(1), {}}, uint64_t{1})), "orders array cannot be empty");
}
