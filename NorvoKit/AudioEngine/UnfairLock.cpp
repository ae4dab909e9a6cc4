#include "AudioEngine/UnfairLock.hpp"

#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace norvo {

void UnfairLock::lock() noexcept {
    for (int spins = 0;; ++spins) {
        if (!flag_.load(std::memory_order_relaxed) && !flag_.exchange(true, std::memory_order_acquire))
            return;
        if (spins < 64) {
#if defined(__x86_64__) || defined(__i386__)
            _mm_pause();
#endif
        } else {
            std::this_thread::yield();
        }
    }
}

}  // namespace norvo
