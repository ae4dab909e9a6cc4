#include "Rack/WoodGrain.hpp"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace norvo {
namespace {

TEST(WoodGrain, IsTheSameOnEveryRedrawAndCoversTheHeight) {
    const auto first = WoodGrain::lines(QSizeF(1232, 920));
    const auto again = WoodGrain::lines(QSizeF(1232, 920));
    ASSERT_FALSE(first.empty());
    ASSERT_EQ(first.size(), again.size());
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].path, again[i].path);
        EXPECT_EQ(first[i].width, again[i].width);
    }
    EXPECT_EQ(first.front().y, 0);
    for (const auto& line : first) {
        EXPECT_LT(line.y, 920);
        EXPECT_GE(line.width, 1);
        EXPECT_LE(line.width, 4);
        EXPECT_GE(line.opacity, 0.02);
        EXPECT_LE(line.opacity, 0.07);
        EXPECT_EQ(line.path.elementAt(0).x, 0);
        EXPECT_EQ(line.path.currentPosition().x(), 1232);
    }
    // Lines advance 3 to 9 points: 920 points hold between 103 and 307 of them.
    EXPECT_GE(first.size(), 920u / 9);
    EXPECT_LE(first.size(), 920u / 3 + 1);
}

TEST(WoodGrain, NothingForAnEmptyHeightAndTheSameSequenceForAnyWidth) {
    EXPECT_TRUE(WoodGrain::lines(QSizeF(800, 0)).empty());
    const auto narrow = WoodGrain::lines(QSizeF(100, 300));
    const auto wide = WoodGrain::lines(QSizeF(900, 300));
    ASSERT_EQ(narrow.size(), wide.size());
    for (size_t i = 0; i < narrow.size(); ++i) EXPECT_EQ(narrow[i].y, wide[i].y);
}

TEST(WoodGrain, PaintsABrownGradientDarkeningDownwards) {
    QImage image(200, 400, QImage::Format_ARGB32);
    QPainter painter(&image);
    WoodGrain::paint(painter, QSizeF(200, 400));
    painter.end();
    const QColor top = image.pixelColor(100, 1);
    const QColor bottom = image.pixelColor(100, 398);
    EXPECT_GT(top.red(), top.blue());
    EXPECT_GT(top.red(), bottom.red());
    EXPECT_NEAR(top.redF(), 0.23, 0.05);
    EXPECT_NEAR(bottom.redF(), 0.12, 0.04);
}

}  // namespace
}  // namespace norvo
