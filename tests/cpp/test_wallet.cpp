// Wallet signing modes: the suffix checks, raw and base58 bytes, the
// off-chain envelope byte by byte with its length limit, and validation of a
// wallet message handed back.
#include <gtest/gtest.h>

#include <functional>

#include "test_util.hpp"
#include "wallet/wallet.hpp"

using namespace vorn_test;

namespace {

constexpr uint64_t kNonce = 1700000000000000000ull;
const char* kMissingSuffix = "signing failed: prepared message is missing its signing suffix";
const char* kBadDomain = "signing failed: prepared message has an invalid network domain";
const char* kDiffers = "signing failed: prepared account or nonce differs from raw signing bytes";

PreparedMessage prepared(Action action, SignatureDomain domain = SignatureDomain::Mainnet, uint8_t signer = 0x42) {
    auto p = prepare_action(action, domain, seed_keypair(0x42).pubkey(), seed_keypair(signer).pubkey(), kNonce);
    EXPECT_TRUE(p) << p.error().display();
    return *p;
}

PreparedMessage limit_prepared(SignatureDomain domain = SignatureDomain::Mainnet, uint8_t signer = 0x42) {
    return prepared(Action{Orders{{limit_order("BTC-USD", true, 100, 0.5)}}}, domain, signer);
}

}  // namespace

TEST(WalletMode, ExactNamesOnly) {
    for (auto mode : {SignatureMode::Raw, SignatureMode::Base58, SignatureMode::Offchain})
        EXPECT_EQ(*signature_mode_from_str(signature_mode_name(mode)), mode);
    EXPECT_STREQ(signature_mode_name(SignatureMode::Offchain), "offchain");
    for (const char* bad : {"RAW", "", " raw", "base64", "off-chain", "offchain "})
        EXPECT_EQ(outcome(signature_mode_from_str(bad)),
                  "signing failed: signature mode must be raw, base58 or offchain") << bad;
}

TEST(WalletDomain, SuffixChecksInOrder) {
    const PreparedMessage good = limit_prepared(SignatureDomain::Devnet);
    EXPECT_EQ(*prepared_domain(good), 3);
    struct Case {
        const char* name;
        std::function<void(PreparedMessage&)> edit;
        const char* expect;
    };
    const Case cases[] = {
        {"no actions first", [](auto& p) { p.actions.clear(); p.message_bytes.resize(3); }, "orders array cannot be empty"},
        {"40 bytes", [](auto& p) { p.message_bytes.erase(p.message_bytes.begin(), p.message_bytes.end() - 40); }, kMissingSuffix},
        {"41 bytes", [](auto& p) { p.message_bytes.erase(p.message_bytes.begin(), p.message_bytes.end() - 41); }, "OK"},
        {"nonce before account text", [](auto& p) { p.nonce += 1; p.account = "bad-0"; }, kDiffers},
        {"account text", [](auto& p) { p.account = "bad0"; },
         "invalid base58: provided string contained invalid character '0' at byte 3"},
        {"other account", [](auto& p) { p.account = seed_keypair(0x77).pubkey().to_base58(); }, kDiffers},
        {"signer text", [](auto& p) { p.signer = "2"; }, "invalid key length: expected 32, got 1"},
        {"other signer", [](auto& p) { p.signer = seed_keypair(0x77).pubkey().to_base58(); }, "OK"},
        {"domain 0", [](auto& p) { p.message_bytes.back() = 0; }, kBadDomain},
        {"domain 4", [](auto& p) { p.message_bytes.back() = 4; }, kBadDomain},
        {"domain 255", [](auto& p) { p.message_bytes.back() = 255; }, kBadDomain},
    };
    for (const Case& c : cases) {
        PreparedMessage p = good;
        c.edit(p);
        EXPECT_EQ(outcome(prepared_domain(p)), c.expect) << c.name;
        for (auto mode : {SignatureMode::Raw, SignatureMode::Base58, SignatureMode::Offchain})  // the same in every mode
            EXPECT_EQ(outcome(prepare_wallet_message(p, mode)), c.expect) << c.name << " " << signature_mode_name(mode);
    }
}

TEST(WalletMessage, EveryModeGivesItsExactBytes) {
    const Pubkey signer = seed_keypair(0x77).pubkey();
    for (auto domain : {SignatureDomain::Mainnet, SignatureDomain::Testnet, SignatureDomain::Devnet}) {
        const PreparedMessage p = limit_prepared(domain, 0x77);
        const std::string b58_text = b58(p.message_bytes);
        auto text = clear_sign_message(p);
        ASSERT_TRUE(text) << outcome(text);
        EXPECT_TRUE(text->starts_with(std::string("Vorn Exchange Transaction\nNetwork: ") + signature_domain_name(domain) +
                                      "\nAccount: " + p.account + "\nNonce: 1700000000000000000\nActions: 1\n"));
        EXPECT_TRUE(text->ends_with("\n[0] Limit BTC-USD Buy px=100.00000000 sz=0.50000000 tif=GTC ro=false iso=false\n"));
        // Signing domain, version 0, application domain (network byte, 31 zeros),
        // format 1 (the text has line feeds), one signer, its key, u16 length, text.
        std::vector<uint8_t> envelope = {0xFF, 's', 'o', 'l', 'a', 'n', 'a', ' ', 'o', 'f', 'f', 'c', 'h', 'a', 'i', 'n', 0};
        envelope.push_back(signature_domain_byte(domain));
        envelope.insert(envelope.end(), 31, 0);
        envelope.insert(envelope.end(), {1, 1});
        envelope.insert(envelope.end(), signer.bytes.begin(), signer.bytes.end());
        envelope.insert(envelope.end(), {static_cast<uint8_t>(text->size()), static_cast<uint8_t>(text->size() >> 8)});
        envelope.insert(envelope.end(), text->begin(), text->end());
        const std::tuple<SignatureMode, std::vector<uint8_t>, std::optional<std::string>> modes[] = {
            {SignatureMode::Raw, p.message_bytes, std::nullopt},
            {SignatureMode::Base58, std::vector<uint8_t>(b58_text.begin(), b58_text.end()), std::nullopt},
            {SignatureMode::Offchain, envelope, *text},
        };
        for (const auto& [mode, bytes, shown] : modes) {
            auto w = prepare_wallet_message(p, mode);
            ASSERT_TRUE(w) << outcome(w);
            EXPECT_EQ(std::tie(w->message, w->text, w->mode), std::tie(bytes, shown, mode)) << signature_mode_name(mode);
            EXPECT_EQ(w->prepared.message_bytes, p.message_bytes);
        }
    }
}

TEST(WalletEnvelope, FormatByteAndLengthLimit) {
    const Pubkey signer = seed_keypair(0x77).pubkey();
    const std::pair<std::string, int> formats[] = {{"hello world ~!", 0}, {std::string(65535, 'a'), 0},
                                                   {"line\n", 1}, {"del\x7f", 1}, {"caf\xc3\xa9", 1}, {"tab\t", 1}};
    for (const auto& [text, format] : formats) {
        auto e = offchain_envelope(2, signer, text);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->size(), 85 + text.size());
        EXPECT_EQ((*e)[49], format) << text.substr(0, 10);
        EXPECT_EQ((*e)[83] | (*e)[84] << 8, static_cast<int>(text.size()));
    }
    EXPECT_EQ(outcome(offchain_envelope(1, signer, std::string(65536, 'a'))),
              "signing failed: offchain message exceeds 65535 bytes");

    // A cancel-all whose symbol pads the clear-sign text to the limit exactly.
    const auto padded = [](size_t len) { return prepared(Action{Orders{{CancelAll{{std::string(len, 'S')}}}}}); };
    const size_t pad = 65535 - clear_sign_message(padded(1))->size() + 1;
    auto w = prepare_wallet_message(padded(pad), SignatureMode::Offchain);
    ASSERT_TRUE(w) << outcome(w);
    EXPECT_EQ(w->text->size(), 65535u);
    EXPECT_EQ(outcome(prepare_wallet_message(padded(pad + 1), SignatureMode::Offchain)),
              "signing failed: offchain message exceeds 65535 bytes");
    EXPECT_EQ(outcome(prepare_wallet_message(padded(pad + 1), SignatureMode::Raw)), "OK");  // no limit there
}

TEST(WalletMessage, OffchainRefusalsLeaveRawAndBase58Alone) {
    const std::pair<Action, std::string> table[] = {
        {Action{OraclePrices{{{"BTC-USD", 1, 1.0}}}}, "signing failed: unsupported offchain clear-sign action: px"},
        {Action{Orders{{limit_order("BTC-USD\n[1] Cancel BTC-USD oid=x", true, 1, 1)}}},
         "signing failed: invalid offchain clear-sign field: c"},
    };
    for (const auto& [action, error] : table) {
        const PreparedMessage p = prepared(action);
        EXPECT_EQ(outcome(prepare_wallet_message(p, SignatureMode::Offchain)), error);
        EXPECT_EQ(outcome(prepare_wallet_message(p, SignatureMode::Raw)), "OK");
        EXPECT_EQ(outcome(prepare_wallet_message(p, SignatureMode::Base58)), "OK");
    }
}

TEST(WalletValidate, AcceptsTheExactRebuildOnly) {
    const std::string differs = "signing failed: wallet message differs from selected encoding of the raw preparation";
    for (auto mode : {SignatureMode::Raw, SignatureMode::Base58, SignatureMode::Offchain}) {
        auto w = *prepare_wallet_message(limit_prepared(), mode);
        auto ok = validate_wallet_message(w);
        ASSERT_TRUE(ok) << outcome(ok);
        EXPECT_EQ(std::tie(ok->message, ok->text, ok->mode), std::tie(w.message, w.text, w.mode));
        EXPECT_TRUE(validate_wallet_message(*ok));  // repeatable
        std::vector<std::function<void(WalletMessage&)>> edits = {
            [](auto& c) { c.message[c.message.size() / 2] ^= 1; },
            [](auto& c) { c.message.push_back(0); },
            [](auto& c) { c.message.pop_back(); },
            [](auto& c) { c.text = c.text ? std::nullopt : std::optional<std::string>(""); },
            [](auto& c) { c.mode = c.mode == SignatureMode::Raw ? SignatureMode::Base58 : SignatureMode::Raw; },
        };
        if (w.text) edits.push_back([](auto& c) { c.text->back() = ' '; });
        for (size_t i = 0; i < edits.size(); ++i) {
            WalletMessage changed = w;
            edits[i](changed);
            EXPECT_EQ(outcome(validate_wallet_message(changed)), differs) << signature_mode_name(mode) << i;
        }
        w.prepared.nonce ^= 1;  // an edited preparation fails its own checks first
        EXPECT_EQ(outcome(validate_wallet_message(w)), kDiffers);
    }
}
