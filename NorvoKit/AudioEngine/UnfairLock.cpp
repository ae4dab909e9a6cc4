#include "AudioEngine/UnfairLock.hpp"

#include <cstdlib>

namespace norvo {

UnfairLock::UnfairLock() noexcept {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT);
    // Without it the engine has no sound lock for the render: there is no going on.
    if (pthread_mutex_init(&mutex_, &attributes) != 0) std::abort();
    pthread_mutexattr_destroy(&attributes);
}

UnfairLock::~UnfairLock() { pthread_mutex_destroy(&mutex_); }

void UnfairLock::lock() noexcept {
    pthread_mutex_lock(&mutex_);
    owner_.store(pthread_self(), std::memory_order_relaxed);
    held_.store(true, std::memory_order_relaxed);
}

bool UnfairLock::try_lock() noexcept {
    if (pthread_mutex_trylock(&mutex_) != 0) return false;
    owner_.store(pthread_self(), std::memory_order_relaxed);
    held_.store(true, std::memory_order_relaxed);
    return true;
}

void UnfairLock::unlock() noexcept {
    held_.store(false, std::memory_order_relaxed);
    pthread_mutex_unlock(&mutex_);
}

bool UnfairLock::isHeldByCurrentThread() const noexcept {
    // Only the holder itself can see both fields as its own, so relaxed reads suffice.
    return held_.load(std::memory_order_relaxed) &&
           pthread_equal(owner_.load(std::memory_order_relaxed), pthread_self());
}

}  // namespace norvo
