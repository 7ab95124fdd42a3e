// Construction of the signer and its single-transaction signing operations.
#include "sdk_compat/sdk_compat.hpp"
#include "sign/sign.hpp"

namespace vorn {

namespace {

constexpr size_t kMessageCapacity = 512;
constexpr size_t kOrderIdScratchCapacity = 96;

std::vector<uint8_t> reserved(size_t capacity) {
    std::vector<uint8_t> v;
    v.reserve(capacity);
    return v;
}

// Per-thread buffers for the read-only paths, so batch workers never share
// one and a thread reuses its own across transactions.
std::vector<uint8_t>& thread_message_buffer() {
    thread_local std::vector<uint8_t> buffer = reserved(kMessageCapacity);
    return buffer;
}

std::vector<uint8_t>& thread_id_scratch() {
    thread_local std::vector<uint8_t> buffer = reserved(kOrderIdScratchCapacity);
    return buffer;
}

}  // namespace

Signer::Signer(const Keypair& keypair, SignatureDomain domain, std::optional<NonceStrategy> strategy)
    : keypair_(keypair),
      pubkey_base58_(keypair.pubkey().to_base58()),
      domain_(domain),
      nonce_(strategy),
      scratch_(reserved(kMessageCapacity)),
      id_scratch_(reserved(kOrderIdScratchCapacity)) {}

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

Timed<uint64_t> Signer::nonce_or_next(std::optional<uint64_t> nonce) const {
    if (nonce) return *nonce;
    return next_nonce();
}

Result<SignedTransaction> Signer::sign_with_buffers(const Action& action, uint64_t nonce, const Pubkey& account,
                                                    IdFlags ids, std::vector<uint8_t>& message,
                                                    std::vector<uint8_t>& id_scratch) const {
    auto built = serialize_for_sdk_signing(action, signature_domain_byte(domain_), nonce, account, message);
    if (!built) return fail(std::move(built.error()));

    SignedTransaction tx;
    if (const auto* orders = std::get_if<Orders>(&action.v)) {
        const auto& items = orders->items;
        if (ids.single && items.size() == 1) {
            auto id = compute_order_item_id_with_seqno(items[0], 0, nonce, account, id_scratch);
            if (id) tx.order_id = id->to_base58();
        }
        if (ids.batch && items.size() >= 2) {
            std::vector<std::string> found;
            found.reserve(items.size());
            // The sequence number is the item's position, also after items
            // that have no id.
            for (size_t i = 0; i < items.size(); ++i) {
                auto id = compute_order_item_id_with_seqno(items[i], static_cast<uint32_t>(i), nonce, account,
                                                           id_scratch);
                if (id) found.push_back(id->to_base58());
            }
            if (!found.empty()) tx.order_ids = std::move(found);
        }
    }

    tx.signature = sign_bytes(message.data(), message.size());

    auto rendered = action_to_json(action);
    if (!rendered) return fail(std::move(rendered.error()));
    tx.actions = std::move(*rendered);
    tx.account = account == pubkey() ? pubkey_base58_ : account.to_base58();
    tx.signer = pubkey_base58_;
    tx.nonce = nonce;
    return tx;
}

Result<SignedTransaction> Signer::sign_action(const Action& action, uint64_t nonce, const Pubkey& account) {
    return sign_with_buffers(action, nonce, account, {compute_order_id_, compute_batch_order_ids_}, scratch_,
                             id_scratch_);
}

Result<SignedTransaction> Signer::sign_single_item(OrderItem item, uint64_t nonce) const {
    Action action{Orders{}};
    std::get<Orders>(action.v).items.push_back(std::move(item));
    return sign_with_buffers(action, nonce, pubkey(), {compute_order_id_, false}, thread_message_buffer(),
                             thread_id_scratch());
}

Result<SignedTransaction> Signer::sign_single_order_batch(std::vector<OrderItem> items, uint64_t nonce) const {
    if (items.empty()) return fail(Error::empty_orders());
    Action action{Orders{std::move(items)}};
    return sign_with_buffers(action, nonce, pubkey(), {compute_order_id_, compute_batch_order_ids_},
                             thread_message_buffer(), thread_id_scratch());
}

Outcome<SignedTransaction> Signer::sign_own(const Action& action, std::optional<uint64_t> nonce) {
    auto n = nonce_or_next(nonce);
    if (!n) return failure(n.error());
    auto tx = sign_action(action, *n, pubkey());
    if (!tx) return failure(std::move(tx.error()));
    return std::move(*tx);
}

Outcome<SignedTransaction> Signer::sign(OrderItem order, std::optional<uint64_t> nonce) {
    Action action{Orders{}};
    std::get<Orders>(action.v).items.push_back(std::move(order));
    return sign_own(action, nonce);
}

Outcome<SignedTransaction> Signer::sign_group(std::vector<OrderItem> orders, std::optional<uint64_t> nonce) {
    if (orders.empty()) return failure(Error::empty_orders());
    return sign_own(Action{Orders{std::move(orders)}}, nonce);
}

Outcome<SignedTransaction> Signer::sign_faucet(std::optional<uint64_t> nonce) {
    return sign_own(Action{Faucet{pubkey(), std::nullopt}}, nonce);
}

Outcome<SignedTransaction> Signer::sign_agent_wallet(const Pubkey& agent, bool delete_agent,
                                                     std::optional<uint64_t> nonce) {
    return sign_own(Action{AgentWalletCreation{agent, delete_agent}}, nonce);
}

Outcome<SignedTransaction> Signer::sign_user_settings(std::vector<std::pair<std::string, double>> max_leverage,
                                                      std::optional<uint64_t> nonce) {
    return sign_own(Action{UpdateUserSettings{std::move(max_leverage)}}, nonce);
}

Outcome<SignedTransaction> Signer::sign_oracle_prices(std::vector<OraclePrice> prices,
                                                      std::optional<uint64_t> nonce) {
    if (prices.empty()) return failure(Error::invalid_order("oracle prices array cannot be empty"));
    return sign_own(Action{OraclePrices{std::move(prices)}}, nonce);
}

Outcome<SignedTransaction> Signer::sign_pyth_oracle(std::vector<PythEntry> oracles, std::optional<uint64_t> nonce) {
    if (oracles.empty()) return failure(Error::invalid_order("pyth oracle array cannot be empty"));
    return sign_own(Action{PythOracle{std::move(oracles)}}, nonce);
}

Outcome<SignedTransaction> Signer::sign_create_sub_account(std::string name, std::optional<double> margin_amount,
                                                           std::optional<uint64_t> nonce) {
    return sign_own(Action{CreateSubAccount{std::move(name), margin_amount}}, nonce);
}

Outcome<SignedTransaction> Signer::sign_remove_sub_account(const Pubkey& to_remove, std::optional<uint64_t> nonce) {
    return sign_own(Action{RemoveSubAccount{to_remove}}, nonce);
}

Outcome<SignedTransaction> Signer::sign_transfer(const Pubkey& from, const Pubkey& to, double margin_amount,
                                                 TransferKind kind, std::optional<uint64_t> nonce) {
    return sign_own(Action{Transfer{kind, from, to, margin_amount}}, nonce);
}

Outcome<SignedTransaction> Signer::sign_whitelist_faucet(const Pubkey& target, bool whitelist,
                                                         std::optional<uint64_t> nonce) {
    return sign_own(Action{WhitelistFaucet{target, whitelist}}, nonce);
}

Outcome<SignedTransaction> Signer::sign_approve_commission_fee(const Pubkey& to, uint8_t fee,
                                                               std::optional<uint64_t> nonce) {
    if (!Commission::fee_allowed(fee)) return failure(Error::invalid_order("builder-code fee must be 1..=15 bps"));
    return sign_own(Action{ApproveCommissionFee{to, fee}}, nonce);
}

Outcome<SignedTransaction> Signer::sign_revoke_commission_fee(const Pubkey& to, std::optional<uint64_t> nonce) {
    return sign_own(Action{RevokeCommissionFee{to}}, nonce);
}

Outcome<SignedTransaction> Signer::sign_update_liquidator_config(LiquidatorConfig config,
                                                                 std::optional<uint64_t> nonce) {
    return sign_own(Action{UpdateLiquidatorConfig{std::move(config)}}, nonce);
}

}  // namespace vorn
