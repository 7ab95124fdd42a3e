// The batch driver's branches, each reached deterministically: a worker's
// loop run on the test thread with a spin hook that publishes the next chunk
// at a chosen moment, a task that starts after its batch closed, groups on
// both sides of the pool, and the first failure in input order.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "pool/pool.hpp"

using namespace vorn;

namespace {

// A worker's view of a batch of n elements of which `readable` are read.
struct Worker {
    detail::BatchGate gate;
    detail::StreamState<uint64_t> state;
    std::vector<size_t> groups;  // first element of every group run, in order
    size_t relaxes = 0;

    Worker(size_t n, size_t readable, size_t group) : state(n, group) {
        state.readable.store(readable);
        state.base = 100;
        gate.loops.store(1);
    }
    // Runs the worker loop; the spin hook publishes `then` elements at its
    // call number `at`.
    void run(size_t at = 0, size_t then = 0) {
        auto job = [&](size_t first, std::span<uint64_t> out, uint64_t nonce) -> Status {
            groups.push_back(first);
            for (size_t k = 0; k < out.size(); ++k) out[k] = nonce + k;
            return {};
        };
        detail::worker_loop(gate, state, job, [&] {
            if (++relaxes == at) state.readable.store(then);
        });
    }
};

}  // namespace

TEST(Driver, AWorkerSpinsForTheNextChunkOrLeaves) {
    struct Case {
        size_t at, then;                  // publish `then` read elements at spin `at` (0: never)
        std::vector<size_t> groups;
        size_t relaxes;
    };
    const Case cases[] = {
        {0, 0, {0}, 1024},               // caught up with the reading: spins, then leaves
        {1, 19, {0, 3, 11}, 1 + 1024},   // the next chunk comes while it spins
        {1024, 19, {0, 3, 11}, 2048},    // ... just after it gave up: it looks again and stays
        {1, 30, {0, 3, 11, 19, 27}, 1},  // everything read: it runs to the end at once
    };
    for (const Case& c : cases) {
        Worker w(30, 3, 8);
        w.run(c.at, c.then);
        EXPECT_EQ(w.groups, c.groups) << c.at;
        EXPECT_EQ(w.relaxes, c.relaxes) << c.at;
        EXPECT_EQ(w.gate.loops.load(), 0u);
        EXPECT_EQ(w.gate.inside.load(), 0);
        for (size_t i = 0; i < w.state.next; ++i) EXPECT_EQ(w.state.results[i], 100 + i);
    }
}

TEST(Driver, ALateTaskTouchesNothingButTheGate) {
    Worker w(30, 30, 8);
    w.gate.close();
    w.run();
    EXPECT_TRUE(w.groups.empty());
    EXPECT_EQ(w.state.next.load(), 0u);
    EXPECT_EQ(w.gate.loops.load(), 0u);
    // A stopped batch hands out nothing either.
    Worker stopped(30, 30, 8);
    stopped.state.stop.store(true);
    stopped.run();
    EXPECT_TRUE(stopped.groups.empty());
}

namespace {

// A whole batch with a group job: the groups it was given (first, size) and
// how it ended.
struct GroupRun {
    std::vector<std::pair<size_t, size_t>> groups;
    std::string end;
    std::vector<uint64_t> values;
};

GroupRun run_group_batch(size_t n, size_t fail_at = SIZE_MAX, size_t throw_at = SIZE_MAX) {
    GroupRun out;
    std::mutex m;
    auto r = run_streamed<uint64_t>(
        n, uint64_t{1000}, [](size_t) { return true; },
        [&](size_t first, std::span<uint64_t> values, uint64_t nonce) -> Status {
            {
                std::lock_guard<std::mutex> lock(m);
                out.groups.emplace_back(first, values.size());
            }
            for (size_t k = 0; k < values.size(); ++k) {
                if (first + k == throw_at) throw std::runtime_error("thrown");
                if (first + k == fail_at) return fail(Error::invalid_order("element " + std::to_string(first + k)));
                values[k] = nonce + k;
            }
            return {};
        },
        [&](size_t, uint64_t&& v) {
            out.values.push_back(v);
            return true;
        });
    out.end = !r ? r.error().display() : "done";
    std::sort(out.groups.begin(), out.groups.end());
    return out;
}

}  // namespace

TEST(Driver, GroupJobsGetContiguousGroupsOfAtMostEight) {
    for (size_t n : {1u, 8u, 9u, 10u, 17u, 100u}) {
        const GroupRun r = run_group_batch(n);
        ASSERT_EQ(r.end, "done");
        size_t next = 0;
        for (auto [first, size] : r.groups) {
            EXPECT_TRUE(first == next && size >= 1 && size <= kMaxGroup) << n << ": " << first << "+" << size;
            next = first + size;
        }
        EXPECT_EQ(next, n);
        ASSERT_EQ(r.values.size(), n);
        for (size_t i = 0; i < n; ++i) EXPECT_EQ(r.values[i], 1000 + i);
        if (n < kParallelThreshold) {
            EXPECT_EQ(r.groups.size(), (n + 7) / 8);  // 8, then the rest
        }
    }
}

TEST(Driver, AFailingOrThrowingGroupEndsTheBatch) {
    // The first failing element's error, on the calling thread and on the pool.
    EXPECT_EQ(run_group_batch(9, 8).end, "invalid order: element 8");
    EXPECT_EQ(run_group_batch(100, 42).end, "invalid order: element 42");
    EXPECT_TRUE(run_group_batch(100, 42).values.size() <= 40);
    EXPECT_THROW(run_group_batch(5, SIZE_MAX, 3), std::runtime_error);
    EXPECT_THROW(run_group_batch(100, SIZE_MAX, 77), std::runtime_error);
    // A group job running a batch of its own (nested on a worker or here).
    std::atomic<int> inner_done{0};
    auto r = run_streamed<int>(
        20, uint64_t{1}, [](size_t) { return true; },
        [&](size_t, std::span<int> out, uint64_t) -> Status {
            if (run_group_batch(12).end == "done") inner_done.fetch_add(1);
            for (int& v : out) v = 1;
            return {};
        },
        [](size_t, int&&) { return true; });
    ASSERT_TRUE(r);
    EXPECT_GE(inner_done.load(), 3);  // 20 elements: at least three groups
}
