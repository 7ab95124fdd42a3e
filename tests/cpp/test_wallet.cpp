// Wallet signing modes: the suffix checks in their order and the off-chain
// envelope's format byte and length limit (the exact bytes of every mode, the
// off-chain refusals and the validation of a wallet message handed back are
// golden cases, tests/golden/wallet.json and errors.json).
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

// The rows the golden refusals do not have: the order of the checks, the
// exact suffix length, another signer, the highest domain byte.
TEST(WalletDomain, SuffixChecksInOrder) {
    const PreparedMessage good = limit_prepared(SignatureDomain::Devnet);
    EXPECT_EQ(*prepared_domain(good), 3);
    struct Case {
        const char* name;
        std::function<void(PreparedMessage&)> edit;
        const char* expect;
    };
    const Case cases[] = {
        {"40 bytes", [](auto& p) { p.message_bytes.erase(p.message_bytes.begin(), p.message_bytes.end() - 40); }, kMissingSuffix},
        {"41 bytes", [](auto& p) { p.message_bytes.erase(p.message_bytes.begin(), p.message_bytes.end() - 41); }, "OK"},
        {"nonce before account text", [](auto& p) { p.nonce += 1; p.account = "bad-0"; }, kDiffers},
        {"account text", [](auto& p) { p.account = "bad0"; },
         "invalid base58: provided string contained invalid character '0' at byte 3"},
        {"other signer", [](auto& p) { p.signer = seed_keypair(0x77).pubkey().to_base58(); }, "OK"},
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
