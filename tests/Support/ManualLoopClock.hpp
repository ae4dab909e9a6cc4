#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

#include "Platform/LoopClock.hpp"

namespace norvo::test {

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

}  // namespace norvo::test
