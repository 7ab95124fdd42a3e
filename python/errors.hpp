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

#include <cstddef>
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

// ---- where in an input the failure is ----
//
// When a call fails on one element of its input, the exception keeps its
// type and message and gains a note (BaseException.add_note) naming where:
// "in orders[37], key 'price'", "in batches[3][1]", "in orders[2].actions[1]".
// Nothing of it runs unless a call is failing: each level of a reader that
// sees a failure records its step while the failure unwinds (innermost
// first), and the outermost reader, which knows the argument's name, turns
// the steps into the note once.

// Records a step of the failure being raised and returns false, so that a
// reader can end with `return read(...) || fail_at_key("price");`.
// fail_at_key: the value under this key of a dict failed to convert.
// fail_at_index: element i of a list failed.
bool fail_at_key(const char* key);
bool fail_at_index(size_t i);

// The outermost readers: the steps recorded so far (cleared here) become the
// note of the exception being raised, "in <name>" followed by them. A list
// element (fail_in_element) always gets its note; a single value
// (fail_in_value) only when a step was recorded inside it. Return false.
bool fail_in_element(const char* name, size_t i);
bool fail_in_value(const char* name);

// raise_core_error, and for a refusal of one item (Error::where) the note
// naming it under `name`, the argument holding the items.
PyObject* raise_item_error(const vorn::Error& e, const char* name);

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
