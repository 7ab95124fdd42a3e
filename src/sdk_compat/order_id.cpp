// Order ids: SHA-256 over the sequence number, the canonical order bytes,
// the account and the nonce. Builder codes and the message format do not
// enter, so an order keeps its id across both.
#include "sdk_compat/bytes.hpp"
#include "sdk_compat/convert.hpp"
#include "sdk_compat/sdk_compat.hpp"
#include "types/keypair.hpp"

namespace vorn {

namespace {

// Appends the canonical bytes of a market or limit order to w; false for
// anything else.
bool append_canonical_order(const OrderItem& item, wire::Writer& w) {
    const auto* o = std::get_if<Order>(&item.v);
    if (!o) return false;
    const bool limit = std::holds_alternative<LimitType>(o->order_type);
    if (!limit && !std::get<TriggerType>(o->order_type).is_market) return false;

    // The order's own wire record at version 0 carries neither a commission
    // nor a slippage slot.
    detail::with_order_record(*o, 0, [&w](const auto& record) { wire::write_tx_action(record, w); });
    // Only a present slippage adds bytes; there is no absent tag.
    if (!limit && o->slippage) {
        w.u8(1);
        w.u64(to_fixed_point(*o->slippage));
    }
    return true;
}

}  // namespace

bool canonical_order_bytes(const OrderItem& item, std::vector<uint8_t>& out) {
    out.clear();
    bool ok;
    {
        wire::Writer w(out);
        ok = append_canonical_order(item, w);
    }
    if (!ok) out.clear();
    return ok;
}

std::optional<Hash> compute_order_item_id_with_seqno(const OrderItem& item, uint32_t seqno, uint64_t nonce,
                                                     const Pubkey& account, std::vector<uint8_t>& scratch) {
    // The whole preimage is written once and hashed in one call.
    scratch.clear();
    {
        wire::Writer w(scratch);
        w.u32(seqno);
        if (!append_canonical_order(item, w)) return std::nullopt;
        w.key(account);
        w.u64(nonce);
    }
    return sha256(scratch.data(), scratch.size());
}

Hash compute_order_id(const uint8_t* data, size_t len) { return sha256(data, len); }

}  // namespace vorn
