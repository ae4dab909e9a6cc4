#pragma once
#include <chrono>

#include "Platform/Clock.hpp"

namespace norvo::test {

// Wall time for tests: a fixed date, moved only by the test.
class FakeClock final : public Clock {
public:
    explicit FakeClock(Date start = Date{}) : now_(start) {}
    Date now() const override { return now_; }
    void set(Date date) { now_ = date; }
    void advance(std::chrono::system_clock::duration by) { now_ += by; }

private:
    Date now_;
};

}  // namespace norvo::test
