// Module functions for the Solana USDC deposit and withdrawal-intent
// instructions and their unsigned transactions. Each pair differs only in
// the deposit flag passed to the core's instruction builder.
#include "solana_functions.hpp"

#include <string>
#include <string_view>

#include "binder.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "results.hpp"
#include "solana.hpp"

namespace vorn::py {
namespace {

PyObject* account_meta_to_python(const vorn::AccountMeta& meta) {
    PyRef dict(PyDict_New());
    if (!dict) return nullptr;
    PyRef key(text_to_python(meta.pubkey));
    if (!key || PyDict_SetItemString(dict.get(), "pubkey", key.get()) < 0) return nullptr;
    if (PyDict_SetItemString(dict.get(), "is_signer", meta.is_signer ? Py_True : Py_False) < 0) return nullptr;
    if (PyDict_SetItemString(dict.get(), "is_writable", meta.is_writable ? Py_True : Py_False) < 0) return nullptr;
    return dict.release();
}

// {"program_id": str, "accounts": [meta dicts in instruction order], "data": bytes}
PyObject* instruction_to_python(const vorn::SolanaInstruction& ix) {
    PyRef dict(PyDict_New());
    if (!dict) return nullptr;
    PyRef program(text_to_python(ix.program_id));
    if (!program || PyDict_SetItemString(dict.get(), "program_id", program.get()) < 0) return nullptr;
    PyRef accounts(PyList_New(static_cast<Py_ssize_t>(ix.accounts.size())));
    if (!accounts) return nullptr;
    for (size_t i = 0; i < ix.accounts.size(); ++i) {
        PyObject* meta = account_meta_to_python(ix.accounts[i]);
        if (meta == nullptr) return nullptr;
        PyList_SET_ITEM(accounts.get(), static_cast<Py_ssize_t>(i), meta);  // steals meta
    }
    if (PyDict_SetItemString(dict.get(), "accounts", accounts.get()) < 0) return nullptr;
    PyRef data(PyBytes_FromStringAndSize(reinterpret_cast<const char*>(ix.data.data()),
                                         static_cast<Py_ssize_t>(ix.data.size())));
    if (!data || PyDict_SetItemString(dict.get(), "data", data.get()) < 0) return nullptr;
    return dict.release();
}

const char* const kBuildParams[] = {"owner", "amount"};
const FunctionSpec kBuildDeposit{"build_deposit_instruction", kBuildParams, 2, 2};
const FunctionSpec kBuildWithdraw{"build_withdraw_intent_instruction", kBuildParams, 2, 2};

const char* const kExportParams[] = {"owner", "amount", "recent_blockhash"};
const FunctionSpec kExportDeposit{"export_deposit_transaction", kExportParams, 3, 3};
const FunctionSpec kExportWithdraw{"export_withdraw_intent_transaction", kExportParams, 3, 3};

PyObject* build_instruction(const FunctionSpec& spec, bool deposit, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[2];
        std::string_view owner;
        uint64_t amount = 0;
        if (!bind_args(spec, args, nargs, kwnames, a) || !to_text(a[0], "owner", &owner) ||
            !to_u64(a[1], "amount", &amount)) {
            return nullptr;
        }
        auto ix = vorn::solana::instruction(owner, amount, deposit);
        if (!ix) return raise_core_error(ix.error());
        return instruction_to_python(*ix);
    });
}

PyObject* export_transaction(const FunctionSpec& spec, bool deposit, PyObject* const* args, Py_ssize_t nargs,
                             PyObject* kwnames) {
    return call_guarded([&]() -> PyObject* {
        PyObject* a[3];
        std::string_view owner;
        uint64_t amount = 0;
        std::string_view blockhash;
        if (!bind_args(spec, args, nargs, kwnames, a) || !to_text(a[0], "owner", &owner) ||
            !to_u64(a[1], "amount", &amount) || !to_text(a[2], "recent_blockhash", &blockhash)) {
            return nullptr;
        }
        auto ix = vorn::solana::instruction(owner, amount, deposit);
        if (!ix) return raise_core_error(ix.error());
        auto tx = vorn::solana::export_transaction(std::move(*ix), blockhash);
        if (!tx) return raise_core_error(tx.error());
        return text_to_python(*tx);
    });
}

PyObject* py_export_deposit_transaction(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return export_transaction(kExportDeposit, true, args, nargs, kwnames);
}

PyObject* py_export_withdraw_intent_transaction(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                                PyObject* kwnames) {
    return export_transaction(kExportWithdraw, false, args, nargs, kwnames);
}

PyObject* py_build_deposit_instruction(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return build_instruction(kBuildDeposit, true, args, nargs, kwnames);
}

PyObject* py_build_withdraw_intent_instruction(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                               PyObject* kwnames) {
    return build_instruction(kBuildWithdraw, false, args, nargs, kwnames);
}

template <class F>
PyCFunction as_cfunction(F* f) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f));
}

constexpr int kFast = METH_FASTCALL | METH_KEYWORDS;

}  // namespace
}  // namespace vorn::py

PyMethodDef vorn_solana_methods[] = {
    {"export_deposit_transaction", vorn::py::as_cfunction(vorn::py::py_export_deposit_transaction), vorn::py::kFast,
     "export_deposit_transaction(owner, amount, recent_blockhash)\n--\n\n"
     "Export a base64 unsigned mainnet USDC deposit transaction for wallet signing."},
    {"export_withdraw_intent_transaction", vorn::py::as_cfunction(vorn::py::py_export_withdraw_intent_transaction),
     vorn::py::kFast,
     "export_withdraw_intent_transaction(owner, amount, recent_blockhash)\n--\n\n"
     "Export a base64 unsigned mainnet USDC withdrawal-intent transaction for wallet signing."},
    {"build_deposit_instruction", vorn::py::as_cfunction(vorn::py::py_build_deposit_instruction), vorn::py::kFast,
     "build_deposit_instruction(owner, amount)\n--\n\n"
     "Build an unsigned mainnet USDC deposit instruction, with amount in base units."},
    {"build_withdraw_intent_instruction", vorn::py::as_cfunction(vorn::py::py_build_withdraw_intent_instruction),
     vorn::py::kFast,
     "build_withdraw_intent_instruction(owner, amount)\n--\n\n"
     "Build an unsigned mainnet USDC withdrawal intent; no tokens transfer in this instruction."},
    {nullptr, nullptr, 0, nullptr},
};
