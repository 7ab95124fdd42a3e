// Preparation: the one pipeline from an action to what is signed. A prepared
// message holds the signing bytes, the action JSON, the order ids, the
// account, the signer and the nonce; signing it (here with a signature made
// elsewhere, or by a Signer) turns the same record into a signed transaction.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "prepare/action_json.hpp"
#include "nonce/nonce.hpp"
#include "sdk_compat/sdk_compat.hpp"
#include "sdk_compat/render.hpp"
#include "types/error.hpp"
#include "types/types.hpp"

namespace vorn {

// The signing message with the fields of a signed transaction, but no
// signature. At most one of order_id and order_ids is present.
struct PreparedMessage {
    std::vector<uint8_t> message_bytes;  // exactly the bytes to sign
    std::vector<json> actions;           // the action JSON, unless a caller's sink took it
    std::string account;                 // base58 of the trading account
    std::string signer;                  // base58 of the signing key; the account when none was given
    std::optional<std::string> order_id;                // one-item orders action whose item has an id
    std::optional<std::vector<std::string>> order_ids;  // two or more items, at least one with an id
    uint64_t nonce = 0;
};

struct SignedTransaction {
    std::vector<json> actions;
    std::string account;    // base58 of the trading account
    std::string signer;     // base58 of the signing key
    std::string signature;  // base58 of the 64-byte Ed25519 signature
    std::optional<std::string> order_id;                // a one-item orders action
    std::optional<std::vector<std::string>> order_ids;  // two or more items; never empty
    uint64_t nonce = 0;

    // Every field of the prepared record but its message bytes, which stay
    // with prepared (their buffer can be reused), plus the signature text.
    static SignedTransaction from(PreparedMessage& prepared, std::string signature);
};

// Which order ids a preparation computes: order_id for a one-item orders
// action, order_ids for two or more items.
struct OrderIdSwitches {
    bool single = true;
    bool batch = true;
};

// The pipeline: writes the signing message into out.message_bytes (reusing
// its capacity), renders the action JSON into sink (once the conversion has
// accepted the action; with no sink it is left out and out.actions stays
// empty, for a caller that renders the same action itself), computes the
// order ids with the same nonce and account, and sets out.nonce; the caller
// stores the account and signer texts. The first refusal of the conversion
// is returned; out then holds no message and is only fit for reuse. Safe on
// many threads at once with distinct outs and sinks.
Status prepare_into(const Action& action, SignatureDomain domain, const Pubkey& account, uint64_t nonce,
                    OrderIdSwitches ids, PreparedMessage& out, ActionSink* sink);

// An orders action of exactly this item.
Action one_item_orders(OrderItem&& item);

// The caller's nonce unchanged, or one unique timestamp.
Result<uint64_t> resolve_nonce(std::optional<uint64_t> nonce);

// prepare_into with every order id, into a fresh record; signer defaults to
// the account. The action JSON goes into the record, or to sink when given.
Result<PreparedMessage> prepare_action(const Action& action, SignatureDomain domain, const Pubkey& account,
                                       const std::optional<Pubkey>& signer, uint64_t nonce);
Result<PreparedMessage> prepare_action(const Action& action, SignatureDomain domain, const Pubkey& account,
                                       const std::optional<Pubkey>& signer, uint64_t nonce, ActionSink& sink);

// Element of a prepared batch (an orders action of one item): its order_id,
// never order_ids; account_text and signer_text are the base58 texts of the
// account and signer. The action JSON goes to sink, or nowhere without one.
Result<PreparedMessage> prepare_batch_item(const Action& action, SignatureDomain domain, const Pubkey& account,
                                           const std::string& account_text, const std::string& signer_text,
                                           uint64_t nonce, ActionSink* sink);

// Each item as its own one-item message (order_id, never order_ids), item i
// with nonce base + i (wrapping); the batch rules of run_nonce_batch.
Result<std::vector<PreparedMessage>> prepare_all_orders(std::vector<OrderItem> items, SignatureDomain domain,
                                                        const Pubkey& account, const std::optional<Pubkey>& signer,
                                                        std::optional<uint64_t> base_nonce);

// The texts of a signing-suffix check's refusals (SigningFailed), which
// differ by caller.
struct SuffixRefusals {
    const char* mismatch;    // the nonce or the account differs
    const char* bad_domain;  // the network byte is not 1..=3
};

// Checks that the prepared bytes still end with this record's signing
// suffix: present ("prepared message is missing its signing suffix"), then
// the record's nonce, then its account (decoded from the record here unless
// given; a text that does not decode is refused with its own error), then a
// known network domain. Returns the suffix.
Result<SigningSuffix> check_signing_suffix(const PreparedMessage& prepared, const SuffixRefusals& refusals,
                                           const Pubkey* account = nullptr);

// Checks a base58 signature against the prepared record (over message when
// given, else over the prepared bytes) and turns it into a signed
// transaction. The record is consumed either way.
Result<SignedTransaction> finalize_with_message(PreparedMessage prepared, std::string_view signature,
                                                std::optional<std::span<const uint8_t>> message);

}  // namespace vorn
