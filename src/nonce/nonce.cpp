#include "nonce/nonce.hpp"

#include <time.h>

#include <algorithm>
#include <limits>

namespace vorn {

std::atomic<uint64_t> LAST_TIMESTAMP_NANOS{0};

namespace {

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

uint64_t saturating_add(uint64_t a, uint64_t b) { return a > kMax - b ? kMax : a + b; }

// One compare-and-swap loop on a u64 cell: the stored value becomes
// max(floor, last + 1) advanced by extra (both saturating); returns the
// max(floor, last + 1) part. The floor is fixed, so a lost race only
// recomputes from the value that won.
uint64_t advance(std::atomic<uint64_t>& cell, uint64_t floor, uint64_t extra) {
    uint64_t last = cell.load(std::memory_order_acquire);
    for (;;) {
        uint64_t candidate = std::max(floor, saturating_add(last, 1));
        uint64_t stored = saturating_add(candidate, extra);
        if (cell.compare_exchange_weak(last, stored, std::memory_order_acq_rel, std::memory_order_acquire))
            return candidate;
    }
}

}  // namespace

Result<uint64_t> nanos_from_clock_reading(int64_t seconds, int64_t subsec_nanos) {
    __int128 total = static_cast<__int128>(seconds) * 1000000000 + subsec_nanos;
    if (total < 0) return fail(Error::internal(kClockBeforeEpoch));
    if (total > static_cast<__int128>(kMax)) return fail(Error::internal(kClockBeyondU64));
    return static_cast<uint64_t>(total);
}

Result<uint64_t> clock_nanos() {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return nanos_from_clock_reading(static_cast<int64_t>(ts.tv_sec), static_cast<int64_t>(ts.tv_nsec));
}

uint64_t unique_timestamp_from(uint64_t now) { return advance(LAST_TIMESTAMP_NANOS, now, 0); }

Result<uint64_t> unique_timestamp() {
    auto now = clock_nanos();
    if (!now) return fail(std::move(now.error()));
    return unique_timestamp_from(*now);
}

uint64_t reserve_timestamp_range_from(uint64_t now, uint64_t n) {
    return advance(LAST_TIMESTAMP_NANOS, now, n > 1 ? n - 1 : 0);
}

Result<uint64_t> reserve_timestamp_range(uint64_t n) {
    auto now = clock_nanos();
    if (!now) return fail(std::move(now.error()));
    return reserve_timestamp_range_from(*now, n);
}

Result<uint64_t> batch_base_nonce(std::optional<uint64_t> base, size_t n) {
    if (base) return *base;
    if (n == 0) return uint64_t{0};
    return reserve_timestamp_range(static_cast<uint64_t>(n));
}

std::optional<NonceStrategy> nonce_strategy_from_name(std::string_view name) {
    if (name == "timestamp") return NonceStrategy::Timestamp;
    if (name == "counter") return NonceStrategy::Counter;
    if (name == "high_frequency") return NonceStrategy::HighFrequency;
    return std::nullopt;
}

const char* nonce_strategy_name(NonceStrategy s) {
    switch (s) {
    case NonceStrategy::Timestamp: return "timestamp";
    case NonceStrategy::Counter: return "counter";
    case NonceStrategy::HighFrequency: return "high_frequency";
    }
    return "";
}

NonceState::NonceState(NonceState&& o) noexcept
    : strategy_(o.strategy_),
      counter_(o.counter_.load(std::memory_order_relaxed)),
      last_high_frequency_(o.last_high_frequency_.load(std::memory_order_relaxed)) {}

NonceState& NonceState::operator=(NonceState&& o) noexcept {
    strategy_ = o.strategy_;
    counter_.store(o.counter_.load(std::memory_order_relaxed), std::memory_order_relaxed);
    last_high_frequency_.store(o.last_high_frequency_.load(std::memory_order_relaxed), std::memory_order_relaxed);
    return *this;
}

uint64_t NonceState::high_frequency_after(uint64_t t) { return advance(last_high_frequency_, t, 0); }

Result<uint64_t> NonceState::next() {
    if (strategy_ == NonceStrategy::Counter) return counter_.fetch_add(1, std::memory_order_relaxed);
    auto t = unique_timestamp();
    if (!t) return t;
    if (strategy_ == NonceStrategy::HighFrequency) return high_frequency_after(*t);
    return t;
}

}  // namespace vorn
