// The pure arithmetic of the face: marquee offsets, dial positions, signal segments,
// detents from movement, the needle's spring.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Tuner/DetentStepper.hpp"
#include "Tuner/DialScale.hpp"
#include "Tuner/MarqueeText.hpp"
#include "Tuner/SignalMeter.hpp"
#include "Tuner/Spring.hpp"

namespace norvo {
namespace {

// Whether the display is lit, for the parts that show nothing while it is dark.
constexpr bool lit = true, unlit = false;

TEST(MarqueeText, ScrollsOnlyWhenLitAndWiderThanTheBoxBeyondTolerance) {
    EXPECT_FALSE(MarqueeText::scrolls(lit, 200, 200));
    EXPECT_FALSE(MarqueeText::scrolls(lit, 200.5, 200));
    EXPECT_TRUE(MarqueeText::scrolls(lit, 200.6, 200));
    EXPECT_FALSE(MarqueeText::scrolls(unlit, 400, 200));
    EXPECT_FALSE(MarqueeText::scrolls(lit, 0, 200));  // before the first measurement
}

TEST(MarqueeText, OffsetPausesThenMovesAndLoopsSeamlessly) {
    const double width = 300;
    EXPECT_NEAR(MarqueeText::cycle(width), 356.0 / 30 + 1.6, 1e-9);
    const std::vector<std::pair<double, double>> table = {{0, 0},     {1.0, 0},   {1.6, 0},
                                                          {2.6, -30}, {3.6, -60}, {-0.5, 0}};
    for (auto [elapsed, offset] : table) EXPECT_NEAR(MarqueeText::offset(elapsed, width), offset, 1e-9) << elapsed;
    // Just before the end of a cycle the row has moved by width + gap; then it starts over.
    const double cycle = MarqueeText::cycle(width);
    EXPECT_NEAR(MarqueeText::offset(cycle - 1e-9, width), -(width + 56), 1e-6);
    EXPECT_NEAR(MarqueeText::offset(cycle + 2.6, width), -30, 1e-6);
}

TEST(MarqueeText, ANewTextRestartsTheCycleAndTheSameTextDoesNot) {
    MarqueeText marquee;
    marquee.setText("A", 10);
    marquee.setText("A", 20);
    EXPECT_EQ(marquee.start(), 10);
    marquee.setText("B", 30);
    EXPECT_EQ(marquee.start(), 30);
}

TEST(DialScale, TicksAndStationsSpreadOverTheSpan) {
    const qreal w = 384;
    EXPECT_DOUBLE_EQ(DialScale::tickX(0, w), 8);
    EXPECT_DOUBLE_EQ(DialScale::tickX(20, w), w - 8);
    EXPECT_DOUBLE_EQ(DialScale::tickX(10, w), w / 2);
    EXPECT_DOUBLE_EQ(DialScale::stationX(0, 1, w), w / 2);  // a lone station in the middle
    EXPECT_DOUBLE_EQ(DialScale::stationX(0, 2, w), 8);
    EXPECT_DOUBLE_EQ(DialScale::stationX(1, 2, w), w - 8);
    EXPECT_DOUBLE_EQ(DialScale::stationX(199, 200, w), w - 8);
    EXPECT_DOUBLE_EQ(DialScale::stationX(99.5, 200, w), w / 2);
}

TEST(SignalMeter, SegmentsLitByLevel) {
    const std::vector<std::pair<double, int>> table = {{0, 0},   {-1, 0},   {0.01, 1}, {0.2, 1}, {0.21, 2},
                                                       {0.8, 4}, {0.81, 5}, {1.0, 5},  {3.0, 5}, {std::nan(""), 0}};
    for (auto [level, segments] : table) EXPECT_EQ(SignalMeter::litSegments(level, lit), segments) << level;
    EXPECT_EQ(SignalMeter::litSegments(1.0, unlit), 0);
}

TEST(DetentStepper, TwelvePointsADetentWithTheThresholdInclusive) {
    DetentStepper stepper;
    std::vector<int> steps;
    auto record = [&](int step) { steps.push_back(step); };
    stepper.feed(11.9, record);
    EXPECT_TRUE(steps.empty());
    stepper.reset();
    stepper.feed(12, record);
    EXPECT_EQ(steps, (std::vector<int>{1}));
    steps.clear();
    stepper.reset();
    stepper.feed(40, record);
    EXPECT_EQ(steps, (std::vector<int>{1, 1, 1}));
    EXPECT_DOUBLE_EQ(stepper.accumulated(), 4);
    steps.clear();
    stepper.feed(-28, record);
    EXPECT_EQ(steps, (std::vector<int>{-1, -1}));
}

TEST(DetentStepper, WheelMovementInPoints) {
    constexpr bool inverted = true, plain = false;
    EXPECT_DOUBLE_EQ(DetentStepper::wheelMovement(0, 120, plain), 12);  // one notch, one detent
    EXPECT_DOUBLE_EQ(DetentStepper::wheelMovement(0, 60, plain), 6);    // half a notch needs two
    EXPECT_DOUBLE_EQ(DetentStepper::wheelMovement(0, -120, plain), -12);
    EXPECT_DOUBLE_EQ(DetentStepper::wheelMovement(7, 120, plain), 7);  // touchpads count points
    // Natural scrolling reports the other sign for the same movement of the fingers.
    EXPECT_DOUBLE_EQ(DetentStepper::wheelMovement(-7, -120, inverted), 7);
}

TEST(Spring, SettlesOnItsTargetWithoutRunningAway) {
    Spring spring(0.35, 0.78);
    spring.reset(0);
    spring.setTarget(10);
    double furthest = 0;
    for (int i = 0; i < 120; ++i) {
        spring.step(1.0 / 60);
        furthest = std::max(furthest, spring.position());
    }
    EXPECT_TRUE(spring.settled());
    EXPECT_DOUBLE_EQ(spring.position(), 10);
    EXPECT_LT(furthest, 11);  // some overshoot, not much
}

}  // namespace
}  // namespace norvo
