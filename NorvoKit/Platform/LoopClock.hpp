#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

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

// A clock for tests: time moves only when advance() is called.
class ManualLoopClock final : public LoopClock {
public:
    double now() const override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    bool isRealTime() const override { return false; }

    uint64_t addListener(std::function<void()> listener) override {
        std::lock_guard lock(mutex_);
        listeners_.emplace(++lastToken_, std::move(listener));
        return lastToken_;
    }
    void removeListener(uint64_t token) override {
        std::lock_guard lock(mutex_);
        listeners_.erase(token);
    }

    void advance(double seconds) {
        std::map<uint64_t, std::function<void()>> listeners;
        {
            std::lock_guard lock(mutex_);
            if (seconds > 0) now_ += seconds;
            listeners = listeners_;
        }
        for (auto& [token, listener] : listeners) listener();
    }

private:
    mutable std::mutex mutex_;
    double now_ = 0;
    uint64_t lastToken_ = 0;
    std::map<uint64_t, std::function<void()>> listeners_;
};

}  // namespace norvo
