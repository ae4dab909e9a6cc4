#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>

#include "Platform/ManualExecutor.hpp"
#include "StudioModel/BackgroundWork.hpp"

namespace norvo {
namespace {

using Kind = BackgroundWork::Kind;

// Holds work back until the test lets it go.
class Gate {
public:
    void open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }
    void pass() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return open_; });
    }
    void noteDone() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
    }
    bool done() {
        std::lock_guard lock(mutex_);
        return done_;
    }
    // Bounded, for the end of a test: the work must not outlive what it uses.
    bool waitUntilDone() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return done_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    bool done_ = false;
};

// That the owner waits for work that must finish is shown with a real save in
// StudioShutdownTest: here, a gate would race the owner's own going.
TEST(BackgroundWork, TheOwnerDoesNotWaitForAReadThatHangsAndItsLateResultGoesNowhere) {
    ManualExecutor executor;
    auto work = std::make_unique<BackgroundWork>(executor, nullptr);  // a thread of its own per piece
    const BackgroundWork::Reply reply = work->reply();
    auto read = std::make_shared<Gate>();
    work->run(Kind::mayHang, [read, reply] {
        read->pass();
        reply([] {});
        read->noteDone();
    });
    EXPECT_EQ(work->running(), 1u);

    auto owner = std::async(std::launch::async, [&] { work.reset(); });
    if (owner.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "the owner waits for the read that hangs";
        read->open();
        owner.wait();
        return;
    }
    EXPECT_FALSE(read->done());

    // The read comes back long after its owner went.
    read->open();
    ASSERT_TRUE(read->waitUntilDone());
    EXPECT_EQ(executor.pendingCount(), 0u);
}

TEST(BackgroundWork, WorkThatTheRunnerDropsOrThatThrowsIsNotWaitedForForever) {
    ManualExecutor executor;
    std::vector<std::function<void()>> queued;
    auto work = std::make_unique<BackgroundWork>(executor, [&](std::function<void()> piece) {
        queued.push_back(std::move(piece));
    });
    work->run(Kind::mustFinish, [] { throw std::runtime_error("disk gone"); });
    work->run(Kind::mustFinish, [] {});
    work->run(Kind::mustFinish, [] {});
    EXPECT_EQ(work->running(), 3u);
    EXPECT_THROW(queued[0](), std::runtime_error);
    queued[1]();
    EXPECT_EQ(work->running(), 1u);
    queued.clear();  // never run
    EXPECT_EQ(work->running(), 0u);
    work.reset();  // would wait for ever for work counted twice or never counted down
}

}  // namespace
}  // namespace norvo
