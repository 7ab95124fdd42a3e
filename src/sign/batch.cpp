// Batches of independent transactions, each with its own nonce, signed on the
// calling thread or on the worker pool.
#include "sign/pool.hpp"
#include "sign/sign.hpp"

namespace vorn {

Outcome<std::vector<SignedTransaction>> Signer::sign_all(std::vector<OrderItem> orders,
                                                         std::optional<uint64_t> base_nonce) const {
    if (orders.empty()) return std::vector<SignedTransaction>{};
    auto base = batch_base_nonce(base_nonce, orders.size());
    if (!base) return failure(base.error());
    const uint64_t first = *base;
    // Each index is taken by exactly one worker, so moving the item out is safe.
    auto signed_all = run_indexed<SignedTransaction>(orders.size(), [&](size_t i) {
        return sign_single_item(std::move(orders[i]), first + static_cast<uint64_t>(i));
    });
    if (!signed_all) return failure(std::move(signed_all.error()));
    return std::move(*signed_all);
}

Outcome<std::vector<SignedTransaction>> Signer::sign_orders_batch(std::vector<std::vector<OrderItem>> batches,
                                                                  std::optional<uint64_t> base_nonce) const {
    if (batches.empty()) return std::vector<SignedTransaction>{};
    auto base = batch_base_nonce(base_nonce, batches.size());
    if (!base) return failure(base.error());
    const uint64_t first = *base;
    auto signed_all = run_indexed<SignedTransaction>(batches.size(), [&](size_t i) {
        return sign_single_order_batch(std::move(batches[i]), first + static_cast<uint64_t>(i));
    });
    if (!signed_all) return failure(std::move(signed_all.error()));
    return std::move(*signed_all);
}

}  // namespace vorn
