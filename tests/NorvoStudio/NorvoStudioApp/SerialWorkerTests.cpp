#include "NorvoStudioApp/SerialWorker.hpp"

#include <gtest/gtest.h>

#include <future>
#include <vector>

namespace norvo {
namespace {

TEST(SerialWorker, RunsPiecesInOrderAndLeavesAPieceThatNeverEndsBehind) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto order = std::make_shared<std::vector<int>>();  // outlives the worker's pieces
    {
        SerialWorker worker("test-serial");
        for (int i = 0; i < 3; ++i) worker.post([order, i] { order->push_back(i); });
        ASSERT_TRUE(worker.waitForIdle(std::chrono::seconds(10)));
        EXPECT_EQ(*order, (std::vector<int>{0, 1, 2}));

        // A read stuck for good: waited for only as long as asked, and not at all when
        // the worker goes (this block would not end otherwise).
        worker.post([released] { released.wait(); });
        EXPECT_FALSE(worker.waitForIdle(std::chrono::milliseconds(50)));
    }
    release.set_value();
}

}  // namespace
}  // namespace norvo
