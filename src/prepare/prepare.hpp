// Preparation for external wallets: everything of signing except the
// signature (nonce, signing message, action JSON, order ids), and the
// finalisation that checks a signature made elsewhere against the prepared
// record before it becomes a signed transaction.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "types/error.hpp"
#include "sign/nonce.hpp"
#include "sign/sign.hpp"
#include "types/types.hpp"

namespace vorn {

// The signing message with the fields of a signed transaction, but no
// signature. At most one of order_id and order_ids is present.
struct PreparedMessage {
    std::vector<uint8_t> message_bytes;  // exactly the bytes to sign
    std::vector<json> actions;           // the action JSON; never empty once prepared
    std::string account;                 // base58 of the trading account
    std::string signer;                  // base58 of the signing key; the account when none was given
    std::optional<std::string> order_id;                // one-item orders action whose item has an id
    std::optional<std::vector<std::string>> order_ids;  // two or more items, at least one with an id
    uint64_t nonce = 0;
};

namespace prepare {
// The same rendering as the signer's; one implementation serves both.
inline Result<std::vector<json>> action_to_json(const Action& action) { return vorn::action_to_json(action); }
inline Result<json> order_item_to_json(const OrderItem& item) { return vorn::order_item_to_json(item); }
}  // namespace prepare

// The caller's nonce unchanged, or one unique timestamp.
Timed<uint64_t> resolve_nonce(std::optional<uint64_t> nonce);

// The signing message, JSON and order ids of action for account, with an
// already resolved nonce. signer defaults to the account.
Result<PreparedMessage> prepare_action(const Action& action, SignatureDomain domain, const Pubkey& account,
                                       const std::optional<Pubkey>& signer, uint64_t nonce);

// One order item as a one-item orders action.
Result<PreparedMessage> prepare_message(OrderItem item, SignatureDomain domain, const Pubkey& account,
                                        const std::optional<Pubkey>& signer, uint64_t nonce);

// The margin-transfer action.
Result<PreparedMessage> prepare_transfer(const Transfer& transfer, SignatureDomain domain, const Pubkey& account,
                                         const std::optional<Pubkey>& signer, uint64_t nonce);

// One item as its own message with a given nonce and a resolved signer: the
// unit of batch preparation. Carries order_id when the item has one, never
// order_ids. Safe to run on many threads at once.
Result<PreparedMessage> prepare_single_item(OrderItem item, SignatureDomain domain, const Pubkey& account,
                                            const Pubkey& signer, uint64_t nonce);

// Each item as its own message, item i with nonce base + i (wrapping). The
// base is the caller's, or one reserved timestamp range. Below 10 items on
// this thread in order, from 10 on the shared worker pool; results in input
// order, or one error and nothing else. An empty list draws no nonce.
Outcome<std::vector<PreparedMessage>> prepare_all_orders(std::vector<OrderItem> items, SignatureDomain domain,
                                                         const Pubkey& account, const std::optional<Pubkey>& signer,
                                                         std::optional<uint64_t> base_nonce);

// Checks a base58 signature against the prepared record (over message when
// given, else over the prepared bytes) and turns it into a signed
// transaction. The record is consumed either way.
Result<SignedTransaction> finalize_with_message(PreparedMessage prepared, std::string_view signature,
                                                std::optional<std::span<const uint8_t>> message);

}  // namespace vorn
