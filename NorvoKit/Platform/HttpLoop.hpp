#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/HttpError.hpp"
#include "Platform/HttpRequest.hpp"
#include "Platform/HttpResponse.hpp"
#include "Platform/LoopClock.hpp"
#include "Platform/MainExecutor.hpp"

namespace norvo {

// One serial thread that owns a libcurl multi handle, a task queue and a timer heap.
// Every task, timer and transfer callback runs on that thread, one at a time, so code
// driven by the loop needs no locks of its own for loop-only state.
//
// Time: timers and the transfer time-outs follow the loop's LoopClock. With a
// clock moved by hand, timers fire only when the clock is advanced; a task queued
// after the clock moved runs after every timer that became due.
//
// Thread safety: dispatch, dispatchAfter, dispatchSync, startStream, fetch, cancel and
// waitUntil may be called from any thread. Handlers always run on the loop thread.
class HttpLoop {
public:
    // Identifies a transfer for cancel(); 0 is never a transfer.
    using TransferID = uint64_t;

    // Streaming transfer callbacks; each runs on the loop thread.
    struct StreamHandlers {
        // At the end of the final header block (redirects already followed). Return
        // false to cancel: nothing more is delivered.
        std::function<bool(const HttpResponse&)> response;
        // Each piece of the body as it arrives. Return false to cancel.
        std::function<bool(const uint8_t* bytes, std::size_t count)> data;
        // Once, when the transfer ends by itself: nullopt for a clean end (the server
        // closed or the body is complete), else the error. Not called after a cancel.
        std::function<void(const std::optional<HttpError>&)> completion;
    };

    // A one-shot fetch: the response, the whole body and how it ended.
    struct FetchResult {
        std::optional<HttpResponse> response;  // none when no final header block arrived
        std::string body;
        std::optional<HttpError> error;  // none: complete

        int statusCode() const { return response ? response->statusCode : 0; }
    };

    // `label` names the thread ("org.norvo.studio.radio"; the OS name is cut to 15 bytes).
    // Without a clock the loop runs on the steady clock.
    explicit HttpLoop(std::string label, std::shared_ptr<LoopClock> clock = nullptr);
    // Cancels every transfer and timer (no handler runs) and joins the thread. Must not
    // be called on the loop thread.
    ~HttpLoop();
    HttpLoop(const HttpLoop&) = delete;
    HttpLoop& operator=(const HttpLoop&) = delete;

    const std::string& label() const;
    LoopClock& clock() const;
    // Seconds on the loop's clock.
    double now() const;
    bool isLoopThread() const;

    // Runs `work` on the loop thread, after the work queued before it.
    void dispatch(std::function<void()> work);
    // Runs `work` on the loop thread once `seconds` have passed on the loop's clock.
    // Cancelling the handle before it fires means it never runs.
    CancelHandle dispatchAfter(double seconds, std::function<void()> work);
    // Runs `work` on the loop thread and waits for it; runs it at once on the loop thread.
    void dispatchSync(const std::function<void()>& work);

    // Starts a streaming GET. The handlers hold whatever they capture until the
    // transfer ends or is cancelled.
    TransferID startStream(HttpRequest request, StreamHandlers handlers);
    // Starts a one-shot GET; `completion` runs once on the loop thread (not after a cancel).
    TransferID fetch(HttpRequest request, std::function<void(FetchResult)> completion);
    // Stops a transfer; no handler of it runs after this returns (on the loop thread) or
    // after the loop has taken the request (from another thread). Unknown IDs are ignored.
    void cancel(TransferID transfer);
    // Transfers not yet ended or cancelled.
    std::size_t activeTransfers() const;

    // For tests and tools: waits (in real time, at most `maximumSeconds`) until
    // `predicate`, evaluated on the loop thread after each round of work, holds.
    // Returns whether it held. Must not be called on the loop thread.
    bool waitUntil(std::function<bool()> predicate, double maximumSeconds);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace norvo
