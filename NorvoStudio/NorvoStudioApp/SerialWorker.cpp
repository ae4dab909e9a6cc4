#include "NorvoStudioApp/SerialWorker.hpp"

#include <pthread.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace norvo {

struct SerialWorker::State {
    std::string threadName;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> queue;  // guarded by mutex
    bool running = false;                     // a thread is up; guarded by mutex
    bool busy = false;                        // it runs a piece; guarded by mutex
    bool closed = false;                      // the owner has gone; guarded by mutex

    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return closed || !queue.empty(); });
            if (closed) return;
            std::function<void()> work = std::move(queue.front());
            queue.pop_front();
            busy = true;
            lock.unlock();
            work();
            work = nullptr;  // what it holds goes before the piece counts as ended
            lock.lock();
            busy = false;
            changed.notify_all();
        }
    }
};

SerialWorker::SerialWorker(const char* threadName) : state_(std::make_shared<State>()) {
    state_->threadName = threadName;
}

SerialWorker::~SerialWorker() {
    std::lock_guard lock(state_->mutex);
    state_->closed = true;
    state_->queue.clear();
    state_->changed.notify_all();
}

void SerialWorker::post(std::function<void()> work) {
    std::lock_guard lock(state_->mutex);
    state_->queue.push_back(std::move(work));
    state_->changed.notify_all();
    if (state_->running) return;
    // Started with the first piece: a studio that never needs the worker has no thread for it.
    state_->running = true;
    std::thread([state = state_] {
        pthread_setname_np(pthread_self(), state->threadName.substr(0, 15).c_str());
        state->run();
    }).detach();
}

bool SerialWorker::waitForIdle(std::chrono::milliseconds limit) const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, limit, [this] { return state_->queue.empty() && !state_->busy; });
}

}  // namespace norvo
