// The nonce clock drawn from several threads at once (also run under
// ThreadSanitizer).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>
#include <vector>

#include "sign/nonce.hpp"
#include "test_sign_fixtures.hpp"

using namespace vorn;
using namespace vorn_test;

namespace {

constexpr int kThreads = 4;

// Runs body(t) on kThreads threads and waits for all of them.
template <class Body>
void on_threads(Body body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back([&body, t] { body(t); });
    for (auto& th : threads) th.join();
}

}  // namespace

TEST(ConcurrentNonces, UniqueTimestampsAreDistinctAndIncreasingPerThread) {
    constexpr int kPerThread = 20000;
    std::vector<std::vector<uint64_t>> drawn(kThreads);
    on_threads([&](int t) {
        drawn[t].reserve(kPerThread);
        for (int i = 0; i < kPerThread; ++i) drawn[t].push_back(*unique_timestamp());
    });
    std::set<uint64_t> all;
    for (const auto& v : drawn) {
        EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
        EXPECT_EQ(std::adjacent_find(v.begin(), v.end()), v.end());
        all.insert(v.begin(), v.end());
    }
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kPerThread));
}

TEST(ConcurrentNonces, ClockBehindGivesOneContiguousRun) {
    // Every thread sees the same stale clock reading: the swaps hand out
    // exactly last + 1, last + 2, ... with no gap and no repeat.
    constexpr int kPerThread = 5000;
    uint64_t start = *unique_timestamp();
    std::vector<std::vector<uint64_t>> drawn(kThreads);
    on_threads([&](int t) {
        for (int i = 0; i < kPerThread; ++i) drawn[t].push_back(unique_timestamp_from(start - 1000));
    });
    std::vector<uint64_t> all;
    for (const auto& v : drawn) all.insert(all.end(), v.begin(), v.end());
    std::sort(all.begin(), all.end());
    ASSERT_EQ(all.size(), static_cast<size_t>(kThreads * kPerThread));
    for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], start + 1 + i);
}

TEST(ConcurrentNonces, ReservedRangesNeverOverlapOtherTimestamps) {
    constexpr int kPerThread = 3000;
    constexpr uint64_t kRange = 7;
    std::vector<std::vector<uint64_t>> drawn(kThreads);
    on_threads([&](int t) {
        for (int i = 0; i < kPerThread; ++i) {
            if (t % 2 == 0) {
                uint64_t base = *reserve_timestamp_range(kRange);
                for (uint64_t k = 0; k < kRange; ++k) drawn[t].push_back(base + k);
            } else {
                drawn[t].push_back(*unique_timestamp());
            }
        }
    });
    std::set<uint64_t> all;
    size_t total = 0;
    for (const auto& v : drawn) {
        total += v.size();
        all.insert(v.begin(), v.end());
    }
    EXPECT_EQ(all.size(), total);
}

TEST(ConcurrentNonces, CounterHandsOutEveryValueOnce) {
    constexpr int kPerThread = 10000;
    Signer s = make_counter_signer();
    std::vector<std::vector<uint64_t>> drawn(kThreads);
    on_threads([&](int t) {
        for (int i = 0; i < kPerThread; ++i) drawn[t].push_back(*s.next_nonce());
    });
    std::vector<uint64_t> all;
    for (const auto& v : drawn) all.insert(all.end(), v.begin(), v.end());
    std::sort(all.begin(), all.end());
    for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], i);
    EXPECT_EQ(s.nonce_counter(), static_cast<uint64_t>(kThreads * kPerThread));
}

TEST(ConcurrentNonces, HighFrequencySharedByThreadsStaysUnique) {
    constexpr int kPerThread = 10000;
    auto hf = Signer::with_nonce_manager(seed_keypair(4), NonceStrategy::HighFrequency, "mainnet");
    Signer ts = make_signer();
    ASSERT_TRUE(hf);
    std::vector<std::vector<uint64_t>> drawn(kThreads);
    on_threads([&](int t) {
        for (int i = 0; i < kPerThread; ++i) drawn[t].push_back(t == 0 ? *ts.next_nonce() : *hf->next_nonce());
    });
    std::set<uint64_t> all;
    for (const auto& v : drawn) {
        EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
        all.insert(v.begin(), v.end());
    }
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kPerThread));
}
