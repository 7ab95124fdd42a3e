// The signing payload: conversion of actions to wire records under the
// exchange's trading rules, the signing message, and order ids.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "types/error.hpp"
#include "sdk_compat/wire.hpp"
#include "types/types.hpp"

namespace vorn {

// ---- conversion (records borrow from the item / action) ----

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

// Empties buffer and fills it with the signing message; on error the buffer is left as it was.
Status serialize_for_sdk_signing(const Action& action, uint8_t domain, uint64_t nonce, const Pubkey& account,
                                 std::vector<uint8_t>& buffer);

// ---- order ids ----

// Canonical order bytes of a market or limit order (emptying out first);
// false, with out emptied, for every other item.
bool canonical_order_bytes(const OrderItem& item, std::vector<uint8_t>& out);

// Absent for items without an order id (everything but market/limit orders).
std::optional<Hash> compute_order_item_id_with_seqno(const OrderItem& item, uint32_t seqno, uint64_t nonce,
                                                     const Pubkey& account, std::vector<uint8_t>& scratch);

// SHA-256 of the given bytes, no canonicalisation.
Hash compute_order_id(const uint8_t* data, size_t len);

}  // namespace vorn
