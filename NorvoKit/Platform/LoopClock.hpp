#pragma once
#include <chrono>
#include <cstdint>
#include <functional>

namespace norvo {

// Monotonic seconds for a loop's timers. Injectable so that tests move time by hand:
// a loop that runs on a clock wakes when the clock says it moved.
class LoopClock {
public:
    virtual ~LoopClock() = default;
    virtual double now() const = 0;
    // True when time passes on its own, so a loop may sleep until its next timer.
    virtual bool isRealTime() const = 0;
    // Called (on the thread that moves the clock) each time a hand-driven clock moves.
    // Returns a token for removeListener. A real-time clock never calls it.
    virtual uint64_t addListener(std::function<void()> listener) = 0;
    virtual void removeListener(uint64_t token) = 0;
};

class SteadyLoopClock final : public LoopClock {
public:
    double now() const override {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - epoch_).count();
    }
    bool isRealTime() const override { return true; }
    uint64_t addListener(std::function<void()>) override { return 0; }
    void removeListener(uint64_t) override {}

private:
    std::chrono::steady_clock::time_point epoch_ = std::chrono::steady_clock::now();
};

}  // namespace norvo
