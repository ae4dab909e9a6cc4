#pragma once
#include <QImage>
#include <QPainter>
#include <QSizeF>
#include <cstdint>
#include <map>

#include "AudioEngine/TapeSide.hpp"
#include "Cassette/ArtworkRole.hpp"
#include "Cassette/CassetteDocument.hpp"

namespace norvo {

// Width to height of the drawn cassette (the shell, 100.4 by 63.8 mm).
inline constexpr double cassetteAspectRatio = 100.4 / 63.8;

// Draws the front of one side of a cassette into the rectangle (0, 0, size) of the
// painter's current coordinates: reels, shell (or the side's face image), label (drawn
// or the side's label image), window. The scale is size.width() / 100.4 per millimetre;
// the height is expected to follow the aspect ratio. Pure: the same inputs give the same
// pixels. Roles missing from `images` are drawn. Leaves the painter's state as it was.
void renderCassette(QPainter& painter, QSizeF size, const CassetteDocument& document, TapeSide side, int64_t head,
                    const std::map<ArtworkRole, QImage>& images);

// The picture in two layers, for owners that redraw only the reels while the tape runs: the
// reels (packs, hubs and the tape path), and the cover over them (shell, label, window), which
// leaves the openings see-through. The reels, then the cover, give the whole picture.
enum class CassetteLayer { whole, reels, cover };
void renderCassette(QPainter& painter, QSizeF size, const CassetteDocument& document, TapeSide side, int64_t head,
                    const std::map<ArtworkRole, QImage>& images, CassetteLayer layer);

// The same picture on a transparent ARGB32 image `width` pixels wide (the height
// follows the aspect ratio), e.g. for a saved thumbnail.
QImage renderCassetteImage(int width, const CassetteDocument& document, TapeSide side, int64_t head,
                           const std::map<ArtworkRole, QImage>& images);

}  // namespace norvo
