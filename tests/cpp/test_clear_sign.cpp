// The clear-sign text: header, one line per action kind, the refusals of
// kinds without a line, malformed fields and control bytes, the nesting
// limit, and numbers printed as the exchange reads them.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "test_util.hpp"
#include "wallet/clear_sign.hpp"

using namespace vorn_test;
using clear_sign::Json;

namespace {

std::string line_of(const Json& action, uint32_t depth = 0) {
    auto r = clear_sign::action_line(action, depth);
    return r ? *r : r.error().display();
}

const std::string kField = "signing failed: invalid offchain clear-sign field: ";
const std::string kUnsupported = "signing failed: unsupported offchain clear-sign action: ";

Json limit(Json px = 100.0) {
    return {{"l", {{"b", true}, {"c", "BTC-USD"}, {"i", false}, {"px", px}, {"r", false}, {"sz", 0.5}, {"tif", "GTC"}}}};
}
const std::string kLimitLine = "Limit BTC-USD Buy px=100.00000000 sz=0.50000000 tif=GTC ro=false iso=false";

Json with(Json action, const std::string& key, Json value) {
    auto& body = action.begin().value();
    if (value.is_discarded()) body.erase(key);
    else body[key] = std::move(value);
    return action;
}
const Json kErase = Json(Json::value_t::discarded);

Json basket(Json actions, int wrappers = 1) {
    Json inner = std::move(actions);
    for (int k = 0; k < wrappers; ++k) {
        inner = Json{{"trig", {{"actions", inner}, {"c", "BTC-USD"}, {"d", true}, {"tr", 1.0}}}};
        if (k + 1 < wrappers) inner = Json::array({inner});
    }
    return inner;
}

}  // namespace

TEST(ClearSignText, HeaderLinesAndNetworks) {
    // The 91-byte mainnet limit-order message (nonce 1700000000000000000, account 0x11 x 32).
    std::vector<uint8_t> m = unhex("01000000000000000100000007000000000000004254432d5553440100a0724e1809000040787d01"
                                   "0000000000000000000000002a36fe9c9717");
    m.insert(m.end(), 32, 0x11);
    m.push_back(0x01);
    ASSERT_EQ(m.size(), 91u);
    auto text = clear_sign::render_text(m.data(), m.size(), {limit()}, "AccountBase58Text", 1700000000000000000ull);
    EXPECT_EQ(outcome(text), "OK");
    EXPECT_EQ(*text, "Vorn Exchange Transaction\nNetwork: mainnet\nAccount: AccountBase58Text\n"
                     "Nonce: 1700000000000000000\nActions: 1\n"
                     "Signable-Hash: fd320859e06ed6da5b830e2d1015a5db4cdd2c74e7c20f1cdc22ff8d5ac1e443\n[0] " +
                         kLimitLine + "\n");
    m.back() = 3;
    text = clear_sign::render_text(m.data(), m.size(), {limit(), Json{{"rbc", {{"to", "R"}}}}}, "A", 7);
    EXPECT_TRUE(text->starts_with("Vorn Exchange Transaction\nNetwork: devnet\nAccount: A\nNonce: 7\nActions: 2\n"));
    EXPECT_TRUE(text->ends_with("\n[0] " + kLimitLine + "\n[1] RevokeCommissionFee to=R\n"));
    text = clear_sign::render_text(m.data(), m.size(), {limit(), Json{{"px", Json::object()}}}, "A", 7);
    EXPECT_EQ(outcome(text), kUnsupported + "px");  // the first failing action stops the text
    for (uint8_t bad : {0, 4, 255}) {
        m.back() = bad;
        EXPECT_EQ(outcome(clear_sign::render_text(m.data(), m.size(), {limit()}, "A", 1)), kField + "network domain");
    }
    EXPECT_EQ(outcome(clear_sign::render_text(nullptr, 0, {limit()}, "A", 1)), kField + "network domain");
}

TEST(ClearSignLine, EveryKindAndItsRefusals) {
    const Json market = {{"m", {{"b", false}, {"c", "ETH-USD"}, {"i", false}, {"r", true}, {"sz", 2.0}}}};
    const Json transfer = {{"transfer", {{"from", "F"}, {"k", "internal"}, {"marginAmount", 12.5}, {"to", "T"}}}};
    const Json trailing = {{"trl", {{"b", false}, {"c", "BTC-USD"}, {"lim", nullptr}, {"stb", 5}, {"sz", 0.5}, {"trb", 25}}}};
    const std::pair<Json, std::string> table[] = {
        {limit(), kLimitLine},
        {Json{{"l", {{"b", false}, {"c", "ETH-USD"}, {"i", true}, {"px", 2500.25}, {"r", true}, {"sz", 3}, {"tif", "ALO"}}}},
         "Limit ETH-USD Sell px=2500.25000000 sz=3.00000000 tif=ALO ro=true iso=true"},
        {with(limit(), "builderCode", {{"fee", 5}, {"to", "X"}}), kLimitLine},  // not shown
        {with(limit(), "slippage", 0.5), kLimitLine},                           // never on a limit order
        {with(limit(), "i", kErase), kLimitLine},                               // missing "i" reads false
        {with(limit(), "px", "100"), kLimitLine},                               // decimal strings
        {market, "Market ETH-USD Sell sz=2.00000000 ro=true iso=false"},
        {with(market, "slippage", nullptr), "Market ETH-USD Sell sz=2.00000000 ro=true iso=false"},
        {with(market, "slippage", 50), "Market ETH-USD Sell sz=2.00000000 ro=true iso=false slippage=50.00000000bps"},
        {Json{{"cx", {{"c", "BTC-USD"}, {"oid", "Oid"}}}}, "Cancel BTC-USD oid=Oid"},
        {Json{{"mod", {{"c", "BTC-USD"}, {"oid", "Oid"}, {"sz", 1.25}}}}, "Modify BTC-USD oid=Oid sz=1.25000000"},
        {Json{{"cxa", {{"c", Json::array()}}}}, "CancelAll *"},
        {Json{{"cxa", {{"c", {"BTC-USD", "ETH-USD"}}}}}, "CancelAll BTC-USD,ETH-USD"},
        {Json{{"st", {{"c", "BTC-USD"}, {"d", true}, {"lim", nullptr}, {"sz", 0.1}, {"tr", 95000.0}}}},
         "Stop BTC-USD Above thresh=95000.00000000 sz=0.10000000 limit=-"},
        {Json{{"st", {{"c", "X"}, {"d", false}, {"sz", 1}, {"tr", 2}}}}, "Stop X Below thresh=2.00000000 sz=1.00000000 limit=-"},
        {Json{{"tp", {{"c", "BTC-USD"}, {"d", false}, {"lim", 105000.5}, {"sz", 0.1}, {"tr", 105000.0}}}},
         "TakeProfit BTC-USD Below thresh=105000.00000000 sz=0.10000000 limit=105000.50000000"},
        {Json{{"rng", {{"c", "SOL-USD"}, {"d", true}, {"lmax", 111.0}, {"lmin", nullptr}, {"pmax", 110.0}, {"pmin", 90.0}, {"sz", 3.0}}}},
         "Range SOL-USD Buy min=90.00000000 max=110.00000000 sz=3.00000000 lmin=- lmax=111.00000000"},
        {trailing, "Trailing BTC-USD Sell sz=0.50000000 trail=25bps step=5bps limit=-"},
        {with(with(trailing, "trb", 4294967295u), "lim", 99.5),
         "Trailing BTC-USD Sell sz=0.50000000 trail=4294967295bps step=5bps limit=99.50000000"},
        {Json{{"trig", {{"actions", {limit(), Json{{"cx", {{"c", "B"}, {"oid", "O"}}}}}}, {"c", "BTC-USD"}, {"d", false}, {"tr", 9.0}}}},
         "Trigger BTC-USD Below thresh=9.00000000 nested=2"},
        {basket(Json::array()), "Trigger BTC-USD Above thresh=1.00000000 nested=0"},
        {transfer, "Transfer Internal from=F to=T amt=12.50000000"},
        {with(transfer, "k", "external"), "Transfer External from=F to=T amt=12.50000000"},
        {Json{{"faucet", {{"u", "U"}}}}, "Faucet user=U amount=-"},
        {Json{{"faucet", {{"amount", 1000.0}, {"u", "U"}}}}, "Faucet user=U amount=1000.00000000"},
        {Json{{"agentWalletCreation", {{"a", "Agent"}, {"d", true}}}}, "AgentWallet agent=Agent delete=true"},
        {Json{{"whitelistFaucet", {{"target", "T"}, {"whitelist", true}}}}, "WhitelistFaucet target=T whitelist=true"},
        {Json{{"createSubAccount", {{"name", "alpha"}}}}, "CreateSubAccount name=alpha amt=-"},
        {Json{{"createSubAccount", {{"marginAmount", 250.0}, {"name", "alpha"}}}}, "CreateSubAccount name=alpha amt=250.00000000"},
        {Json{{"removeSubAccount", {{"toRemove", "Sub"}}}}, "RemoveSubAccount Sub"},
        {Json{{"renameSubAccount", {{"account", "Sub"}, {"name", "beta"}}}}, "RenameSubAccount account=Sub name=beta"},
        {Json{{"rsa", {{"account", "Sub"}, {"name", "beta"}}}}, "RenameSubAccount account=Sub name=beta"},
        {Json{{"updateUserSettings", {{"m", {{"ETH-USD", 5.0}, {"BTC-USD", 10.0}}}}}}, "UpdateLeverage BTC-USD:10.00000000,ETH-USD:5.00000000"},
        {Json{{"updateUserSettings", {{"m", Json::object()}}}}, "UpdateLeverage "},
        {Json{{"abc", {{"fee", 10}, {"to", "T"}}}}, "ApproveCommissionFee to=T max_fee=10"},
        // Kinds without a line, and malformed actions.
        {Json{{"px", Json::object()}}, kUnsupported + "px"},
        {Json{{"o", Json::object()}}, kUnsupported + "o"},
        {Json{{"msp", Json::object()}}, kUnsupported + "msp"},
        {Json{{"liq", Json::object()}}, kUnsupported + "liq"},
        {Json{{"of", {{"actions", Json::array()}, {"trigger", limit()}}}}, kUnsupported + "of"},
        {Json{{"L", Json::object()}}, kUnsupported + "L"},
        {basket(Json::array({Json{{"of", Json::object()}}})), kUnsupported + "of"},  // a nested refusal refuses all
        {Json::array(), kField + "action tag"},
        {Json::object(), kField + "action tag"},
        {Json{{"cx", Json::object()}, {"l", Json::object()}}, kField + "action tag"},
        {Json{{"l", nullptr}}, kField + "action body"},
        {with(limit(), "tif", "gtc"), kField + "tif"},
        {with(limit(), "tif", "FOK"), kField + "tif"},
        {with(limit(), "px", nullptr), kField + "finite number"},
        {with(limit(), "px", true), kField + "finite number"},
        {with(limit(), "px", kErase), kField + "finite number"},
        {with(market, "slippage", "oops"), kField + "finite number"},
        {with(limit(), "c", 5), kField + "c"},
        {with(limit(), "b", 1), kField + "b"},
        {with(limit(), "r", "false"), kField + "r"},
        {with(limit(), "i", nullptr), kField + "i"},
        {with(transfer, "k", "Internal"), kField + "transfer kind"},
        {with(transfer, "k", 0), kField + "k"},
        {with(transfer, "marginAmount", nullptr), kField + "finite number"},
        {with(trailing, "trb", -1), kField + "trb"},
        {with(trailing, "stb", 1.0), kField + "stb"},
        {Json{{"abc", {{"fee", "10"}, {"to", "T"}}}}, kField + "fee"},
        {Json{{"cxa", {{"c", "BTC-USD"}}}}, kField + "c"},
        {Json{{"cxa", {{"c", {"BTC-USD", 3}}}}}, kField + "c"},
        {Json{{"updateUserSettings", {{"m", Json::array()}}}}, kField + "m"},
        {Json{{"trig", {{"actions", Json::object()}, {"c", "X"}, {"d", true}, {"tr", 1.0}}}}, kField + "actions"},
        {basket(Json::array({Json{{"l", {{"c", "X"}}}}})), kField + "b"},
        // Text is printed unescaped, so a control byte in any text field could forge lines.
        {with(limit(), "c", "BTC-USD\n[1] Limit BTC-USD Sell"), kField + "c"},
        {with(limit(), "c", std::string("BTC\0USD", 7)), kField + "c"},
        {with(limit(), "c", "BTC\x7f"), kField + "c"},
        {with(limit(), "c", "BTC\r"), kField + "c"},
        {with(limit(), "c", "BTC USD~\xe2\x82\xac"), "Limit BTC USD~\xe2\x82\xac Buy px=100.00000000 sz=0.50000000 tif=GTC ro=false iso=false"},
        {Json{{"cxa", {{"c", {"BTC-USD", "\tETH"}}}}}, kField + "c"},
        {Json{{"cx", {{"c", "BTC-USD"}, {"oid", "abc\n"}}}}, kField + "oid"},
        {Json{{"createSubAccount", {{"name", "main\nFaucet user=x"}}}}, kField + "name"},
        {Json{{"rsa", {{"account", "Sub"}, {"name", "b\x1b[2J"}}}}, kField + "name"},
        {with(transfer, "from", "F\n"), kField + "from"},
        {Json{{"faucet", {{"u", "U\x1f"}}}}, kField + "u"},
        {Json{{"updateUserSettings", {{"m", {{"BTC\nUSD", 5.0}}}}}}, kField + "m"},
        {Json{{"trig", {{"actions", Json::array()}, {"c", "X\n"}, {"d", true}, {"tr", 1.0}}}}, kField + "c"},
    };
    for (const auto& [action, expect] : table) EXPECT_EQ(line_of(action), expect) << action.dump();
}

TEST(ClearSignLine, NestingDepthLimit) {
    EXPECT_EQ(line_of(basket(Json::array({limit()}), 32)), "Trigger BTC-USD Above thresh=1.00000000 nested=1");
    EXPECT_EQ(line_of(basket(Json::array({limit()}), 33)), kField + "action nesting");
    EXPECT_EQ(line_of(basket(Json::array({limit()}), 2000)), kField + "action nesting");  // no stack exhaustion
    EXPECT_EQ(line_of(limit(), 32), kLimitLine);
    EXPECT_EQ(line_of(limit(), 33), kField + "action nesting");
}

TEST(ClearSignNumber, PrintedAsTheExchangeStoresThem) {
    // Quantised to 1e-8 units with half units away from zero (a plain
    // 8-decimal rendering would round 2^-9 to even), then 8 decimals.
    const std::pair<Json, const char*> table[] = {
        {0.1 + 0.2, "0.30000000"},    {0.0, "0.00000000"},         {1.5, "1.50000000"},
        {1e-8, "0.00000001"},         {4e-9, "0.00000000"},        {0.001953125, "0.00195313"},
        {0.123456785, "0.12345679"},  {1.000000005, "1.00000001"}, {2.5e-8, "0.00000003"},
        {123.456789125, "123.45678913"}, {"12.5", "12.50000000"}, {"+1.5", "1.50000000"},
        {"1E+2", "100.00000000"},     {"25e-1", "2.50000000"},     {"1.", "1.00000000"},
        {".5", "0.50000000"},         {"007", "7.00000000"},       {"1e-400", "0.00000000"},
    };
    const std::string prefix = "Limit BTC-USD Buy px=", suffix = " sz=0.50000000 tif=GTC ro=false iso=false";
    for (const auto& [px, shown] : table) EXPECT_EQ(line_of(limit(px)), prefix + shown + suffix) << px.dump();
    for (const char* bad : {"", "+", ".", "e5", "1e", "1.5.2", " 1", "1 ", "--1", "0x10", "inf", "NaN", "1e400", "1,5", "1_000"})
        EXPECT_EQ(line_of(limit(bad)), kField + "finite number") << bad;
    EXPECT_EQ(line_of(limit(std::nan(""))), kField + "finite number");

    // Against integer arithmetic on the rounded unit count.
    std::mt19937_64 rng(20240607);
    std::uniform_real_distribution<double> dist(1e-8, 5e6);
    for (int k = 0; k < 5000; ++k) {
        const double v = dist(rng);
        const uint64_t n = static_cast<uint64_t>(std::round(v * 1e8));
        const std::string frac = std::to_string(n % 100000000);
        const std::string expect = std::to_string(n / 100000000) + "." + std::string(8 - frac.size(), '0') + frac;
        ASSERT_EQ(line_of(limit(v)), prefix + expect + suffix) << v;
    }
}
