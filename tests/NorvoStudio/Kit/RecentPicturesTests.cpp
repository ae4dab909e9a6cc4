#include "Kit/RecentPictures.hpp"

#include <QImage>
#include <gtest/gtest.h>

namespace norvo {
namespace {

QPixmap filled(QSize size, Qt::GlobalColor color) {
    QPixmap pixmap(size);
    pixmap.fill(color);
    return pixmap;
}

QColor colourOf(const QPixmap& pixmap) { return pixmap.toImage().pixelColor(0, 0); }

TEST(RecentPictures, DropsTheLeastRecentlyShownOnceFullAndNeverPassesItsLimit) {
    const QSize size(40, 40);
    const qsizetype bytes = qsizetype(size.width()) * size.height() * filled(size, Qt::red).depth() / 8;
    RecentPictures pictures(3 * bytes);
    pictures.insert(QStringLiteral("a"), filled(size, Qt::red));
    pictures.insert(QStringLiteral("b"), filled(size, Qt::green));
    pictures.insert(QStringLiteral("c"), filled(size, Qt::blue));
    QPixmap found;
    ASSERT_TRUE(pictures.find(QStringLiteral("a"), &found));  // shown again: now the most recent
    EXPECT_EQ(colourOf(found), QColor(Qt::red));

    pictures.insert(QStringLiteral("d"), filled(size, Qt::yellow));
    EXPECT_FALSE(pictures.find(QStringLiteral("b"), &found)) << "the least recently shown goes first";
    for (const char* key : {"a", "c", "d"}) EXPECT_TRUE(pictures.find(QString::fromLatin1(key), &found)) << key;
    EXPECT_EQ(pictures.bytes(), 3 * bytes);

    // One picture larger than the whole room is drawn but not kept, and pushes nothing out.
    pictures.insert(QStringLiteral("huge"), filled(QSize(100, 100), Qt::black));
    EXPECT_FALSE(pictures.find(QStringLiteral("huge"), &found));
    EXPECT_EQ(pictures.count(), 3);
    EXPECT_LE(pictures.bytes(), pictures.limitBytes());
}

}  // namespace
}  // namespace norvo
