#include "Tuner/TunerDisplay.hpp"

#include <gtest/gtest.h>

#include <chrono>

#include "FakeTuner.hpp"

namespace norvo {
namespace {

using test::FakeTuner;
using namespace std::chrono_literals;

class TunerDisplayTest : public testing::Test {
protected:
    void SetUp() override {
        tuner.on = true;
        tuner.bandState = {TunerFacade::Query::top(), test::makeBand(200)};
        tuner.current = tuner.bandState.stations[10];
        tuner.dialPosition = 10;
        tuner.receptionState = TunerFacade::Reception::tuned();
        tuner.title = "A title";
        tuner.publish();
    }
    FakeTuner tuner;
    FakeClock clock{Date(1000s)};
    TunerDisplay display{tuner, {}, clock};
};

TEST_F(TunerDisplayTest, AFreshMarqueeReturnsWhenTheMemoryPromptGoes) {
    EXPECT_EQ(display.mainMarquee().start(), 1000);
    clock.advance(5s);
    tuner.armed = true;
    tuner.publish();
    clock.advance(3s);
    tuner.armed = false;
    tuner.publish();
    EXPECT_EQ(display.mainMarquee().text(), QString::fromUtf8("\u266A A TITLE"));
    EXPECT_EQ(display.mainMarquee().start(), 1008);
    // A change elsewhere keeps the cycle running.
    clock.advance(1s);
    tuner.signalLevel = 0.5;
    tuner.publish();
    EXPECT_EQ(display.mainMarquee().start(), 1008);
}

TEST_F(TunerDisplayTest, TheNeedleSpringsToANewDialAndJumpsToANewBand) {
    EXPECT_EQ(display.needlePosition(), 10);
    tuner.dialPosition = 20;
    tuner.publish();
    display.tick(1.0 / 60);
    EXPECT_GT(display.needlePosition(), 10);
    EXPECT_LT(display.needlePosition(), 20);
    for (int i = 0; i < 90; ++i) display.tick(1.0 / 60);
    EXPECT_DOUBLE_EQ(display.needlePosition(), 20);

    tuner.bandState.stations.resize(50);
    tuner.dialPosition = 3;
    tuner.publish();
    EXPECT_DOUBLE_EQ(display.needlePosition(), 3);
}

}  // namespace
}  // namespace norvo
