#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "AudioEngine/SourceStreamFactory.hpp"
#include "Platform/MainExecutor.hpp"
#include "Platform/Uuid.hpp"

namespace norvo {

// Measures the lengths of added files on a low-priority worker thread and hands them to
// the main thread in batches: what was measured is handed over when nothing is left to
// measure, or once the oldest length has waited `batchInterval` on the executor's clock,
// so that thousands of files cost a few updates of the list, not one each. Owned by the
// source player; destroying it drops the files not yet measured, stops a measurement in
// flight and discards its result.
class TrackDurationProbe {
public:
    struct Request {
        Uuid id;
        std::filesystem::path file;
    };
    struct Measured {
        Uuid id;
        int64_t frames = 0;
        bool operator==(const Measured&) const = default;
    };
    // Runs on the main thread with the lengths found since the last batch, in the order
    // measured; files whose length could not be found are left out.
    using Delivery = std::function<void(std::vector<Measured> lengths)>;

    static constexpr const char* threadName = "norvo-durations";
    static constexpr double batchInterval = 0.1;  // seconds

    TrackDurationProbe(SourceStreamFactory& factory, MainExecutor& executor, Delivery deliver);
    ~TrackDurationProbe();
    TrackDurationProbe(const TrackDurationProbe&) = delete;
    TrackDurationProbe& operator=(const TrackDurationProbe&) = delete;

    void measure(std::vector<Request> requests);

private:
    void run();

    SourceStreamFactory& factory_;
    MainExecutor& executor_;
    // Posted results reach the delivery through a weak reference, so work still queued on
    // the main thread after this probe is gone does nothing.
    std::shared_ptr<Delivery> deliver_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Request> queue_;           // guarded by mutex_
    bool stopping_ = false;               // guarded by mutex_
    std::atomic<bool> cancelled_{false};  // stops a measurement in flight
    std::thread worker_;                  // started with the first request
};

}  // namespace norvo
