// Order ids: SHA-256 over the sequence number, the canonical order bytes,
// the account and the nonce. Builder codes and the message format do not
// enter, so an order keeps its id across both.
#include <sodium.h>

#include <cstdlib>

#include "sdk_compat/sdk_compat.hpp"
#include "sdk_compat/bytes.hpp"

namespace vorn {

using wire::Writer;

namespace {

void ensure_sodium() {
    // Thread-safe one-time initialisation; sodium_init only fails when the
    // library cannot work at all.
    static const bool ready = sodium_init() >= 0;
    if (!ready) std::abort();
}

void le_bytes(uint8_t* out, uint64_t v, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

bool canonical_order_bytes(const OrderItem& item, std::vector<uint8_t>& out) {
    out.clear();
    const auto* o = std::get_if<Order>(&item.v);
    if (!o) return false;
    const auto* limit = std::get_if<LimitType>(&o->order_type);
    if (!limit && !std::get<TriggerType>(o->order_type).is_market) return false;

    Writer w(out);
    if (limit) {
        w.u32(1);
        w.str(o->symbol);
        w.boolean(o->is_buy);
        w.u64(to_fixed_point(o->price));
        w.u64(to_fixed_point(o->size));
        w.u32(static_cast<uint32_t>(limit->tif));
        w.boolean(o->reduce_only);
        w.boolean(o->iso);
        return true;
    }
    w.u32(0);
    w.str(o->symbol);
    w.boolean(o->is_buy);
    w.u64(to_fixed_point(o->size));
    w.boolean(o->reduce_only);
    w.boolean(o->iso);
    // Only a present slippage adds bytes; there is no absent tag.
    if (o->slippage) {
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
    le_bytes(seq_bytes, seqno, sizeof seq_bytes);
    le_bytes(nonce_bytes, nonce, sizeof nonce_bytes);

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

Hash compute_order_id(const uint8_t* data, size_t len) {
    ensure_sodium();
    Hash id;
    crypto_hash_sha256(id.bytes.data(), data, len);
    return id;
}

}  // namespace vorn
