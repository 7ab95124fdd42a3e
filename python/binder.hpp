// Binding of Python call arguments to named parameters.
//
// Every function and method of the module is registered with
// METH_FASTCALL | METH_KEYWORDS and starts by binding its arguments with
// bind_args. A parameter may be passed by position or by keyword; there are
// no positional-only, keyword-only or variadic parameters. The first
// `nrequired` parameters are required, the rest optional.
//
// Usage:
//
//   static const char* const kParams[] = {"order", "nonce"};
//   static const CallSignature kSig{"Signer.sign", kParams, 2, 1};
//
//   PyObject* sign(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
//       PyObject* a[2];
//       if (!bind_args(kSig, args, nargs, kwnames, a)) return nullptr;
//       // a[0] is the order (never null), a[1] is null when omitted or None.
//   }
//
// The objects written to `out` are borrowed references, valid for the
// duration of the call. An optional parameter that is omitted, or passed as
// None, is written as nullptr: None and omission are the same thing.
// Binding failures raise TypeError in the interpreter's usual wording:
//   "f() missing 1 required positional argument: 'x'"
//   "f() missing 2 required positional arguments: 'x' and 'y'"
//   "f() got an unexpected keyword argument 'y'"
//   "f() got multiple values for argument 'x'"
//   "f() takes 2 positional arguments but 3 were given"
//   "f() takes from 1 to 2 positional arguments but 3 were given"
// where f is CallSignature::name ("Signer.sign" for methods).
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace vorn::py {

struct CallSignature {
    const char* name;             // shown in messages, e.g. "sign" or "Signer.sign"
    const char* const* params;    // parameter names in order
    Py_ssize_t nparams;           // at most kMaxParams
    Py_ssize_t nrequired;         // the first nrequired parameters are required
};

inline constexpr Py_ssize_t kMaxParams = 16;

// Vectorcall form (METH_FASTCALL | METH_KEYWORDS). `out` has room for
// sig.nparams entries. Returns false with a TypeError set on failure.
bool bind_args(const CallSignature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
               PyObject** out);

// Tuple-and-dict form, for tp_new. Same rules and messages.
bool bind_tuple_args(const CallSignature& sig, PyObject* args, PyObject* kwargs, PyObject** out);

}  // namespace vorn::py
