#define Q_TEST_QPIXMAPCACHE  // QPixmapCache::totalUsed()
#include "Kit/FLMeterBar.hpp"
#include "Kit/GlowText.hpp"
#include "Kit/KeyCap.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitPicture.hpp"
#include "Kit/LayerPicture.hpp"

#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <gtest/gtest.h>

#include "NorvoStudio/Support/ImageDifference.hpp"

namespace norvo {
namespace {

enum class KeyState { up, down };

// A key with shadow, gradient and text: antialiased edges show any shift of the copy.
void drawKey(QPainter& p, KeyState state) {
    KeyCap{.down = state == KeyState::down,
           .width = 58,
           .height = 34,
           .label = KeyLabel::caption(QStringLiteral("MEMORY"))}
        .paint(p, QPointF(5, 4));
}

using test::largestDifference;

struct Placement {
    qreal scale;
    QPointF offset;
    QRectF clip;  // logical; empty for none
};

class KitPictureTest : public ::testing::TestWithParam<Placement> {};

// The copy lands where direct drawing would, at any painter scale and sub-pixel offset.
TEST_P(KitPictureTest, TheCopyIsWhatDrawingDirectlyGives) {
    const Placement placement = GetParam();
    const QRectF bounds(0, 0, 68, 46);
    QImage direct(QSize(100, 80), QImage::Format_ARGB32_Premultiplied), cached = direct;
    direct.fill(Qt::darkGray);
    cached.fill(Qt::darkGray);
    const auto place = [&](QPainter& p) {
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        p.translate(placement.offset);
        p.scale(placement.scale, placement.scale);
        if (!placement.clip.isEmpty()) p.setClipRect(placement.clip);
    };
    {
        QPainter p(&direct);
        place(p);
        drawKey(p, KeyState::up);
    }
    KitPicture picture;
    {
        QPainter p(&cached);
        place(p);
        picture.paint(p, bounds, QStringLiteral("up"), [](QPainter& q) { drawKey(q, KeyState::up); });
    }
    EXPECT_LE(largestDifference(direct, cached), 2);
}

INSTANTIATE_TEST_SUITE_P(Placements, KitPictureTest,
                         ::testing::Values(Placement{1.0, {0, 0}, {}}, Placement{1.0, {3.25, 7.5}, {}},
                                           Placement{0.75, {1.3, 2.6}, {}}, Placement{2.0, {0.5, 0.25}, {}},
                                           // Only the clipped part is copied, and only there.
                                           Placement{1.0, {2.5, 1}, {10, 5, 20.5, 13}},
                                           Placement{0.75, {1.3, 2.6}, {30, 0, 40, 30}}));

TEST(KitPicture, DrawsAnewOnlyWhenTheKeyOrThePlacementChanges) {
    QImage image(QSize(100, 80), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    KitPicture picture;
    int draws = 0;
    const auto paint = [&](const QString& key, QPointF at, qreal scale = 1) {
        QPainter p(&image);
        p.translate(at);
        p.scale(scale, scale);
        picture.paint(p, QRectF(0, 0, 68, 46), key, [&](QPainter& q) {
            ++draws;
            drawKey(q, key == QStringLiteral("down") ? KeyState::down : KeyState::up);
        });
    };
    paint(QStringLiteral("up"), {0, 0});
    paint(QStringLiteral("up"), {0, 0});
    paint(QStringLiteral("up"), {10, 3});  // moved by whole pixels: the same pixels
    EXPECT_EQ(draws, 1);
    paint(QStringLiteral("down"), {10, 3});
    EXPECT_EQ(draws, 2);
    paint(QStringLiteral("down"), {10.5, 3});  // half a pixel over: drawn at the new phase
    EXPECT_EQ(draws, 3);
    paint(QStringLiteral("down"), {10.5, 3}, 0.75);
    EXPECT_EQ(draws, 4);
    EXPECT_EQ(picture.renders(), 4);
}

// A layer that slides and fades is drawn once; each copy is the drawing moved, at the opacity.
TEST(LayerPicture, SlidesAndFadesWithoutBeingDrawnAgain) {
    LayerPicture layer;
    const QRectF bounds(-5, -4, 78, 54);  // the key and its shadow
    enum class Drawn { directly, throughLayer };
    const auto render = [&](QPointF offset, qreal opacity, Drawn drawn) {
        QImage image(QSize(120, 100), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        p.setOpacity(opacity);
        if (drawn == Drawn::throughLayer) {
            layer.paint(p, bounds, offset, [](QPainter& q) { drawKey(q, KeyState::up); });
        } else {
            p.translate(offset);
            drawKey(p, KeyState::up);
        }
        return image;
    };
    EXPECT_LE(largestDifference(render({0, 0}, 1, Drawn::throughLayer), render({0, 0}, 1, Drawn::directly)), 2);
    EXPECT_LE(largestDifference(render({3, 11.5}, 1, Drawn::throughLayer), render({3, 11.5}, 1, Drawn::directly)), 2);
    const QImage faded = render({3, 11.5}, 0.5, Drawn::throughLayer);
    EXPECT_EQ(layer.renders(), 1);
    // Faded as one picture: every pixel is the whole drawing's at half its alpha.
    const QImage whole = render({3, 11.5}, 1, Drawn::throughLayer);
    int worst = 0;
    for (int y = 0; y < whole.height(); ++y)
        for (int x = 0; x < whole.width(); ++x)
            worst = std::max(worst, std::abs(qAlpha(faded.pixel(x, y)) - qAlpha(whole.pixel(x, y)) / 2));
    EXPECT_LE(worst, 2);
}

// Under a rotation there are no whole device pixels to copy onto: it draws directly.
TEST(KitPicture, DrawsDirectlyUnderARotation) {
    QImage image(QSize(100, 80), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    KitPicture picture;
    int draws = 0;
    for (int i = 0; i < 2; ++i) {
        QPainter p(&image);
        p.rotate(10);
        picture.paint(p, QRectF(0, 0, 68, 46), QStringLiteral("up"), [&](QPainter& q) {
            ++draws;
            drawKey(q, KeyState::up);
        });
    }
    EXPECT_EQ(draws, 2);
    EXPECT_EQ(picture.renders(), 0);
}

// Ten minutes of recording show a thousand counter values, times and meter levels that mostly
// never come back: none of them is kept for good.
TEST(KitPicture, ReadoutsThroughAThousandValuesKeepNothingForGood) {
    QPixmapCache::clear();
    QImage image(QSize(640, 280), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter p(&image);
    p.scale(2, 2);
    for (int i = 0; i < 1000; ++i) {
        GlowText{QString::asprintf("%03d", i), 30, KitColor::amber}.paint(p, QRectF(10, 10, 120, 40));
        GlowText{QString::asprintf("%d:%02d", i / 60, i % 60), 15, KitColor::displayCyan}.paint(p, QRectF(10, 60, 120,
                                                                                                          20));
        const double db = -45 + i % 50;
        FLMeterBar{{db, db + 2}, QStringLiteral("L")}.paint(p, QRectF(10, 100, 300, 10));
    }
    EXPECT_LE(QPixmapCache::totalUsed(), 1) << "megabytes kept for good";
}

TEST(KitPicture, ChangingDrawingsAreKeptWhileRecent) {
    QPixmapCache::clear();
    RecentPictures::shared().clear();
    QImage image(QSize(240, 100), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.scale(2, 2);
    int draws = 0;
    const auto show = [&](int value) {
        KitPicture::paintShared(
            p, QRectF(0, 0, 120, 50), QString::number(value),
            [&](QPainter& q) {
                ++draws;
                q.fillRect(QRectF(0, 0, 120, 50), QColor::fromHsv(value % 360, 200, 200));
            },
            PictureLife::changing);
    };
    for (int value = 0; value < 1000; ++value) show(value);
    EXPECT_EQ(draws, 1000);
    show(999);
    show(998);
    EXPECT_EQ(draws, 1000) << "values on show lately are copied";
    show(0);
    EXPECT_EQ(draws, 1001) << "a value long gone is drawn again";
    EXPECT_EQ(QPixmapCache::totalUsed(), 0);
}

}  // namespace
}  // namespace norvo
