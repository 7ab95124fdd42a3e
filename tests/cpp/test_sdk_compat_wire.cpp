// Byte layouts of the wire records and the fixed-point rule.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sdk_compat/sdk_compat.hpp"
#include "test_sdk_compat_util.hpp"

namespace vorn {
namespace {

using namespace testing_wire;

constexpr uint64_t kU64Max = std::numeric_limits<uint64_t>::max();

TEST(SdkCompatWireFixedPoint, RoundsHalfAwayFromZero) {
    EXPECT_EQ(to_fixed_point(1e-9), 0u);           // 0.1 rounds down
    EXPECT_EQ(to_fixed_point(0.000000005), 1u);    // 0.5 rounds away from zero
    EXPECT_EQ(to_fixed_point(0.000000025), 3u);    // 2.5 rounds away from zero, not to even
    EXPECT_EQ(to_fixed_point(0.000000045), 5u);    // 4.5 likewise
    EXPECT_EQ(to_fixed_point(1.000000005), 100000001u);
    EXPECT_EQ(to_fixed_point(0.5), 50000000u);
    EXPECT_EQ(to_fixed_point(0.25), 25000000u);
    EXPECT_EQ(to_fixed_point(0.01), 1000000u);
    EXPECT_EQ(to_fixed_point(100000.0), 10000000000000u);
    EXPECT_EQ(to_fixed_point(1.0), 100000000u);
}

TEST(SdkCompatWireFixedPoint, NegativeAndNanGiveZero) {
    EXPECT_EQ(to_fixed_point(-1.0), 0u);
    EXPECT_EQ(to_fixed_point(-0.0), 0u);
    EXPECT_EQ(to_fixed_point(-0.000000004), 0u);
    EXPECT_EQ(to_fixed_point(std::nan("")), 0u);
    EXPECT_EQ(to_fixed_point(-std::numeric_limits<double>::infinity()), 0u);
    EXPECT_EQ(to_fixed_point(0.0), 0u);
}

TEST(SdkCompatWireFixedPoint, SaturatesAtU64Max) {
    EXPECT_EQ(to_fixed_point(1e11), 10000000000000000000u);  // 1e19, below 2^64
    EXPECT_EQ(to_fixed_point(184467440737.09551616), kU64Max);  // 2^64 / 1e8
    EXPECT_EQ(to_fixed_point(1e12), kU64Max);
    EXPECT_EQ(to_fixed_point(1e300), kU64Max);
    EXPECT_EQ(to_fixed_point(std::numeric_limits<double>::infinity()), kU64Max);
    EXPECT_EQ(to_fixed_point(std::numeric_limits<double>::max()), kU64Max);
}

TEST(SdkCompatWireCommission, FeeMustBeOneToFifteen) {
    for (uint8_t fee : {uint8_t{0}, uint8_t{16}, uint8_t{255}}) {
        auto r = TxCommission::try_from(Commission{filled_key(7), fee});
        ASSERT_FALSE(r.has_value()) << int(fee);
        EXPECT_EQ(r.error().kind, ErrorKind::InvalidOrder);
        EXPECT_EQ(r.error().display(), "invalid order: builder-code fee must be 1..=15 bps");
    }
    for (uint8_t fee : {uint8_t{1}, uint8_t{15}}) {
        auto r = TxCommission::try_from(Commission{filled_key(7), fee});
        ASSERT_TRUE(r.has_value()) << int(fee);
        EXPECT_EQ(r->fee, fee);
        EXPECT_EQ(r->to, filled_key(7));
    }
}

TxMarketOrder btc_market(uint8_t wire_version) {
    TxMarketOrder m;
    m.symbol = "BTC-USD";
    m.is_buy = true;
    m.size = 0.5;
    m.wire_version = wire_version;
    return m;
}

const char* kMarketV0 =
    "00 00 00 00  07 00 00 00 00 00 00 00  42 54 43 2D 55 53 44  01  80 F0 FA 02 00 00 00 00  00  00";

TEST(SdkCompatWireMarket, VersionZeroHasNoSlots) {
    // Tag, symbol length and bytes, side, size, reduce-only, iso: 30 bytes.
    const auto bytes = encoded(btc_market(0));
    EXPECT_EQ(hex(bytes), hex_of(kMarketV0));
    EXPECT_EQ(bytes.size(), 30u);
}

TEST(SdkCompatWireMarket, VersionTwoAddsCommissionThenSlippage) {
    auto m = btc_market(2);
    m.slippage = 0.01;
    EXPECT_EQ(hex(encoded(m)), hex_of(std::string(kMarketV0) + " 00  01 40 42 0F 00 00 00 00 00"));
    m.slippage.reset();
    EXPECT_EQ(hex(encoded(m)), hex_of(std::string(kMarketV0) + " 00 00"));
}

TEST(SdkCompatWireMarket, VersionOneHasCommissionSlotOnly) {
    auto m = btc_market(1);
    m.slippage = 0.01;  // no slippage slot below version 2
    EXPECT_EQ(hex(encoded(m)), hex_of(std::string(kMarketV0) + " 00"));
}

TEST(SdkCompatWireMarket, CommissionForcesItsSlotAndIsWrittenInFull) {
    auto m = btc_market(0);
    m.commission = TxCommission{filled_key(0x5A), 7};
    const std::string commission = Expect{}.u8(1).fill(0x5A, 32).u8(7).hex();
    EXPECT_EQ(hex(encoded(m)), hex_of(kMarketV0) + commission);

    m.wire_version = 3;
    m.slippage = 0.000000005;
    EXPECT_EQ(hex(encoded(m)), hex_of(kMarketV0) + commission + Expect{}.u8(1).u64(1).hex());
}

TEST(SdkCompatWireMarket, FieldsLandInOrder) {
    TxMarketOrder m;
    m.symbol = "E";
    m.is_buy = false;
    m.size = 2.0;
    m.reduce_only = true;
    m.iso = true;
    EXPECT_EQ(hex(encoded(m)), Expect{}.u32(0).str("E").u8(0).u64(200000000).u8(1).u8(1).hex());
}

TxLimitOrder btc_limit(uint8_t wire_version) {
    TxLimitOrder l;
    l.symbol = "BTC-USD";
    l.is_buy = true;
    l.price = 100000.0;
    l.size = 0.25;
    l.tif = TimeInForce::GTC;
    l.wire_version = wire_version;
    return l;
}

const char* kLimitV0 =
    "01 00 00 00  07 00 00 00 00 00 00 00  42 54 43 2D 55 53 44  01  00 A0 72 4E 18 09 00 00"
    "  40 78 7D 01 00 00 00 00  00 00 00 00  00  00";

TEST(SdkCompatWireLimit, EndsWithIsoUnderVersionZero) {
    const auto bytes = encoded(btc_limit(0));
    EXPECT_EQ(hex(bytes), hex_of(kLimitV0));
    EXPECT_EQ(bytes.size(), 42u);
}

TEST(SdkCompatWireLimit, EndsWithAbsentCommissionUnderOtherVersions) {
    for (uint8_t v : {uint8_t{1}, uint8_t{2}, uint8_t{3}}) {
        EXPECT_EQ(hex(encoded(btc_limit(v))), hex_of(std::string(kLimitV0) + " 00")) << int(v);
    }
}

TEST(SdkCompatWireLimit, TifAndFlags) {
    auto l = btc_limit(0);
    l.tif = TimeInForce::ALO;
    l.reduce_only = true;
    l.is_buy = false;
    auto bytes = encoded(l);
    EXPECT_EQ(hex(bytes), Expect{}
                              .u32(1)
                              .str("BTC-USD")
                              .u8(0)
                              .u64(10000000000000)
                              .u64(25000000)
                              .u32(2)
                              .u8(1)
                              .u8(0)
                              .hex());
    l.tif = TimeInForce::IOC;
    bytes = encoded(l);
    EXPECT_EQ(bytes[36], 1);  // tif low byte after index, symbol, side, price, size
}

TEST(SdkCompatWireLimit, CommissionUnderVersionZero) {
    auto l = btc_limit(0);
    l.commission = TxCommission{filled_key(3), 15};
    EXPECT_EQ(hex(encoded(l)), hex_of(kLimitV0) + Expect{}.u8(1).fill(3, 32).u8(15).hex());
}

TxStop sample_stop(uint8_t wire_version) {
    TxStop s;
    s.symbol = "SOL-USD";
    s.is_buy = false;
    s.size = 3.0;
    s.trigger_price = 150.5;
    s.limit_price = std::nullopt;
    s.iso = true;
    s.commission = TxCommission{filled_key(9), 2};
    s.wire_version = wire_version;
    return s;
}

// Everything after the index; limit_fixed is the fixed-point limit price.
std::string stop_body(std::optional<uint64_t> limit_fixed) {
    Expect e;
    e.str("SOL-USD").u8(0).u64(300000000).u64(15050000000);
    if (limit_fixed)
        e.u8(1).u64(*limit_fixed);
    else
        e.u8(0);
    e.u8(1);
    return e.hex();
}

TEST(SdkCompatWireStop, CommissionSlotOnlyFromVersionTwo) {
    const std::string slot = Expect{}.u8(1).fill(9, 32).u8(2).hex();
    for (uint8_t v : {uint8_t{0}, uint8_t{1}}) {
        EXPECT_EQ(hex(encoded(sample_stop(v))), Expect{}.u32(5).hex() + stop_body(std::nullopt)) << int(v);
    }
    for (uint8_t v : {uint8_t{2}, uint8_t{3}}) {
        EXPECT_EQ(hex(encoded(sample_stop(v))), Expect{}.u32(5).hex() + stop_body(std::nullopt) + slot) << int(v);
    }
    auto s = sample_stop(2);
    s.commission.reset();
    EXPECT_EQ(hex(encoded(s)), Expect{}.u32(5).hex() + stop_body(std::nullopt) + "00");
}

TEST(SdkCompatWireStop, LimitPriceAlwaysWritten) {
    auto s = sample_stop(0);
    s.limit_price = 149.25;
    EXPECT_EQ(hex(encoded(s)), Expect{}.u32(5).hex() + stop_body(14925000000u));
}

TEST(SdkCompatWireStop, TakeProfitSharesTheLayoutUnderIndexSix) {
    TxTakeProfit tp;
    static_cast<TxStop&>(tp) = sample_stop(3);
    const auto stop = encoded(sample_stop(3));
    const auto take = encoded(tp);
    ASSERT_EQ(stop.size(), take.size());
    EXPECT_EQ(hex(std::vector<uint8_t>(take.begin(), take.begin() + 4)), "06000000");
    EXPECT_TRUE(std::equal(stop.begin() + 4, stop.end(), take.begin() + 4));
}

TEST(SdkCompatWireRange, Layout) {
    TxRangeOco r;
    r.symbol = "ETH";
    r.is_buy = true;
    r.size = 1.0;
    r.pmin = 2.0;
    r.pmax = 3.0;
    r.lmin = std::nullopt;
    r.lmax = 3.5;
    r.iso = false;
    r.wire_version = 0;
    const std::string body =
        Expect{}.u32(7).str("ETH").u8(1).u64(100000000).u64(200000000).u64(300000000).u8(0).u8(1).u64(350000000).u8(0).hex();
    EXPECT_EQ(hex(encoded(r)), body);
    r.wire_version = 2;
    EXPECT_EQ(hex(encoded(r)), body + "00");
}

TEST(SdkCompatWireTrailing, Layout) {
    TxTrailingStop t;
    t.symbol = "BTC";
    t.is_buy = false;
    t.size = 0.1;
    t.trail_bps = 50;
    t.step_bps = 0x01020304;
    t.limit_price = 1.5;
    t.iso = true;
    t.commission = TxCommission{filled_key(1), 1};
    t.wire_version = 1;
    const std::string body = Expect{}
                                 .u32(9)
                                 .str("BTC")
                                 .u8(0)
                                 .u64(10000000)
                                 .raw("32 00 00 00  04 03 02 01")
                                 .u8(1)
                                 .u64(150000000)
                                 .u8(1)
                                 .hex();
    EXPECT_EQ(hex(encoded(t)), body);
    t.wire_version = 3;
    EXPECT_EQ(hex(encoded(t)), body + Expect{}.u8(1).fill(1, 32).u8(1).hex());
}

TEST(SdkCompatWireModify, SizeIsRawFloat) {
    TxModifyOrder m{filled_hash(0xCD), "BTC-USD", 2.5};
    EXPECT_EQ(hex(encoded(m)), Expect{}
                                   .u32(2)
                                   .fill(0xCD, 32)
                                   .str("BTC-USD")
                                   .raw("00 00 00 00 00 00 04 40")
                                   .hex());
}

TEST(SdkCompatWireCancel, SymbolThenOrderId) {
    TxCancelOrder c{"ETH-USD", filled_hash(0xAB)};
    EXPECT_EQ(hex(encoded(c)), Expect{}.u32(3).str("ETH-USD").fill(0xAB, 32).hex());
}

TEST(SdkCompatWireCancelAll, EmptyAndFilledLists) {
    EXPECT_EQ(hex(encoded(TxCancelAll{})), hex_of("04 00 00 00  00 00 00 00 00 00 00 00"));
    TxCancelAll c;
    c.symbols = {"BTC-USD", "", "SOL"};
    EXPECT_EQ(hex(encoded(c)), Expect{}.u32(4).u64(3).str("BTC-USD").str("").str("SOL").hex());
}

TEST(SdkCompatWireComposite, TriggerBasketNestsFullActions) {
    TxTriggerBasket b;
    b.symbol = "BTC";
    b.is_buy = true;
    b.trigger_price = 10.0;
    b.actions.push_back(TxCancelOrder{"BTC", filled_hash(1)});
    b.actions.push_back(btc_market(0));
    EXPECT_EQ(hex(encoded(b)), Expect{}.u32(8).str("BTC").u8(1).u64(1000000000).u64(2).hex() +
                                   Expect{}.u32(3).str("BTC").fill(1, 32).hex() + hex_of(kMarketV0));
}

TEST(SdkCompatWireComposite, OnFillWritesTriggerThenActions) {
    TxOnFill f;
    f.trigger = Box<TxAction>(TxAction{btc_limit(0)});
    f.actions.push_back(sample_stop(0));
    EXPECT_EQ(hex(encoded(f)), Expect{}.u32(10).hex() + hex_of(kLimitV0) + Expect{}.u64(1).u32(5).hex() +
                                   stop_body(std::nullopt));
}

TEST(SdkCompatWireOracle, PriceTimestampComesFirst) {
    TxPrice p{1234, "BTC", 2.5};
    EXPECT_EQ(hex(encoded(p)), Expect{}.u32(11).u64(1234).str("BTC").raw("00 00 00 00 00 00 04 40").hex());
}

TEST(SdkCompatWireOracle, PythEntriesAreTwentySixBytes) {
    std::vector<PythEntry> entries = {{1, 2, 3, -2}, {0x0102030405060708, 9, 10, 300}};
    TxPythOracle p{entries};
    const auto bytes = encoded(p);
    EXPECT_EQ(bytes.size(), 4u + 8u + 2 * 26u);
    EXPECT_EQ(hex(bytes), Expect{}
                              .u32(13)
                              .u64(2)
                              .u64(1)
                              .u64(2)
                              .u64(3)
                              .raw("FE FF")
                              .raw("08 07 06 05 04 03 02 01")
                              .u64(9)
                              .u64(10)
                              .raw("2C 01")
                              .hex());
}

TEST(SdkCompatWireAccount, FaucetAndSubAccounts) {
    EXPECT_EQ(hex(encoded(TxFaucet{filled_key(4), std::nullopt})), Expect{}.u32(16).fill(4, 32).u8(0).hex());
    EXPECT_EQ(hex(encoded(TxFaucet{filled_key(4), 2.5})),
              Expect{}.u32(16).fill(4, 32).u8(1).raw("00 00 00 00 00 00 04 40").hex());
    EXPECT_EQ(hex(encoded(TxCreateSubAccount{"desk", 1.0})), Expect{}.u32(27).str("desk").u8(1).f64(1.0).hex());
    EXPECT_EQ(hex(encoded(TxCreateSubAccount{"desk", std::nullopt})), Expect{}.u32(27).str("desk").u8(0).hex());
    EXPECT_EQ(hex(encoded(TxRemoveSubAccount{filled_key(5)})), Expect{}.u32(28).fill(5, 32).hex());
    EXPECT_EQ(hex(encoded(TxRenameSubAccount{filled_key(6), "new"})), Expect{}.u32(37).fill(6, 32).str("new").hex());
}

TEST(SdkCompatWireAccount, AgentWhitelistTransfer) {
    EXPECT_EQ(hex(encoded(TxAgentWalletCreation{filled_key(0x22), true})),
              Expect{}.raw("11 00 00 00").fill(0x22, 32).u8(1).hex());
    EXPECT_EQ(hex(encoded(TxWhitelistFaucet{filled_key(8), false})), Expect{}.u32(19).fill(8, 32).u8(0).hex());
    EXPECT_EQ(hex(encoded(TxTransfer{TransferKind::External, filled_key(1), filled_key(2), -0.5})),
              Expect{}.u32(29).u32(1).fill(1, 32).fill(2, 32).f64(-0.5).hex());
}

TEST(SdkCompatWireAccount, UserSettingsMap) {
    TxUpdateUserSettings s;
    s.max_leverage = {{"BTC-USD", 10.0}, {"ETH-USD", 3.0}};
    EXPECT_EQ(hex(encoded(s)), Expect{}.u32(18).u64(2).str("BTC-USD").f64(10.0).str("ETH-USD").f64(3.0).hex());
}

TEST(SdkCompatWireCommissionFee, ApproveAndRevoke) {
    EXPECT_EQ(hex(encoded(TxApproveCommissionFee{filled_key(3), 12})), Expect{}.u32(40).fill(3, 32).u8(12).hex());
    EXPECT_EQ(hex(encoded(TxRevokeCommissionFee{filled_key(3)})), Expect{}.u32(41).fill(3, 32).hex());
}

TEST(SdkCompatWireMultisig, CreateAndPolicyUseKeyLists) {
    std::vector<Pubkey> signers = {filled_key(1), filled_key(2)};
    EXPECT_EQ(hex(encoded(TxCreateMultisig{signers, 2, 60, 3600})),
              Expect{}.u32(30).u64(2).fill(1, 32).fill(2, 32).u32(2).u32(60).u32(3600).hex());
    EXPECT_EQ(hex(encoded(TxUpdateMultisigPolicy{filled_key(9), signers, 1, 0, 7})),
              Expect{}.u32(36).fill(9, 32).u64(2).fill(1, 32).fill(2, 32).u32(1).u32(0).u32(7).hex());
    std::vector<uint8_t> out;
    serde_pubkey_vec({}, out);
    EXPECT_EQ(hex(out), "0000000000000000");
}

TEST(SdkCompatWireMultisig, ProposeWithExtra) {
    TxMultisigPropose p;
    p.multisig = filled_key(0xEE);
    p.actions.push_back(TxRevokeCommissionFee{filled_key(1)});
    p.extra = 0x0A0B0C0D;
    const std::string head = Expect{}.u32(31).fill(0xEE, 32).u64(1).u32(41).fill(1, 32).hex();
    EXPECT_EQ(hex(encoded(p)), head + hex_of("01 0D 0C 0B 0A"));
    p.extra.reset();
    EXPECT_EQ(hex(encoded(p)), head + "00");
}

TEST(SdkCompatWireMultisig, ProposalRefsDifferOnlyInIndex) {
    TxMultisigApprove a;
    a.multisig = filled_key(4);
    a.proposal_id = 0x1122;
    TxMultisigReject r;
    static_cast<TxMultisigProposalRef&>(r) = a;
    TxMultisigCancel c;
    static_cast<TxMultisigProposalRef&>(c) = a;
    TxMultisigExecute e;
    static_cast<TxMultisigProposalRef&>(e) = a;
    const std::string body = Expect{}.fill(4, 32).u64(0x1122).hex();
    EXPECT_EQ(hex(encoded(a)), Expect{}.u32(32).hex() + body);
    EXPECT_EQ(hex(encoded(r)), Expect{}.u32(33).hex() + body);
    EXPECT_EQ(hex(encoded(c)), Expect{}.u32(34).hex() + body);
    EXPECT_EQ(hex(encoded(e)), Expect{}.u32(35).hex() + body);
}

TEST(SdkCompatWireLiquidator, ParametersThenInstruments) {
    LiquidatorInstrumentConfig i;
    i.symbol = "BTC";
    i.max_exposure = 1.0;
    i.reserve = 2.0;
    i.rfactor = 3.0;
    i.volume_percent = 4.0;
    i.volume_min = 5.0;
    i.volume_rampup = 6;
    i.max_sweep_bps = 7.0;
    i.max_adl_notional = 8.0;
    i.max_adl_percent = 9.0;
    TxLiquidatorConfig c{0.1, 0.2, 0.3, 0.4, 0.5, {&i}};
    EXPECT_EQ(hex(encoded(c)), Expect{}
                                   .u32(43)
                                   .f64(0.1)
                                   .f64(0.2)
                                   .f64(0.3)
                                   .f64(0.4)
                                   .f64(0.5)
                                   .u64(1)
                                   .str("BTC")
                                   .f64(1.0)
                                   .f64(2.0)
                                   .f64(3.0)
                                   .f64(4.0)
                                   .f64(5.0)
                                   .u64(6)
                                   .f64(7.0)
                                   .f64(8.0)
                                   .f64(9.0)
                                   .hex());
}

TEST(SdkCompatWireIndex, FieldlessIsItsIndexAlone) {
    for (uint32_t idx : {12u, 20u, 42u, 54u}) {
        EXPECT_EQ(hex(encoded(TxFieldless{idx})), Expect{}.u32(idx).hex());
    }
}

TEST(SdkCompatWireIndex, SequenceIsCountedAndOrdered) {
    std::vector<TxAction> list;
    list.push_back(TxRevokeCommissionFee{filled_key(1)});
    list.push_back(TxFieldless{14});
    std::vector<uint8_t> out = {0x99};  // appends, never clears
    encode_tx_actions(list, out);
    EXPECT_EQ(hex(out), Expect{}.u8(0x99).u64(2).u32(41).fill(1, 32).u32(14).hex());
}

}  // namespace
}  // namespace vorn
