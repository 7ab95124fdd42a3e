// The two Signer methods that sign external-wallet records with the signer's
// own key: sign_wallet_prepared(wallet) and sign_prepared(prepared). Both
// borrow the signer shared (SharedBorrow of signer_type.hpp) and return the
// signed-transaction dict. signer_type.cpp puts them into the Signer method
// table at their place in the class.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace vorn::py {

// METH_FASTCALL | METH_KEYWORDS methods; self is a Signer instance.
PyObject* signer_sign_wallet_prepared(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* signer_sign_prepared(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

// Their docstrings, each starting with the text signature
// ("sign_prepared($self, prepared)\n--\n\n...").
extern const char signer_sign_wallet_prepared_doc[];
extern const char signer_sign_prepared_doc[];

}  // namespace vorn::py
