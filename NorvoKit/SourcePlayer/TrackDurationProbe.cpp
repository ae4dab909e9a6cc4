#include "SourcePlayer/TrackDurationProbe.hpp"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <utility>

namespace norvo {

TrackDurationProbe::TrackDurationProbe(SourceStreamFactory& factory, MainExecutor& executor, Delivery deliver)
    : factory_(factory), executor_(executor), deliver_(std::make_shared<Delivery>(std::move(deliver))) {}

TrackDurationProbe::~TrackDurationProbe() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    cancelled_.store(true);
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
    // Results already posted find the delivery gone.
    deliver_.reset();
}

void TrackDurationProbe::measure(std::vector<Request> requests) {
    if (requests.empty()) return;
    {
        std::lock_guard lock(mutex_);
        for (auto& request : requests) queue_.push_back(std::move(request));
        if (!worker_.joinable()) worker_ = std::thread([this] { run(); });
    }
    wake_.notify_one();
}

void TrackDurationProbe::run() {
    pthread_setname_np(pthread_self(), threadName);
    // Utility work: measuring lengths must not compete with the decoders or the views.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);

    const std::weak_ptr<Delivery> deliver = deliver_;
    std::vector<Measured> batch;
    double batchStarted = 0;
    for (;;) {
        Request request;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            request = std::move(queue_.front());
            queue_.pop_front();
        }
        std::optional<int64_t> frames;
        try {
            frames = factory_.probeDuration(request.file, &cancelled_);
        } catch (...) {
            // An unreadable file simply keeps an unknown length; playing it reports why.
        }
        if (frames) {
            if (batch.empty()) batchStarted = executor_.now();
            batch.push_back({request.id, *frames});
        }
        bool drained = false;
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
            drained = queue_.empty();
        }
        if (batch.empty() || !(drained || executor_.now() - batchStarted >= batchInterval)) continue;
        executor_.post([deliver, lengths = std::exchange(batch, {})]() mutable {
            if (auto target = deliver.lock()) (*target)(std::move(lengths));
        });
    }
}

}  // namespace norvo
