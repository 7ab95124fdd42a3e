// Order items and actions to wire records, with the trading rules that the
// exchange enforces on signed payloads checked on the way, and the scans
// that choose the message format.
//
// Records are built in place in a caller's TxAction, so the signing message
// can convert and encode item after item without moving records around.
#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>

#include "sdk_compat/sdk_compat.hpp"
#include "sdk_compat/convert.hpp"

namespace vorn {

namespace {

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};

// The builder fee rule; a valid commission is copied unchanged.
Status take_commission(const std::optional<Commission>& c, std::optional<TxCommission>& out) {
    out.reset();
    if (!c) return {};
    if (auto st = Commission::check_fee(c->fee); !st) return st;
    out.emplace(TxCommission{c->to, c->fee});
    return {};
}

std::optional<double> unless_nan(double v) {
    if (std::isnan(v)) return std::nullopt;
    return v;
}

// Limit and market orders; the order-kind rule runs before the fee rule.
// The record is filled in its variant slot: built aside and copied in, its
// narrow stores would be read back by wide loads, a store-forwarding stall
// on the hottest path.
Status order_into(const Order& o, uint8_t wire_version, TxAction& out) {
    if (auto st = check_order_kind(o); !st) return st;
    if (const auto* limit = std::get_if<LimitType>(&o.order_type)) {
        auto& r = out.v.emplace<TxLimitOrder>();
        detail::fill_order_record(o, limit->tif, wire_version, r);
        return take_commission(o.commission, r.commission);
    }
    auto& r = out.v.emplace<TxMarketOrder>();
    detail::fill_order_record(o, wire_version, r);
    return take_commission(o.commission, r.commission);
}

// Places a conditional record, then applies the fee rule to its commission.
template <class Rec>
Status with_commission(Rec record, const std::optional<Commission>& commission, TxAction& out) {
    return take_commission(commission, out.v.emplace<Rec>(std::move(record)).commission);
}

template <class Rec>
Status tpsl_into(const TpSlFields& s, uint8_t v, TxAction& out) {
    const TxStop stop{.symbol = s.symbol, .is_buy = s.is_buy, .size = s.size, .trigger_price = s.trigger_price,
                      .limit_price = unless_nan(s.limit_price), .iso = s.iso, .commission = {}, .wire_version = v};
    return with_commission(Rec{stop}, s.commission, out);
}

Status range_into(const RangeOco& s, uint8_t v, TxAction& out) {
    return with_commission(TxRangeOco{.symbol = s.symbol, .is_buy = s.is_buy, .size = s.size, .pmin = s.pmin,
                                      .pmax = s.pmax, .lmin = unless_nan(s.lmin), .lmax = unless_nan(s.lmax),
                                      .iso = s.iso, .commission = {}, .wire_version = v},
                           s.commission, out);
}

Status trailing_into(const TrailingStop& s, uint8_t v, TxAction& out) {
    return with_commission(TxTrailingStop{.symbol = s.symbol, .is_buy = s.is_buy, .size = s.size,
                                          .trail_bps = s.trail_bps, .step_bps = s.step_bps,
                                          .limit_price = s.limit_price, .iso = s.iso, .commission = {},
                                          .wire_version = v},
                           s.commission, out);
}

Status item_into(const OrderItem& item, uint8_t wire_version, size_t level, TxAction& out);

// A refusal passing up through one level of nested items: the level's step
// is added on the way out.
[[gnu::cold]] [[gnu::noinline]] Status at_step(Status st, const char* field, size_t index) {
    st.error().where.push_back({field, index});
    return st;
}

// Children in order, at the given level; the first refusal ends the list.
Status items_into(const std::vector<OrderItem>& items, uint8_t wire_version, size_t level,
                  std::vector<TxAction>& out) {
    if (auto st = check_order_nesting(level); !st) return st;
    out.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        out.emplace_back();
        if (auto st = item_into(items[i], wire_version, level, out.back()); !st)
            return at_step(std::move(st), nullptr, i);
    }
    return {};
}

Status item_into(const OrderItem& item, uint8_t wire_version, size_t level, TxAction& out) {
    return std::visit(
        Overloaded{
            [&](const Order& o) { return order_into(o, wire_version, out); },
            [&](const Modify& m) -> Status {
                out.v.emplace<TxModifyOrder>(TxModifyOrder{m.order_id, m.symbol, m.size});
                return {};
            },
            [&](const Cancel& c) -> Status {
                out.v.emplace<TxCancelOrder>(TxCancelOrder{c.symbol, c.order_id});
                return {};
            },
            [&](const CancelAll& c) -> Status {
                auto& r = out.v.emplace<TxCancelAll>();
                r.symbols.assign(c.symbols.begin(), c.symbols.end());
                return {};
            },
            [&](const Stop& s) { return tpsl_into<TxStop>(s, wire_version, out); },
            [&](const TakeProfit& s) { return tpsl_into<TxTakeProfit>(s, wire_version, out); },
            [&](const RangeOco& r) { return range_into(r, wire_version, out); },
            [&](const TriggerBasket& b) -> Status {
                auto& r = out.v.emplace<TxTriggerBasket>();
                r.symbol = b.symbol;
                r.is_buy = b.is_buy;
                r.trigger_price = b.trigger_price;
                if (auto st = items_into(b.actions, wire_version, level + 1, r.actions); !st)
                    return at_step(std::move(st), "actions", 0);
                return {};
            },
            [&](const OnFill& f) -> Status {
                if (!f.trigger.has_value() || !std::holds_alternative<Order>(f.trigger->v))
                    return fail(Error::invalid_order("on-fill trigger must be a market or limit order"));
                // The trigger's own refusals (resting trigger, limit with
                // slippage, fee) come before any of the actions'.
                TxAction trigger;
                if (auto st = check_order_nesting(level + 1); !st) return st;
                if (auto st = order_into(std::get<Order>(f.trigger->v), wire_version, trigger); !st)
                    return at_step(std::move(st), "trigger", 0);
                auto& r = out.v.emplace<TxOnFill>();
                r.trigger = Box<TxAction>(std::move(trigger));
                if (auto st = items_into(f.actions, wire_version, level + 1, r.actions); !st)
                    return at_step(std::move(st), "actions", 0);
                return {};
            },
            [&](const TrailingStop& t) { return trailing_into(t, wire_version, out); },
        },
        item.v);
}

class CollectSink final : public detail::TxActionSink {
public:
    explicit CollectSink(std::vector<TxAction>& out) : out_(out) {}
    void put(TxAction& action) override { out_.push_back(std::move(action)); }

private:
    std::vector<TxAction>& out_;
};

Status multisig_propose_into(const MultisigPropose& p, uint8_t wire_version, size_t level, TxAction& out) {
    // Proposals always carry the commission slots of limit and market orders.
    const uint8_t nested_version = std::max<uint8_t>(wire_version, 1);
    auto& r = out.v.emplace<TxMultisigPropose>();
    r.multisig = p.multisig;
    r.extra = p.extra;
    CollectSink sink(r.actions);
    for (const Action& nested : p.actions) {
        if (auto st = detail::convert_action_into(nested, nested_version, sink, level + 1); !st) return st;
    }
    return {};
}

// Every action except Orders and OraclePrices yields exactly one record.
Status single_action_into(const Action& action, uint8_t wire_version, size_t level, TxAction& out) {
    auto set = [&out](auto record) -> Status {
        out.v.emplace<decltype(record)>(std::move(record));
        return {};
    };
    return std::visit(
        Overloaded{
            [](const Orders&) -> Status { return fail(Error::empty_orders()); },        // handled by the caller
            [](const OraclePrices&) -> Status { return fail(Error::empty_orders()); },  // handled by the caller
            [&](const PythOracle& a) { return set(TxPythOracle{a.oracles}); },
            [&](const Faucet& a) { return set(TxFaucet{a.user, a.amount}); },
            [&](const UpdateUserSettings& a) { return set(TxUpdateUserSettings{unique_max_leverage(a)}); },
            [&](const AgentWalletCreation& a) { return set(TxAgentWalletCreation{a.agent, a.delete_}); },
            [&](const WhitelistFaucet& a) { return set(TxWhitelistFaucet{a.target, a.whitelist}); },
            [&](const CreateSubAccount& a) { return set(TxCreateSubAccount{a.name, a.margin_amount}); },
            [&](const RemoveSubAccount& a) { return set(TxRemoveSubAccount{a.to_remove}); },
            [&](const RenameSubAccount& a) { return set(TxRenameSubAccount{a.sub_account, a.name}); },
            [&](const Transfer& a) { return set(TxTransfer{a.kind, a.from, a.to, a.amount}); },
            [](const LegacyWithdrawA&) -> Status { return fail(Error::legacy_withdrawal()); },
            [](const LegacyWithdrawB&) -> Status { return fail(Error::legacy_withdrawal()); },
            [&](const CreateMultisig& a) {
                return set(TxCreateMultisig{a.signers, a.threshold, a.time_lock_secs, a.proposal_lifetime_secs});
            },
            [&](const MultisigPropose& a) { return multisig_propose_into(a, wire_version, level, out); },
            [&](const MultisigApprove& a) { return set(TxMultisigApprove{{a.multisig, a.proposal_id}}); },
            [&](const MultisigReject& a) { return set(TxMultisigReject{{a.multisig, a.proposal_id}}); },
            [&](const MultisigCancel& a) { return set(TxMultisigCancel{{a.multisig, a.proposal_id}}); },
            [&](const MultisigExecute& a) { return set(TxMultisigExecute{{a.multisig, a.proposal_id}}); },
            [&](const UpdateMultisigPolicy& a) {
                return set(TxUpdateMultisigPolicy{a.multisig, a.signers, a.threshold, a.time_lock_secs,
                                                  a.proposal_lifetime_secs});
            },
            [&](const ApproveCommissionFee& a) -> Status {
                if (auto st = Commission::check_fee(a.fee); !st) return st;
                return set(TxApproveCommissionFee{a.to, a.fee});
            },
            [&](const RevokeCommissionFee& a) { return set(TxRevokeCommissionFee{a.to}); },
            [&](const UpdateLiquidatorConfig& a) {
                const LiquidatorConfig& c = a.config;
                return set(TxLiquidatorConfig{c.cross_exposure, c.scoring_skew, c.toxicity, c.urgency_size_fraction,
                                              c.sweep_sds, c.sorted_instruments()});
            },
        },
        action.v);
}

// own(item) for the item or any item nested in it (basket actions, on-fill
// trigger and actions). Items deeper than the nesting limit are not looked
// at: the conversion refuses them.
template <class Own>
bool item_or_nested(const OrderItem& item, Own own, size_t level = 0) {
    if (level >= kMaxOrderNesting) return false;
    if (own(item)) return true;
    auto any = [own, level](const std::vector<OrderItem>& items) {
        return std::any_of(items.begin(), items.end(),
                           [own, level](const OrderItem& i) { return item_or_nested(i, own, level + 1); });
    };
    if (const auto* b = std::get_if<TriggerBasket>(&item.v)) return any(b->actions);
    if (const auto* f = std::get_if<OnFill>(&item.v))
        return (f->trigger.has_value() && item_or_nested(*f->trigger, own, level + 1)) || any(f->actions);
    return false;
}

// own for any item of the action, also inside multisig proposals.
template <class Own>
bool action_has(const Action& action, Own own, size_t level = 0) {
    if (level >= kMaxOrderNesting) return false;
    if (const auto* orders = std::get_if<Orders>(&action.v))
        return std::any_of(orders->items.begin(), orders->items.end(),
                           [own, level](const OrderItem& i) { return item_or_nested(i, own, level); });
    if (const auto* p = std::get_if<MultisigPropose>(&action.v))
        return std::any_of(p->actions.begin(), p->actions.end(),
                           [own, level](const Action& a) { return action_has(a, own, level + 1); });
    return false;
}

// The item's own commission or slippage, nested items aside.
constexpr auto has_own_commission = [](const OrderItem& item) {
    return std::visit(
        [](const auto& x) {
            if constexpr (requires { x.commission; }) return x.commission.has_value();
            return false;
        },
        item.v);
};

constexpr auto has_own_slippage = [](const OrderItem& item) {
    const auto* o = std::get_if<Order>(&item.v);
    return o != nullptr && o->slippage.has_value();
};

}  // namespace

Status check_order_kind(const Order& order) {
    if (std::holds_alternative<LimitType>(order.order_type)) {
        if (order.slippage) return fail(Error::invalid_order("slippage is only supported on market orders"));
        return {};
    }
    if (!std::get<TriggerType>(order.order_type).is_market)
        return fail(Error::invalid_order("trigger orders are not supported by VORN API; use market"));
    return {};
}

std::vector<std::pair<std::string_view, double>> unique_max_leverage(const UpdateUserSettings& settings) {
    std::vector<std::pair<std::string_view, double>> m;
    m.reserve(settings.max_leverage.size());
    for (const auto& [symbol, leverage] : settings.max_leverage) m.emplace_back(symbol, leverage);
    // Stable, so equal symbols stay in input order and the last of each run
    // is the latest pair.
    std::stable_sort(m.begin(), m.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    size_t kept = 0;
    for (size_t i = 0; i < m.size(); ++i) {
        const bool last_of_run = i + 1 == m.size() || m[i + 1].first != m[i].first;
        if (last_of_run) m[kept++] = m[i];
    }
    m.resize(kept);
    return m;
}

Result<TxAction> order_item_to_tx_action(const OrderItem& item, uint8_t wire_version) {
    TxAction out;
    if (auto st = item_into(item, wire_version, 0, out); !st) return fail(std::move(st.error()));
    return out;
}

Status check_order_nesting(size_t level) {
    if (level >= kMaxOrderNesting) return fail(Error::order_nesting());
    return {};
}

namespace detail {

Status convert_action_into(const Action& action, uint8_t wire_version, TxActionSink& sink, size_t level) {
    if (auto st = check_order_nesting(level); !st) return st;
    TxAction record;  // reused for every record handed to the sink
    if (const auto* orders = std::get_if<Orders>(&action.v)) {
        for (size_t i = 0; i < orders->items.size(); ++i) {
            if (auto st = item_into(orders->items[i], wire_version, level, record); !st)
                return at_step(std::move(st), nullptr, i);
            sink.put(record);
        }
        return {};
    }
    if (const auto* prices = std::get_if<OraclePrices>(&action.v)) {
        for (const OraclePrice& p : prices->prices) {
            record.v.emplace<TxPrice>(TxPrice{p.timestamp, p.symbol, p.price});
            sink.put(record);
        }
        return {};
    }
    if (auto st = single_action_into(action, wire_version, level, record); !st) return st;
    sink.put(record);
    return {};
}

}  // namespace detail

Result<std::vector<TxAction>> action_to_tx_actions(const Action& action, uint8_t wire_version) {
    std::vector<TxAction> out;
    CollectSink sink(out);
    if (auto st = detail::convert_action_into(action, wire_version, sink); !st) return fail(std::move(st.error()));
    return out;
}

bool order_item_has_builder_code(const OrderItem& item) { return item_or_nested(item, has_own_commission); }
bool action_has_builder_code(const Action& action) { return action_has(action, has_own_commission); }
bool order_item_has_explicit_slippage(const OrderItem& item) { return item_or_nested(item, has_own_slippage); }
bool action_has_explicit_slippage(const Action& action) { return action_has(action, has_own_slippage); }

uint8_t message_wire_version(const Action& action) {
    if (action_has_builder_code(action)) return 3;
    if (action_has_explicit_slippage(action)) return 2;
    return 0;
}

}  // namespace vorn
