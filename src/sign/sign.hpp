// The signer: a keypair bound to one network domain, a nonce source and the
// order-id switches. Signing is preparation (prepare_into) plus the
// signature; the signed transaction is made from the prepared record. What is
// signed comes from the table of operations (prepare/operation.hpp).
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "prepare/operation.hpp"
#include "prepare/prepare.hpp"
#include "nonce/nonce.hpp"
#include "pool/pool.hpp"
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
    // of threads may sign with one signer at once. The action JSON goes into
    // the transaction.
    Result<SignedTransaction> sign_action(const Action& action, uint64_t nonce, const Pubkey& account) const;

    // Signs an operation (prepare/operation.hpp) for the signer's own account;
    // nonce: the caller's or next_nonce. A refused operation draws no nonce.
    // The action JSON goes into the transaction, or to actions when given.
    Result<SignedTransaction> sign(const Result<Action>& operation, std::optional<uint64_t> nonce);
    Result<SignedTransaction> sign(const Result<Action>& operation, std::optional<uint64_t> nonce,
                                   ActionSink& actions);

    // The preparation of a batch element for the signer's own account, with
    // the signer's order-id switches. The action JSON goes to actions, or
    // nowhere without a sink (the caller renders the same action itself).
    Status prepare_element(const Action& action, uint64_t nonce, PreparedMessage& out, ActionSink* actions) const;

    // One group of a batch (at most kMaxGroup elements): element k is
    // prepared by prepare(k, first_nonce + k, PreparedMessage&) -> Status,
    // and the group is signed at once (ed25519/group.hpp) into out. The
    // first failing preparation's error fails the group. The messages are
    // built in buffers of the calling thread, as in sign_action.
    template <class Prepare>
    Status sign_batch_group(std::span<SignedTransaction> out, uint64_t first_nonce, Prepare&& prepare) const {
        std::span<PreparedMessage> group = thread_group();
        for (size_t k = 0; k < out.size(); ++k)
            if (Status st = prepare(k, first_nonce + static_cast<uint64_t>(k), group[k]); !st) return st;
        finish_group(group.first(out.size()), out);
        return {};
    }

    // Batches: element i is its own transaction with nonce base + i, under
    // the rules of run_streamed (pool.hpp), signed in groups.
    Result<std::vector<SignedTransaction>> sign_all(std::vector<OrderItem> orders,
                                                    std::optional<uint64_t> base_nonce) const;
    Result<std::vector<SignedTransaction>> sign_orders_batch(std::vector<std::vector<OrderItem>> batches,
                                                             std::optional<uint64_t> base_nonce) const;

private:
    Signer(const Keypair& keypair, SignatureDomain domain, std::optional<NonceStrategy> strategy);

    // The calling thread's kMaxGroup preparation buffers, reused.
    static std::span<PreparedMessage> thread_group();
    // Signs the prepared group and moves it into out (same size).
    void finish_group(std::span<PreparedMessage> prepared, std::span<SignedTransaction> out) const;

    // sign_action into actions, or into the transaction without a sink.
    Result<SignedTransaction> sign_with(const Action& action, uint64_t nonce, const Pubkey& account,
                                        ActionSink* actions) const;
    Result<SignedTransaction> sign_own(const Result<Action>& operation, std::optional<uint64_t> nonce,
                                       ActionSink* actions);

    Keypair keypair_;
    std::string pubkey_base58_;
    SignatureDomain domain_;
    mutable NonceState nonce_;
    bool compute_order_id_ = true;
    bool compute_batch_order_ids_ = false;
};

}  // namespace vorn
