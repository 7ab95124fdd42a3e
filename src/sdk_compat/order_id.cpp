// Order ids: SHA-256 over the sequence number, the canonical order bytes,
// the account and the nonce. Builder codes and the message format do not
// enter, so an order keeps its id across both.
#include <sodium.h>

#include "sdk_compat/bytes.hpp"
#include "sdk_compat/convert.hpp"
#include "sdk_compat/sdk_compat.hpp"
#include "types/keypair.hpp"

namespace vorn {

bool canonical_order_bytes(const OrderItem& item, std::vector<uint8_t>& out) {
    out.clear();
    const auto* o = std::get_if<Order>(&item.v);
    if (!o) return false;
    const bool limit = std::holds_alternative<LimitType>(o->order_type);
    if (!limit && !std::get<TriggerType>(o->order_type).is_market) return false;

    // The order's own wire record at version 0 carries neither a commission
    // nor a slippage slot.
    wire::Writer w(out);
    detail::with_order_record(*o, 0, [&w](const auto& record) { wire::write_tx_action(record, w); });
    // Only a present slippage adds bytes; there is no absent tag.
    if (!limit && o->slippage) {
        w.u8(1);
        w.u64(to_fixed_point(*o->slippage));
    }
    return true;
}

std::optional<Hash> compute_order_item_id_with_seqno(const OrderItem& item, uint32_t seqno, uint64_t nonce,
                                                     const Pubkey& account, std::vector<uint8_t>& scratch) {
    if (!canonical_order_bytes(item, scratch)) return std::nullopt;
    ensure_sodium();
    uint8_t seq_bytes[4];
    uint8_t nonce_bytes[8];
    store_le(seq_bytes, seqno, sizeof seq_bytes);
    store_le(nonce_bytes, nonce, sizeof nonce_bytes);

    crypto_hash_sha256_state st;
    crypto_hash_sha256_init(&st);
    crypto_hash_sha256_update(&st, seq_bytes, sizeof seq_bytes);
    crypto_hash_sha256_update(&st, scratch.data(), scratch.size());
    crypto_hash_sha256_update(&st, account.bytes.data(), account.bytes.size());
    crypto_hash_sha256_update(&st, nonce_bytes, sizeof nonce_bytes);
    Hash id;
    crypto_hash_sha256_final(&st, id.bytes.data());
    return id;
}

Hash compute_order_id(const uint8_t* data, size_t len) { return sha256(data, len); }

}  // namespace vorn
