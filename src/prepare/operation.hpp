// The table of operations: each signable operation maps its arguments to the
// Action that is signed or prepared, in this one place, for the Signer and
// for the external-wallet preparations alike. A refusal here comes before
// any nonce is drawn.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "types/error.hpp"
#include "types/types.hpp"
#include "prepare/prepare.hpp"

namespace vorn::operation {

// One order item (an order, a cancel, a modification, ...) as a one-item
// orders action.
inline Result<Action> order(OrderItem&& item) { return one_item_orders(std::move(item)); }

// Orders signed together in this order; an empty list is EmptyOrders.
inline Result<Action> group(std::vector<OrderItem> items) {
    if (items.empty()) return fail(Error::empty_orders());
    return Action(Orders{std::move(items)});
}

// A faucet request paying account, without an amount.
inline Result<Action> faucet(const Pubkey& account) { return Action(Faucet{account, std::nullopt}); }

inline Result<Action> agent_wallet(const Pubkey& agent, bool delete_agent) {
    return Action(AgentWalletCreation{agent, delete_agent});
}

// The builder-code recipient approval (also named the commission-fee
// approval); a fee outside 1..=15 is refused.
inline Result<Action> approve_commission_fee(const Pubkey& to, uint8_t fee) {
    if (auto st = Commission::check_fee(fee); !st) return fail(std::move(st.error()));
    return Action(ApproveCommissionFee{to, fee});
}

inline Result<Action> revoke_commission_fee(const Pubkey& to) { return Action(RevokeCommissionFee{to}); }

inline Result<Action> user_settings(std::vector<std::pair<std::string, double>> max_leverage) {
    return Action(UpdateUserSettings{std::move(max_leverage)});
}

inline Result<Action> update_liquidator_config(LiquidatorConfig config) {
    return Action(UpdateLiquidatorConfig{std::move(config)});
}

// Empty lists are refused.
inline Result<Action> oracle_prices(std::vector<OraclePrice> prices) {
    if (prices.empty()) return fail(Error::invalid_order("oracle prices array cannot be empty"));
    return Action(OraclePrices{std::move(prices)});
}

inline Result<Action> pyth_oracle(std::vector<PythEntry> oracles) {
    if (oracles.empty()) return fail(Error::invalid_order("pyth oracle array cannot be empty"));
    return Action(PythOracle{std::move(oracles)});
}

inline Result<Action> create_sub_account(std::string name, std::optional<double> margin_amount) {
    return Action(CreateSubAccount{std::move(name), margin_amount});
}

inline Result<Action> remove_sub_account(const Pubkey& to_remove) { return Action(RemoveSubAccount{to_remove}); }

inline Result<Action> transfer(const Pubkey& from, const Pubkey& to, double margin_amount, TransferKind kind) {
    return Action(Transfer{kind, from, to, margin_amount});
}

inline Result<Action> whitelist_faucet(const Pubkey& target, bool whitelist) {
    return Action(WhitelistFaucet{target, whitelist});
}

}  // namespace vorn::operation
