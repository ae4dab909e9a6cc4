#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace norvo {

// Monotonic time for the outputs that keep time without a device, and their waits.
// Injectable, so that tests move time by hand and nothing sleeps.
class OutputClock {
public:
    using Time = std::chrono::nanoseconds;  // since the clock's own start

    virtual ~OutputClock() = default;

    // Safe on a real-time thread: reads the clock and nothing else.
    virtual Time now() const = 0;
    // Waits on `wake` (with `lock` held, as std::condition_variable::wait_until does)
    // until `deadline` at the latest. Returns early when notified, and may return
    // spuriously: the caller looks at its state again either way.
    virtual void waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, Time deadline) = 0;
};

// The system's monotonic clock: waits have absolute deadlines, so a late wake-up does
// not push the following ones back.
class SteadyOutputClock final : public OutputClock {
public:
    Time now() const override { return std::chrono::steady_clock::now().time_since_epoch(); }
    void waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, Time deadline) override {
        wake.wait_until(lock, std::chrono::steady_clock::time_point(
                                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(deadline)));
    }

    static SteadyOutputClock& shared() {
        static SteadyOutputClock clock;
        return clock;
    }
};

}  // namespace norvo
