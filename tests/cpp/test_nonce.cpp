// Nonces on one thread: clock conversion, the process-wide unique timestamp,
// batch range reservation and the per-signer strategies (several threads:
// test_concurrency_nonce; what a Signer draws is checked from Python,
// tests/python/test_threads.py).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <limits>

#include "nonce/nonce.hpp"
#include "test_util.hpp"

using namespace vorn_test;

namespace {

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

// A clock reading safely ahead of everything handed out so far.
uint64_t ahead() { return LAST_TIMESTAMP_NANOS.load() + 1000; }

}  // namespace

TEST(NonceClock, ConversionAndFaults) {
    struct Case {
        int64_t s, ns;
        const char* expect;  // the value, or a text the fault must contain
    };
    const Case cases[] = {
        {0, 0, "0"},
        {1, 5, "1000000005"},
        {1700000000, 123456789, "1700000000123456789"},
        {18446744073, 709551615, "18446744073709551615"},  // u64 max, in 2554
        {18446744073, 709551616, "Unix timestamp in nanoseconds exceeds u64"},
        {std::numeric_limits<int64_t>::max(), 999999999, "Unix timestamp in nanoseconds exceeds u64"},
        {-1, 0, "time went backwards"},
        {-1, 500000000, "time went backwards"},  // half a second before 1970
    };
    for (const Case& c : cases) {
        auto r = nanos_from_clock_reading(c.s, c.ns);
        const std::string got = r ? std::to_string(*r) : outcome(r);
        EXPECT_TRUE(r ? got == c.expect : got.find(c.expect) != std::string::npos) << c.s << " " << c.ns << ": " << got;
    }
    const uint64_t before = std::chrono::system_clock::now().time_since_epoch() / std::chrono::nanoseconds(1);
    EXPECT_GE(*clock_nanos(), before);
    EXPECT_LT(*clock_nanos(), before + 10'000'000'000u);
}

TEST(UniqueTimestamp, FollowsTheClockOrStepsPastTheLastValue) {
    const uint64_t now = ahead();
    EXPECT_EQ(unique_timestamp_from(now), now);
    EXPECT_EQ(unique_timestamp_from(now), now + 1);         // same nanosecond
    EXPECT_EQ(unique_timestamp_from(now - 5000), now + 2);  // clock stepped back
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), now + 2);
    uint64_t prev = *unique_timestamp();
    for (int i = 0; i < 1000; ++i) {
        const uint64_t t = *unique_timestamp();
        ASSERT_GT(t, prev);
        prev = t;
    }
}

TEST(UniqueTimestamp, BatchRangesAreReservedWhole) {
    uint64_t now = ahead();
    EXPECT_EQ(reserve_timestamp_range_from(now, 5), now);  // drawn as a unique timestamp
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), now + 4);
    EXPECT_EQ(unique_timestamp_from(now - 5000), now + 5);  // past the batch after a step back
    EXPECT_EQ(reserve_timestamp_range_from(now, 3), now + 6);  // clock behind: last + 1
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), now + 8);
    now = ahead();
    EXPECT_EQ(reserve_timestamp_range_from(now, 1), now);
    EXPECT_EQ(reserve_timestamp_range_from(now, 0), now + 1);
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), now + 1);

    // An explicit base and an empty batch leave the clock alone.
    const uint64_t before = LAST_TIMESTAMP_NANOS.load();
    EXPECT_EQ(*batch_base_nonce(uint64_t{42}, 100), 42u);
    ASSERT_TRUE(batch_base_nonce(std::nullopt, 0));
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), before);
    const uint64_t base = *batch_base_nonce(std::nullopt, 25);
    EXPECT_GE(*unique_timestamp(), base + 25);
}

// Saturation pins the process-wide value at u64 max for good: a child process.
TEST(NonceSaturationDeathTest, SaturatesInsteadOfWrapping) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            bool ok = reserve_timestamp_range_from(kMax - 10, 100) == kMax - 10 && LAST_TIMESTAMP_NANOS.load() == kMax;
            ok = ok && unique_timestamp_from(5) == kMax && unique_timestamp_from(kMax) == kMax;
            auto t = unique_timestamp();
            std::exit(ok && t && *t == kMax ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(NonceStrategies, CounterIsPerSignerSurvivesAMoveAndNeverReadsTheClock) {
    for (auto s : {NonceStrategy::Timestamp, NonceStrategy::Counter, NonceStrategy::HighFrequency})
        EXPECT_EQ(nonce_strategy_from_name(nonce_strategy_name(s)), s);
    for (const char* bad : {"Counter", " counter", "counter ", "TIMESTAMP", "high-frequency", ""})
        EXPECT_FALSE(nonce_strategy_from_name(bad)) << bad;
    NonceState a(NonceStrategy::Counter), b(NonceStrategy::Counter);
    const uint64_t last = LAST_TIMESTAMP_NANOS.load();
    EXPECT_EQ(*a.next(), 0u);
    EXPECT_EQ(*a.next(), 1u);
    EXPECT_EQ(*b.next(), 0u);
    NonceState moved(std::move(a));
    EXPECT_EQ(*moved.next(), 2u);
    EXPECT_EQ(moved.counter_value(), 3u);
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), last);
}

TEST(NonceStrategies, TimestampAndHighFrequency) {
    NonceState none, ts(NonceStrategy::Timestamp), hf(NonceStrategy::HighFrequency);
    const uint64_t a = *none.next(), b = *ts.next(), c = *unique_timestamp();
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);  // both share the process clock
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), c);
    EXPECT_GT(*hf.next(), c);  // uniqueness under contention: test_concurrency_nonce
    // The high-frequency step: the larger of t and its own last value + 1.
    NonceState step(NonceStrategy::HighFrequency);
    const std::pair<uint64_t, uint64_t> table[] = {{1000, 1000}, {500, 1001}, {5000, 5000}, {kMax, kMax}, {1, kMax}};
    for (auto [t, expect] : table) EXPECT_EQ(step.high_frequency_after(t), expect) << t;
}
