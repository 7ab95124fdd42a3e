// The one process-wide worker pool, and the batch driver that signing and
// preparation batches share.
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

#include "sign/nonce.hpp"
#include "types/error.hpp"

namespace vorn {

// Batches of this many elements or more go to the pool; smaller ones run on
// the calling thread.
inline constexpr size_t kParallelThreshold = 10;

// One batch running on the process-wide worker pool. The pool is created on
// first use with the library's default size (one worker per logical
// processor) and never torn down while the process runs, except around a
// fork when no batch is running: both sides then build a fresh pool on their
// next batch. It stays in place for the batch's lifetime, also when another
// thread forks meanwhile; holding the arena only through a PoolBatch keeps a
// fork from removing it under a caller.
class PoolBatch {
public:
    PoolBatch();
    ~PoolBatch();
    PoolBatch(const PoolBatch&) = delete;
    PoolBatch& operator=(const PoolBatch&) = delete;
    tbb::task_arena& arena() const { return *arena_; }

private:
    tbb::task_arena* arena_ = nullptr;
};

namespace detail {

// Shared by the workers of one parallel batch.
struct BatchState {
    // Stored before the batch starts and loaded by every run of indices, so
    // the inputs written before the batch are ordered before the workers read
    // them in the memory model itself, not only by the scheduler's internal
    // hand-off (which race checkers cannot see into).
    std::atomic<bool> published{false};
    // Every run of indices adds to it when done; the caller reads it after
    // the batch, ordering the workers' result writes before its reads.
    std::atomic<size_t> runs_done{0};
    std::atomic<bool> stop{false};
    std::mutex first_error_mutex;
    std::optional<Error> first_error;
};

// One contiguous run of indices, in order. Kept out of line so that the
// scheduler's own task code and the batch's work stay separate frames.
template <class T, class Job>
[[gnu::noinline]] void run_indices(size_t begin, size_t end, Job& job, std::vector<T>& out, BatchState& state) {
    (void)state.published.load(std::memory_order_acquire);
    for (size_t i = begin; i != end; ++i) {
        if (state.stop.load(std::memory_order_acquire)) break;
        Result<T> r = job(i);
        if (!r) {
            std::lock_guard<std::mutex> lock(state.first_error_mutex);
            if (!state.first_error) state.first_error = std::move(r.error());
            state.stop.store(true, std::memory_order_release);
            break;
        }
        out[i] = std::move(*r);
    }
    state.runs_done.fetch_add(1, std::memory_order_acq_rel);
}

}  // namespace detail

// Runs job(i) -> Result<T> for every i in [0, n) and returns the values in
// index order, or one error and nothing else.
//
// Below the threshold the jobs run here, in order, and the first failure
// ends the batch. From the threshold on they run on the pool: the index range
// is split among the workers (work stealing), each worker takes contiguous
// runs of indices and writes into its own slots of a pre-sized vector; after
// a failure the first error is kept (under a mutex) and a stop flag keeps
// workers from starting further elements. Which error wins when several
// elements fail is not fixed.
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

    detail::BatchState state;
    state.published.store(true, std::memory_order_release);
    PoolBatch batch;
    batch.arena().execute([&] {
        tbb::parallel_for(tbb::blocked_range<size_t>(0, n), [&](const tbb::blocked_range<size_t>& range) {
            detail::run_indices(range.begin(), range.end(), job, out, state);
        });
    });
    (void)state.runs_done.load(std::memory_order_acquire);

    std::lock_guard<std::mutex> lock(state.first_error_mutex);
    if (state.first_error) return fail(std::move(*state.first_error));
    return out;
}

// The batch driver: element i of items becomes unit(std::move(items[i]),
// base + i) (wrapping), the base being the caller's or, when none is given,
// one reserved timestamp range base .. base + n - 1, so that no later
// timestamp nonce repeats one of the batch. An empty batch returns an empty
// list and draws no nonce. The units run as run_indexed runs its jobs:
// results in input order, or one error and nothing else.
template <class T, class Item, class Unit>
Result<std::vector<T>> run_nonce_batch(std::vector<Item>& items, std::optional<uint64_t> base_nonce, Unit&& unit) {
    if (items.empty()) return std::vector<T>{};
    auto base = batch_base_nonce(base_nonce, items.size());
    if (!base) return fail(std::move(base.error()));
    const uint64_t first = *base;
    // Each index is taken by exactly one job, so its item can be moved out.
    return run_indexed<T>(items.size(),
                          [&](size_t i) { return unit(std::move(items[i]), first + static_cast<uint64_t>(i)); });
}

}  // namespace vorn
