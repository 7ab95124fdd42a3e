// Internal: the order records shared by conversion and order ids, and the
// conversion that hands each wire action to a sink as soon as it is built,
// so the signing message can be encoded without collecting the records in a
// heap list.
#pragma once
#include <cstdint>
#include <variant>

#include "types/error.hpp"
#include "sdk_compat/wire.hpp"
#include "types/types.hpp"

namespace vorn::detail {

class TxActionSink {
public:
    // The sink may take the record's contents; the caller rebuilds it next.
    virtual void put(TxAction& action) = 0;

protected:
    ~TxActionSink() = default;
};

// Calls f with the market or limit record of an order (a trigger order is
// taken as a market order), without its commission and without checking any
// rule. Conversion and order ids both build order records here.
template <class F>
decltype(auto) with_order_record(const Order& o, uint8_t wire_version, F&& f) {
    if (const auto* limit = std::get_if<LimitType>(&o.order_type))
        return f(TxLimitOrder{.symbol = o.symbol,
                              .is_buy = o.is_buy,
                              .price = o.price,
                              .size = o.size,
                              .tif = limit->tif,
                              .reduce_only = o.reduce_only,
                              .iso = o.iso,
                              .commission = std::nullopt,
                              .wire_version = wire_version});
    // The trigger price of a market order is not carried on the wire.
    return f(TxMarketOrder{.symbol = o.symbol,
                           .is_buy = o.is_buy,
                           .size = o.size,
                           .reduce_only = o.reduce_only,
                           .iso = o.iso,
                           .commission = std::nullopt,
                           .slippage = o.slippage,
                           .wire_version = wire_version});
}

// Converts the action's wire actions in order into sink; stops at the first
// refusal (the sink then holds the actions converted before it).
Status convert_action_into(const Action& action, uint8_t wire_version, TxActionSink& sink);

}  // namespace vorn::detail
