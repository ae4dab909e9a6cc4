#include "Platform/RunLoopExecutor.hpp"

#include <algorithm>

namespace norvo {

void RunLoopExecutor::post(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(work));
    }
    wake_.notify_one();
}

CancelHandle RunLoopExecutor::postAfter(double seconds, std::function<void()> work) {
    CancelHandle handle;
    const double due = now() + std::max(0.0, seconds);
    {
        std::lock_guard lock(mutex_);
        timed_.push_back({due, order_++, handle, std::move(work)});
    }
    wake_.notify_one();
    return handle;
}

double RunLoopExecutor::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - epoch_).count();
}

bool RunLoopExecutor::runOne(double deadline) {
    std::function<void()> work;
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (!posted_.empty()) {
                work = std::move(posted_.front());
                posted_.erase(posted_.begin());
                break;
            }
            const double t = now();
            auto due = std::min_element(timed_.begin(), timed_.end(), [](const Timed& x, const Timed& y) {
                return x.due != y.due ? x.due < y.due : x.order < y.order;
            });
            if (due != timed_.end() && due->due <= t) {
                if (!due->handle.isCancelled()) work = std::move(due->work);
                timed_.erase(due);
                if (work) break;
                continue;
            }
            if (t >= deadline) return false;
            double wait = std::min(deadline - t, 0.005);
            if (due != timed_.end()) wait = std::min(wait, due->due - t);
            wake_.wait_for(lock, std::chrono::duration<double>(std::max(wait, 0.0)));
            return false;
        }
    }
    work();
    return true;
}

void RunLoopExecutor::runFor(double seconds) {
    const double deadline = now() + seconds;
    while (now() < deadline) runOne(deadline);
}

bool RunLoopExecutor::runUntil(const std::function<bool()>& predicate, double maximumSeconds) {
    const double deadline = now() + maximumSeconds;
    while (!predicate()) {
        if (now() >= deadline) return predicate();
        runOne(deadline);
    }
    return true;
}

}  // namespace norvo
