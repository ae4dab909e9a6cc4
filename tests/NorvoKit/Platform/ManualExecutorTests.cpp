#include "Platform/ManualExecutor.hpp"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace norvo {
namespace {

TEST(ManualExecutor, PostedWorkWaitsForRunPendingAndKeepsItsOrder) {
    ManualExecutor executor;
    std::vector<std::string> log;
    executor.post([&] { log.push_back("a"); });
    executor.post([&] {
        log.push_back("b");
        executor.post([&] { log.push_back("posted by b"); });
    });
    executor.post([&] { log.push_back("c"); });
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(executor.pendingCount(), 3u);

    EXPECT_EQ(executor.runPending(), 4u);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "c", "posted by b"}));
    EXPECT_EQ(executor.pendingCount(), 0u);
}

TEST(ManualExecutor, DelayedWorkRunsInTimeOrderAtItsDueTime) {
    ManualExecutor executor;
    std::vector<std::pair<std::string, double>> log;
    auto record = [&](std::string name) { return [&, name] { log.emplace_back(name, executor.now()); }; };
    executor.postAfter(2.0, record("two"));
    executor.postAfter(0.5, record("half"));
    executor.postAfter(2.0, record("two again"));
    executor.postAfter(0.5, [&] {
        log.emplace_back("half, second", executor.now());
        executor.postAfter(1.0, record("chained"));
    });

    executor.advance(0.4);
    EXPECT_TRUE(log.empty());
    EXPECT_DOUBLE_EQ(executor.now(), 0.4);

    executor.advance(5);
    const std::vector<std::pair<std::string, double>> expected{
        {"half", 0.5}, {"half, second", 0.5}, {"chained", 1.5}, {"two", 2.0}, {"two again", 2.0}};
    EXPECT_EQ(log, expected);
    EXPECT_DOUBLE_EQ(executor.now(), 5.4);
}

TEST(ManualExecutor, CancelledWorkNeverRuns) {
    ManualExecutor executor;
    int runs = 0;
    CancelHandle handle = executor.postAfter(1.0, [&] { ++runs; });
    CancelHandle copy = handle;
    executor.postAfter(1.0, [&] { runs += 10; });
    EXPECT_EQ(executor.pendingCount(), 2u);
    copy.cancel();
    EXPECT_TRUE(handle.isCancelled());
    EXPECT_EQ(executor.pendingCount(), 1u);
    executor.advance(2.0);
    EXPECT_EQ(runs, 10);
}

TEST(ManualExecutor, DueWorkRunsWithRunPendingWithoutMovingTheClock) {
    ManualExecutor executor;
    int runs = 0;
    executor.postAfter(0, [&] { ++runs; });
    executor.postAfter(-3, [&] { ++runs; });
    executor.postAfter(0.001, [&] { runs += 100; });
    EXPECT_EQ(executor.runPending(), 2u);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(executor.now(), 0);
}

}  // namespace
}  // namespace norvo
