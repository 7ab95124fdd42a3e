// Batches below the parallel threshold, base nonce selection and the
// sequential runner (parallel batches: test_concurrency_sign).
#include <gtest/gtest.h>

#include <limits>
#include <thread>

#include "sign/pool.hpp"
#include "test_sign_fixtures.hpp"

using namespace vorn;
using namespace vorn_test;

namespace {

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

std::vector<OrderItem> distinct_orders(size_t n) {
    std::vector<OrderItem> out;
    for (size_t i = 0; i < n; ++i) out.push_back(limit_order("BTC-USD", i % 2 == 0, 100.0 + i, 1.0 + i));
    return out;
}

}  // namespace

TEST(SequentialRunner, RunsInOrderOnTheCallingThread) {
    std::vector<size_t> calls;
    auto caller = std::this_thread::get_id();
    bool same_thread = true;
    auto r = run_indexed<int>(kParallelThreshold - 1, [&](size_t i) -> Result<int> {
        calls.push_back(i);
        same_thread = same_thread && std::this_thread::get_id() == caller;
        return static_cast<int>(i * 10);
    });
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80}));
    EXPECT_EQ(calls, (std::vector<size_t>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_TRUE(same_thread);
}

TEST(SequentialRunner, FirstFailureStopsTheBatch) {
    std::vector<size_t> calls;
    auto r = run_indexed<int>(8, [&](size_t i) -> Result<int> {
        calls.push_back(i);
        if (i == 3) return fail(Error::invalid_order("third"));
        if (i == 5) return fail(Error::invalid_order("fifth"));
        return 1;
    });
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().display(), "invalid order: third");
    EXPECT_EQ(calls, (std::vector<size_t>{0, 1, 2, 3}));
    auto empty = run_indexed<int>(0, [](size_t) -> Result<int> { return fail(Error::empty_orders()); });
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

TEST(SignAllSequential, NineOrdersGetBasePlusIndexInOrder) {
    Signer s = make_signer();
    auto orders = distinct_orders(9);
    auto txs = s.sign_all(orders, uint64_t{1000});
    ASSERT_TRUE(txs) << error_text(txs.error());
    ASSERT_EQ(txs->size(), 9u);
    std::vector<uint8_t> scratch;
    for (size_t i = 0; i < 9; ++i) {
        const auto& tx = (*txs)[i];
        EXPECT_EQ(tx.nonce, 1000 + i);
        EXPECT_EQ(tx.actions, action_to_json(Action{Orders{{orders[i]}}}).value());
        auto id = compute_order_item_id_with_seqno(orders[i], 0, 1000 + i, s.pubkey(), scratch);
        ASSERT_TRUE(id && tx.order_id);
        EXPECT_EQ(*tx.order_id, id->to_base58());
        EXPECT_FALSE(tx.order_ids);
        EXPECT_TRUE(signature_verifies(s.pubkey(), single_item_message(orders[i], SignatureDomain::Mainnet, 1000 + i, s.pubkey()),
                                       tx.signature));
    }
}

TEST(SignAllSequential, NoncesWrapAtU64Max) {
    Signer s = make_signer();
    auto txs = s.sign_all(distinct_orders(2), kMax);
    ASSERT_TRUE(txs);
    ASSERT_EQ(txs->size(), 2u);
    EXPECT_EQ((*txs)[0].nonce, kMax);
    EXPECT_EQ((*txs)[1].nonce, 0u);
}

TEST(SignAllSequential, EmptyBatchDrawsNoNonce) {
    Signer s = make_signer();
    unique_timestamp();
    uint64_t before = LAST_TIMESTAMP_NANOS.load();
    auto txs = s.sign_all({}, std::nullopt);
    ASSERT_TRUE(txs);
    EXPECT_TRUE(txs->empty());
    auto batches = s.sign_orders_batch({}, std::nullopt);
    ASSERT_TRUE(batches);
    EXPECT_TRUE(batches->empty());
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), before);
}

TEST(SignAllSequential, CounterSignerGetsATimestampBase) {
    Signer s = make_counter_signer();
    unique_timestamp();
    uint64_t before = LAST_TIMESTAMP_NANOS.load();
    auto txs = s.sign_all(distinct_orders(4), std::nullopt);
    ASSERT_TRUE(txs);
    uint64_t base = (*txs)[0].nonce;
    EXPECT_GT(base, before);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ((*txs)[i].nonce, base + i);
    EXPECT_EQ(s.nonce_counter(), 0u);
    // The whole range is reserved: the next timestamp lies past the batch.
    EXPECT_GE(LAST_TIMESTAMP_NANOS.load(), base + 3);
    EXPECT_GT(*unique_timestamp(), base + 3);
}

TEST(SignAllSequential, FirstFailingElementFailsTheCall) {
    Signer s = make_signer();
    auto orders = distinct_orders(5);
    orders[2] = resting_trigger_order();
    orders[4] = limit_order("BTC-USD", true, 1, 1);
    std::get<Order>(orders[4].v).slippage = 0.1;
    auto txs = s.sign_all(orders, uint64_t{1});
    ASSERT_FALSE(txs);
    EXPECT_EQ(error_text(txs.error()), "invalid order: trigger orders are not supported by VORN API; use market");
}

TEST(SignOrdersBatchSequential, OneTransactionPerInnerList) {
    Signer s = make_signer();
    s.set_compute_batch_order_ids(true);
    std::vector<std::vector<OrderItem>> batches = {
        {limit_order("A", true, 1, 1), limit_order("B", false, 2, 2)},
        {cancel("A", 1)},
        {limit_order("C", true, 3, 3)},
    };
    auto txs = s.sign_orders_batch(batches, uint64_t{50});
    ASSERT_TRUE(txs) << error_text(txs.error());
    ASSERT_EQ(txs->size(), 3u);
    EXPECT_EQ((*txs)[0].nonce, 50u);
    EXPECT_EQ((*txs)[0].actions.size(), 2u);
    ASSERT_TRUE((*txs)[0].order_ids);
    EXPECT_EQ((*txs)[0].order_ids->size(), 2u);
    EXPECT_FALSE((*txs)[0].order_id);
    EXPECT_EQ((*txs)[1].nonce, 51u);
    EXPECT_FALSE((*txs)[1].order_id);
    EXPECT_EQ((*txs)[2].nonce, 52u);
    EXPECT_TRUE((*txs)[2].order_id);
    std::vector<uint8_t> msg;
    ASSERT_TRUE(serialize_for_sdk_signing(Action{Orders{batches[0]}}, 1, 50, s.pubkey(), msg));
    EXPECT_TRUE(signature_verifies(s.pubkey(), msg, (*txs)[0].signature));
}

TEST(SignOrdersBatchSequential, EmptyInnerListIsRefused) {
    Signer s = make_signer();
    auto txs = s.sign_orders_batch({{limit_order("A", true, 1, 1)}, {}}, uint64_t{1});
    ASSERT_FALSE(txs);
    EXPECT_EQ(error_text(txs.error()), "orders array cannot be empty");
}
