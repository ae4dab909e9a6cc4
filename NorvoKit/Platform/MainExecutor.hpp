#pragma once
#include <atomic>
#include <functional>
#include <memory>

namespace norvo {

// A handle to delayed work: cancelling it before it runs means it never runs.
// Copies share one flag. Cancelling from the main thread is race-free because
// the work itself runs on the main thread.
class CancelHandle {
public:
    CancelHandle() : flag_(std::make_shared<std::atomic<bool>>(false)) {}

    void cancel() const { flag_->store(true); }
    bool isCancelled() const { return flag_->load(); }

private:
    std::shared_ptr<std::atomic<bool>> flag_;
};

// Brings work onto the main thread. `post` may be called from any thread;
// `postAfter` waits on the executor's own clock (a fake one in tests).
class MainExecutor {
public:
    virtual ~MainExecutor() = default;

    virtual void post(std::function<void()> work) = 0;
    virtual CancelHandle postAfter(double seconds, std::function<void()> work) = 0;
    // Monotonic seconds on the executor's clock.
    virtual double now() const = 0;
};

}  // namespace norvo
