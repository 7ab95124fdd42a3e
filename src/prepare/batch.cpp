// Batch preparation: each order item its own message, nonces base + i.
#include <utility>

#include "sign/pool.hpp"
#include "prepare/prepare.hpp"

namespace vorn {

Outcome<std::vector<PreparedMessage>> prepare_all_orders(std::vector<OrderItem> items, SignatureDomain domain,
                                                         const Pubkey& account, const std::optional<Pubkey>& signer,
                                                         std::optional<uint64_t> base_nonce) {
    if (items.empty()) return std::vector<PreparedMessage>{};
    // A drawn base reserves the whole range base .. base + n - 1, so no later
    // timestamp nonce repeats one of this batch.
    auto base = batch_base_nonce(base_nonce, items.size());
    if (!base) return failure(base.error());

    const Pubkey resolved_signer = signer.value_or(account);
    const uint64_t first = *base;
    // Each index is taken exactly once, so its item can be moved out.
    auto prepared = run_indexed<PreparedMessage>(items.size(), [&](size_t i) {
        return prepare_single_item(std::move(items[i]), domain, account, resolved_signer,
                                   first + static_cast<uint64_t>(i));
    });
    if (!prepared) return failure(std::move(prepared).error());
    return std::move(*prepared);
}

}  // namespace vorn
