// Wallet messages over any mode name, any prepared record and any handed-back
// bytes and text. Mode names parse only when exact; validation accepts only
// what the mode rebuilds from the preparation, byte for byte; the envelope
// holds any text up to 65535 bytes and refuses longer ones.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "types/base58.hpp"
#include "fuzz_check.hpp"
#include "fuzz_prepared.hpp"
#include "wallet/wallet.hpp"

namespace {

void check_mode_name(std::string_view name) {
    auto mode = vorn::signature_mode_from_str(name);
    const bool known = name == "raw" || name == "base58" || name == "offchain";
    FUZZ_CHECK(mode.has_value() == known);
    if (mode) FUZZ_CHECK(name == vorn::signature_mode_name(*mode));
    else FUZZ_CHECK(mode.error().text == "signature mode must be raw, base58 or offchain");
}

void check_envelope(fuzz::Reader& in) {
    const uint8_t domain = in.u8();
    const size_t repeat = in.u8();
    const std::string_view piece = in.bytes(in.u8());
    std::string text;
    for (size_t i = 0; i <= repeat * repeat && text.size() <= 70000; ++i) text += piece;
    auto env = vorn::offchain_envelope(domain, fuzz::test_key(0x42).pubkey(), text);
    FUZZ_CHECK(env.has_value() == (text.size() <= vorn::kMaxOffchainText));
    if (!env) return;
    const auto& m = *env;
    FUZZ_CHECK(m.size() == vorn::kOffchainHeaderLen + text.size() && m[17] == domain);
    bool printable = true;
    for (char c : text) printable = printable && static_cast<uint8_t>(c) >= 0x20 && static_cast<uint8_t>(c) <= 0x7E;
    FUZZ_CHECK(m[49] == (printable ? 0 : 1));
    FUZZ_CHECK(static_cast<size_t>(m[83] | (m[84] << 8)) == text.size());
    FUZZ_CHECK(std::string(m.begin() + 85, m.end()) == text);
}

// A preparation: genuine for the test key, or laid out from the input.
std::optional<vorn::PreparedMessage> make_prepared(fuzz::Reader& in, uint8_t flags) {
    if (flags & 1) {
        auto p = fuzz::genuine_prepared(in);
        if (!p) return std::nullopt;
        return std::move(*p);
    }
    vorn::PreparedMessage p;
    static const char* kActions[] = {
        R"({"l":{"b":true,"c":"BTC-USD","px":100.0,"r":false,"sz":0.5,"tif":"GTC"}})",
        R"({"cx":{"c":"BTC-USD","oid":"x"}})",
        R"({"px":{"c":"BTC-USD"}})",
    };
    const uint8_t pick = in.u8();
    if (pick % 4 != 3) p.actions.push_back(vorn::json::parse(kActions[pick % 4]));
    const vorn::Pubkey& account = fuzz::test_key(0x42).pubkey();
    p.account = (flags & 2) ? std::string(in.until_nul()) : account.to_base58();
    p.signer = (flags & 4) ? std::string(in.until_nul()) : fuzz::test_key(0x77).pubkey().to_base58();
    p.nonce = in.u64();
    const std::string_view body = in.bytes(in.u8());
    p.message_bytes.assign(body.begin(), body.end());
    if (flags & 8) fuzz::append_suffix(p.message_bytes, p.nonce, account, pick >> 4);
    return p;
}

void check_rebuilt(const vorn::WalletMessage& w) {
    const auto& raw = w.prepared.message_bytes;
    switch (w.mode) {
    case vorn::SignatureMode::Raw: FUZZ_CHECK(w.message == raw && !w.text); break;
    case vorn::SignatureMode::Base58: {
        auto back = vorn::base58_decode(std::string_view(reinterpret_cast<const char*>(w.message.data()), w.message.size()));
        FUZZ_CHECK(back && *back == raw && !w.text);
        break;
    }
    case vorn::SignatureMode::Offchain:
        FUZZ_CHECK(w.text && w.message.size() == vorn::kOffchainHeaderLen + w.text->size());
        FUZZ_CHECK(w.message[17] == raw.back());
        break;
    default: FUZZ_CHECK(false);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader in{data, size};
    const std::string_view name = in.until_nul();
    check_mode_name(name);
    const uint8_t flags = in.u8();
    if (flags & 0x80) {
        check_envelope(in);
        return 0;
    }
    auto prepared = make_prepared(in, flags);
    if (!prepared) return 0;
    auto named = vorn::signature_mode_from_str(name);
    const auto mode = named ? *named : static_cast<vorn::SignatureMode>(in.u8() % 5);

    auto genuine = vorn::prepare_wallet_message(*prepared, mode);
    if (genuine) {
        FUZZ_CHECK(vorn::prepared_domain(*prepared).has_value() && fuzz::suffix_matches(*prepared));
        FUZZ_CHECK(genuine->mode == mode);
        check_rebuilt(*genuine);
    }

    // The handed-back message: the genuine one, possibly altered, or any bytes.
    vorn::WalletMessage given;
    given.prepared = *prepared;
    given.mode = mode;
    bool altered = true;
    const uint8_t how = in.u8();
    if (genuine && (how & 1)) {
        given.message = genuine->message;
        given.text = genuine->text;
        altered = false;
        switch ((how >> 1) % 5) {
        case 1: {
            const uint8_t x = in.u8();
            if (!given.message.empty() && x != 0) {
                given.message[in.u8() % given.message.size()] ^= x;
                altered = true;
            }
            break;
        }
        case 2: given.text = given.text ? std::nullopt : std::optional<std::string>("x"); altered = true; break;
        case 3: given.message.push_back(in.u8()); altered = true; break;
        case 4: if (given.text) { given.text->push_back('\n'); altered = true; } break;
        default: break;
        }
    } else {
        const std::string_view m = in.until_nul();
        given.message.assign(m.begin(), m.end());
        if (how & 2) given.text = std::string(in.rest());
    }

    auto checked = vorn::validate_wallet_message(given);
    if (!genuine) FUZZ_CHECK(!checked);
    if (genuine && !altered) FUZZ_CHECK(checked.has_value());
    if (genuine && altered && !(how & 1))
        FUZZ_CHECK(checked.has_value() == (given.message == genuine->message && given.text == genuine->text));
    if (genuine && altered && (how & 1)) FUZZ_CHECK(!checked);
    if (checked) {
        FUZZ_CHECK(checked->message == given.message && checked->text == given.text && checked->mode == mode);
        check_rebuilt(*checked);
    }
    return 0;
}
