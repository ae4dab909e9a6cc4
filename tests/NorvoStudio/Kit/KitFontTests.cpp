#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/Silkscreen.hpp"

#include <QFontInfo>
#include <QFontMetricsF>
#include <gtest/gtest.h>

namespace norvo {
namespace {

// These fail loudly when a font package is missing and fontconfig substitutes another.
TEST(KitFont, RolesResolveToTheInstalledFamilies) {
    EXPECT_EQ(QFontInfo(KitFont::system(12, QFont::DemiBold)).family(), "Inter");
    EXPECT_EQ(QFontInfo(KitFont::monospaced(12)).family(), "DejaVu Sans Mono");
    const QFontInfo brand(KitFont::brand(18));
    EXPECT_EQ(brand.family(), "DejaVu Serif");
    EXPECT_TRUE(brand.italic());
    EXPECT_GE(brand.weight(), int(QFont::Bold));
    EXPECT_EQ(QFontInfo(KitFont::emoji(14)).family(), "Noto Color Emoji");
}

TEST(KitFont, SizesAreDesignPointsAsPixels) {
    EXPECT_EQ(QFontInfo(KitFont::system(9)).pixelSize(), 9);
    EXPECT_EQ(QFontInfo(KitFont::monospaced(30)).pixelSize(), 30);
    EXPECT_EQ(KitFont::system(9).pointSizeF(), -1) << "never a point size";
}

TEST(KitFont, WeightsAndExpandedWidthReachTheGlyphs) {
    const QString text = "STUDIO CASSETTE DECK";
    const qreal regular = QFontMetricsF(KitFont::system(12, QFont::DemiBold)).horizontalAdvance(text);
    const qreal expanded =
        QFontMetricsF(KitFont::system(12, QFont::DemiBold, KitFont::Width::expanded)).horizontalAdvance(text);
    EXPECT_GT(expanded, regular * 1.15);
    EXPECT_EQ(QFontInfo(KitFont::system(12, QFont::Black)).weight(), int(QFont::Black));
    EXPECT_EQ(QFontInfo(KitFont::system(12, QFont::Medium)).weight(), int(QFont::Medium));
}

TEST(Silkscreen, InkAndTrackingAtEverySize) {
    EXPECT_EQ((Silkscreen{"REC", 8, Lettering::light}.ink()), KitColor::silkscreenLight);
    EXPECT_EQ((Silkscreen{"REC", 8, Lettering::dark}.ink()), KitColor::silkscreenDark);
    EXPECT_NEAR(KitColor::silkscreenLight.redF(), 0.78, 0.002);
    EXPECT_NEAR(KitColor::silkscreenDark.redF(), 0.25, 0.002);
    for (qreal size : {7.0, 8.0, 10.0}) {
        const QFont font = Silkscreen{"TAPE MAP", size}.font();
        EXPECT_EQ(font.letterSpacingType(), QFont::AbsoluteSpacing);
        EXPECT_NEAR(font.letterSpacing(), 1.2, 1.0 / 64);  // Qt keeps spacing in 1/64 pixel
        EXPECT_EQ(font.stretch(), int(QFont::Expanded));
        EXPECT_EQ(font.weight(), QFont::DemiBold);
    }
}

}  // namespace
}  // namespace norvo
