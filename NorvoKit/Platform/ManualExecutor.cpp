#include "Platform/ManualExecutor.hpp"

#include <algorithm>

namespace norvo {

void ManualExecutor::post(std::function<void()> work) {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(work));
}

CancelHandle ManualExecutor::postAfter(double seconds, std::function<void()> work) {
    CancelHandle handle;
    std::lock_guard lock(mutex_);
    timed_.push_back({now_ + std::max(0.0, seconds), order_++, handle, std::move(work)});
    return handle;
}

double ManualExecutor::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

std::size_t ManualExecutor::runPending() {
    std::size_t ran = 0;
    for (;;) {
        std::vector<std::function<void()>> batch;
        {
            std::lock_guard lock(mutex_);
            batch.swap(posted_);
        }
        if (batch.empty()) break;
        for (auto& work : batch) {
            work();
            ++ran;
        }
    }
    // Timed jobs that are already due run too.
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex_);
            auto due = std::min_element(timed_.begin(), timed_.end(), [](const Timed& x, const Timed& y) {
                return x.due != y.due ? x.due < y.due : x.order < y.order;
            });
            if (due == timed_.end() || due->due > now_) break;
            if (!due->handle.isCancelled()) work = std::move(due->work);
            timed_.erase(due);
        }
        if (work) {
            work();
            ++ran;
        }
        std::vector<std::function<void()>> batch;
        {
            std::lock_guard lock(mutex_);
            batch.swap(posted_);
        }
        for (auto& w : batch) {
            w();
            ++ran;
        }
    }
    return ran;
}

void ManualExecutor::advance(double seconds) {
    double target;
    {
        std::lock_guard lock(mutex_);
        target = now_ + std::max(0.0, seconds);
    }
    runPending();
    for (;;) {
        double nextDue;
        {
            std::lock_guard lock(mutex_);
            auto due = std::min_element(timed_.begin(), timed_.end(),
                                        [](const Timed& x, const Timed& y) { return x.due < y.due; });
            if (due == timed_.end() || due->due > target) break;
            nextDue = due->due;
            now_ = std::max(now_, nextDue);
        }
        runPending();
    }
    {
        std::lock_guard lock(mutex_);
        now_ = target;
    }
    runPending();
}

std::size_t ManualExecutor::pendingCount() const {
    std::lock_guard lock(mutex_);
    std::size_t n = posted_.size();
    for (const auto& t : timed_)
        if (!t.handle.isCancelled()) ++n;
    return n;
}

}  // namespace norvo
