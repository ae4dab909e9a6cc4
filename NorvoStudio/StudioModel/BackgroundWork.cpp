#include "StudioModel/BackgroundWork.hpp"

#include <pthread.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace norvo {

struct BackgroundWork::Reply::State {
    MainExecutor* executor = nullptr;
    std::mutex mutex;
    std::condition_variable ended;
    std::size_t mustFinish = 0;  // guarded by mutex
    std::size_t running = 0;     // guarded by mutex
    bool silenced = false;       // guarded by mutex
};

void BackgroundWork::Reply::operator()(std::function<void()> work) const {
    // Held while posting, so the owner cannot go between the check and the post.
    std::lock_guard lock(state_->mutex);
    if (state_->silenced) return;
    state_->executor->post(std::move(work));
}

BackgroundWork::BackgroundWork(MainExecutor& executor, Runner runner)
    : state_(std::make_shared<Reply::State>()), runner_(std::move(runner)) {
    state_->executor = &executor;
    if (!runner_) {
        runner_ = [](std::function<void()> work) {
            std::thread([work = std::move(work)] {
                pthread_setname_np(pthread_self(), "norvo-studio-io");
                work();
            }).detach();
        };
    }
}

BackgroundWork::~BackgroundWork() {
    std::unique_lock lock(state_->mutex);
    state_->ended.wait(lock, [this] { return state_->mustFinish == 0; });
    state_->silenced = true;
}

void BackgroundWork::run(Kind kind, std::function<void()> work) {
    const bool mustFinish = kind == Kind::mustFinish;
    {
        std::lock_guard lock(state_->mutex);
        ++state_->running;
        if (mustFinish) ++state_->mustFinish;
    }
    // Counted down once, however the work ends: run, thrown out of, or dropped unrun.
    class Ended {
    public:
        Ended(std::shared_ptr<Reply::State> state, bool mustFinish)
            : state_(std::move(state)), mustFinish_(mustFinish) {}
        Ended(const Ended&) = delete;
        Ended& operator=(const Ended&) = delete;
        ~Ended() {
            std::lock_guard lock(state_->mutex);
            --state_->running;
            if (mustFinish_) --state_->mustFinish;
            state_->ended.notify_all();
        }

    private:
        std::shared_ptr<Reply::State> state_;
        bool mustFinish_;
    };
    runner_([ended = std::make_shared<Ended>(state_, mustFinish), work = std::move(work)]() mutable {
        const auto done = std::move(ended);
        work();
    });
}

std::size_t BackgroundWork::running() const {
    std::lock_guard lock(state_->mutex);
    return state_->running;
}

}  // namespace norvo
