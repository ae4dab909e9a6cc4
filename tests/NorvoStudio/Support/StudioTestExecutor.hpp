#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "Platform/ManualExecutor.hpp"

namespace norvo::test {

// The manual executor with a fake clock, which also lets a test wait (bounded) until a
// worker thread has posted its result, instead of sleeping.
class StudioTestExecutor final : public MainExecutor {
public:
    void post(std::function<void()> work) override {
        inner_.post(std::move(work));
        std::lock_guard lock(mutex_);
        ++posts_;
        posted_.notify_all();
    }
    CancelHandle postAfter(double seconds, std::function<void()> work) override {
        return inner_.postAfter(seconds, std::move(work));
    }
    double now() const override { return inner_.now(); }

    std::size_t runPending() { return inner_.runPending(); }
    void advance(double seconds) { inner_.advance(seconds); }
    std::size_t posts() {
        std::lock_guard lock(mutex_);
        return posts_;
    }
    // Blocks until more than `seen` posts have arrived; false after 10 s.
    bool waitForPostsAfter(std::size_t seen) {
        std::unique_lock lock(mutex_);
        return posted_.wait_for(lock, std::chrono::seconds(10), [&] { return posts_ > seen; });
    }

private:
    ManualExecutor inner_;
    std::mutex mutex_;
    std::condition_variable posted_;
    std::size_t posts_ = 0;
};

}  // namespace norvo::test
