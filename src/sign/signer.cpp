// The signer: its construction, signing through the preparation pipeline,
// its single-transaction operations and its batches.
#include "sign/sign.hpp"

#include "sdk_compat/sdk_compat.hpp"
#include "pool/pool.hpp"

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
                                            OrderIdSwitches ids) const {
    // The thread's buffer lends its capacity to the prepared record and gets
    // it back, whatever the outcome.
    std::vector<uint8_t>& buffer = thread_message_buffer();
    PreparedMessage prepared;
    prepared.message_bytes = std::move(buffer);
    auto st = prepare_into(action, domain_, account, nonce, ids,
                           account == pubkey() ? pubkey_base58_ : account.to_base58(), pubkey_base58_, prepared);
    Result<SignedTransaction> out = st ? Result<SignedTransaction>(SignedTransaction::from(
                                             prepared, sign_bytes(prepared.message_bytes.data(),
                                                                  prepared.message_bytes.size())))
                                       : fail(std::move(st.error()));
    buffer = std::move(prepared.message_bytes);
    return out;
}

Result<SignedTransaction> Signer::sign_action(const Action& action, uint64_t nonce, const Pubkey& account,
                                              bool with_json) const {
    return sign_with(action, nonce, account, {compute_order_id_, compute_batch_order_ids_, with_json});
}

Result<SignedTransaction> Signer::sign_single_item(OrderItem item, uint64_t nonce, bool with_json) const {
    return sign_with(one_item_orders(std::move(item)), nonce, pubkey(), {compute_order_id_, false, with_json});
}

Result<SignedTransaction> Signer::sign_single_order_batch(std::vector<OrderItem> items, uint64_t nonce,
                                                          bool with_json) const {
    if (items.empty()) return fail(Error::empty_orders());
    return sign_action(Action{Orders{std::move(items)}}, nonce, pubkey(), with_json);
}

Result<std::vector<SignedTransaction>> Signer::sign_all(std::vector<OrderItem> orders,
                                                        std::optional<uint64_t> base_nonce) const {
    return run_nonce_batch<SignedTransaction>(
        orders, base_nonce, [this](OrderItem item, uint64_t nonce) { return sign_single_item(std::move(item), nonce); });
}

Result<std::vector<SignedTransaction>> Signer::sign_orders_batch(std::vector<std::vector<OrderItem>> batches,
                                                                 std::optional<uint64_t> base_nonce) const {
    return run_nonce_batch<SignedTransaction>(batches, base_nonce, [this](std::vector<OrderItem> items, uint64_t nonce) {
        return sign_single_order_batch(std::move(items), nonce);
    });
}

Result<SignedTransaction> Signer::sign_own(const Action& action, std::optional<uint64_t> nonce, bool with_json) {
    auto n = nonce_or_next(nonce);
    if (!n) return fail(std::move(n.error()));
    return sign_action(action, *n, pubkey(), with_json);
}

Result<SignedTransaction> Signer::sign(OrderItem order, std::optional<uint64_t> nonce, bool with_json) {
    return sign_own(one_item_orders(std::move(order)), nonce, with_json);
}

Result<SignedTransaction> Signer::sign_group(std::vector<OrderItem> orders, std::optional<uint64_t> nonce,
                                             bool with_json) {
    if (orders.empty()) return fail(Error::empty_orders());
    return sign_own(Action{Orders{std::move(orders)}}, nonce, with_json);
}

Result<SignedTransaction> Signer::sign_faucet(std::optional<uint64_t> nonce) {
    return sign_own(Action{Faucet{pubkey(), std::nullopt}}, nonce);
}

Result<SignedTransaction> Signer::sign_agent_wallet(const Pubkey& agent, bool delete_agent,
                                                    std::optional<uint64_t> nonce) {
    return sign_own(Action{AgentWalletCreation{agent, delete_agent}}, nonce);
}

Result<SignedTransaction> Signer::sign_user_settings(std::vector<std::pair<std::string, double>> max_leverage,
                                                     std::optional<uint64_t> nonce) {
    return sign_own(Action{UpdateUserSettings{std::move(max_leverage)}}, nonce);
}

Result<SignedTransaction> Signer::sign_oracle_prices(std::vector<OraclePrice> prices, std::optional<uint64_t> nonce) {
    if (prices.empty()) return fail(Error::invalid_order("oracle prices array cannot be empty"));
    return sign_own(Action{OraclePrices{std::move(prices)}}, nonce);
}

Result<SignedTransaction> Signer::sign_pyth_oracle(std::vector<PythEntry> oracles, std::optional<uint64_t> nonce) {
    if (oracles.empty()) return fail(Error::invalid_order("pyth oracle array cannot be empty"));
    return sign_own(Action{PythOracle{std::move(oracles)}}, nonce);
}

Result<SignedTransaction> Signer::sign_create_sub_account(std::string name, std::optional<double> margin_amount,
                                                          std::optional<uint64_t> nonce) {
    return sign_own(Action{CreateSubAccount{std::move(name), margin_amount}}, nonce);
}

Result<SignedTransaction> Signer::sign_remove_sub_account(const Pubkey& to_remove, std::optional<uint64_t> nonce) {
    return sign_own(Action{RemoveSubAccount{to_remove}}, nonce);
}

Result<SignedTransaction> Signer::sign_transfer(const Pubkey& from, const Pubkey& to, double margin_amount,
                                                TransferKind kind, std::optional<uint64_t> nonce) {
    return sign_own(Action{Transfer{kind, from, to, margin_amount}}, nonce);
}

Result<SignedTransaction> Signer::sign_whitelist_faucet(const Pubkey& target, bool whitelist,
                                                        std::optional<uint64_t> nonce) {
    return sign_own(Action{WhitelistFaucet{target, whitelist}}, nonce);
}

Result<SignedTransaction> Signer::sign_approve_commission_fee(const Pubkey& to, uint8_t fee,
                                                              std::optional<uint64_t> nonce) {
    if (auto st = Commission::check_fee(fee); !st) return fail(std::move(st.error()));
    return sign_own(Action{ApproveCommissionFee{to, fee}}, nonce);
}

Result<SignedTransaction> Signer::sign_revoke_commission_fee(const Pubkey& to, std::optional<uint64_t> nonce) {
    return sign_own(Action{RevokeCommissionFee{to}}, nonce);
}

Result<SignedTransaction> Signer::sign_update_liquidator_config(LiquidatorConfig config,
                                                                std::optional<uint64_t> nonce) {
    return sign_own(Action{UpdateLiquidatorConfig{std::move(config)}}, nonce);
}

}  // namespace vorn
