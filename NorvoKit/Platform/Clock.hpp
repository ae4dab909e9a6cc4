#pragma once
#include <chrono>

namespace norvo {

using Date = std::chrono::system_clock::time_point;

// Wall time, injectable so tests get fixed dates.
class Clock {
public:
    virtual ~Clock() = default;
    virtual Date now() const = 0;
};

class SystemClock final : public Clock {
public:
    Date now() const override { return std::chrono::system_clock::now(); }
    static SystemClock& shared() {
        static SystemClock clock;
        return clock;
    }
};

}  // namespace norvo
