#include "AudioEngine/UnfairLock.hpp"

#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

namespace norvo {
namespace {

TEST(UnfairLock, ExcludesOtherThreads) {
    UnfairLock lock;
    int64_t counter = 0;  // deliberately not atomic: only the lock keeps it whole
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                std::lock_guard guard(lock);
                counter = counter + 1;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, 80000);
}

TEST(UnfairLock, TryLockFailsWhileHeld) {
    UnfairLock lock;
    ASSERT_TRUE(lock.try_lock());
    EXPECT_FALSE(lock.try_lock());
    lock.unlock();
    EXPECT_TRUE(lock.try_lock());
    lock.unlock();
}

}  // namespace
}  // namespace norvo
