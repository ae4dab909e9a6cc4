#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <csignal>

#include "NorvoStudioApp/TerminationSignals.hpp"

namespace norvo {
namespace {

TEST(TerminationSignals, ATerminationBecomesOneSignalOnTheMainThreadAndTheOldHandlerReturns) {
    std::vector<int> received;
    {
        TerminationSignals watcher;
        QObject::connect(&watcher, &TerminationSignals::terminationRequested,
                         [&](int number) { received.push_back(number); });
        ASSERT_EQ(std::raise(SIGTERM), 0);  // without the handler this would end the test program
        QElapsedTimer waited;
        waited.start();
        while (received.empty() && waited.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(received, std::vector<int>{SIGTERM});
    }
    struct sigaction now {};
    ::sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace norvo
