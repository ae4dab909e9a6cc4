#include "RecentPictures.hpp"

#include <QPixmapCache>

namespace norvo {

namespace {
qsizetype bytesOf(const QPixmap& pixmap) { return qsizetype(pixmap.width()) * pixmap.height() * pixmap.depth() / 8; }
}  // namespace

RecentPictures::RecentPictures(qsizetype limitBytes) : pictures_(limitBytes) {}

bool RecentPictures::find(const QString& key, QPixmap* pixmap) {
    const QPixmap* kept = pictures_.object(key);
    if (!kept) return false;
    *pixmap = *kept;
    return true;
}

void RecentPictures::insert(const QString& key, const QPixmap& pixmap) {
    pictures_.insert(key, new QPixmap(pixmap), std::max<qsizetype>(1, bytesOf(pixmap)));
}

RecentPictures& RecentPictures::shared() {
    static RecentPictures pictures(4 * 1024 * 1024);
    return pictures;
}

bool RecentPictures::find(PictureLife life, const QString& key, QPixmap* pixmap) {
    return life == PictureLife::lasting ? QPixmapCache::find(key, pixmap) : shared().find(key, pixmap);
}

void RecentPictures::keep(PictureLife life, const QString& key, const QPixmap& pixmap) {
    if (life == PictureLife::lasting) QPixmapCache::insert(key, pixmap);
    else shared().insert(key, pixmap);
}

}  // namespace norvo
