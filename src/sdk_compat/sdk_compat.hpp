// The signing payload: the exchange's trading rules, conversion of actions to
// wire records under them, the signing message, and order ids.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "sdk_compat/wire.hpp"
#include "types/error.hpp"
#include "types/types.hpp"

namespace vorn {

// ---- trading rules (the builder-code fee rule is Commission::check_fee) ----

// A limit order takes no slippage ("slippage is only supported on market
// orders"); a trigger order must be a market order ("trigger orders are not
// supported by VORN API; use market"). Both InvalidOrder.
Status check_order_kind(const Order& order);

// The leverage map of a settings update: one pair per symbol, the later pair
// winning, ascending by symbol bytes. Borrows the symbols from settings.
std::vector<std::pair<std::string_view, double>> unique_max_leverage(const UpdateUserSettings& settings);

// ---- conversion (records borrow from the item / action) ----

// Baskets, on-fill items and multisig proposals nest; every walk over them
// (reading, conversion, encoding, rendering, order ids, freeing) recurses
// once per level, also on the worker threads of a batch, whose stacks are
// smaller than the main thread's. The conversion, which every other walk of
// the core follows, refuses items deeper than this, and so does the binding
// while it reads them: level 0 is an item of the action itself.
inline constexpr size_t kMaxOrderNesting = 256;
// OrderNesting when level is kMaxOrderNesting or more.
Status check_order_nesting(size_t level);

// Exactly one wire action per order item, or the first refusal.
Result<TxAction> order_item_to_tx_action(const OrderItem& item, uint8_t wire_version);
// One wire action per order item or oracle price entry, one for every other
// variant. May be empty.
Result<std::vector<TxAction>> action_to_tx_actions(const Action& action, uint8_t wire_version);
// The records would borrow from a temporary that dies with the call.
Result<TxAction> order_item_to_tx_action(OrderItem&& item, uint8_t wire_version) = delete;
Result<std::vector<TxAction>> action_to_tx_actions(Action&& action, uint8_t wire_version) = delete;

bool order_item_has_builder_code(const OrderItem& item);
bool action_has_builder_code(const Action& action);
bool order_item_has_explicit_slippage(const OrderItem& item);
bool action_has_explicit_slippage(const Action& action);

// 3 with any builder code, else 2 with any explicit slippage, else 0.
uint8_t message_wire_version(const Action& action);

// ---- signing message ----

// Bytes of the optional format marker: FF x8, "vorn-actions", version byte.
inline constexpr size_t kFormatMarkerLen = 21;
// Nonce (8), account (32) and network domain (1) close every message.
inline constexpr size_t kSigningSuffixLen = 41;
// Capacity reserved for a message buffer; ordinary messages fit in it.
inline constexpr size_t kMessageCapacity = 512;

// An empty byte buffer with room for capacity bytes.
inline std::vector<uint8_t> reserved_bytes(size_t capacity) {
    std::vector<uint8_t> v;
    v.reserve(capacity);
    return v;
}

// Writes the signing message of action into buffer, replacing its content
// (its capacity is reused). On error the buffer is left as it was; pass an
// empty buffer to have the message written in a single pass.
Status serialize_for_sdk_signing(const Action& action, uint8_t domain, uint64_t nonce, const Pubkey& account,
                                 std::vector<uint8_t>& buffer);

// The closing fields of a signing message, read back as stored.
struct SigningSuffix {
    uint64_t nonce = 0;
    Pubkey account;
    uint8_t domain = 0;  // not checked to be 1..=3
};
// Absent when message is shorter than kSigningSuffixLen.
std::optional<SigningSuffix> read_signing_suffix(std::span<const uint8_t> message);

// ---- order ids ----

// Canonical order bytes of a market or limit order (emptying out first): the
// order's wire record at version 0 without commission, a market order's
// slippage appended (tag 1, fixed-point) only when present. False, with out
// emptied, for every other item.
bool canonical_order_bytes(const OrderItem& item, std::vector<uint8_t>& out);

// SHA-256 over seqno (u32), the canonical order bytes, account and nonce
// (u64). Absent for items without an order id (everything but market/limit
// orders). scratch holds the canonical bytes.
std::optional<Hash> compute_order_item_id_with_seqno(const OrderItem& item, uint32_t seqno, uint64_t nonce,
                                                     const Pubkey& account, std::vector<uint8_t>& scratch);

// SHA-256 of the given bytes, no canonicalisation.
Hash compute_order_id(const uint8_t* data, size_t len);

}  // namespace vorn
