// Batches, signed and prepared (one driver): element i is its own message
// with nonce base + i, results in input order, below 10 elements on the
// calling thread and from 10 on the worker pool (this file also runs under
// ThreadSanitizer); one error and no list when an element fails. Orders
// batches go through the same driver; their results are golden cases.
#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <thread>

#include "test_util.hpp"

using namespace vorn_test;

namespace {

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
const std::string kTrigger = "invalid order: trigger orders are not supported by VORN API; use market";
const std::string kSlippage = "invalid order: slippage is only supported on market orders";

std::vector<OrderItem> orders(size_t n) {
    std::vector<OrderItem> out;
    for (size_t i = 0; i < n; ++i) {
        Order o = limit_order(i % 3 ? "BTC-USD" : "ETH-USD", i % 2 == 0, 100.0 + i, 1.0 + i);
        if (i % 3 == 2) o.order_type = TriggerType{true, 0.0};  // market
        out.push_back(o);
    }
    return out;
}

Order refused(bool resting) {
    Order o = limit_order("BTC-USD", true, 1, 1);
    if (resting) o.order_type = TriggerType{false, 99.0};
    else o.slippage = 0.5;
    return o;
}

void expect_batch(const Signer& s, const std::vector<OrderItem>& items, const std::vector<SignedTransaction>& txs,
                  uint64_t base) {
    ASSERT_EQ(txs.size(), items.size());
    for (size_t i = 0; i < items.size(); ++i) expect_signed_as_prepared(txs[i], Action{Orders{{items[i]}}}, s, base + i);
}

}  // namespace

TEST(Batch, BasePlusIndexInInputOrderOnBothSidesOfThePool) {
    const Signer s = *Signer::create(seed_keypair(9), "devnet");
    const Pubkey agent = seed_keypair(8).pubkey();
    for (auto [n, base] : {std::pair<size_t, uint64_t>{2, kMax}, {9, 1000}, {10, 500}, {12, kMax - 4}, {300, 1}}) {
        const auto items = orders(n);
        auto txs = s.sign_all(items, base);
        ASSERT_TRUE(txs) << outcome(txs);
        expect_batch(s, items, *txs, base);  // base + i wraps past u64 max
        auto prepared = prepare_all_orders(items, SignatureDomain::Devnet, s.pubkey(), agent, base);
        ASSERT_TRUE(prepared && prepared->size() == n) << outcome(prepared);
        for (size_t i = 0; i < n; ++i) {
            EXPECT_EQ((*prepared)[i].nonce, base + i);
            EXPECT_EQ((*prepared)[i].signer, agent.to_base58());
            EXPECT_EQ((*prepared)[i].order_id, (*txs)[i].order_id);
            EXPECT_FALSE((*txs)[i].order_ids || (*prepared)[i].order_ids);
            EXPECT_TRUE(verifies(s.pubkey(), (*prepared)[i].message_bytes, (*txs)[i].signature));
        }
    }
}

TEST(Batch, AFailingElementFailsTheCall) {
    const Signer s = *Signer::create(seed_keypair(7), "mainnet");
    auto few = orders(5), many = orders(64);
    few[2] = many[3] = refused(true);
    few[4] = many[60] = refused(false);
    // Below the pool the first failure in input order; on the pool either one.
    EXPECT_EQ(outcome(s.sign_all(few, uint64_t{1})), kTrigger);
    EXPECT_EQ(outcome(prepare_all_orders(few, SignatureDomain::Mainnet, s.pubkey(), std::nullopt, uint64_t{1})), kTrigger);
    for (const std::string& text : {outcome(s.sign_all(many, uint64_t{1})),
                                   outcome(prepare_all_orders(many, SignatureDomain::Mainnet, s.pubkey(), std::nullopt, uint64_t{1}))})
        EXPECT_TRUE(text == kTrigger || text == kSlippage) << text;
}

TEST(Batch, SeveralCallersShareOneSignerWithoutSharingNonces) {
    const Signer s = *Signer::create(seed_keypair(7), "mainnet");
    const auto items = orders(30);
    std::vector<std::vector<SignedTransaction>> results(3);
    std::vector<uint64_t> stamps;
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round)
                if (auto r = s.sign_all(items, std::nullopt)) results[t].insert(results[t].end(), r->begin(), r->end());
        });
    threads.emplace_back([&] {
        for (int i = 0; i < 2000; ++i) stamps.push_back(*unique_timestamp());
    });
    for (auto& th : threads) th.join();
    std::set<uint64_t> used(stamps.begin(), stamps.end());
    for (const auto& txs : results) {
        ASSERT_EQ(txs.size(), 90u);
        for (size_t round = 0; round < 3; ++round) {
            const std::vector<SignedTransaction> one(txs.begin() + 30 * round, txs.begin() + 30 * (round + 1));
            expect_batch(s, items, one, one[0].nonce);
        }
        for (const auto& tx : txs) EXPECT_TRUE(used.insert(tx.nonce).second) << tx.nonce;
    }
}
