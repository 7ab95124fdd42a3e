// Arbitrary actions of every kind (nested items, commissions, client ids,
// NaN, infinities, negative and huge numbers) through preparation, signing
// and the offchain wallet text. The same input gives the same bytes; every
// message closes with its nonce, account and domain and carries the format
// marker its builder codes and slippage call for; order ids exist exactly for
// the orders; and a rendered text shows every fixed-point field as the
// integer the wire carries, with no forbidden character.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "fuzz_check.hpp"
#include "fuzz_exact.hpp"
#include "fuzz_prepared.hpp"
#include "prepare/prepare.hpp"
#include "sdk_compat/sdk_compat.hpp"
#include "sign/sign.hpp"
#include "wallet/wallet.hpp"

namespace {

using namespace vorn;
using FDP = FuzzedDataProvider;

double any_double(FDP& p) {
    switch (p.ConsumeIntegralInRange<int>(0, 11)) {
    case 0: return std::numeric_limits<double>::quiet_NaN();
    case 1: return std::numeric_limits<double>::infinity();
    case 2: return -std::numeric_limits<double>::infinity();
    case 3: return -p.ConsumeFloatingPointInRange<double>(0.0, 1e6);
    case 4: return p.ConsumeFloatingPointInRange<double>(9e7, 3e11);
    case 5: return p.ConsumeFloatingPoint<double>();
    case 6: return static_cast<double>(p.ConsumeIntegralInRange<uint64_t>(0, 9000000000000000)) / 1e8;
    case 7: return fuzz::as_double(p.ConsumeIntegral<uint64_t>());
    case 8: return -0.0;
    case 9: return static_cast<double>(p.ConsumeIntegral<uint64_t>()) / 1e8;
    default: return static_cast<double>(p.ConsumeIntegralInRange<int>(0, 100000)) / 4.0;
    }
}

// Symbols from pieces that include line breaks, C1, separators and bidi controls.
std::string any_text(FDP& p) {
    static const char* kPieces[] = {"BTC", "-", "USD", " ", "px=1.00000000", "\n", "\x7F", "\xC2\x85", "\xC2\xA0",
                                    "\xE2\x80\xA8", "\xE2\x80\xAE", "\xE2\x81\xA6", "\xE2\x80\xAF", "\xC3\xA9"};
    std::string s;
    const int n = p.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < n; ++i) s += kPieces[p.ConsumeIntegralInRange<size_t>(0, std::size(kPieces) - 1)];
    if (p.ConsumeBool()) s += p.ConsumeRandomLengthString(8);
    return s;
}

template <class T>
T bytes32(FDP& p) {
    T out;
    for (auto& b : out.bytes) b = p.ConsumeIntegral<uint8_t>();
    return out;
}

std::optional<Commission> any_commission(FDP& p) {
    if (!p.ConsumeBool()) return std::nullopt;
    return Commission{bytes32<Pubkey>(p), p.ConsumeIntegralInRange<uint8_t>(0, 17)};
}

std::optional<double> any_optional(FDP& p) {
    if (p.ConsumeBool()) return std::nullopt;
    return any_double(p);
}

OrderItem any_item(FDP& p, int depth);

std::vector<OrderItem> any_items(FDP& p, int depth) {
    std::vector<OrderItem> items(p.ConsumeIntegralInRange<size_t>(depth == 0 ? 1 : 0, 4));
    for (auto& item : items) item = any_item(p, depth + 1);
    return items;
}

OrderItem any_item(FDP& p, int depth) {
    const int kind = p.ConsumeIntegralInRange<int>(0, depth >= 3 ? 7 : 9);
    if (kind <= 1) {
        Order o;
        o.symbol = any_text(p);
        o.is_buy = p.ConsumeBool();
        o.price = any_double(p);
        o.size = any_double(p);
        if (kind == 0) o.order_type = LimitType{static_cast<TimeInForce>(p.ConsumeIntegralInRange<int>(0, 2))};
        else o.order_type = TriggerType{p.ConsumeIntegralInRange<int>(0, 7) != 0, any_double(p)};
        o.reduce_only = p.ConsumeBool();
        o.iso = p.ConsumeBool();
        if (p.ConsumeBool()) o.client_id = bytes32<Hash>(p);
        o.commission = any_commission(p);
        o.slippage = p.ConsumeIntegralInRange<int>(0, 3) == 0 ? any_optional(p) : std::nullopt;
        return o;
    }
    switch (kind) {
    case 2: return Modify{bytes32<Hash>(p), any_text(p), any_double(p)};
    case 3: return Cancel{bytes32<Hash>(p), any_text(p)};
    case 4: {
        CancelAll c;
        c.symbols.resize(p.ConsumeIntegralInRange<size_t>(0, 3));
        for (auto& s : c.symbols) s = any_text(p);
        return c;
    }
    case 5:
    case 6: {
        TpSlFields f{any_text(p), p.ConsumeBool(), any_double(p), any_double(p), any_double(p), p.ConsumeBool(),
                     any_commission(p)};
        if (kind == 5) return Stop{f};
        return TakeProfit{f};
    }
    case 7:
        return RangeOco{any_text(p), p.ConsumeBool(), any_double(p), any_double(p), any_double(p), any_double(p),
                        any_double(p), p.ConsumeBool(), any_commission(p)};
    case 8: return TriggerBasket{any_text(p), p.ConsumeBool(), any_double(p), any_items(p, depth)};
    default: {
        if (p.ConsumeBool()) {
            OnFill f;
            if (p.ConsumeBool()) f.trigger = Box<OrderItem>(any_item(p, depth + 1));
            f.actions = any_items(p, depth);
            return f;
        }
        return TrailingStop{any_text(p), p.ConsumeBool(), any_double(p), p.ConsumeIntegral<uint32_t>(),
                            p.ConsumeIntegral<uint32_t>(), any_optional(p), p.ConsumeBool(), any_commission(p)};
    }
    }
}

Action any_action(FDP& p, int depth) {
    switch (p.ConsumeIntegralInRange<int>(0, depth > 0 ? 12 : 14)) {
    case 0:
    case 1:
    case 2: return Orders{any_items(p, 0)};
    case 3: {
        OraclePrices o;
        o.prices.resize(p.ConsumeIntegralInRange<size_t>(0, 3));
        for (auto& x : o.prices) x = {any_text(p), p.ConsumeIntegral<uint64_t>(), any_double(p)};
        return o;
    }
    case 4: {
        PythOracle o;
        o.oracles.resize(p.ConsumeIntegralInRange<size_t>(0, 3));
        for (auto& x : o.oracles)
            x = {p.ConsumeIntegral<uint64_t>(), p.ConsumeIntegral<uint64_t>(), p.ConsumeIntegral<uint64_t>(),
                 p.ConsumeIntegral<int16_t>()};
        return o;
    }
    case 5: return Faucet{bytes32<Pubkey>(p), any_optional(p)};
    case 6: {
        UpdateUserSettings s;
        s.max_leverage.resize(p.ConsumeIntegralInRange<size_t>(0, 4));
        for (auto& e : s.max_leverage) e = {any_text(p), any_double(p)};
        return s;
    }
    case 7: return AgentWalletCreation{bytes32<Pubkey>(p), p.ConsumeBool()};
    case 8: return CreateSubAccount{any_text(p), any_optional(p)};
    case 9:
        return Transfer{p.ConsumeBool() ? TransferKind::Internal : TransferKind::External, bytes32<Pubkey>(p),
                        bytes32<Pubkey>(p), any_double(p)};
    case 10: return ApproveCommissionFee{bytes32<Pubkey>(p), p.ConsumeIntegralInRange<uint8_t>(0, 17)};
    case 11: return RenameSubAccount{bytes32<Pubkey>(p), any_text(p)};
    case 12: {
        switch (p.ConsumeIntegralInRange<int>(0, 5)) {
        case 0: return WhitelistFaucet{bytes32<Pubkey>(p), p.ConsumeBool()};
        case 1: return RemoveSubAccount{bytes32<Pubkey>(p)};
        case 2: return RevokeCommissionFee{bytes32<Pubkey>(p)};
        case 3: return MultisigApprove{{bytes32<Pubkey>(p), p.ConsumeIntegral<uint64_t>()}};
        case 4: return p.ConsumeBool() ? Action(LegacyWithdrawA{}) : Action(LegacyWithdrawB{});
        default: {
            CreateMultisig m;
            m.signers.resize(p.ConsumeIntegralInRange<size_t>(0, 3));
            for (auto& k : m.signers) k = bytes32<Pubkey>(p);
            m.threshold = p.ConsumeIntegral<uint32_t>();
            return m;
        }
        }
    }
    case 13: {
        UpdateLiquidatorConfig u;
        u.config.instruments.resize(p.ConsumeIntegralInRange<size_t>(0, 2));
        for (auto& i : u.config.instruments)
            i = {any_text(p), any_double(p), any_double(p), any_double(p), any_double(p), any_double(p),
                 p.ConsumeIntegral<uint64_t>(), any_double(p), any_double(p), any_double(p)};
        u.config.toxicity = any_double(p);
        return u;
    }
    default: {
        MultisigPropose m;
        m.multisig = bytes32<Pubkey>(p);
        m.actions.resize(p.ConsumeIntegralInRange<size_t>(0, 2));
        for (auto& a : m.actions) a = any_action(p, depth + 1);
        if (p.ConsumeBool()) m.extra = p.ConsumeIntegral<uint32_t>();
        return m;
    }
    }
}

// ---- independent readings of the model ----

struct Scan {
    bool builder = false, slippage = false;
};

void scan_item(const OrderItem& item, Scan& s) {
    std::visit(
        [&s](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, Order>) {
                s.builder |= x.commission.has_value();
                s.slippage |= x.slippage.has_value();
            } else if constexpr (std::is_same_v<T, Stop> || std::is_same_v<T, TakeProfit> ||
                                 std::is_same_v<T, RangeOco> || std::is_same_v<T, TrailingStop>) {
                s.builder |= x.commission.has_value();
            } else if constexpr (std::is_same_v<T, TriggerBasket>) {
                for (const auto& c : x.actions) scan_item(c, s);
            } else if constexpr (std::is_same_v<T, OnFill>) {
                if (x.trigger.has_value()) scan_item(*x.trigger, s);
                for (const auto& c : x.actions) scan_item(c, s);
            }
        },
        item.v);
}

void scan_action(const Action& a, Scan& s) {
    if (const auto* o = std::get_if<Orders>(&a.v))
        for (const auto& i : o->items) scan_item(i, s);
    if (const auto* m = std::get_if<MultisigPropose>(&a.v))
        for (const auto& c : m->actions) scan_action(c, s);
}

std::optional<uint64_t> wire(double v) { return fuzz::ref_fixed_point(v); }
// NaN limit prices of stops, take-profits and ranges mean none.
std::optional<uint64_t> wire_or_none(double v) {
    if (std::isnan(v)) return std::nullopt;
    return wire(v);
}
std::optional<uint64_t> wire_opt(const std::optional<double>& v) {
    if (!v) return std::nullopt;
    return wire(*v);
}

// Open gap, skipped so that the rest stays checked: the action JSON turns a
// non-finite number into null, which the text reads as "no limit" (or no
// slippage), while the wire still carries a value (0 or u64 max) for an
// infinite limit of a stop, take-profit or range, and for any non-finite
// trailing limit or market slippage. The text cannot tell the two apart.
bool nonfinite_optional(double v) { return std::isinf(v); }

// The line of one top-level order item against the model's wire values.
void check_item_line(const OrderItem& item, std::string_view line) {
    using fuzz::Shown;
    using F = std::vector<std::pair<size_t, Shown>>;
    if (const auto* o = std::get_if<Order>(&item.v)) {
        if (std::holds_alternative<LimitType>(o->order_type))
            return fuzz::check_shown(line, F{{1, {"px=", wire(o->price)}}, {2, {"sz=", wire(o->size)}}}, 6);
        if (o->slippage && std::isfinite(*o->slippage))
            return fuzz::check_shown(
                line, F{{1, {"sz=", wire(o->size)}}, {4, {"slippage=", wire(*o->slippage), "bps"}}}, 5);
        if (!o->slippage) return fuzz::check_shown(line, F{{1, {"sz=", wire(o->size)}}}, 4);
        return;
    }
    // A modify's size travels as a raw f64, not as a fixed-point integer.
    if (std::holds_alternative<Modify>(item.v)) return;
    const TpSlFields* t = std::get_if<Stop>(&item.v);
    if (t == nullptr) t = std::get_if<TakeProfit>(&item.v);
    if (t != nullptr && !nonfinite_optional(t->limit_price))
        return fuzz::check_shown(line,
                                 F{{1, {"thresh=", wire(t->trigger_price)}},
                                   {2, {"sz=", wire(t->size)}},
                                   {3, {"limit=", wire_or_none(t->limit_price)}}},
                                 4);
    if (const auto* r = std::get_if<RangeOco>(&item.v); r && !nonfinite_optional(r->lmin) && !nonfinite_optional(r->lmax))
        return fuzz::check_shown(line,
                                 F{{1, {"min=", wire(r->pmin)}},
                                   {2, {"max=", wire(r->pmax)}},
                                   {3, {"sz=", wire(r->size)}},
                                   {4, {"lmin=", wire_or_none(r->lmin)}},
                                   {5, {"lmax=", wire_or_none(r->lmax)}}},
                                 6);
    if (const auto* r = std::get_if<TrailingStop>(&item.v); r && !(r->limit_price && !std::isfinite(*r->limit_price)))
        return fuzz::check_shown(line, F{{1, {"sz=", wire(r->size)}}, {4, {"limit=", wire_opt(r->limit_price)}}}, 5);
    if (const auto* b = std::get_if<TriggerBasket>(&item.v))
        return fuzz::check_shown(line, F{{1, {"thresh=", wire(b->trigger_price)}}}, 3);
}

// Whether any fixed-point value of the items (nested ones too) is one the
// text may refuse as inexact.
bool any_inexact(const std::vector<OrderItem>& items) {
    const auto bad = [](double v) { return fuzz::may_be_inexact(v); };
    const auto bad_limit = [&bad](double v) { return !std::isnan(v) && bad(v); };
    for (const auto& item : items) {
        const bool found = std::visit(
            [&](const auto& x) -> bool {
                using T = std::decay_t<decltype(x)>;
                if constexpr (std::is_same_v<T, Order>)
                    return bad(x.price) || bad(x.size) || (x.slippage && bad(*x.slippage));
                else if constexpr (std::is_same_v<T, Stop> || std::is_same_v<T, TakeProfit>)
                    return bad(x.trigger_price) || bad(x.size) || bad_limit(x.limit_price);
                else if constexpr (std::is_same_v<T, RangeOco>)
                    return bad(x.pmin) || bad(x.pmax) || bad(x.size) || bad_limit(x.lmin) || bad_limit(x.lmax);
                else if constexpr (std::is_same_v<T, TrailingStop>)
                    return bad(x.size) || (x.limit_price && bad(*x.limit_price));
                else if constexpr (std::is_same_v<T, TriggerBasket>) return bad(x.trigger_price) || any_inexact(x.actions);
                else return false;
            },
            item.v);
        if (found) return true;
    }
    return false;
}

// Order ids: one per market or limit order, in item order.
size_t orders_with_ids(const Orders& o) {
    size_t n = 0;
    for (const auto& i : o.items) n += std::holds_alternative<Order>(i.v);
    return n;
}

std::string dump(const std::vector<json>& actions) {
    std::string out;
    for (const auto& a : actions) out += a.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FDP p(data, size);
    const auto domain = static_cast<SignatureDomain>(p.ConsumeIntegralInRange<int>(1, 3));
    const uint64_t nonce = p.ConsumeIntegral<uint64_t>();
    const Keypair& key = fuzz::test_key(p.ConsumeBool() ? 0x42 : 0x77);
    const Pubkey account = p.ConsumeBool() ? key.pubkey() : bytes32<Pubkey>(p);
    const Action action = any_action(p, 0);

    auto prepared = prepare_action(action, domain, account, key.pubkey(), nonce);
    auto again = prepare_action(action, domain, account, key.pubkey(), nonce);
    FUZZ_CHECK(prepared.has_value() == again.has_value());
    if (!prepared) {
        FUZZ_CHECK(prepared.error().kind == again.error().kind && prepared.error().text == again.error().text);
        return 0;
    }
    const PreparedMessage& pm = *prepared;
    FUZZ_CHECK(pm.message_bytes == again->message_bytes && dump(pm.actions) == dump(again->actions));
    FUZZ_CHECK(pm.order_id == again->order_id && pm.order_ids == again->order_ids);

    // The suffix: nonce, account, domain.
    const auto& m = pm.message_bytes;
    FUZZ_CHECK(m.size() >= 41 + 8);
    uint64_t tail_nonce = 0;
    for (int i = 7; i >= 0; --i) tail_nonce = (tail_nonce << 8) | m[m.size() - 41 + i];
    FUZZ_CHECK(tail_nonce == nonce && m.back() == static_cast<uint8_t>(domain));
    FUZZ_CHECK(std::equal(account.bytes.begin(), account.bytes.end(), m.end() - 33));

    // The format marker follows builder codes first, then explicit slippage.
    Scan scan;
    scan_action(action, scan);
    const uint8_t version = scan.builder ? 3 : scan.slippage ? 2 : 0;
    static const std::string kMarker = std::string(8, '\xFF') + "vorn-actions";
    const bool marked = m.size() >= 21 && std::string(m.begin(), m.begin() + 20) == kMarker;
    FUZZ_CHECK(marked == (version != 0));
    if (marked) FUZZ_CHECK(m[20] == version);

    // Order ids for exactly the market and limit orders.
    const auto* orders = std::get_if<Orders>(&action.v);
    const size_t ids = orders ? orders_with_ids(*orders) : 0;
    const size_t items = orders ? orders->items.size() : 0;
    FUZZ_CHECK(pm.order_id.has_value() == (items == 1 && ids == 1));
    FUZZ_CHECK(pm.order_ids.has_value() == (items >= 2 && ids >= 1));
    if (pm.order_ids) FUZZ_CHECK(pm.order_ids->size() == ids);

    // Signing gives the same record and a signature over the prepared bytes.
    auto signer = Signer::create(key, signature_domain_name(domain));
    FUZZ_CHECK(signer.has_value());
    signer->set_compute_batch_order_ids(true);
    auto signed_tx = signer->sign_action(action, nonce, account);
    FUZZ_CHECK(signed_tx.has_value());
    FUZZ_CHECK(dump(signed_tx->actions) == dump(pm.actions));
    FUZZ_CHECK(signed_tx->order_id == pm.order_id && signed_tx->order_ids == pm.order_ids);
    auto fin = finalize_with_message(pm, signed_tx->signature, std::nullopt);
    FUZZ_CHECK(fin && fin->signature == signed_tx->signature && fin->account == signed_tx->account);

    // The offchain text: exact numbers and no forbidden character.
    auto wallet = prepare_wallet_message(pm, SignatureMode::Offchain);
    if (!wallet) {
        // Only a value the wire clamps, or one above 9e7, may be refused.
        if (wallet.error().text == "invalid offchain clear-sign field: exact number")
            FUZZ_CHECK(orders && any_inexact(orders->items));
        return 0;
    }
    const std::string& text = *wallet->text;
    FUZZ_CHECK(!fuzz::forbidden_in(text, true));
    if (orders) {
        std::vector<std::string_view> lines;
        for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
            lines.push_back(std::string_view(text).substr(at, end - at));
        FUZZ_CHECK(lines.size() == 6 + orders->items.size());
        for (size_t i = 0; i < orders->items.size(); ++i) {
            const std::string prefix = "[" + std::to_string(i) + "] ";
            FUZZ_CHECK(lines[6 + i].starts_with(prefix));
            check_item_line(orders->items[i], lines[6 + i].substr(prefix.size()));
        }
    }
    return 0;
}
