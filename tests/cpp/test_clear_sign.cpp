// The clear-sign text: header, one line per action kind, the number readers
// and their exact printing, the field errors and the refusal of control bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "wallet/clear_sign.hpp"

using namespace vorn;
using namespace vorn::clear_sign;

namespace {

// The action line, or the display text of its error.
std::string line_of(const Json& action, uint32_t depth = 0) {
    auto r = action_line(action, depth);
    return r ? *r : "ERR " + r.error().display();
}

std::string field_err(const char* name) {
    return std::string("ERR signing failed: invalid offchain clear-sign field: ") + name;
}

// The 91-byte mainnet limit-order message of the signing-message layout
// (BTC-USD buy 100000 x 0.25 GTC, nonce 1700000000000000000, account 0x11 x 32).
std::vector<uint8_t> worked_limit_message() {
    std::vector<uint8_t> m = {0x01, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0x07, 0, 0, 0, 0, 0, 0, 0,
                              'B', 'T', 'C', '-', 'U', 'S', 'D', 0x01, 0x00, 0xA0, 0x72, 0x4E, 0x18, 0x09, 0, 0,
                              0x40, 0x78, 0x7D, 0x01, 0, 0, 0, 0, 0x00, 0, 0, 0, 0x00, 0x00,
                              0x00, 0x00, 0x2A, 0x36, 0xFE, 0x9C, 0x97, 0x17};
    m.insert(m.end(), 32, 0x11);
    m.push_back(0x01);
    return m;
}

Json limit_btc_buy() {
    return Json{{"l", {{"b", true}, {"c", "BTC-USD"}, {"i", false}, {"px", 100.0}, {"r", false}, {"sz", 0.5},
                       {"tif", "GTC"}}}};
}

// A trigger basket chain: `wrappers` baskets around one limit order.
Json basket_chain(int wrappers) {
    Json inner = limit_btc_buy();
    for (int k = 0; k < wrappers; ++k) {
        inner = Json{{"trig", {{"actions", Json::array({inner})}, {"c", "BTC-USD"}, {"d", true}, {"tr", 1.0}}}};
    }
    return inner;
}

}  // namespace

// ---- header ----

TEST(ClearSignText, HeaderAndOneLimitLine) {
    auto msg = worked_limit_message();
    ASSERT_EQ(msg.size(), 91u);
    std::vector<Json> actions = {limit_btc_buy()};
    auto text = render_text(msg.data(), msg.size(), actions, "AccountBase58Text", 1700000000000000000ull);
    ASSERT_TRUE(text) << text.error().display();
    EXPECT_EQ(*text,
              "Vorn Exchange Transaction\n"
              "Network: mainnet\n"
              "Account: AccountBase58Text\n"
              "Nonce: 1700000000000000000\n"
              "Actions: 1\n"
              "Signable-Hash: fd320859e06ed6da5b830e2d1015a5db4cdd2c74e7c20f1cdc22ff8d5ac1e443\n"
              "[0] Limit BTC-USD Buy px=100.00000000 sz=0.50000000 tif=GTC ro=false iso=false\n");
}

TEST(ClearSignText, ThreeActionsAreNumberedAndCounted) {
    auto msg = worked_limit_message();
    msg.back() = 3;
    std::vector<Json> actions = {limit_btc_buy(), Json{{"cxa", {{"c", Json::array()}}}},
                                 Json{{"rbc", {{"to", "Recipient"}}}}};
    auto text = render_text(msg.data(), msg.size(), actions, "A", 7);
    ASSERT_TRUE(text) << text.error().display();
    EXPECT_NE(text->find("Network: devnet\n"), std::string::npos);
    EXPECT_NE(text->find("\nNonce: 7\nActions: 3\n"), std::string::npos);
    const std::string tail =
        "[0] Limit BTC-USD Buy px=100.00000000 sz=0.50000000 tif=GTC ro=false iso=false\n"
        "[1] CancelAll *\n"
        "[2] RevokeCommissionFee to=Recipient\n";
    ASSERT_GE(text->size(), tail.size());
    EXPECT_EQ(text->substr(text->size() - tail.size()), tail);
}

TEST(ClearSignText, NetworkNamesAndInvalidDomain) {
    auto msg = worked_limit_message();
    std::vector<Json> actions = {limit_btc_buy()};
    msg.back() = 2;
    auto t = render_text(msg.data(), msg.size(), actions, "A", 1);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->substr(0, 43), "Vorn Exchange Transaction\nNetwork: testnet\n");
    for (uint8_t bad : {uint8_t{0}, uint8_t{4}, uint8_t{255}}) {
        msg.back() = bad;
        auto e = render_text(msg.data(), msg.size(), actions, "A", 1);
        ASSERT_FALSE(e);
        EXPECT_EQ(e.error().display(), "signing failed: invalid offchain clear-sign field: network domain");
    }
    auto empty = render_text(nullptr, 0, actions, "A", 1);
    ASSERT_FALSE(empty);
    EXPECT_EQ(empty.error().text, "invalid offchain clear-sign field: network domain");
}

TEST(ClearSignText, FirstFailingActionStopsTheText) {
    auto msg = worked_limit_message();
    std::vector<Json> actions = {limit_btc_buy(), Json{{"px", {{"c", "BTC-USD"}, {"px", 1.0}, {"t", 1}}}}};
    auto e = render_text(msg.data(), msg.size(), actions, "A", 1);
    ASSERT_FALSE(e);
    EXPECT_EQ(e.error().display(), "signing failed: unsupported offchain clear-sign action: px");
}

// ---- one line per tag ----

TEST(ClearSignLine, OrdersAndCancels) {
    EXPECT_EQ(line_of(limit_btc_buy()), "Limit BTC-USD Buy px=100.00000000 sz=0.50000000 tif=GTC ro=false iso=false");
    EXPECT_EQ(line_of(Json{{"l", {{"b", false}, {"c", "ETH-USD"}, {"i", true}, {"px", 2500.25}, {"r", true},
                                  {"sz", 3.0}, {"tif", "ALO"}}}}),
              "Limit ETH-USD Sell px=2500.25000000 sz=3.00000000 tif=ALO ro=true iso=true");
    // A builder code in the JSON is not shown and does not disturb the line.
    EXPECT_EQ(line_of(Json{{"l", {{"b", true}, {"builderCode", {{"fee", 5}, {"to", "X"}}}, {"c", "SOL-USD"},
                                  {"px", 1.0}, {"r", false}, {"sz", 1.0}, {"tif", "IOC"}}}}),
              "Limit SOL-USD Buy px=1.00000000 sz=1.00000000 tif=IOC ro=false iso=false");

    Json market = {{"m", {{"b", false}, {"c", "ETH-USD"}, {"i", false}, {"r", true}, {"sz", 2.0}}}};
    EXPECT_EQ(line_of(market), "Market ETH-USD Sell sz=2.00000000 ro=true iso=false");
    market["m"]["slippage"] = nullptr;
    EXPECT_EQ(line_of(market), "Market ETH-USD Sell sz=2.00000000 ro=true iso=false");
    market["m"]["slippage"] = 50;
    EXPECT_EQ(line_of(market), "Market ETH-USD Sell sz=2.00000000 ro=true iso=false slippage=50.00000000bps");
    market["m"]["slippage"] = "oops";
    EXPECT_EQ(line_of(market), field_err("finite number"));
    // A limit order never shows slippage, even when its JSON carries one.
    Json limit = limit_btc_buy();
    limit["l"]["slippage"] = 0.5;
    EXPECT_EQ(line_of(limit), "Limit BTC-USD Buy px=100.00000000 sz=0.50000000 tif=GTC ro=false iso=false");

    EXPECT_EQ(line_of(Json{{"cx", {{"c", "BTC-USD"}, {"oid", "OrderIdText"}}}}), "Cancel BTC-USD oid=OrderIdText");
    EXPECT_EQ(line_of(Json{{"mod", {{"c", "BTC-USD"}, {"oid", "OrderIdText"}, {"sz", 1.25}}}}),
              "Modify BTC-USD oid=OrderIdText sz=1.25000000");
    EXPECT_EQ(line_of(Json{{"cxa", {{"c", Json::array()}}}}), "CancelAll *");
    EXPECT_EQ(line_of(Json{{"cxa", {{"c", {"BTC-USD", "ETH-USD"}}}}}), "CancelAll BTC-USD,ETH-USD");
}

TEST(ClearSignLine, ConditionalOrders) {
    EXPECT_EQ(line_of(Json{{"st", {{"c", "BTC-USD"}, {"d", true}, {"i", false}, {"lim", nullptr}, {"sz", 0.1},
                                   {"tr", 95000.0}}}}),
              "Stop BTC-USD Above thresh=95000.00000000 sz=0.10000000 limit=-");
    EXPECT_EQ(line_of(Json{{"tp", {{"c", "BTC-USD"}, {"d", false}, {"i", false}, {"lim", 105000.5}, {"sz", 0.1},
                                   {"tr", 105000.0}}}}),
              "TakeProfit BTC-USD Below thresh=105000.00000000 sz=0.10000000 limit=105000.50000000");
    // A missing "lim" reads like null.
    EXPECT_EQ(line_of(Json{{"st", {{"c", "X"}, {"d", false}, {"sz", 1}, {"tr", 2}}}}),
              "Stop X Below thresh=2.00000000 sz=1.00000000 limit=-");
    EXPECT_EQ(line_of(Json{{"rng", {{"c", "SOL-USD"}, {"d", true}, {"i", true}, {"lmax", 111.0}, {"lmin", nullptr},
                                    {"pmax", 110.0}, {"pmin", 90.0}, {"sz", 3.0}}}}),
              "Range SOL-USD Buy min=90.00000000 max=110.00000000 sz=3.00000000 lmin=- lmax=111.00000000");
    EXPECT_EQ(line_of(Json{{"trl", {{"b", false}, {"c", "BTC-USD"}, {"i", false}, {"lim", nullptr}, {"stb", 5},
                                    {"sz", 0.5}, {"trb", 25}}}}),
              "Trailing BTC-USD Sell sz=0.50000000 trail=25bps step=5bps limit=-");
    EXPECT_EQ(line_of(Json{{"trl", {{"b", true}, {"c", "BTC-USD"}, {"lim", 99.5}, {"stb", 0}, {"sz", 1.0},
                                    {"trb", 4294967295u}}}}),
              "Trailing BTC-USD Buy sz=1.00000000 trail=4294967295bps step=0bps limit=99.50000000");
    Json basket = {{"trig",
                    {{"actions", {limit_btc_buy(), Json{{"cx", {{"c", "BTC-USD"}, {"oid", "O"}}}}}},
                     {"c", "BTC-USD"},
                     {"d", false},
                     {"tr", 90000.0}}}};
    EXPECT_EQ(line_of(basket), "Trigger BTC-USD Below thresh=90000.00000000 nested=2");
    basket["trig"]["actions"] = Json::array();
    EXPECT_EQ(line_of(basket), "Trigger BTC-USD Below thresh=90000.00000000 nested=0");
}

TEST(ClearSignLine, AccountActions) {
    EXPECT_EQ(line_of(Json{{"transfer", {{"from", "F"}, {"k", "internal"}, {"marginAmount", 12.5}, {"to", "T"}}}}),
              "Transfer Internal from=F to=T amt=12.50000000");
    EXPECT_EQ(line_of(Json{{"transfer", {{"from", "F"}, {"k", "external"}, {"marginAmount", 1}, {"to", "T"}}}}),
              "Transfer External from=F to=T amt=1.00000000");
    EXPECT_EQ(line_of(Json{{"faucet", {{"u", "U"}}}}), "Faucet user=U amount=-");
    EXPECT_EQ(line_of(Json{{"faucet", {{"amount", 1000.0}, {"u", "U"}}}}), "Faucet user=U amount=1000.00000000");
    EXPECT_EQ(line_of(Json{{"agentWalletCreation", {{"a", "Agent"}, {"d", false}}}}),
              "AgentWallet agent=Agent delete=false");
    EXPECT_EQ(line_of(Json{{"agentWalletCreation", {{"a", "Agent"}, {"d", true}}}}),
              "AgentWallet agent=Agent delete=true");
    EXPECT_EQ(line_of(Json{{"whitelistFaucet", {{"target", "T"}, {"whitelist", true}}}}),
              "WhitelistFaucet target=T whitelist=true");
    EXPECT_EQ(line_of(Json{{"createSubAccount", {{"name", "alpha"}}}}), "CreateSubAccount name=alpha amt=-");
    EXPECT_EQ(line_of(Json{{"createSubAccount", {{"marginAmount", 250.0}, {"name", "alpha"}}}}),
              "CreateSubAccount name=alpha amt=250.00000000");
    EXPECT_EQ(line_of(Json{{"removeSubAccount", {{"toRemove", "Sub"}}}}), "RemoveSubAccount Sub");
    EXPECT_EQ(line_of(Json{{"renameSubAccount", {{"account", "Sub"}, {"name", "beta"}}}}),
              "RenameSubAccount account=Sub name=beta");
    EXPECT_EQ(line_of(Json{{"rsa", {{"account", "Sub"}, {"name", "beta"}}}}), "RenameSubAccount account=Sub name=beta");
    EXPECT_EQ(line_of(Json{{"updateUserSettings", {{"m", {{"ETH-USD", 5.0}, {"BTC-USD", 10.0}}}}}}),
              "UpdateLeverage BTC-USD:10.00000000,ETH-USD:5.00000000");
    EXPECT_EQ(line_of(Json{{"updateUserSettings", {{"m", Json::object()}}}}), "UpdateLeverage ");
    EXPECT_EQ(line_of(Json{{"abc", {{"fee", 10}, {"to", "T"}}}}), "ApproveCommissionFee to=T max_fee=10");
    EXPECT_EQ(line_of(Json{{"rbc", {{"to", "T"}}}}), "RevokeCommissionFee to=T");
}

TEST(ClearSignLine, UnsupportedTags) {
    EXPECT_EQ(line_of(Json{{"px", {{"c", "BTC-USD"}, {"px", 1.0}, {"t", 1}}}}),
              "ERR signing failed: unsupported offchain clear-sign action: px");
    EXPECT_EQ(line_of(Json{{"o", {{"oracles", Json::array()}}}}),
              "ERR signing failed: unsupported offchain clear-sign action: o");
    EXPECT_EQ(line_of(Json{{"msp", {{"a", Json::array()}, {"m", "M"}}}}),
              "ERR signing failed: unsupported offchain clear-sign action: msp");
    EXPECT_EQ(line_of(Json{{"liq", Json::object()}}), "ERR signing failed: unsupported offchain clear-sign action: liq");
    EXPECT_EQ(line_of(Json{{"of", {{"actions", Json::array()}, {"trigger", limit_btc_buy()}}}}),
              "ERR signing failed: unsupported offchain clear-sign action: of");
    EXPECT_EQ(line_of(Json{{"agentWalletCreations", Json::object()}}),
              "ERR signing failed: unsupported offchain clear-sign action: agentWalletCreations");
    EXPECT_EQ(line_of(Json{{"L", Json::object()}}), "ERR signing failed: unsupported offchain clear-sign action: L");
    EXPECT_EQ(line_of(Json{{"", Json::object()}}), "ERR signing failed: unsupported offchain clear-sign action: ");
}

TEST(ClearSignLine, StructuralErrors) {
    EXPECT_EQ(line_of(Json::array()), field_err("action tag"));
    EXPECT_EQ(line_of(Json("l")), field_err("action tag"));
    EXPECT_EQ(line_of(Json::object()), field_err("action tag"));
    EXPECT_EQ(line_of(Json{{"cx", {{"c", "A"}, {"oid", "B"}}}, {"l", Json::object()}}), field_err("action tag"));
    EXPECT_EQ(line_of(Json{{"l", Json::array()}}), field_err("action body"));
    EXPECT_EQ(line_of(Json{{"l", nullptr}}), field_err("action body"));
}

TEST(ClearSignLine, FieldErrors) {
    Json limit = limit_btc_buy();
    for (const char* tif : {"FOK", "gtc", "GTC ", ""}) {
        limit["l"]["tif"] = tif;
        EXPECT_EQ(line_of(limit), field_err("tif")) << tif;
    }
    limit = limit_btc_buy();
    limit["l"]["px"] = nullptr;
    EXPECT_EQ(line_of(limit), field_err("finite number"));
    limit["l"]["px"] = "12.5";
    EXPECT_EQ(line_of(limit), "Limit BTC-USD Buy px=12.50000000 sz=0.50000000 tif=GTC ro=false iso=false");
    limit["l"]["px"] = true;
    EXPECT_EQ(line_of(limit), field_err("finite number"));
    limit["l"].erase("px");
    EXPECT_EQ(line_of(limit), field_err("finite number"));

    limit = limit_btc_buy();
    limit["l"].erase("c");
    EXPECT_EQ(line_of(limit), field_err("c"));
    limit = limit_btc_buy();
    limit["l"]["c"] = 5;
    EXPECT_EQ(line_of(limit), field_err("c"));
    limit = limit_btc_buy();
    limit["l"]["b"] = 1;
    EXPECT_EQ(line_of(limit), field_err("b"));
    limit = limit_btc_buy();
    limit["l"]["r"] = "false";
    EXPECT_EQ(line_of(limit), field_err("r"));
    // "i" may be missing (false) but not of another type.
    limit = limit_btc_buy();
    limit["l"].erase("i");
    EXPECT_EQ(line_of(limit), "Limit BTC-USD Buy px=100.00000000 sz=0.50000000 tif=GTC ro=false iso=false");
    limit["l"]["i"] = nullptr;
    EXPECT_EQ(line_of(limit), field_err("i"));

    EXPECT_EQ(line_of(Json{{"transfer", {{"from", "F"}, {"k", "Internal"}, {"marginAmount", 1.0}, {"to", "T"}}}}),
              field_err("transfer kind"));
    EXPECT_EQ(line_of(Json{{"transfer", {{"from", "F"}, {"k", 0}, {"marginAmount", 1.0}, {"to", "T"}}}}),
              field_err("k"));
    EXPECT_EQ(line_of(Json{{"transfer", {{"from", "F"}, {"k", "internal"}, {"to", "T"}}}}),
              field_err("finite number"));
    EXPECT_EQ(line_of(Json{{"transfer", {{"from", "F"}, {"k", "internal"}, {"marginAmount", nullptr}, {"to", "T"}}}}),
              field_err("finite number"));

    EXPECT_EQ(line_of(Json{{"trl", {{"b", true}, {"c", "X"}, {"stb", 1}, {"sz", 1.0}, {"trb", -1}}}}),
              field_err("trb"));
    EXPECT_EQ(line_of(Json{{"trl", {{"b", true}, {"c", "X"}, {"stb", 1.0}, {"sz", 1.0}, {"trb", 1}}}}),
              field_err("stb"));
    EXPECT_EQ(line_of(Json{{"abc", {{"fee", "10"}, {"to", "T"}}}}), field_err("fee"));
    EXPECT_EQ(line_of(Json{{"abc", {{"to", "T"}}}}), field_err("fee"));
    EXPECT_EQ(line_of(Json{{"st", {{"c", "X"}, {"d", true}, {"lim", "none"}, {"sz", 1}, {"tr", 2}}}}),
              field_err("finite number"));
    EXPECT_EQ(line_of(Json{{"faucet", {{"amount", "lots"}, {"u", "U"}}}}), field_err("finite number"));

    EXPECT_EQ(line_of(Json{{"cxa", Json::object()}}), field_err("c"));
    EXPECT_EQ(line_of(Json{{"cxa", {{"c", "BTC-USD"}}}}), field_err("c"));
    EXPECT_EQ(line_of(Json{{"cxa", {{"c", {"BTC-USD", 3}}}}}), field_err("c"));
    EXPECT_EQ(line_of(Json{{"updateUserSettings", {{"m", Json::array()}}}}), field_err("m"));
    EXPECT_EQ(line_of(Json{{"updateUserSettings", {{"m", {{"BTC-USD", nullptr}}}}}}), field_err("finite number"));

    Json basket = {{"trig", {{"actions", Json::object()}, {"c", "X"}, {"d", true}, {"tr", 1.0}}}};
    EXPECT_EQ(line_of(basket), field_err("actions"));
    // A nested action that cannot be shown refuses the whole basket.
    basket["trig"]["actions"] = Json::array({Json{{"of", Json::object()}}});
    EXPECT_EQ(line_of(basket), "ERR signing failed: unsupported offchain clear-sign action: of");
    basket["trig"]["actions"] = Json::array({Json{{"l", {{"c", "X"}}}}});
    EXPECT_EQ(line_of(basket), field_err("b"));
}

TEST(ClearSignLine, NestingDepthLimit) {
    EXPECT_EQ(line_of(basket_chain(32)), "Trigger BTC-USD Above thresh=1.00000000 nested=1");
    EXPECT_EQ(line_of(basket_chain(33)), field_err("action nesting"));
    EXPECT_EQ(line_of(limit_btc_buy(), 32), "Limit BTC-USD Buy px=100.00000000 sz=0.50000000 tif=GTC ro=false iso=false");
    EXPECT_EQ(line_of(limit_btc_buy(), 33), field_err("action nesting"));
    // A deep chain far past the limit fails the same way instead of exhausting the stack.
    EXPECT_EQ(line_of(basket_chain(200)), field_err("action nesting"));
}

// Text is printed unescaped, so control bytes in any text field are refused.
TEST(ClearSignLine, ControlBytesInTextFieldsAreRefused) {
    Json limit = limit_btc_buy();
    limit["l"]["c"] = "BTC-USD\n[1] Limit BTC-USD Sell";
    EXPECT_EQ(line_of(limit), field_err("c"));
    limit["l"]["c"] = std::string("BTC\x7f", 4);
    EXPECT_EQ(line_of(limit), field_err("c"));
    limit["l"]["c"] = std::string("BTC\x00USD", 7);
    EXPECT_EQ(line_of(limit), field_err("c"));
    limit["l"]["c"] = "BTC\x1f";
    EXPECT_EQ(line_of(limit), field_err("c"));
    limit["l"]["c"] = "BTC\r";
    EXPECT_EQ(line_of(limit), field_err("c"));

    EXPECT_EQ(line_of(Json{{"cxa", {{"c", {"BTC-USD", "ETH\nUSD"}}}}}), field_err("c"));
    EXPECT_EQ(line_of(Json{{"cxa", {{"c", {"\tBTC"}}}}}), field_err("c"));
    EXPECT_EQ(line_of(Json{{"cx", {{"c", "BTC-USD"}, {"oid", "abc\n"}}}}), field_err("oid"));
    EXPECT_EQ(line_of(Json{{"createSubAccount", {{"name", "main\nFaucet user=x"}}}}), field_err("name"));
    EXPECT_EQ(line_of(Json{{"rsa", {{"account", "Sub"}, {"name", "b\x1b[2J"}}}}), field_err("name"));
    EXPECT_EQ(line_of(Json{{"transfer", {{"from", "F\n"}, {"k", "internal"}, {"marginAmount", 1.0}, {"to", "T"}}}}),
              field_err("from"));
    EXPECT_EQ(line_of(Json{{"faucet", {{"u", "U\x7f"}}}}), field_err("u"));
    EXPECT_EQ(line_of(Json{{"updateUserSettings", {{"m", {{"BTC\nUSD", 5.0}}}}}}), field_err("m"));
    Json basket = {{"trig", {{"actions", Json::array()}, {"c", "X\n"}, {"d", true}, {"tr", 1.0}}}};
    EXPECT_EQ(line_of(basket), field_err("c"));

    // Space, tilde and multi-byte UTF-8 are ordinary text.
    limit["l"]["c"] = "BTC USD~\xe2\x82\xac";
    EXPECT_EQ(line_of(limit),
              "Limit BTC USD~\xe2\x82\xac Buy px=100.00000000 sz=0.50000000 tif=GTC ro=false iso=false");
}

// ---- numbers ----

TEST(ClearSignNumber, EightDecimalPrinting) {
    EXPECT_EQ(format_fixed8(quantise(0.1 + 0.2)), "0.30000000");
    EXPECT_EQ(format_fixed8(quantise(100.0)), "100.00000000");
    EXPECT_EQ(format_fixed8(quantise(0.0)), "0.00000000");
    EXPECT_EQ(format_fixed8(quantise(-1.5)), "-1.50000000");
    EXPECT_EQ(format_fixed8(quantise(-0.0)), "-0.00000000");
    EXPECT_EQ(format_fixed8(quantise(12.5)), "12.50000000");
    EXPECT_EQ(format_fixed8(quantise(1e-8)), "0.00000001");
    // Below half a unit the exchange stores 0, so the value prints as is.
    EXPECT_EQ(format_fixed8(quantise(4e-9)), "0.00000000");
    // Beyond 2^64 units the value prints unquantised.
    EXPECT_EQ(format_fixed8(quantise(1e12)), "1000000000000.00000000");
    EXPECT_EQ(format_fixed8(quantise(2e11)), "200000000000.00000000");
}

TEST(ClearSignNumber, QuantisationRoundsHalfUnitsAwayFromZero) {
    // 2^-9 = 0.001953125 exactly: 195312.5 units round to 195313, where a
    // plain 8-decimal rendering would round the tie to even.
    EXPECT_EQ(format_fixed8(quantise(0.001953125)), "0.00195313");
    EXPECT_EQ(format_fixed8(0.001953125), "0.00195312");
    // 0.123456785 x 1e8 is 12345678.5 in floating point: 12345679 units,
    // although the stored binary value lies just below the tie.
    EXPECT_EQ(format_fixed8(quantise(0.123456785)), "0.12345679");
    EXPECT_EQ(format_fixed8(0.123456785), "0.12345678");
    EXPECT_EQ(format_fixed8(quantise(1.000000005)), "1.00000001");
    EXPECT_EQ(format_fixed8(quantise(2.5e-8)), "0.00000003");
    EXPECT_EQ(format_fixed8(quantise(1.5e-8)), "0.00000001");
    EXPECT_EQ(format_fixed8(quantise(123.456789125)), "123.45678913");
}

TEST(ClearSignNumber, QuantisedValueShowsExactlyItsUnitCount) {
    std::mt19937_64 rng(20240607);
    std::uniform_real_distribution<double> dist(1e-8, 5e6);
    for (int k = 0; k < 20000; ++k) {
        double v = dist(rng);
        double s = v * 1e8;
        uint64_t n = static_cast<uint64_t>(std::round(s));
        std::string expect = std::to_string(n / 100000000) + ".";
        std::string frac = std::to_string(n % 100000000);
        expect += std::string(8 - frac.size(), '0') + frac;
        ASSERT_EQ(format_fixed8(quantise(v)), expect) << v;
    }
}

TEST(ClearSignNumber, Readers) {
    Json three = 3;
    Json minus_two = -2;
    Json big = 18446744073709551615ull;
    EXPECT_EQ(*number(&three), 3.0);
    EXPECT_EQ(*number(&minus_two), -2.0);
    EXPECT_EQ(*number(&big), 18446744073709551615.0);
    Json s = "12.5";
    EXPECT_EQ(*safe(&s), 12.5);
    EXPECT_FALSE(number(nullptr));
    Json null = nullptr;
    EXPECT_EQ(number(&null).error().text, "invalid offchain clear-sign field: finite number");
    Json nan = std::nan("");
    EXPECT_EQ(number(&nan).error().text, "invalid offchain clear-sign field: finite number");
    Json inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(safe(&inf));
    auto none = optional(&null, true);
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->has_value());
    auto missing = optional(nullptr, false);
    ASSERT_TRUE(missing);
    EXPECT_FALSE(missing->has_value());
    Json tie = 0.001953125;
    EXPECT_EQ(format_fixed8(**optional(&tie, true)), "0.00195313");
    EXPECT_EQ(format_fixed8(**optional(&tie, false)), "0.00195312");
    EXPECT_FALSE(optional(&inf, true));

    Json body = {{"n", 7}, {"neg", -7}, {"f", 7.0}, {"t", true}, {"s", "str"}};
    EXPECT_EQ(*integer(body, "n"), 7u);
    EXPECT_EQ(integer(body, "neg").error().text, "invalid offchain clear-sign field: neg");
    EXPECT_FALSE(integer(body, "f"));
    EXPECT_FALSE(integer(body, "missing"));
    EXPECT_EQ(*boolean(body, "t"), true);
    EXPECT_EQ(boolean(body, "n").error().text, "invalid offchain clear-sign field: n");
    EXPECT_EQ(*text(body, "s"), "str");
    EXPECT_EQ(text(body, "t").error().text, "invalid offchain clear-sign field: t");
    EXPECT_EQ(text(Json::array(), "s").error().text, "invalid offchain clear-sign field: s");
}

TEST(ClearSignNumber, DecimalStrings) {
    EXPECT_EQ(parse_decimal("12.5"), 12.5);
    EXPECT_EQ(parse_decimal("+1.5"), 1.5);
    EXPECT_EQ(parse_decimal("-1.5"), -1.5);
    EXPECT_EQ(parse_decimal("1e2"), 100.0);
    EXPECT_EQ(parse_decimal("1E+2"), 100.0);
    EXPECT_EQ(parse_decimal("25e-1"), 2.5);
    EXPECT_EQ(parse_decimal("1."), 1.0);
    EXPECT_EQ(parse_decimal(".5"), 0.5);
    EXPECT_EQ(parse_decimal("007"), 7.0);
    EXPECT_EQ(parse_decimal("1e-400"), 0.0);
    auto neg_tiny = parse_decimal("-1e-400");
    ASSERT_TRUE(neg_tiny);
    EXPECT_TRUE(std::signbit(*neg_tiny));
    for (const char* bad : {"", "+", "-", ".", "e5", "1e", "1e+", "1.5.2", " 1", "1 ", "+-1", "--1", "0x10", "inf",
                            "-inf", "NaN", "infinity", "1e400", "1,5", "1_000", "١"}) {
        EXPECT_FALSE(parse_decimal(bad).has_value()) << bad;
    }
    Json tiny = "-1e-400";
    EXPECT_EQ(format_fixed8(*safe(&tiny)), "-0.00000000");
    Json huge = "1e400";
    EXPECT_EQ(safe(&huge).error().text, "invalid offchain clear-sign field: finite number");
}
