// The off-chain envelope's format byte and length limit (the exact bytes of
// every mode, the suffix checks in their order, the off-chain refusals and the
// validation of a wallet message handed back are golden cases,
// tests/golden/wallet.json and errors.json).
#include <gtest/gtest.h>

#include "test_util.hpp"
#include "wallet/wallet.hpp"

using namespace vorn_test;

namespace {

PreparedMessage prepared(Action action) {
    const Pubkey key = seed_keypair(0x42).pubkey();
    auto p = prepare_action(action, SignatureDomain::Mainnet, key, key, 1700000000000000000ull);
    EXPECT_TRUE(p) << p.error().display();
    return *p;
}

}  // namespace

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
