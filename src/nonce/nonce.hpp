// Nonces: a process-wide unique nanosecond timestamp, and the per-signer
// strategies built on it. Everything here is lock-free.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "types/error.hpp"

namespace vorn {

// The last timestamp nonce handed out in this process. Starts at 0, only
// grows, and is updated only by the compare-and-swap loops below.
extern std::atomic<uint64_t> LAST_TIMESTAMP_NANOS;

// Texts of the Internal errors of an unreadable clock.
inline constexpr const char* kClockBeforeEpoch = "time went backwards";
inline constexpr const char* kClockBeyondU64 = "Unix timestamp in nanoseconds exceeds u64";

// Whole seconds and sub-second nanoseconds since the epoch (as the system
// clock reports them) to u64 nanoseconds. Split out so it can be tested.
Result<uint64_t> nanos_from_clock_reading(int64_t seconds, int64_t subsec_nanos);

// The wall clock in nanoseconds since the Unix epoch.
Result<uint64_t> clock_nanos();

// The unique timestamp for a given clock reading: the larger of now and the
// last value + 1 (saturating), stored with a compare-and-swap loop that does
// not read the clock again.
uint64_t unique_timestamp_from(uint64_t now);

// Reads the clock, then unique_timestamp_from. Behind current_timestamp and
// every default timestamp nonce.
Result<uint64_t> unique_timestamp();

// Draws the base of a batch of n nonces (base .. base + n - 1) exactly as a
// unique timestamp, and records base + n - 1 (saturating) in the same swap,
// so no later timestamp nonce repeats one of the batch even after the clock
// stepped back. n of 0 or 1 behaves as unique_timestamp_from.
uint64_t reserve_timestamp_range_from(uint64_t now, uint64_t n);
Result<uint64_t> reserve_timestamp_range(uint64_t n);

// The base nonce of a batch of n elements: the caller's base unchanged, or a
// reserved timestamp range. Draws nothing for an empty batch (returns 0).
Result<uint64_t> batch_base_nonce(std::optional<uint64_t> base, size_t n);

enum class NonceStrategy : uint8_t { Timestamp = 0, Counter = 1, HighFrequency = 2 };

inline constexpr const char* kInvalidNonceStrategy =
    "Invalid nonce strategy. Use 'timestamp', 'counter', or 'high_frequency'";

// Exact, lower-case names: "timestamp", "counter", "high_frequency".
std::optional<NonceStrategy> nonce_strategy_from_name(std::string_view name);
const char* nonce_strategy_name(NonceStrategy s);

// The nonce source of one signer. Several threads may draw from it at once.
class NonceState {
public:
    NonceState() = default;
    explicit NonceState(std::optional<NonceStrategy> strategy) : strategy_(strategy) {}
    NonceState(NonceState&& o) noexcept;
    NonceState& operator=(NonceState&& o) noexcept;
    NonceState(const NonceState&) = delete;
    NonceState& operator=(const NonceState&) = delete;

    std::optional<NonceStrategy> strategy() const { return strategy_; }

    // The next nonce under the strategy; no strategy behaves as timestamp.
    Result<uint64_t> next();

    // The high-frequency step for a unique timestamp t: the larger of t and
    // the signer's last value + 1 (saturating), stored by compare-and-swap.
    uint64_t high_frequency_after(uint64_t t);

    uint64_t counter_value() const { return counter_.load(std::memory_order_relaxed); }

private:
    std::optional<NonceStrategy> strategy_;
    std::atomic<uint64_t> counter_{0};
    std::atomic<uint64_t> last_high_frequency_{0};
};

}  // namespace vorn
