#pragma once
#include <cstddef>

namespace norvo::test {

// Counts the operator new and delete calls the current thread makes while the counter
// lives: a render that allocates or frees shows up here. (Linking this replaces the
// global operator new and delete of the test program with counting ones.)
class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    std::size_t allocations() const;
    std::size_t deallocations() const;
};

}  // namespace norvo::test
