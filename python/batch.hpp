// Batch calls that return a list: the batch driver (run_streamed) with the
// interpreter-side steps on the calling thread. Elements are converted from
// Python in read, the job runs on any thread and never touches Python, and
// wrap turns each finished value into its Python object, placed straight
// into the result list while the rest of the batch is still running.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

#include "convert.hpp"
#include "errors.hpp"
#include "sign/pool.hpp"

namespace vorn::py {

// read(i) -> bool (false with the Python error set), job(i, nonce) ->
// Result<T>, wrap(i, T&&) -> new reference or nullptr with the error set.
// Returns the list, or nullptr with the first failure raised; no partial
// list is ever returned.
template <class T, class Read, class Job, class Wrap>
PyObject* batch_to_list(size_t n, std::optional<uint64_t> base_nonce, Read&& read, Job&& job, Wrap&& wrap) {
    PyRef list(PyList_New(static_cast<Py_ssize_t>(n)));
    if (!list) return nullptr;
    // Its slots stay empty until taken, while user code can run (a read's
    // conversions, a collection's callbacks): kept out of the collector's
    // sight, so that nothing can reach the list before it is full.
    PyObject_GC_UnTrack(list.get());
    Result<BatchEnd> end = run_streamed<T>(n, base_nonce, read, job, [&](size_t i, T&& value) {
        PyObject* obj = wrap(i, std::move(value));
        if (obj == nullptr) return false;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), obj);  // steals obj
        return true;
    });
    if (!end) return raise_core_error(end.error());
    if (*end == BatchEnd::CallerFailed) return nullptr;
    PyObject_GC_Track(list.get());
    return list.release();
}

}  // namespace vorn::py
