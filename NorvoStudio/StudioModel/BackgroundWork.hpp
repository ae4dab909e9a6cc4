#pragma once
#include <cstddef>
#include <functional>
#include <memory>

#include "Platform/MainExecutor.hpp"

namespace norvo {

// The model's blocking work (reading and writing cassettes, releasing workspaces) off
// the main thread, with its results brought back through the main-thread executor.
// When the owner goes, it waits for the work that uses what the owner holds (a save
// writing the cassette's media, a workspace being removed); a read may hang in the file
// system for good (a dead network share, a device that never answers), so it is left
// behind, and whatever it reports after that goes nowhere.
class BackgroundWork {
public:
    enum class Kind {
        mustFinish,  // waited for when the owner goes
        mayHang,     // left behind when the owner goes
    };
    using Runner = std::function<void(std::function<void()>)>;

    // A way back to the main thread for the work; silent once the owner has gone.
    class Reply {
    public:
        void operator()(std::function<void()> work) const;

    private:
        friend class BackgroundWork;
        struct State;
        explicit Reply(std::shared_ptr<State> state) : state_(std::move(state)) {}
        std::shared_ptr<State> state_;
    };

    // `runner` runs each piece of work off the main thread; none means a thread of its
    // own per piece, one that nothing else waits for either. The executor outlives this.
    BackgroundWork(MainExecutor& executor, Runner runner);
    // Waits for the mustFinish work handed over so far, then silences every Reply.
    ~BackgroundWork();
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    Reply reply() const { return Reply(state_); }
    void run(Kind kind, std::function<void()> work);
    // Pieces handed over and not yet ended.
    std::size_t running() const;

private:
    std::shared_ptr<Reply::State> state_;
    Runner runner_;
};

}  // namespace norvo
