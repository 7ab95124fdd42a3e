// Byte vectors of the core for what the module cannot reach (multisig,
// renaming and the worked layouts, written out from the wire layout), with
// the conversion and encoding functions that give the same bytes piecewise;
// then the wire-version rule and the trading rules' refusals. Every kind the
// module builds is a golden case replayed through it (tests/golden/*.json).
#include <gtest/gtest.h>

#include <cmath>

#include "test_util.hpp"
#include "sdk_compat/sdk_compat.hpp"
#include "types/hex.hpp"

using namespace vorn_test;
using json = nlohmann::json;

namespace {

constexpr uint64_t kNonce = 1700000000000000000ull;
const double kNaN = std::nan("");

// The keys and hashes the recorder uses.
const Pubkey A = filled_key(0x44), B = filled_key(0x55), CODE = filled_key(0x33), ACCT = filled_key(0x11);
const Hash OID = [] {
    Hash h;
    h.bytes.fill(0xAB);
    return h;
}();
Commission fee(uint8_t bps) { return Commission{CODE, bps}; }

// The recorder's order dicts as items; with(x, edit) is x after edit.
template <class T, class F>
T with(T x, F edit) {
    edit(x);
    return x;
}
Order limit(double px = 100000, double sz = 0.25) { return limit_order("BTC-USD", true, px, sz); }
Order market() { return with(limit_order("ETH-USD", false, 0, 1.5), [](Order& o) { o.order_type = TriggerType{true, 0}; }); }
const Cancel CANCEL{OID, "BTC-USD"};
Stop stop(double lim = kNaN) { return Stop{{"BTC-USD", false, 0.25, 95000, lim, false, std::nullopt}}; }
TakeProfit take_profit(const Stop& s) { return TakeProfit{static_cast<const TpSlFields&>(s)}; }
RangeOco range(double lmin, double lmax) { return RangeOco{"ETH-USD", true, 2, 3000, 3500, lmin, lmax, false, std::nullopt}; }
TrailingStop trailing() { return TrailingStop{"BTC-USD", false, 0.1, 50, 5, std::nullopt, false, std::nullopt}; }
TriggerBasket basket(std::vector<OrderItem> items) { return TriggerBasket{"BTC-USD", false, 96000, std::move(items)}; }
OnFill on_fill(OrderItem trigger, std::vector<OrderItem> items) { return OnFill{Box<OrderItem>(std::move(trigger)), std::move(items)}; }

std::string hex(const std::vector<uint8_t>& v) { return hex_encode(v.data(), v.size()); }

// The collecting conversion and the encoders give a message's body piecewise
// (after any format marker, before the suffix): all records at once, or the
// count and then each order item alone.
void expect_piecewise(const Action& action, const std::vector<uint8_t>& message) {
    const uint8_t version = message_wire_version(action);
    auto records = action_to_tx_actions(action, version);
    ASSERT_TRUE(records) << outcome(records);
    std::vector<uint8_t> body;
    encode_tx_actions(*records, body);
    const size_t marker = version >= 2 ? kFormatMarkerLen : 0;
    ASSERT_EQ(message.size(), marker + body.size() + kSigningSuffixLen);
    EXPECT_TRUE(std::equal(body.begin(), body.end(), message.begin() + marker)) << json(action_to_json(action).value());
    if (const auto* orders = std::get_if<Orders>(&action.v)) {
        std::vector<uint8_t> each(body.begin(), body.begin() + 8);
        for (const OrderItem& item : orders->items) encode_tx_action(*order_item_to_tx_action(item, version), each);
        EXPECT_EQ(each, body);
    }
}

}  // namespace

// The worked layouts and the kinds without a recorded case, written out from
// the wire layout (mainnet, nonce 1700000000000000000, account 0x11 x 32):
// tests/cpp/vectors/unrecorded.json.
TEST(Golden, WorkedLayoutsAndKindsWithoutARecordedCase) {
    const Pubkey S1 = filled_key(0x66), S2 = filled_key(0x77);
    const std::pair<const char*, Action> table[] = {
        {"limit", Orders{{limit()}}},
        {"cancel", Orders{{CANCEL}}},
        {"agent_wallet", AgentWalletCreation{filled_key(0x22), false}},
        {"create_multisig", CreateMultisig{{S1, S2}, 2, 60, 3600}},
        // Nested actions take at least wire version 1: the limit order gains its commission byte.
        {"multisig_propose", MultisigPropose{S1, {Action{Orders{{limit(100, 1), CANCEL}}}, Action{RevokeCommissionFee{B}}}, 9}},
        {"multisig_propose_empty", MultisigPropose{S1, {}, std::nullopt}},
        {"multisig_approve", MultisigApprove{{S1, 5}}},
        {"multisig_reject", MultisigReject{{S1, 6}}},
        {"multisig_cancel", MultisigCancel{{S1, 7}}},
        {"multisig_execute", MultisigExecute{{S1, 8}}},
        {"multisig_policy", UpdateMultisigPolicy{S1, {S2}, 1, 0, 10}},
        {"oracle_prices", OraclePrices{{{"BTC-USD", 1700000000, 100000.5}, {"ETH-USD", 1700000001, 3000}}}},
        {"rename_sub_account", RenameSubAccount{S2, "beta"}},
    };
    const json& expected = vectors("unrecorded.json");
    for (const auto& [name, action] : table) {
        auto p = prepare_action(action, SignatureDomain::Mainnet, ACCT, std::nullopt, kNonce);
        ASSERT_TRUE(p) << name << ": " << outcome(p);
        EXPECT_EQ(hex(p->message_bytes), expected[name][0]) << name;
        EXPECT_EQ(json(p->actions), expected[name][1]) << name;
        expect_piecewise(action, p->message_bytes);
        std::vector<uint8_t> old = {0xEE};  // old content is replaced
        ASSERT_TRUE(serialize_for_sdk_signing(action, 1, kNonce, ACCT, old));
        EXPECT_EQ(old, p->message_bytes) << name;
    }
    // The worked limit order's id (sequence number 0) hashes its record at
    // wire version 0; a cancel has no id bytes.
    EXPECT_EQ(prepare_action(Orders{{limit()}}, SignatureDomain::Mainnet, ACCT, std::nullopt, kNonce)->order_id,
              "Fbm6qhWswsSgBru54SFczGfq9U8M5926ZKjQtK6JzEjY");
    const OrderItem worked = limit(), cancel = CANCEL;
    std::vector<uint8_t> canonical = {1}, record;
    EXPECT_TRUE(canonical_order_bytes(worked, canonical));
    encode_tx_action(*order_item_to_tx_action(worked, 0), record);
    EXPECT_EQ(canonical, record);
    EXPECT_FALSE(canonical_order_bytes(cancel, canonical));
    EXPECT_TRUE(canonical.empty());
    // Key lists and the variants never built, as the layout writes them.
    std::vector<uint8_t> keys, fieldless;
    const Pubkey pair[] = {S1, S2};
    serde_pubkey_vec(pair, keys);
    EXPECT_EQ(hex(keys), "0200000000000000" + std::string(64, '6') + std::string(64, '7'));
    encode_tx_action(TxFieldless{44}, fieldless);
    EXPECT_EQ(hex(fieldless), "2c000000");
}

// 3 with a builder code anywhere, else 2 with an explicit slippage anywhere,
// else 0 (no marker); an approved commission fee is not a builder code.
TEST(Golden, WireVersionRule) {
    const Order slipping = with(market(), [](Order& o) { o.slippage = 0.0; });
    const Order coded = with(limit(), [](Order& o) { o.commission = fee(1); });
    const Stop coded_stop = with(stop(), [](Stop& s) { s.commission = fee(2); });
    const std::pair<Action, int> table[] = {
        {Orders{{limit(), market()}}, 0},
        {ApproveCommissionFee{B, 5}, 0},
        {Orders{{limit(), slipping}}, 2},
        {Orders{{basket({slipping})}}, 2},
        {Orders{{on_fill(slipping, {})}}, 2},
        {Orders{{on_fill(limit(), {basket({slipping})})}}, 2},
        {MultisigPropose{A, {Action{Orders{{slipping}}}}, std::nullopt}, 2},
        {Orders{{coded, slipping}}, 3},
        {Orders{{slipping, coded_stop}}, 3},
        {Orders{{basket({basket({coded})})}}, 3},
        {Orders{{on_fill(market(), {coded_stop})}}, 3},
        {MultisigPropose{A, {Action{MultisigPropose{A, {Action{Orders{{coded}}}}, std::nullopt}}}, std::nullopt}, 3},
    };
    for (const auto& [action, version] : table) {
        auto p = prepare_action(action, SignatureDomain::Mainnet, ACCT, std::nullopt, kNonce);
        ASSERT_TRUE(p) << outcome(p);
        const std::string marker = "ffffffffffffffff" + hex({'v', 'o', 'r', 'n', '-', 'a', 'c', 't', 'i', 'o', 'n', 's'});
        const std::string h = hex(p->message_bytes);
        const int got = h.starts_with(marker) ? std::stoi(h.substr(40, 2), nullptr, 16) : h.starts_with("ff") ? -1 : 0;
        EXPECT_EQ(got, version) << json(p->actions).dump();
        Action copy = action;  // nested items are boxed: a copy is deep and encodes the same
        copy = action;
        expect_piecewise(copy, p->message_bytes);
        if (const auto* orders = std::get_if<Orders>(&action.v); orders && orders->items.size() == 1) {
            EXPECT_EQ(order_item_has_builder_code(orders->items[0]), version == 3);
            EXPECT_EQ(order_item_has_explicit_slippage(orders->items[0]), version == 2);
        }
    }
}

// The trading rules refuse before anything is signed, with these texts, at
// any depth; preparation and signing share them.
TEST(Golden, Refusals) {
    const std::string kFee = "invalid order: builder-code fee must be 1..=15 bps";
    const std::string kTrigger = "invalid order: trigger orders are not supported by VORN API; use market";
    const std::string kOnFill = "invalid order: on-fill trigger must be a market or limit order";
    const std::string kLegacy = "legacy Vorn withdrawal actions are unsupported; use solana::request_withdraw to build a "
                                "Solana withdrawal intent";
    const Order resting = with(limit(), [](Order& o) { o.order_type = TriggerType{false, 5}; });
    const auto bad_fee = [](auto item, uint8_t bps) {
        item.commission = fee(bps);
        return item;
    };
    const std::pair<Action, std::string> table[] = {
        {Orders{{with(limit(), [](Order& o) { o.slippage = 0.01; o.commission = fee(0); })}},
         "invalid order: slippage is only supported on market orders"},
        {Orders{{resting}}, kTrigger},
        {Orders{{limit(), basket({market(), resting})}}, kTrigger},
        {Orders{{on_fill(resting, {})}}, kTrigger},
        {Orders{{on_fill(CANCEL, {})}}, kOnFill},
        {Orders{{on_fill(basket({limit()}), {})}}, kOnFill},
        {Orders{{on_fill(limit(), {bad_fee(stop(), 16)})}}, kFee},
        {Orders{{bad_fee(limit(), 0)}}, kFee},
        {Orders{{bad_fee(market(), 16)}}, kFee},
        {Orders{{bad_fee(stop(), 0)}}, kFee},
        {Orders{{bad_fee(take_profit(stop()), 255)}}, kFee},
        {Orders{{bad_fee(range(kNaN, kNaN), 16)}}, kFee},
        {Orders{{bad_fee(trailing(), 0)}}, kFee},
        {Orders{{basket({bad_fee(limit(), 16)})}}, kFee},
        {ApproveCommissionFee{B, 0}, kFee},
        {ApproveCommissionFee{B, 16}, kFee},
        {LegacyWithdrawA{}, kLegacy},
        {LegacyWithdrawB{}, kLegacy},
        {MultisigPropose{A, {Action{Orders{{limit()}}}, Action{LegacyWithdrawB{}}}, std::nullopt}, kLegacy},
        {MultisigPropose{A, {Action{Orders{{resting}}}}, std::nullopt}, kTrigger},
        {Orders{}, "orders array cannot be empty"},
        {OraclePrices{}, "orders array cannot be empty"},
    };
    Signer s = *Signer::create(seed_keypair(1), "mainnet");
    // The operation refuses the fee before any nonce is drawn.
    EXPECT_EQ(outcome(s.sign(operation::approve_commission_fee(B, 16), std::nullopt)), kFee);
    for (const Action& legacy : {Action{LegacyWithdrawA{}}, Action{LegacyWithdrawB{}}})
        EXPECT_EQ(outcome(action_to_json(legacy)), kLegacy);
    for (const auto& [action, text] : table) {
        // The conversion alone refuses the same way; an empty list converts to nothing.
        EXPECT_EQ(outcome(action_to_tx_actions(action, 3)), text.starts_with("orders array") ? "OK" : text);
        if (const auto* orders = std::get_if<Orders>(&action.v); orders && orders->items.size() == 1) {
            EXPECT_EQ(outcome(order_item_to_tx_action(orders->items[0], 3)), text);
        }
        EXPECT_EQ(outcome(prepare_action(action, SignatureDomain::Mainnet, ACCT, std::nullopt, kNonce)), text);
        EXPECT_EQ(outcome(s.sign_action(action, kNonce, ACCT)), text);
        std::vector<uint8_t> buffer = {1, 2, 3};  // left as it was on error
        EXPECT_FALSE(serialize_for_sdk_signing(action, 1, kNonce, ACCT, buffer));
        EXPECT_EQ(buffer, (std::vector<uint8_t>{1, 2, 3}));
    }
}

// The sinks' key-order check, on in the sanitizer builds, where every golden
// case renders through it: a key that does not ascend aborts, naming both.
TEST(Golden, KeysThatDoNotAscendAbort) {
#ifndef VORN_CHECK_KEY_ORDER
    GTEST_SKIP() << "the key-order check is off in this build";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto render = [](std::initializer_list<std::string_view> keys) {
        std::vector<json> out;
        JsonSink sink(out);
        sink.begin_array();
        sink.begin_object();
        for (std::string_view k : keys) {
            sink.key(k);
            sink.value(true);
        }
        sink.end_object();
        sink.end_array();
        return out;
    };
    EXPECT_EQ(render({"b", "builderCode", "c", "r", "sz"}).size(), 1u);
    EXPECT_DEATH(render({"b", "sz", "r"}), "key \"r\" after \"sz\"");
    EXPECT_DEATH(render({"c", "c"}), "key \"c\" after \"c\"");
#endif
}

// Items nest at most kMaxOrderNesting deep: the conversion, the renderer and
// so every preparation refuse a deeper basket (the binding raises it as
// RecursionError), and take one at the limit.
TEST(Golden, NestingBeyondTheLimitIsRefused) {
    auto nested = [](size_t levels) {
        OrderItem item = limit();
        for (size_t i = 1; i < levels; ++i) item = basket({std::move(item)});
        return Action{Orders{{std::move(item)}}};
    };
    const std::string refused = Error::order_nesting().display();
    EXPECT_EQ(outcome(prepare_action(nested(kMaxOrderNesting), SignatureDomain::Mainnet, ACCT, std::nullopt, kNonce)),
              "OK");
    const Action deep = nested(kMaxOrderNesting + 1);
    EXPECT_EQ(outcome(prepare_action(deep, SignatureDomain::Mainnet, ACCT, std::nullopt, kNonce)), refused);
    EXPECT_EQ(outcome(action_to_json(deep)), refused);
    EXPECT_EQ(outcome(action_to_tx_actions(deep, 0)), refused);
}
