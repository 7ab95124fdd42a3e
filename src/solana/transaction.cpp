// The unsigned legacy Solana transaction around one instruction.
#include <map>

#include "types/base64.hpp"
#include "solana/solana.hpp"

namespace vorn::solana {

namespace {

struct KeyFlags {
    bool signer = false;
    bool writable = false;
};

// Legacy messages index keys with one byte and count them in u8 header fields.
constexpr size_t kMaxKeys = 256;
constexpr size_t kMaxShortVec = 65535;

Error invalid_account() { return Error::invalid_solana_instruction("invalid account public key"); }

}  // namespace

Status append_compact_length(std::vector<uint8_t>& out, size_t value) {
    if (value > kMaxShortVec) return fail(Error::serialization("length exceeds the short vector limit of 65535"));
    while (true) {
        uint8_t low = static_cast<uint8_t>(value & 0x7f);
        value >>= 7;
        if (value == 0) {
            out.push_back(low);
            return {};
        }
        out.push_back(low | 0x80);
    }
}

Result<std::vector<uint8_t>> transaction_bytes(const SolanaInstruction& ix, std::string_view recent_blockhash) {
    // Parse every key first; the instruction order is kept for the indexes.
    std::vector<Pubkey> account_keys;
    account_keys.reserve(ix.accounts.size());
    for (const AccountMeta& meta : ix.accounts) {
        auto key = parse_address(meta.pubkey);
        if (!key) return fail(invalid_account());
        account_keys.push_back(*key);
    }
    auto program = parse_address(ix.program_id);
    if (!program) return fail(invalid_account());
    if (account_keys.empty()) return fail(Error::serialization("transaction has no fee payer account"));
    auto blockhash = parse_address(recent_blockhash);
    if (!blockhash) return fail(Error::invalid_solana_instruction("recent blockhash must be a base58 32-byte hash"));

    // Merge the flags of every use of a key; the map orders keys by bytes.
    const Pubkey& payer = account_keys[0];
    std::map<Pubkey, KeyFlags> keys;
    for (size_t i = 0; i < account_keys.size(); ++i) {
        KeyFlags& f = keys[account_keys[i]];
        f.signer = f.signer || ix.accounts[i].is_signer;
        f.writable = f.writable || ix.accounts[i].is_writable;
    }
    keys.try_emplace(*program);
    keys[payer] = {true, true};
    if (keys.size() > kMaxKeys) return fail(Error::serialization("too many account keys for a legacy message"));

    // Payer, writable signers, read-only signers, writable and read-only
    // non-signers; each group stays in ascending key order.
    std::vector<Pubkey> ordered;
    ordered.reserve(keys.size());
    ordered.push_back(payer);
    size_t group_size[4] = {0, 0, 0, 0};
    for (size_t group = 0; group < 4; ++group) {
        const bool signer = group < 2;
        const bool writable = group % 2 == 0;
        for (const auto& [key, f] : keys) {
            if (key == payer || f.signer != signer || f.writable != writable) continue;
            ordered.push_back(key);
            ++group_size[group];
        }
    }
    const size_t signers = 1 + group_size[0] + group_size[1];
    const size_t readonly_signed = group_size[1];
    const size_t readonly_unsigned = group_size[3];
    if (signers > 255) return fail(Error::serialization("too many signers for a legacy message"));

    auto index_of = [&](const Pubkey& key) {
        size_t i = 0;
        while (ordered[i] != key) ++i;
        return static_cast<uint8_t>(i);
    };

    std::vector<uint8_t> message;
    message.reserve(3 + 3 + 32 * ordered.size() + 32 + 8 + account_keys.size() + ix.data.size());
    message.push_back(static_cast<uint8_t>(signers));
    message.push_back(static_cast<uint8_t>(readonly_signed));
    message.push_back(static_cast<uint8_t>(readonly_unsigned));
    if (auto ok = append_compact_length(message, ordered.size()); !ok) return fail(ok.error());
    for (const Pubkey& key : ordered) message.insert(message.end(), key.bytes.begin(), key.bytes.end());
    message.insert(message.end(), blockhash->bytes.begin(), blockhash->bytes.end());
    if (auto ok = append_compact_length(message, 1); !ok) return fail(ok.error());
    message.push_back(index_of(*program));
    if (auto ok = append_compact_length(message, account_keys.size()); !ok) return fail(ok.error());
    for (const Pubkey& key : account_keys) message.push_back(index_of(key));
    if (auto ok = append_compact_length(message, ix.data.size()); !ok) return fail(ok.error());
    message.insert(message.end(), ix.data.begin(), ix.data.end());

    // One all-zero placeholder per required signature, then the message.
    std::vector<uint8_t> tx;
    tx.reserve(3 + 64 * signers + message.size());
    if (auto ok = append_compact_length(tx, signers); !ok) return fail(ok.error());
    tx.resize(tx.size() + 64 * signers, 0);
    tx.insert(tx.end(), message.begin(), message.end());
    return tx;
}

Result<std::string> export_transaction(SolanaInstruction ix, std::string_view recent_blockhash) {
    auto bytes = transaction_bytes(ix, recent_blockhash);
    if (!bytes) return fail(bytes.error());
    return base64_encode(bytes->data(), bytes->size());
}

}  // namespace vorn::solana
