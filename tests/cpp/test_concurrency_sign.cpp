// Batches on the worker pool (also run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <thread>

#include "sign/pool.hpp"
#include "test_sign_fixtures.hpp"

using namespace vorn;
using namespace vorn_test;

namespace {

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

std::vector<OrderItem> distinct_orders(size_t n) {
    std::vector<OrderItem> out;
    for (size_t i = 0; i < n; ++i)
        out.push_back(i % 3 == 2 ? market_order("ETH-USD", i % 2 == 0, 0.5 + i)
                                 : limit_order("BTC-USD", i % 2 == 0, 100.0 + i, 1.0 + i));
    return out;
}

// Checks a batch result element by element against the input.
void expect_batch(const Signer& s, const std::vector<OrderItem>& orders, const std::vector<SignedTransaction>& txs,
                  uint64_t base) {
    ASSERT_EQ(txs.size(), orders.size());
    std::vector<uint8_t> scratch;
    for (size_t i = 0; i < orders.size(); ++i) {
        const uint64_t nonce = base + i;
        const auto& tx = txs[i];
        EXPECT_EQ(tx.nonce, nonce) << i;
        EXPECT_EQ(tx.actions, action_to_json(Action{Orders{{orders[i]}}}).value()) << i;
        auto id = compute_order_item_id_with_seqno(orders[i], 0, nonce, s.pubkey(), scratch);
        ASSERT_TRUE(id && tx.order_id) << i;
        EXPECT_EQ(*tx.order_id, id->to_base58()) << i;
        EXPECT_TRUE(signature_verifies(
            s.pubkey(), single_item_message(orders[i], s.signature_domain(), nonce, s.pubkey()), tx.signature))
            << i;
    }
}

}  // namespace

TEST(ParallelRunner, ResultsInIndexOrder) {
    auto r = run_indexed<uint64_t>(5000, [](size_t i) -> Result<uint64_t> { return uint64_t{i} * i; });
    ASSERT_TRUE(r);
    ASSERT_EQ(r->size(), 5000u);
    for (size_t i = 0; i < r->size(); ++i) ASSERT_EQ((*r)[i], uint64_t{i} * i);
    // Every batch runs on the one shared pool.
    PoolBatch first, second;
    EXPECT_EQ(&first.arena(), &second.arena());
}

TEST(ParallelRunner, AnyFailureFailsTheWholeBatch) {
    auto r = run_indexed<int>(2000, [](size_t i) -> Result<int> {
        if (i == 1500) return fail(Error::invalid_order("late"));
        if (i == 20) return fail(Error::invalid_order("early"));
        return 1;
    });
    ASSERT_FALSE(r);
    EXPECT_TRUE(r.error().display() == "invalid order: late" || r.error().display() == "invalid order: early")
        << r.error().display();
    auto at_threshold = run_indexed<int>(kParallelThreshold, [](size_t i) -> Result<int> {
        if (i == kParallelThreshold - 1) return fail(Error::empty_orders());
        return 0;
    });
    ASSERT_FALSE(at_threshold);
    EXPECT_EQ(at_threshold.error().kind, ErrorKind::EmptyOrders);
}

TEST(ParallelBatch, TenOrdersGetBasePlusIndexInOrder) {
    Signer s = make_signer();
    auto orders = distinct_orders(10);
    auto txs = s.sign_all(orders, uint64_t{500});
    ASSERT_TRUE(txs) << error_text(txs.error());
    expect_batch(s, orders, *txs, 500);
}

TEST(ParallelBatch, LargeBatchEqualsSequentialSigning) {
    Signer s = make_signer(9, "devnet");
    auto orders = distinct_orders(300);
    auto txs = s.sign_all(orders, uint64_t{1});
    ASSERT_TRUE(txs) << error_text(txs.error());
    expect_batch(s, orders, *txs, 1);
    for (size_t i = 0; i < orders.size(); i += 37) {
        auto one = s.sign_single_item(orders[i], 1 + i);
        ASSERT_TRUE(one);
        EXPECT_EQ(one->signature, (*txs)[i].signature);
    }
}

TEST(ParallelBatch, NoncesWrapAtU64Max) {
    Signer s = make_signer();
    auto orders = distinct_orders(12);
    auto txs = s.sign_all(orders, kMax - 4);
    ASSERT_TRUE(txs);
    EXPECT_EQ((*txs)[0].nonce, kMax - 4);
    EXPECT_EQ((*txs)[4].nonce, kMax);
    EXPECT_EQ((*txs)[5].nonce, 0u);
    EXPECT_EQ((*txs)[11].nonce, 6u);
    expect_batch(s, orders, *txs, kMax - 4);  // base + i wraps the same way
}

TEST(ParallelBatch, DrawnBaseReservesTheRange) {
    Signer s = make_counter_signer();
    auto txs = s.sign_all(distinct_orders(40), std::nullopt);
    ASSERT_TRUE(txs);
    uint64_t base = (*txs)[0].nonce;
    for (size_t i = 0; i < txs->size(); ++i) EXPECT_EQ((*txs)[i].nonce, base + i);
    EXPECT_EQ(s.nonce_counter(), 0u);
    EXPECT_GT(*unique_timestamp(), base + 39);
}

TEST(ParallelBatch, OneFailingElementFailsTheCall) {
    Signer s = make_signer();
    auto orders = distinct_orders(100);
    orders[61] = resting_trigger_order();
    auto txs = s.sign_all(orders, uint64_t{1});
    ASSERT_FALSE(txs);
    EXPECT_EQ(error_text(txs.error()), "invalid order: trigger orders are not supported by VORN API; use market");

    auto several = distinct_orders(64);
    several[3] = resting_trigger_order();
    several[60] = limit_order("BTC-USD", true, 1, 1);
    std::get<Order>(several[60].v).slippage = 0.5;
    auto r = s.sign_all(several, uint64_t{1});
    ASSERT_FALSE(r);
    std::string text = error_text(r.error());
    EXPECT_TRUE(text == "invalid order: trigger orders are not supported by VORN API; use market" ||
                text == "invalid order: slippage is only supported on market orders")
        << text;
}

TEST(ParallelBatch, OrdersBatchOnThePool) {
    Signer s = make_signer();
    s.set_compute_batch_order_ids(true);
    std::vector<std::vector<OrderItem>> batches;
    for (size_t i = 0; i < 12; ++i) batches.push_back({cancel("BTC-USD", static_cast<uint8_t>(i)),
                                                       limit_order("BTC-USD", true, 10.0 + i, 1)});
    auto txs = s.sign_orders_batch(batches, uint64_t{900});
    ASSERT_TRUE(txs) << error_text(txs.error());
    ASSERT_EQ(txs->size(), 12u);
    std::vector<uint8_t> scratch, msg;
    for (size_t i = 0; i < 12; ++i) {
        const auto& tx = (*txs)[i];
        EXPECT_EQ(tx.nonce, 900 + i);
        ASSERT_TRUE(tx.order_ids);
        auto id = compute_order_item_id_with_seqno(batches[i][1], 1, 900 + i, s.pubkey(), scratch);
        EXPECT_EQ(*tx.order_ids, std::vector<std::string>{id->to_base58()});
        ASSERT_TRUE(serialize_for_sdk_signing(Action{Orders{batches[i]}}, 1, 900 + i, s.pubkey(), msg));
        EXPECT_TRUE(signature_verifies(s.pubkey(), msg, tx.signature));
    }
    batches[7].clear();
    auto refused = s.sign_orders_batch(batches, uint64_t{900});
    ASSERT_FALSE(refused);
    EXPECT_EQ(error_text(refused.error()), "orders array cannot be empty");
}

TEST(ParallelBatch, SeveralCallersShareOneSigner) {
    Signer s = make_signer();
    auto orders = distinct_orders(30);
    constexpr int kCallers = 3;
    std::vector<Result<std::vector<SignedTransaction>>> results(kCallers, fail(Error::empty_orders()));
    std::vector<uint64_t> stamps;
    std::vector<std::thread> threads;
    for (int t = 0; t < kCallers; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round) results[t] = s.sign_all(orders, std::nullopt);
        });
    std::thread stamper([&] {
        for (int i = 0; i < 2000; ++i) stamps.push_back(*unique_timestamp());
    });
    for (auto& th : threads) th.join();
    stamper.join();

    std::set<uint64_t> used(stamps.begin(), stamps.end());
    for (const auto& r : results) {
        ASSERT_TRUE(r) << error_text(r.error());
        uint64_t base = (*r)[0].nonce;
        expect_batch(s, orders, *r, base);
        // No batch nonce repeats a timestamp or another batch's nonce.
        for (const auto& tx : *r) EXPECT_TRUE(used.insert(tx.nonce).second);
    }
}
