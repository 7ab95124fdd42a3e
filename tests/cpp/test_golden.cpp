// Golden vectors for every action kind and every order item kind: the action
// built here, and its signing message, order id(s) and action JSON as
// recorded in tests/golden/actions.json, checked through preparation and
// through the signer (whose signature must verify over the same bytes). Kinds
// without a recorded case (multisig, renaming) are written out from the wire
// layout. Then the wire-version rule and the trading rules' refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "test_util.hpp"
#include "sdk_compat/sdk_compat.hpp"
#include "types/hex.hpp"

using namespace vorn_test;
using json = nlohmann::json;

namespace {

constexpr uint64_t kNonce = 1700000000000000000ull;
const double kNaN = std::nan("");

// Case name -> recorded case, from the golden file.
const json& golden(const std::string& name) {
    static const std::map<std::string, json> cases = [] {
        std::map<std::string, json> out;
        for (auto& c : vectors("../../golden/actions.json")) out[c["name"].get<std::string>()] = c;
        return out;
    }();
    static const json none;
    auto it = cases.find(name);
    return it == cases.end() ? none : it->second;
}

// The keys and hashes the recorder uses.
const Pubkey A = filled_key(0x44), B = filled_key(0x55), CODE = filled_key(0x33), ACCT = filled_key(0x11);
Hash hash_of(uint8_t fill, bool counting = false) {
    Hash h;
    for (size_t i = 0; i < 32; ++i) h.bytes[i] = counting ? static_cast<uint8_t>(i) : fill;
    return h;
}
const Hash OID = hash_of(0xAB);
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

// Every order item kind, under the recorder's names (sign/order/NAME and prepare/order/NAME).
std::vector<std::pair<std::string, OrderItem>> order_items() {
    const auto coded = [](uint8_t bps, bool iso) { return [=](auto& x) { x.commission = fee(bps); x.iso = x.iso || iso; }; };
    const auto buy = [](auto& x) { x.is_buy = true; };
    return {
        {"limit_gtc", limit()},
        {"limit_ioc_flags", with(limit(), [](Order& o) { o.reduce_only = o.iso = true; o.order_type = LimitType{TimeInForce::IOC}; })},
        {"limit_alo", with(limit(), [](Order& o) { o.is_buy = false; o.order_type = LimitType{TimeInForce::ALO}; })},
        {"limit_builder_code", with(limit(), coded(5, false))},
        {"limit_client_id", with(limit(), [](Order& o) { o.client_id = hash_of(0, true); })},
        {"limit_on_fill", on_fill(limit(), {stop()})},
        {"limit_tiny", limit(1e-9, 5e-9)},
        {"limit_huge", limit(1e300, 18446744073709551616.0)},
        {"limit_negative", limit(-5.5, -0.0)},
        {"limit_rounding", limit(0.123456785, 123456789.123456789)},
        {"limit_unicode", with(limit(), [](Order& o) { o.symbol = "BTC-\xe2\x82\xac"; })},
        {"market", market()},
        {"market_slippage", with(market(), [](Order& o) { o.slippage = 0.01; })},
        {"market_builder_code", with(market(), coded(15, false))},
        {"market_reduce_only", with(market(), [](Order& o) { o.reduce_only = true; })},
        {"trigger_market", with(market(), [](Order& o) { o.order_type = TriggerType{true, 123.0}; })},
        {"cancel", CANCEL},
        {"modify", Modify{OID, "SOL-USD", 2.5}},
        {"cancel_all", CancelAll{{"BTC-USD", "ETH-USD"}}},
        {"cancel_all_empty", CancelAll{}},
        {"stop", stop(89000.5)},
        {"stop_short", stop()},
        {"stop_builder_code", with(stop(), coded(15, true))},
        {"take_profit", with(take_profit(stop(110500)), [](TakeProfit& t) { t.is_buy = true; t.trigger_price = 110000; })},
        {"take_profit_short", take_profit(stop())},
        {"range", range(kNaN, 3510.25)},
        {"range_short", with(range(2990, 3510), coded(5, true))},
        {"trailing_stop", trailing()},
        {"trailing_short", with(with(trailing(), coded(5, false)), [](TrailingStop& t) { t.is_buy = true; t.limit_price = 7.0; })},
        {"trigger_basket", basket({limit(95000), CANCEL})},
        {"trigger_basket_nested", basket({basket({market(), stop()})})},
        {"on_fill", on_fill(limit(), {stop()})},
        {"on_fill_short", on_fill(market(), {with(take_profit(stop()), buy), CANCEL})},
    };
}

LiquidatorConfig liquidator() {
    LiquidatorConfig c;
    c.cross_exposure = 1.5, c.scoring_skew = 2, c.toxicity = 0.25, c.urgency_size_fraction = 0.5, c.sweep_sds = 3;
    LiquidatorInstrumentConfig eth{"ETH-USD"}, btc{"BTC-USD"}, sol{"SOL-USD"};
    eth.max_exposure = 1000, eth.reserve = 0.1, eth.volume_rampup = 7;
    btc.rfactor = 2.5, btc.max_sweep_bps = 40, btc.max_adl_percent = 0.3;
    sol.volume_percent = 0.2, sol.volume_min = 5, sol.max_adl_notional = 9;
    c.instruments = {eth, btc, sol};  // sorted by symbol on the wire and in the JSON
    return c;
}

// The other action kinds, under their full case names.
std::vector<std::pair<std::string, Action>> account_actions(const Pubkey& me) {
    Transfer internal{TransferKind::Internal, A, B, 3};
    return {
        {"prepare/order/limit_testnet", Orders{{limit()}}},
        {"prepare/order/agent", Orders{{limit()}}},
        {"prepare/group/ids", Orders{{limit(), CANCEL, market()}}},
        {"prepare/group/cancels", Orders{{CANCEL, CANCEL}}},
        {"sign/group/ids", Orders{{limit(), CANCEL, market()}}},
        {"sign/group/bracket", Orders{{limit(), stop(89000), with(take_profit(stop()), [](TakeProfit& t) { t.trigger_price = 1e5; })}}},
        {"prepare/agent_wallet/true", AgentWalletCreation{A, true}},
        {"sign/agent_wallet/false", AgentWalletCreation{A, false}},
        {"sign/whitelist_faucet/true", WhitelistFaucet{A, true}},
        {"prepare/approve_builder_code/fee15", ApproveCommissionFee{B, 15}},
        {"sign/approve_builder_code/fee7", ApproveCommissionFee{A, 7}},
        {"prepare/revoke_commission_fee/basic", RevokeCommissionFee{B}},
        {"sign/revoke_builder_code/basic", RevokeCommissionFee{A}},
        {"sign/user_settings/duplicates", UpdateUserSettings{{{"ETH-USD", 5}, {"BTC-USD", 10}, {"ETH-USD", 3}}}},
        {"sign/user_settings/empty", UpdateUserSettings{}},
        {"prepare/liquidator/full", UpdateLiquidatorConfig{liquidator()}},
        {"sign/liquidator/empty", UpdateLiquidatorConfig{}},
        {"sign/pyth_oracle/two", PythOracle{{{1700000000, 3, 6500000000000, -8}, {1700000001, 4, 9223372036854777856ull, 32767}}}},
        {"sign/pyth_oracle/low_exponent", PythOracle{{{1, 2, 3, -32768}}}},
        {"prepare/faucet/basic", Faucet{ACCT, std::nullopt}},
        {"sign/faucet/basic", Faucet{me, std::nullopt}},
        {"prepare/create_sub_account/margin", CreateSubAccount{"desk", 12.5}},
        {"sign/create_sub_account/plain", CreateSubAccount{"beta", std::nullopt}},
        {"prepare/remove_sub_account/basic", RemoveSubAccount{B}},
        {"prepare/transfer/None", internal},
        {"sign/transfer/internal", Transfer{TransferKind::Internal, A, B, 12.5}},
    };
}

std::string hex(const std::vector<uint8_t>& v) { return hex_encode(v.data(), v.size()); }

// The recorded id fields of a result next to ours.
void expect_ids(const json& result, const auto& ours, const std::string& name) {
    EXPECT_EQ(result.value("order_id", json()), ours.order_id ? json(*ours.order_id) : json()) << name;
    EXPECT_EQ(result.value("order_ids", json()), ours.order_ids ? json(*ours.order_ids) : json()) << name;
}

// prepare/...: message, JSON, ids and fields through prepare_action.
void check_prepared(const std::string& name, const Action& action) {
    const json& c = golden(name);
    ASSERT_TRUE(c.contains("result")) << "no recorded case " << name;
    const json& r = c["result"];
    const std::string message = r["message_bytes"]["$bytes"];
    const auto domain = signature_domain_from_byte(unhex(message).back());
    ASSERT_TRUE(domain) << name;
    auto p = prepare_action(action, *domain, *Pubkey::from_base58(r["account"].get<std::string>()),
                            *Pubkey::from_base58(r["signer"].get<std::string>()), r["nonce"]);
    ASSERT_TRUE(p) << name << ": " << outcome(p);
    EXPECT_EQ(hex(p->message_bytes), message) << name;
    EXPECT_EQ(json(p->actions), r["actions"]) << name;
    EXPECT_EQ(json({p->account, p->signer, p->nonce}), json({r["account"], r["signer"], r["nonce"]})) << name;
    expect_ids(r, *p, name);
}

// sign/...: the same through Signer::sign_action; the signature is
// deterministic, so it equals the recorded one and verifies over the message.
void check_signed(const std::string& name, const Action& action) {
    const json& c = golden(name);
    ASSERT_TRUE(c.contains("result")) << "no recorded case " << name;
    const json& r = c["result"];
    const auto secret = unhex(c["signer"]["secret"]);
    auto s = Signer::create(*Keypair::from_bytes(secret.data(), secret.size()), c["signer"]["domain"].get<std::string>());
    ASSERT_TRUE(s);
    s->set_compute_order_id(c["signer"].value("order_id", true));
    s->set_compute_batch_order_ids(c["signer"].value("batch_ids", false));
    auto tx = s->sign_action(action, r["nonce"], s->pubkey());
    ASSERT_TRUE(tx) << name << ": " << outcome(tx);
    EXPECT_EQ(tx->signature, r["signature"]) << name;
    EXPECT_TRUE(verifies(s->pubkey(), unhex(c["messages"][0]["$bytes"]), tx->signature)) << name;
    EXPECT_EQ(json(tx->actions), r["actions"]) << name;
    expect_ids(r, *tx, name);
}

}  // namespace

TEST(Golden, EveryOrderItemKind) {
    for (const auto& [name, item] : order_items()) {
        check_prepared("prepare/order/" + name, Action{Orders{{item}}});
        if (name != "limit_on_fill") check_signed("sign/order/" + name, Action{Orders{{item}}});  // the signer's reader ignores on_fill
    }
}

TEST(Golden, EveryOtherRecordedActionKind) {
    std::vector<uint8_t> secret(32);
    for (size_t i = 0; i < 32; ++i) secret[i] = static_cast<uint8_t>(i + 1);  // the recorder's signer seed
    const Pubkey me = Keypair::from_bytes(secret.data(), 32)->pubkey();
    for (const auto& [name, action] : account_actions(me)) {
        if (name.starts_with("prepare/")) check_prepared(name, action);
        else check_signed(name, action);
    }
}

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
    }
    // The worked limit order's id (sequence number 0).
    EXPECT_EQ(prepare_action(Orders{{limit()}}, SignatureDomain::Mainnet, ACCT, std::nullopt, kNonce)->order_id,
              "Fbm6qhWswsSgBru54SFczGfq9U8M5926ZKjQtK6JzEjY");
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
    // The builder-code names of the commission shortcuts refuse the same way.
    EXPECT_EQ(outcome(s.sign_approve_builder_code(B, 16, kNonce)), kFee);
    EXPECT_EQ(outcome(s.sign_revoke_builder_code(B, kNonce)), "OK");
    for (const auto& [action, text] : table) {
        EXPECT_EQ(outcome(prepare_action(action, SignatureDomain::Mainnet, ACCT, std::nullopt, kNonce)), text);
        EXPECT_EQ(outcome(s.sign_action(action, kNonce, ACCT)), text);
        std::vector<uint8_t> buffer = {1, 2, 3};  // left as it was on error
        EXPECT_FALSE(serialize_for_sdk_signing(action, 1, kNonce, ACCT, buffer));
        EXPECT_EQ(buffer, (std::vector<uint8_t>{1, 2, 3}));
    }
}
