// The one process-wide worker pool, and the indexed batch runner that signing
// and preparation batches share.
#pragma once
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "error.hpp"

namespace vorn {

// Batches of this many elements or more go to the pool; smaller ones run on
// the calling thread.
inline constexpr size_t kParallelThreshold = 10;

// Created on first use with the library's default size (one worker per
// logical processor) and never torn down.
tbb::task_arena& worker_pool();

// Runs job(i) -> Result<T> for every i in [0, n) and returns the values in
// index order, or one error and nothing else.
//
// Below the threshold the jobs run here, in order, and the first failure
// ends the batch. From the threshold on they run on the pool: each worker
// takes contiguous runs of indices, writes into its own slots of a pre-sized
// vector, and after a failure the first error is kept (under a mutex) and a
// stop flag keeps workers from starting further elements. Which error wins
// when several elements fail is not fixed.
//
// job must be safe to call from several threads at once.
template <class T, class Job>
Result<std::vector<T>> run_indexed(size_t n, Job&& job) {
    std::vector<T> out(n);
    if (n < kParallelThreshold) {
        for (size_t i = 0; i < n; ++i) {
            Result<T> r = job(i);
            if (!r) return fail(std::move(r.error()));
            out[i] = std::move(*r);
        }
        return out;
    }

    std::atomic<bool> stop{false};
    std::mutex first_error_mutex;
    std::optional<Error> first_error;
    worker_pool().execute([&] {
        tbb::parallel_for(tbb::blocked_range<size_t>(0, n), [&](const tbb::blocked_range<size_t>& range) {
            for (size_t i = range.begin(); i != range.end(); ++i) {
                if (stop.load(std::memory_order_acquire)) return;
                Result<T> r = job(i);
                if (!r) {
                    std::lock_guard<std::mutex> lock(first_error_mutex);
                    if (!first_error) first_error = std::move(r.error());
                    stop.store(true, std::memory_order_release);
                    return;
                }
                out[i] = std::move(*r);
            }
        });
    });

    std::lock_guard<std::mutex> lock(first_error_mutex);
    if (first_error) return fail(std::move(*first_error));
    return out;
}

}  // namespace vorn
