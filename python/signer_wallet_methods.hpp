// The two Signer methods that sign external-wallet records with the signer's
// own key: sign_wallet_prepared(wallet) and sign_prepared(prepared). Both
// borrow the signer shared (SharedBorrow of signer_type.hpp) and return the
// signed-transaction dict. signer_type.cpp puts them into the Signer method
// table at their place in the class.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace vorn::py {

// Their entries of the Signer method table, with their docstrings (each
// starting with its text signature, "sign_prepared($self, prepared)\n--\n\n...").
PyMethodDef sign_wallet_prepared_method();
PyMethodDef sign_prepared_method();

}  // namespace vorn::py
