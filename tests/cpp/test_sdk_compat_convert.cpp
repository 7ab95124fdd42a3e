// Conversion of order items and actions to wire records: the refusals and
// their order, the records built, and the format-deciding scans.
#include <gtest/gtest.h>

#include <cmath>

#include "sdk_compat/sdk_compat.hpp"
#include "test_sdk_compat_util.hpp"

namespace vorn {
namespace {

using namespace testing_wire;

const char* kSlippageMsg = "invalid order: slippage is only supported on market orders";
const char* kTriggerMsg = "invalid order: trigger orders are not supported by VORN API; use market";
const char* kFeeMsg = "invalid order: builder-code fee must be 1..=15 bps";
const char* kOnFillMsg = "invalid order: on-fill trigger must be a market or limit order";
const char* kLegacyMsg =
    "legacy Vorn withdrawal actions are unsupported; use solana::request_withdraw to build a Solana withdrawal intent";

std::string item_refusal(const OrderItem& item, uint8_t v = 0) {
    auto r = order_item_to_tx_action(item, v);
    if (r) return "<accepted>";
    return r.error().display();
}

std::string action_refusal(const Action& action, uint8_t v = 0) {
    auto r = action_to_tx_actions(action, v);
    if (r) return "<accepted>";
    return r.error().display();
}

Order resting_trigger() {
    Order o = market_order("BTC-USD", true, 1.0);
    o.order_type = TriggerType{false, 95000.0};
    return o;
}

Commission fee(uint8_t bps) { return Commission{filled_key(0x77), bps}; }

Stop sample_stop() {
    Stop s;
    s.symbol = "BTC-USD";
    s.is_buy = false;
    s.size = 1.0;
    s.trigger_price = 90000.0;
    s.limit_price = std::nan("");
    return s;
}

TEST(SdkCompatConvertRefusals, LimitSlippageCheckedBeforeFee) {
    Order o = limit_order("BTC-USD", true, 100.0, 1.0);
    o.slippage = 0.01;
    o.commission = fee(0);
    EXPECT_EQ(item_refusal(o), kSlippageMsg);
    o.commission.reset();
    EXPECT_EQ(item_refusal(o), kSlippageMsg);
    o.slippage.reset();
    o.commission = fee(16);
    EXPECT_EQ(item_refusal(o), kFeeMsg);
    const OrderItem item{o};
    auto r = order_item_to_tx_action(item, 0);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().kind, ErrorKind::InvalidOrder);
    EXPECT_EQ(r.error().text, "builder-code fee must be 1..=15 bps");
}

TEST(SdkCompatConvertRefusals, RestingTriggerCheckedBeforeFee) {
    Order o = resting_trigger();
    o.commission = fee(0);
    EXPECT_EQ(item_refusal(o), kTriggerMsg);
    o.commission.reset();
    o.slippage = 0.01;  // slippage is allowed on trigger types; the type is what fails
    EXPECT_EQ(item_refusal(o), kTriggerMsg);
}

TEST(SdkCompatConvertRefusals, MarketFee) {
    Order o = market_order("BTC-USD", true, 1.0);
    o.commission = fee(0);
    EXPECT_EQ(item_refusal(o), kFeeMsg);
    o.commission = fee(1);
    EXPECT_EQ(item_refusal(o), "<accepted>");
    o.commission = fee(15);
    o.slippage = 0.02;
    EXPECT_EQ(item_refusal(o), "<accepted>");
}

TEST(SdkCompatConvertRefusals, ConditionalOrdersCheckTheirFee) {
    Stop s = sample_stop();
    s.commission = fee(16);
    EXPECT_EQ(item_refusal(s), kFeeMsg);
    TakeProfit tp;
    static_cast<TpSlFields&>(tp) = s;
    EXPECT_EQ(item_refusal(tp), kFeeMsg);
    RangeOco r;
    r.symbol = "X";
    r.commission = fee(0);
    EXPECT_EQ(item_refusal(r), kFeeMsg);
    TrailingStop t;
    t.symbol = "X";
    t.commission = fee(200);
    EXPECT_EQ(item_refusal(t), kFeeMsg);
    t.commission = fee(15);
    EXPECT_EQ(item_refusal(t), "<accepted>");
}

TEST(SdkCompatConvertRefusals, OnFillTriggerMustBeAnOrder) {
    OnFill f;
    f.trigger = Box<OrderItem>(OrderItem{Cancel{filled_hash(1), "BTC-USD"}});
    EXPECT_EQ(item_refusal(f), kOnFillMsg);

    TriggerBasket b;
    b.symbol = "BTC-USD";
    b.actions.push_back(limit_order("BTC-USD", true, 1.0, 1.0));
    f.trigger = Box<OrderItem>(OrderItem{b});
    EXPECT_EQ(item_refusal(f), kOnFillMsg);

    f.trigger = Box<OrderItem>(OrderItem{sample_stop()});
    EXPECT_EQ(item_refusal(f), kOnFillMsg);

    OnFill unset;  // no trigger at all is refused, not dereferenced
    EXPECT_EQ(item_refusal(unset), kOnFillMsg);
}

TEST(SdkCompatConvertRefusals, OnFillTriggerConvertedBeforeActions) {
    OnFill f;
    f.trigger = Box<OrderItem>(OrderItem{resting_trigger()});
    Order bad_fee = market_order("ETH-USD", false, 1.0);
    bad_fee.commission = fee(0);
    f.actions.push_back(bad_fee);
    EXPECT_EQ(item_refusal(f), kTriggerMsg);

    Order slipping_limit = limit_order("BTC-USD", true, 1.0, 1.0);
    slipping_limit.slippage = 0.05;
    f.trigger = Box<OrderItem>(OrderItem{slipping_limit});
    EXPECT_EQ(item_refusal(f), kSlippageMsg);

    f.trigger = Box<OrderItem>(OrderItem{limit_order("BTC-USD", true, 1.0, 1.0)});
    EXPECT_EQ(item_refusal(f), kFeeMsg);
    f.actions.clear();
    EXPECT_EQ(item_refusal(f), "<accepted>");
}

TEST(SdkCompatConvertRefusals, FirstFailingChildWins) {
    TriggerBasket b;
    b.symbol = "BTC-USD";
    b.actions.push_back(limit_order("BTC-USD", true, 1.0, 1.0));
    b.actions.push_back(resting_trigger());
    Stop s = sample_stop();
    s.commission = fee(0);
    b.actions.push_back(s);
    EXPECT_EQ(item_refusal(b), kTriggerMsg);

    Orders orders;
    orders.items.push_back(limit_order("BTC-USD", true, 1.0, 1.0));
    orders.items.push_back(s);
    orders.items.push_back(resting_trigger());
    EXPECT_EQ(action_refusal(Action{orders}), kFeeMsg);
}

TEST(SdkCompatConvertRefusals, LegacyWithdrawalsAnywhere) {
    for (const Action& a : {Action{LegacyWithdrawA{}}, Action{LegacyWithdrawB{}}}) {
        auto r = action_to_tx_actions(a, 0);
        ASSERT_FALSE(r);
        EXPECT_EQ(r.error().kind, ErrorKind::LegacyWithdrawal);
        EXPECT_EQ(r.error().display(), kLegacyMsg);
    }
    MultisigPropose p;
    p.actions.push_back(Action{RevokeCommissionFee{filled_key(1)}});
    p.actions.push_back(Action{LegacyWithdrawB{}});
    EXPECT_EQ(action_refusal(Action{p}), kLegacyMsg);
    MultisigPropose outer;
    outer.actions.push_back(Action{p});
    EXPECT_EQ(action_refusal(Action{outer}), kLegacyMsg);
}

TEST(SdkCompatConvertRefusals, ApproveCommissionFeeRange) {
    EXPECT_EQ(action_refusal(Action{ApproveCommissionFee{filled_key(2), 0}}), kFeeMsg);
    EXPECT_EQ(action_refusal(Action{ApproveCommissionFee{filled_key(2), 16}}), kFeeMsg);
    const Action approve{ApproveCommissionFee{filled_key(2), 15}};
    auto ok = action_to_tx_actions(approve, 0);
    ASSERT_TRUE(ok);
    ASSERT_EQ(ok->size(), 1u);
    const auto& rec = std::get<TxApproveCommissionFee>((*ok)[0].v);
    EXPECT_EQ(rec.fee, 15);
    EXPECT_EQ(rec.to, filled_key(2));
}

TEST(SdkCompatConvertRecords, MarketOrderDropsTriggerPrice) {
    Order o = market_order("BTC-USD", true, 0.5);
    o.order_type = TriggerType{true, 123456.0};
    o.reduce_only = true;
    o.slippage = 0.01;
    o.commission = fee(3);
    const OrderItem item{o};
    auto r = order_item_to_tx_action(item, 3);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->index(), 0u);
    const auto& m = std::get<TxMarketOrder>(r->v);
    EXPECT_EQ(m.symbol, "BTC-USD");
    EXPECT_TRUE(m.is_buy);
    EXPECT_EQ(m.size, 0.5);
    EXPECT_TRUE(m.reduce_only);
    EXPECT_EQ(m.slippage, 0.01);
    ASSERT_TRUE(m.commission);
    EXPECT_EQ(m.commission->fee, 3);
    EXPECT_EQ(m.wire_version, 3);
    // Nothing of the trigger price reaches the wire.
    EXPECT_EQ(hex(encoded(*r)).find(Expect{}.u64(to_fixed_point(123456.0)).hex()), std::string::npos);
}

TEST(SdkCompatConvertRecords, LimitOrderFields) {
    Order o = limit_order("ETH-USD", false, 3000.5, 2.0, TimeInForce::IOC);
    o.iso = true;
    o.client_id = filled_hash(9);  // not part of the wire record
    const OrderItem item{o};
    auto r = order_item_to_tx_action(item, 2);
    ASSERT_TRUE(r);
    const auto& l = std::get<TxLimitOrder>(r->v);
    EXPECT_EQ(l.symbol, "ETH-USD");
    EXPECT_FALSE(l.is_buy);
    EXPECT_EQ(l.price, 3000.5);
    EXPECT_EQ(l.size, 2.0);
    EXPECT_EQ(l.tif, TimeInForce::IOC);
    EXPECT_TRUE(l.iso);
    EXPECT_FALSE(l.commission);
    EXPECT_EQ(l.wire_version, 2);
}

TEST(SdkCompatConvertRecords, NanLimitPricesBecomeAbsent) {
    Stop s = sample_stop();
    const OrderItem no_limit{s};
    auto r = order_item_to_tx_action(no_limit, 0);
    ASSERT_TRUE(r);
    EXPECT_FALSE(std::get<TxStop>(r->v).limit_price);
    s.limit_price = 89000.0;
    const OrderItem with_limit{s};
    r = order_item_to_tx_action(with_limit, 0);
    EXPECT_EQ(std::get<TxStop>(r->v).limit_price, 89000.0);

    TakeProfit tp;
    static_cast<TpSlFields&>(tp) = sample_stop();
    const OrderItem tp_item{tp};
    r = order_item_to_tx_action(tp_item, 0);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->index(), 6u);
    EXPECT_FALSE(std::get<TxTakeProfit>(r->v).limit_price);

    RangeOco range;
    range.symbol = "BTC-USD";
    range.lmin = std::nan("");
    range.lmax = 101.0;
    const OrderItem range_item{range};
    r = order_item_to_tx_action(range_item, 0);
    ASSERT_TRUE(r);
    EXPECT_FALSE(std::get<TxRangeOco>(r->v).lmin);
    EXPECT_EQ(std::get<TxRangeOco>(r->v).lmax, 101.0);

    TrailingStop t;
    t.symbol = "BTC-USD";
    t.limit_price = std::nullopt;
    t.trail_bps = 25;
    const OrderItem trail_item{t};
    r = order_item_to_tx_action(trail_item, 0);
    ASSERT_TRUE(r);
    EXPECT_FALSE(std::get<TxTrailingStop>(r->v).limit_price);
    EXPECT_EQ(std::get<TxTrailingStop>(r->v).trail_bps, 25u);
}

TEST(SdkCompatConvertRecords, CompositesKeepVersionAndOrder) {
    OnFill f;
    f.trigger = Box<OrderItem>(OrderItem{market_order("BTC-USD", true, 1.0)});
    f.actions.push_back(sample_stop());
    f.actions.push_back(Cancel{filled_hash(3), "BTC-USD"});
    TriggerBasket b;
    b.symbol = "BTC-USD";
    b.trigger_price = 5.0;
    b.actions.push_back(f);
    const OrderItem item{b};
    auto r = order_item_to_tx_action(item, 2);
    ASSERT_TRUE(r);
    const auto& basket = std::get<TxTriggerBasket>(r->v);
    EXPECT_EQ(basket.trigger_price, 5.0);
    ASSERT_EQ(basket.actions.size(), 1u);
    const auto& onfill = std::get<TxOnFill>(basket.actions[0].v);
    EXPECT_EQ(std::get<TxMarketOrder>(onfill.trigger->v).wire_version, 2);
    ASSERT_EQ(onfill.actions.size(), 2u);
    EXPECT_EQ(std::get<TxStop>(onfill.actions[0].v).wire_version, 2);
    EXPECT_EQ(onfill.actions[1].index(), 3u);
}

TEST(SdkCompatConvertRecords, CancelAllAndModify) {
    CancelAll c;
    c.symbols = {"B", "A", "B"};
    const OrderItem cancel_all{c};
    auto r = order_item_to_tx_action(cancel_all, 0);
    ASSERT_TRUE(r);
    const auto& ca = std::get<TxCancelAll>(r->v);
    ASSERT_EQ(ca.symbols.size(), 3u);
    EXPECT_EQ(ca.symbols[0], "B");
    EXPECT_EQ(ca.symbols[1], "A");
    EXPECT_EQ(ca.symbols[2], "B");

    const OrderItem modify{Modify{filled_hash(4), "SOL", 7.25}};
    r = order_item_to_tx_action(modify, 3);
    ASSERT_TRUE(r);
    const auto& m = std::get<TxModifyOrder>(r->v);
    EXPECT_EQ(m.order_id, filled_hash(4));
    EXPECT_EQ(m.size, 7.25);
}

TEST(SdkCompatConvertActions, UserSettingsLaterPairWins) {
    UpdateUserSettings s;
    s.max_leverage = {{"ETH-USD", 5.0}, {"BTC-USD", 10.0}, {"ETH-USD", 3.0}};
    const Action action{s};
    auto r = action_to_tx_actions(action, 0);
    ASSERT_TRUE(r);
    ASSERT_EQ(r->size(), 1u);
    const auto& m = std::get<TxUpdateUserSettings>((*r)[0].v).max_leverage;
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].first, "BTC-USD");
    EXPECT_EQ(m[0].second, 10.0);
    EXPECT_EQ(m[1].first, "ETH-USD");
    EXPECT_EQ(m[1].second, 3.0);
    EXPECT_EQ(hex(encoded((*r)[0])),
              Expect{}.u32(18).u64(2).str("BTC-USD").f64(10.0).str("ETH-USD").f64(3.0).hex());
}

TEST(SdkCompatConvertActions, UserSettingsByteOrder) {
    UpdateUserSettings s;
    s.max_leverage = {{"btc", 1.0}, {"BTC-USD", 2.0}, {"BTC", 3.0}, {"BTC", 4.0}, {"BTC", 5.0}, {"", 6.0}};
    const Action action{s};
    auto r = action_to_tx_actions(action, 0);
    ASSERT_TRUE(r);
    const auto& m = std::get<TxUpdateUserSettings>((*r)[0].v).max_leverage;
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].first, "");
    EXPECT_EQ(m[1].first, "BTC");  // a prefix sorts first
    EXPECT_EQ(m[1].second, 5.0);
    EXPECT_EQ(m[2].first, "BTC-USD");
    EXPECT_EQ(m[3].first, "btc");  // upper case bytes are smaller
}

TEST(SdkCompatConvertActions, OraclePricesOnePerEntry) {
    OraclePrices p;
    p.prices = {{"BTC", 1, 1.5}, {"ETH", 2, 2.5}, {"SOL", 3, 3.5}};
    const Action action{p};
    auto r = action_to_tx_actions(action, 0);
    ASSERT_TRUE(r);
    ASSERT_EQ(r->size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const auto& price = std::get<TxPrice>((*r)[i].v);
        EXPECT_EQ(price.symbol, p.prices[i].symbol);
        EXPECT_EQ(price.timestamp, p.prices[i].timestamp);
        EXPECT_EQ(price.price, p.prices[i].price);
    }
    const Action no_prices{OraclePrices{}};
    auto empty = action_to_tx_actions(no_prices, 0);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
    const Action no_orders{Orders{}};
    auto no_items = action_to_tx_actions(no_orders, 0);
    ASSERT_TRUE(no_items);
    EXPECT_TRUE(no_items->empty());
}

TEST(SdkCompatConvertActions, OneRecordPerAccountAction) {
    struct Case {
        Action action;
        uint32_t index;
    };
    std::vector<Case> cases;
    cases.push_back({Action{PythOracle{{{1, 2, 3, 4}}}}, 13});
    cases.push_back({Action{Faucet{filled_key(1), 5.0}}, 16});
    cases.push_back({Action{AgentWalletCreation{filled_key(1), true}}, 17});
    cases.push_back({Action{UpdateUserSettings{}}, 18});
    cases.push_back({Action{WhitelistFaucet{filled_key(1), true}}, 19});
    cases.push_back({Action{CreateSubAccount{"a", std::nullopt}}, 27});
    cases.push_back({Action{RemoveSubAccount{filled_key(1)}}, 28});
    cases.push_back({Action{Transfer{TransferKind::External, filled_key(1), filled_key(2), 1.0}}, 29});
    cases.push_back({Action{CreateMultisig{{filled_key(1)}, 1, 2, 3}}, 30});
    cases.push_back({Action{MultisigPropose{}}, 31});
    cases.push_back({Action{MultisigApprove{{filled_key(1), 7}}}, 32});
    cases.push_back({Action{MultisigReject{{filled_key(1), 7}}}, 33});
    cases.push_back({Action{MultisigCancel{{filled_key(1), 7}}}, 34});
    cases.push_back({Action{MultisigExecute{{filled_key(1), 7}}}, 35});
    cases.push_back({Action{UpdateMultisigPolicy{filled_key(1), {}, 1, 2, 3}}, 36});
    cases.push_back({Action{RenameSubAccount{filled_key(1), "b"}}, 37});
    cases.push_back({Action{ApproveCommissionFee{filled_key(1), 1}}, 40});
    cases.push_back({Action{RevokeCommissionFee{filled_key(1)}}, 41});
    cases.push_back({Action{UpdateLiquidatorConfig{}}, 43});
    for (const Case& c : cases) {
        auto r = action_to_tx_actions(c.action, 0);
        ASSERT_TRUE(r) << c.index;
        ASSERT_EQ(r->size(), 1u) << c.index;
        EXPECT_EQ((*r)[0].index(), c.index);
    }
    const Action transfer{Transfer{TransferKind::Internal, filled_key(1), filled_key(2), 9.5}};
    auto t = action_to_tx_actions(transfer, 0);
    const auto& tr = std::get<TxTransfer>((*t)[0].v);
    EXPECT_EQ(tr.kind, TransferKind::Internal);
    EXPECT_EQ(tr.from, filled_key(1));
    EXPECT_EQ(tr.to, filled_key(2));
    EXPECT_EQ(tr.amount, 9.5);
    const Action execute{MultisigExecute{{filled_key(6), 42}}};
    auto ms = action_to_tx_actions(execute, 0);
    EXPECT_EQ(std::get<TxMultisigExecute>((*ms)[0].v).proposal_id, 42u);
    EXPECT_EQ(std::get<TxMultisigExecute>((*ms)[0].v).multisig, filled_key(6));
}

TEST(SdkCompatConvertActions, MultisigProposalRaisesNestedVersion) {
    Orders orders;
    orders.items.push_back(limit_order("BTC-USD", true, 1.0, 1.0));
    orders.items.push_back(sample_stop());
    MultisigPropose p;
    p.multisig = filled_key(5);
    p.actions.push_back(Action{orders});
    p.actions.push_back(Action{Faucet{filled_key(1), std::nullopt}});
    p.extra = 77;
    for (uint8_t top : {uint8_t{0}, uint8_t{2}, uint8_t{3}}) {
        const Action action{p};
        auto r = action_to_tx_actions(action, top);
        ASSERT_TRUE(r);
        ASSERT_EQ(r->size(), 1u);
        const auto& rec = std::get<TxMultisigPropose>((*r)[0].v);
        EXPECT_EQ(rec.multisig, filled_key(5));
        EXPECT_EQ(rec.extra, 77u);
        ASSERT_EQ(rec.actions.size(), 3u);  // the orders' items and the faucet, concatenated
        const uint8_t expected = top == 0 ? 1 : top;
        EXPECT_EQ(std::get<TxLimitOrder>(rec.actions[0].v).wire_version, expected);
        EXPECT_EQ(std::get<TxStop>(rec.actions[1].v).wire_version, expected);
        EXPECT_EQ(rec.actions[2].index(), 16u);
    }
    // A proposal inside a proposal stays at least at 1.
    MultisigPropose outer;
    outer.actions.push_back(Action{p});
    const Action action{outer};
    auto r = action_to_tx_actions(action, 0);
    ASSERT_TRUE(r);
    const auto& inner = std::get<TxMultisigPropose>(std::get<TxMultisigPropose>((*r)[0].v).actions[0].v);
    EXPECT_EQ(std::get<TxLimitOrder>(inner.actions[0].v).wire_version, 1);
}

TEST(SdkCompatConvertActions, LiquidatorInstrumentsSortedStably) {
    UpdateLiquidatorConfig u;
    u.config.cross_exposure = 1.5;
    u.config.sweep_sds = 2.5;
    for (const char* s : {"ETH-USD", "BTC-USD", "SOL-USD", "BTC-USD", "BTC"}) {
        LiquidatorInstrumentConfig i;
        i.symbol = s;
        i.volume_rampup = u.config.instruments.size();
        u.config.instruments.push_back(i);
    }
    const Action action{u};
    auto r = action_to_tx_actions(action, 0);
    ASSERT_TRUE(r);
    const auto& rec = std::get<TxLiquidatorConfig>((*r)[0].v);
    EXPECT_EQ(rec.cross_exposure, 1.5);
    EXPECT_EQ(rec.sweep_sds, 2.5);
    ASSERT_EQ(rec.instruments.size(), 5u);
    std::vector<uint64_t> order;
    for (const auto* i : rec.instruments) order.push_back(i->volume_rampup);
    EXPECT_EQ(order, (std::vector<uint64_t>{4, 1, 3, 0, 2}));
    // The action itself is not reordered; the record points into it.
    const auto& source = std::get<UpdateLiquidatorConfig>(action.v).config.instruments;
    EXPECT_EQ(source[0].symbol, "ETH-USD");
    EXPECT_EQ(rec.instruments[0], &source[4]);
}

TEST(SdkCompatConvertPredicates, BuilderCode) {
    Order with_fee = market_order("BTC-USD", true, 1.0);
    with_fee.commission = fee(5);
    Order plain = limit_order("BTC-USD", true, 1.0, 1.0);
    EXPECT_TRUE(order_item_has_builder_code(with_fee));
    EXPECT_FALSE(order_item_has_builder_code(plain));
    // Even an invalid fee counts as a builder code: the scan does not validate.
    Order zero_fee = plain;
    zero_fee.commission = fee(0);
    EXPECT_TRUE(order_item_has_builder_code(zero_fee));

    Stop s = sample_stop();
    EXPECT_FALSE(order_item_has_builder_code(s));
    s.commission = fee(1);
    EXPECT_TRUE(order_item_has_builder_code(s));
    TakeProfit tp;
    tp.commission = fee(1);
    EXPECT_TRUE(order_item_has_builder_code(tp));
    RangeOco range;
    range.commission = fee(1);
    EXPECT_TRUE(order_item_has_builder_code(range));
    TrailingStop trail;
    EXPECT_FALSE(order_item_has_builder_code(trail));
    trail.commission = fee(1);
    EXPECT_TRUE(order_item_has_builder_code(trail));

    EXPECT_FALSE(order_item_has_builder_code(Modify{}));
    EXPECT_FALSE(order_item_has_builder_code(Cancel{}));
    EXPECT_FALSE(order_item_has_builder_code(CancelAll{}));

    TriggerBasket basket;
    basket.actions = {plain, plain};
    EXPECT_FALSE(order_item_has_builder_code(basket));
    basket.actions.push_back(s);
    EXPECT_TRUE(order_item_has_builder_code(basket));

    OnFill f;
    f.trigger = Box<OrderItem>(OrderItem{plain});
    f.actions = {plain};
    EXPECT_FALSE(order_item_has_builder_code(f));
    f.trigger = Box<OrderItem>(OrderItem{with_fee});
    EXPECT_TRUE(order_item_has_builder_code(f));
    f.trigger = Box<OrderItem>(OrderItem{plain});
    f.actions.push_back(OrderItem{basket});
    EXPECT_TRUE(order_item_has_builder_code(f));
    EXPECT_FALSE(order_item_has_builder_code(OnFill{}));

    Orders orders;
    orders.items = {plain, Cancel{}};
    EXPECT_FALSE(action_has_builder_code(Action{orders}));
    orders.items.push_back(f);
    EXPECT_TRUE(action_has_builder_code(Action{orders}));
    EXPECT_FALSE(action_has_builder_code(Action{ApproveCommissionFee{filled_key(1), 5}}));

    MultisigPropose inner;
    inner.actions.push_back(Action{orders});
    MultisigPropose outer;
    outer.actions.push_back(Action{Faucet{}});
    EXPECT_FALSE(action_has_builder_code(Action{outer}));
    outer.actions.push_back(Action{inner});
    EXPECT_TRUE(action_has_builder_code(Action{outer}));
}

TEST(SdkCompatConvertPredicates, ExplicitSlippage) {
    Order market = market_order("BTC-USD", true, 1.0);
    EXPECT_FALSE(order_item_has_explicit_slippage(market));
    market.slippage = 0.0;  // present, even if zero
    EXPECT_TRUE(order_item_has_explicit_slippage(market));
    Order limit = limit_order("BTC-USD", true, 1.0, 1.0);
    limit.slippage = 0.01;  // counts whatever the order type
    EXPECT_TRUE(order_item_has_explicit_slippage(limit));
    Order resting = resting_trigger();
    resting.slippage = 0.01;
    EXPECT_TRUE(order_item_has_explicit_slippage(resting));

    EXPECT_FALSE(order_item_has_explicit_slippage(sample_stop()));
    EXPECT_FALSE(order_item_has_explicit_slippage(TrailingStop{}));

    TriggerBasket basket;
    basket.actions = {sample_stop()};
    EXPECT_FALSE(order_item_has_explicit_slippage(basket));
    basket.actions.push_back(market);
    EXPECT_TRUE(order_item_has_explicit_slippage(basket));

    OnFill f;
    f.trigger = Box<OrderItem>(OrderItem{market});
    EXPECT_TRUE(order_item_has_explicit_slippage(f));
    f.trigger = Box<OrderItem>(OrderItem{market_order("X", true, 1.0)});
    EXPECT_FALSE(order_item_has_explicit_slippage(f));
    f.actions = {basket};
    EXPECT_TRUE(order_item_has_explicit_slippage(f));

    Orders orders;
    orders.items = {sample_stop()};
    EXPECT_FALSE(action_has_explicit_slippage(Action{orders}));
    orders.items.push_back(f);
    EXPECT_TRUE(action_has_explicit_slippage(Action{orders}));
    MultisigPropose p;
    p.actions.push_back(Action{orders});
    EXPECT_TRUE(action_has_explicit_slippage(Action{p}));
    EXPECT_FALSE(action_has_explicit_slippage(Action{MultisigPropose{}}));
    EXPECT_FALSE(action_has_explicit_slippage(Action{Faucet{}}));
}

TEST(SdkCompatConvertPredicates, MessageVersionPrefersBuilderCode) {
    Order slip = market_order("BTC-USD", true, 1.0);
    slip.slippage = 0.01;
    Order coded = limit_order("BTC-USD", true, 1.0, 1.0);
    coded.commission = fee(2);
    Orders orders;
    orders.items = {limit_order("BTC-USD", true, 1.0, 1.0)};
    EXPECT_EQ(message_wire_version(Action{orders}), 0);
    orders.items.push_back(slip);
    EXPECT_EQ(message_wire_version(Action{orders}), 2);
    orders.items.push_back(coded);
    EXPECT_EQ(message_wire_version(Action{orders}), 3);
    orders.items = {coded};
    EXPECT_EQ(message_wire_version(Action{orders}), 3);
    EXPECT_EQ(message_wire_version(Action{ApproveCommissionFee{filled_key(1), 3}}), 0);
}

}  // namespace
}  // namespace vorn
