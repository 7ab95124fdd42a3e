// The table of operations.
#include "prepare/operation.hpp"

#include "prepare/prepare.hpp"

namespace vorn::operation {

Result<Action> order(OrderItem&& item) { return one_item_orders(std::move(item)); }

Result<Action> group(std::vector<OrderItem> items) {
    if (items.empty()) return fail(Error::empty_orders());
    return Action(Orders{std::move(items)});
}

Result<Action> faucet(const Pubkey& account) { return Action(Faucet{account, std::nullopt}); }

Result<Action> agent_wallet(const Pubkey& agent, bool delete_agent) {
    return Action(AgentWalletCreation{agent, delete_agent});
}

Result<Action> approve_commission_fee(const Pubkey& to, uint8_t fee) {
    if (auto st = Commission::check_fee(fee); !st) return fail(std::move(st.error()));
    return Action(ApproveCommissionFee{to, fee});
}

Result<Action> revoke_commission_fee(const Pubkey& to) { return Action(RevokeCommissionFee{to}); }

Result<Action> user_settings(std::vector<std::pair<std::string, double>> max_leverage) {
    return Action(UpdateUserSettings{std::move(max_leverage)});
}

Result<Action> update_liquidator_config(LiquidatorConfig config) {
    return Action(UpdateLiquidatorConfig{std::move(config)});
}

Result<Action> oracle_prices(std::vector<OraclePrice> prices) {
    if (prices.empty()) return fail(Error::invalid_order("oracle prices array cannot be empty"));
    return Action(OraclePrices{std::move(prices)});
}

Result<Action> pyth_oracle(std::vector<PythEntry> oracles) {
    if (oracles.empty()) return fail(Error::invalid_order("pyth oracle array cannot be empty"));
    return Action(PythOracle{std::move(oracles)});
}

Result<Action> create_sub_account(std::string name, std::optional<double> margin_amount) {
    return Action(CreateSubAccount{std::move(name), margin_amount});
}

Result<Action> remove_sub_account(const Pubkey& to_remove) { return Action(RemoveSubAccount{to_remove}); }

Result<Action> transfer(const Pubkey& from, const Pubkey& to, double margin_amount, TransferKind kind) {
    return Action(Transfer{kind, from, to, margin_amount});
}

Result<Action> whitelist_faucet(const Pubkey& target, bool whitelist) {
    return Action(WhitelistFaucet{target, whitelist});
}

}  // namespace vorn::operation
