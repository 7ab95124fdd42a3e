// The signer: a keypair bound to one network domain, a nonce source and the
// order-id switches; the signed-transaction record; and the JSON rendering of
// actions that travels with every signature.
#pragma once
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "types/error.hpp"
#include "types/keypair.hpp"
#include "sign/nonce.hpp"
#include "types/types.hpp"

namespace vorn {

using json = nlohmann::json;

// ---- JSON rendering (one implementation for signing and preparation) ----

// One value per order item for an orders action, one per price for an
// oracle-prices action, exactly one for every other action. Objects keep
// their keys in ascending byte order; f64 values stay floats, non-finite
// ones become null.
Result<std::vector<json>> action_to_json(const Action& action);
Result<json> order_item_to_json(const OrderItem& item);

// Sets "builderCode" to {"fee", "to"} when a commission is given.
void add_builder_code(json& object, const std::optional<Commission>& commission);

// The liquidator configuration object, instruments sorted by symbol.
json liquidator_config_to_json(const LiquidatorConfig& config);

// ---- signed transactions ----

struct SignedTransaction {
    std::vector<json> actions;
    std::string account;    // base58 of the trading account
    std::string signer;     // base58 of the signing key
    std::string signature;  // base58 of the 64-byte Ed25519 signature
    std::optional<std::string> order_id;                // a one-item orders action
    std::optional<std::vector<std::string>> order_ids;  // two or more items; never empty
    uint64_t nonce = 0;
};

// ---- the signer ----

class Signer {
public:
    static Result<Signer> create(const Keypair& keypair, std::string_view signature_domain);
    static Result<Signer> from_base58(std::string_view secret, std::string_view signature_domain);
    // The strategy name is checked by the caller first with
    // nonce_strategy_from_name (failure text kInvalidNonceStrategy).
    static Result<Signer> with_nonce_manager(const Keypair& keypair, NonceStrategy strategy,
                                             std::string_view signature_domain);

    Signer(Signer&&) noexcept = default;
    Signer& operator=(Signer&&) noexcept = default;

    void set_compute_order_id(bool on) { compute_order_id_ = on; }
    void set_compute_batch_order_ids(bool on) { compute_batch_order_ids_ = on; }
    bool computes_order_id() const { return compute_order_id_; }
    bool computes_batch_order_ids() const { return compute_batch_order_ids_; }

    const Pubkey& pubkey() const { return keypair_.pubkey(); }
    const std::string& pubkey_base58() const { return pubkey_base58_; }
    SignatureDomain signature_domain() const { return domain_; }
    std::optional<NonceStrategy> nonce_strategy() const { return nonce_.strategy(); }
    uint64_t nonce_counter() const { return nonce_.counter_value(); }

    // Base58 of the Ed25519 signature over exactly these bytes.
    std::string sign_bytes(const uint8_t* message, size_t len) const;

    // The next nonce under the signer's strategy. Lock-free; safe from
    // several threads at once.
    Timed<uint64_t> next_nonce() const { return nonce_.next(); }
    // The caller's nonce unchanged, or next_nonce.
    Timed<uint64_t> nonce_or_next(std::optional<uint64_t> nonce) const;

    // Signs one action for account with the given nonce. Builds the message
    // in the signer's own scratch buffer, so it needs exclusive use.
    Result<SignedTransaction> sign_action(const Action& action, uint64_t nonce, const Pubkey& account);

    // Read-only signing for the signer's own account, safe on many threads
    // at once: each thread builds its messages in a buffer of its own.
    // One item as a one-item orders action; order_ids never set.
    Result<SignedTransaction> sign_single_item(OrderItem item, uint64_t nonce) const;
    // All items as one orders action; an empty list is EmptyOrders.
    Result<SignedTransaction> sign_single_order_batch(std::vector<OrderItem> items, uint64_t nonce) const;

    static Result<std::vector<json>> action_to_json(const Action& action) { return vorn::action_to_json(action); }
    static Result<json> order_item_to_json(const OrderItem& item) { return vorn::order_item_to_json(item); }

    // ---- operations for the signer's own account; nonce: the caller's or next_nonce ----

    Outcome<SignedTransaction> sign(OrderItem order, std::optional<uint64_t> nonce);
    // An empty list fails with EmptyOrders before any nonce is drawn.
    Outcome<SignedTransaction> sign_group(std::vector<OrderItem> orders, std::optional<uint64_t> nonce);
    Outcome<SignedTransaction> sign_order(std::vector<OrderItem> orders, std::optional<uint64_t> nonce) {
        return sign_group(std::move(orders), nonce);
    }
    Outcome<SignedTransaction> sign_faucet(std::optional<uint64_t> nonce);
    Outcome<SignedTransaction> sign_agent_wallet(const Pubkey& agent, bool delete_agent, std::optional<uint64_t> nonce);
    Outcome<SignedTransaction> sign_user_settings(std::vector<std::pair<std::string, double>> max_leverage,
                                                  std::optional<uint64_t> nonce);
    // Empty lists are refused before any nonce is drawn.
    Outcome<SignedTransaction> sign_oracle_prices(std::vector<OraclePrice> prices, std::optional<uint64_t> nonce);
    Outcome<SignedTransaction> sign_pyth_oracle(std::vector<PythEntry> oracles, std::optional<uint64_t> nonce);
    Outcome<SignedTransaction> sign_create_sub_account(std::string name, std::optional<double> margin_amount,
                                                       std::optional<uint64_t> nonce);
    Outcome<SignedTransaction> sign_remove_sub_account(const Pubkey& to_remove, std::optional<uint64_t> nonce);
    Outcome<SignedTransaction> sign_transfer(const Pubkey& from, const Pubkey& to, double margin_amount,
                                             TransferKind kind, std::optional<uint64_t> nonce);
    Outcome<SignedTransaction> sign_whitelist_faucet(const Pubkey& target, bool whitelist,
                                                     std::optional<uint64_t> nonce);
    // A fee outside 1..=15 is refused before any nonce is drawn.
    Outcome<SignedTransaction> sign_approve_commission_fee(const Pubkey& to, uint8_t fee,
                                                           std::optional<uint64_t> nonce);
    Outcome<SignedTransaction> sign_approve_builder_code(const Pubkey& to, uint8_t fee,
                                                         std::optional<uint64_t> nonce) {
        return sign_approve_commission_fee(to, fee, nonce);
    }
    Outcome<SignedTransaction> sign_revoke_commission_fee(const Pubkey& to, std::optional<uint64_t> nonce);
    Outcome<SignedTransaction> sign_revoke_builder_code(const Pubkey& to, std::optional<uint64_t> nonce) {
        return sign_revoke_commission_fee(to, nonce);
    }
    Outcome<SignedTransaction> sign_update_liquidator_config(LiquidatorConfig config, std::optional<uint64_t> nonce);

    // Batches: element i is its own transaction with nonce base + i (wrapping),
    // the base being the caller's or one reserved timestamp range whatever the
    // strategy. Below 10 elements on this thread in order, else on the worker
    // pool; results in input order, or one error and nothing else. An empty
    // batch returns an empty list and draws no nonce.
    Outcome<std::vector<SignedTransaction>> sign_all(std::vector<OrderItem> orders,
                                                     std::optional<uint64_t> base_nonce) const;
    Outcome<std::vector<SignedTransaction>> sign_orders_batch(std::vector<std::vector<OrderItem>> batches,
                                                              std::optional<uint64_t> base_nonce) const;

private:
    Signer(const Keypair& keypair, SignatureDomain domain, std::optional<NonceStrategy> strategy);

    struct IdFlags {
        bool single;
        bool batch;
    };
    // Message into `message`, ids with `id_scratch`, signature, JSON.
    Result<SignedTransaction> sign_with_buffers(const Action& action, uint64_t nonce, const Pubkey& account,
                                                IdFlags ids, std::vector<uint8_t>& message,
                                                std::vector<uint8_t>& id_scratch) const;
    Outcome<SignedTransaction> sign_own(const Action& action, std::optional<uint64_t> nonce);

    Keypair keypair_;
    std::string pubkey_base58_;
    SignatureDomain domain_;
    mutable NonceState nonce_;
    bool compute_order_id_ = true;
    bool compute_batch_order_ids_ = false;
    std::vector<uint8_t> scratch_;     // the message of sign_action; 512 bytes to start
    std::vector<uint8_t> id_scratch_;  // canonical order bytes of sign_action
};

}  // namespace vorn
