// Clear-sign text over any action JSON and any signing bytes. The input is
// the JSON text, a NUL, then a flag byte, a nonce and the message body; the
// flag byte may close the body with a signing suffix for the test account.
// Produced text must be valid UTF-8, agree line by line with the action
// lines, and fit the off-chain envelope exactly when offchain mode accepts it.
// Each line is also read independently: every fixed-point field shows the
// integer the wire rule gives for its value, no line holds a forbidden
// character, and only values the wire clamps or that lie above 9e7 are
// refused as inexact.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "wallet/clear_sign.hpp"
#include "fuzz_check.hpp"
#include "fuzz_exact.hpp"
#include "fuzz_prepared.hpp"
#include "wallet/wallet.hpp"

namespace {

using nlohmann::json;

void check_envelope(const vorn::WalletMessage& w, const std::string& text, uint8_t domain, const vorn::Pubkey& signer) {
    FUZZ_CHECK(w.text && *w.text == text);
    FUZZ_CHECK(text.size() <= vorn::kMaxOffchainText);
    const auto& m = w.message;
    FUZZ_CHECK(m.size() == vorn::kOffchainHeaderLen + text.size());
    FUZZ_CHECK(m[0] == 0xFF && std::string(m.begin() + 1, m.begin() + 16) == "solana offchain");
    FUZZ_CHECK(m[16] == 0 && m[17] == domain);
    for (size_t i = 18; i < 49; ++i) FUZZ_CHECK(m[i] == 0);
    FUZZ_CHECK(m[49] == 1);  // the text always holds line feeds
    FUZZ_CHECK(m[50] == 1 && std::equal(signer.bytes.begin(), signer.bytes.end(), m.begin() + 51));
    FUZZ_CHECK(static_cast<size_t>(m[83] | (m[84] << 8)) == text.size());
    FUZZ_CHECK(std::string(m.begin() + 85, m.end()) == text);
}

// The double a JSON number or decimal string stands for (strtod, not the
// clear-sign parser); nullopt for null, missing and anything else.
std::optional<double> value_of(const json& body, const char* key) {
    auto it = body.find(key);
    if (it == body.end()) return std::nullopt;
    if (it->is_number_float()) return it->get<double>();
    if (it->is_number_unsigned()) return static_cast<double>(it->get<uint64_t>());
    if (it->is_number_integer()) return static_cast<double>(it->get<int64_t>());
    if (it->is_string()) return std::strtod(it->get_ref<const std::string&>().c_str(), nullptr);
    return std::nullopt;
}

// The fixed-point fields of a tag: key, label, token position among the
// line's last `count` tokens, and whether null or missing prints "-".
struct FieldAt {
    const char* key;
    const char* label;
    size_t at;
    bool optional = false;
};
struct Layout {
    std::vector<FieldAt> fields;
    size_t count = 0;
};

Layout layout_of(const std::string& tag, const json& body) {
    if (tag == "l") return {{{"px", "px=", 1}, {"sz", "sz=", 2}}, 6};
    if (tag == "m") {
        auto s = body.find("slippage");
        if (s != body.end() && !s->is_null()) return {{{"sz", "sz=", 1}, {"slippage", "slippage=", 4}}, 5};
        return {{{"sz", "sz=", 1}}, 4};
    }
    // A modify's size travels as a raw f64, not as a fixed-point integer.
    if (tag == "mod") return {};
    if (tag == "st" || tag == "tp") return {{{"tr", "thresh=", 1}, {"sz", "sz=", 2}, {"lim", "limit=", 3, true}}, 4};
    if (tag == "rng")
        return {{{"pmin", "min=", 1}, {"pmax", "max=", 2}, {"sz", "sz=", 3}, {"lmin", "lmin=", 4, true},
                 {"lmax", "lmax=", 5, true}},
                6};
    if (tag == "trl") return {{{"sz", "sz=", 1}, {"lim", "limit=", 4, true}}, 5};
    if (tag == "trig") return {{{"tr", "thresh=", 1}}, 3};
    return {};
}

// Every printed fixed-point number against the integer reference.
void check_line_numbers(const json& action, const std::string& line) {
    const std::string& tag = action.begin().key();
    const json& body = action.begin().value();
    const Layout layout = layout_of(tag, body);
    std::vector<std::pair<size_t, fuzz::Shown>> shown;
    for (const FieldAt& f : layout.fields) {
        const auto v = value_of(body, f.key);
        FUZZ_CHECK(v.has_value() || f.optional);
        fuzz::Shown s{f.label, v ? std::optional<uint64_t>(fuzz::ref_fixed_point(*v)) : std::nullopt};
        if (std::string_view(f.key) == "slippage") s.suffix = "bps";
        shown.emplace_back(f.at, s);
    }
    if (layout.count != 0) fuzz::check_shown(line, shown, layout.count);
}

// Whether the action, or an action nested in it, has a fixed-point value the
// text may refuse as inexact.
bool any_inexact(const json& action, int depth) {
    if (depth > 40 || !action.is_object() || action.size() != 1 || !action.begin().value().is_object()) return false;
    const std::string& tag = action.begin().key();
    const json& body = action.begin().value();
    for (const FieldAt& f : layout_of(tag, body).fields) {
        const auto v = value_of(body, f.key);
        if (v && fuzz::may_be_inexact(*v)) return true;
    }
    auto nested = body.find("actions");
    if (tag == "trig" && nested != body.end() && nested->is_array())
        for (const json& child : *nested)
            if (any_inexact(child, depth + 1)) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader in{data, size};
    const std::string_view json_text = in.until_nul();
    json parsed = json::parse(json_text.begin(), json_text.end(), nullptr, false);
    if (parsed.is_discarded()) return 0;
    std::vector<json> actions;
    if (parsed.is_array()) actions.assign(parsed.begin(), parsed.end());
    else actions.push_back(std::move(parsed));

    const uint8_t flags = in.u8();
    const uint64_t nonce = in.u64();
    const vorn::Pubkey account = fuzz::test_key(0x42).pubkey();
    const std::string body(in.rest());
    std::vector<uint8_t> message(body.begin(), body.end());
    if (flags & 1) fuzz::append_suffix(message, nonce, account, (flags & 2) ? flags >> 2 : 1 + (flags >> 2) % 3);
    const std::string account_text = account.to_base58();

    // The text must be what the header and the action lines make of it.
    std::vector<std::string> lines;
    bool lines_ok = true;
    for (const json& a : actions) {
        auto line = vorn::clear_sign::action_line(a, 0);
        if (!line) {
            if (line.error().text == "invalid offchain clear-sign field: exact number") FUZZ_CHECK(any_inexact(a, 0));
            lines_ok = false;
            break;
        }
        FUZZ_CHECK(!fuzz::forbidden_in(*line, false));
        check_line_numbers(a, *line);
        lines.push_back(std::move(*line));
    }
    const bool domain_ok = !message.empty() && message.back() >= 1 && message.back() <= 3;
    auto text = vorn::clear_sign::render_text(message.data(), message.size(), actions, account_text, nonce);
    FUZZ_CHECK(text.has_value() == (domain_ok && lines_ok));
    if (text) {
        FUZZ_CHECK(fuzz::valid_utf8(*text));
        FUZZ_CHECK(!fuzz::forbidden_in(*text, true));
        FUZZ_CHECK(text->starts_with("Vorn Exchange Transaction\nNetwork: "));
        std::string tail;
        for (size_t i = 0; i < lines.size(); ++i) tail += "[" + std::to_string(i) + "] " + lines[i] + "\n";
        FUZZ_CHECK(text->ends_with(tail));
        size_t feeds = 0;
        for (char c : *text) feeds += c == '\n';
        FUZZ_CHECK(feeds == 6 + lines.size());
    }

    // The same through a preparation, its domain check and offchain mode.
    vorn::PreparedMessage prepared;
    prepared.message_bytes = message;
    prepared.actions = actions;
    prepared.account = account_text;
    prepared.signer = account_text;
    prepared.nonce = nonce;
    auto domain = vorn::prepared_domain(prepared);
    FUZZ_CHECK(domain.has_value() == (!actions.empty() && fuzz::suffix_matches(prepared)));
    auto wallet = vorn::prepare_wallet_message(prepared, vorn::SignatureMode::Offchain);
    if (domain && text) FUZZ_CHECK(wallet.has_value() == (text->size() <= vorn::kMaxOffchainText));
    if (!domain || !text) FUZZ_CHECK(!wallet);
    if (wallet) {
        check_envelope(*wallet, *text, *domain, account);
        auto again = vorn::validate_wallet_message(*wallet);
        FUZZ_CHECK(again && again->message == wallet->message && again->text == wallet->text);
    }
    return 0;
}
