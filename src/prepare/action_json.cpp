// The exchange's JSON vocabulary for actions and order items. nlohmann's
// default object is an ordered map on std::string, so keys always come out in
// ascending byte order whatever order they are set in.
#include <algorithm>
#include <cmath>
#include <string_view>

#include "sdk_compat/sdk_compat.hpp"
#include "prepare/action_json.hpp"

namespace vorn {

namespace {

// An f64 stays a float (1.0 is not an integer); non-finite becomes null.
json number(double x) { return std::isfinite(x) ? json(x) : json(nullptr); }

json key_text(const Pubkey& k) { return json(k.to_base58()); }

json key_list(const std::vector<Pubkey>& keys) {
    json out = json::array();
    for (const auto& k : keys) out.push_back(key_text(k));
    return out;
}

// An object of the given fields (a later duplicate key would win).
json object(std::initializer_list<std::pair<const char*, json>> fields) {
    json out = json::object();
    for (const auto& [key, value] : fields) out[key] = value;
    return out;
}

json wrap(const char* key, json inner) {
    json out = json::object();
    out[key] = std::move(inner);
    return out;
}

// The policy fields shared by multisig creation and policy updates.
template <class Policy>
json policy_to_json(const Policy& p) {
    return object({{"proposalLifetimeSecs", p.proposal_lifetime_secs},
                   {"signers", key_list(p.signers)},
                   {"threshold", p.threshold},
                   {"timeLockSecs", p.time_lock_secs}});
}

Result<json> item_list_to_json(const std::vector<OrderItem>& items) {
    json out = json::array();
    for (const auto& item : items) {
        auto j = order_item_to_json(item);
        if (!j) return fail(std::move(j.error()));
        out.push_back(std::move(*j));
    }
    return out;
}

Result<json> order_to_json(const Order& o) {
    if (auto st = check_order_kind(o); !st) return fail(std::move(st.error()));
    json inner = json::object();
    inner["b"] = o.is_buy;
    inner["c"] = o.symbol;
    inner["i"] = o.iso;
    inner["r"] = o.reduce_only;
    inner["sz"] = number(o.size);
    add_builder_code(inner, o.commission);
    if (const auto* limit = std::get_if<LimitType>(&o.order_type)) {
        inner["px"] = number(o.price);
        inner["tif"] = time_in_force_name(limit->tif);
        return wrap("l", std::move(inner));
    }
    if (o.slippage) inner["slippage"] = number(*o.slippage);
    return wrap("m", std::move(inner));
}

json tpsl_to_json(const char* key, const TpSlFields& s) {
    json inner = object({{"c", s.symbol}, {"d", s.is_buy}, {"i", s.iso}, {"lim", number(s.limit_price)},
                         {"sz", number(s.size)}, {"tr", number(s.trigger_price)}});
    add_builder_code(inner, s.commission);
    return wrap(key, std::move(inner));
}

json range_to_json(const RangeOco& r) {
    json inner = object({{"c", r.symbol}, {"d", r.is_buy}, {"i", r.iso}, {"lmax", number(r.lmax)},
                         {"lmin", number(r.lmin)}, {"pmax", number(r.pmax)}, {"pmin", number(r.pmin)},
                         {"sz", number(r.size)}});
    add_builder_code(inner, r.commission);
    return wrap("rng", std::move(inner));
}

json trailing_to_json(const TrailingStop& t) {
    // "lim" is always present: null when the stop has no limit price.
    json inner = object({{"b", t.is_buy}, {"c", t.symbol}, {"i", t.iso},
                         {"lim", t.limit_price ? number(*t.limit_price) : json(nullptr)}, {"stb", t.step_bps},
                         {"sz", number(t.size)}, {"trb", t.trail_bps}});
    add_builder_code(inner, t.commission);
    return wrap("trl", std::move(inner));
}

Result<json> basket_to_json(const TriggerBasket& b) {
    auto children = item_list_to_json(b.actions);
    if (!children) return fail(std::move(children.error()));
    return wrap("trig", object({{"actions", std::move(*children)}, {"c", b.symbol}, {"d", b.is_buy},
                                {"tr", number(b.trigger_price)}}));
}

Result<json> on_fill_to_json(const OnFill& f) {
    json trigger = nullptr;  // a missing trigger cell is refused by the wire conversion
    if (f.trigger.has_value()) {
        auto t = order_item_to_json(*f.trigger);
        if (!t) return fail(std::move(t.error()));
        trigger = std::move(*t);
    }
    auto children = item_list_to_json(f.actions);
    if (!children) return fail(std::move(children.error()));
    return wrap("of", object({{"actions", std::move(*children)}, {"trigger", std::move(trigger)}}));
}

json user_settings_to_json(const UpdateUserSettings& s) {
    json m = json::object();
    for (const auto& [symbol, leverage] : unique_max_leverage(s)) m[std::string(symbol)] = number(leverage);
    return wrap("updateUserSettings", wrap("m", std::move(m)));
}

json proposal_ref_to_json(const char* key, const MultisigProposalRef& r) {
    return wrap(key, object({{"m", key_text(r.multisig)}, {"p", r.proposal_id}}));
}

json instrument_to_json(const LiquidatorInstrumentConfig& i) {
    return object({{"max_adl_notional", number(i.max_adl_notional)},
                   {"max_adl_percent", number(i.max_adl_percent)},
                   {"max_exposure", number(i.max_exposure)},
                   {"max_sweep_bps", number(i.max_sweep_bps)},
                   {"reserve", number(i.reserve)},
                   {"rfactor", number(i.rfactor)},
                   {"symbol", i.symbol},
                   {"volume_min", number(i.volume_min)},
                   {"volume_percent", number(i.volume_percent)},
                   {"volume_rampup", i.volume_rampup}});
}

// Appends the rendering of one action to out (several values for orders and
// oracle prices, one otherwise).
Status append_action_json(const Action& action, std::vector<json>& out) {
    return std::visit(
        [&out](const auto& a) -> Status {
            using T = std::decay_t<decltype(a)>;
            if constexpr (std::is_same_v<T, Orders>) {
                for (const auto& item : a.items) {
                    auto j = order_item_to_json(item);
                    if (!j) return fail(std::move(j.error()));
                    out.push_back(std::move(*j));
                }
            } else if constexpr (std::is_same_v<T, OraclePrices>) {
                for (const auto& p : a.prices)
                    out.push_back(wrap("px", object({{"c", p.symbol}, {"px", number(p.price)}, {"t", p.timestamp}})));
            } else if constexpr (std::is_same_v<T, PythOracle>) {
                json list = json::array();
                for (const auto& e : a.oracles)
                    list.push_back(object({{"e", e.exponent}, {"fi", e.feed_index}, {"px", e.price}, {"t", e.timestamp}}));
                out.push_back(wrap("o", wrap("oracles", std::move(list))));
            } else if constexpr (std::is_same_v<T, Faucet>) {
                json inner = json::object();
                if (a.amount) inner["amount"] = number(*a.amount);
                inner["u"] = key_text(a.user);
                out.push_back(wrap("faucet", std::move(inner)));
            } else if constexpr (std::is_same_v<T, UpdateUserSettings>) {
                out.push_back(user_settings_to_json(a));
            } else if constexpr (std::is_same_v<T, AgentWalletCreation>) {
                out.push_back(wrap("agentWalletCreation", object({{"a", key_text(a.agent)}, {"d", a.delete_}})));
            } else if constexpr (std::is_same_v<T, WhitelistFaucet>) {
                out.push_back(
                    wrap("whitelistFaucet", object({{"target", key_text(a.target)}, {"whitelist", a.whitelist}})));
            } else if constexpr (std::is_same_v<T, CreateSubAccount>) {
                json inner = json::object();
                if (a.margin_amount) inner["marginAmount"] = number(*a.margin_amount);
                inner["name"] = a.name;
                out.push_back(wrap("createSubAccount", std::move(inner)));
            } else if constexpr (std::is_same_v<T, RemoveSubAccount>) {
                out.push_back(wrap("removeSubAccount", wrap("toRemove", key_text(a.to_remove))));
            } else if constexpr (std::is_same_v<T, RenameSubAccount>) {
                out.push_back(
                    wrap("renameSubAccount", object({{"account", key_text(a.sub_account)}, {"name", a.name}})));
            } else if constexpr (std::is_same_v<T, Transfer>) {
                out.push_back(wrap("transfer", object({{"from", key_text(a.from)},
                                                       {"k", transfer_kind_name(a.kind)},
                                                       {"marginAmount", number(a.amount)},
                                                       {"to", key_text(a.to)}})));
            } else if constexpr (std::is_same_v<T, LegacyWithdrawA> || std::is_same_v<T, LegacyWithdrawB>) {
                return fail(Error::legacy_withdrawal());
            } else if constexpr (std::is_same_v<T, CreateMultisig>) {
                out.push_back(wrap("createMultisig", policy_to_json(a)));
            } else if constexpr (std::is_same_v<T, MultisigPropose>) {
                std::vector<json> nested;
                for (const auto& inner_action : a.actions) {
                    auto ok = append_action_json(inner_action, nested);
                    if (!ok) return ok;
                }
                json list = json::array();
                for (auto& j : nested) list.push_back(std::move(j));
                out.push_back(wrap("msp", object({{"a", std::move(list)}, {"m", key_text(a.multisig)}})));
            } else if constexpr (std::is_same_v<T, MultisigApprove>) {
                out.push_back(proposal_ref_to_json("msa", a));
            } else if constexpr (std::is_same_v<T, MultisigReject>) {
                out.push_back(proposal_ref_to_json("msr", a));
            } else if constexpr (std::is_same_v<T, MultisigCancel>) {
                out.push_back(proposal_ref_to_json("msc", a));
            } else if constexpr (std::is_same_v<T, MultisigExecute>) {
                out.push_back(proposal_ref_to_json("mse", a));
            } else if constexpr (std::is_same_v<T, UpdateMultisigPolicy>) {
                json inner = policy_to_json(a);
                inner["m"] = key_text(a.multisig);
                out.push_back(wrap("msu", std::move(inner)));
            } else if constexpr (std::is_same_v<T, ApproveCommissionFee>) {
                out.push_back(wrap("abc", object({{"fee", a.fee}, {"to", key_text(a.to)}})));
            } else if constexpr (std::is_same_v<T, RevokeCommissionFee>) {
                out.push_back(wrap("rbc", wrap("to", key_text(a.to))));
            } else if constexpr (std::is_same_v<T, UpdateLiquidatorConfig>) {
                out.push_back(wrap("liq", liquidator_config_to_json(a.config)));
            } else {
                static_assert(sizeof(T) == 0, "every action kind is rendered");
            }
            return {};
        },
        action.v);
}

}  // namespace

void add_builder_code(json& object, const std::optional<Commission>& commission) {
    if (!commission) return;
    object["builderCode"] = vorn::object({{"fee", commission->fee}, {"to", key_text(commission->to)}});
}

json liquidator_config_to_json(const LiquidatorConfig& config) {
    json instruments = json::array();
    for (const auto* i : config.sorted_instruments()) instruments.push_back(instrument_to_json(*i));
    return object({{"cross_exposure", number(config.cross_exposure)},
                   {"instruments", std::move(instruments)},
                   {"scoring_skew", number(config.scoring_skew)},
                   {"sweep_sds", number(config.sweep_sds)},
                   {"toxicity", number(config.toxicity)},
                   {"urgency_size_fraction", number(config.urgency_size_fraction)}});
}

Result<json> order_item_to_json(const OrderItem& item) {
    return std::visit(
        [](const auto& it) -> Result<json> {
            using T = std::decay_t<decltype(it)>;
            if constexpr (std::is_same_v<T, Order>) {
                return order_to_json(it);
            } else if constexpr (std::is_same_v<T, Modify>) {
                json inner = json::object();
                inner["c"] = it.symbol;
                inner["oid"] = it.order_id.to_base58();
                inner["sz"] = number(it.size);
                return wrap("mod", std::move(inner));
            } else if constexpr (std::is_same_v<T, Cancel>) {
                json inner = json::object();
                inner["c"] = it.symbol;
                inner["oid"] = it.order_id.to_base58();
                return wrap("cx", std::move(inner));
            } else if constexpr (std::is_same_v<T, CancelAll>) {
                json symbols = json::array();
                for (const auto& s : it.symbols) symbols.push_back(s);
                return wrap("cxa", wrap("c", std::move(symbols)));
            } else if constexpr (std::is_same_v<T, Stop>) {
                return tpsl_to_json("st", it);
            } else if constexpr (std::is_same_v<T, TakeProfit>) {
                return tpsl_to_json("tp", it);
            } else if constexpr (std::is_same_v<T, RangeOco>) {
                return range_to_json(it);
            } else if constexpr (std::is_same_v<T, TriggerBasket>) {
                return basket_to_json(it);
            } else if constexpr (std::is_same_v<T, OnFill>) {
                return on_fill_to_json(it);
            } else if constexpr (std::is_same_v<T, TrailingStop>) {
                return trailing_to_json(it);
            } else {
                static_assert(sizeof(T) == 0, "every order item kind is rendered");
            }
        },
        item.v);
}

Result<std::vector<json>> action_to_json(const Action& action) {
    std::vector<json> out;
    auto ok = append_action_json(action, out);
    if (!ok) return fail(std::move(ok.error()));
    return out;
}

}  // namespace vorn
