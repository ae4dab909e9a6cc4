#include "Support/AllocationCounter.hpp"

#include <cstdlib>
#include <new>

namespace {

struct Counts {
    bool active = false;
    std::size_t allocations = 0;
    std::size_t deallocations = 0;
};

thread_local Counts counts;

void* allocate(std::size_t size, std::size_t alignment = 0) {
    if (counts.active) ++counts.allocations;
    if (size == 0) size = 1;
    void* memory = nullptr;
    if (alignment > alignof(std::max_align_t)) {
        if (posix_memalign(&memory, alignment, size) != 0) memory = nullptr;
    } else {
        memory = std::malloc(size);
    }
    return memory;
}

void release(void* memory) {
    if (!memory) return;
    if (counts.active) ++counts.deallocations;
    std::free(memory);
}

void* allocateOrThrow(std::size_t size, std::size_t alignment = 0) {
    if (void* memory = allocate(size, alignment)) return memory;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }
void* operator new(std::size_t size, std::align_val_t a) { return allocateOrThrow(size, std::size_t(a)); }
void* operator new[](std::size_t size, std::align_val_t a) { return allocateOrThrow(size, std::size_t(a)); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocate(size, std::size_t(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocate(size, std::size_t(a));
}
void operator delete(void* memory) noexcept { release(memory); }
void operator delete[](void* memory) noexcept { release(memory); }
void operator delete(void* memory, std::size_t) noexcept { release(memory); }
void operator delete[](void* memory, std::size_t) noexcept { release(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { release(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { release(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { release(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept { release(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { release(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { release(memory); }
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept { release(memory); }
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept { release(memory); }

namespace norvo::test {

AllocationCounter::AllocationCounter() { counts = Counts{.active = true}; }
AllocationCounter::~AllocationCounter() { counts.active = false; }
std::size_t AllocationCounter::allocations() const { return counts.allocations; }
std::size_t AllocationCounter::deallocations() const { return counts.deallocations; }

}  // namespace norvo::test
