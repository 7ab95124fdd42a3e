// Deposit and withdrawal-intent instructions and their unsigned transactions.
#include <gtest/gtest.h>
#include <sodium.h>

#include <algorithm>
#include <string>
#include <vector>

#include "types/base58.hpp"
#include "types/base64.hpp"
#include "solana/curve25519.hpp"
#include "types/hex.hpp"
#include "solana/solana.hpp"

using namespace vorn;

namespace {

// The wallet address of the Ed25519 key with a 32-byte seed of one byte value.
std::string wallet_of_seed_byte(uint8_t b) {
    uint8_t seed[32];
    std::fill(seed, seed + 32, b);
    uint8_t pk[32], sk[64];
    crypto_sign_seed_keypair(pk, sk, seed);
    return base58_encode(pk, 32);
}

Pubkey key(const std::string& text) {
    auto k = Pubkey::from_base58(text);
    EXPECT_TRUE(k) << text;
    return k ? *k : Pubkey{};
}

std::string filled_key(uint8_t b) {
    uint8_t bytes[32];
    std::fill(bytes, bytes + 32, b);
    return base58_encode(bytes, 32);
}

std::string error_text(const Error& e) { return e.display(); }

const std::string kBlockhash = filled_key(0xbb);

// Reads a legacy transaction back into its parts (no compact length here
// exceeds one byte except where stated).
struct ParsedTx {
    uint8_t signature_count = 0;
    bool signatures_zero = true;
    uint8_t header[3] = {};
    std::vector<Pubkey> keys;
    Pubkey blockhash;
    uint8_t instruction_count = 0;
    uint8_t program_index = 0;
    std::vector<uint8_t> account_indexes;
    std::vector<uint8_t> data;
};

ParsedTx parse_tx(const std::vector<uint8_t>& tx) {
    ParsedTx p;
    size_t at = 0;
    p.signature_count = tx.at(at++);
    for (size_t i = 0; i < 64u * p.signature_count; ++i) p.signatures_zero = p.signatures_zero && tx.at(at++) == 0;
    for (uint8_t& h : p.header) h = tx.at(at++);
    size_t nkeys = tx.at(at++);
    for (size_t i = 0; i < nkeys; ++i) {
        Pubkey k;
        for (auto& b : k.bytes) b = tx.at(at++);
        p.keys.push_back(k);
    }
    for (auto& b : p.blockhash.bytes) b = tx.at(at++);
    p.instruction_count = tx.at(at++);
    p.program_index = tx.at(at++);
    size_t naccounts = tx.at(at++);
    for (size_t i = 0; i < naccounts; ++i) p.account_indexes.push_back(tx.at(at++));
    size_t ndata = tx.at(at++);
    for (size_t i = 0; i < ndata; ++i) p.data.push_back(tx.at(at++));
    EXPECT_EQ(at, tx.size());
    return p;
}

}  // namespace

TEST(SolanaAddresses, FixedAddressesDecodeAsTheirText) {
    EXPECT_EQ(solana::token_program_id(), key("TokenkegQfeZyiNwAJbNbGKPFXCWuBvf9Ss623VQ5DA"));
    EXPECT_EQ(solana::usdc_mint(), key("EPjFWdd5AufqSSqeM2qN1xzybapC8G4wEGGkZwyTDt1v"));
    EXPECT_EQ(solana::associated_token_program_id(), key("ATokenGPvbdGVxr1b2hvZbsiqW5xWH25efTNsLJA8knL"));
}

TEST(SolanaAddresses, DeploymentAddressesAreDistinctKeys) {
    const Pubkey& p = solana::exchange_program_id();
    const Pubkey& a = solana::exchange_account_a();
    const Pubkey& b = solana::exchange_account_b();
    EXPECT_NE(p, a);
    EXPECT_NE(p, b);
    EXPECT_NE(a, b);
    for (const Pubkey* k : {&p, &a, &b}) {
        EXPECT_EQ(solana::parse_address(k->to_base58()), *k);
        EXPECT_NE(*k, solana::usdc_mint());
        EXPECT_NE(*k, solana::token_program_id());
    }
}

TEST(SolanaAddresses, ParseAddressBounds) {
    EXPECT_TRUE(solana::parse_address(std::string(32, '1')));  // 32 zero bytes
    EXPECT_FALSE(solana::parse_address(""));
    EXPECT_FALSE(solana::parse_address(std::string(31, '1')));
    EXPECT_FALSE(solana::parse_address(std::string(33, '1')));
    // No base58 text longer than 44 characters decodes to 32 bytes; the
    // bound refuses it without decoding.
    uint8_t high[32];
    std::fill(high, high + 32, 0xff);
    const std::string h44 = base58_encode(high, 32);
    ASSERT_EQ(h44.size(), 44u);
    EXPECT_TRUE(solana::parse_address(h44));
    EXPECT_FALSE(solana::parse_address("1" + h44));
    EXPECT_FALSE(solana::parse_address(std::string(100000, 'z')));
    EXPECT_FALSE(solana::parse_address("0" + std::string(31, '1')));
    EXPECT_FALSE(solana::parse_address(std::string(44, 'z')));  // more than 32 bytes
}

TEST(SolanaAddresses, AssociatedTokenAccountsMatchTheChain) {
    // Owners are the keys of the seeds 0x01.., 0x02.., ...; the expected
    // accounts and bumps are the standard USDC associated token accounts.
    struct Case {
        uint8_t seed_byte;
        const char* owner;
        const char* ata;
        uint8_t bump;
    };
    const Case cases[] = {
        {0x01, "AKnL4NNf3DGWZJS6cPknBuEGnVsV4A4m5tgebLHaRSZ9", "3wvJdyFnGvaMWpbq93NU91SggiVRveULUXL6iX5VZDGP", 254},
        {0x02, "9hSR6S7WPtxmTojgo6GG3k4yDPecgJY292j7xrsUGWBu", "ASZ2TDDNJG2n42TxAezqNNzwWipykHrENDKMCoLKgzup", 255},
        {0x03, "GyGKxMyg1p9SsHfm15MkNUu1u9TN2JtTspcdmrtGUdse", "DNDTCnZkNk358qDFZd9unHtnrc73SsXcpVWtwJJMrR4B", 255},
        {0x04, "EdmxWPmx2WH6WgFfTdu9xfkYf3k1g5wD1zccTVySEEh1", "FHPASu6WrzXmbm5NbAQy9BxwX5naUHKn5z8ycurGoSX", 254},
        {0x05, "8SFqwqnq4whPhs8icwHA2hQg3hUoN1qrCLK1SBx3WKwe", "CArvLpM8SDb5WgWGvUaUb6Bx1uSWPGHuYynPcT7CnmZJ", 254},
        {0x42, "3F5qRPtKg8GhGNnbd3qCj6nVJxWsGxq7pvH84okYLAqf", "BsWX1uUy6JPnN2vtRorMpyMG4QF2ngkLbWU8Mz35wWv", 255},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(wallet_of_seed_byte(c.seed_byte), c.owner);
        auto ata = solana::associated_token_address(key(c.owner));
        ASSERT_TRUE(ata);
        EXPECT_EQ(ata->to_base58(), c.ata);
        const Pubkey seeds[3] = {key(c.owner), solana::token_program_id(), solana::usdc_mint()};
        uint8_t bump = 0;
        auto pda = solana::find_program_address(seeds, solana::associated_token_program_id(), &bump);
        ASSERT_TRUE(pda);
        EXPECT_EQ(*pda, *ata);
        EXPECT_EQ(bump, c.bump);
    }
}

TEST(SolanaAddresses, BumpSearchSkipsOnCurveCandidates) {
    // For this owner the candidates for bumps 255 to 251 all lie on the curve.
    const Pubkey owner = key("9J6dZ5N8stbVtGKa8TVSLhapBBxTu2jakjyCSQDGvV5y");
    const Pubkey seeds[3] = {owner, solana::token_program_id(), solana::usdc_mint()};
    uint8_t bump = 0;
    auto pda = solana::find_program_address(seeds, solana::associated_token_program_id(), &bump);
    ASSERT_TRUE(pda);
    EXPECT_EQ(bump, 250);
    EXPECT_EQ(pda->to_base58(), "VWJuvk8BYp1fcDsjj6e21be2w69Yj9pCXQiKmXnbTkk");
}

TEST(SolanaInstruction, DepositAccountsAndData) {
    const std::string owner = wallet_of_seed_byte(0x01);
    auto ix = solana::instruction(owner, 1, true);
    ASSERT_TRUE(ix);
    EXPECT_EQ(ix->program_id, solana::exchange_program_id().to_base58());
    const std::vector<AccountMeta> expected = {
        {owner, true, true},
        {"3wvJdyFnGvaMWpbq93NU91SggiVRveULUXL6iX5VZDGP", false, true},
        {solana::exchange_account_a().to_base58(), false, false},
        {"EPjFWdd5AufqSSqeM2qN1xzybapC8G4wEGGkZwyTDt1v", false, false},
        {solana::exchange_account_b().to_base58(), false, true},
        {"TokenkegQfeZyiNwAJbNbGKPFXCWuBvf9Ss623VQ5DA", false, false},
    };
    EXPECT_EQ(ix->accounts, expected);
    EXPECT_EQ(hex_encode(ix->data.data(), ix->data.size()), "020100000000000000");
}

TEST(SolanaInstruction, WithdrawIntentAccountsAndData) {
    const std::string owner = wallet_of_seed_byte(0x02);
    auto ix = solana::instruction(owner, 1, false);
    ASSERT_TRUE(ix);
    EXPECT_EQ(ix->program_id, solana::exchange_program_id().to_base58());
    const std::vector<AccountMeta> expected = {
        {owner, true, true},
        {"ASZ2TDDNJG2n42TxAezqNNzwWipykHrENDKMCoLKgzup", false, false},
        {solana::exchange_account_a().to_base58(), false, false},
        {"EPjFWdd5AufqSSqeM2qN1xzybapC8G4wEGGkZwyTDt1v", false, false},
        {solana::exchange_account_b().to_base58(), false, false},
    };
    EXPECT_EQ(ix->accounts, expected);
    EXPECT_EQ(hex_encode(ix->data.data(), ix->data.size()), "040100000000000000");
}

TEST(SolanaInstruction, AmountIsLittleEndianAndUnscaled) {
    const std::string owner = wallet_of_seed_byte(0x03);
    auto ix = solana::instruction(owner, 0x0102030405060708ULL, true);
    ASSERT_TRUE(ix);
    EXPECT_EQ(hex_encode(ix->data.data(), ix->data.size()), "020807060504030201");
    auto max = solana::instruction(owner, UINT64_MAX, false);
    ASSERT_TRUE(max);
    EXPECT_EQ(hex_encode(max->data.data(), max->data.size()), "04ffffffffffffffff");
    auto usdc = solana::instruction(owner, 1500000, true);  // 1.5 USDC in base units
    ASSERT_TRUE(usdc);
    EXPECT_EQ(hex_encode(usdc->data.data(), usdc->data.size()), "0260e3160000000000");
}

TEST(SolanaInstruction, OwnerIsWrittenBackCanonically) {
    // 32 zero bytes: the identity point's y = 0 encoding is on the curve.
    auto ix = solana::instruction(std::string(32, '1'), 5, true);
    ASSERT_TRUE(ix);
    EXPECT_EQ(ix->accounts[0].pubkey, std::string(32, '1'));
}

TEST(SolanaInstruction, Errors) {
    const std::string owner = wallet_of_seed_byte(0x04);
    auto zero = solana::instruction(owner, 0, true);
    ASSERT_FALSE(zero);
    EXPECT_EQ(zero.error().kind, ErrorKind::InvalidSolanaInstruction);
    EXPECT_EQ(error_text(zero.error()), "invalid Solana instruction: amount must be positive");
    // The amount is checked before the owner.
    auto zero_bad_owner = solana::instruction("not base58 0OIl", 0, false);
    ASSERT_FALSE(zero_bad_owner);
    EXPECT_EQ(error_text(zero_bad_owner.error()), "invalid Solana instruction: amount must be positive");

    const std::string bad_owner = "invalid Solana instruction: owner must be a base58 public key";
    uint8_t short_key[31];
    std::fill(short_key, short_key + 31, 0x77);
    for (const std::string& text : {std::string(""), std::string("0OIl"), base58_encode(short_key, 31),
                                    std::string(33, '1'), std::string(44, 'z'), std::string(45, '1'), owner + " "}) {
        for (bool deposit : {true, false}) {
            auto r = solana::instruction(text, 1, deposit);
            ASSERT_FALSE(r) << text;
            EXPECT_EQ(error_text(r.error()), bad_owner) << text;
        }
    }

    const std::string off_curve = "invalid Solana instruction: owner must be an on-curve wallet";
    for (const char* pda : {"3wvJdyFnGvaMWpbq93NU91SggiVRveULUXL6iX5VZDGP", "VWJuvk8BYp1fcDsjj6e21be2w69Yj9pCXQiKmXnbTkk"}) {
        auto r = solana::instruction(pda, 1, true);
        ASSERT_FALSE(r);
        EXPECT_EQ(error_text(r.error()), off_curve);
    }
    uint8_t y2[32] = {2};  // y = 2 does not decompress
    auto r = solana::instruction(base58_encode(y2, 32), 1, false);
    ASSERT_FALSE(r);
    EXPECT_EQ(error_text(r.error()), off_curve);
}

TEST(SolanaTransaction, CompactLength) {
    auto enc = [](size_t v) {
        std::vector<uint8_t> out;
        EXPECT_TRUE(solana::append_compact_length(out, v));
        return hex_encode(out.data(), out.size());
    };
    EXPECT_EQ(enc(0), "00");
    EXPECT_EQ(enc(1), "01");
    EXPECT_EQ(enc(0x7f), "7f");
    EXPECT_EQ(enc(0x80), "8001");
    EXPECT_EQ(enc(200), "c801");
    EXPECT_EQ(enc(0x3fff), "ff7f");
    EXPECT_EQ(enc(0x4000), "808001");
    EXPECT_EQ(enc(65535), "ffff03");
    std::vector<uint8_t> out;
    auto over = solana::append_compact_length(out, 65536);
    ASSERT_FALSE(over);
    EXPECT_EQ(over.error().kind, ErrorKind::Serialization);
    EXPECT_TRUE(out.empty());
}

TEST(SolanaTransaction, MergesFlagsAndOrdersKeyGroups) {
    // Payer 09 (signer, writable); 01 is used writable and as a signer, so it
    // joins the writable signers; 07 is a read-only signer; 02 (program), 03
    // and 04 are read-only non-signers. Expected bytes from the reference
    // legacy message compiler.
    SolanaInstruction ix;
    ix.program_id = filled_key(0x02);
    ix.accounts = {{filled_key(0x09), true, true},  {filled_key(0x03), false, false}, {filled_key(0x01), false, true},
                   {filled_key(0x07), true, false}, {filled_key(0x05), true, true},   {filled_key(0x01), true, false},
                   {filled_key(0x04), false, false}};
    ix.data = {1, 2, 3};
    auto bytes = solana::transaction_bytes(ix, kBlockhash);
    ASSERT_TRUE(bytes);
    std::string expected = "04" + std::string(4 * 128, '0') + "040103" + "07";
    for (uint8_t k : {0x09, 0x01, 0x05, 0x07, 0x02, 0x03, 0x04}) {
        uint8_t b[32];
        std::fill(b, b + 32, k);
        expected += hex_encode(b, 32);
    }
    expected += std::string(32, 'b') + std::string(32, 'b');
    expected += "0104070005010302010603010203";
    EXPECT_EQ(hex_encode(bytes->data(), bytes->size()), expected);
}

TEST(SolanaTransaction, PayerIsForcedToSignAndWritableNonSignersSort) {
    // The payer is listed as read-only and unsigned and appears twice; the
    // writable non-signers 30 and 10 must come out as 10, 30. The data is
    // 200 bytes, so its length takes two compact bytes.
    SolanaInstruction ix;
    ix.program_id = filled_key(0x01);
    ix.accounts = {{filled_key(0x20), false, false},
                   {filled_key(0x30), false, true},
                   {filled_key(0x10), false, true},
                   {filled_key(0x05), false, false},
                   {filled_key(0x20), false, false}};
    for (unsigned i = 0; i < 200; ++i) ix.data.push_back(static_cast<uint8_t>(i));
    auto bytes = solana::transaction_bytes(ix, filled_key(0xcc));
    ASSERT_TRUE(bytes);
    std::string expected = "01" + std::string(128, '0') + "010002" + "05";
    for (uint8_t k : {0x20, 0x10, 0x30, 0x01, 0x05}) {
        uint8_t b[32];
        std::fill(b, b + 32, k);
        expected += hex_encode(b, 32);
    }
    expected += std::string(64, 'c');
    expected += "01" "03" "05" "0002010400" "c801" + hex_encode(ix.data.data(), ix.data.size());
    EXPECT_EQ(hex_encode(bytes->data(), bytes->size()), expected);
    auto b64 = solana::export_transaction(ix, filled_key(0xcc));
    ASSERT_TRUE(b64);
    EXPECT_EQ(*b64, base64_encode(bytes->data(), bytes->size()));
}

TEST(SolanaTransaction, DepositLayout) {
    const std::string owner = wallet_of_seed_byte(0x05);
    auto ix = solana::instruction(owner, 1, true);
    ASSERT_TRUE(ix);
    auto bytes = solana::transaction_bytes(*ix, kBlockhash);
    ASSERT_TRUE(bytes);
    ParsedTx p = parse_tx(*bytes);
    EXPECT_EQ(p.signature_count, 1);
    EXPECT_TRUE(p.signatures_zero);
    EXPECT_EQ(p.header[0], 1);
    EXPECT_EQ(p.header[1], 0);
    EXPECT_EQ(p.header[2], 4);
    ASSERT_EQ(p.keys.size(), 7u);
    EXPECT_EQ(p.keys[0], key(owner));
    // Writable non-signers (the token account and account B), then the
    // read-only ones, each group ascending by bytes.
    std::vector<Pubkey> writable = {key(ix->accounts[1].pubkey), solana::exchange_account_b()};
    std::vector<Pubkey> readonly = {solana::exchange_account_a(), solana::usdc_mint(), solana::token_program_id(),
                                    solana::exchange_program_id()};
    std::sort(writable.begin(), writable.end());
    std::sort(readonly.begin(), readonly.end());
    EXPECT_TRUE(std::is_sorted(p.keys.begin() + 1, p.keys.begin() + 3));
    EXPECT_TRUE(std::is_sorted(p.keys.begin() + 3, p.keys.end()));
    EXPECT_EQ(std::vector<Pubkey>(p.keys.begin() + 1, p.keys.begin() + 3), writable);
    EXPECT_EQ(std::vector<Pubkey>(p.keys.begin() + 3, p.keys.end()), readonly);
    EXPECT_EQ(p.blockhash, key(kBlockhash));
    EXPECT_EQ(p.instruction_count, 1);
    EXPECT_EQ(p.keys.at(p.program_index), solana::exchange_program_id());
    ASSERT_EQ(p.account_indexes.size(), 6u);
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(p.keys.at(p.account_indexes[i]), key(ix->accounts[i].pubkey)) << i;
    EXPECT_EQ(p.data, (std::vector<uint8_t>{2, 1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(SolanaTransaction, WithdrawIntentLayout) {
    const std::string owner = wallet_of_seed_byte(0x42);
    auto ix = solana::instruction(owner, 77, false);
    ASSERT_TRUE(ix);
    auto b64 = solana::export_transaction(*ix, kBlockhash);
    ASSERT_TRUE(b64);
    auto bytes = solana::transaction_bytes(*ix, kBlockhash);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*b64, base64_encode(bytes->data(), bytes->size()));
    ParsedTx p = parse_tx(*bytes);
    EXPECT_EQ(p.signature_count, 1);
    EXPECT_EQ(p.header[0], 1);
    EXPECT_EQ(p.header[1], 0);
    EXPECT_EQ(p.header[2], 5);
    ASSERT_EQ(p.keys.size(), 6u);
    EXPECT_EQ(p.keys[0], key(owner));
    std::vector<Pubkey> readonly = {key("BsWX1uUy6JPnN2vtRorMpyMG4QF2ngkLbWU8Mz35wWv"), solana::exchange_account_a(),
                                    solana::usdc_mint(), solana::exchange_account_b(), solana::exchange_program_id()};
    std::sort(readonly.begin(), readonly.end());
    EXPECT_EQ(std::vector<Pubkey>(p.keys.begin() + 1, p.keys.end()), readonly);
    EXPECT_EQ(p.keys.at(p.program_index), solana::exchange_program_id());
    ASSERT_EQ(p.account_indexes.size(), 5u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(p.keys.at(p.account_indexes[i]), key(ix->accounts[i].pubkey)) << i;
    EXPECT_EQ(p.data, (std::vector<uint8_t>{4, 77, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(SolanaTransaction, BlockhashBounds) {
    auto ix = solana::instruction(wallet_of_seed_byte(0x01), 1, true);
    ASSERT_TRUE(ix);
    const std::string bad = "invalid Solana instruction: recent blockhash must be a base58 32-byte hash";
    // 44 and 43 characters that decode to 32 bytes are accepted.
    uint8_t high[32];
    std::fill(high, high + 32, 0xff);
    const std::string h44 = base58_encode(high, 32);
    ASSERT_EQ(h44.size(), 44u);
    uint8_t low[32] = {};
    low[0] = 0x01;
    const std::string h43 = base58_encode(low, 32);
    ASSERT_EQ(h43.size(), 43u);
    EXPECT_TRUE(solana::export_transaction(*ix, h44));
    EXPECT_TRUE(solana::export_transaction(*ix, h43));
    EXPECT_TRUE(solana::export_transaction(*ix, std::string(32, '1')));
    // 45 characters (here a 33-byte value) are refused before decoding.
    const std::string h45 = "1" + h44;
    for (const std::string& text : {h45, std::string(""), std::string("0OIl"), std::string(31, '1'),
                                    std::string(33, '1'), std::string(44, 'z'), std::string(1000, 'z')}) {
        auto r = solana::export_transaction(*ix, text);
        ASSERT_FALSE(r) << text;
        EXPECT_EQ(error_text(r.error()), bad) << text;
    }
}

TEST(SolanaTransaction, InvalidAccountKeys) {
    auto ix = solana::instruction(wallet_of_seed_byte(0x01), 1, true);
    ASSERT_TRUE(ix);
    const std::string bad = "invalid Solana instruction: invalid account public key";
    for (size_t i = 0; i < ix->accounts.size(); ++i) {
        SolanaInstruction broken = *ix;
        broken.accounts[i].pubkey = "1111";
        auto r = solana::export_transaction(broken, kBlockhash);
        ASSERT_FALSE(r) << i;
        EXPECT_EQ(error_text(r.error()), bad) << i;
    }
    // An account key is checked before the blockhash.
    SolanaInstruction broken = *ix;
    broken.accounts[2].pubkey = std::string(45, '1');
    auto r = solana::export_transaction(broken, "bad");
    ASSERT_FALSE(r);
    EXPECT_EQ(error_text(r.error()), bad);
    SolanaInstruction no_program = *ix;
    no_program.program_id = "x";
    EXPECT_FALSE(solana::export_transaction(no_program, kBlockhash));
    SolanaInstruction no_accounts = *ix;
    no_accounts.accounts.clear();
    auto empty = solana::export_transaction(no_accounts, kBlockhash);
    ASSERT_FALSE(empty);
    EXPECT_EQ(empty.error().kind, ErrorKind::Serialization);
}

TEST(SolanaTransaction, OversizedInstructionIsRefused) {
    auto ix = solana::instruction(wallet_of_seed_byte(0x01), 1, true);
    ASSERT_TRUE(ix);
    SolanaInstruction big = *ix;
    big.data.assign(65536, 0);
    auto r = solana::export_transaction(big, kBlockhash);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().kind, ErrorKind::Serialization);
    SolanaInstruction many = *ix;
    for (unsigned i = 0; i < 300; ++i) {
        uint8_t b[32] = {};
        b[0] = static_cast<uint8_t>(i);
        b[1] = static_cast<uint8_t>(i >> 8);
        b[2] = 0x99;
        many.accounts.push_back({base58_encode(b, 32), false, false});
    }
    auto m = solana::export_transaction(many, kBlockhash);
    ASSERT_FALSE(m);
    EXPECT_EQ(m.error().kind, ErrorKind::Serialization);
}
