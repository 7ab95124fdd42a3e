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
#include <span>
#include <utility>
#include <vector>

#include "convert.hpp"
#include "dicts.hpp"
#include "errors.hpp"
#include "results.hpp"
#include "pool/pool.hpp"

namespace vorn::py {

// A job's error on element i: its steps lead from the element. The first
// step of a one-item element is the item's place in its own orders action,
// which is the element itself.
inline void locate_element(vorn::Error& e, size_t i, bool one_item) {
    if (one_item && !e.where.empty() && e.where.back().field == nullptr) e.where.pop_back();
    e.where.push_back({nullptr, i});
}

// read(i) -> bool (false with the Python error set), job(i, nonce) ->
// Result<T> or a group job (pool.hpp) that locates its own errors with
// locate_element, wrap(i, T&&) -> new reference or nullptr with the error set.
// Returns the list, or nullptr with the first failure raised; no partial
// list is ever returned. A job's refusal is raised with the note naming its
// element of the argument `name` (errors.hpp); with `one_item` each element
// is one order, signed as an orders action of that order alone.
// max_group bounds a group job's groups (run_streamed).
template <class T, class Read, class Job, class Wrap>
PyObject* batch_to_list(const char* name, bool one_item, size_t n, std::optional<uint64_t> base_nonce, Read&& read,
                        Job&& job, Wrap&& wrap, size_t max_group = kMaxGroup) {
    PyRef list(PyList_New(static_cast<Py_ssize_t>(n)));
    if (!list) return nullptr;
    // Its slots stay empty until taken, while user code can run (a read's
    // conversions, a collection's callbacks): kept out of the collector's
    // sight, so that nothing can reach the list before it is full.
    PyObject_GC_UnTrack(list.get());
    auto take = [&](size_t i, T&& value) {
        PyObject* obj = wrap(i, std::move(value));
        if (obj == nullptr) return false;
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), obj);  // steals obj
        return true;
    };
    Result<BatchEnd> end = [&] {
        if constexpr (vorn::detail::kElementJob<T, Job>) {
            auto located_job = [&](size_t i, uint64_t nonce) {
                Result<T> r = job(i, nonce);
                if (!r) locate_element(r.error(), i, one_item);
                return r;
            };
            return run_streamed<T>(n, base_nonce, read, located_job, take);
        } else {
            return run_streamed<T>(n, base_nonce, read, job, take, max_group);
        }
    }();
    if (!end) return raise_item_error(end.error(), name);
    if (*end == BatchEnd::CallerFailed) return nullptr;
    PyObject_GC_Track(list.get());
    return list.release();
}

}  // namespace vorn::py
