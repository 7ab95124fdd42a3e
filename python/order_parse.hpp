// Order dicts to core order items. Parsing only reads the dict; trading
// rules are checked later by the core. Every function returns true, or
// false with the Python error set (ValueError with the module's messages,
// TypeError for a wrong Python type, OverflowError for integers out of
// range, ValueError with the core's text for bad base58).
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <vector>

#include "types/types.hpp"

namespace vorn::py {

// The simplified shape, a dict with a "type" key ("order", "cancel",
// "modify", "cancel_all", "stop"/"st", "take_profit"/"tp", "range"/"rng",
// "trailing_stop"/"trl", "trig", "on_fill"/"of"). Items nested more than
// 256 levels deep raise RecursionError.
bool parse_order_item(PyObject* order, vorn::OrderItem* out);

// A list (TypeError naming `argname` otherwise) of order dicts, each parsed
// with parse_order_item; the first failing element decides.
bool parse_order_list(PyObject* orders, const char* argname, std::vector<vorn::OrderItem>* out);

// compute_order_id_from_order: the simplified shape when "type" is present,
// else the compact API shape {"l"|"m"|"cx"|"mod"|"cxa": {...}}.
bool parse_compact_order(PyObject* order, vorn::OrderItem* out);

// py_prepare_order: parse_order_item, wrapped into an on-fill item when the
// dict carries an "on_fill" object with "actions".
bool parse_order_with_on_fill(PyObject* order, vorn::OrderItem* out);

}  // namespace vorn::py
