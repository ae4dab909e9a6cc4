#include "Cassette/SideWorkers.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

namespace norvo {
namespace {

TEST(SideWorkers, TheFailureThatStoppedTheOtherSideIsTheOneReported) {
    // Side A runs until it is told to stop; side B fails at once (a full disk, say). The
    // user is to hear of the full disk, not of side A's stopping.
    SideWorkers workers;
    workers.add(10, [](const auto&, const std::atomic<bool>& cancelled) {
        while (!cancelled.load()) std::this_thread::yield();
        throw std::runtime_error("The encoding was cancelled");
    });
    workers.add(10, [](const auto&, const auto&) { throw std::runtime_error("There is no space left"); });
    try {
        workers.run({});
        ADD_FAILURE() << "no failure";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "There is no space left");
    }
}

}  // namespace
}  // namespace norvo
