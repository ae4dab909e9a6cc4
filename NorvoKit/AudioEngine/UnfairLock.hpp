#pragma once
#include <pthread.h>

#include <atomic>

namespace norvo {

// The engine's non-recursive lock, taken by the render thread. A priority-inheriting
// mutex: while a real-time render thread waits for it, the holder runs at the render's
// priority, so no thread of middling priority can keep the render waiting. Uncontended
// locking stays in user space. Whoever holds it does no allocation, I/O or callouts.
class UnfairLock {
public:
    UnfairLock() noexcept;
    ~UnfairLock();
    UnfairLock(const UnfairLock&) = delete;
    UnfairLock& operator=(const UnfairLock&) = delete;

    void lock() noexcept;
    bool try_lock() noexcept;
    void unlock() noexcept;

    // For assertions and tests: whether the calling thread is the holder.
    bool isHeldByCurrentThread() const noexcept;

private:
    pthread_mutex_t mutex_;
    std::atomic<pthread_t> owner_{};
    std::atomic<bool> held_{false};
};

}  // namespace norvo
