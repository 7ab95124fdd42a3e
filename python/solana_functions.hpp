// Module functions for the Solana USDC deposit and withdrawal-intent
// instructions and transactions, in registration order:
// export_deposit_transaction, export_withdraw_intent_transaction,
// build_deposit_instruction, build_withdraw_intent_instruction.
// The table ends with a null sentinel; module.cpp registers its entries by
// name, in the module's registration order.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

extern PyMethodDef vorn_solana_methods[];
