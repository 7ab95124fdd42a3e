// Batches, signed and prepared (one driver): element i is its own message
// with nonce base + i, results in input order, below 10 elements on the
// calling thread and from 10 on the worker pool (this file also runs under
// ThreadSanitizer); one error and no list when an element fails. Orders
// batches go through the same driver; their results are golden cases.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <limits>
#include <memory>
#include <set>
#include <stdexcept>
#include <thread>

#include "pool/pool.hpp"
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
    // The first failure in input order, below the pool and on it.
    for (const auto* items : {&few, &many}) {
        EXPECT_EQ(outcome(s.sign_all(*items, uint64_t{1})), kTrigger);
        EXPECT_EQ(outcome(prepare_all_orders(*items, SignatureDomain::Mainnet, s.pubkey(), std::nullopt, uint64_t{1})),
                  kTrigger);
    }
}

// The driver itself, with jobs whose failures and timing the test controls.
struct Drive {
    size_t n = 100;
    std::optional<uint64_t> base = 1000;
    std::set<size_t> fail;                        // jobs that fail with "element <i>"
    std::optional<size_t> slow, read_fails, take_fails, throws;
    std::function<void(size_t)> on_read;          // user code run by a read
    // Results
    std::string end;
    std::vector<size_t> taken;
    std::vector<uint64_t> nonces;
    std::atomic<size_t> reads{0}, jobs{0};
    bool job_before_read = false;

    void run() {
        auto r = run_streamed<uint64_t>(
            n, base,
            [&](size_t i) {
                if (on_read) on_read(i);
                if (read_fails == i) return false;
                reads.store(i + 1, std::memory_order_release);
                return true;
            },
            [&](size_t i, uint64_t nonce) -> Result<uint64_t> {
                jobs.fetch_add(1);
                if (reads.load(std::memory_order_acquire) <= i) job_before_read = true;
                if (slow == i) std::this_thread::sleep_for(std::chrono::milliseconds(30));
                if (throws == i) throw std::runtime_error("thrown");
                if (fail.count(i)) return vorn::fail(Error::invalid_order("element " + std::to_string(i)));
                return nonce;
            },
            [&](size_t i, uint64_t&& nonce) {
                taken.push_back(i);
                nonces.push_back(nonce);
                return take_fails != i;
            });
        end = !r ? r.error().display() : *r == BatchEnd::Done ? "done" : "caller failed";
    }
};

TEST(Batch, TheDriverTakesInOrderAndReportsTheFirstFailure) {
    auto drive = [](auto setup) {
        auto d = std::make_unique<Drive>();
        setup(*d);
        d->run();
        EXPECT_FALSE(d->job_before_read);
        return d;
    };
    auto all = drive([](Drive& d) { d.base = kMax - 1; });
    EXPECT_EQ(all->end, "done");
    ASSERT_EQ(all->taken.size(), 100u);
    for (size_t i = 0; i < 100; ++i) EXPECT_TRUE(all->taken[i] == i && all->nonces[i] == kMax - 1 + i) << i;
    // Element 41 fails while 40 is still running: the report is 40's.
    EXPECT_EQ(drive([](Drive& d) { d.fail = {40, 41}, d.slow = 40; })->end, "invalid order: element 40");
    auto few = drive([](Drive& d) { d.n = 5, d.fail = {1, 3}; });  // on the calling thread: stops at 1
    EXPECT_TRUE(few->end == "invalid order: element 1" && few->jobs == 2 && few->taken.empty());
    // A read that fails wins over a refused element, and every element
    // before it is read first.
    auto unread = drive([](Drive& d) { d.fail = {10}, d.read_fails = 60; });
    EXPECT_TRUE(unread->end == "caller failed" && unread->reads == 60 && unread->taken.empty());
    auto untaken = drive([](Drive& d) { d.take_fails = 20; });
    EXPECT_EQ(untaken->end, "caller failed");
    EXPECT_EQ(untaken->taken.size(), 21u);
    EXPECT_THROW(drive([](Drive& d) { d.throws = 30; }), std::runtime_error);
    auto none = drive([](Drive& d) { d.n = 0; });
    EXPECT_TRUE(none->end == "done" && none->reads == 0 && none->jobs == 0);
    // A batch run from inside a read (user code) finishes, and so does the
    // outer one.
    std::string inner_end;
    auto outer = drive([&](Drive& d) {
        d.on_read = [&](size_t i) {
            if (i != 50) return;
            Drive inner;
            inner.n = 30;
            inner.run();
            inner_end = inner.end;
        };
    });
    EXPECT_EQ(outer->end, "done");
    EXPECT_EQ(inner_end, "done");
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
