// The signing message: the worked layouts, the format marker and the slots
// it switches on, the signing suffix, and the buffer contract on refusal.
#include <gtest/gtest.h>

#include <cmath>

#include "sdk_compat/sdk_compat.hpp"
#include "test_sdk_compat_util.hpp"

namespace vorn {
namespace {

using namespace testing_wire;

constexpr uint64_t kNonce = 1700000000000000000ull;
constexpr uint8_t kMainnet = 1;

// Nonce 1700000000000000000, account 32 x 11, mainnet.
const std::string kSuffix = hex_of("00 00 2A 36 FE 9C 97 17") + std::string(64, '1') + "01";
const std::string kMarker2 = hex_of("FF FF FF FF FF FF FF FF  76 6F 72 6E 2D 61 63 74 69 6F 6E 73  02");
const std::string kMarker3 = hex_of("FF FF FF FF FF FF FF FF  76 6F 72 6E 2D 61 63 74 69 6F 6E 73  03");
const std::string kBtcLimitRecord = hex_of(
    "01 00 00 00  07 00 00 00 00 00 00 00  42 54 43 2D 55 53 44  01  00 A0 72 4E 18 09 00 00"
    "  40 78 7D 01 00 00 00 00  00 00 00 00  00  00");

Order btc_limit() { return limit_order("BTC-USD", true, 100000.0, 0.25, TimeInForce::GTC); }

Action orders_of(std::vector<OrderItem> items) { return Action{Orders{std::move(items)}}; }

std::string message_hex(const Action& a, uint8_t domain = kMainnet, uint64_t nonce = kNonce,
                        const Pubkey& account = filled_key(0x11)) {
    std::vector<uint8_t> buf;
    buf.reserve(512);
    auto st = serialize_for_sdk_signing(a, domain, nonce, account, buf);
    if (!st) return "<error: " + st.error().display() + ">";
    return hex(buf);
}

TEST(SdkCompatMessageLayout, LimitOrderIs91Bytes) {
    std::vector<uint8_t> buf;
    ASSERT_TRUE(serialize_for_sdk_signing(orders_of({btc_limit()}), kMainnet, kNonce, filled_key(0x11), buf));
    EXPECT_EQ(buf.size(), 91u);
    EXPECT_EQ(hex(buf), hex_of("01 00 00 00 00 00 00 00") + kBtcLimitRecord + kSuffix);
}

TEST(SdkCompatMessageLayout, CancelIs100Bytes) {
    std::vector<uint8_t> buf;
    const Action a = orders_of({Cancel{filled_hash(0xAB), "BTC-USD"}});
    ASSERT_TRUE(serialize_for_sdk_signing(a, kMainnet, kNonce, filled_key(0x11), buf));
    EXPECT_EQ(buf.size(), 100u);
    // Spelled out: count, index 3, symbol, order id AB x 32, suffix.
    const std::string expected = hex_of("01 00 00 00 00 00 00 00  03 00 00 00  07 00 00 00 00 00 00 00") +
                                 hex_of("42 54 43 2D 55 53 44") + Expect{}.fill(0xAB, 32).hex() + kSuffix;
    EXPECT_EQ(hex(buf), expected);
}

TEST(SdkCompatMessageLayout, AgentWalletCreationIs86Bytes) {
    std::vector<uint8_t> buf;
    const Action a{AgentWalletCreation{filled_key(0x22), false}};
    ASSERT_TRUE(serialize_for_sdk_signing(a, kMainnet, kNonce, filled_key(0x11), buf));
    EXPECT_EQ(buf.size(), 86u);
    EXPECT_EQ(hex(buf),
              hex_of("01 00 00 00 00 00 00 00  11 00 00 00") + Expect{}.fill(0x22, 32).hex() + "00" + kSuffix);
}

TEST(SdkCompatMessageVersion, SlippageSwitchesToMarkerTwo) {
    Order market = market_order("BTC-USD", true, 0.5);
    market.slippage = 0.01;
    const std::string expected = kMarker2 + Expect{}.u64(2).hex() + kBtcLimitRecord + "00" +
                                 hex_of("00 00 00 00  07 00 00 00 00 00 00 00  42 54 43 2D 55 53 44  01"
                                        "  80 F0 FA 02 00 00 00 00  00  00") +
                                 "00" + hex_of("01 40 42 0F 00 00 00 00 00") + kSuffix;
    EXPECT_EQ(message_hex(orders_of({btc_limit(), market})), expected);
}

TEST(SdkCompatMessageVersion, BuilderCodeSwitchesToMarkerThree) {
    Order coded = btc_limit();
    coded.commission = Commission{filled_key(0x44), 5};
    Order slip = market_order("ETH", false, 1.0);
    slip.slippage = 0.0;
    Stop stop;
    stop.symbol = "SOL";
    stop.size = 1.0;
    stop.trigger_price = 2.0;
    stop.limit_price = std::nan("");
    const std::string expected = kMarker3 + Expect{}.u64(4).hex() +
                                 // limit with its commission
                                 kBtcLimitRecord + Expect{}.u8(1).fill(0x44, 32).u8(5).hex() +
                                 // market: no commission, slippage present (zero)
                                 Expect{}.u32(0).str("ETH").u8(0).u64(100000000).u8(0).u8(0).hex() + "00" +
                                 Expect{}.u8(1).u64(0).hex() +
                                 // stop: absent limit price, iso, then its commission slot
                                 Expect{}.u32(5).str("SOL").u8(0).u64(100000000).u64(200000000).u8(0).u8(0).hex() +
                                 "00" +
                                 // cancel has no slots
                                 Expect{}.u32(3).str("SOL").fill(1, 32).hex() + kSuffix;
    EXPECT_EQ(message_hex(orders_of({coded, slip, stop, Cancel{filled_hash(1), "SOL"}})), expected);
}

TEST(SdkCompatMessageVersion, StopWithoutMarkerHasNoCommissionByte) {
    Stop stop;
    stop.symbol = "SOL";
    stop.size = 1.0;
    stop.trigger_price = 2.0;
    stop.limit_price = 1.5;
    EXPECT_EQ(message_hex(orders_of({stop})),
              Expect{}.u64(1).u32(5).str("SOL").u8(0).u64(100000000).u64(200000000).u8(1).u64(150000000).u8(0).hex() +
                  kSuffix);
}

TEST(SdkCompatMessageVersion, ProposalNestsAtVersionOne) {
    MultisigPropose p;
    p.multisig = filled_key(0x33);
    p.actions.push_back(orders_of({btc_limit()}));
    Stop stop;
    stop.symbol = "S";
    stop.limit_price = std::nan("");
    p.actions.push_back(orders_of({stop}));
    // No marker; the nested limit order carries its 00 commission byte, the
    // stop none (its slot needs version 2).
    const std::string expected = Expect{}.u64(1).u32(31).fill(0x33, 32).u64(2).hex() + kBtcLimitRecord + "00" +
                                 Expect{}.u32(5).str("S").u8(0).u64(0).u64(0).u8(0).u8(0).hex() + "00" + kSuffix;
    EXPECT_EQ(message_hex(Action{p}), expected);
}

TEST(SdkCompatMessageVersion, BuilderCodeInsideProposal) {
    Order coded = btc_limit();
    coded.commission = Commission{filled_key(0x44), 1};
    MultisigPropose p;
    p.multisig = filled_key(0x33);
    p.actions.push_back(orders_of({coded}));
    p.extra = 9;
    const std::string expected = kMarker3 + Expect{}.u64(1).u32(31).fill(0x33, 32).u64(1).hex() + kBtcLimitRecord +
                                 Expect{}.u8(1).fill(0x44, 32).u8(1).hex() + Expect{}.u8(1).u32(9).hex() + kSuffix;
    EXPECT_EQ(message_hex(Action{p}), expected);
}

TEST(SdkCompatMessageSuffix, NonceAccountDomainClose) {
    Pubkey account;
    for (size_t i = 0; i < 32; ++i) account.bytes[i] = static_cast<uint8_t>(i);
    for (uint8_t domain : {uint8_t{1}, uint8_t{2}, uint8_t{3}}) {
        std::vector<uint8_t> buf;
        const Action a{RevokeCommissionFee{filled_key(0x55)}};
        ASSERT_TRUE(serialize_for_sdk_signing(a, domain, 0x0102030405060708ull, account, buf));
        ASSERT_GE(buf.size(), kSigningSuffixLen);
        const std::vector<uint8_t> suffix(buf.end() - kSigningSuffixLen, buf.end());
        EXPECT_EQ(hex(suffix), Expect{}.raw("08 07 06 05 04 03 02 01").hex() + hex(std::vector<uint8_t>(
                                                                                     account.bytes.begin(),
                                                                                     account.bytes.end())) +
                                   Expect{}.u8(domain).hex());
    }
}

TEST(SdkCompatMessageSuffix, OraclePricesCountEveryEntry) {
    OraclePrices p;
    p.prices = {{"A", 1, 1.0}, {"B", 2, 2.0}, {"C", 3, 3.0}};
    const std::string expected = Expect{}
                                     .u64(3)
                                     .u32(11)
                                     .u64(1)
                                     .str("A")
                                     .f64(1.0)
                                     .u32(11)
                                     .u64(2)
                                     .str("B")
                                     .f64(2.0)
                                     .u32(11)
                                     .u64(3)
                                     .str("C")
                                     .f64(3.0)
                                     .hex() +
                                 kSuffix;
    EXPECT_EQ(message_hex(Action{p}), expected);
}

// A buffer with recognisable old content, to see that refusals leave it be.
std::vector<uint8_t> sentinel_buffer() { return std::vector<uint8_t>{0xDE, 0xAD, 0xBE, 0xEF, 0x42}; }

void expect_refused_untouched(const Action& a, ErrorKind kind, const std::string& display) {
    auto buf = sentinel_buffer();
    auto st = serialize_for_sdk_signing(a, kMainnet, kNonce, filled_key(0x11), buf);
    ASSERT_FALSE(st);
    EXPECT_EQ(st.error().kind, kind);
    EXPECT_EQ(st.error().display(), display);
    EXPECT_EQ(buf, sentinel_buffer());
}

TEST(SdkCompatMessageRefusal, EmptyActionsLeaveBufferAsItWas) {
    expect_refused_untouched(orders_of({}), ErrorKind::EmptyOrders, "orders array cannot be empty");
    expect_refused_untouched(Action{OraclePrices{}}, ErrorKind::EmptyOrders, "orders array cannot be empty");
}

TEST(SdkCompatMessageRefusal, ConversionErrorsPassThroughUntouched) {
    Order slipping = btc_limit();
    slipping.slippage = 0.01;
    // The refused order comes after a valid one: nothing of the first is written either.
    expect_refused_untouched(orders_of({btc_limit(), slipping}), ErrorKind::InvalidOrder,
                             "invalid order: slippage is only supported on market orders");
    Order bad_fee = market_order("BTC-USD", true, 1.0);
    bad_fee.commission = Commission{filled_key(1), 16};
    expect_refused_untouched(orders_of({bad_fee}), ErrorKind::InvalidOrder,
                             "invalid order: builder-code fee must be 1..=15 bps");
    expect_refused_untouched(Action{ApproveCommissionFee{filled_key(1), 0}}, ErrorKind::InvalidOrder,
                             "invalid order: builder-code fee must be 1..=15 bps");
    MultisigPropose p;
    p.actions.push_back(orders_of({btc_limit()}));
    p.actions.push_back(Action{LegacyWithdrawA{}});
    expect_refused_untouched(Action{p}, ErrorKind::LegacyWithdrawal,
                             "legacy Vorn withdrawal actions are unsupported; use solana::request_withdraw to build a "
                             "Solana withdrawal intent");
}

TEST(SdkCompatMessageBuffer, OldContentIsReplaced) {
    std::vector<uint8_t> buf(700, 0x5C);
    ASSERT_TRUE(serialize_for_sdk_signing(orders_of({btc_limit()}), kMainnet, kNonce, filled_key(0x11), buf));
    EXPECT_EQ(hex(buf), hex_of("01 00 00 00 00 00 00 00") + kBtcLimitRecord + kSuffix);
    // Reused for a shorter message.
    const Action a{RemoveSubAccount{filled_key(2)}};
    ASSERT_TRUE(serialize_for_sdk_signing(a, kMainnet, kNonce, filled_key(0x11), buf));
    EXPECT_EQ(hex(buf), Expect{}.u64(1).u32(28).fill(2, 32).hex() + kSuffix);
}

}  // namespace
}  // namespace vorn
