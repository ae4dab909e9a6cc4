#pragma once
#include <atomic>

namespace norvo {

// The engine's non-recursive lock. A spin-then-yield lock: every critical section
// it guards is short and bounded, and it never calls into the kernel while free,
// so the render thread does not wait on a sleeping owner's wake-up.
class UnfairLock {
public:
    UnfairLock() = default;
    UnfairLock(const UnfairLock&) = delete;
    UnfairLock& operator=(const UnfairLock&) = delete;

    void lock() noexcept;
    bool try_lock() noexcept { return !flag_.exchange(true, std::memory_order_acquire); }
    void unlock() noexcept { flag_.store(false, std::memory_order_release); }

private:
    std::atomic<bool> flag_{false};
};

}  // namespace norvo
