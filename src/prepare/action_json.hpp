// The exchange's JSON vocabulary for actions and order items: the "actions"
// list that travels with every signed or prepared message.
#pragma once
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "types/error.hpp"
#include "types/types.hpp"

namespace vorn {

using json = nlohmann::json;

// One value per order item for an orders action, one per price for an
// oracle-prices action, exactly one for every other action. Objects keep
// their keys in ascending byte order; f64 values stay floats, non-finite
// ones become null. Refuses what the wire conversion refuses by the same
// rules (check_order_kind, legacy withdrawals); the fee rule is left to it.
Result<std::vector<json>> action_to_json(const Action& action);
Result<json> order_item_to_json(const OrderItem& item);

// Sets "builderCode" to {"fee", "to"} when a commission is given.
void add_builder_code(json& object, const std::optional<Commission>& commission);

// The liquidator configuration object, instruments sorted by symbol.
json liquidator_config_to_json(const LiquidatorConfig& config);

}  // namespace vorn
