#pragma once
#include <chrono>
#include <functional>
#include <memory>

namespace norvo {

// Work run in order, one piece at a time, on a thread of its own, for what may block for
// good in the file system or a server (a list on a network share that hangs, a sound
// theme file that nobody writes). Nothing joins the thread: neither the owner going nor
// the process ending ever waits for a piece that does not return. Pieces not started
// when the owner goes are dropped.
class SerialWorker {
public:
    explicit SerialWorker(const char* threadName);
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    void post(std::function<void()> work);
    // Waits for every piece posted so far to end, at most `limit`; true when they have.
    bool waitForIdle(std::chrono::milliseconds limit) const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace norvo
