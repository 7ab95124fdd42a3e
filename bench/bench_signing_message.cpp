// Building the signing message and the order id of one limit order into
// reused buffers: the per-order cost of the signer before Ed25519.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "sdk_compat/sdk_compat.hpp"

// Counts heap allocations so the benchmark can show the hot path makes none.
static std::atomic<uint64_t> g_allocations{0};

// Kept out of line so the compiler does not pair the inlined free with a
// new expression and warn about a mismatch.
[[gnu::noinline]] void* operator new(std::size_t n) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

vorn::Action limit_order_action() {
    vorn::Order o;
    o.symbol = "BTC-USD";
    o.is_buy = true;
    o.price = 100000.0;
    o.size = 0.25;
    o.order_type = vorn::LimitType{vorn::TimeInForce::GTC};
    return vorn::Action{vorn::Orders{{vorn::OrderItem{o}}}};
}

vorn::Pubkey account() {
    vorn::Pubkey k;
    k.bytes.fill(0x11);
    return k;
}

void BM_SigningMessageAndOrderId(benchmark::State& state) {
    const vorn::Action action = limit_order_action();
    const vorn::OrderItem& item = std::get<vorn::Orders>(action.v).items[0];
    const vorn::Pubkey acct = account();
    std::vector<uint8_t> buffer;
    buffer.reserve(512);
    std::vector<uint8_t> scratch;
    scratch.reserve(96);
    uint64_t nonce = 1700000000000000000ull;

    const uint64_t before = g_allocations.load();
    for (auto _ : state) {
        buffer.clear();  // as the signing pipeline hands it over: one pass, capacity kept
        auto st = vorn::serialize_for_sdk_signing(action, 1, nonce, acct, buffer);
        auto id = vorn::compute_order_item_id_with_seqno(item, 0, nonce, acct, scratch);
        benchmark::DoNotOptimize(st);
        benchmark::DoNotOptimize(id);
        benchmark::DoNotOptimize(buffer.data());
        ++nonce;
    }
    state.counters["allocs_per_iter"] =
        benchmark::Counter(static_cast<double>(g_allocations.load() - before), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SigningMessageAndOrderId);

void BM_SigningMessageOnly(benchmark::State& state) {
    const vorn::Action action = limit_order_action();
    const vorn::Pubkey acct = account();
    std::vector<uint8_t> buffer;
    buffer.reserve(512);
    uint64_t nonce = 1700000000000000000ull;
    const uint64_t before = g_allocations.load();
    for (auto _ : state) {
        buffer.clear();
        auto st = vorn::serialize_for_sdk_signing(action, 1, nonce++, acct, buffer);
        benchmark::DoNotOptimize(st);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.counters["allocs_per_iter"] =
        benchmark::Counter(static_cast<double>(g_allocations.load() - before), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SigningMessageOnly);

void BM_OrderIdOnly(benchmark::State& state) {
    const vorn::Action action = limit_order_action();
    const vorn::OrderItem& item = std::get<vorn::Orders>(action.v).items[0];
    const vorn::Pubkey acct = account();
    std::vector<uint8_t> scratch;
    scratch.reserve(96);
    uint64_t nonce = 1700000000000000000ull;
    for (auto _ : state) {
        auto id = vorn::compute_order_item_id_with_seqno(item, 0, nonce++, acct, scratch);
        benchmark::DoNotOptimize(id);
    }
}
BENCHMARK(BM_OrderIdOnly);

}  // namespace
