// The process-wide unique timestamp, batch range reservation and the
// per-signer strategies, on one thread (several threads: test_concurrency_nonce).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <limits>
#include <set>

#include "sign/nonce.hpp"
#include "test_sign_fixtures.hpp"

using namespace vorn;
using namespace vorn_test;

namespace {

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
constexpr uint64_t kSecond = 1000000000;

// A clock reading safely ahead of everything handed out so far.
uint64_t ahead_of_last(uint64_t by = 1000) { return LAST_TIMESTAMP_NANOS.load() + by; }

}  // namespace

TEST(NonceClock, ConvertsSecondsAndNanos) {
    auto t = nanos_from_clock_reading(1, 5);
    ASSERT_TRUE(t);
    EXPECT_EQ(*t, 1000000005u);
    auto sample = nanos_from_clock_reading(1700000000, 123456789);
    ASSERT_TRUE(sample);
    EXPECT_EQ(*sample, 1700000000123456789u);
    EXPECT_EQ(*nanos_from_clock_reading(0, 0), 0u);
}

TEST(NonceClock, BeforeEpochIsAFault) {
    auto t = nanos_from_clock_reading(-1, 0);
    ASSERT_FALSE(t);
    EXPECT_EQ(t.error().kind, ErrorKind::Internal);
    EXPECT_EQ(t.error().text, "time went backwards");
    // Half a second before the epoch, as a timespec represents it.
    auto half = nanos_from_clock_reading(-1, 500000000);
    ASSERT_FALSE(half);
    EXPECT_EQ(half.error().text, "time went backwards");
}

TEST(NonceClock, BeyondU64IsAFault) {
    // u64 max nanoseconds = 18446744073 s + 709551615 ns (in the year 2554).
    auto last_ok = nanos_from_clock_reading(18446744073, 709551615);
    ASSERT_TRUE(last_ok);
    EXPECT_EQ(*last_ok, kMax);
    auto over = nanos_from_clock_reading(18446744073, 709551616);
    ASSERT_FALSE(over);
    EXPECT_EQ(over.error().text, "Unix timestamp in nanoseconds exceeds u64");
    auto far = nanos_from_clock_reading(std::numeric_limits<int64_t>::max(), 999999999);
    ASSERT_FALSE(far);
    EXPECT_EQ(far.error().text, "Unix timestamp in nanoseconds exceeds u64");
}

TEST(NonceClock, ReadsTheWallClock) {
    auto before = std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
    auto t = clock_nanos();
    ASSERT_TRUE(t);
    EXPECT_GE(*t, static_cast<uint64_t>(before));
    EXPECT_LT(*t, static_cast<uint64_t>(before) + 10 * kSecond);
}

TEST(UniqueTimestamp, FollowsTheClockWhenAhead) {
    uint64_t now = ahead_of_last();
    EXPECT_EQ(unique_timestamp_from(now), now);
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), now);
}

TEST(UniqueTimestamp, SameNanosecondDiffersByOne) {
    uint64_t now = ahead_of_last();
    uint64_t a = unique_timestamp_from(now);
    uint64_t b = unique_timestamp_from(now);
    EXPECT_EQ(a, now);
    EXPECT_EQ(b, a + 1);
}

TEST(UniqueTimestamp, ClockSteppedBackGivesLastPlusOne) {
    uint64_t now = ahead_of_last();
    uint64_t first = unique_timestamp_from(now);
    uint64_t second = unique_timestamp_from(now - kSecond);
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), first + 1);
}

TEST(UniqueTimestamp, RealClockIsStrictlyIncreasing) {
    uint64_t prev = *unique_timestamp();
    for (int i = 0; i < 10000; ++i) {
        auto t = unique_timestamp();
        ASSERT_TRUE(t);
        ASSERT_GT(*t, prev);
        prev = *t;
    }
}

TEST(BatchReservation, RecordsTheLastNonceOfTheRange) {
    uint64_t now = ahead_of_last();
    uint64_t base = reserve_timestamp_range_from(now, 5);
    EXPECT_EQ(base, now);  // drawn exactly as a unique timestamp
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), base + 4);
    // The clock stepped back: the next timestamp still lies past the batch.
    EXPECT_EQ(unique_timestamp_from(now - kSecond), base + 5);
}

TEST(BatchReservation, BaseFollowsLastWhenClockIsBehind) {
    uint64_t last = unique_timestamp_from(ahead_of_last());
    uint64_t base = reserve_timestamp_range_from(last - 100, 3);
    EXPECT_EQ(base, last + 1);
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), last + 3);
}

TEST(BatchReservation, RangeOfOneIsAUniqueTimestamp) {
    uint64_t now = ahead_of_last();
    EXPECT_EQ(reserve_timestamp_range_from(now, 1), now);
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), now);
    EXPECT_EQ(reserve_timestamp_range_from(now, 0), now + 1);
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), now + 1);
}

TEST(BatchReservation, ExplicitBaseAndEmptyBatchLeaveTheClockAlone) {
    unique_timestamp_from(ahead_of_last());
    uint64_t before = LAST_TIMESTAMP_NANOS.load();
    auto explicit_base = batch_base_nonce(uint64_t{42}, 100);
    ASSERT_TRUE(explicit_base);
    EXPECT_EQ(*explicit_base, 42u);
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), before);
    ASSERT_TRUE(batch_base_nonce(std::nullopt, 0));
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), before);
}

TEST(BatchReservation, DrawnBaseReservesTheWholeBatch) {
    auto base = batch_base_nonce(std::nullopt, 25);
    ASSERT_TRUE(base);
    EXPECT_GE(LAST_TIMESTAMP_NANOS.load(), *base + 24);
    auto next = unique_timestamp();
    ASSERT_TRUE(next);
    EXPECT_GE(*next, *base + 25);
}

// Saturation pins the process-wide value at u64 max for good, so it runs in
// a child process.
TEST(NonceSaturationDeathTest, SaturatesAtMaxInsteadOfWrapping) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            bool ok = true;
            uint64_t base = reserve_timestamp_range_from(kMax - 10, 100);
            ok = ok && base == kMax - 10 && LAST_TIMESTAMP_NANOS.load() == kMax;
            ok = ok && unique_timestamp_from(5) == kMax;
            ok = ok && unique_timestamp_from(kMax) == kMax;
            auto t = unique_timestamp();
            ok = ok && t && *t == kMax;
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(NonceStrategyNames, ExactLowerCaseNamesOnly) {
    EXPECT_EQ(nonce_strategy_from_name("timestamp"), NonceStrategy::Timestamp);
    EXPECT_EQ(nonce_strategy_from_name("counter"), NonceStrategy::Counter);
    EXPECT_EQ(nonce_strategy_from_name("high_frequency"), NonceStrategy::HighFrequency);
    for (const char* bad : {"Counter", " counter", "counter ", "TIMESTAMP", "high-frequency", "highfrequency", ""})
        EXPECT_FALSE(nonce_strategy_from_name(bad)) << bad;
    EXPECT_STREQ(kInvalidNonceStrategy, "Invalid nonce strategy. Use 'timestamp', 'counter', or 'high_frequency'");
    EXPECT_STREQ(nonce_strategy_name(NonceStrategy::HighFrequency), "high_frequency");
}

TEST(NonceStrategies, CounterStartsAtZeroPerSigner) {
    NonceState a(NonceStrategy::Counter), b(NonceStrategy::Counter);
    uint64_t last_before = LAST_TIMESTAMP_NANOS.load();
    EXPECT_EQ(*a.next(), 0u);
    EXPECT_EQ(*a.next(), 1u);
    EXPECT_EQ(*b.next(), 0u);
    EXPECT_EQ(*a.next(), 2u);
    EXPECT_EQ(a.counter_value(), 3u);
    // The counter never reads the clock.
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), last_before);
}

TEST(NonceStrategies, CounterSurvivesAMove) {
    NonceState a(NonceStrategy::Counter);
    a.next();
    a.next();
    NonceState moved(std::move(a));
    EXPECT_EQ(*moved.next(), 2u);
    EXPECT_EQ(moved.strategy(), NonceStrategy::Counter);
}

TEST(NonceStrategies, TimestampAndNoStrategyShareTheProcessClock) {
    NonceState none, ts(NonceStrategy::Timestamp);
    EXPECT_FALSE(none.strategy());
    uint64_t a = *none.next();
    uint64_t b = *ts.next();
    uint64_t c = *unique_timestamp();
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), c);
    EXPECT_EQ(none.counter_value(), 0u);
}

TEST(NonceStrategies, HighFrequencyStepsPastItsOwnLastValue) {
    NonceState hf(NonceStrategy::HighFrequency);
    EXPECT_EQ(hf.high_frequency_after(1000), 1000u);
    EXPECT_EQ(hf.high_frequency_after(500), 1001u);  // behind its own last value
    EXPECT_EQ(hf.high_frequency_after(5000), 5000u);
    EXPECT_EQ(hf.high_frequency_after(kMax), kMax);
    EXPECT_EQ(hf.high_frequency_after(1), kMax);  // saturates, never wraps
}

TEST(NonceStrategies, HighFrequencyNeverRepeatsAnotherTimestampNonce) {
    NonceState hf(NonceStrategy::HighFrequency), ts(NonceStrategy::Timestamp);
    std::set<uint64_t> seen;
    uint64_t prev_hf = 0;
    for (int i = 0; i < 2000; ++i) {
        uint64_t h = *hf.next();
        EXPECT_GT(h, prev_hf);
        prev_hf = h;
        EXPECT_TRUE(seen.insert(h).second);
        EXPECT_TRUE(seen.insert(*ts.next()).second);
        EXPECT_TRUE(seen.insert(*unique_timestamp()).second);
    }
}

TEST(NonceStrategies, SignerCounterAndExplicitNonce) {
    Signer s = make_counter_signer();
    auto first = s.sign_faucet(std::nullopt);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->nonce, 0u);
    auto explicit_one = s.sign_faucet(uint64_t{100});
    ASSERT_TRUE(explicit_one);
    EXPECT_EQ(explicit_one->nonce, 100u);
    auto second = s.sign_faucet(std::nullopt);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->nonce, 1u);
    EXPECT_EQ(s.nonce_counter(), 2u);
}

TEST(NonceStrategies, ExplicitNonceLeavesTheClockAlone) {
    Signer s = make_signer();
    unique_timestamp_from(ahead_of_last());
    uint64_t before = LAST_TIMESTAMP_NANOS.load();
    auto tx = s.sign_faucet(uint64_t{7});
    ASSERT_TRUE(tx);
    EXPECT_EQ(tx->nonce, 7u);
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), before);
    auto drawn = s.sign_faucet(std::nullopt);
    ASSERT_TRUE(drawn);
    EXPECT_GT(drawn->nonce, before);
    EXPECT_EQ(LAST_TIMESTAMP_NANOS.load(), drawn->nonce);
}
