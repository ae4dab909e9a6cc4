#include "AudioEngine/UnfairLock.hpp"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "AudioEngine/AudioCore.hpp"

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

TEST(UnfairLock, KnowsWhetherTheCallingThreadHoldsIt) {
    UnfairLock lock;
    EXPECT_FALSE(lock.isHeldByCurrentThread());
    std::lock_guard guard(lock);
    EXPECT_TRUE(lock.isHeldByCurrentThread());
    bool elsewhere = true;
    std::thread([&] { elsewhere = lock.isHeldByCurrentThread(); }).join();
    EXPECT_FALSE(elsewhere);
}

// Runs on one CPU at the given real-time priority (0: normal scheduling); false when the
// system refuses real-time priority.
// The priority comes first: a thread of normal priority moved onto a CPU that a
// real-time thread occupies would not run again to raise it.
bool placeThisThread(int cpu, int priority) {
    if (priority != 0) {
        sched_param parameters{};
        parameters.sched_priority = priority;
        if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters) != 0) return false;
    }
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return pthread_setaffinity_np(pthread_self(), sizeof set, &set) == 0;
}

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

template <typename Predicate>
void spinUntil(Predicate ready) {
    while (!ready()) std::this_thread::yield();
}

// A source whose first pull runs `whileHeld` (inside the core's lock, as every pull
// does); later pulls deliver silence at once.
class SlowFirstPull final : public SourceStream {
public:
    explicit SlowFirstPull(std::function<void()> whileHeld) : whileHeld_(std::move(whileHeld)) {}
    int pull(int frames, float* left, float* right) override {
        if (std::exchange(first_, false)) whileHeld_();
        std::fill_n(left, frames, 0.0f);
        std::fill_n(right, frames, 0.0f);
        return frames;
    }
    int64_t availableFrames() const override { return 0; }
    bool isDrained() const override { return false; }
    int64_t position() const override { return 0; }
    int64_t duration() const override { return 0; }
    void cancel() override {}

private:
    std::function<void()> whileHeld_;
    bool first_ = true;
};

// The render at real-time priority waits for the core's lock, held by a thread of normal
// priority, while a real-time thread of middling priority wants the same CPU. Without
// priority inheritance the holder never runs again until the middling thread gives up.
TEST(UnfairLock, ARealTimeRenderIsNotKeptWaitingByAMiddlingThread) {
    cpu_set_t allowed;
    ASSERT_EQ(pthread_getaffinity_np(pthread_self(), sizeof allowed, &allowed), 0);
    if (CPU_COUNT(&allowed) < 2) GTEST_SKIP() << "needs two CPUs";
    int cpu = 0;
    while (!CPU_ISSET(cpu, &allowed)) ++cpu;
    // This thread, and the threads it starts, stay off the contended CPU: there they
    // would starve as the holder does.
    cpu_set_t others = allowed;
    CPU_CLR(cpu, &others);
    ASSERT_EQ(pthread_setaffinity_np(pthread_self(), sizeof others, &others), 0);
    struct RestoreAffinity {
        cpu_set_t set;
        ~RestoreAffinity() { pthread_setaffinity_np(pthread_self(), sizeof set, &set); }
    } restore{allowed};

    std::vector<float> left(512), right(512);
    std::atomic<bool> held{false}, waiting{false}, spinning{false}, stop{false}, refused{false};
    std::atomic<double> waitedMs{-1.0};
    // The holder holds the core's lock from inside a render of its own.
    SlowFirstPull source([&] {
        held = true;
        spinUntil([&] { return waiting.load() || refused.load(); });
        // A short critical section: 2 ms of this thread's own CPU time.
        const double start = threadCpuSeconds();
        while (threadCpuSeconds() - start < 0.002) {
        }
    });
    AudioCore core;
    core.installSourceStream(&source, AudioCore::SourceState::playing);

    std::thread holder([&] {
        placeThisThread(cpu, 0);
        std::vector<float> holderLeft(512), holderRight(512);
        core.render(512, holderLeft.data(), holderRight.data());
    });
    spinUntil([&] { return held.load(); });

    std::thread middling([&] {
        if (!placeThisThread(cpu, 10)) {
            refused = true;
            return;
        }
        spinning = true;
        // Gives up after half a second at most, so a failing test still ends.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
        while (!stop.load() && std::chrono::steady_clock::now() < deadline) {
        }
    });
    spinUntil([&] { return spinning.load() || refused.load(); });

    std::thread render([&] {
        if (refused || !placeThisThread(cpu, 20)) {
            refused = true;
            return;
        }
        waiting = true;
        const auto start = std::chrono::steady_clock::now();
        core.render(512, left.data(), right.data());
        waitedMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        stop = true;
    });
    render.join();
    stop = true;
    middling.join();
    holder.join();

    if (refused) GTEST_SKIP() << "this system refuses real-time priority (SCHED_FIFO)";
    EXPECT_GE(waitedMs.load(), 0.0);
    EXPECT_LT(waitedMs.load(), 20.0) << "the render waited while a middling thread ran";
}

}  // namespace
}  // namespace norvo
