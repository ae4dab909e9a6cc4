#include <atomic>
#include <thread>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include "StudioModel/QtMainExecutor.hpp"

namespace norvo {
namespace {

// Runs the main event loop until `done` or 5 s.
bool spinUntil(const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return done();
}

TEST(QtMainExecutorTest, WorkPostedFromAnyThreadRunsOnTheMainThreadInOrder) {
    QtMainExecutor executor;
    std::vector<int> order;
    std::atomic<bool> wrongThread{false};
    auto* main = QThread::currentThread();
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i)
            executor.post([&, i] {
                if (QThread::currentThread() != main) wrongThread = true;
                order.push_back(i);
            });
    });
    worker.join();
    EXPECT_TRUE(order.empty());  // queued, never run inside post
    ASSERT_TRUE(spinUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(wrongThread);
}

TEST(QtMainExecutorTest, DelayedWorkWaitsItsTimeAndACancelledOneNeverRuns) {
    QtMainExecutor executor;
    const double start = executor.now();
    double ranAt = -1;
    bool cancelledRan = false;
    auto cancelled = executor.postAfter(0.02, [&] { cancelledRan = true; });
    executor.postAfter(0.03, [&] { ranAt = executor.now(); });
    cancelled.cancel();

    std::atomic<bool> fromWorkerRan{false};
    std::thread worker([&] {
        executor.postAfter(0.01, [&] { fromWorkerRan = QThread::currentThread() == qApp->thread(); });
    });
    worker.join();

    ASSERT_TRUE(spinUntil([&] { return ranAt >= 0 && fromWorkerRan; }));
    EXPECT_GE(ranAt - start, 0.03);
    EXPECT_FALSE(cancelledRan);
    EXPECT_GE(executor.now(), ranAt);
}

}  // namespace
}  // namespace norvo
