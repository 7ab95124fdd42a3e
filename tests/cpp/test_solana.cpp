// Associated token accounts and the unsigned legacy transaction: key groups
// and flags for instructions the builders never make, and the refusals the
// Python surface cannot reach (the deposit and withdrawal-intent
// instructions, their transactions and the owner and blockhash refusals are
// golden cases, tests/golden/solana.json and errors.json).
#include <gtest/gtest.h>

#include <functional>

#include "solana/solana.hpp"
#include "test_util.hpp"
#include "types/base64.hpp"
#include "types/hex.hpp"

using namespace vorn_test;

namespace {

std::string owner_of(uint8_t fill) { return seed_keypair(fill).pubkey().to_base58(); }
std::string key_text(uint8_t fill) { return filled_key(fill).to_base58(); }
const std::string kBlockhash = key_text(0xbb);
const std::string k44 = key_text(0xff);  // the longest text of 32 bytes

}  // namespace

TEST(SolanaAddresses, AssociatedTokenAccountsMatchTheChain) {
    // The last owner's candidates for bumps 255 to 251 all lie on the curve.
    for (const auto& row : vectors("solana.json")["associated_token_accounts"]) {
        const Pubkey owner = *Pubkey::from_base58(row[0].get<std::string>());
        EXPECT_EQ(solana::associated_token_address(owner)->to_base58(), row[1]);
        const Pubkey seeds[3] = {owner, solana::token_program_id(), solana::usdc_mint()};
        uint8_t bump = 0;
        EXPECT_EQ(solana::find_program_address(seeds, solana::associated_token_program_id(), &bump)->to_base58(), row[1]);
        EXPECT_EQ(bump, row[2]);
    }
}

TEST(SolanaTransaction, CompactLength) {
    for (const auto& row : vectors("solana.json")["compact_lengths"]) {
        std::vector<uint8_t> out;
        auto r = solana::append_compact_length(out, row[0]);
        EXPECT_EQ(r ? hex_encode(out.data(), out.size()) : outcome(r), row[1]);
        EXPECT_TRUE(r || out.empty());
    }
}

// Expected bytes from the reference legacy message compiler: signer flags
// merge per key, the payer is forced to a writable signer, each group of keys
// (writable signers, read-only signers, writable, read-only) sorts by bytes.
TEST(SolanaTransaction, KeyGroupsAndFlags) {
    auto keys = [](std::initializer_list<uint8_t> fills) {
        std::string hex;
        for (uint8_t f : fills) hex += hex_encode(filled_key(f).bytes.data(), 32);
        return hex;
    };
    SolanaInstruction merged{key_text(0x02),
                             {{key_text(0x09), true, true}, {key_text(0x03), false, false}, {key_text(0x01), false, true},
                              {key_text(0x07), true, false}, {key_text(0x05), true, true}, {key_text(0x01), true, false},
                              {key_text(0x04), false, false}},
                             {1, 2, 3}};
    SolanaInstruction forced{key_text(0x01),
                             {{key_text(0x20), false, false}, {key_text(0x30), false, true}, {key_text(0x10), false, true},
                              {key_text(0x05), false, false}, {key_text(0x20), false, false}},
                             std::vector<uint8_t>(200, 0xab)};  // data length takes two compact bytes
    const std::tuple<SolanaInstruction, std::string, std::string> cases[] = {
        {merged, kBlockhash,
         "04" + std::string(512, '0') + "040103" + "07" + keys({0x09, 0x01, 0x05, 0x07, 0x02, 0x03, 0x04}) +
             std::string(64, 'b') + "0104070005010302010603010203"},
        {forced, key_text(0xcc),
         "01" + std::string(128, '0') + "010002" + "05" + keys({0x20, 0x10, 0x30, 0x01, 0x05}) + std::string(64, 'c') +
             "0103050002010400c801" + hex_encode(forced.data.data(), 200)},
    };
    for (const auto& [ix, hash, hex] : cases) {
        auto bytes = solana::transaction_bytes(ix, hash);
        ASSERT_TRUE(bytes) << outcome(bytes);
        EXPECT_EQ(hex_encode(bytes->data(), bytes->size()), hex);
        EXPECT_EQ(*solana::export_transaction(ix, hash), base64_encode(bytes->data(), bytes->size()));
    }
}

TEST(SolanaTransaction, Refusals) {
    const SolanaInstruction ix = *solana::instruction(owner_of(0x01), 1, true);
    EXPECT_EQ(ix.accounts[0], (AccountMeta{owner_of(0x01), true, true}));  // the owner pays and signs
    const std::string hash = "invalid Solana instruction: recent blockhash must be a base58 32-byte hash";
    const std::string account = "invalid Solana instruction: invalid account public key";
    const std::string kTooLong = "serialization error: length exceeds the short vector limit of 65535";
    struct Case {
        std::function<void(SolanaInstruction&, std::string&)> edit;
        std::string expect;
    };
    std::vector<Case> cases = {
        {[](auto&, auto& h) { h = k44; }, "OK"},
        {[](auto&, auto& h) { h = b58({1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}); }, "OK"},
        {[](auto&, auto& h) { h = std::string(32, '1'); }, "OK"},
        {[](auto&, auto& h) { h = "1" + k44; }, hash},
        {[](auto& i, auto& h) { i.accounts[2].pubkey = std::string(45, '1'); h = "bad"; }, account},  // keys first
        {[](auto& i, auto&) { i.program_id = "x"; }, account},
        {[](auto& i, auto&) { i.accounts.clear(); }, "serialization error: transaction has no fee payer account"},
        {[](auto& i, auto&) { i.data.assign(65536, 0); }, kTooLong},
        {[](auto& i, auto&) {
             for (unsigned k = 0; k < 300; ++k)
                 i.accounts.push_back({b58({uint8_t(k), uint8_t(k >> 8), 0x99, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                            0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), false, false});
         }, "serialization error: too many account keys for a legacy message"},
    };
    for (size_t i = 0; i < ix.accounts.size(); ++i)
        cases.push_back({[i](auto& x, auto&) { x.accounts[i].pubkey = "1111"; }, account});
    for (size_t n = 0; n < cases.size(); ++n) {
        SolanaInstruction x = ix;
        std::string h = kBlockhash;
        cases[n].edit(x, h);
        EXPECT_EQ(outcome(solana::export_transaction(x, h)), cases[n].expect) << n;
    }
}
