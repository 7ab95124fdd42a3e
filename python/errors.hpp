// Mapping of core failures to Python exceptions. The one place where the
// module decides which exception a failure becomes.
//
//   vorn::Error          -> ValueError with Error::display() as its text;
//                           kind Internal -> the internal-fault exception
//                           (derives directly from BaseException, not from
//                           Exception) with the error's text
//   std::bad_alloc       -> MemoryError
//   other C++ exceptions -> the internal-fault exception with what()
//
// Every raise_ function sets the Python error and returns nullptr, so a call
// can end with `return raise_core_error(r.error());`.
//
// C++ exceptions must not cross into the interpreter. Every function and
// method body runs inside call_guarded, which catches them at the call
// boundary so that the module stays usable after, for example, an
// allocation failure:
//
//   static PyObject* py_f(PyObject*, PyObject* const* args, Py_ssize_t n, PyObject* kw) {
//       return call_guarded([&]() -> PyObject* { ... });
//   }
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <exception>
#include <new>
#include <string_view>
#include <type_traits>

#include "types/error.hpp"

namespace vorn::py {

// Creates the internal-fault class once; called from module initialisation.
// Returns false with the Python error set.
bool init_errors();

PyObject* raise_core_error(const vorn::Error& e);
PyObject* raise_fault_text(std::string_view text);

// ValueError / TypeError with a literal text of the module's own.
PyObject* raise_value_error(std::string_view text);
PyObject* raise_type_error(std::string_view text);

// The value of a core result handed to `convert`, which
// returns a new reference; or its failure raised.
template <class R, class F>
PyObject* convert_result(R&& r, F&& convert) {
    if (!r) return raise_core_error(r.error());
    return convert(*r);
}

// Maps the exception being handled (inside a catch block) to Python.
PyObject* raise_current_exception();

template <class F>
PyObject* call_guarded(F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return raise_current_exception();
    }
}

}  // namespace vorn::py
