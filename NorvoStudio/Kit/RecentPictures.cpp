#include "RecentPictures.hpp"

#include <QHash>
#include <QPixmapCache>

namespace norvo {

namespace {

qsizetype bytesOf(const QPixmap& pixmap) { return qsizetype(pixmap.width()) * pixmap.height() * pixmap.depth() / 8; }

// Lasting pictures live in QPixmapCache, which names its entries by strings or by handles of
// its own: the handle of each key's picture. A handle whose picture the cache let go finds
// nothing and is replaced when the picture is kept again.
QHash<PictureKey, QPixmapCache::Key>& lastingHandles() {
    static QHash<PictureKey, QPixmapCache::Key> handles;
    return handles;
}

// Keys of pictures the cache let go are dropped now and then, so the handles stay few.
void forgetLostHandles() {
    auto& handles = lastingHandles();
    QPixmap unused;
    for (auto it = handles.begin(); it != handles.end();) {
        if (QPixmapCache::find(it.value(), &unused)) ++it;
        else it = handles.erase(it);
    }
}

constexpr qsizetype handleCheckCount = 4096;

}  // namespace

RecentPictures::RecentPictures(qsizetype limitBytes) : pictures_(limitBytes) {}

bool RecentPictures::find(const PictureKey& key, QPixmap* pixmap) {
    const QPixmap* kept = pictures_.object(key);
    if (!kept) return false;
    *pixmap = *kept;
    return true;
}

void RecentPictures::insert(const PictureKey& key, const QPixmap& pixmap) {
    pictures_.insert(key, new QPixmap(pixmap), std::max<qsizetype>(1, bytesOf(pixmap)));
}

RecentPictures& RecentPictures::shared() {
    static RecentPictures pictures(4 * 1024 * 1024);
    return pictures;
}

bool RecentPictures::find(PictureLife life, const PictureKey& key, QPixmap* pixmap) {
    if (life == PictureLife::changing) return shared().find(key, pixmap);
    const auto handle = lastingHandles().constFind(key);
    return handle != lastingHandles().constEnd() && QPixmapCache::find(*handle, pixmap);
}

void RecentPictures::keep(PictureLife life, const PictureKey& key, const QPixmap& pixmap) {
    if (life == PictureLife::changing) {
        shared().insert(key, pixmap);
        return;
    }
    auto& handles = lastingHandles();
    if (const auto old = handles.constFind(key); old != handles.constEnd()) QPixmapCache::remove(*old);
    else if (handles.size() >= handleCheckCount && handles.size() % handleCheckCount == 0) forgetLostHandles();
    handles.insert(key, QPixmapCache::insert(pixmap));
}

}  // namespace norvo
