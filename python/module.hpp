// What each file of the module contributes to it: the module functions, one
// table per file, and the two classes. module.cpp registers them in the
// order of __all__.
//
// The declarations are hidden: a table or class that no file defines is an
// undefined hidden symbol, which the linker refuses in a shared object, so it
// fails the build of the module rather than its import.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#pragma GCC visibility push(hidden)

namespace vorn::py {

// Null-terminated PyMethodDef tables, each in the order of __all__.
extern PyMethodDef wallet_functions[];   // wallet_functions.cpp: wallet signing modes
extern PyMethodDef solana_functions[];   // solana_functions.cpp: USDC deposit and withdrawal intent
extern PyMethodDef signing_functions[];  // functions.cpp: hashes, timestamps, validation, order ids
extern PyMethodDef prepare_functions[];  // operations.cpp: py_prepare_ and py_finalize_transaction
// The Signer's methods of the same operations (operations.cpp); the class
// adds them after its own (signer_type.cpp).
extern PyMethodDef signer_operation_methods[];

// The classes (created once; later calls return them again). A new reference,
// or nullptr with the internal-fault exception set.
PyObject* create_keypair_type();  // keypair_type.cpp
PyObject* create_signer_type();   // signer_type.cpp

// For those two: the type made from `type_spec` on the first call and kept in
// `type` for the life of the process; a new reference. A type that cannot be
// created prints the interpreter's error and raises the internal fault
// "failed to create type object for <class name>".
PyObject* create_type(PyType_Spec& type_spec, PyTypeObject*& type);

// A new, zeroed instance of one of those classes (its tp_alloc), or nullptr
// with the error set.
inline PyObject* alloc_instance(PyTypeObject* type) {
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
    return alloc(type, 0);
}

// The tp_dealloc of a class whose instances own one core object through
// Member: deletes it (the core types wipe their secrets) and frees the
// instance.
template <class Instance, auto Member>
void dealloc_owner(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    Instance* instance = reinterpret_cast<Instance*>(self);
    delete (instance->*Member);
    instance->*Member = nullptr;
    reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free))(self);
    Py_DECREF(type);
}

}  // namespace vorn::py

#pragma GCC visibility pop
