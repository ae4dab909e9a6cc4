#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <gtest/gtest.h>

#include "Kit/KitPicture.hpp"
#include "Kit/PictureKey.hpp"
#include "Kit/RecentPictures.hpp"

namespace norvo {
namespace {

struct Lamp {
    int size;
    bool on;
    bool operator==(const Lamp&) const = default;
    friend size_t qHash(const Lamp& lamp, size_t seed = 0) noexcept { return qHashMulti(seed, lamp.size, lamp.on); }
};

// The same fields under another name: another drawing.
struct Dial {
    int size;
    bool on;
    bool operator==(const Dial&) const = default;
    friend size_t qHash(const Dial& dial, size_t seed = 0) noexcept { return qHashMulti(seed, dial.size, dial.on); }
};

// A picture is drawn once per value, whichever cache keeps it, and again only when the cache
// has let it go.
TEST(PictureKey, EqualValuesShareAPictureOtherValuesAndTypesAreDrawnAnew) {
    for (const PictureLife life : {PictureLife::lasting, PictureLife::changing}) {
        QPixmapCache::clear();
        RecentPictures::shared().clear();
        QImage image(QSize(40, 40), QImage::Format_ARGB32_Premultiplied);
        QPainter p(&image);
        int draws = 0;
        const auto show = [&](const PictureKey& key) {
            const auto draw = [&](QPainter& q) {
                ++draws;
                q.fillRect(QRectF(0, 0, 20, 20), Qt::red);
            };
            KitPicture::paintShared(p, QRectF(0, 0, 20, 20), key, draw, life);
        };
        show(PictureKey(Lamp{.size = 8, .on = true}));
        show(PictureKey(Lamp{.size = 8, .on = true}));
        EXPECT_EQ(draws, 1) << int(life);
        show(PictureKey(Lamp{.size = 8, .on = false}));
        show(PictureKey(Dial{.size = 8, .on = true}));
        show(QStringLiteral("lamp"));
        EXPECT_EQ(draws, 4) << int(life);
        show(QStringLiteral("lamp"));
        show(PictureKey(Lamp{.size = 8, .on = false}));
        EXPECT_EQ(draws, 4) << int(life);

        if (life == PictureLife::lasting) QPixmapCache::clear();
        else RecentPictures::shared().clear();
        show(PictureKey(Lamp{.size = 8, .on = true}));
        show(PictureKey(Lamp{.size = 8, .on = true}));
        EXPECT_EQ(draws, 5) << int(life) << ": drawn again once the cache let it go, then kept again";
    }
}

}  // namespace
}  // namespace norvo
