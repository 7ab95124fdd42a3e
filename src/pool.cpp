#include "pool.hpp"

namespace vorn {

tbb::task_arena& worker_pool() {
    // Deliberately never destroyed: batches may still run while the process
    // winds down, and nothing needs tearing down before it ends.
    static tbb::task_arena* const arena = [] {
        auto* a = new tbb::task_arena();
        a->initialize();
        return a;
    }();
    return *arena;
}

}  // namespace vorn
