// Module initialisation for vorn_keychain._native: creates the module and
// registers its 26 functions and two classes in a fixed order, each as a
// module attribute and an entry of __all__.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <cstring>

#include "convert.hpp"
#include "errors.hpp"
#include "functions.hpp"
#include "keypair_type.hpp"
#include "prepare_functions.hpp"
#include "signer_type.hpp"
#include "solana_functions.hpp"
#include "wallet_functions.hpp"

// Empty fallbacks for the function tables defined in other files of the
// module; the real (strong) definitions replace them at link time. A name
// found in no table is skipped, so the module still loads while a table is
// incomplete.
__attribute__((weak)) PyMethodDef vorn_solana_methods[] = {{nullptr, nullptr, 0, nullptr}};
__attribute__((weak)) PyMethodDef vorn_wallet_methods[] = {{nullptr, nullptr, 0, nullptr}};
__attribute__((weak)) PyMethodDef vorn_prepare_methods[] = {{nullptr, nullptr, 0, nullptr}};

namespace {

using vorn::py::PyRef;

// One registration: a function looked up by name in the tables, or a class.
struct Registration {
    const char* name;
    PyObject* (*create_class)();  // null for functions
};

// The registration order is part of the module's interface: it is the order
// of __all__.
constexpr Registration kRegistrations[] = {
    {"prepare_wallet_message", nullptr},
    {"finalize_wallet_message", nullptr},
    {"export_deposit_transaction", nullptr},
    {"export_withdraw_intent_transaction", nullptr},
    {"build_deposit_instruction", nullptr},
    {"build_withdraw_intent_instruction", nullptr},
    {"Keypair", vorn::py::create_keypair_type},
    {"Signer", vorn::py::create_signer_type},
    {"random_hash", nullptr},
    {"current_timestamp", nullptr},
    {"validate_pubkey", nullptr},
    {"validate_hash", nullptr},
    {"compute_order_id", nullptr},
    {"compute_order_id_from_order", nullptr},
    {"py_prepare_order", nullptr},
    {"py_prepare_all_orders", nullptr},
    {"py_prepare_order_group", nullptr},
    {"py_prepare_agent_wallet_auth", nullptr},
    {"py_prepare_approve_builder_code", nullptr},
    {"py_prepare_update_liquidator_config", nullptr},
    {"py_prepare_approve_commission_fee", nullptr},
    {"py_prepare_revoke_builder_code", nullptr},
    {"py_prepare_revoke_commission_fee", nullptr},
    {"py_prepare_faucet_request", nullptr},
    {"py_prepare_create_sub_account", nullptr},
    {"py_prepare_remove_sub_account", nullptr},
    {"py_prepare_transfer", nullptr},
    {"py_finalize_transaction", nullptr},
};

PyMethodDef* const kFunctionTables[] = {vorn_wallet_methods, vorn_prepare_methods, vorn_solana_methods,
                                        vorn_signing_methods};

PyMethodDef* find_function(const char* name) {
    for (PyMethodDef* table : kFunctionTables) {
        for (PyMethodDef* def = table; def->ml_name != nullptr; ++def) {
            if (std::strcmp(def->ml_name, name) == 0) return def;
        }
    }
    return nullptr;
}

// Sets the attribute and appends the name to __all__ (created by the first
// registration).
bool add_named(PyObject* module, const char* name, PyObject* value) {
    if (PyModule_AddObjectRef(module, name, value) < 0) return false;
    PyObject* all = PyDict_GetItemString(PyModule_GetDict(module), "__all__");
    if (all == nullptr) {
        PyRef fresh(PyList_New(0));
        if (!fresh || PyModule_AddObjectRef(module, "__all__", fresh.get()) < 0) return false;
        all = fresh.get();
    }
    PyRef text(PyUnicode_FromString(name));
    return text && PyList_Append(all, text.get()) == 0;
}

bool register_all(PyObject* module) {
    PyRef module_name(PyModule_GetNameObject(module));
    if (!module_name) return false;
    for (const Registration& reg : kRegistrations) {
        PyRef value;
        if (reg.create_class != nullptr) {
            value = PyRef(reg.create_class());
        } else {
            PyMethodDef* def = find_function(reg.name);
            if (def == nullptr) continue;
            value = PyRef(PyCFunction_NewEx(def, nullptr, module_name.get()));
        }
        if (!value || !add_named(module, reg.name, value.get())) return false;
    }
    return true;
}

PyModuleDef native_module = {
    PyModuleDef_HEAD_INIT,
    "_native",
    "High-performance transaction signing for VORN DEX",
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

// The module supports one interpreter per process; it is built once and
// handed out again on a repeated initialisation in that interpreter.
PyObject* g_module = nullptr;
int64_t g_interpreter_id = -1;

}  // namespace

PyMODINIT_FUNC PyInit__native(void) {
    int64_t interp = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (interp < 0) return nullptr;
    if (g_module != nullptr) {
        if (interp != g_interpreter_id) {
            PyErr_SetString(PyExc_ImportError,
                            "vorn_keychain._native can only be imported once per process; "
                            "it does not support sub-interpreters");
            return nullptr;
        }
        return Py_NewRef(g_module);
    }
    if (!vorn::py::init_errors()) return nullptr;
    PyRef module(PyModule_Create(&native_module));
    if (!module || !register_all(module.get())) return nullptr;
    g_interpreter_id = interp;
    g_module = Py_NewRef(module.get());
    return module.release();
}
