// Module functions of the external-wallet flows, in registration order:
// prepare_wallet_message, finalize_wallet_message and py_finalize_transaction
// (the py_prepare_ functions are in prepare_functions.hpp).
// The table ends with a null sentinel; module.cpp registers its entries by
// name, in the module's registration order.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

extern PyMethodDef vorn_wallet_methods[];
