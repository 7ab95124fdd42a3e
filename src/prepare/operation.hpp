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

namespace vorn::operation {

// One order item (an order, a cancel, a modification, ...) as a one-item
// orders action.
Result<Action> order(OrderItem&& item);
// Orders signed together in this order; an empty list is EmptyOrders.
Result<Action> group(std::vector<OrderItem> items);
// A faucet request paying account, without an amount.
Result<Action> faucet(const Pubkey& account);
Result<Action> agent_wallet(const Pubkey& agent, bool delete_agent);
// The builder-code recipient approval (also named the commission-fee
// approval); a fee outside 1..=15 is refused.
Result<Action> approve_commission_fee(const Pubkey& to, uint8_t fee);
Result<Action> revoke_commission_fee(const Pubkey& to);
Result<Action> user_settings(std::vector<std::pair<std::string, double>> max_leverage);
Result<Action> update_liquidator_config(LiquidatorConfig config);
// Empty lists are refused.
Result<Action> oracle_prices(std::vector<OraclePrice> prices);
Result<Action> pyth_oracle(std::vector<PythEntry> oracles);
Result<Action> create_sub_account(std::string name, std::optional<double> margin_amount);
Result<Action> remove_sub_account(const Pubkey& to_remove);
Result<Action> transfer(const Pubkey& from, const Pubkey& to, double margin_amount, TransferKind kind);
Result<Action> whitelist_faucet(const Pubkey& target, bool whitelist);

}  // namespace vorn::operation
