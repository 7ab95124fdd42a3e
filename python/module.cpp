// Module initialisation for vorn_keychain._native: creates the module and
// registers its function tables and two classes (module.hpp) in a fixed
// order, each name as a module attribute and an entry of __all__.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "convert.hpp"
#include "errors.hpp"
#include "module.hpp"

namespace {

using vorn::py::PyRef;

// One part of the module: a table of functions or a class.
struct Part {
    PyMethodDef* functions;
    PyObject* (*create_class)();
};

// The registration order is part of the module's interface: it is the order
// of __all__.
constexpr Part kParts[] = {
    {vorn::py::wallet_functions, nullptr},
    {vorn::py::solana_functions, nullptr},
    {nullptr, vorn::py::create_keypair_type},
    {nullptr, vorn::py::create_signer_type},
    {vorn::py::signing_functions, nullptr},
    {vorn::py::prepare_functions, nullptr},
};

// Sets the attribute and appends the name to __all__ (created by the first
// registration).
bool add_named(PyObject* module, PyObject* name, PyObject* value) {
    if (PyDict_SetItem(PyModule_GetDict(module), name, value) < 0) return false;
    PyObject* all = PyDict_GetItemString(PyModule_GetDict(module), "__all__");
    if (all == nullptr) {
        PyRef fresh(PyList_New(0));
        if (!fresh || PyModule_AddObjectRef(module, "__all__", fresh.get()) < 0) return false;
        all = fresh.get();
    }
    return PyList_Append(all, name) == 0;
}

bool register_all(PyObject* module) {
    PyRef module_name(PyModule_GetNameObject(module));
    if (!module_name) return false;
    for (const Part& part : kParts) {
        if (part.create_class != nullptr) {
            PyRef cls(part.create_class());
            PyRef name(cls ? PyType_GetName(reinterpret_cast<PyTypeObject*>(cls.get())) : nullptr);
            if (!name || !add_named(module, name.get(), cls.get())) return false;
            continue;
        }
        for (PyMethodDef* def = part.functions; def->ml_name != nullptr; ++def) {
            PyRef function(PyCFunction_NewEx(def, nullptr, module_name.get()));
            PyRef name(PyUnicode_FromString(def->ml_name));
            if (!function || !name || !add_named(module, name.get(), function.get())) return false;
        }
    }
    return true;
}

}  // namespace

namespace vorn::py {

PyObject* create_type(PyType_Spec& type_spec, PyTypeObject*& type) {
    if (type == nullptr) {
        PyObject* created = PyType_FromSpec(&type_spec);
        if (created == nullptr) {
            PyErr_Print();
            const char* dot = std::strrchr(type_spec.name, '.');
            return raise_fault_text(std::string("failed to create type object for ") + (dot ? dot + 1 : type_spec.name));
        }
        type = reinterpret_cast<PyTypeObject*>(created);
    }
    return Py_NewRef(reinterpret_cast<PyObject*>(type));
}

}  // namespace vorn::py

namespace {

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
