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

// The limit or market record of an order, without its commission and
// without checking any rule: the one place that maps an order's fields onto
// its wire record. Fields are stored straight into the given record (one in
// its final place, such as a variant slot), never built aside and copied.
inline void fill_order_record(const Order& o, TimeInForce tif, uint8_t wire_version, TxLimitOrder& r) {
    r.symbol = o.symbol;
    r.is_buy = o.is_buy;
    r.price = o.price;
    r.size = o.size;
    r.tif = tif;
    r.reduce_only = o.reduce_only;
    r.iso = o.iso;
    r.commission.reset();
    r.wire_version = wire_version;
}
// The trigger price of a market order is not carried on the wire.
inline void fill_order_record(const Order& o, uint8_t wire_version, TxMarketOrder& r) {
    r.symbol = o.symbol;
    r.is_buy = o.is_buy;
    r.size = o.size;
    r.reduce_only = o.reduce_only;
    r.iso = o.iso;
    r.commission.reset();
    r.slippage = o.slippage;
    r.wire_version = wire_version;
}

// Calls f with the market or limit record of an order (a trigger order is
// taken as a market order), as fill_order_record makes it. Conversion and
// order ids both build order records this way.
template <class F>
decltype(auto) with_order_record(const Order& o, uint8_t wire_version, F&& f) {
    if (const auto* limit = std::get_if<LimitType>(&o.order_type)) {
        TxLimitOrder r;
        fill_order_record(o, limit->tif, wire_version, r);
        return f(r);
    }
    TxMarketOrder r;
    fill_order_record(o, wire_version, r);
    return f(r);
}

// Converts the action's wire actions in order into sink; stops at the first
// refusal (the sink then holds the actions converted before it). level: the
// nesting level of the action's own items (a multisig proposal's actions
// are one deeper).
Status convert_action_into(const Action& action, uint8_t wire_version, TxActionSink& sink, size_t level = 0);

}  // namespace vorn::detail
