#pragma once
#include <cstddef>
#include <mutex>
#include <vector>

#include "Platform/MainExecutor.hpp"

namespace norvo {

// An executor driven by hand: nothing runs until its owner says so, and time moves
// only when its owner advances it. Tests, the benchmarks and the gallery run engines on it.
class ManualExecutor final : public MainExecutor {
public:
    void post(std::function<void()> work) override;
    CancelHandle postAfter(double seconds, std::function<void()> work) override;
    double now() const override;

    // Runs posted work (and work it posts) until none is left; returns how many ran.
    std::size_t runPending();
    // Moves the clock forward, running every due job in time order.
    void advance(double seconds);
    // Number of jobs waiting, posted or timed and not cancelled.
    std::size_t pendingCount() const;

private:
    struct Timed {
        double due;
        uint64_t order;
        CancelHandle handle;
        std::function<void()> work;
    };

    mutable std::mutex mutex_;
    std::vector<std::function<void()>> posted_;
    std::vector<Timed> timed_;
    double now_ = 0;
    uint64_t order_ = 0;
};

}  // namespace norvo
