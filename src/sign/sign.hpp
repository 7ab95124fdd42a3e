// The signer: a keypair bound to one network domain, a nonce source and the
// order-id switches. Signing is preparation (prepare_into) plus the
// signature; the signed transaction is made from the prepared record.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "prepare/prepare.hpp"
#include "prepare/action_json.hpp"
#include "nonce/nonce.hpp"
#include "types/error.hpp"
#include "types/keypair.hpp"
#include "types/types.hpp"

namespace vorn {

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
    Result<uint64_t> next_nonce() const { return nonce_.next(); }
    // The caller's nonce unchanged, or next_nonce.
    Result<uint64_t> nonce_or_next(std::optional<uint64_t> nonce) const;

    // Signs one action for account with the given nonce: prepare_into with
    // the signer's order-id switches, then the signature over the message.
    // The message is built in a buffer of the calling thread, so any number
    // of threads may sign with one signer at once.
    // With with_json false the action JSON is left out (actions empty).
    Result<SignedTransaction> sign_action(const Action& action, uint64_t nonce, const Pubkey& account,
                                          bool with_json = true) const;

    // For the signer's own account.
    // One item as a one-item orders action; order_ids never set. With
    // with_json false the action JSON is left out, as in sign.
    Result<SignedTransaction> sign_single_item(OrderItem item, uint64_t nonce, bool with_json = true) const;
    // All items as one orders action; an empty list is EmptyOrders.
    Result<SignedTransaction> sign_single_order_batch(std::vector<OrderItem> items, uint64_t nonce,
                                                      bool with_json = true) const;

    // ---- operations for the signer's own account; nonce: the caller's or next_nonce ----

    // With with_json false the action JSON is left out (actions empty), for a
    // caller that renders the order itself.
    Result<SignedTransaction> sign(OrderItem order, std::optional<uint64_t> nonce, bool with_json = true);
    // An empty list fails with EmptyOrders before any nonce is drawn.
    Result<SignedTransaction> sign_group(std::vector<OrderItem> orders, std::optional<uint64_t> nonce,
                                         bool with_json = true);
    Result<SignedTransaction> sign_order(std::vector<OrderItem> orders, std::optional<uint64_t> nonce) {
        return sign_group(std::move(orders), nonce);
    }
    Result<SignedTransaction> sign_faucet(std::optional<uint64_t> nonce);
    Result<SignedTransaction> sign_agent_wallet(const Pubkey& agent, bool delete_agent, std::optional<uint64_t> nonce);
    Result<SignedTransaction> sign_user_settings(std::vector<std::pair<std::string, double>> max_leverage,
                                                  std::optional<uint64_t> nonce);
    // Empty lists are refused before any nonce is drawn.
    Result<SignedTransaction> sign_oracle_prices(std::vector<OraclePrice> prices, std::optional<uint64_t> nonce);
    Result<SignedTransaction> sign_pyth_oracle(std::vector<PythEntry> oracles, std::optional<uint64_t> nonce);
    Result<SignedTransaction> sign_create_sub_account(std::string name, std::optional<double> margin_amount,
                                                       std::optional<uint64_t> nonce);
    Result<SignedTransaction> sign_remove_sub_account(const Pubkey& to_remove, std::optional<uint64_t> nonce);
    Result<SignedTransaction> sign_transfer(const Pubkey& from, const Pubkey& to, double margin_amount,
                                             TransferKind kind, std::optional<uint64_t> nonce);
    Result<SignedTransaction> sign_whitelist_faucet(const Pubkey& target, bool whitelist,
                                                     std::optional<uint64_t> nonce);
    // A fee outside 1..=15 is refused before any nonce is drawn.
    Result<SignedTransaction> sign_approve_commission_fee(const Pubkey& to, uint8_t fee,
                                                           std::optional<uint64_t> nonce);
    Result<SignedTransaction> sign_approve_builder_code(const Pubkey& to, uint8_t fee,
                                                         std::optional<uint64_t> nonce) {
        return sign_approve_commission_fee(to, fee, nonce);
    }
    Result<SignedTransaction> sign_revoke_commission_fee(const Pubkey& to, std::optional<uint64_t> nonce);
    Result<SignedTransaction> sign_revoke_builder_code(const Pubkey& to, std::optional<uint64_t> nonce) {
        return sign_revoke_commission_fee(to, nonce);
    }
    Result<SignedTransaction> sign_update_liquidator_config(LiquidatorConfig config, std::optional<uint64_t> nonce);

    // Batches: element i is its own transaction with nonce base + i, under
    // the rules of run_nonce_batch (pool.hpp).
    Result<std::vector<SignedTransaction>> sign_all(std::vector<OrderItem> orders,
                                                    std::optional<uint64_t> base_nonce) const;
    Result<std::vector<SignedTransaction>> sign_orders_batch(std::vector<std::vector<OrderItem>> batches,
                                                             std::optional<uint64_t> base_nonce) const;

private:
    Signer(const Keypair& keypair, SignatureDomain domain, std::optional<NonceStrategy> strategy);

    Result<SignedTransaction> sign_with(const Action& action, uint64_t nonce, const Pubkey& account,
                                        OrderIdSwitches ids) const;
    Result<SignedTransaction> sign_own(const Action& action, std::optional<uint64_t> nonce, bool with_json = true);

    Keypair keypair_;
    std::string pubkey_base58_;
    SignatureDomain domain_;
    mutable NonceState nonce_;
    bool compute_order_id_ = true;
    bool compute_batch_order_ids_ = false;
};

}  // namespace vorn
