// USDC deposit and withdrawal-intent instructions, associated token accounts,
// and the unsigned legacy transaction that carries them.
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
const char* kUsdc = "EPjFWdd5AufqSSqeM2qN1xzybapC8G4wEGGkZwyTDt1v";
const char* kToken = "TokenkegQfeZyiNwAJbNbGKPFXCWuBvf9Ss623VQ5DA";
const std::string k44 = key_text(0xff);  // the longest text of 32 bytes

}  // namespace

TEST(SolanaAddresses, FixedAndDeploymentAddresses) {
    EXPECT_EQ(solana::token_program_id().to_base58(), kToken);
    EXPECT_EQ(solana::usdc_mint().to_base58(), kUsdc);
    EXPECT_EQ(solana::associated_token_program_id().to_base58(), "ATokenGPvbdGVxr1b2hvZbsiqW5xWH25efTNsLJA8knL");
    const Pubkey* deployment[] = {&solana::exchange_program_id(), &solana::exchange_account_a(),
                                  &solana::exchange_account_b()};
    for (const Pubkey* k : deployment) {
        EXPECT_EQ(solana::parse_address(k->to_base58()), *k);
        for (const Pubkey* other : deployment) EXPECT_EQ(k == other, *k == *other);
    }
    const std::pair<std::string, bool> texts[] = {
        {std::string(32, '1'), true}, {k44, true}, {"", false}, {std::string(31, '1'), false},
        {std::string(33, '1'), false}, {"1" + k44, false}, {std::string(100000, 'z'), false},
        {"0" + std::string(31, '1'), false}, {std::string(44, 'z'), false},
    };
    for (const auto& [text, ok] : texts) EXPECT_EQ(solana::parse_address(text).has_value(), ok) << text.size();
}

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

TEST(SolanaInstruction, AccountsDataAndRefusals) {
    const std::string a = solana::exchange_account_a().to_base58(), b = solana::exchange_account_b().to_base58();
    const std::string o1 = owner_of(0x01), o2 = owner_of(0x02);
    const std::vector<AccountMeta> deposit = {{o1, true, true}, {"3wvJdyFnGvaMWpbq93NU91SggiVRveULUXL6iX5VZDGP", false, true},
                                              {a, false, false}, {kUsdc, false, false}, {b, false, true}, {kToken, false, false}};
    const std::vector<AccountMeta> withdraw = {{o2, true, true}, {"ASZ2TDDNJG2n42TxAezqNNzwWipykHrENDKMCoLKgzup", false, false},
                                               {a, false, false}, {kUsdc, false, false}, {b, false, false}};
    EXPECT_EQ(solana::instruction(o1, 1, true)->accounts, deposit);
    EXPECT_EQ(solana::instruction(o2, 1, false)->accounts, withdraw);
    for (const auto& row : vectors("solana.json")["instruction_data"]) {
        auto ix = solana::instruction(row[0].get<std::string>(), row[1], row[2]);
        ASSERT_TRUE(ix) << outcome(ix);
        EXPECT_EQ(ix->program_id, solana::exchange_program_id().to_base58());
        EXPECT_EQ(ix->accounts[0].pubkey, row[0]);  // written back as given
        EXPECT_EQ(hex_encode(ix->data.data(), ix->data.size()), row[3]);
    }
    for (const auto& row : vectors("solana.json")["instruction_refusals"])
        for (bool deposit : {true, false})
            EXPECT_EQ(outcome(solana::instruction(row[0].get<std::string>(), row[1], deposit)), row[2]) << row[0];
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
    for (std::string h : {std::string(""), std::string("0OIl"), std::string(31, '1'), std::string(33, '1'),
                          std::string(44, 'z'), std::string(1000, 'z')})
        cases.push_back({[h](auto&, auto& hh) { hh = h; }, hash});
    for (size_t i = 0; i < ix.accounts.size(); ++i)
        cases.push_back({[i](auto& x, auto&) { x.accounts[i].pubkey = "1111"; }, account});
    for (size_t n = 0; n < cases.size(); ++n) {
        SolanaInstruction x = ix;
        std::string h = kBlockhash;
        cases[n].edit(x, h);
        EXPECT_EQ(outcome(solana::export_transaction(x, h)), cases[n].expect) << n;
    }
}
