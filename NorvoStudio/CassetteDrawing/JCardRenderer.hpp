#pragma once
#include <QImage>
#include <QPainter>
#include <QSizeF>
#include <map>

#include "Cassette/ArtworkRole.hpp"
#include "Cassette/CassetteDocument.hpp"

namespace norvo {

// Draws the unfolded J-card into the largest square that fits in (0, 0, size), centred,
// clipped to a 2 px rounded square: back flap, spine and front cover, each lettered
// from the document's J-card or covered by its artwork image (jcardFlap, jcardSpine,
// jcardFront). Pure; leaves the painter's state as it was.
void renderJCard(QPainter& painter, QSizeF size, const CassetteDocument& document,
                 const std::map<ArtworkRole, QImage>& images);

// The square renderJCard() draws in for a given space.
QRectF jcardRect(QSizeF size);

}  // namespace norvo
