#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AudioEngine/SourceStream.hpp"
#include "AudioEngine/SourceStreamFactory.hpp"
#include "Platform/MainExecutor.hpp"

namespace norvo {

// Opens, seeks and primes source streams on a worker thread, and stops and frees the
// streams the player no longer wants there too, so that neither ever holds up the main
// thread. Only the newest request counts: one not yet begun is replaced by a newer
// one, and a stream opened for a superseded request is retired without being handed
// over. Results reach the main thread through the executor.
class SourceStreamOpener {
public:
    struct Request {
        uint64_t ticket = 0;
        std::filesystem::path file;
        int64_t startFrame = 0;
        std::optional<int64_t> measuredFrames;
    };
    struct Result {
        uint64_t ticket = 0;
        std::unique_ptr<SourceStream> stream;  // none when opening failed
        std::string failure;                   // the error's sentence
    };
    // Runs on the main thread with each result of the newest request.
    using Delivery = std::function<void(Result)>;

    static constexpr const char* threadName = "norvo-opener";

    SourceStreamOpener(SourceStreamFactory& factory, MainExecutor& executor, Delivery deliver);
    // Waits for an open in flight, then stops and frees every stream still held.
    ~SourceStreamOpener();
    SourceStreamOpener(const SourceStreamOpener&) = delete;
    SourceStreamOpener& operator=(const SourceStreamOpener&) = delete;

    // Main thread. Supersedes every earlier request.
    void open(Request request);
    // Main thread. Supersedes every request made so far without making a new one.
    void abandon();
    // Any thread but the render's. Cancels and frees the stream on the worker.
    void retire(std::unique_ptr<SourceStream> stream);

private:
    struct Inbox;
    void run();
    void deliverReady();

    SourceStreamFactory& factory_;
    MainExecutor& executor_;
    Delivery deliver_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Request> pending_;                       // guarded by mutex_
    std::vector<std::unique_ptr<SourceStream>> retiring_;  // guarded by mutex_
    uint64_t wanted_ = 0;                                  // guarded by mutex_: the newest ticket
    bool stopping_ = false;                                // guarded by mutex_
    // Results waiting for the main thread; posted work reaches them through a weak
    // reference, so work still queued after this opener is gone does nothing.
    std::shared_ptr<Inbox> inbox_;
    std::thread worker_;  // last: started once everything else is ready
};

}  // namespace norvo
