// Clear-sign text over any action JSON and any signing bytes. The input is
// the JSON text, a NUL, then a flag byte, a nonce and the message body; the
// flag byte may close the body with a signing suffix for the test account.
// Produced text must be valid UTF-8, agree line by line with the action
// lines, and fit the off-chain envelope exactly when offchain mode accepts it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "wallet/clear_sign.hpp"
#include "fuzz_check.hpp"
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
    FUZZ_CHECK((m[83] | (m[84] << 8)) == text.size());
    FUZZ_CHECK(std::string(m.begin() + 85, m.end()) == text);
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
        if (!line) { lines_ok = false; break; }
        FUZZ_CHECK(line->find('\n') == std::string::npos);
        lines.push_back(std::move(*line));
    }
    const bool domain_ok = !message.empty() && message.back() >= 1 && message.back() <= 3;
    auto text = vorn::clear_sign::render_text(message.data(), message.size(), actions, account_text, nonce);
    FUZZ_CHECK(text.has_value() == (domain_ok && lines_ok));
    if (text) {
        FUZZ_CHECK(fuzz::valid_utf8(*text));
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
