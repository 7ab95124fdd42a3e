// External-wallet path costs: preparing one order, a parallel batch, the
// off-chain wallet message with its clear-sign text, and finalisation.
#include <benchmark/benchmark.h>

#include <vector>

#include "types/keypair.hpp"
#include "prepare/prepare.hpp"
#include "wallet/wallet.hpp"

namespace {

vorn::Order limit_order(double price) {
    vorn::Order o;
    o.symbol = "BTC-USD";
    o.is_buy = true;
    o.price = price;
    o.size = 0.25;
    o.order_type = vorn::LimitType{vorn::TimeInForce::GTC};
    return o;
}

const vorn::Keypair& bench_key() {
    static const vorn::Keypair key = [] {
        std::vector<uint8_t> seed(32, 0x42);
        return *vorn::Keypair::from_bytes(seed.data(), seed.size());
    }();
    return key;
}

void BM_PrepareOneOrder(benchmark::State& state) {
    const vorn::Pubkey account = bench_key().pubkey();
    uint64_t nonce = 1;
    for (auto _ : state) {
        auto p = vorn::prepare_action(vorn::one_item_orders(limit_order(100000.0)), vorn::SignatureDomain::Mainnet, account, std::nullopt,
                                       nonce++);
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_PrepareOneOrder);

void BM_PrepareBatch(benchmark::State& state) {
    const vorn::Pubkey account = bench_key().pubkey();
    std::vector<vorn::OrderItem> items;
    for (int64_t i = 0; i < state.range(0); ++i) items.push_back(limit_order(100000.0 + static_cast<double>(i)));
    for (auto _ : state) {
        auto out = vorn::prepare_all_orders(items, vorn::SignatureDomain::Mainnet, account, std::nullopt, 1000);
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PrepareBatch)->Arg(9)->Arg(10)->Arg(1000);

void BM_OffchainWalletMessage(benchmark::State& state) {
    auto prepared = vorn::prepare_action(vorn::one_item_orders(limit_order(100000.0)), vorn::SignatureDomain::Mainnet,
                                          bench_key().pubkey(), std::nullopt, 1);
    for (auto _ : state) {
        auto w = vorn::prepare_wallet_message(*prepared, vorn::SignatureMode::Offchain);
        benchmark::DoNotOptimize(w);
    }
}
BENCHMARK(BM_OffchainWalletMessage);

void BM_Finalize(benchmark::State& state) {
    auto prepared = vorn::prepare_action(vorn::one_item_orders(limit_order(100000.0)), vorn::SignatureDomain::Mainnet,
                                          bench_key().pubkey(), std::nullopt, 1);
    const std::string sig = vorn::signature_to_base58(
        bench_key().sign(prepared->message_bytes.data(), prepared->message_bytes.size()));
    for (auto _ : state) {
        auto tx = vorn::finalize_with_message(*prepared, sig, std::nullopt);
        benchmark::DoNotOptimize(tx);
    }
}
BENCHMARK(BM_Finalize);

}  // namespace
