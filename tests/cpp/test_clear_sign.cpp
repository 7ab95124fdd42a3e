// The clear-sign text: header, one line per action kind, the refusals of
// kinds without a line, malformed fields and control bytes, the nesting
// limit, and numbers printed as the exchange reads them: exactly the
// fixed-point integer the wire carries, or refused.
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

Json basket(Json actions, int wrappers = 1) {
    Json inner = std::move(actions);
    for (int k = 0; k < wrappers; ++k) {
        inner = Json{{"trig", {{"actions", inner}, {"c", "BTC-USD"}, {"d", true}, {"tr", 1.0}}}};
        if (k + 1 < wrappers) inner = Json::array({inner});
    }
    return inner;
}

}  // namespace

// The whole text of every network is a golden case (tests/golden/wallet.json);
// here what the Python surface cannot reach: a domain byte the text refuses,
// and the first failing action stopping the text.
TEST(ClearSignText, RefusalsOfTheWholeText) {
    std::vector<uint8_t> m(91, 0x11);
    m.back() = 3;
    auto text = clear_sign::render_text(m.data(), m.size(), {limit(), Json{{"rbc", {{"to", "R"}}}}}, "A", 7);
    EXPECT_TRUE(text->ends_with("\n[0] " + kLimitLine + "\n[1] RevokeCommissionFee to=R\n")) << outcome(text);
    text = clear_sign::render_text(m.data(), m.size(), {limit(), Json{{"px", Json::object()}}}, "A", 7);
    EXPECT_EQ(outcome(text), kUnsupported + "px");
    for (uint8_t bad : {0, 4, 255}) {
        m.back() = bad;
        EXPECT_EQ(outcome(clear_sign::render_text(m.data(), m.size(), {limit()}, "A", 1)), kField + "network domain");
    }
    EXPECT_EQ(outcome(clear_sign::render_text(nullptr, 0, {limit()}, "A", 1)), kField + "network domain");
}

// One row per line kind, refusal and text-field check: tests/cpp/vectors/clear_sign.json.
TEST(ClearSignLine, EveryKindAndItsRefusals) {
    for (const auto& row : vectors("clear_sign.json")["lines"]) EXPECT_EQ(line_of(row[0]), row[1]) << row[0].dump();
}

TEST(ClearSignLine, NestingDepthLimit) {
    EXPECT_EQ(line_of(basket(Json::array({limit()}), 32)), "Trigger BTC-USD Above thresh=1.00000000 nested=1");
    EXPECT_EQ(line_of(basket(Json::array({limit()}), 33)), kField + "action nesting");
    EXPECT_EQ(line_of(basket(Json::array({limit()}), 200)), kField + "action nesting");  // no stack exhaustion
    EXPECT_EQ(line_of(limit(), 32), kLimitLine);
    EXPECT_EQ(line_of(limit(), 33), kField + "action nesting");
}

TEST(ClearSignNumber, PrintedAsTheExchangeStoresThem) {
    // Quantised to 1e-8 units with half units away from zero (a plain
    // 8-decimal rendering would round 2^-9 to even), then 8 decimals.
    // A null expectation is a refusal.
    const std::string prefix = "Limit BTC-USD Buy px=", suffix = " sz=0.50000000 tif=GTC ro=false iso=false";
    for (const auto& row : vectors("clear_sign.json")["numbers"])
        EXPECT_EQ(line_of(limit(row[0])), row[1].is_null() ? kField + "finite number" : prefix + row[1].get<std::string>() + suffix)
            << row[0].dump();
    EXPECT_EQ(line_of(limit(std::nan(""))), kField + "finite number");
}

TEST(ClearSignNumber, EveryPriceBelowNinetyMillionKeepsItsRendering) {
    // Random 8-decimal prices and arbitrary doubles below 9e7: none is refused
    // as inexact, and each prints exactly as the double-based rendering does.
    std::mt19937_64 rng(7);
    for (int i = 0; i < 200000; ++i) {
        const Json v = i % 2 ? static_cast<double>(rng() % 9000000000000000ULL) / 1e8
                             : std::uniform_real_distribution<double>(0.0, 9e7)(rng);
        auto shown = clear_sign::exact(&v);
        ASSERT_TRUE(shown.has_value()) << v;
        ASSERT_EQ(*shown, clear_sign::format_fixed8(clear_sign::quantise(v.get<double>()))) << v;
    }
}

TEST(ClearSignLine, UnicodeControlsAreRefusedInEveryTextField) {
    // Line and paragraph separators, C1 and bidirectional controls would forge
    // or reorder lines; their neighbours pass.
    const struct { const char* utf8; bool refused; } cases[] = {
        {"\x1F", true}, {"\x7F", true}, {"\u0080", true}, {"\u0085", true}, {"\u009F", true},
        {"\u00A0", false}, {"\u00E9", false}, {"\u200D", false}, {"\u200E", true}, {"\u200F", true},
        {"\u2010", false}, {"\u2027", false}, {"\u2028", true}, {"\u2029", true}, {"\u202A", true},
        {"\u202E", true}, {"\u202F", false}, {"\u2065", false}, {"\u2066", true}, {"\u2069", true},
        {"\u206A", false}, {"\U0001F600", false}};
    for (const auto& c : cases) {
        const std::string s = "BTC" + std::string(c.utf8) + "-USD";
        const struct { Json action; std::string field; } places[] = {
            {Json{{"cx", {{"c", s}, {"oid", "x"}}}}, "c"},
            {Json{{"cx", {{"c", "X"}, {"oid", s}}}}, "oid"},
            {Json{{"cxa", {{"c", {"ETH", s}}}}}, "c"},
            {Json{{"renameSubAccount", {{"account", "a"}, {"name", s}}}}, "name"},
            {Json{{"updateUserSettings", {{"m", {{s, 2.0}}}}}}, "m"}};
        for (const auto& p : places) {
            const std::string got = line_of(p.action);
            if (c.refused) EXPECT_EQ(got, kField + p.field) << p.action;
            else EXPECT_NE(got.find(s), std::string::npos) << got;
        }
    }
}
