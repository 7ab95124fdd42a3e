// Module functions of the signing surface: random_hash, current_timestamp,
// validate_pubkey, validate_hash, compute_order_id and
// compute_order_id_from_order. Null-terminated; registered by name from
// module.cpp.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

extern PyMethodDef vorn_signing_methods[];
