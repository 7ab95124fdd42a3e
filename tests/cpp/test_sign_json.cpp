// JSON rendering of every order item and action: keys in byte order, floats
// kept floats, non-finite values as null, and the refusals.
#include <gtest/gtest.h>

#include <limits>

#include "test_sign_fixtures.hpp"

using namespace vorn;
using namespace vorn_test;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

std::string b58(const Pubkey& k) { return k.to_base58(); }
std::string b58(const Hash& h) { return h.to_base58(); }

std::string item_dump(const OrderItem& item) {
    auto j = order_item_to_json(item);
    EXPECT_TRUE(j) << (j ? "" : j.error().display());
    return j ? j->dump() : std::string();
}

// The whole list of values of an action as one JSON array text.
std::string action_dump(const Action& action) {
    auto list = action_to_json(action);
    EXPECT_TRUE(list) << (list ? "" : list.error().display());
    if (!list) return {};
    json arr = json::array();
    for (const auto& v : *list) arr.push_back(v);
    return arr.dump();
}

std::string item_error(const OrderItem& item) {
    auto j = order_item_to_json(item);
    return j ? std::string("no error") : j.error().display();
}

std::string action_error(const Action& action) {
    auto j = action_to_json(action);
    return j ? std::string("no error") : j.error().display();
}

const char* kTriggerRefused = "invalid order: trigger orders are not supported by VORN API; use market";
const char* kLegacyRefused =
    "legacy Vorn withdrawal actions are unsupported; use solana::request_withdraw to build a Solana withdrawal intent";

Commission builder(uint8_t fee) { return Commission{filled_key(0x22), fee}; }

}  // namespace

// ---- order items ----

TEST(OrderItemJson, LimitOrder) {
    EXPECT_EQ(item_dump(limit_order("BTC-USD", true, 100000, 0.25)),
              R"({"l":{"b":true,"c":"BTC-USD","i":false,"px":100000.0,"r":false,"sz":0.25,"tif":"GTC"}})");
    auto ioc = limit_order("ETH-USD", false, 3000.5, 1.0, TimeInForce::IOC);
    std::get<Order>(ioc.v).reduce_only = true;
    std::get<Order>(ioc.v).iso = true;
    EXPECT_EQ(item_dump(ioc),
              R"({"l":{"b":false,"c":"ETH-USD","i":true,"px":3000.5,"r":true,"sz":1.0,"tif":"IOC"}})");
    EXPECT_EQ(item_dump(limit_order("X", true, 1, 1, TimeInForce::ALO)),
              R"({"l":{"b":true,"c":"X","i":false,"px":1.0,"r":false,"sz":1.0,"tif":"ALO"}})");
}

TEST(OrderItemJson, LimitOrderWithBuilderCodeNeverShowsSlippage) {
    auto item = limit_order("BTC-USD", true, 100, 2);
    std::get<Order>(item.v).commission = builder(7);
    std::get<Order>(item.v).slippage = 0.01;  // carried, never rendered for a limit order
    EXPECT_EQ(item_dump(item), R"({"l":{"b":true,"builderCode":{"fee":7,"to":")" + b58(filled_key(0x22)) +
                                   R"("},"c":"BTC-USD","i":false,"px":100.0,"r":false,"sz":2.0,"tif":"GTC"}})");
}

TEST(OrderItemJson, MarketOrder) {
    EXPECT_EQ(item_dump(market_order("ETH-USD", false, 2)),
              R"({"m":{"b":false,"c":"ETH-USD","i":false,"r":false,"sz":2.0}})");
    EXPECT_EQ(item_dump(market_order("ETH-USD", true, 2, 0.5)),
              R"({"m":{"b":true,"c":"ETH-USD","i":false,"r":false,"slippage":0.5,"sz":2.0}})");
    auto with_code = market_order("SOL-USD", true, 3, 0.0);
    std::get<Order>(with_code.v).commission = builder(15);
    EXPECT_EQ(item_dump(with_code), R"({"m":{"b":true,"builderCode":{"fee":15,"to":")" + b58(filled_key(0x22)) +
                                        R"("},"c":"SOL-USD","i":false,"r":false,"slippage":0.0,"sz":3.0}})");
}

TEST(OrderItemJson, RestingTriggerOrderIsRefused) {
    EXPECT_EQ(item_error(resting_trigger_order()), kTriggerRefused);
    auto j = order_item_to_json(resting_trigger_order());
    ASSERT_FALSE(j);
    EXPECT_EQ(j.error().kind, ErrorKind::InvalidOrder);
}

TEST(OrderItemJson, FloatsStayFloatsAndNonFiniteIsNull) {
    auto j = order_item_to_json(limit_order("BTC-USD", true, 100.0, 1.0));
    ASSERT_TRUE(j);
    EXPECT_TRUE((*j)["l"]["px"].is_number_float());
    EXPECT_TRUE((*j)["l"]["sz"].is_number_float());
    EXPECT_EQ((*j)["l"]["px"].get<double>(), 100.0);
    EXPECT_EQ(item_dump(limit_order("BTC-USD", true, kInf, kNaN)),
              R"({"l":{"b":true,"c":"BTC-USD","i":false,"px":null,"r":false,"sz":null,"tif":"GTC"}})");
    auto nan_size = order_item_to_json(market_order("BTC-USD", true, kNaN, -kInf));
    ASSERT_TRUE(nan_size);
    EXPECT_TRUE((*nan_size)["m"]["sz"].is_null());
    EXPECT_TRUE((*nan_size)["m"]["slippage"].is_null());
}

TEST(OrderItemJson, ModifyCancelCancelAll) {
    EXPECT_EQ(item_dump(Modify{filled_hash(0xAB), "SOL-USD", 3.5}),
              R"({"mod":{"c":"SOL-USD","oid":")" + b58(filled_hash(0xAB)) + R"(","sz":3.5}})");
    EXPECT_EQ(item_dump(cancel("BTC-USD", 0xAB)),
              R"({"cx":{"c":"BTC-USD","oid":")" + b58(filled_hash(0xAB)) + R"("}})");
    EXPECT_EQ(item_dump(CancelAll{{"SOL-USD", "BTC-USD"}}), R"({"cxa":{"c":["SOL-USD","BTC-USD"]}})");
    EXPECT_EQ(item_dump(CancelAll{}), R"({"cxa":{"c":[]}})");
}

TEST(OrderItemJson, StopAndTakeProfit) {
    Stop st;
    st.symbol = "BTC-USD";
    st.is_buy = true;
    st.size = 1;
    st.trigger_price = 90000;
    st.limit_price = kNaN;  // no limit price
    EXPECT_EQ(item_dump(st), R"({"st":{"c":"BTC-USD","d":true,"i":false,"lim":null,"sz":1.0,"tr":90000.0}})");

    TakeProfit tp;
    tp.symbol = "ETH-USD";
    tp.is_buy = false;
    tp.size = 0.5;
    tp.trigger_price = 4000;
    tp.limit_price = 3999.5;
    tp.iso = true;
    tp.commission = builder(3);
    EXPECT_EQ(item_dump(tp), R"({"tp":{"builderCode":{"fee":3,"to":")" + b58(filled_key(0x22)) +
                                 R"("},"c":"ETH-USD","d":false,"i":true,"lim":3999.5,"sz":0.5,"tr":4000.0}})");
}

TEST(OrderItemJson, RangeOco) {
    RangeOco r;
    r.symbol = "BTC-USD";
    r.is_buy = false;
    r.size = 1;
    r.pmin = 90;
    r.pmax = 110;
    r.lmin = 95;
    r.lmax = kNaN;
    r.iso = true;
    EXPECT_EQ(item_dump(r),
              R"({"rng":{"c":"BTC-USD","d":false,"i":true,"lmax":null,"lmin":95.0,"pmax":110.0,"pmin":90.0,"sz":1.0}})");
    r.commission = builder(1);
    auto j = order_item_to_json(r);
    ASSERT_TRUE(j);
    EXPECT_EQ((*j)["rng"].begin().key(), "builderCode");
}

TEST(OrderItemJson, TrailingStopAlwaysHasLim) {
    TrailingStop t;
    t.symbol = "BTC-USD";
    t.is_buy = true;
    t.size = 1;
    t.trail_bps = 50;
    t.step_bps = 5;
    EXPECT_EQ(item_dump(t), R"({"trl":{"b":true,"c":"BTC-USD","i":false,"lim":null,"stb":5,"sz":1.0,"trb":50}})");
    t.limit_price = 101.5;
    t.commission = builder(2);
    EXPECT_EQ(item_dump(t), R"({"trl":{"b":true,"builderCode":{"fee":2,"to":")" + b58(filled_key(0x22)) +
                                R"("},"c":"BTC-USD","i":false,"lim":101.5,"stb":5,"sz":1.0,"trb":50}})");
    auto j = order_item_to_json(t);
    ASSERT_TRUE(j);
    EXPECT_TRUE((*j)["trl"]["stb"].is_number_unsigned());
    EXPECT_TRUE((*j)["trl"]["trb"].is_number_unsigned());
    t.limit_price = kNaN;
    EXPECT_TRUE((*order_item_to_json(t))["trl"]["lim"].is_null());
}

TEST(OrderItemJson, TriggerBasketAndOnFill) {
    TriggerBasket basket;
    basket.symbol = "BTC-USD";
    basket.is_buy = true;
    basket.trigger_price = 100;
    basket.actions = {limit_order("BTC-USD", false, 101, 1), cancel("BTC-USD", 0x01)};
    const std::string limit_text = R"({"l":{"b":false,"c":"BTC-USD","i":false,"px":101.0,"r":false,"sz":1.0,"tif":"GTC"}})";
    const std::string cancel_text = R"({"cx":{"c":"BTC-USD","oid":")" + b58(filled_hash(0x01)) + R"("}})";
    EXPECT_EQ(item_dump(basket),
              R"({"trig":{"actions":[)" + limit_text + "," + cancel_text + R"(],"c":"BTC-USD","d":true,"tr":100.0}})");

    OnFill of;
    of.trigger = Box<OrderItem>(market_order("ETH-USD", true, 1));
    of.actions = {basket};
    EXPECT_EQ(item_dump(of), R"({"of":{"actions":[)" + item_dump(basket) + R"(],"trigger":{"m":{"b":true,"c":"ETH-USD","i":false,"r":false,"sz":1.0}}}})");

    OnFill empty;
    empty.trigger = Box<OrderItem>(limit_order("X", true, 1, 1));
    EXPECT_EQ(item_dump(empty), R"({"of":{"actions":[],"trigger":)" + item_dump(limit_order("X", true, 1, 1)) + "}}");
}

TEST(OrderItemJson, NestedRefusalsPassThrough) {
    TriggerBasket basket;
    basket.symbol = "BTC-USD";
    basket.actions = {limit_order("BTC-USD", true, 1, 1), resting_trigger_order()};
    EXPECT_EQ(item_error(basket), kTriggerRefused);

    OnFill trigger_refused;
    trigger_refused.trigger = Box<OrderItem>(resting_trigger_order());
    EXPECT_EQ(item_error(trigger_refused), kTriggerRefused);

    OnFill child_refused;
    child_refused.trigger = Box<OrderItem>(limit_order("BTC-USD", true, 1, 1));
    child_refused.actions = {basket};
    EXPECT_EQ(item_error(child_refused), kTriggerRefused);
}

TEST(OrderItemJson, OnFillWithoutTriggerCellDoesNotCrash) {
    OnFill of;  // a default cell holds no item
    EXPECT_EQ(item_dump(of), R"({"of":{"actions":[],"trigger":null}})");
}

// ---- actions ----

TEST(ActionJson, OrdersOneValuePerItemInOrder) {
    Action a{Orders{{limit_order("BTC-USD", true, 1, 1), market_order("ETH-USD", false, 2), cancel("SOL-USD", 9)}}};
    auto list = action_to_json(a);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 3u);
    EXPECT_EQ((*list)[0].begin().key(), "l");
    EXPECT_EQ((*list)[1].begin().key(), "m");
    EXPECT_EQ((*list)[2].begin().key(), "cx");
    EXPECT_EQ(action_dump(Action{Orders{}}), "[]");
    EXPECT_EQ(action_error(Action{Orders{{limit_order("A", true, 1, 1), resting_trigger_order()}}}), kTriggerRefused);
}

TEST(ActionJson, OraclePricesAndPyth) {
    Action prices{OraclePrices{{{"BTC-USD", 1700000000, 65000.5}, {"ETH-USD", 1700000001, 3000}}}};
    EXPECT_EQ(action_dump(prices),
              R"([{"px":{"c":"BTC-USD","px":65000.5,"t":1700000000}},{"px":{"c":"ETH-USD","px":3000.0,"t":1700000001}}])");
    EXPECT_EQ(action_dump(Action{OraclePrices{}}), "[]");

    Action pyth{PythOracle{{{1700000000, 3, 6500000000000, -8}, {1700000002, 18446744073709551615ull, 0, 32767}}}};
    EXPECT_EQ(action_dump(pyth),
              R"([{"o":{"oracles":[{"e":-8,"fi":3,"px":6500000000000,"t":1700000000},)"
              R"({"e":32767,"fi":18446744073709551615,"px":0,"t":1700000002}]}}])");
    auto list = action_to_json(pyth);
    ASSERT_TRUE(list);
    const auto& entry = (*list)[0]["o"]["oracles"][0];
    EXPECT_TRUE(entry["e"].is_number_integer());
    EXPECT_EQ(entry["e"].get<int64_t>(), -8);
    EXPECT_TRUE(entry["px"].is_number_unsigned());
    EXPECT_EQ(action_dump(Action{PythOracle{}}), R"([{"o":{"oracles":[]}}])");
}

TEST(ActionJson, FaucetAndSubAccounts) {
    const std::string u = b58(filled_key(0x33));
    EXPECT_EQ(action_dump(Action{Faucet{filled_key(0x33), std::nullopt}}), R"([{"faucet":{"u":")" + u + R"("}}])");
    EXPECT_EQ(action_dump(Action{Faucet{filled_key(0x33), 100.0}}),
              R"([{"faucet":{"amount":100.0,"u":")" + u + R"("}}])");
    EXPECT_EQ(action_dump(Action{CreateSubAccount{"alpha", 250.0}}),
              R"([{"createSubAccount":{"marginAmount":250.0,"name":"alpha"}}])");
    EXPECT_EQ(action_dump(Action{CreateSubAccount{"alpha", std::nullopt}}), R"([{"createSubAccount":{"name":"alpha"}}])");
    EXPECT_EQ(action_dump(Action{RemoveSubAccount{filled_key(0x33)}}), R"([{"removeSubAccount":{"toRemove":")" + u + R"("}}])");
    EXPECT_EQ(action_dump(Action{RenameSubAccount{filled_key(0x33), "beta"}}),
              R"([{"renameSubAccount":{"account":")" + u + R"(","name":"beta"}}])");
}

TEST(ActionJson, TransferAlwaysHasMarginAmount) {
    const std::string from = b58(filled_key(0x01)), to = b58(filled_key(0x02));
    EXPECT_EQ(action_dump(Action{Transfer{TransferKind::Internal, filled_key(0x01), filled_key(0x02), 1.0}}),
              R"([{"transfer":{"from":")" + from + R"(","k":"internal","marginAmount":1.0,"to":")" + to + R"("}}])");
    EXPECT_EQ(action_dump(Action{Transfer{TransferKind::External, filled_key(0x01), filled_key(0x02), 12.5}}),
              R"([{"transfer":{"from":")" + from + R"(","k":"external","marginAmount":12.5,"to":")" + to + R"("}}])");
}

TEST(ActionJson, AgentWalletWhitelistAndBuilderCodes) {
    const std::string k = b58(filled_key(0x22));
    EXPECT_EQ(action_dump(Action{AgentWalletCreation{filled_key(0x22), false}}),
              R"([{"agentWalletCreation":{"a":")" + k + R"(","d":false}}])");
    EXPECT_EQ(action_dump(Action{AgentWalletCreation{filled_key(0x22), true}}),
              R"([{"agentWalletCreation":{"a":")" + k + R"(","d":true}}])");
    EXPECT_EQ(action_dump(Action{WhitelistFaucet{filled_key(0x22), true}}),
              R"([{"whitelistFaucet":{"target":")" + k + R"(","whitelist":true}}])");
    EXPECT_EQ(action_dump(Action{ApproveCommissionFee{filled_key(0x22), 10}}),
              R"([{"abc":{"fee":10,"to":")" + k + R"("}}])");
    EXPECT_EQ(action_dump(Action{RevokeCommissionFee{filled_key(0x22)}}), R"([{"rbc":{"to":")" + k + R"("}}])");
}

TEST(ActionJson, UserSettingsSortedBySymbolBytes) {
    EXPECT_EQ(action_dump(Action{UpdateUserSettings{{{"ETH-USD", 5}, {"BTC-USD", 10}}}}),
              R"([{"updateUserSettings":{"m":{"BTC-USD":10.0,"ETH-USD":5.0}}}])");
    // A proper prefix first; bytes compared unsigned (0xC3 after ASCII).
    EXPECT_EQ(action_dump(Action{UpdateUserSettings{{{"\xc3\xa9", 1}, {"a", 2}, {"BTC-USD", 3}, {"BTC", 4}}}}),
              "[{\"updateUserSettings\":{\"m\":{\"BTC\":4.0,\"BTC-USD\":3.0,\"a\":2.0,\"\xc3\xa9\":1.0}}}]");
    EXPECT_EQ(action_dump(Action{UpdateUserSettings{}}), R"([{"updateUserSettings":{"m":{}}}])");
}

TEST(ActionJson, UserSettingsLaterDuplicateWins) {
    EXPECT_EQ(action_dump(Action{UpdateUserSettings{{{"ETH-USD", 5}, {"BTC-USD", 10}, {"ETH-USD", 3}}}}),
              R"([{"updateUserSettings":{"m":{"BTC-USD":10.0,"ETH-USD":3.0}}}])");
    // Many equal keys mixed with others: an unstable sort would lose the order.
    UpdateUserSettings many;
    for (int i = 0; i < 200; ++i) {
        many.max_leverage.push_back({"ETH-USD", static_cast<double>(i)});
        many.max_leverage.push_back({i % 2 ? "AAA" : "ZZZ", static_cast<double>(1000 + i)});
    }
    auto list = action_to_json(Action{many});
    ASSERT_TRUE(list);
    const auto& m = (*list)[0]["updateUserSettings"]["m"];
    EXPECT_EQ(m.size(), 3u);
    EXPECT_EQ(m["ETH-USD"].get<double>(), 199.0);
    EXPECT_EQ(m["AAA"].get<double>(), 1199.0);
    EXPECT_EQ(m["ZZZ"].get<double>(), 1198.0);
    EXPECT_TRUE(action_to_json(Action{UpdateUserSettings{{{"X", kNaN}}}}).value()[0]["updateUserSettings"]["m"]["X"].is_null());
}

TEST(ActionJson, LegacyWithdrawalsAreRefused) {
    EXPECT_EQ(action_error(Action{LegacyWithdrawA{}}), kLegacyRefused);
    EXPECT_EQ(action_error(Action{LegacyWithdrawB{}}), kLegacyRefused);
    EXPECT_EQ(action_to_json(Action{LegacyWithdrawB{}}).error().kind, ErrorKind::LegacyWithdrawal);
}

TEST(ActionJson, Multisig) {
    const std::string m = b58(filled_key(0x44)), s1 = b58(filled_key(0x01)), s2 = b58(filled_key(0x02));
    EXPECT_EQ(action_dump(Action{CreateMultisig{{filled_key(0x01), filled_key(0x02)}, 2, 60, 86400}}),
              R"([{"createMultisig":{"proposalLifetimeSecs":86400,"signers":[")" + s1 + R"(",")" + s2 +
                  R"("],"threshold":2,"timeLockSecs":60}}])");
    EXPECT_EQ(action_dump(Action{CreateMultisig{{}, 0, 0, 0}}),
              R"([{"createMultisig":{"proposalLifetimeSecs":0,"signers":[],"threshold":0,"timeLockSecs":0}}])");
    EXPECT_EQ(action_dump(Action{UpdateMultisigPolicy{filled_key(0x44), {filled_key(0x02)}, 1, 2, 3}}),
              R"([{"msu":{"m":")" + m + R"(","proposalLifetimeSecs":3,"signers":[")" + s2 +
                  R"("],"threshold":1,"timeLockSecs":2}}])");

    MultisigApprove approve;
    approve.multisig = filled_key(0x44);
    approve.proposal_id = 7;
    MultisigReject reject;
    reject.multisig = filled_key(0x44);
    reject.proposal_id = 8;
    MultisigCancel cancel_ref;
    cancel_ref.multisig = filled_key(0x44);
    cancel_ref.proposal_id = 9;
    MultisigExecute execute;
    execute.multisig = filled_key(0x44);
    execute.proposal_id = 18446744073709551615ull;
    EXPECT_EQ(action_dump(Action{approve}), R"([{"msa":{"m":")" + m + R"(","p":7}}])");
    EXPECT_EQ(action_dump(Action{reject}), R"([{"msr":{"m":")" + m + R"(","p":8}}])");
    EXPECT_EQ(action_dump(Action{cancel_ref}), R"([{"msc":{"m":")" + m + R"(","p":9}}])");
    EXPECT_EQ(action_dump(Action{execute}), R"([{"mse":{"m":")" + m + R"(","p":18446744073709551615}}])");
}

TEST(ActionJson, MultisigProposalFlattensNestedActions) {
    MultisigPropose p;
    p.multisig = filled_key(0x44);
    p.extra = 5;  // copied to the wire only, never rendered
    p.actions.push_back(Action{Orders{{limit_order("BTC-USD", true, 1, 1), cancel("BTC-USD", 2)}}});
    p.actions.push_back(Action{RevokeCommissionFee{filled_key(0x22)}});
    auto list = action_to_json(Action{p});
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 1u);
    const auto& inner = (*list)[0]["msp"];
    EXPECT_EQ(inner.size(), 2u);  // "a" and "m" only
    ASSERT_EQ(inner["a"].size(), 3u);
    EXPECT_EQ(inner["a"][0].begin().key(), "l");
    EXPECT_EQ(inner["a"][1].begin().key(), "cx");
    EXPECT_EQ(inner["a"][2].begin().key(), "rbc");
    EXPECT_EQ(inner["m"], b58(filled_key(0x44)));

    MultisigPropose outer;
    outer.multisig = filled_key(0x55);
    outer.actions.push_back(Action{p});
    auto nested = action_to_json(Action{outer});
    ASSERT_TRUE(nested);
    EXPECT_EQ((*nested)[0]["msp"]["a"][0]["msp"]["a"].size(), 3u);

    MultisigPropose empty;
    empty.multisig = filled_key(0x44);
    EXPECT_EQ(action_dump(Action{empty}), R"([{"msp":{"a":[],"m":")" + b58(filled_key(0x44)) + R"("}}])");

    MultisigPropose legacy;
    legacy.actions.push_back(Action{LegacyWithdrawA{}});
    EXPECT_EQ(action_error(Action{legacy}), kLegacyRefused);
    MultisigPropose trigger;
    trigger.actions.push_back(Action{Orders{{resting_trigger_order()}}});
    EXPECT_EQ(action_error(Action{trigger}), kTriggerRefused);
}

TEST(LiquidatorJson, SortedInstrumentsAndNumberKinds) {
    LiquidatorConfig c;
    c.cross_exposure = 0.5;
    c.scoring_skew = 1;
    c.toxicity = 0.3;
    c.urgency_size_fraction = 0.25;
    c.sweep_sds = 2;
    LiquidatorInstrumentConfig btc{"BTC-USD", 1000, kInf, 1.5, 0.2, 10, 0, 25, 5000, 0.1};
    c.instruments = {btc};
    EXPECT_EQ(liquidator_config_to_json(c).dump(),
              R"({"cross_exposure":0.5,"instruments":[{"max_adl_notional":5000.0,"max_adl_percent":0.1,)"
              R"("max_exposure":1000.0,"max_sweep_bps":25.0,"reserve":null,"rfactor":1.5,"symbol":"BTC-USD",)"
              R"("volume_min":10.0,"volume_percent":0.2,"volume_rampup":0}],"scoring_skew":1.0,"sweep_sds":2.0,)"
              R"("toxicity":0.3,"urgency_size_fraction":0.25})");
    auto j = liquidator_config_to_json(c);
    EXPECT_TRUE(j["instruments"][0]["volume_rampup"].is_number_unsigned());
    EXPECT_TRUE(j["instruments"][0]["max_exposure"].is_number_float());

    LiquidatorInstrumentConfig eth{"ETH-USD", 1, 1, 1, 1, 1, 7, 1, 1, 1};
    LiquidatorInstrumentConfig sol{"SOL-USD", 1, 1, 1, 1, 1, 8, 1, 1, 1};
    LiquidatorInstrumentConfig eth2{"ETH-USD", 2, 2, 2, 2, 2, 9, 2, 2, 2};
    c.instruments = {eth, btc, sol, eth2};
    auto sorted = liquidator_config_to_json(c)["instruments"];
    ASSERT_EQ(sorted.size(), 4u);
    EXPECT_EQ(sorted[0]["symbol"], "BTC-USD");
    EXPECT_EQ(sorted[1]["symbol"], "ETH-USD");
    EXPECT_EQ(sorted[1]["volume_rampup"], 7u);  // equal symbols keep input order
    EXPECT_EQ(sorted[2]["symbol"], "ETH-USD");
    EXPECT_EQ(sorted[2]["volume_rampup"], 9u);
    EXPECT_EQ(sorted[3]["symbol"], "SOL-USD");
    EXPECT_EQ(c.instruments[0].symbol, "ETH-USD");  // the config itself is not reordered

    c.instruments.clear();
    EXPECT_EQ(liquidator_config_to_json(c)["instruments"].dump(), "[]");
    auto action = action_to_json(Action{UpdateLiquidatorConfig{c}});
    ASSERT_TRUE(action);
    ASSERT_EQ(action->size(), 1u);
    EXPECT_EQ((*action)[0].dump(), R"({"liq":)" + liquidator_config_to_json(c).dump() + "}");
}

TEST(ActionJson, SignerPairIsTheSameRendering) {
    Action a{Orders{{limit_order("BTC-USD", true, 1, 1)}}};
    EXPECT_EQ(Signer::action_to_json(a).value()[0], action_to_json(a).value()[0]);
    EXPECT_EQ(Signer::order_item_to_json(cancel("X", 1)).value(), order_item_to_json(cancel("X", 1)).value());
}

TEST(ActionJson, AddBuilderCodeOnlyWithACommission) {
    json o = json::object();
    add_builder_code(o, std::nullopt);
    EXPECT_EQ(o.dump(), "{}");
    add_builder_code(o, builder(9));
    EXPECT_EQ(o.dump(), R"({"builderCode":{"fee":9,"to":")" + b58(filled_key(0x22)) + R"("}})");
}
