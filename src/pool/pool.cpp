#include "pool/pool.hpp"

#include <pthread.h>
#include <tbb/global_control.h>

#include <mutex>
#include <new>

namespace vorn {

namespace {

// The pool and its scheduler, created on first use. A fork tears them down
// beforehand when no batch is running, so that parent and child both start
// from a clean scheduler and build a fresh pool on their next batch: a child
// forked from a live pool inherits its bookkeeping without its threads, and
// its next batch can wait forever for workers that do not exist.
struct PoolState {
    std::mutex mutex;  // guards arena and scheduler; held across a fork
    tbb::task_arena* arena = nullptr;
    tbb::task_scheduler_handle* scheduler = nullptr;
    std::atomic<int> in_flight{0};  // batches running on the arena
    bool fork_handlers = false;
};

// Deliberately never destroyed: batches may still run while the process
// winds down, and nothing needs tearing down before it ends.
PoolState& pool_state() {
    static PoolState* const state = new PoolState();
    return *state;
}

void before_fork() {
    PoolState& s = pool_state();
    s.mutex.lock();
    if (s.arena == nullptr || s.in_flight.load(std::memory_order_acquire) != 0) return;
    // No batch runs (they count themselves under the mutex): stop the pool
    // and wait until the scheduler's worker threads have exited.
    s.arena->terminate();
    (void)tbb::finalize(*s.scheduler, std::nothrow);
    delete s.arena;
    delete s.scheduler;
    s.arena = nullptr;
    s.scheduler = nullptr;
}

void after_fork_in_parent() { pool_state().mutex.unlock(); }

void after_fork_in_child() {
    PoolState& s = pool_state();
    // A pool still present was in use by another thread at the fork. Its
    // threads are gone and destroying it here is unsafe: abandon it (leak it
    // deliberately) and let the next batch create a fresh one.
    s.arena = nullptr;
    s.scheduler = nullptr;
    s.in_flight.store(0, std::memory_order_relaxed);
    s.mutex.unlock();
}

// The current pool, created when there is none. Caller holds the mutex.
tbb::task_arena* current_pool(PoolState& s) {
    if (!s.fork_handlers) {
        pthread_atfork(before_fork, after_fork_in_parent, after_fork_in_child);
        s.fork_handlers = true;
    }
    if (s.arena == nullptr) {
        s.scheduler = new tbb::task_scheduler_handle(tbb::attach{});
        auto* a = new tbb::task_arena();
        a->initialize();
        s.arena = a;
    }
    return s.arena;
}

}  // namespace

PoolBatch::PoolBatch() {
    PoolState& s = pool_state();
    std::lock_guard<std::mutex> lock(s.mutex);
    arena_ = current_pool(s);
    s.in_flight.fetch_add(1, std::memory_order_acq_rel);
}

PoolBatch::~PoolBatch() { pool_state().in_flight.fetch_sub(1, std::memory_order_acq_rel); }

}  // namespace vorn
