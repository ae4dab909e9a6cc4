#include "Kit/BrushedMetal.hpp"
#include "Kit/XorShiftRandom.hpp"

#include <gtest/gtest.h>

namespace norvo {
namespace {

// Reference values below come from an independent big-integer implementation of the same rules.

TEST(XorShiftRandom, FirstOutputsFromTheMetalSeed) {
    XorShiftRandom random(BrushedMetal::seed);
    EXPECT_EQ(random.next(), 0xf63f752dd400329aULL);
    EXPECT_EQ(random.next(), 0xeccee9dd2109d47fULL);
    EXPECT_EQ(random.next(), 0x7f596005939f3817ULL);
}

TEST(XorShiftRandom, BoundedDrawRejectsBiasedProductsAndTakesTheNextOutput) {
    // This seed's first output is 2048, whose product with 2^53 + 1 has low bits 2048 (< 2^53 − 2047).
    XorShiftRandom random(0x220b1451b0a94cd9ULL);
    EXPECT_EQ(random.nextBounded53(), 1082270785ULL);
    EXPECT_EQ(random.state(), 0x20411220810ULL) << "exactly two outputs consumed";
}

TEST(XorShiftRandom, TopOfTheRangeGivesTheUpperBoundExactly) {
    // This seed's first output is 2^64 − 1: the integer comes out as 2^53.
    XorShiftRandom random(0x6a2b51650bc99dc4ULL);
    EXPECT_EQ(random.draw(0.02, 0.09), 0.09);
}

TEST(XorShiftRandom, WoodGrainDrawsUseTheConstantWidths) {
    // The six draws of the first grain line, widths 3, 0.05, 16, 20, 20 and 6.
    XorShiftRandom random(0xCC623AF8783354E7ULL);
    EXPECT_EQ(random.draw(1, 4, 3), 1.2461199463985109);
    EXPECT_EQ(random.draw(0.02, 0.07, 0.05), 0.041567698618064836);
    EXPECT_EQ(random.draw(-8, 8, 16), -1.9401474001761283);
    EXPECT_EQ(random.draw(-10, 10, 20), -2.9395683637300607);
    EXPECT_EQ(random.draw(-10, 10, 20), -1.8298938546931218);
    EXPECT_EQ(random.draw(3, 9, 6), 6.617387326848731);
}

TEST(BrushedMetal, FirstStreaks) {
    const auto streaks = BrushedMetal::streaks(6);
    ASSERT_EQ(streaks.size(), 5u);
    // y, opacity, white
    const std::vector<BrushedMetal::Streak> expected{{0.0, 0.08733340516871982, true},
                                                     {1.147711755013788, 0.05947146929708297, true},
                                                     {2.043444580344107, 0.025714851023471638, true},
                                                     {3.3491980910794172, 0.07196615761260818, false},
                                                     {4.882350839377374, 0.022857690319251733, true}};
    EXPECT_EQ(streaks, expected);
}

TEST(BrushedMetal, NoStreaksWithoutHeight) {
    EXPECT_TRUE(BrushedMetal::streaks(0).empty());
    EXPECT_TRUE(BrushedMetal::streaks(-5).empty());
}

TEST(BrushedMetal, TallerMetalOnlyAddsStreaksBelow) {
    const auto short_ = BrushedMetal::streaks(40);
    const auto tall = BrushedMetal::streaks(400);
    ASSERT_GT(tall.size(), short_.size());
    EXPECT_TRUE(std::equal(short_.begin(), short_.end(), tall.begin()));
    EXPECT_EQ(BrushedMetal::streaks(400), tall) << "a redraw gives the same streaks";
    EXPECT_LT(short_.back().y, 40);
    EXPECT_GE(tall[short_.size()].y, 40);
    for (size_t i = 0; i < tall.size(); ++i) {
        EXPECT_GE(tall[i].opacity, 0.02);
        EXPECT_LE(tall[i].opacity, 0.09);
        if (i > 0) {
            EXPECT_GE(tall[i].y - tall[i - 1].y, 0.7 - 1e-12);
            EXPECT_LE(tall[i].y - tall[i - 1].y, 1.6 + 1e-12);
        }
    }
}

}  // namespace
}  // namespace norvo
