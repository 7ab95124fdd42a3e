// The nonce clock drawn from several threads at once (also run under
// ThreadSanitizer): no value is handed out twice, whatever mix of draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>

#include "nonce/nonce.hpp"
#include "test_util.hpp"

using namespace vorn_test;

namespace {

constexpr int kThreads = 4;

// Runs draw(thread, out) on kThreads threads; returns every value drawn.
template <class Draw>
std::vector<std::vector<uint64_t>> on_threads(int per_thread, Draw draw) {
    std::vector<std::vector<uint64_t>> drawn(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < per_thread; ++i) draw(t, drawn[t]);
        });
    for (auto& th : threads) th.join();
    return drawn;
}

std::vector<uint64_t> all_sorted(const std::vector<std::vector<uint64_t>>& drawn) {
    std::vector<uint64_t> all;
    for (const auto& v : drawn) all.insert(all.end(), v.begin(), v.end());
    std::sort(all.begin(), all.end());
    return all;
}

}  // namespace

TEST(ConcurrentNonces, MixedDrawsNeverRepeatAndIncreasePerThread) {
    auto hf = *Signer::with_nonce_manager(seed_keypair(4), NonceStrategy::HighFrequency, "mainnet");
    auto drawn = on_threads(3000, [&](int t, std::vector<uint64_t>& out) {
        if (t == 0) {
            out.push_back(*unique_timestamp());
        } else if (t == 1) {
            out.push_back(*hf.next_nonce());
        } else {
            const uint64_t base = *reserve_timestamp_range(7);
            for (uint64_t k = 0; k < 7; ++k) out.push_back(base + k);
        }
    });
    for (const auto& v : drawn) EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
    auto all = all_sorted(drawn);
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
}

TEST(ConcurrentNonces, StaleClockGivesOneContiguousRun) {
    // Every thread sees the same stale reading: the swaps hand out exactly
    // last + 1, last + 2, ... with no gap and no repeat.
    const uint64_t start = *unique_timestamp();
    auto all = all_sorted(on_threads(5000, [&](int, std::vector<uint64_t>& out) {
        out.push_back(unique_timestamp_from(start - 1000));
    }));
    ASSERT_EQ(all.size(), 4u * 5000u);
    for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], start + 1 + i);
}

TEST(ConcurrentNonces, CounterHandsOutEveryValueOnce) {
    auto s = *Signer::with_nonce_manager(seed_keypair(7), NonceStrategy::Counter, "mainnet");
    auto all = all_sorted(on_threads(10000, [&](int, std::vector<uint64_t>& out) { out.push_back(*s.next_nonce()); }));
    for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], i);
    EXPECT_EQ(s.nonce_counter(), 4u * 10000u);
}
