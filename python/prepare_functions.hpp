// The thirteen py_prepare_ module functions: each builds one action (or, for
// py_prepare_all_orders, one per order) for an account without a private key
// and returns the prepared-message dict an external wallet signs. All are
// METH_FASTCALL | METH_KEYWORDS; wallet_functions.cpp lists them in the
// module's table with the docstrings declared here (each starts with its
// text signature).
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace vorn::py {

PyObject* py_prepare_order(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_prepare_all_orders(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_prepare_order_group(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_prepare_agent_wallet_auth(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_prepare_approve_builder_code(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_prepare_update_liquidator_config(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_prepare_approve_commission_fee(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_prepare_revoke_builder_code(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_prepare_revoke_commission_fee(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_prepare_faucet_request(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_prepare_create_sub_account(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_prepare_remove_sub_account(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_prepare_transfer(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

extern const char py_prepare_order_doc[];
extern const char py_prepare_all_orders_doc[];
extern const char py_prepare_order_group_doc[];
extern const char py_prepare_agent_wallet_auth_doc[];
extern const char py_prepare_approve_builder_code_doc[];
extern const char py_prepare_update_liquidator_config_doc[];
extern const char py_prepare_approve_commission_fee_doc[];
extern const char py_prepare_revoke_builder_code_doc[];
extern const char py_prepare_revoke_commission_fee_doc[];
extern const char py_prepare_faucet_request_doc[];
extern const char py_prepare_create_sub_account_doc[];
extern const char py_prepare_remove_sub_account_doc[];
extern const char py_prepare_transfer_doc[];

}  // namespace vorn::py
