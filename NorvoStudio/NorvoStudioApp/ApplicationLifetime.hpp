#pragma once
#include <functional>
#include <mutex>

namespace norvo {

// Lets work on a thread that may outlive `main` (a recent-document note on a share that is
// slow or hangs is never joined) use Qt only while the application is there. Ending waits
// for a use under way, and no use begins after it. A use does no I/O, so ending is prompt.
class ApplicationLifetime {
public:
    // Runs `use`, unless the application has ended; then it returns false.
    bool use(const std::function<void()>& use) {
        std::lock_guard lock(mutex_);
        if (ended_) return false;
        use();
        return true;
    }

    void end() {
        std::lock_guard lock(mutex_);
        ended_ = true;
    }

private:
    std::mutex mutex_;
    bool ended_ = false;  // guarded by mutex_
};

}  // namespace norvo
