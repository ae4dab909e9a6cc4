#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "Platform/ManualExecutor.hpp"

namespace norvo::test {

// A manual executor that lets the test block until background work has posted its
// results, instead of sleeping. Timed work runs only when the test advances the clock.
class WaitableExecutor final : public MainExecutor {
public:
    void post(std::function<void()> work) override {
        // Counted as it is handed over: a test that runs the work must find it counted.
        std::lock_guard lock(mutex_);
        ++posts_;
        inner_.post(std::move(work));
        posted_.notify_all();
    }
    CancelHandle postAfter(double seconds, std::function<void()> work) override {
        return inner_.postAfter(seconds, std::move(work));
    }
    double now() const override { return inner_.now(); }
    void advance(double seconds) { inner_.advance(seconds); }

    std::size_t runPending() { return inner_.runPending(); }
    // Runs posted work as it arrives until `done()` holds; false when it still does not
    // after 10 s. `done()` may also become true through a worker that posts nothing, so
    // it is checked again at least every few milliseconds.
    template <typename Predicate>
    bool runUntil(Predicate done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            inner_.runPending();
            if (done()) return true;
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::unique_lock lock(mutex_);
            posted_.wait_for(lock, std::chrono::milliseconds(2), [&] { return inner_.pendingCount() > 0; });
        }
    }
    std::size_t posts() {
        std::lock_guard lock(mutex_);
        return posts_;
    }
    // Blocks until `count` posts have arrived in all; false after 10 s.
    bool waitForPosts(std::size_t count) {
        std::unique_lock lock(mutex_);
        return posted_.wait_for(lock, std::chrono::seconds(10), [&] { return posts_ >= count; });
    }

private:
    ManualExecutor inner_;
    std::mutex mutex_;
    std::condition_variable posted_;
    std::size_t posts_ = 0;
};

}  // namespace norvo::test
