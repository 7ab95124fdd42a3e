// Clear-sign lines show exactly the fixed-point integers the wire carries (or
// refuse), and refuse Unicode controls that forge lines or reorder text.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "wallet/clear_sign.hpp"

using namespace vorn::clear_sign;

namespace {

const std::string kErr = "ERR invalid offchain clear-sign field: ";

std::string line_of(const Json& action) {
    auto r = action_line(action, 0);
    return r ? *r : "ERR " + r.error().text;
}

Json limit(const Json& px, const Json& sz) {
    return Json{{"l", {{"b", true}, {"c", "BTC-USD"}, {"px", px}, {"r", false}, {"sz", sz}, {"tif", "GTC"}}}};
}

// One action per fixed-point field, with v in that field and 1 elsewhere.
Json with_field(const std::string& field, const Json& v) {
    if (field == "px") return limit(v, 1.0);
    if (field == "slippage")
        return Json{{"m", {{"b", true}, {"c", "X"}, {"r", false}, {"sz", 1.0}, {"slippage", v}}}};
    if (field == "tr" || field == "lim")
        return Json{{"st", {{"c", "X"}, {"d", true}, {"lim", field == "lim" ? v : Json(1.0)},
                            {"sz", 1.0}, {"tr", field == "tr" ? v : Json(1.0)}}}};
    Json rng = {{"c", "X"}, {"d", true}, {"lmax", 1.0}, {"lmin", 1.0}, {"pmax", 1.0}, {"pmin", 1.0}, {"sz", 1.0}};
    rng[field] = v;
    return Json{{"rng", rng}};
}

std::string utf8(char32_t cp) {
    const auto cont = [cp](int shift) { return static_cast<char>(0x80 | ((cp >> shift) & 0x3F)); };
    if (cp < 0x80) return std::string(1, static_cast<char>(cp));
    if (cp < 0x800) return {static_cast<char>(0xC0 | (cp >> 6)), cont(0)};
    if (cp < 0x10000) return {static_cast<char>(0xE0 | (cp >> 12)), cont(6), cont(0)};
    return {static_cast<char>(0xF0 | (cp >> 18)), cont(12), cont(6), cont(0)};
}

}  // namespace

TEST(ClearSignExact, LimitLinesShowTheWireIntegerOrRefuse) {
    const struct { Json px; Json sz; std::string line; } cases[] = {
        // Ordinary values: the text stays what it was.
        {100.0, 0.5, "Limit BTC-USD Buy px=100.00000000 sz=0.50000000 tif=GTC ro=false iso=false"},
        {0.0, 0.1 + 0.2, "Limit BTC-USD Buy px=0.00000000 sz=0.30000000 tif=GTC ro=false iso=false"},
        {"12.5", 1e-8, "Limit BTC-USD Buy px=12.50000000 sz=0.00000001 tif=GTC ro=false iso=false"},
        {0.001953125, 4e-9, "Limit BTC-USD Buy px=0.00195313 sz=0.00000000 tif=GTC ro=false iso=false"},
        {123.456789125, 1.000000005, "Limit BTC-USD Buy px=123.45678913 sz=1.00000001 tif=GTC ro=false iso=false"},
        {89999999.99999999, 65000.25,
         "Limit BTC-USD Buy px=89999999.99999999 sz=65000.25000000 tif=GTC ro=false iso=false"},
        {1e11, 1.0, "Limit BTC-USD Buy px=100000000000.00000000 sz=1.00000000 tif=GTC ro=false iso=false"},
        // The wire carries 9648227229081472; no double prints ...472.
        {96482272.290814713, 1.0, kErr + "exact number"},
        // Clamped by the wire: negative to 0, 2^64 units and above to u64 max.
        {-5.0, 1.0, kErr + "exact number"}, {-0.0, 1.0, kErr + "exact number"},
        {1.0, -1e-9, kErr + "exact number"}, {3e11, 1.0, kErr + "exact number"},
        {"1e300", 1.0, kErr + "exact number"},
        // Non-numbers keep their own error.
        {nullptr, 1.0, kErr + "finite number"}, {"inf", 1.0, kErr + "finite number"}};
    for (const auto& c : cases) EXPECT_EQ(line_of(limit(c.px, c.sz)), c.line) << c.px << " " << c.sz;
}

TEST(ClearSignExact, EveryFixedPointFieldRefusesWhatTheWireCannotShow) {
    for (const char* field : {"px", "slippage", "tr", "lim", "pmin", "pmax", "sz", "lmin", "lmax"}) {
        for (const Json& bad : {Json(96482272.290814713), Json(-5.0), Json(3e11)})
            EXPECT_EQ(line_of(with_field(field, bad)), kErr + "exact number") << field << " " << bad;
        EXPECT_EQ(line_of(with_field(field, 2.5)).find("ERR"), std::string::npos) << field;
    }
    // A modify's size is a raw f64 on the wire: shown as before, not refused.
    EXPECT_EQ(line_of(Json{{"mod", {{"c", "X"}, {"oid", "o"}, {"sz", 3e11}}}}),
              "Modify X oid=o sz=300000000000.00000000");
    EXPECT_EQ(line_of(Json{{"trl", {{"b", true}, {"c", "X"}, {"lim", -1.0}, {"stb", 1}, {"sz", 1.0}, {"trb", 1}}}}),
              kErr + "exact number");
    // Optional limits stay "-" when null or missing.
    EXPECT_EQ(line_of(with_field("lim", nullptr)), "Stop X Above thresh=1.00000000 sz=1.00000000 limit=-");
}

TEST(ClearSignExact, EveryPriceBelowNinetyMillionKeepsItsRendering) {
    // Random 8-decimal prices and arbitrary doubles below 9e7: none is refused,
    // and each prints exactly as the double-based rendering did.
    std::mt19937_64 rng(7);
    for (int i = 0; i < 200000; ++i) {
        const double v = i % 2 ? static_cast<double>(rng() % 9000000000000000ULL) / 1e8
                               : std::uniform_real_distribution<double>(0.0, 9e7)(rng);
        const Json j = v;
        auto shown = exact(&j);
        ASSERT_TRUE(shown.has_value()) << std::hexfloat << v;
        ASSERT_EQ(*shown, format_fixed8(quantise(v))) << std::hexfloat << v;
    }
}

TEST(ClearSignExact, UnicodeControlsAreRefusedInTextFields) {
    EXPECT_EQ(line_of(Json::parse(R"({"cx": {"c": "BTC\u2028Network: mainnet", "oid": "x"}})")), kErr + "c");
    const struct { char32_t cp; bool refused; } cases[] = {
        {0x1F, true}, {0x7F, true}, {0x80, true}, {0x85, true}, {0x9F, true}, {0xA0, false}, {0xE9, false},
        {0x200D, false}, {0x200E, true}, {0x200F, true}, {0x2010, false}, {0x2027, false}, {0x2028, true},
        {0x2029, true}, {0x202A, true}, {0x202E, true}, {0x202F, false}, {0x2065, false}, {0x2066, true},
        {0x2069, true}, {0x206A, false}, {0x1F600, false}};
    for (const auto& c : cases) {
        const std::string s = "BTC" + utf8(c.cp) + "-USD";
        const struct { Json action; std::string error; } places[] = {
            {Json{{"cx", {{"c", s}, {"oid", "x"}}}}, kErr + "c"},
            {Json{{"cx", {{"c", "X"}, {"oid", s}}}}, kErr + "oid"},
            {Json{{"cxa", {{"c", {"ETH", s}}}}}, kErr + "c"},
            {Json{{"renameSubAccount", {{"account", "a"}, {"name", s}}}}, kErr + "name"},
            {Json{{"updateUserSettings", {{"m", {{s, 2.0}}}}}}, kErr + "m"},
        };
        for (const auto& p : places) {
            const std::string got = line_of(p.action);
            if (c.refused) EXPECT_EQ(got, p.error) << std::hex << uint32_t(c.cp) << " " << p.action;
            else EXPECT_NE(got.find(s), std::string::npos) << std::hex << uint32_t(c.cp) << " " << got;
        }
    }
}
