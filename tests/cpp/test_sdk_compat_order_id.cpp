// Order ids: the worked example, the canonical bytes, what enters the hash
// and what does not, and sequence numbers.
#include <gtest/gtest.h>
#include <sodium.h>

#include <cmath>

#include "sdk_compat/sdk_compat.hpp"
#include "test_sdk_compat_util.hpp"

namespace vorn {
namespace {

using namespace testing_wire;

constexpr uint64_t kNonce = 1700000000000000000ull;

const std::string kLimitCanonical = hex_of(
    "01 00 00 00  07 00 00 00 00 00 00 00  42 54 43 2D 55 53 44  01  00 A0 72 4E 18 09 00 00"
    "  40 78 7D 01 00 00 00 00  00 00 00 00  00  00");
const std::string kMarketCanonical =
    hex_of("00 00 00 00  07 00 00 00 00 00 00 00  42 54 43 2D 55 53 44  01  80 F0 FA 02 00 00 00 00  00  00");

OrderItem btc_limit() { return limit_order("BTC-USD", true, 100000.0, 0.25); }
OrderItem btc_market(std::optional<double> slippage = std::nullopt) {
    Order o = market_order("BTC-USD", true, 0.5);
    o.slippage = slippage;
    return o;
}

std::optional<Hash> id_of(const OrderItem& item, uint32_t seqno = 0, uint64_t nonce = kNonce,
                          const Pubkey& account = filled_key(0x11)) {
    std::vector<uint8_t> scratch;
    return compute_order_item_id_with_seqno(item, seqno, nonce, account, scratch);
}

std::string id_hex(const std::optional<Hash>& h) {
    if (!h) return "<none>";
    return hex_encode(h->bytes.data(), h->bytes.size());
}

// SHA-256 over seqno, canonical bytes, account and nonce, laid out by hand.
std::string expected_id(uint32_t seqno, const std::string& canonical_hex, uint8_t account_fill, uint64_t nonce) {
    Expect e;
    e.u32(seqno).raw(canonical_hex).fill(account_fill, 32).u64(nonce);
    Hash h;
    crypto_hash_sha256(h.bytes.data(), e.b.data(), e.b.size());
    return hex_encode(h.bytes.data(), h.bytes.size());
}

TEST(SdkCompatOrderIdExample, LimitOrderWorkedExample) {
    const auto id = id_of(btc_limit());
    ASSERT_TRUE(id);
    EXPECT_EQ(id_hex(id), "d8eb3ab207e6091e944986d006bb049028a247b922148ab36c249b4b86c48c8f");
    EXPECT_EQ(id->to_base58(), "Fbm6qhWswsSgBru54SFczGfq9U8M5926ZKjQtK6JzEjY");
}

TEST(SdkCompatOrderIdCanonical, LimitIsItsWireRecordWithoutSlots) {
    std::vector<uint8_t> out = {1, 2, 3};
    ASSERT_TRUE(canonical_order_bytes(btc_limit(), out));
    EXPECT_EQ(out.size(), 42u);
    EXPECT_EQ(hex(out), kLimitCanonical);
}

TEST(SdkCompatOrderIdCanonical, MarketSlippageOnlyWhenPresent) {
    std::vector<uint8_t> out;
    ASSERT_TRUE(canonical_order_bytes(btc_market(), out));
    EXPECT_EQ(hex(out), kMarketCanonical);
    ASSERT_TRUE(canonical_order_bytes(btc_market(0.0), out));
    EXPECT_EQ(hex(out), kMarketCanonical + hex_of("01 00 00 00 00 00 00 00 00"));
    ASSERT_TRUE(canonical_order_bytes(btc_market(0.01), out));
    EXPECT_EQ(hex(out), kMarketCanonical + hex_of("01 40 42 0F 00 00 00 00 00"));
}

TEST(SdkCompatOrderIdCanonical, TifAndFlagsEnter) {
    Order o = limit_order("E", false, 1.0, 2.0, TimeInForce::ALO);
    o.reduce_only = true;
    o.iso = true;
    std::vector<uint8_t> out;
    ASSERT_TRUE(canonical_order_bytes(o, out));
    EXPECT_EQ(hex(out), Expect{}.u32(1).str("E").u8(0).u64(100000000).u64(200000000).u32(2).u8(1).u8(1).hex());
}

TEST(SdkCompatOrderIdHash, IsShaOverSeqnoCanonicalAccountNonce) {
    EXPECT_EQ(id_hex(id_of(btc_limit(), 0)), expected_id(0, kLimitCanonical, 0x11, kNonce));
    EXPECT_EQ(id_hex(id_of(btc_limit(), 7, 42, filled_key(0x99))), expected_id(7, kLimitCanonical, 0x99, 42));
    EXPECT_EQ(id_hex(id_of(btc_market(), 0x01020304)), expected_id(0x01020304, kMarketCanonical, 0x11, kNonce));
}

TEST(SdkCompatOrderIdHash, BuilderCodeAndClientIdDoNotEnter) {
    Order coded = std::get<Order>(btc_limit().v);
    coded.commission = Commission{filled_key(0x44), 5};
    coded.client_id = filled_hash(0x66);
    EXPECT_EQ(id_hex(id_of(coded)), id_hex(id_of(btc_limit())));
    Order coded_market = std::get<Order>(btc_market(0.01).v);
    coded_market.commission = Commission{filled_key(0x44), 0};  // not validated here
    EXPECT_EQ(id_hex(id_of(coded_market)), id_hex(id_of(btc_market(0.01))));
}

TEST(SdkCompatOrderIdHash, EveryInputChangesTheId) {
    const std::string base = id_hex(id_of(btc_limit()));
    EXPECT_NE(id_hex(id_of(btc_limit(), 1)), base);
    EXPECT_NE(id_hex(id_of(btc_limit(), 0, kNonce + 1)), base);
    EXPECT_NE(id_hex(id_of(btc_limit(), 0, kNonce, filled_key(0x12))), base);
    EXPECT_NE(id_hex(id_of(btc_market())), id_hex(id_of(btc_market(0.0))));
}

TEST(SdkCompatOrderIdHash, ScratchContentDoesNotLeakIn) {
    std::vector<uint8_t> scratch(300, 0xFF);
    const auto id = compute_order_item_id_with_seqno(btc_limit(), 0, kNonce, filled_key(0x11), scratch);
    EXPECT_EQ(id_hex(id), "d8eb3ab207e6091e944986d006bb049028a247b922148ab36c249b4b86c48c8f");
    EXPECT_EQ(hex(scratch), kLimitCanonical);
}

TEST(SdkCompatOrderIdAbsent, OnlyMarketAndLimitOrdersHaveIds) {
    Order resting = market_order("BTC-USD", true, 1.0);
    resting.order_type = TriggerType{false, 1.0};
    Stop stop;
    stop.limit_price = std::nan("");
    TriggerBasket basket;
    basket.actions.push_back(btc_limit());
    OnFill onfill;
    onfill.trigger = Box<OrderItem>(btc_limit());
    std::vector<OrderItem> no_id = {resting,          Modify{filled_hash(1), "X", 1.0},
                                    Cancel{filled_hash(1), "X"}, CancelAll{{"X"}},
                                    stop,             TakeProfit{},
                                    RangeOco{},       basket,
                                    onfill,           TrailingStop{}};
    for (const OrderItem& item : no_id) {
        std::vector<uint8_t> scratch = {9, 9};
        EXPECT_FALSE(compute_order_item_id_with_seqno(item, 0, kNonce, filled_key(0x11), scratch))
            << item.v.index();
        EXPECT_TRUE(scratch.empty());
    }
}

TEST(SdkCompatOrderIdSequence, SkippedItemsKeepPositions) {
    // A batch: cancel, limit, stop, market. Each item's position is its
    // sequence number; items without an id leave a gap.
    Stop stop;
    stop.limit_price = std::nan("");
    const std::vector<OrderItem> batch = {Cancel{filled_hash(1), "BTC-USD"}, btc_limit(), stop, btc_market()};
    std::vector<std::string> ids;
    std::vector<uint8_t> scratch;
    for (uint32_t i = 0; i < batch.size(); ++i) {
        ids.push_back(id_hex(compute_order_item_id_with_seqno(batch[i], i, kNonce, filled_key(0x11), scratch)));
    }
    EXPECT_EQ(ids[0], "<none>");
    EXPECT_EQ(ids[1], expected_id(1, kLimitCanonical, 0x11, kNonce));
    EXPECT_EQ(ids[2], "<none>");
    EXPECT_EQ(ids[3], expected_id(3, kMarketCanonical, 0x11, kNonce));
    // Identical orders at positions 0 and 1 differ.
    EXPECT_NE(id_hex(id_of(btc_limit(), 0)), id_hex(id_of(btc_limit(), 1)));
}

TEST(SdkCompatOrderIdRaw, ShaOfGivenBytes) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    const Hash h = compute_order_id(abc, sizeof abc);
    EXPECT_EQ(hex_encode(h.bytes.data(), h.bytes.size()),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const Hash empty = compute_order_id(nullptr, 0);
    EXPECT_EQ(hex_encode(empty.bytes.data(), empty.bytes.size()),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

}  // namespace
}  // namespace vorn
