// The deposit and withdrawal-intent instructions of the exchange program.
#include "solana/curve25519.hpp"
#include "solana/solana.hpp"

namespace vorn::solana {

Result<SolanaInstruction> instruction(std::string_view owner, uint64_t amount, bool deposit) {
    if (amount == 0) return fail(Error::invalid_solana_instruction("amount must be positive"));
    auto owner_key = parse_address(owner);
    if (!owner_key) return fail(Error::invalid_solana_instruction("owner must be a base58 public key"));
    // Only a wallet key can sign; program-derived addresses lie off the curve.
    if (!is_on_curve(owner_key->bytes))
        return fail(Error::invalid_solana_instruction("owner must be an on-curve wallet"));
    auto ata = associated_token_address(*owner_key);
    if (!ata) return fail(ata.error());

    SolanaInstruction ix;
    ix.program_id = exchange_program_id().to_base58();
    ix.accounts.reserve(6);
    ix.accounts.push_back({owner_key->to_base58(), true, true});
    ix.accounts.push_back({ata->to_base58(), false, deposit});
    ix.accounts.push_back({exchange_account_a().to_base58(), false, false});
    ix.accounts.push_back({usdc_mint().to_base58(), false, false});
    ix.accounts.push_back({exchange_account_b().to_base58(), false, deposit});
    if (deposit) ix.accounts.push_back({token_program_id().to_base58(), false, false});

    ix.data.resize(9);
    ix.data[0] = deposit ? kDepositTag : kWithdrawIntentTag;
    for (size_t i = 0; i < 8; ++i) ix.data[1 + i] = static_cast<uint8_t>(amount >> (8 * i));
    return ix;
}

}  // namespace vorn::solana
