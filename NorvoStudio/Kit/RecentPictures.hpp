#pragma once
#include <QCache>
#include <QPixmap>
#include <QString>

#include "PictureKey.hpp"

namespace norvo {

// How long a drawing without an owner is worth keeping. Lasting drawings (lettering, symbols,
// shadows of fixed shapes, textures) come back on every repaint and are kept in QPixmapCache.
// Drawings of changing values (readouts, meter levels, a growing bar) are shown for a moment
// and mostly never again: they are kept in RecentPictures, which stays small.
enum class PictureLife { lasting, changing };

// The pictures of changing values: what is on show is kept, and once the pictures pass the
// byte limit the least recently used go first, so an hour of counter values, times and titles
// takes no more memory than a minute. Main thread only, like the kit's other caches.
class RecentPictures {
public:
    explicit RecentPictures(qsizetype limitBytes);

    // The picture kept under `key`, now the most recently used.
    bool find(const PictureKey& key, QPixmap* pixmap);
    // Keeps `pixmap` (dropping older pictures to stay under the limit); one larger than the
    // whole limit is not kept.
    void insert(const PictureKey& key, const QPixmap& pixmap);
    void clear() { pictures_.clear(); }
    qsizetype bytes() const { return pictures_.totalCost(); }
    qsizetype limitBytes() const { return pictures_.maxCost(); }
    qsizetype count() const { return pictures_.count(); }

    // The kit's own: room for every readout and meter of the rack several times over at twice
    // the pixel density.
    static RecentPictures& shared();

    // Looks up and keeps pictures in the cache for their life: QPixmapCache or shared().
    static bool find(PictureLife life, const PictureKey& key, QPixmap* pixmap);
    static void keep(PictureLife life, const PictureKey& key, const QPixmap& pixmap);

private:
    QCache<PictureKey, QPixmap> pictures_;
};

}  // namespace norvo
