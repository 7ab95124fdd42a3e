// Solana builders: instructions over any owner text and amount, and unsigned
// legacy transactions over any blockhash text and any account list. Every
// call gives a value or an Error; every transaction read back must hold the
// instruction's keys, flags, indexes, data and the blockhash. For an owner
// that is a real keypair's key and an amount above 0 both builders succeed,
// and the exported base64 text decodes back to the transaction bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "types/base58.hpp"
#include "fuzz_check.hpp"
#include "types/keypair.hpp"
#include "solana/solana.hpp"

namespace {

using vorn::Pubkey;
using vorn::SolanaInstruction;

struct Cursor {
    const std::vector<uint8_t>& b;
    size_t at = 0;
    uint8_t u8() {
        FUZZ_CHECK(at < b.size());
        return b[at++];
    }
    size_t compact() {
        size_t v = 0;
        for (int shift = 0;; shift += 7) {
            FUZZ_CHECK(shift <= 14);
            const uint8_t byte = u8();
            v |= static_cast<size_t>(byte & 0x7f) << shift;
            if ((byte & 0x80) == 0) break;
        }
        return v;
    }
    Pubkey key() {
        Pubkey k;
        for (auto& x : k.bytes) x = u8();
        return k;
    }
};

Pubkey parsed(const std::string& text) {
    auto k = vorn::solana::parse_address(text);
    FUZZ_CHECK(k.has_value());
    return *k;
}

// Reads the transaction back and checks it against the instruction.
void check_transaction(const std::vector<uint8_t>& tx, const SolanaInstruction& ix, const Pubkey& blockhash) {
    Cursor c{tx};
    const size_t sigs = c.compact();
    for (size_t i = 0; i < 64 * sigs; ++i) FUZZ_CHECK(c.u8() == 0);
    const size_t signers = c.u8(), ro_signed = c.u8(), ro_unsigned = c.u8();
    FUZZ_CHECK(signers == sigs && signers >= 1 && ro_signed < signers);
    const size_t count = c.compact();
    FUZZ_CHECK(count >= signers + ro_unsigned);
    std::vector<Pubkey> keys;
    for (size_t i = 0; i < count; ++i) keys.push_back(c.key());
    FUZZ_CHECK(c.key() == blockhash);
    FUZZ_CHECK(c.compact() == 1);
    const size_t program_index = c.u8();
    FUZZ_CHECK(program_index < count && keys[program_index] == parsed(ix.program_id));
    FUZZ_CHECK(c.compact() == ix.accounts.size());
    std::vector<size_t> indexes;
    for (size_t i = 0; i < ix.accounts.size(); ++i) {
        const size_t idx = c.u8();
        FUZZ_CHECK(idx < count && keys[idx] == parsed(ix.accounts[i].pubkey));
        indexes.push_back(idx);
    }
    FUZZ_CHECK(c.compact() == ix.data.size());
    for (uint8_t d : ix.data) FUZZ_CHECK(c.u8() == d);
    FUZZ_CHECK(c.at == tx.size());

    // Each key once; the payer first; flags merged over every use of a key.
    std::map<Pubkey, std::pair<bool, bool>> want;
    want[parsed(ix.program_id)];
    for (const auto& meta : ix.accounts) {
        auto& f = want[parsed(meta.pubkey)];
        f.first = f.first || meta.is_signer;
        f.second = f.second || meta.is_writable;
    }
    want[parsed(ix.accounts[0].pubkey)] = {true, true};
    FUZZ_CHECK(want.size() == count && keys[0] == parsed(ix.accounts[0].pubkey));
    for (size_t i = 0; i < count; ++i) {
        FUZZ_CHECK(want.count(keys[i]) == 1);
        const bool is_signer = i < signers;
        const bool writable = is_signer ? i < signers - ro_signed : i < count - ro_unsigned;
        FUZZ_CHECK(want[keys[i]] == std::make_pair(is_signer, writable));
        // Within each group after the payer the keys ascend.
        if (i >= 2 && i != signers && i != signers - ro_signed && i != count - ro_unsigned)
            FUZZ_CHECK(keys[i - 1] < keys[i]);
    }
}

// Standard base64 with padding, decoded strictly; nullopt on any defect.
std::optional<std::vector<uint8_t>> base64_decode(std::string_view text) {
    static const std::string_view kChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (text.size() % 4 != 0) return std::nullopt;
    std::vector<uint8_t> out;
    for (size_t i = 0; i < text.size(); i += 4) {
        uint32_t v = 0;
        int pad = 0;
        for (size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=' && i + 4 == text.size() && k >= 2) { ++pad; v <<= 6; continue; }
            const size_t d = kChars.find(c);
            if (d == std::string_view::npos || pad != 0) return std::nullopt;
            v = (v << 6) | static_cast<uint32_t>(d);
        }
        out.push_back(static_cast<uint8_t>(v >> 16));
        if (pad < 2) out.push_back(static_cast<uint8_t>(v >> 8));
        if (pad < 1) out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

std::string filled_key(uint8_t b) {
    uint8_t bytes[32];
    std::fill(bytes, bytes + 32, b);
    return vorn::base58_encode(bytes, 32);
}

void check_builders(fuzz::Reader& in) {
    const uint8_t flags = in.u8();
    const uint64_t amount = (flags & 8) ? in.u8() : in.u64();
    const bool deposit = flags & 4;
    std::string owner;
    if (flags & 1) {
        uint8_t seed[32];
        for (auto& b : seed) b = in.u8();
        owner = vorn::Keypair::from_bytes(seed, 32)->pubkey().to_base58();
    } else {
        owner = std::string(in.until_nul());
    }
    std::string blockhash;
    if (flags & 2) {
        uint8_t hash_bytes[32] = {};
        for (auto& b : hash_bytes) b = in.u8();
        blockhash = vorn::base58_encode(hash_bytes, 32);
    } else {
        blockhash = std::string(in.until_nul());
    }

    auto ix = vorn::solana::instruction(owner, amount, deposit);
    auto owner_key = vorn::solana::parse_address(owner);
    if ((flags & 1) && amount > 0) FUZZ_CHECK(ix.has_value());
    if (amount == 0) FUZZ_CHECK(!ix && ix.error().text == "amount must be positive");
    if (!owner_key) FUZZ_CHECK(!ix);
    if (owner.size() > vorn::solana::kMaxAddressChars) FUZZ_CHECK(!owner_key);
    auto hash = vorn::solana::parse_address(blockhash);
    if (ix) {
        FUZZ_CHECK(ix->accounts.size() == (deposit ? 6u : 5u));
        FUZZ_CHECK(parsed(ix->accounts[0].pubkey) == *owner_key);
        FUZZ_CHECK(ix->accounts[0].is_signer && ix->accounts[0].is_writable);
        FUZZ_CHECK(ix->data.size() == 9 && ix->data[0] == (deposit ? 2 : 4));
        for (size_t i = 0; i < 8; ++i) FUZZ_CHECK(ix->data[1 + i] == static_cast<uint8_t>(amount >> (8 * i)));
        auto tx = vorn::solana::transaction_bytes(*ix, blockhash);
        FUZZ_CHECK(tx.has_value() == hash.has_value());
        if (tx) {
            check_transaction(*tx, *ix, *hash);
            // The fixed layout holds when the owner is none of the fixed keys
            // (an owner equal to one of them is merged into one key).
            std::vector<std::string> distinct{ix->program_id};
            for (const auto& meta : ix->accounts) distinct.push_back(meta.pubkey);
            std::sort(distinct.begin(), distinct.end());
            if (std::adjacent_find(distinct.begin(), distinct.end()) == distinct.end())
                FUZZ_CHECK((*tx)[65] == 1 && (*tx)[66] == 0 && (*tx)[67] == (deposit ? 4 : 5) &&
                           (*tx)[68] == (deposit ? 7 : 6));
        }
        auto exported = vorn::solana::export_transaction(*ix, blockhash);
        FUZZ_CHECK(exported.has_value() == hash.has_value());
        if (exported) FUZZ_CHECK(base64_decode(*exported) == *tx);
    }

    // Any account list: keys chosen from 256 filled keys or raw text.
    SolanaInstruction any;
    const uint8_t program = in.u8();
    any.program_id = (program == 0xFF) ? std::string(in.until_nul()) : filled_key(program);
    const size_t n = in.u8() % 64 + ((flags & 16) ? 200 : 0);
    for (size_t i = 0; i < n && !in.empty(); ++i) {
        const uint8_t k = in.u8();
        const uint8_t f = in.u8();
        vorn::AccountMeta meta;
        meta.pubkey = (f & 4) && (f & 8) ? std::string(in.bytes(f >> 4)) : filled_key(k);
        meta.is_signer = f & 1;
        meta.is_writable = f & 2;
        any.accounts.push_back(meta);
    }
    const std::string_view data = in.rest();
    any.data.assign(data.begin(), data.end());
    auto tx = vorn::solana::transaction_bytes(any, blockhash);
    bool keys_ok = vorn::solana::parse_address(any.program_id).has_value() && !any.accounts.empty();
    for (const auto& meta : any.accounts) keys_ok = keys_ok && vorn::solana::parse_address(meta.pubkey).has_value();
    if (!keys_ok || !hash) FUZZ_CHECK(!tx);
    if (tx) check_transaction(*tx, any, *hash);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader in{data, size};
    check_builders(in);
    return 0;
}
