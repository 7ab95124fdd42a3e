// Single preparations: one action, one order item, one transfer.
#include "prepare/prepare.hpp"

#include <utility>
#include <variant>

#include "sdk_compat/sdk_compat.hpp"

namespace vorn {

namespace {

// Signing messages usually fit in this many bytes.
constexpr size_t kMessageCapacity = 512;
// Canonical order bytes fit in this many bytes for ordinary symbols.
constexpr size_t kIdScratchCapacity = 96;

}  // namespace

Timed<uint64_t> resolve_nonce(std::optional<uint64_t> nonce) {
    if (nonce) return *nonce;
    return unique_timestamp();
}

Result<PreparedMessage> prepare_action(const Action& action, SignatureDomain domain, const Pubkey& account,
                                       const std::optional<Pubkey>& signer, uint64_t nonce) {
    PreparedMessage out;
    out.message_bytes.reserve(kMessageCapacity);
    auto built = serialize_for_sdk_signing(action, signature_domain_byte(domain), nonce, account, out.message_bytes);
    if (!built) return fail(std::move(built).error());

    auto actions = prepare::action_to_json(action);
    if (!actions) return fail(std::move(actions).error());
    out.actions = std::move(*actions);

    // Order ids with the same nonce and account as the message; the sequence
    // number is always the item's position, also when earlier items have none.
    if (const auto* orders = std::get_if<Orders>(&action.v)) {
        std::vector<uint8_t> scratch;
        scratch.reserve(kIdScratchCapacity);
        if (orders->items.size() == 1) {
            auto id = compute_order_item_id_with_seqno(orders->items[0], 0, nonce, account, scratch);
            if (id) out.order_id = id->to_base58();
        } else if (orders->items.size() >= 2) {
            std::vector<std::string> ids;
            for (size_t i = 0; i < orders->items.size(); ++i) {
                auto id = compute_order_item_id_with_seqno(orders->items[i], static_cast<uint32_t>(i), nonce,
                                                           account, scratch);
                if (id) ids.push_back(id->to_base58());
            }
            if (!ids.empty()) out.order_ids = std::move(ids);
        }
    }

    out.account = account.to_base58();
    out.signer = signer ? signer->to_base58() : out.account;
    out.nonce = nonce;
    return out;
}

Result<PreparedMessage> prepare_message(OrderItem item, SignatureDomain domain, const Pubkey& account,
                                        const std::optional<Pubkey>& signer, uint64_t nonce) {
    Orders orders;
    orders.items.push_back(std::move(item));
    return prepare_action(Action(std::move(orders)), domain, account, signer, nonce);
}

Result<PreparedMessage> prepare_transfer(const Transfer& transfer, SignatureDomain domain, const Pubkey& account,
                                         const std::optional<Pubkey>& signer, uint64_t nonce) {
    return prepare_action(Action(transfer), domain, account, signer, nonce);
}

Result<PreparedMessage> prepare_single_item(OrderItem item, SignatureDomain domain, const Pubkey& account,
                                            const Pubkey& signer, uint64_t nonce) {
    std::vector<uint8_t> scratch;
    scratch.reserve(kIdScratchCapacity);
    auto id = compute_order_item_id_with_seqno(item, 0, nonce, account, scratch);

    Orders orders;
    orders.items.push_back(std::move(item));
    const Action action(std::move(orders));

    PreparedMessage out;
    out.message_bytes.reserve(kMessageCapacity);
    auto built = serialize_for_sdk_signing(action, signature_domain_byte(domain), nonce, account, out.message_bytes);
    if (!built) return fail(std::move(built).error());
    auto actions = prepare::action_to_json(action);
    if (!actions) return fail(std::move(actions).error());
    out.actions = std::move(*actions);

    if (id) out.order_id = id->to_base58();
    out.account = account.to_base58();
    out.signer = signer.to_base58();
    out.nonce = nonce;
    return out;
}

}  // namespace vorn
