// The signer: its construction, signing through the preparation pipeline,
// its single-transaction operations and its batches.
#include "sign/sign.hpp"

#include <array>

#include "ed25519/group.hpp"
#include "pool/pool.hpp"
#include "sdk_compat/sdk_compat.hpp"

namespace vorn {

namespace {

// The message buffer of the calling thread, reused across transactions so
// that signing allocates no message; batch workers each have their own.
std::vector<uint8_t>& thread_message_buffer() {
    thread_local std::vector<uint8_t> buffer = reserved_bytes(kMessageCapacity);
    return buffer;
}

}  // namespace

Signer::Signer(const Keypair& keypair, SignatureDomain domain, std::optional<NonceStrategy> strategy)
    : keypair_(keypair), pubkey_base58_(keypair.pubkey().to_base58()), domain_(domain), nonce_(strategy) {}

Result<Signer> Signer::create(const Keypair& keypair, std::string_view signature_domain) {
    auto domain = signature_domain_from_str(signature_domain);
    if (!domain) return fail(std::move(domain.error()));
    return Signer(keypair, *domain, std::nullopt);
}

Result<Signer> Signer::from_base58(std::string_view secret, std::string_view signature_domain) {
    auto keypair = Keypair::from_base58(secret);
    if (!keypair) return fail(std::move(keypair.error()));
    return create(*keypair, signature_domain);
}

Result<Signer> Signer::with_nonce_manager(const Keypair& keypair, NonceStrategy strategy,
                                          std::string_view signature_domain) {
    auto domain = signature_domain_from_str(signature_domain);
    if (!domain) return fail(std::move(domain.error()));
    return Signer(keypair, *domain, strategy);
}

std::string Signer::sign_bytes(const uint8_t* message, size_t len) const {
    return signature_to_base58(keypair_.sign(message, len));
}

Result<uint64_t> Signer::nonce_or_next(std::optional<uint64_t> nonce) const {
    if (nonce) return *nonce;
    return next_nonce();
}

Result<SignedTransaction> Signer::sign_with(const Action& action, uint64_t nonce, const Pubkey& account,
                                            ActionSink* actions) const {
    // The thread's buffer lends its capacity to the prepared record and gets
    // it back, whatever the outcome.
    std::vector<uint8_t>& buffer = thread_message_buffer();
    PreparedMessage prepared{.message_bytes = std::move(buffer),
                             .actions = {},
                             .account = account == pubkey() ? pubkey_base58_ : account.to_base58(),
                             .signer = pubkey_base58_};
    std::optional<JsonSink> record;
    if (actions == nullptr) actions = &record.emplace(prepared.actions);
    auto st = prepare_into(action, domain_, account, nonce, {compute_order_id_, compute_batch_order_ids_}, prepared,
                           actions);
    Result<SignedTransaction> out = st ? Result<SignedTransaction>(SignedTransaction::from(
                                             prepared, sign_bytes(prepared.message_bytes.data(),
                                                                  prepared.message_bytes.size())))
                                       : fail(std::move(st.error()));
    buffer = std::move(prepared.message_bytes);
    return out;
}

Result<SignedTransaction> Signer::sign_action(const Action& action, uint64_t nonce, const Pubkey& account) const {
    return sign_with(action, nonce, account, nullptr);
}

Result<SignedTransaction> Signer::sign_own(const Result<Action>& operation, std::optional<uint64_t> nonce,
                                           ActionSink* actions) {
    if (!operation) return fail(operation.error());
    auto n = nonce_or_next(nonce);
    if (!n) return fail(std::move(n.error()));
    return sign_with(*operation, *n, pubkey(), actions);
}

Result<SignedTransaction> Signer::sign(const Result<Action>& operation, std::optional<uint64_t> nonce) {
    return sign_own(operation, nonce, nullptr);
}

Result<SignedTransaction> Signer::sign(const Result<Action>& operation, std::optional<uint64_t> nonce,
                                       ActionSink& actions) {
    return sign_own(operation, nonce, &actions);
}

Status Signer::prepare_element(const Action& action, uint64_t nonce, PreparedMessage& out,
                               ActionSink* actions) const {
    Status st = prepare_into(action, domain_, pubkey(), nonce, {compute_order_id_, compute_batch_order_ids_}, out,
                             actions);
    if (st) {
        out.account = pubkey_base58_;
        out.signer = pubkey_base58_;
    }
    return st;
}

std::span<PreparedMessage> Signer::thread_group() {
    thread_local std::array<PreparedMessage, kMaxGroup> group = [] {
        std::array<PreparedMessage, kMaxGroup> g;
        for (PreparedMessage& p : g) p.message_bytes = reserved_bytes(kMessageCapacity);
        return g;
    }();
    return group;
}

void Signer::finish_group(std::span<PreparedMessage> prepared, std::span<SignedTransaction> out) const {
    std::array<ed25519::Message, kMaxGroup> messages;
    std::array<Signature, kMaxGroup> signatures;
    const size_t n = prepared.size();
    for (size_t k = 0; k < n; ++k) messages[k] = {prepared[k].message_bytes.data(), prepared[k].message_bytes.size()};
    ed25519::sign_group(keypair_, std::span(messages).first(n), std::span(signatures).first(n));
    for (size_t k = 0; k < n; ++k) out[k] = SignedTransaction::from(prepared[k], signature_to_base58(signatures[k]));
}

namespace {

// A batch whose element i is the action make(i), signed in groups with its
// action JSON in the transaction.
template <class Make>
Result<std::vector<SignedTransaction>> sign_each(const Signer& s, size_t n, std::optional<uint64_t> base_nonce,
                                                 Make&& make) {
    return run_to_vector<SignedTransaction>(
        n, base_nonce, [&](size_t first, std::span<SignedTransaction> out, uint64_t nonce) {
            return s.sign_batch_group(out, nonce, [&](size_t k, uint64_t element_nonce, PreparedMessage& p) {
                JsonSink record(p.actions);
                return s.prepare_element(make(first + k), element_nonce, p, &record);
            });
        },
        ed25519::batch_group_size());
}

}  // namespace

Result<std::vector<SignedTransaction>> Signer::sign_all(std::vector<OrderItem> orders,
                                                        std::optional<uint64_t> base_nonce) const {
    return sign_each(*this, orders.size(), base_nonce,
                     [&](size_t i) { return one_item_orders(std::move(orders[i])); });
}

Result<std::vector<SignedTransaction>> Signer::sign_orders_batch(std::vector<std::vector<OrderItem>> batches,
                                                                 std::optional<uint64_t> base_nonce) const {
    // An empty element is refused by the conversion (EmptyOrders).
    return sign_each(*this, batches.size(), base_nonce,
                     [&](size_t i) { return Action(Orders{std::move(batches[i])}); });
}

}  // namespace vorn
