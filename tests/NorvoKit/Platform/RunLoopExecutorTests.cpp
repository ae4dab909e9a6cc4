#include "Platform/RunLoopExecutor.hpp"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace norvo {
namespace {

TEST(RunLoopExecutor, RunsWorkPostedFromOtherThreadsOnItsOwnThread) {
    RunLoopExecutor executor;
    const auto loopThread = std::this_thread::get_id();
    std::vector<int> order;
    bool allOnLoop = true;
    std::thread producer([&] {
        for (int i = 0; i < 5; ++i)
            executor.post([&, i] {
                allOnLoop = allOnLoop && std::this_thread::get_id() == loopThread;
                order.push_back(i);
            });
    });
    EXPECT_TRUE(executor.runUntil([&] { return order.size() == 5; }, 10.0));
    producer.join();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(allOnLoop);
}

TEST(RunLoopExecutor, DelayedWorkWaitsItsTurnAndCanBeCancelled) {
    RunLoopExecutor executor;
    std::vector<int> order;
    executor.postAfter(0.02, [&] { order.push_back(2); });
    CancelHandle cancelled = executor.postAfter(0.01, [&] { order.push_back(99); });
    executor.postAfter(0.0, [&] { order.push_back(1); });
    cancelled.cancel();
    EXPECT_TRUE(executor.runUntil([&] { return order.size() == 2; }, 10.0));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_FALSE(executor.runUntil([] { return false; }, 0.01)) << "gives up after its time";
}

}  // namespace
}  // namespace norvo
