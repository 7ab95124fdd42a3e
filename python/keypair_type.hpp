// The Python class Keypair (keypair_type.cpp): wraps one core Keypair,
// immutable from Python. Other files see it only as an argument.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "types/keypair.hpp"

namespace vorn::py {

// A Keypair argument (arguments.hpp): TypeError naming the argument when obj
// is not a Keypair instance; otherwise the wrapped core keypair.
struct KeypairArg {
    const vorn::Keypair* value = nullptr;
    bool read(PyObject* obj, const char* name);
};

}  // namespace vorn::py
