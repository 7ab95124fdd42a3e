// The preparation pipeline: signing message, action JSON and order ids of one
// action, built once; the single preparations and the prepared batch on top.
#include "prepare/prepare.hpp"

#include <utility>
#include <variant>

#include "sdk_compat/sdk_compat.hpp"
#include "pool/pool.hpp"

namespace vorn {

namespace {

// Canonical order bytes fit in this many bytes for ordinary symbols.
constexpr size_t kIdScratchCapacity = 96;

// The canonical-order-bytes buffer of the calling thread, reused across
// preparations.
std::vector<uint8_t>& thread_id_scratch() {
    thread_local std::vector<uint8_t> scratch = reserved_bytes(kIdScratchCapacity);
    return scratch;
}

// Order ids with the same nonce and account as the message; the sequence
// number is always the item's position, also when earlier items have none.
void add_order_ids(const std::vector<OrderItem>& items, uint64_t nonce, const Pubkey& account, OrderIdSwitches ids,
                   PreparedMessage& out) {
    std::vector<uint8_t>& scratch = thread_id_scratch();
    if (items.size() == 1) {
        if (!ids.single) return;
        if (auto id = compute_order_item_id_with_seqno(items[0], 0, nonce, account, scratch))
            out.order_id = id->to_base58();
        return;
    }
    if (!ids.batch || items.size() < 2) return;
    std::vector<std::string> found;
    found.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        if (auto id = compute_order_item_id_with_seqno(items[i], static_cast<uint32_t>(i), nonce, account, scratch))
            found.push_back(id->to_base58());
    }
    if (!found.empty()) out.order_ids = std::move(found);
}

// prepare_into into a fresh record; the action JSON to sink, or nowhere.
Result<PreparedMessage> prepare_fresh(const Action& action, SignatureDomain domain, const Pubkey& account,
                                      uint64_t nonce, OrderIdSwitches ids, ActionSink* sink) {
    PreparedMessage out;
    out.message_bytes = reserved_bytes(kMessageCapacity);
    if (auto st = prepare_into(action, domain, account, nonce, ids, out, sink); !st) return fail(std::move(st.error()));
    return out;
}

// A record prepared without a sink, with the action JSON rendered into it
// (the conversion has accepted the action).
Result<PreparedMessage> with_json(Result<PreparedMessage> out, const Action& action) {
    if (out)
        if (auto st = JsonSink(out->actions).render(action); !st) return fail(std::move(st.error()));
    return out;
}

// prepare_fresh with every order id, for account, signed by signer (the
// account when none is given).
Result<PreparedMessage> prepare_with(const Action& action, SignatureDomain domain, const Pubkey& account,
                                     const std::optional<Pubkey>& signer, uint64_t nonce, ActionSink* sink) {
    Result<PreparedMessage> out = prepare_fresh(action, domain, account, nonce, {}, sink);
    if (out) {
        out->account = account.to_base58();
        out->signer = signer ? signer->to_base58() : out->account;
    }
    return out;
}

}  // namespace

Action one_item_orders(OrderItem&& item) {
    Orders orders;
    orders.items.push_back(std::move(item));
    return Action(std::move(orders));
}

SignedTransaction SignedTransaction::from(PreparedMessage& prepared, std::string signature) {
    SignedTransaction tx;
    tx.actions = std::move(prepared.actions);
    tx.account = std::move(prepared.account);
    tx.signer = std::move(prepared.signer);
    tx.signature = std::move(signature);
    tx.order_id = std::move(prepared.order_id);
    tx.order_ids = std::move(prepared.order_ids);
    tx.nonce = prepared.nonce;
    return tx;
}

Status prepare_into(const Action& action, SignatureDomain domain, const Pubkey& account, uint64_t nonce,
                    OrderIdSwitches ids, PreparedMessage& out, ActionSink* sink) {
    out.message_bytes.clear();  // capacity kept; the message is written in one pass
    out.actions.clear();
    if (auto st = serialize_for_sdk_signing(action, signature_domain_byte(domain), nonce, account, out.message_bytes);
        !st)
        return st;
    // The conversion above has accepted the action, so its rendering is too.
    if (sink != nullptr)
        if (auto st = sink->render(action); !st) return st;
    out.order_id.reset();
    out.order_ids.reset();
    if (const auto* orders = std::get_if<Orders>(&action.v)) add_order_ids(orders->items, nonce, account, ids, out);
    out.nonce = nonce;
    return {};
}

Result<uint64_t> resolve_nonce(std::optional<uint64_t> nonce) {
    if (nonce) return *nonce;
    return unique_timestamp();
}

Result<PreparedMessage> prepare_action(const Action& action, SignatureDomain domain, const Pubkey& account,
                                       const std::optional<Pubkey>& signer, uint64_t nonce) {
    return with_json(prepare_with(action, domain, account, signer, nonce, nullptr), action);
}

Result<PreparedMessage> prepare_action(const Action& action, SignatureDomain domain, const Pubkey& account,
                                       const std::optional<Pubkey>& signer, uint64_t nonce, ActionSink& sink) {
    return prepare_with(action, domain, account, signer, nonce, &sink);
}

Result<std::vector<PreparedMessage>> prepare_all_orders(std::vector<OrderItem> items, SignatureDomain domain,
                                                        const Pubkey& account, const std::optional<Pubkey>& signer,
                                                        std::optional<uint64_t> base_nonce) {
    const std::string account_text = account.to_base58();
    const std::string signer_text = signer ? signer->to_base58() : account_text;
    return run_nonce_batch<PreparedMessage>(items, base_nonce, [&](OrderItem item, uint64_t nonce) {
        const Action action = one_item_orders(std::move(item));
        return with_json(prepare_batch_item(action, domain, account, account_text, signer_text, nonce, nullptr), action);
    });
}

Result<PreparedMessage> prepare_batch_item(const Action& action, SignatureDomain domain, const Pubkey& account,
                                           const std::string& account_text, const std::string& signer_text,
                                           uint64_t nonce, ActionSink* sink) {
    Result<PreparedMessage> out = prepare_fresh(action, domain, account, nonce, {.single = true, .batch = false}, sink);
    if (out) {
        out->account = account_text;
        out->signer = signer_text;
    }
    return out;
}

}  // namespace vorn
