// Module functions for the Solana USDC deposit and withdrawal-intent
// instructions and their unsigned transactions. Each pair differs only in
// the deposit flag passed to the core's instruction builder.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string>
#include <string_view>

#include "arguments.hpp"
#include "binder.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "fastcall.hpp"
#include "module.hpp"
#include "results.hpp"
#include "solana/solana.hpp"

namespace vorn::py {
namespace {

PyObject* account_meta_to_python(const vorn::AccountMeta& meta) {
    PyRef dict(PyDict_New());
    if (!dict || !set_item(dict.get(), "pubkey", text_to_python(meta.pubkey)) ||
        !set_item(dict.get(), "is_signer", PyBool_FromLong(meta.is_signer)) ||
        !set_item(dict.get(), "is_writable", PyBool_FromLong(meta.is_writable))) {
        return nullptr;
    }
    return dict.release();
}

// {"program_id": str, "accounts": [meta dicts in instruction order], "data": bytes}
PyObject* instruction_to_python(const vorn::SolanaInstruction& ix) {
    PyRef dict(PyDict_New());
    if (!dict || !set_item(dict.get(), "program_id", text_to_python(ix.program_id)) ||
        !set_item(dict.get(), "accounts", list_to_python(ix.accounts, account_meta_to_python)) ||
        !set_item(dict.get(), "data", bytes_to_python(ix.data))) {
        return nullptr;
    }
    return dict.release();
}

constexpr const char* kBuildParams[] = {"owner", "amount"};
constexpr CallSignature kBuildDeposit{"build_deposit_instruction", kBuildParams, 2, 2};
constexpr CallSignature kBuildWithdraw{"build_withdraw_intent_instruction", kBuildParams, 2, 2};

constexpr const char* kExportParams[] = {"owner", "amount", "recent_blockhash"};
constexpr CallSignature kExportDeposit{"export_deposit_transaction", kExportParams, 3, 3};
constexpr CallSignature kExportWithdraw{"export_withdraw_intent_transaction", kExportParams, 3, 3};

template <bool Deposit>
PyObject* build_instruction(Text owner, U64 amount) {
    return convert_result(vorn::solana::instruction(owner.value, amount.value, Deposit), instruction_to_python);
}

template <bool Deposit>
PyObject* export_transaction(Text owner, U64 amount, Text blockhash) {
    auto ix = vorn::solana::instruction(owner.value, amount.value, Deposit);
    if (!ix) return raise_core_error(ix.error());
    return convert_result(vorn::solana::export_transaction(std::move(*ix), blockhash.value), text_to_python);
}

}  // namespace

PyMethodDef solana_functions[] = {
    {"export_deposit_transaction", fastcall<kExportDeposit, export_transaction<true>>(), kFastCall,
     "export_deposit_transaction(owner, amount, recent_blockhash)\n--\n\n"
     "Export a base64 unsigned mainnet USDC deposit transaction for wallet signing."},
    {"export_withdraw_intent_transaction", fastcall<kExportWithdraw, export_transaction<false>>(), kFastCall,
     "export_withdraw_intent_transaction(owner, amount, recent_blockhash)\n--\n\n"
     "Export a base64 unsigned mainnet USDC withdrawal-intent transaction for wallet signing."},
    {"build_deposit_instruction", fastcall<kBuildDeposit, build_instruction<true>>(), kFastCall,
     "build_deposit_instruction(owner, amount)\n--\n\n"
     "Build an unsigned mainnet USDC deposit instruction, with amount in base units."},
    {"build_withdraw_intent_instruction", fastcall<kBuildWithdraw, build_instruction<false>>(), kFastCall,
     "build_withdraw_intent_instruction(owner, amount)\n--\n\n"
     "Build an unsigned mainnet USDC withdrawal intent; no tokens transfer in this instruction."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace vorn::py
