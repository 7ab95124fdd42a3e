// The Python class Keypair: wraps one core Keypair, immutable from Python.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "types/keypair.hpp"

namespace vorn::py {

// Creates the heap type (once; later calls return it again). Returns a new
// reference, or nullptr with the internal-fault exception set.
PyObject* create_keypair_type();

// True when obj is a Keypair instance.
bool is_keypair(PyObject* obj);
// The wrapped core keypair of a Keypair instance.
const vorn::Keypair& keypair_of(PyObject* obj);

// A Keypair argument: TypeError naming the argument when obj is not one.
bool to_keypair(PyObject* obj, const char* argname, const vorn::Keypair** out);

}  // namespace vorn::py
