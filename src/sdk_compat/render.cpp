// The one rendering of the action JSON. Every object writes its keys in
// ascending byte order by hand (the sinks build objects in arrival order);
// f64 values stay floats, integers are u64 except the signed Pyth exponent.
#include "sdk_compat/render.hpp"

#include <cstdio>
#include <cstdlib>
#include <type_traits>
#include <variant>

#include "sdk_compat/sdk_compat.hpp"

namespace vorn {

void ActionSink::check_key(std::string_view k) {
    if (open_.empty() || !open_.back().object) {
        std::fprintf(stderr, "action JSON: key \"%.*s\" outside an object\n", static_cast<int>(k.size()), k.data());
        std::abort();
    }
    Open& top = open_.back();
    if (top.keyed && !(std::string_view(top.last) < k)) {
        std::fprintf(stderr, "action JSON: key \"%.*s\" after \"%s\": keys must ascend\n", static_cast<int>(k.size()),
                     k.data(), top.last.c_str());
        std::abort();
    }
    top.keyed = true;
    top.last.assign(k);
}

namespace {

// A field: its key, then its value.
template <class V>
void field(ActionSink& s, std::string_view key, const V& v) {
    s.key(key);
    s.value(v);
}

void key_field(ActionSink& s, std::string_view key, const Pubkey& k) { field(s, key, k.to_base58()); }

void key_list(ActionSink& s, const std::vector<Pubkey>& keys) {
    s.begin_array();
    for (const auto& k : keys) s.value(k.to_base58());
    s.end_array();
}

// "builderCode": {"fee", "to"} when a commission is given.
void builder_code(ActionSink& s, const std::optional<Commission>& commission) {
    if (!commission) return;
    s.key("builderCode");
    s.begin_object();
    field(s, "fee", uint64_t{commission->fee});
    key_field(s, "to", commission->to);
    s.end_object();
}

Status item(ActionSink& s, const OrderItem& it, size_t level);

// The items at this nesting level, as a list.
Status item_list(ActionSink& s, const std::vector<OrderItem>& items, size_t level) {
    if (auto st = check_order_nesting(level); !st) return st;
    s.begin_array();
    for (const auto& it : items)
        if (auto st = item(s, it, level); !st) return st;
    s.end_array();
    return {};
}

Status order(ActionSink& s, const Order& o) {
    if (auto st = check_order_kind(o); !st) return st;
    const auto* limit = std::get_if<LimitType>(&o.order_type);
    s.begin_object();
    s.key(limit != nullptr ? "l" : "m");
    s.begin_object();
    field(s, "b", o.is_buy);
    builder_code(s, o.commission);
    field(s, "c", o.symbol);
    field(s, "i", o.iso);
    if (limit != nullptr) field(s, "px", o.price);
    field(s, "r", o.reduce_only);
    if (limit == nullptr && o.slippage) field(s, "slippage", *o.slippage);
    field(s, "sz", o.size);
    if (limit != nullptr) field(s, "tif", time_in_force_name(limit->tif));
    s.end_object();
    s.end_object();
    return {};
}

void tpsl(ActionSink& s, const char* tag, const TpSlFields& t) {
    s.begin_object();
    s.key(tag);
    s.begin_object();
    builder_code(s, t.commission);
    field(s, "c", t.symbol);
    field(s, "d", t.is_buy);
    field(s, "i", t.iso);
    field(s, "lim", t.limit_price);
    field(s, "sz", t.size);
    field(s, "tr", t.trigger_price);
    s.end_object();
    s.end_object();
}

void range(ActionSink& s, const RangeOco& r) {
    s.begin_object();
    s.key("rng");
    s.begin_object();
    builder_code(s, r.commission);
    field(s, "c", r.symbol);
    field(s, "d", r.is_buy);
    field(s, "i", r.iso);
    field(s, "lmax", r.lmax);
    field(s, "lmin", r.lmin);
    field(s, "pmax", r.pmax);
    field(s, "pmin", r.pmin);
    field(s, "sz", r.size);
    s.end_object();
    s.end_object();
}

void trailing(ActionSink& s, const TrailingStop& t) {
    s.begin_object();
    s.key("trl");
    s.begin_object();
    field(s, "b", t.is_buy);
    builder_code(s, t.commission);
    field(s, "c", t.symbol);
    field(s, "i", t.iso);
    // "lim" is always present: null when the stop has no limit price.
    s.key("lim");
    if (t.limit_price) {
        s.value(*t.limit_price);
    } else {
        s.value(nullptr);
    }
    field(s, "stb", uint64_t{t.step_bps});
    field(s, "sz", t.size);
    field(s, "trb", uint64_t{t.trail_bps});
    s.end_object();
    s.end_object();
}

Status basket(ActionSink& s, const TriggerBasket& b, size_t level) {
    s.begin_object();
    s.key("trig");
    s.begin_object();
    s.key("actions");
    if (auto st = item_list(s, b.actions, level + 1); !st) return st;
    field(s, "c", b.symbol);
    field(s, "d", b.is_buy);
    field(s, "tr", b.trigger_price);
    s.end_object();
    s.end_object();
    return {};
}

Status on_fill(ActionSink& s, const OnFill& f, size_t level) {
    s.begin_object();
    s.key("of");
    s.begin_object();
    s.key("actions");
    if (auto st = item_list(s, f.actions, level + 1); !st) return st;
    s.key("trigger");
    if (f.trigger.has_value()) {
        if (auto st = check_order_nesting(level + 1); !st) return st;
        if (auto st = item(s, *f.trigger, level + 1); !st) return st;
    } else {
        s.value(nullptr);  // a missing trigger is refused by the wire conversion
    }
    s.end_object();
    s.end_object();
    return {};
}

// {"<tag>": {"c", "oid"[, "sz"]}} of a cancel or a modification.
template <class T>
void by_order_id(ActionSink& s, const char* tag, const T& x) {
    s.begin_object();
    s.key(tag);
    s.begin_object();
    field(s, "c", x.symbol);
    field(s, "oid", x.order_id.to_base58());
    if constexpr (std::is_same_v<T, Modify>) field(s, "sz", x.size);
    s.end_object();
    s.end_object();
}

Status item(ActionSink& s, const OrderItem& it, size_t level) {
    return std::visit(
        [&s, level](const auto& x) -> Status {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, Order>) {
                return order(s, x);
            } else if constexpr (std::is_same_v<T, Modify>) {
                by_order_id(s, "mod", x);
            } else if constexpr (std::is_same_v<T, Cancel>) {
                by_order_id(s, "cx", x);
            } else if constexpr (std::is_same_v<T, CancelAll>) {
                s.begin_object();
                s.key("cxa");
                s.begin_object();
                s.key("c");
                s.begin_array();
                for (const auto& symbol : x.symbols) s.value(symbol);
                s.end_array();
                s.end_object();
                s.end_object();
            } else if constexpr (std::is_same_v<T, Stop>) {
                tpsl(s, "st", x);
            } else if constexpr (std::is_same_v<T, TakeProfit>) {
                tpsl(s, "tp", x);
            } else if constexpr (std::is_same_v<T, RangeOco>) {
                range(s, x);
            } else if constexpr (std::is_same_v<T, TriggerBasket>) {
                return basket(s, x, level);
            } else if constexpr (std::is_same_v<T, OnFill>) {
                return on_fill(s, x, level);
            } else if constexpr (std::is_same_v<T, TrailingStop>) {
                trailing(s, x);
            } else {
                static_assert(sizeof(T) == 0, "every order item kind is rendered");
            }
            return {};
        },
        it.v);
}

// The policy fields shared by multisig creation and policy updates, the
// multisig key first when given ("m" sorts before them all).
template <class Policy>
void policy(ActionSink& s, const char* tag, const Policy& p, const Pubkey* multisig) {
    s.begin_object();
    s.key(tag);
    s.begin_object();
    if (multisig != nullptr) key_field(s, "m", *multisig);
    field(s, "proposalLifetimeSecs", uint64_t{p.proposal_lifetime_secs});
    s.key("signers");
    key_list(s, p.signers);
    field(s, "threshold", uint64_t{p.threshold});
    field(s, "timeLockSecs", uint64_t{p.time_lock_secs});
    s.end_object();
    s.end_object();
}

void proposal_ref(ActionSink& s, const char* tag, const MultisigProposalRef& r) {
    s.begin_object();
    s.key(tag);
    s.begin_object();
    key_field(s, "m", r.multisig);
    field(s, "p", r.proposal_id);
    s.end_object();
    s.end_object();
}

void instrument(ActionSink& s, const LiquidatorInstrumentConfig& i) {
    s.begin_object();
    field(s, "max_adl_notional", i.max_adl_notional);
    field(s, "max_adl_percent", i.max_adl_percent);
    field(s, "max_exposure", i.max_exposure);
    field(s, "max_sweep_bps", i.max_sweep_bps);
    field(s, "reserve", i.reserve);
    field(s, "rfactor", i.rfactor);
    field(s, "symbol", i.symbol);
    field(s, "volume_min", i.volume_min);
    field(s, "volume_percent", i.volume_percent);
    field(s, "volume_rampup", i.volume_rampup);
    s.end_object();
}

void liquidator_config(ActionSink& s, const LiquidatorConfig& c) {
    s.begin_object();
    s.key("liq");
    s.begin_object();
    field(s, "cross_exposure", c.cross_exposure);
    s.key("instruments");
    s.begin_array();
    for (const auto* i : c.sorted_instruments()) instrument(s, *i);
    s.end_array();
    field(s, "scoring_skew", c.scoring_skew);
    field(s, "sweep_sds", c.sweep_sds);
    field(s, "toxicity", c.toxicity);
    field(s, "urgency_size_fraction", c.urgency_size_fraction);
    s.end_object();
    s.end_object();
}

// Opens {"<tag>": { for an action with one object.
void open_tagged(ActionSink& s, const char* tag) {
    s.begin_object();
    s.key(tag);
    s.begin_object();
}

void close_tagged(ActionSink& s) {
    s.end_object();
    s.end_object();
}

// The values of one action, without the enclosing list: several for orders
// and oracle prices, one otherwise.
Status action_values(ActionSink& s, const Action& action, size_t level) {
    if (auto st = check_order_nesting(level); !st) return st;
    return std::visit(
        [&s, level](const auto& a) -> Status {
            using T = std::decay_t<decltype(a)>;
            if constexpr (std::is_same_v<T, Orders>) {
                for (const auto& it : a.items)
                    if (auto st = item(s, it, level); !st) return st;
            } else if constexpr (std::is_same_v<T, OraclePrices>) {
                for (const auto& p : a.prices) {
                    open_tagged(s, "px");
                    field(s, "c", p.symbol);
                    field(s, "px", p.price);
                    field(s, "t", p.timestamp);
                    close_tagged(s);
                }
            } else if constexpr (std::is_same_v<T, PythOracle>) {
                open_tagged(s, "o");
                s.key("oracles");
                s.begin_array();
                for (const auto& e : a.oracles) {
                    s.begin_object();
                    field(s, "e", int64_t{e.exponent});
                    field(s, "fi", e.feed_index);
                    field(s, "px", e.price);
                    field(s, "t", e.timestamp);
                    s.end_object();
                }
                s.end_array();
                close_tagged(s);
            } else if constexpr (std::is_same_v<T, Faucet>) {
                open_tagged(s, "faucet");
                if (a.amount) field(s, "amount", *a.amount);
                key_field(s, "u", a.user);
                close_tagged(s);
            } else if constexpr (std::is_same_v<T, UpdateUserSettings>) {
                open_tagged(s, "updateUserSettings");
                s.key("m");
                s.begin_object();
                // unique_max_leverage sorts by symbol bytes: the keys ascend.
                for (const auto& [symbol, leverage] : unique_max_leverage(a)) field(s, symbol, leverage);
                s.end_object();
                close_tagged(s);
            } else if constexpr (std::is_same_v<T, AgentWalletCreation>) {
                open_tagged(s, "agentWalletCreation");
                key_field(s, "a", a.agent);
                field(s, "d", a.delete_);
                close_tagged(s);
            } else if constexpr (std::is_same_v<T, WhitelistFaucet>) {
                open_tagged(s, "whitelistFaucet");
                key_field(s, "target", a.target);
                field(s, "whitelist", a.whitelist);
                close_tagged(s);
            } else if constexpr (std::is_same_v<T, CreateSubAccount>) {
                open_tagged(s, "createSubAccount");
                if (a.margin_amount) field(s, "marginAmount", *a.margin_amount);
                field(s, "name", a.name);
                close_tagged(s);
            } else if constexpr (std::is_same_v<T, RemoveSubAccount>) {
                open_tagged(s, "removeSubAccount");
                key_field(s, "toRemove", a.to_remove);
                close_tagged(s);
            } else if constexpr (std::is_same_v<T, RenameSubAccount>) {
                open_tagged(s, "renameSubAccount");
                key_field(s, "account", a.sub_account);
                field(s, "name", a.name);
                close_tagged(s);
            } else if constexpr (std::is_same_v<T, Transfer>) {
                open_tagged(s, "transfer");
                key_field(s, "from", a.from);
                field(s, "k", transfer_kind_name(a.kind));
                field(s, "marginAmount", a.amount);
                key_field(s, "to", a.to);
                close_tagged(s);
            } else if constexpr (std::is_same_v<T, LegacyWithdrawA> || std::is_same_v<T, LegacyWithdrawB>) {
                return fail(Error::legacy_withdrawal());
            } else if constexpr (std::is_same_v<T, CreateMultisig>) {
                policy(s, "createMultisig", a, nullptr);
            } else if constexpr (std::is_same_v<T, MultisigPropose>) {
                open_tagged(s, "msp");
                s.key("a");
                s.begin_array();
                for (const Action& nested : a.actions)
                    if (auto st = action_values(s, nested, level + 1); !st) return st;
                s.end_array();
                key_field(s, "m", a.multisig);
                close_tagged(s);
            } else if constexpr (std::is_same_v<T, MultisigApprove>) {
                proposal_ref(s, "msa", a);
            } else if constexpr (std::is_same_v<T, MultisigReject>) {
                proposal_ref(s, "msr", a);
            } else if constexpr (std::is_same_v<T, MultisigCancel>) {
                proposal_ref(s, "msc", a);
            } else if constexpr (std::is_same_v<T, MultisigExecute>) {
                proposal_ref(s, "mse", a);
            } else if constexpr (std::is_same_v<T, UpdateMultisigPolicy>) {
                policy(s, "msu", a, &a.multisig);
            } else if constexpr (std::is_same_v<T, ApproveCommissionFee>) {
                open_tagged(s, "abc");
                field(s, "fee", uint64_t{a.fee});
                key_field(s, "to", a.to);
                close_tagged(s);
            } else if constexpr (std::is_same_v<T, RevokeCommissionFee>) {
                open_tagged(s, "rbc");
                key_field(s, "to", a.to);
                close_tagged(s);
            } else if constexpr (std::is_same_v<T, UpdateLiquidatorConfig>) {
                liquidator_config(s, a.config);
            } else {
                static_assert(sizeof(T) == 0, "every action kind is rendered");
            }
            return {};
        },
        action.v);
}

}  // namespace

Status render_actions(const Action& action, ActionSink& sink) {
    sink.begin_array();
    if (auto st = action_values(sink, action, 0); !st) return st;
    sink.end_array();
    return {};
}

Status render_order_items(std::span<const OrderItem> items, ActionSink& sink) {
    sink.begin_array();
    for (const auto& it : items)
        if (auto st = item(sink, it, 0); !st) return st;
    sink.end_array();
    return {};
}

}  // namespace vorn
