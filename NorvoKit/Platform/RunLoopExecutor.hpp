#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "Platform/MainExecutor.hpp"

namespace norvo {

// A real-time main loop on the thread that runs it: for end-to-end tests and tools
// that have no GUI event loop. Work posted from other threads runs inside run*().
class RunLoopExecutor final : public MainExecutor {
public:
    void post(std::function<void()> work) override;
    CancelHandle postAfter(double seconds, std::function<void()> work) override;
    double now() const override;

    // Runs work until `seconds` of real time have passed.
    void runFor(double seconds);
    // Runs work until the predicate holds (checked after each job and at least every
    // 5 ms) or `maximumSeconds` pass; returns whether the predicate held.
    bool runUntil(const std::function<bool()>& predicate, double maximumSeconds);

private:
    struct Timed {
        double due;
        uint64_t order;
        CancelHandle handle;
        std::function<void()> work;
    };
    bool runOne(double deadline);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::function<void()>> posted_;
    std::vector<Timed> timed_;
    uint64_t order_ = 0;
    std::chrono::steady_clock::time_point epoch_ = std::chrono::steady_clock::now();
};

}  // namespace norvo
