// The thirteen py_prepare_ module functions: each builds one action (or, for
// py_prepare_all_orders, one per order) for an account without a private key
// and returns the prepared-message dict an external wallet signs. The table
// lists them in registration order with their docstrings (each starting with
// its text signature) and ends with a null sentinel; module.cpp registers its
// entries by name.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

extern PyMethodDef vorn_prepare_methods[];
