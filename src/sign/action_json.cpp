// The exchange's JSON vocabulary for actions and order items. nlohmann's
// default object is an ordered map on std::string, so keys always come out in
// ascending byte order whatever order they are set in.
#include <algorithm>
#include <cmath>
#include <string_view>

#include "sdk_compat/sdk_compat.hpp"
#include "sign/action_json.hpp"

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

json wrap(const char* key, json inner) {
    json out = json::object();
    out[key] = std::move(inner);
    return out;
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
    json inner = json::object();
    add_builder_code(inner, s.commission);
    inner["c"] = s.symbol;
    inner["d"] = s.is_buy;
    inner["i"] = s.iso;
    inner["lim"] = number(s.limit_price);
    inner["sz"] = number(s.size);
    inner["tr"] = number(s.trigger_price);
    return wrap(key, std::move(inner));
}

json range_to_json(const RangeOco& r) {
    json inner = json::object();
    add_builder_code(inner, r.commission);
    inner["c"] = r.symbol;
    inner["d"] = r.is_buy;
    inner["i"] = r.iso;
    inner["lmax"] = number(r.lmax);
    inner["lmin"] = number(r.lmin);
    inner["pmax"] = number(r.pmax);
    inner["pmin"] = number(r.pmin);
    inner["sz"] = number(r.size);
    return wrap("rng", std::move(inner));
}

json trailing_to_json(const TrailingStop& t) {
    json inner = json::object();
    inner["b"] = t.is_buy;
    add_builder_code(inner, t.commission);
    inner["c"] = t.symbol;
    inner["i"] = t.iso;
    // Always present: null when the stop has no limit price.
    inner["lim"] = t.limit_price ? number(*t.limit_price) : json(nullptr);
    inner["stb"] = t.step_bps;
    inner["sz"] = number(t.size);
    inner["trb"] = t.trail_bps;
    return wrap("trl", std::move(inner));
}

Result<json> basket_to_json(const TriggerBasket& b) {
    auto children = item_list_to_json(b.actions);
    if (!children) return fail(std::move(children.error()));
    json inner = json::object();
    inner["actions"] = std::move(*children);
    inner["c"] = b.symbol;
    inner["d"] = b.is_buy;
    inner["tr"] = number(b.trigger_price);
    return wrap("trig", std::move(inner));
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
    json inner = json::object();
    inner["actions"] = std::move(*children);
    inner["trigger"] = std::move(trigger);
    return wrap("of", std::move(inner));
}

json user_settings_to_json(const UpdateUserSettings& s) {
    json m = json::object();
    for (const auto& [symbol, leverage] : unique_max_leverage(s)) m[std::string(symbol)] = number(leverage);
    return wrap("updateUserSettings", wrap("m", std::move(m)));
}

json proposal_ref_to_json(const char* key, const MultisigProposalRef& r) {
    json inner = json::object();
    inner["m"] = key_text(r.multisig);
    inner["p"] = r.proposal_id;
    return wrap(key, std::move(inner));
}

json instrument_to_json(const LiquidatorInstrumentConfig& i) {
    json o = json::object();
    o["max_adl_notional"] = number(i.max_adl_notional);
    o["max_adl_percent"] = number(i.max_adl_percent);
    o["max_exposure"] = number(i.max_exposure);
    o["max_sweep_bps"] = number(i.max_sweep_bps);
    o["reserve"] = number(i.reserve);
    o["rfactor"] = number(i.rfactor);
    o["symbol"] = i.symbol;
    o["volume_min"] = number(i.volume_min);
    o["volume_percent"] = number(i.volume_percent);
    o["volume_rampup"] = i.volume_rampup;
    return o;
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
                for (const auto& p : a.prices) {
                    json inner = json::object();
                    inner["c"] = p.symbol;
                    inner["px"] = number(p.price);
                    inner["t"] = p.timestamp;
                    out.push_back(wrap("px", std::move(inner)));
                }
            } else if constexpr (std::is_same_v<T, PythOracle>) {
                json list = json::array();
                for (const auto& e : a.oracles) {
                    json entry = json::object();
                    entry["e"] = e.exponent;
                    entry["fi"] = e.feed_index;
                    entry["px"] = e.price;
                    entry["t"] = e.timestamp;
                    list.push_back(std::move(entry));
                }
                out.push_back(wrap("o", wrap("oracles", std::move(list))));
            } else if constexpr (std::is_same_v<T, Faucet>) {
                json inner = json::object();
                if (a.amount) inner["amount"] = number(*a.amount);
                inner["u"] = key_text(a.user);
                out.push_back(wrap("faucet", std::move(inner)));
            } else if constexpr (std::is_same_v<T, UpdateUserSettings>) {
                out.push_back(user_settings_to_json(a));
            } else if constexpr (std::is_same_v<T, AgentWalletCreation>) {
                json inner = json::object();
                inner["a"] = key_text(a.agent);
                inner["d"] = a.delete_;
                out.push_back(wrap("agentWalletCreation", std::move(inner)));
            } else if constexpr (std::is_same_v<T, WhitelistFaucet>) {
                json inner = json::object();
                inner["target"] = key_text(a.target);
                inner["whitelist"] = a.whitelist;
                out.push_back(wrap("whitelistFaucet", std::move(inner)));
            } else if constexpr (std::is_same_v<T, CreateSubAccount>) {
                json inner = json::object();
                if (a.margin_amount) inner["marginAmount"] = number(*a.margin_amount);
                inner["name"] = a.name;
                out.push_back(wrap("createSubAccount", std::move(inner)));
            } else if constexpr (std::is_same_v<T, RemoveSubAccount>) {
                out.push_back(wrap("removeSubAccount", wrap("toRemove", key_text(a.to_remove))));
            } else if constexpr (std::is_same_v<T, RenameSubAccount>) {
                json inner = json::object();
                inner["account"] = key_text(a.sub_account);
                inner["name"] = a.name;
                out.push_back(wrap("renameSubAccount", std::move(inner)));
            } else if constexpr (std::is_same_v<T, Transfer>) {
                json inner = json::object();
                inner["from"] = key_text(a.from);
                inner["k"] = transfer_kind_name(a.kind);
                inner["marginAmount"] = number(a.amount);
                inner["to"] = key_text(a.to);
                out.push_back(wrap("transfer", std::move(inner)));
            } else if constexpr (std::is_same_v<T, LegacyWithdrawA> || std::is_same_v<T, LegacyWithdrawB>) {
                return fail(Error::legacy_withdrawal());
            } else if constexpr (std::is_same_v<T, CreateMultisig>) {
                json inner = json::object();
                inner["proposalLifetimeSecs"] = a.proposal_lifetime_secs;
                inner["signers"] = key_list(a.signers);
                inner["threshold"] = a.threshold;
                inner["timeLockSecs"] = a.time_lock_secs;
                out.push_back(wrap("createMultisig", std::move(inner)));
            } else if constexpr (std::is_same_v<T, MultisigPropose>) {
                std::vector<json> nested;
                for (const auto& inner_action : a.actions) {
                    auto ok = append_action_json(inner_action, nested);
                    if (!ok) return ok;
                }
                json list = json::array();
                for (auto& j : nested) list.push_back(std::move(j));
                json inner = json::object();
                inner["a"] = std::move(list);
                inner["m"] = key_text(a.multisig);
                out.push_back(wrap("msp", std::move(inner)));
            } else if constexpr (std::is_same_v<T, MultisigApprove>) {
                out.push_back(proposal_ref_to_json("msa", a));
            } else if constexpr (std::is_same_v<T, MultisigReject>) {
                out.push_back(proposal_ref_to_json("msr", a));
            } else if constexpr (std::is_same_v<T, MultisigCancel>) {
                out.push_back(proposal_ref_to_json("msc", a));
            } else if constexpr (std::is_same_v<T, MultisigExecute>) {
                out.push_back(proposal_ref_to_json("mse", a));
            } else if constexpr (std::is_same_v<T, UpdateMultisigPolicy>) {
                json inner = json::object();
                inner["m"] = key_text(a.multisig);
                inner["proposalLifetimeSecs"] = a.proposal_lifetime_secs;
                inner["signers"] = key_list(a.signers);
                inner["threshold"] = a.threshold;
                inner["timeLockSecs"] = a.time_lock_secs;
                out.push_back(wrap("msu", std::move(inner)));
            } else if constexpr (std::is_same_v<T, ApproveCommissionFee>) {
                json inner = json::object();
                inner["fee"] = a.fee;
                inner["to"] = key_text(a.to);
                out.push_back(wrap("abc", std::move(inner)));
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
    json code = json::object();
    code["fee"] = commission->fee;
    code["to"] = key_text(commission->to);
    object["builderCode"] = std::move(code);
}

json liquidator_config_to_json(const LiquidatorConfig& config) {
    json instruments = json::array();
    for (const auto* i : config.sorted_instruments()) instruments.push_back(instrument_to_json(*i));
    json o = json::object();
    o["cross_exposure"] = number(config.cross_exposure);
    o["instruments"] = std::move(instruments);
    o["scoring_skew"] = number(config.scoring_skew);
    o["sweep_sds"] = number(config.sweep_sds);
    o["toxicity"] = number(config.toxicity);
    o["urgency_size_fraction"] = number(config.urgency_size_fraction);
    return o;
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
