// The exchange's JSON vocabulary for actions and order items: the "actions"
// list that travels with every signed or prepared message. It is rendered
// once, here, into a sink; the sinks decide what is built (a JSON value in
// prepare/action_json.hpp, Python objects in the binding). The renderer is
// bound to each sink at compile time, so that a rendering costs no call per
// key or value; a preparation reaches it through ActionSink::render.
#pragma once
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "sdk_compat/sdk_compat.hpp"
#include "types/error.hpp"
#include "types/types.hpp"

// The key-order check of the sinks: on in debug builds, and wherever
// VORN_CHECK_KEY_ORDER is defined (the sanitizer builds).
#if !defined(NDEBUG) && !defined(VORN_CHECK_KEY_ORDER)
#define VORN_CHECK_KEY_ORDER 1
#endif

namespace vorn {

// A text of static storage (a string literal of the vocabulary), its length
// known when compiled; sinks may recognise it by its address.
struct Literal {
    const char* text;
    size_t len;
    template <size_t N>
    constexpr Literal(const char (&s)[N]) : text(s), len(N - 1) {}
    std::string_view view() const { return {text, len}; }
};

// What a preparation renders an action into (prepare.hpp): the sink runs the
// renderer over it, bound to itself.
class ActionSink {
public:
    virtual ~ActionSink() = default;
    // render_actions into this sink.
    virtual Status render(const Action& action) = 0;
};

// Checks that keys ascend within each object: a key out of order aborts,
// naming both keys. Its state is present in every build, so that the layout
// does not depend on the check.
class KeyOrderCheck {
public:
    void open([[maybe_unused]] bool object) {
#ifdef VORN_CHECK_KEY_ORDER
        open_.push_back({object, false, {}});
#endif
    }
    void close() {
#ifdef VORN_CHECK_KEY_ORDER
        if (!open_.empty()) open_.pop_back();
#endif
    }
    void key([[maybe_unused]] std::string_view k) {
#ifdef VORN_CHECK_KEY_ORDER
        check(k);
#endif
    }

private:
    struct Open {
        bool object;
        bool keyed;
        std::string last;
    };
    std::vector<Open> open_;
    void check(std::string_view k);
};

// The sink protocol of render_actions: Sink derives from ActionSinkOf<Sink>
// and defines on_begin_object, on_end_object, on_begin_array, on_end_array,
// on_key(std::string_view, bool literal), on_bool, on_u64, on_i64, on_f64,
// on_null and on_text(std::string_view, bool literal). Containers are opened
// and closed in nesting order, each object value preceded by its key; keys
// arrive in ascending byte order within each object (KeyOrderCheck), and
// non-finite f64 values arrive as null. A sink may fail on its own (out of
// memory); it then records that itself and ignores the rest.
template <class Sink>
class ActionSinkOf : public ActionSink {
public:
    Status render(const Action& action) final;

    [[gnu::always_inline]] void begin_object() {
        check_.open(true);
        self().on_begin_object();
    }
    [[gnu::always_inline]] void end_object() {
        check_.close();
        self().on_end_object();
    }
    [[gnu::always_inline]] void begin_array() {
        check_.open(false);
        self().on_begin_array();
    }
    [[gnu::always_inline]] void end_array() {
        check_.close();
        self().on_end_array();
    }
    [[gnu::always_inline]] void key(Literal k) {
        check_.key(k.view());
        self().on_key(k.view(), true);
    }
    template <size_t N>
    [[gnu::always_inline]] void key(const char (&k)[N]) {
        key(Literal(k));
    }
    [[gnu::always_inline]] void key(std::string_view k) {
        check_.key(k);
        self().on_key(k, false);
    }
    [[gnu::always_inline]] void value(bool b) { self().on_bool(b); }
    [[gnu::always_inline]] void value(uint64_t u) { self().on_u64(u); }
    [[gnu::always_inline]] void value(int64_t i) { self().on_i64(i); }
    [[gnu::always_inline]] void value(double x) {
        if (std::isfinite(x)) {
            self().on_f64(x);
        } else {
            self().on_null();
        }
    }
    [[gnu::always_inline]] void value(std::nullptr_t) { self().on_null(); }
    [[gnu::always_inline]] void value(std::string_view text) { self().on_text(text, false); }
    [[gnu::always_inline]] void value(const std::string& text) { self().on_text(text, false); }
    // A name of the vocabulary (time in force, transfer kind): static storage.
    [[gnu::always_inline]] void literal_value(const char* text) { self().on_text(text, true); }
    // No silent conversions: every other type is picked by its caller.
    template <class T>
    void value(T) = delete;

private:
    Sink& self() { return static_cast<Sink&>(*this); }
    KeyOrderCheck check_;
};

// The "actions" list of an action: one value per order item for an orders
// action, one per price for an oracle-prices action, exactly one for every
// other action, as one array. Refuses what the wire conversion refuses by
// the same rules (check_order_kind, legacy withdrawals, items nested
// kMaxOrderNesting deep), leaving the sink with an unfinished rendering; the
// fee rule is left to the conversion.
template <class Sink>
Status render_actions(const Action& action, ActionSinkOf<Sink>& sink);

// ---------------------------------------------------------------- the renderer
//
// Every object writes its keys in ascending byte order by hand (the sinks
// build objects in arrival order); f64 values stay floats, integers are u64
// except the signed Pyth exponent.

namespace render {

// The small steps are inlined into each sink's rendering: a field, a
// tagged object's opening and closing.
#define VORN_RENDER_STEP [[gnu::always_inline]] inline

// A field: its key, then its value.
template <class S, class V>
VORN_RENDER_STEP void field(S& s, Literal key, const V& v) {
    s.key(key);
    s.value(v);
}

template <class S>
void key_field(S& s, Literal key, const Pubkey& k) {
    field(s, key, k.to_base58());
}

// Opens {"<tag>": { for a value with one object, and closes it.
template <class S>
VORN_RENDER_STEP void open_tagged(S& s, Literal tag) {
    s.begin_object();
    s.key(tag);
    s.begin_object();
}

template <class S>
VORN_RENDER_STEP void close_tagged(S& s) {
    s.end_object();
    s.end_object();
}

// "builderCode": {"fee", "to"} when a commission is given.
template <class S>
void builder_code(S& s, const std::optional<Commission>& commission) {
    if (!commission) return;
    s.key("builderCode");
    s.begin_object();
    field(s, "fee", uint64_t{commission->fee});
    key_field(s, "to", commission->to);
    s.end_object();
}

template <class S>
Status item(S& s, const OrderItem& it, size_t level);

// The items at this nesting level, as a list.
template <class S>
Status item_list(S& s, const std::vector<OrderItem>& items, size_t level) {
    if (auto st = check_order_nesting(level); !st) return st;
    s.begin_array();
    for (const auto& it : items)
        if (auto st = item(s, it, level); !st) return st;
    s.end_array();
    return {};
}

template <class S>
Status order(S& s, const Order& o) {
    if (auto st = check_order_kind(o); !st) return st;
    const auto* limit = std::get_if<LimitType>(&o.order_type);
    if (limit != nullptr) {
        open_tagged(s, "l");
    } else {
        open_tagged(s, "m");
    }
    field(s, "b", o.is_buy);
    builder_code(s, o.commission);
    field(s, "c", o.symbol);
    field(s, "i", o.iso);
    if (limit != nullptr) field(s, "px", o.price);
    field(s, "r", o.reduce_only);
    if (limit == nullptr && o.slippage) field(s, "slippage", *o.slippage);
    field(s, "sz", o.size);
    if (limit != nullptr) {
        s.key("tif");
        s.literal_value(time_in_force_name(limit->tif));
    }
    close_tagged(s);
    return {};
}

template <class S>
void tpsl(S& s, Literal tag, const TpSlFields& t) {
    open_tagged(s, tag);
    builder_code(s, t.commission);
    field(s, "c", t.symbol);
    field(s, "d", t.is_buy);
    field(s, "i", t.iso);
    field(s, "lim", t.limit_price);
    field(s, "sz", t.size);
    field(s, "tr", t.trigger_price);
    close_tagged(s);
}

template <class S>
void range(S& s, const RangeOco& r) {
    open_tagged(s, "rng");
    builder_code(s, r.commission);
    field(s, "c", r.symbol);
    field(s, "d", r.is_buy);
    field(s, "i", r.iso);
    field(s, "lmax", r.lmax);
    field(s, "lmin", r.lmin);
    field(s, "pmax", r.pmax);
    field(s, "pmin", r.pmin);
    field(s, "sz", r.size);
    close_tagged(s);
}

template <class S>
void trailing(S& s, const TrailingStop& t) {
    open_tagged(s, "trl");
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
    close_tagged(s);
}

template <class S>
Status basket(S& s, const TriggerBasket& b, size_t level) {
    open_tagged(s, "trig");
    s.key("actions");
    if (auto st = item_list(s, b.actions, level + 1); !st) return st;
    field(s, "c", b.symbol);
    field(s, "d", b.is_buy);
    field(s, "tr", b.trigger_price);
    close_tagged(s);
    return {};
}

template <class S>
Status on_fill(S& s, const OnFill& f, size_t level) {
    open_tagged(s, "of");
    s.key("actions");
    if (auto st = item_list(s, f.actions, level + 1); !st) return st;
    s.key("trigger");
    if (f.trigger.has_value()) {
        if (auto st = check_order_nesting(level + 1); !st) return st;
        if (auto st = item(s, *f.trigger, level + 1); !st) return st;
    } else {
        s.value(nullptr);  // a missing trigger is refused by the wire conversion
    }
    close_tagged(s);
    return {};
}

// {"<tag>": {"c", "oid"[, "sz"]}} of a cancel or a modification.
template <class S, class T>
void by_order_id(S& s, Literal tag, const T& x) {
    open_tagged(s, tag);
    field(s, "c", x.symbol);
    field(s, "oid", x.order_id.to_base58());
    if constexpr (std::is_same_v<T, Modify>) field(s, "sz", x.size);
    close_tagged(s);
}

template <class S>
Status item(S& s, const OrderItem& it, size_t level) {
    // The common case first, without a visit.
    if (const auto* o = std::get_if<Order>(&it.v)) return order(s, *o);
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
                open_tagged(s, "cxa");
                s.key("c");
                s.begin_array();
                for (const auto& symbol : x.symbols) s.value(symbol);
                s.end_array();
                close_tagged(s);
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
template <class S, class Policy>
void policy(S& s, Literal tag, const Policy& p, const Pubkey* multisig) {
    open_tagged(s, tag);
    if (multisig != nullptr) key_field(s, "m", *multisig);
    field(s, "proposalLifetimeSecs", uint64_t{p.proposal_lifetime_secs});
    s.key("signers");
    s.begin_array();
    for (const auto& k : p.signers) s.value(k.to_base58());
    s.end_array();
    field(s, "threshold", uint64_t{p.threshold});
    field(s, "timeLockSecs", uint64_t{p.time_lock_secs});
    close_tagged(s);
}

template <class S>
void proposal_ref(S& s, Literal tag, const MultisigProposalRef& r) {
    open_tagged(s, tag);
    key_field(s, "m", r.multisig);
    field(s, "p", r.proposal_id);
    close_tagged(s);
}

template <class S>
void liquidator_config(S& s, const LiquidatorConfig& c) {
    open_tagged(s, "liq");
    field(s, "cross_exposure", c.cross_exposure);
    s.key("instruments");
    s.begin_array();
    for (const auto* i : c.sorted_instruments()) {
        s.begin_object();
        field(s, "max_adl_notional", i->max_adl_notional);
        field(s, "max_adl_percent", i->max_adl_percent);
        field(s, "max_exposure", i->max_exposure);
        field(s, "max_sweep_bps", i->max_sweep_bps);
        field(s, "reserve", i->reserve);
        field(s, "rfactor", i->rfactor);
        field(s, "symbol", i->symbol);
        field(s, "volume_min", i->volume_min);
        field(s, "volume_percent", i->volume_percent);
        field(s, "volume_rampup", i->volume_rampup);
        s.end_object();
    }
    s.end_array();
    field(s, "scoring_skew", c.scoring_skew);
    field(s, "sweep_sds", c.sweep_sds);
    field(s, "toxicity", c.toxicity);
    field(s, "urgency_size_fraction", c.urgency_size_fraction);
    close_tagged(s);
}

// The values of one action, without the enclosing list: several for orders
// and oracle prices, one otherwise.
template <class S>
Status action_values(S& s, const Action& action, size_t level) {
    if (auto st = check_order_nesting(level); !st) return st;
    // The common case first, without a visit.
    if (const auto* orders = std::get_if<Orders>(&action.v)) {
        for (const auto& it : orders->items)
            if (auto st = item(s, it, level); !st) return st;
        return {};
    }
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
                for (const auto& [symbol, leverage] : unique_max_leverage(a)) {
                    s.key(symbol);
                    s.value(leverage);
                }
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
                s.key("k");
                s.literal_value(transfer_kind_name(a.kind));
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

#undef VORN_RENDER_STEP

}  // namespace render

template <class Sink>
Status render_actions(const Action& action, ActionSinkOf<Sink>& sink) {
    sink.begin_array();
    if (auto st = render::action_values(sink, action, 0); !st) return st;
    sink.end_array();
    return {};
}

template <class Sink>
Status ActionSinkOf<Sink>::render(const Action& action) {
    return render_actions(action, *this);
}

}  // namespace vorn
