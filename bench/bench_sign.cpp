// Signing throughput: one limit order (message, order id, signature, JSON)
// on the signer's scratch buffer, and batches of 100 independent orders.
#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "ed25519/group.hpp"
#include "sign/sign.hpp"

using namespace vorn;

namespace {

Signer bench_signer() {
    std::array<uint8_t, 32> seed;
    seed.fill(7);
    auto kp = Keypair::from_bytes(seed.data(), seed.size());
    return *Signer::create(*kp, "mainnet");
}

OrderItem bench_order(size_t i) {
    Order o;
    o.symbol = "BTC-USD";
    o.is_buy = i % 2 == 0;
    o.price = 100000.0 + static_cast<double>(i);
    o.size = 0.25;
    o.order_type = LimitType{TimeInForce::GTC};
    return o;
}

void BM_SignLimitOrder(benchmark::State& state) {
    Signer signer = bench_signer();
    Action action{Orders{{bench_order(0)}}};
    uint64_t nonce = 1700000000000000000ull;
    for (auto _ : state) {
        auto tx = signer.sign_action(action, nonce++, signer.pubkey());
        benchmark::DoNotOptimize(tx);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SignLimitOrder);

// The full operation as the module calls it: the order moved in, a drawn
// timestamp nonce.
void BM_SignOrderWithDrawnNonce(benchmark::State& state) {
    Signer signer = bench_signer();
    for (auto _ : state) {
        auto tx = signer.sign(operation::order(bench_order(1)), std::nullopt);
        benchmark::DoNotOptimize(tx);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SignOrderWithDrawnNonce);

void BM_ActionJsonLimitOrder(benchmark::State& state) {
    Action action{Orders{{bench_order(0)}}};
    for (auto _ : state) {
        auto j = action_to_json(action);
        benchmark::DoNotOptimize(j);
    }
}
BENCHMARK(BM_ActionJsonLimitOrder);

void BM_SignAll100(benchmark::State& state) {
    Signer signer = bench_signer();
    std::vector<OrderItem> orders;
    for (size_t i = 0; i < 100; ++i) orders.push_back(bench_order(i));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<OrderItem> batch = orders;
        state.ResumeTiming();
        auto txs = signer.sign_all(std::move(batch), uint64_t{1});
        benchmark::DoNotOptimize(txs);
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_SignAll100)->UseRealTime();

// The same 100 orders one after the other on this thread, for comparison
// with the pool.
void BM_Sign100Sequential(benchmark::State& state) {
    Signer signer = bench_signer();
    std::vector<OrderItem> orders;
    for (size_t i = 0; i < 100; ++i) orders.push_back(bench_order(i));
    for (auto _ : state) {
        for (size_t i = 0; i < orders.size(); ++i) {
            auto tx = signer.sign(operation::order(OrderItem(orders[i])), 1 + i);
            benchmark::DoNotOptimize(tx);
        }
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_Sign100Sequential)->UseRealTime();

// One group of n 91-byte messages (n = 1..8) under one key, by libsodium
// (engine 0) and by the multi-buffer call (engine 1): the crossover for
// partial groups (ed25519/group.hpp, kMultiBufferMinimum) is the smallest n
// at which engine 1 takes less time than engine 0.
void BM_GroupSign(benchmark::State& state) {
    const auto engine = static_cast<ed25519::Engine>(state.range(0));
    const auto n = static_cast<size_t>(state.range(1));
    if (engine == ed25519::Engine::MultiBuffer && !ed25519::multi_buffer_available()) {
        state.SkipWithError("no multi-buffer engine on this processor");
        return;
    }
    std::array<uint8_t, 32> seed;
    seed.fill(7);
    const Keypair key = *Keypair::from_bytes(seed.data(), seed.size());
    std::array<std::array<uint8_t, 91>, 8> messages{};
    std::array<ed25519::Message, 8> group;
    for (size_t k = 0; k < 8; ++k) {
        messages[k].fill(static_cast<uint8_t>(k));
        group[k] = {messages[k].data(), messages[k].size()};
    }
    std::array<Signature, 8> out;
    for (auto _ : state) {
        ed25519::sign_group_with(engine, key, std::span(group).first(n), std::span(out).first(n));
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(n));
}
BENCHMARK(BM_GroupSign)->ArgsProduct({{0, 1}, {1, 2, 3, 4, 5, 6, 7, 8}});

}  // namespace
