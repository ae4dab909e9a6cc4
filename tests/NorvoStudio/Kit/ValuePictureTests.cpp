#include "Kit/ValuePicture.hpp"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace norvo {
namespace {

struct Shown {
    QString text;
    bool lit = false;
    bool operator==(const Shown&) const = default;
};

// The kept pixels follow every field of the value, and are drawn again only when one changed.
TEST(ValuePicture, DrawsAnewExactlyWhenAFieldOfItsValueChanges) {
    QImage image(QSize(40, 20), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    ValuePicture<Shown> picture;
    int draws = 0;
    const auto paint = [&](const Shown& shown) {
        QPainter p(&image);
        picture.paint(p, QRectF(0, 0, 40, 20), shown, [&](QPainter& q) {
            ++draws;
            q.fillRect(QRectF(0, 0, 40, 20), shown.lit ? Qt::white : Qt::gray);
        });
    };
    paint({.text = "A", .lit = false});
    paint({.text = "A", .lit = false});
    EXPECT_EQ(draws, 1);
    paint({.text = "A", .lit = true});
    EXPECT_EQ(draws, 2);
    EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::white));
    paint({.text = "B", .lit = true});
    paint({.text = "B", .lit = true});
    EXPECT_EQ(draws, 3);
    paint({.text = "B", .lit = false});
    EXPECT_EQ(draws, 4);
    EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::gray));
}

}  // namespace
}  // namespace norvo
