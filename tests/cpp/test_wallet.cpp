// Wallet signing modes: the suffix check, raw and base58 modes, the off-chain
// envelope byte by byte, its length limit, and validation of returned messages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "types/base58.hpp"
#include "types/keypair.hpp"
#include "wallet/wallet.hpp"

using namespace vorn;

namespace {

constexpr uint64_t kNonce = 1700000000000000000ull;

Keypair key_from_seed(uint8_t fill) {
    std::vector<uint8_t> seed(32, fill);
    return *Keypair::from_bytes(seed.data(), seed.size());
}

Pubkey other_pubkey() { return key_from_seed(0x77).pubkey(); }

nlohmann::json limit_btc_buy() {
    return nlohmann::json{{"l",
                           {{"b", true},
                            {"c", "BTC-USD"},
                            {"i", false},
                            {"px", 100.0},
                            {"r", false},
                            {"sz", 0.5},
                            {"tif", "GTC"}}}};
}

// A preparation laid out by hand: some action bytes, then nonce, account and
// network byte, as every signing message ends.
PreparedMessage make_prepared(const Pubkey& account, const Pubkey& signer, uint8_t domain,
                              std::vector<nlohmann::json> actions) {
    PreparedMessage p;
    p.message_bytes = {0x01, 0, 0, 0, 0, 0, 0, 0, 0x11, 0, 0, 0, 0xAA, 0xBB};
    for (int i = 0; i < 8; ++i) p.message_bytes.push_back(static_cast<uint8_t>(kNonce >> (8 * i)));
    p.message_bytes.insert(p.message_bytes.end(), account.bytes.begin(), account.bytes.end());
    p.message_bytes.push_back(domain);
    p.actions = std::move(actions);
    p.account = account.to_base58();
    p.signer = signer.to_base58();
    p.nonce = kNonce;
    return p;
}

struct Fixture {
    Keypair key = key_from_seed(0x42);
    PreparedMessage prepared(uint8_t domain = 1) const {
        return make_prepared(key.pubkey(), key.pubkey(), domain, {limit_btc_buy()});
    }
};

std::string err(const Result<WalletMessage>& r) { return r ? "OK" : r.error().display(); }
std::string err_domain(const Result<uint8_t>& r) { return r ? "OK" : r.error().display(); }

}  // namespace

TEST(WalletMode, Names) {
    EXPECT_STREQ(signature_mode_name(SignatureMode::Raw), "raw");
    EXPECT_STREQ(signature_mode_name(SignatureMode::Base58), "base58");
    EXPECT_STREQ(signature_mode_name(SignatureMode::Offchain), "offchain");
    EXPECT_EQ(static_cast<int>(SignatureMode::Raw), 0);
    EXPECT_EQ(static_cast<int>(SignatureMode::Base58), 1);
    EXPECT_EQ(static_cast<int>(SignatureMode::Offchain), 2);
    EXPECT_EQ(*signature_mode_from_str("raw"), SignatureMode::Raw);
    EXPECT_EQ(*signature_mode_from_str("base58"), SignatureMode::Base58);
    EXPECT_EQ(*signature_mode_from_str("offchain"), SignatureMode::Offchain);
    for (const char* bad : {"RAW", "Raw", "", " raw", "base64", "off-chain", "offchain "}) {
        auto r = signature_mode_from_str(bad);
        ASSERT_FALSE(r) << bad;
        EXPECT_EQ(r.error().display(), "signing failed: signature mode must be raw, base58 or offchain");
    }
}

TEST(WalletDomain, SuffixChecksInOrder) {
    Fixture f;
    EXPECT_EQ(*prepared_domain(f.prepared(1)), 1);
    EXPECT_EQ(*prepared_domain(f.prepared(3)), 3);

    // No actions comes first, even when the bytes are broken too.
    PreparedMessage p = f.prepared();
    p.actions.clear();
    p.message_bytes.resize(3);
    EXPECT_EQ(err_domain(prepared_domain(p)), "orders array cannot be empty");

    p = f.prepared();
    p.message_bytes.erase(p.message_bytes.begin(), p.message_bytes.end() - 40);
    EXPECT_EQ(err_domain(prepared_domain(p)), "signing failed: prepared message is missing its signing suffix");
    p = f.prepared();
    p.message_bytes.erase(p.message_bytes.begin(), p.message_bytes.end() - 41);
    EXPECT_EQ(err_domain(prepared_domain(p)), "OK");

    // The nonce is compared before the account text is even decoded.
    p = f.prepared();
    p.nonce += 1;
    p.account = "not-base58-0";
    EXPECT_EQ(err_domain(prepared_domain(p)), "signing failed: prepared account or nonce differs from raw signing bytes");

    p = f.prepared();
    p.account = "bad0";
    EXPECT_EQ(err_domain(prepared_domain(p)),
              "invalid base58: provided string contained invalid character '0' at byte 3");
    p = f.prepared();
    p.account = other_pubkey().to_base58();
    EXPECT_EQ(err_domain(prepared_domain(p)), "signing failed: prepared account or nonce differs from raw signing bytes");

    p = f.prepared();
    p.signer = "2";
    EXPECT_EQ(err_domain(prepared_domain(p)), "invalid key length: expected 32, got 1");
    // Another valid signer is not compared with anything here.
    p = f.prepared();
    p.signer = other_pubkey().to_base58();
    EXPECT_EQ(err_domain(prepared_domain(p)), "OK");

    for (uint8_t bad : {uint8_t{0}, uint8_t{4}, uint8_t{0xFF}}) {
        p = f.prepared(bad);
        EXPECT_EQ(err_domain(prepared_domain(p)), "signing failed: prepared message has an invalid network domain");
    }
}

TEST(WalletMessageModes, RawAndBase58) {
    Fixture f;
    auto raw = prepare_wallet_message(f.prepared(), SignatureMode::Raw);
    ASSERT_TRUE(raw) << raw.error().display();
    EXPECT_EQ(raw->message, f.prepared().message_bytes);
    EXPECT_FALSE(raw->text.has_value());
    EXPECT_EQ(raw->mode, SignatureMode::Raw);
    EXPECT_EQ(raw->prepared.message_bytes, f.prepared().message_bytes);
    EXPECT_EQ(raw->prepared.nonce, kNonce);

    auto b58 = prepare_wallet_message(f.prepared(), SignatureMode::Base58);
    ASSERT_TRUE(b58);
    EXPECT_FALSE(b58->text.has_value());
    for (uint8_t c : b58->message) EXPECT_TRUE(c < 0x80 && std::isalnum(c)) << int(c);
    auto back = base58_decode(std::string(b58->message.begin(), b58->message.end()));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, f.prepared().message_bytes);
}

TEST(WalletMessageModes, OffchainEnvelopeLayout) {
    Fixture f;
    const Pubkey signer = other_pubkey();
    PreparedMessage p = make_prepared(f.key.pubkey(), signer, 1, {limit_btc_buy()});
    auto text = clear_sign_message(p);
    ASSERT_TRUE(text);
    auto w = prepare_wallet_message(p, SignatureMode::Offchain);
    ASSERT_TRUE(w) << w.error().display();
    ASSERT_TRUE(w->text.has_value());
    EXPECT_EQ(*w->text, *text);
    const std::string& t = *w->text;
    // The text itself: header naming the account and nonce, then the line.
    EXPECT_EQ(t.rfind("Vorn Exchange Transaction\nNetwork: mainnet\nAccount: " + p.account + "\nNonce: " +
                          "1700000000000000000\nActions: 1\nSignable-Hash: ",
                      0),
              0u);
    const std::string last = "[0] Limit BTC-USD Buy px=100.00000000 sz=0.50000000 tif=GTC ro=false iso=false\n";
    EXPECT_EQ(t.substr(t.size() - last.size()), last);

    const std::vector<uint8_t>& m = w->message;
    ASSERT_EQ(m.size(), 85 + t.size());
    EXPECT_EQ(m[0], 0xFF);
    EXPECT_EQ(std::string(m.begin() + 1, m.begin() + 16), "solana offchain");
    EXPECT_EQ(m[16], 0);  // header version
    EXPECT_EQ(m[17], 1);  // application domain: network byte
    for (size_t i = 18; i <= 48; ++i) EXPECT_EQ(m[i], 0) << i;
    EXPECT_EQ(m[49], 1);  // format: the text has line feeds
    EXPECT_EQ(m[50], 1);  // one signer
    EXPECT_TRUE(std::equal(signer.bytes.begin(), signer.bytes.end(), m.begin() + 51));
    EXPECT_EQ(m[83], static_cast<uint8_t>(t.size() & 0xFF));
    EXPECT_EQ(m[84], static_cast<uint8_t>(t.size() >> 8));
    EXPECT_EQ(std::string(m.begin() + 85, m.end()), t);
}

TEST(WalletMessageModes, DevnetApplicationDomain) {
    Fixture f;
    auto w = prepare_wallet_message(f.prepared(3), SignatureMode::Offchain);
    ASSERT_TRUE(w);
    std::vector<uint8_t> app(w->message.begin() + 17, w->message.begin() + 49);
    std::vector<uint8_t> expect(32, 0);
    expect[0] = 3;
    EXPECT_EQ(app, expect);
    EXPECT_NE(w->text->find("Network: devnet\n"), std::string::npos);
}

TEST(WalletEnvelope, FormatByteAndLengthLimit) {
    const Pubkey signer = other_pubkey();
    auto plain = offchain_envelope(2, signer, "hello world ~!");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->size(), 85u + 14u);
    EXPECT_EQ((*plain)[49], 0);
    EXPECT_EQ((*plain)[17], 2);
    EXPECT_EQ((*plain)[83], 14);
    EXPECT_EQ((*plain)[84], 0);
    for (std::string odd : {std::string("line\n"), std::string("del\x7f"), std::string("caf\xc3\xa9"),
                            std::string("tab\t")}) {
        auto e = offchain_envelope(1, signer, odd);
        ASSERT_TRUE(e);
        EXPECT_EQ((*e)[49], 1) << odd;
    }

    std::string max(65535, 'a');
    auto at_limit = offchain_envelope(1, signer, max);
    ASSERT_TRUE(at_limit);
    EXPECT_EQ(at_limit->size(), 85u + 65535u);
    EXPECT_EQ((*at_limit)[83], 0xFF);
    EXPECT_EQ((*at_limit)[84], 0xFF);
    EXPECT_EQ((*at_limit)[49], 0);
    max.push_back('a');
    auto over = offchain_envelope(1, signer, max);
    ASSERT_FALSE(over);
    EXPECT_EQ(over.error().display(), "signing failed: offchain message exceeds 65535 bytes");
}

TEST(WalletEnvelope, ClearSignTextOfExactly65535Bytes) {
    Fixture f;
    // A cancel-all whose symbol pads the text to the limit exactly.
    auto with_symbol = [&](size_t len) {
        return make_prepared(f.key.pubkey(), f.key.pubkey(), 1,
                             {nlohmann::json{{"cxa", {{"c", {std::string(len, 'S')}}}}}});
    };
    auto base_text = clear_sign_message(with_symbol(1));
    ASSERT_TRUE(base_text);
    const size_t pad = 65535 - base_text->size() + 1;
    auto w = prepare_wallet_message(with_symbol(pad), SignatureMode::Offchain);
    ASSERT_TRUE(w) << w.error().display();
    EXPECT_EQ(w->text->size(), 65535u);
    EXPECT_EQ(w->message.size(), 85u + 65535u);
    EXPECT_EQ(w->message[83], 0xFF);
    EXPECT_EQ(w->message[84], 0xFF);

    EXPECT_EQ(err(prepare_wallet_message(with_symbol(pad + 1), SignatureMode::Offchain)),
              "signing failed: offchain message exceeds 65535 bytes");
    // Raw mode has no such limit.
    EXPECT_EQ(err(prepare_wallet_message(with_symbol(pad + 1), SignatureMode::Raw)), "OK");
}

TEST(WalletMessageModes, OffchainRefusalsLeaveRawAndBase58Alone) {
    Fixture f;
    PreparedMessage oracle = make_prepared(f.key.pubkey(), f.key.pubkey(), 1,
                                           {nlohmann::json{{"px", {{"c", "BTC-USD"}, {"px", 1.0}, {"t", 1}}}}});
    EXPECT_EQ(err(prepare_wallet_message(oracle, SignatureMode::Offchain)),
              "signing failed: unsupported offchain clear-sign action: px");
    EXPECT_EQ(err(prepare_wallet_message(oracle, SignatureMode::Raw)), "OK");

    nlohmann::json forged = limit_btc_buy();
    forged["l"]["c"] = "BTC-USD\n[1] Cancel BTC-USD oid=x";
    PreparedMessage spoof = make_prepared(f.key.pubkey(), f.key.pubkey(), 1, {forged});
    EXPECT_EQ(err(prepare_wallet_message(spoof, SignatureMode::Offchain)),
              "signing failed: invalid offchain clear-sign field: c");
    EXPECT_EQ(err(prepare_wallet_message(spoof, SignatureMode::Raw)), "OK");
    EXPECT_EQ(err(prepare_wallet_message(spoof, SignatureMode::Base58)), "OK");
}

TEST(WalletMessageModes, ForeignAccountFailsInEveryMode) {
    Fixture f;
    for (SignatureMode mode : {SignatureMode::Raw, SignatureMode::Base58, SignatureMode::Offchain}) {
        PreparedMessage p = f.prepared();
        p.account = other_pubkey().to_base58();
        EXPECT_EQ(err(prepare_wallet_message(p, mode)),
                  "signing failed: prepared account or nonce differs from raw signing bytes");
        p = f.prepared();
        p.actions.clear();
        EXPECT_EQ(err(prepare_wallet_message(p, mode)), "orders array cannot be empty");
    }
}

TEST(WalletValidate, AcceptsExactRebuildOnly) {
    Fixture f;
    const std::string differs = "signing failed: wallet message differs from selected encoding of the raw preparation";
    for (SignatureMode mode : {SignatureMode::Raw, SignatureMode::Base58, SignatureMode::Offchain}) {
        auto w = prepare_wallet_message(f.prepared(), mode);
        ASSERT_TRUE(w);
        auto ok = validate_wallet_message(*w);
        ASSERT_TRUE(ok) << ok.error().display();
        EXPECT_EQ(ok->message, w->message);
        EXPECT_EQ(ok->text, w->text);
        EXPECT_EQ(ok->mode, mode);
        // Validation can be repeated.
        EXPECT_TRUE(validate_wallet_message(*ok));

        WalletMessage changed = *w;
        changed.message[changed.message.size() / 2] ^= 0x01;
        EXPECT_EQ(err(validate_wallet_message(changed)), differs);
        changed = *w;
        changed.message.push_back(0);
        EXPECT_EQ(err(validate_wallet_message(changed)), differs);
        changed = *w;
        changed.message.pop_back();
        EXPECT_EQ(err(validate_wallet_message(changed)), differs);

        changed = *w;
        if (changed.text) {
            changed.text.reset();
            EXPECT_EQ(err(validate_wallet_message(changed)), differs);
            changed = *w;
            changed.text->back() = ' ';
            EXPECT_EQ(err(validate_wallet_message(changed)), differs);
        } else {
            changed.text = std::string();
            EXPECT_EQ(err(validate_wallet_message(changed)), differs);
        }

        for (SignatureMode other : {SignatureMode::Raw, SignatureMode::Base58, SignatureMode::Offchain}) {
            if (other == mode) continue;
            changed = *w;
            changed.mode = other;
            EXPECT_EQ(err(validate_wallet_message(changed)), differs);
        }

        // A preparation edited after wrapping fails its own checks first.
        changed = *w;
        changed.prepared.nonce ^= 1;
        EXPECT_EQ(err(validate_wallet_message(changed)),
                  "signing failed: prepared account or nonce differs from raw signing bytes");
    }
}
