// Other Python inputs to core values: builder codes, transfer kinds and the
// liquidator configuration. Each returns true, or false with the Python
// error set.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <optional>

#include "types/types.hpp"

namespace vorn::py {

// The "builder_code" value of an order; nullptr (absent) and None give no
// commission. Otherwise a dict with "to" (base58 text) and "fee" (u8), built
// with the core's commission constructor (fee 1..=15).
bool parse_builder_code(PyObject* value, std::optional<vorn::Commission>* out);

// The `kind` argument: nullptr/None gives internal, else exactly "internal"
// or "external" (ValueError "Invalid transfer kind: <kind>").
bool parse_transfer_kind(PyObject* kind, const char* argname, vorn::TransferKind* out);

// The `config` dict of a liquidator update. Numbers default to 0.0 and never
// fail; only a missing instrument "symbol" and wrong container types raise.
bool parse_liquidator_config(PyObject* config, const char* argname, vorn::LiquidatorConfig* out);

}  // namespace vorn::py
