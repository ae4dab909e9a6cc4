#include "SourcePlayer/SourceStreamOpener.hpp"

#include <pthread.h>

#include <exception>

#include "AudioEngine/NorvoAudioError.hpp"

namespace norvo {

struct SourceStreamOpener::Inbox {
    explicit Inbox(SourceStreamOpener* owner) : owner(owner) {}
    SourceStreamOpener* owner;
    std::mutex mutex;
    std::deque<Result> results;
};

SourceStreamOpener::SourceStreamOpener(SourceStreamFactory& factory, MainExecutor& executor, Delivery deliver)
    : factory_(factory), executor_(executor), deliver_(std::move(deliver)), inbox_(std::make_shared<Inbox>(this)) {
    worker_ = std::thread([this] { run(); });
}

SourceStreamOpener::~SourceStreamOpener() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        pending_.reset();
    }
    wake_.notify_all();
    worker_.join();
    // What the worker did not get to, and results never collected, go here.
    for (auto& stream : retiring_) {
        stream->cancel();
        stream.reset();
    }
    std::lock_guard lock(inbox_->mutex);
    for (auto& result : inbox_->results)
        if (result.stream) result.stream->cancel();
    inbox_->results.clear();
}

void SourceStreamOpener::open(Request request) {
    {
        std::lock_guard lock(mutex_);
        wanted_ = request.ticket;
        pending_ = std::move(request);
    }
    wake_.notify_all();
}

void SourceStreamOpener::abandon() {
    std::lock_guard lock(mutex_);
    wanted_ = 0;  // no request has ticket 0
    pending_.reset();
}

void SourceStreamOpener::retire(std::unique_ptr<SourceStream> stream) {
    if (!stream) return;
    {
        std::lock_guard lock(mutex_);
        retiring_.push_back(std::move(stream));
    }
    wake_.notify_all();
}

void SourceStreamOpener::run() {
    pthread_setname_np(pthread_self(), threadName);
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || pending_ || !retiring_.empty(); });
        if (stopping_) return;
        // Freeing first: a replaced stream's decoder should not run on longer than needed.
        if (!retiring_.empty()) {
            std::vector<std::unique_ptr<SourceStream>> streams = std::move(retiring_);
            retiring_.clear();
            lock.unlock();
            for (auto& stream : streams) {
                stream->cancel();
                stream.reset();
            }
            lock.lock();
            continue;
        }
        Request request = std::move(*pending_);
        pending_.reset();
        lock.unlock();

        Result result{request.ticket, nullptr, {}};
        try {
            result.stream = factory_.open(request.file, request.startFrame, request.measuredFrames);
            if (!result.stream) result.failure = NorvoAudioError::conversionFailed("the decoder did not start").what();
        } catch (const std::exception& error) {
            result.failure = error.what();
        }

        lock.lock();
        if (request.ticket != wanted_) {
            // Superseded while it opened: nobody will want it.
            if (result.stream) retiring_.push_back(std::move(result.stream));
            continue;
        }
        {
            std::lock_guard inboxLock(inbox_->mutex);
            inbox_->results.push_back(std::move(result));
        }
        executor_.post([inbox = std::weak_ptr<Inbox>(inbox_)] {
            if (auto held = inbox.lock()) held->owner->deliverReady();
        });
    }
}

void SourceStreamOpener::deliverReady() {
    for (;;) {
        Result result;
        {
            std::lock_guard lock(inbox_->mutex);
            if (inbox_->results.empty()) return;
            result = std::move(inbox_->results.front());
            inbox_->results.pop_front();
        }
        bool wanted = false;
        {
            std::lock_guard lock(mutex_);
            wanted = result.ticket == wanted_;
        }
        if (wanted) deliver_(std::move(result));
        else retire(std::move(result.stream));
    }
}

}  // namespace norvo
