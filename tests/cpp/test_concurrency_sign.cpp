// Batches from 10 elements on run on the worker pool (also run under
// ThreadSanitizer): results in input order, base + i nonces, one error and no
// list when any element fails, and several callers sharing one signer.
#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <thread>

#include "test_util.hpp"

using namespace vorn_test;

namespace {

std::vector<OrderItem> distinct_orders(size_t n) {
    std::vector<OrderItem> out;
    for (size_t i = 0; i < n; ++i) {
        Order o = limit_order(i % 3 ? "BTC-USD" : "ETH-USD", i % 2 == 0, 100.0 + i, 1.0 + i);
        if (i % 3 == 2) o.order_type = TriggerType{true, 0.0};  // market
        out.push_back(o);
    }
    return out;
}

void expect_batch(const Signer& s, const std::vector<OrderItem>& orders, const std::vector<SignedTransaction>& txs,
                  uint64_t base) {
    ASSERT_EQ(txs.size(), orders.size());
    for (size_t i = 0; i < orders.size(); ++i) expect_signed_as_prepared(txs[i], Action{Orders{{orders[i]}}}, s, base + i);
}

}  // namespace

TEST(ParallelBatch, InputOrderAndBasePlusIndexWrapping) {
    const Signer s = *Signer::create(seed_keypair(9), "devnet");
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    for (auto [n, base] : {std::pair<size_t, uint64_t>{10, 500}, {300, 1}, {12, kMax - 4}}) {
        auto orders = distinct_orders(n);
        auto txs = s.sign_all(orders, base);
        ASSERT_TRUE(txs) << outcome(txs);
        expect_batch(s, orders, *txs, base);  // base + i wraps past u64 max
    }
}

TEST(ParallelBatch, AnyFailingElementFailsTheCall) {
    const Signer s = *Signer::create(seed_keypair(7), "mainnet");
    auto orders = distinct_orders(64);
    Order resting = limit_order("BTC-USD", true, 1, 1);
    resting.order_type = TriggerType{false, 99.0};
    Order slipping = limit_order("BTC-USD", true, 1, 1);
    slipping.slippage = 0.5;
    orders[3] = resting;
    orders[60] = slipping;
    auto r = s.sign_all(orders, uint64_t{1});
    const std::string text = outcome(r);
    EXPECT_TRUE(text == "invalid order: trigger orders are not supported by VORN API; use market" ||
                text == "invalid order: slippage is only supported on market orders")
        << text;
}

TEST(ParallelBatch, OrdersBatchOnThePool) {
    Signer s = *Signer::create(seed_keypair(7), "mainnet");
    s.set_compute_batch_order_ids(true);
    std::vector<std::vector<OrderItem>> batches;
    for (uint8_t i = 0; i < 12; ++i) {
        Cancel c{Hash{}, "BTC-USD"};
        c.order_id.bytes.fill(i);
        batches.push_back({c, limit_order("BTC-USD", true, 10.0 + i, 1)});
    }
    auto txs = s.sign_orders_batch(batches, uint64_t{900});
    ASSERT_TRUE(txs) << outcome(txs);
    ASSERT_EQ(txs->size(), 12u);
    for (size_t i = 0; i < 12; ++i) {
        auto p = prepare_action(Action{Orders{batches[i]}}, SignatureDomain::Mainnet, s.pubkey(), std::nullopt, 900 + i);
        ASSERT_TRUE(p && p->order_ids);
        EXPECT_EQ((*txs)[i].order_ids, p->order_ids);
        EXPECT_EQ((*txs)[i].nonce, 900 + i);
        EXPECT_TRUE(verifies(s.pubkey(), p->message_bytes, (*txs)[i].signature));
    }
    batches[7].clear();
    EXPECT_EQ(outcome(s.sign_orders_batch(batches, uint64_t{900})), "orders array cannot be empty");
}

TEST(ParallelBatch, SeveralCallersShareOneSignerWithoutSharingNonces) {
    const Signer s = *Signer::create(seed_keypair(7), "mainnet");
    const auto orders = distinct_orders(30);
    std::vector<std::vector<SignedTransaction>> results(3);
    std::vector<uint64_t> stamps;
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round) {
                auto r = s.sign_all(orders, std::nullopt);
                if (r) results[t].insert(results[t].end(), r->begin(), r->end());
            }
        });
    threads.emplace_back([&] {
        for (int i = 0; i < 2000; ++i) stamps.push_back(*unique_timestamp());
    });
    for (auto& th : threads) th.join();

    std::set<uint64_t> used(stamps.begin(), stamps.end());
    for (const auto& txs : results) {
        ASSERT_EQ(txs.size(), 90u);
        for (size_t round = 0; round < 3; ++round) {
            std::vector<SignedTransaction> one(txs.begin() + 30 * round, txs.begin() + 30 * (round + 1));
            expect_batch(s, orders, one, one[0].nonce);
        }
        for (const auto& tx : txs) EXPECT_TRUE(used.insert(tx.nonce).second) << tx.nonce;
    }
}
