// The one process-wide worker pool, and the batch driver that signing and
// preparation batches share.
#pragma once
#include <tbb/task_arena.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "nonce/nonce.hpp"
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

// How a streamed batch ended when it returned no error: every result was
// taken, or a step of the caller (read or take) failed and the caller holds
// its own account of why.
enum class BatchEnd : uint8_t { Done, CallerFailed };

namespace detail {

inline void cpu_relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// What a late worker task may still touch once the batch has returned: kept
// alive by the tasks that hold it. A task enters before it looks at the
// batch and leaves when done; the batch closes before it returns and waits
// for the tasks inside, so a task that starts after the close leaves at once.
struct BatchGate {
    // Stored once the batch's state is built and loaded first by every
    // task, so that building it is ordered before the workers use it in the
    // memory model itself, not only by the scheduler's internal hand-off
    // (which race checkers cannot see into).
    std::atomic<bool> published{false};
    std::atomic<int> inside{0};
    std::atomic<bool> closed{false};
    std::atomic<size_t> loops{0};  // worker tasks enqueued and not yet finished

    bool enter() {
        inside.fetch_add(1, std::memory_order_seq_cst);
        if (!closed.load(std::memory_order_seq_cst)) return true;
        leave();
        return false;
    }
    void leave() {
        if (inside.fetch_sub(1, std::memory_order_acq_rel) == 1) inside.notify_all();
    }
    void close() {
        closed.store(true, std::memory_order_seq_cst);
        for (int n = inside.load(std::memory_order_acquire); n != 0; n = inside.load(std::memory_order_acquire))
            inside.wait(n, std::memory_order_acquire);
    }
};

// The shared part of one parallel batch: which elements may be claimed, the
// per-element completion flags and the first error.
template <class T>
struct StreamState {
    static constexpr uint32_t kPending = 0, kDone = 1, kFailed = 2;

    explicit StreamState(size_t n) : total(n), results(n), status(new std::atomic<uint32_t>[n]) {
        for (size_t i = 0; i < n; ++i) status[i].store(kPending, std::memory_order_relaxed);
    }

    const size_t total;
    std::vector<T> results;
    std::unique_ptr<std::atomic<uint32_t>[]> status;
    std::atomic<size_t> readable{0};  // elements read by the caller, published with release
    std::atomic<size_t> next{0};      // the next element to claim; claims go in index order
    std::atomic<bool> stop{false};    // set on any failure: nothing more is claimed
    uint64_t base = 0;                // written before the first element is published
    std::mutex error_mutex;
    size_t error_index = SIZE_MAX;
    std::optional<Error> error;
    std::exception_ptr exception;  // a job that threw, rethrown on the calling thread

    bool claimable() const {
        return !stop.load(std::memory_order_seq_cst) &&
               next.load(std::memory_order_seq_cst) < readable.load(std::memory_order_seq_cst);
    }

    // Spins briefly while the caller is still reading; true as soon as an
    // element can be claimed. A chunk takes the caller a few microseconds to
    // read, far less than waking a worker that has gone back to the pool.
    bool await_readable() const {
        for (int spin = 0; spin < 1024; ++spin) {
            if (claimable()) return true;
            if (stop.load(std::memory_order_relaxed) || readable.load(std::memory_order_relaxed) == total)
                return false;
            cpu_relax();
        }
        return false;
    }

    // Spins while element i's status is still `seen`; true once it changed.
    bool await_status(size_t i, uint32_t seen) const {
        for (int spin = 0; spin < 4096; ++spin) {
            if (status[i].load(std::memory_order_acquire) != seen) return true;
            cpu_relax();
        }
        return false;
    }

    // The next element that is read and unclaimed, unless the batch stopped.
    bool claim(size_t* i) {
        size_t cur = next.load(std::memory_order_relaxed);
        for (;;) {
            if (stop.load(std::memory_order_acquire)) return false;
            if (cur >= readable.load(std::memory_order_acquire)) return false;
            if (next.compare_exchange_weak(cur, cur + 1, std::memory_order_acq_rel)) {
                *i = cur;
                return true;
            }
        }
    }

    // Keeps the failure of the lowest failing element: claims go in index
    // order, so every lower element was claimed and finishes before the
    // batch returns, which makes it the first failure in input order.
    void record(size_t i, std::optional<Error> e, std::exception_ptr thrown) {
        std::lock_guard<std::mutex> lock(error_mutex);
        if (i < error_index) {
            error_index = i;
            error = std::move(e);
            exception = std::move(thrown);
        }
        stop.store(true, std::memory_order_release);
    }

    template <class Job>
    void run(size_t i, Job& job) {
        uint32_t outcome = kFailed;
        try {
            Result<T> r = job(i, base + static_cast<uint64_t>(i));
            if (r) {
                results[i] = std::move(*r);
                outcome = kDone;
            } else {
                record(i, std::move(r.error()), nullptr);
            }
        } catch (...) {
            // A worker cannot let an exception out of its task; it goes to
            // the calling thread instead.
            record(i, std::nullopt, std::current_exception());
        }
        status[i].store(outcome, std::memory_order_release);
        status[i].notify_all();
    }
};

// One worker task of a parallel batch: claims and runs elements until none
// is left to claim. Kept out of line so that the scheduler's task code and
// the batch's work stay separate frames.
template <class T, class Job>
[[gnu::noinline]] void worker_loop(BatchGate& gate, StreamState<T>& state, Job& job) {
    (void)gate.published.load(std::memory_order_acquire);
    if (!gate.enter()) {
        gate.loops.fetch_sub(1, std::memory_order_seq_cst);
        return;
    }
    for (;;) {
        size_t i;
        while (state.claim(&i)) state.run(i, job);
        // Caught up with the reading: wait a little for the next chunk
        // before giving the thread back to the pool.
        if (state.await_readable()) continue;
        gate.loops.fetch_sub(1, std::memory_order_seq_cst);
        // The caller publishes elements and then counts the workers: looking
        // again after leaving the count means elements published meanwhile
        // never lack a worker.
        if (!state.claimable()) break;
        gate.loops.fetch_add(1, std::memory_order_seq_cst);
    }
    gate.leave();
}

// On every way out of a parallel batch, exceptions included: nothing more
// is claimed, and the batch waits for the workers inside it.
template <class T>
struct BatchCloser {
    StreamState<T>& state;
    BatchGate& gate;
    ~BatchCloser() {
        state.stop.store(true, std::memory_order_release);
        gate.close();
    }
};

}  // namespace detail

// The batch driver. Element i goes through three steps:
//
//   read(i) -> bool              on the calling thread, in index order: makes
//                                element i ready for its job (converting it
//                                from the caller's form, say)
//   job(i, nonce) -> Result<T>   on any thread, once read(i) has returned;
//                                nonce is base + i (wrapping)
//   take(i, T&&) -> bool         on the calling thread, in index order, with
//                                the job's value
//
// A read or take that returns false ends the batch as BatchEnd::CallerFailed.
// Otherwise a failing job's error is returned, and among several the one of
// the lowest element, the first in input order; takes stop at the first
// failure, so a caller that builds its list in take hands out no partial
// list. Every element is read even after a job has failed, so a failing read
// wins over any job's error. The base is the caller's or, when none is given,
// one reserved timestamp range base .. base + n - 1, so that no later
// timestamp nonce repeats one of the batch. An empty batch draws no nonce.
//
// Below kParallelThreshold elements everything runs here: all reads, then
// the base, then the jobs in order up to the first failure, then the takes.
// From the threshold on the elements are read in chunks; the base is drawn
// after the first chunk, which is then handed to the pool at once. While the
// calling thread reads further chunks, the workers (one fewer than the
// pool's size) claim read elements in index order; once everything is read,
// the calling thread takes the results in order as they finish and, whenever
// none is waiting, claims elements too. So the caller's own work (reading and
// taking) overlaps with the jobs. A worker that catches up with the reading
// spins briefly for the next chunk and otherwise ends (the next chunk starts
// a new one): workers never block on the caller, so a batch started from
// inside another batch's read (user code run by a conversion) cannot
// deadlock.
//
// job must be safe to call from several threads at once; read and take are
// only called from the calling thread.
template <class T, class Read, class Job, class Take>
Result<BatchEnd> run_streamed(size_t n, std::optional<uint64_t> base_nonce, Read&& read, Job&& job, Take&& take) {
    if (n == 0) return BatchEnd::Done;
    if (n < kParallelThreshold) {
        for (size_t i = 0; i < n; ++i)
            if (!read(i)) return BatchEnd::CallerFailed;
        auto base = batch_base_nonce(base_nonce, n);
        if (!base) return fail(std::move(base.error()));
        std::vector<T> results(n);
        for (size_t i = 0; i < n; ++i) {
            Result<T> r = job(i, *base + static_cast<uint64_t>(i));
            if (!r) return fail(std::move(r.error()));
            results[i] = std::move(*r);
        }
        for (size_t i = 0; i < n; ++i)
            if (!take(i, std::move(results[i]))) return BatchEnd::CallerFailed;
        return BatchEnd::Done;
    }

    constexpr size_t kChunk = 8;
    using State = detail::StreamState<T>;
    State state(n);
    auto gate = std::make_shared<detail::BatchGate>();
    gate->published.store(true, std::memory_order_release);
    PoolBatch batch;
    const size_t workers = static_cast<size_t>(std::max(batch.arena().max_concurrency(), 1) - 1);
    std::optional<detail::BatchCloser<T>> closer(std::in_place, state, *gate);

    // Starts worker tasks up to the pool's size. A task that starts after
    // the batch has closed touches nothing but the gate.
    auto start_workers = [&] {
        while (gate->loops.load(std::memory_order_seq_cst) < workers) {
            gate->loops.fetch_add(1, std::memory_order_seq_cst);
            batch.arena().enqueue([gate, &state, &job] { detail::worker_loop(*gate, state, job); });
        }
    };

    bool caller_failed = false;
    size_t taken = 0;
    // Takes the finished results that are next in order.
    auto take_finished = [&] {
        while (taken < n && state.status[taken].load(std::memory_order_acquire) == State::kDone) {
            if (!take(taken, std::move(state.results[taken]))) return false;
            ++taken;
        }
        return true;
    };

    // Waking a pool thread takes tens of microseconds: the workers start
    // now and wait (spinning briefly) for the first chunk.
    start_workers();
    bool based = false;
    for (size_t read_count = 0; read_count < n && !caller_failed;) {
        const size_t end = std::min(n, read_count + kChunk);
        for (; read_count < end; ++read_count) {
            if (!read(read_count)) {
                caller_failed = true;
                break;
            }
        }
        if (caller_failed) break;
        if (!based) {
            based = true;
            auto base = batch_base_nonce(base_nonce, n);
            if (!base) {
                state.record(0, std::move(base.error()), nullptr);
                continue;  // the remaining reads may still fail, and win
            }
            state.base = *base;
        }
        if (state.stop.load(std::memory_order_acquire)) continue;
        state.readable.store(read_count, std::memory_order_seq_cst);
        start_workers();
    }

    // Everything is read: take results as they finish, and claim elements
    // here whenever none is waiting.
    while (!caller_failed && taken < n && !state.stop.load(std::memory_order_acquire)) {
        const uint32_t status = state.status[taken].load(std::memory_order_acquire);
        if (status == State::kDone) {
            if (!take_finished()) caller_failed = true;
            continue;
        }
        if (status == State::kFailed) break;
        size_t i;
        if (state.claim(&i)) {
            state.run(i, job);
            continue;
        }
        // Every element is claimed and the next one is still running: spin
        // for it first (a job takes microseconds, waking a blocked thread
        // takes about as long), then block.
        if (!state.await_status(taken, status)) state.status[taken].wait(status, std::memory_order_acquire);
    }
    closer.reset();  // stop, and wait for the workers still inside

    if (caller_failed) return BatchEnd::CallerFailed;
    std::lock_guard<std::mutex> lock(state.error_mutex);
    if (state.exception) std::rethrow_exception(state.exception);
    if (state.error) return fail(std::move(*state.error));
    return BatchEnd::Done;
}

// run_streamed over a vector: element i of items becomes unit(std::move(items[i]),
// base + i), and the values come back in input order, or one error and
// nothing else (the first failing element's).
template <class T, class Item, class Unit>
Result<std::vector<T>> run_nonce_batch(std::vector<Item>& items, std::optional<uint64_t> base_nonce, Unit&& unit) {
    std::vector<T> out(items.size());
    auto end = run_streamed<T>(
        items.size(), base_nonce, [](size_t) { return true; },
        [&](size_t i, uint64_t nonce) { return unit(std::move(items[i]), nonce); },
        [&](size_t i, T&& value) {
            out[i] = std::move(value);
            return true;
        });
    if (!end) return fail(std::move(end.error()));
    return out;
}

}  // namespace vorn
