#include "Kit/FLMeterBar.hpp"
#include "Kit/FLMeterScale.hpp"
#include "Kit/KitColor.hpp"

#include <QImage>
#include <gtest/gtest.h>

namespace norvo {
namespace {

struct MeterCase {
    const char* name;
    double db;
    double peakDB;
    std::vector<double> lit;
    std::vector<double> peak;
};

class FLMeterBarSegments : public ::testing::TestWithParam<MeterCase> {};

TEST_P(FLMeterBarSegments, LightTheMarkedSegments) {
    const MeterCase& c = GetParam();
    const auto segments = FLMeterBar::segments({c.db, c.peakDB});
    std::vector<double> lit, peak;
    for (size_t i = 0; i < segments.size(); ++i) {
        if (segments[i].lit) lit.push_back(FLMeterBar::marks[i]);
        if (segments[i].peak) peak.push_back(FLMeterBar::marks[i]);
        EXPECT_FALSE(segments[i].lit && segments[i].peak);
        EXPECT_EQ(segments[i].glows(), segments[i].lit) << "only lit segments glow";
    }
    EXPECT_EQ(lit, c.lit);
    EXPECT_EQ(peak, c.peak);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FLMeterBarSegments,
    ::testing::Values(MeterCase{"silence", -60, -60, {}, {}},
                      MeterCase{"exactlyMinus10", -10, -60, {-40, -30, -20, -15}, {}},
                      MeterCase{"halfDbOver", 0.5, 0.5, {-40, -30, -20, -15, -10, -7, -5, -3, -1, 0}, {}},
                      MeterCase{"peakMinus5point5", -50, -5.5, {}, {-7}},
                      MeterCase{"peak2point5", -50, 2.5, {}, {0, 1, 2}}, MeterCase{"peakMinus35", -50, -35, {}, {}},
                      MeterCase{"peakOnItsMarkIsNotAbove", -50, -3, {}, {-5}},
                      MeterCase{"peakUnderLitRun", -4, -2, {-40, -30, -20, -15, -10, -7, -5}, {-3}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FLMeterBar, SegmentColoursSwitchToRedAtZero) {
    for (double mark : FLMeterBar::marks) {
        const auto s = FLMeterBar::segment(mark, -60, -60);
        EXPECT_EQ(s.color(), mark >= 0 ? KitColor::ledRed : KitColor::displayCyan) << mark;
        EXPECT_NEAR(s.fill().alphaF(), 0.1, 0.01) << "unlit segments stay faintly visible";
    }
    EXPECT_EQ(FLMeterBar::segment(0, 0.5, 0.5).fill(), KitColor::ledRed);
    EXPECT_EQ(FLMeterBar::segment(-7, -50, -5.5).fill(), KitColor::displayCyan) << "a peak segment has full colour";
}

TEST(FLMeterScale, PrintsSevenFiguresInTheirColours) {
    // Each figure and whether it is printed red.
    std::vector<std::pair<QString, bool>> printed;
    for (double mark : FLMeterBar::marks) {
        const QString text = FLMeterScale::figure(mark);
        if (!text.isEmpty())
            printed.emplace_back(text, FLMeterScale::color(mark).red() > FLMeterScale::color(mark).green());
    }
    const std::vector<std::pair<QString, bool>> expected{{"-40", false}, {"-30", false}, {"-20", false}, {"-10", false},
                                                         {"-5", false},  {"0", true},    {"3", true}};
    EXPECT_EQ(printed, expected);
}

TEST(FLMeterBarPixels, SegmentsShowTheirColours) {
    QImage image(340, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    const QRectF rect(0, 0, 320, 20);
    {
        QPainter painter(&image);
        FLMeterBar{{0.5, 0.5}, "L"}.paint(painter, rect);
    }
    const auto rects = FLMeterBar::segmentRects(rect);
    const QColor cyan = image.pixelColor(rects[8].center().toPoint());
    const QColor red = image.pixelColor(rects[9].center().toPoint());
    const QColor dimRed = image.pixelColor(rects[10].center().toPoint());
    EXPECT_NEAR(cyan.red(), KitColor::displayCyan.red(), 3);
    EXPECT_NEAR(cyan.green(), KitColor::displayCyan.green(), 3);
    EXPECT_NEAR(red.red(), KitColor::ledRed.red(), 3);
    EXPECT_NEAR(red.green(), KitColor::ledRed.green(), 3);
    EXPECT_NEAR(dimRed.red(), 0.1 * 255, 6) << "unlit red at 0.1 over black";
    // The lit 0 dB segment glows red into the gap before the unlit one; the last segment does not glow.
    const QPoint gap(int((rects[9].right() + rects[10].left()) / 2), int(rects[9].center().y()));
    EXPECT_GT(image.pixelColor(gap).red(), 30);
    const QPoint afterLast(int(rects[14].right() + 3), int(rects[14].center().y()));
    EXPECT_LT(image.pixelColor(afterLast).red(), 8);
}

TEST(FLMeterScalePixels, FiguresStandOverTheirSegments) {
    QImage image(320, 12, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    const QRectF rect(0, 0, 320, 12);
    {
        QPainter painter(&image);
        FLMeterScale::paint(painter, rect);
    }
    const auto columns = FLMeterBar::segmentRects(rect);
    auto inkIn = [&](const QRectF& column) {
        int ink = 0;
        for (int x = int(column.left()); x < int(column.right()); ++x)
            for (int y = 0; y < image.height(); ++y) ink += image.pixelColor(x, y).value() > 40;
        return ink;
    };
    for (size_t i = 0; i < FLMeterBar::marks.size(); ++i) {
        if (FLMeterScale::figure(FLMeterBar::marks[i]).isEmpty()) EXPECT_EQ(inkIn(columns[i]), 0) << i;
        else EXPECT_GT(inkIn(columns[i]), 0) << i;
    }
}

}  // namespace
}  // namespace norvo
