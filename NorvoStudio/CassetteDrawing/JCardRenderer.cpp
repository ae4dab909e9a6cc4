#include "JCardRenderer.hpp"

#include <QPainterPath>
#include <algorithm>

#include "Cassette/NorvoGeometry.hpp"
#include "CassetteLabel.hpp"
#include "ContinuousCorners.hpp"
#include "HandwritingFont.hpp"
#include "JCardContent.hpp"
#include "JCardFrontLayout.hpp"
#include "ScaledText.hpp"

namespace norvo {

namespace {

using Card = NorvoGeometry::JCard;

const QImage* imageFor(const std::map<ArtworkRole, QImage>& images, ArtworkRole role) {
    const auto it = images.find(role);
    return it == images.end() || it->second.isNull() ? nullptr : &it->second;
}

// One line read from top to bottom, centred in the panel.
void drawRotated(QPainter& painter, const QRectF& panel, const ScaledText& font, const QString& text) {
    if (text.isEmpty()) return;
    painter.save();
    painter.translate(panel.center());
    painter.rotate(90);
    font.drawInBox(painter, {-font.width(text) / 2, -font.height() / 2}, text);
    painter.restore();
}

}  // namespace

QRectF jcardRect(QSizeF size) {
    const double side = std::min(size.width(), size.height());
    if (!(side > 0)) return {};
    return {(size.width() - side) / 2, (size.height() - side) / 2, side, side};
}

void renderJCard(QPainter& painter, QSizeF size, const CassetteDocument& document,
                 const std::map<ArtworkRole, QImage>& images) {
    const QRectF square = jcardRect(size);
    if (square.isEmpty()) return;
    const double s = square.height() / Card::height;
    const JCard& card = document.jcard;
    const JCardContent content = JCardContent::of(document);
    const QColor cardColor = CassetteLabel::color(card.cardColor);
    const auto ink = [&](double a) { return CassetteLabel::color(card.inkColor, a); };

    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    painter.translate(square.topLeft());
    painter.scale(s, s);
    const double px = 1.0 / s;  // one pixel in millimetres
    // Within whatever the caller clips to.
    painter.setClipPath(ContinuousCorners::roundedRect(QRectF(0, 0, Card::height, Card::height), 2 * px),
                        Qt::IntersectClip);

    const QRectF flap(0, 0, Card::flapWidth, Card::height);
    const QRectF spine(flap.right(), 0, Card::spineWidth, Card::height);
    const QRectF front(spine.right(), 0, Card::frontWidth, Card::height);
    const struct {
        QRectF rect;
        ArtworkRole role;
    } panels[] = {{flap, ArtworkRole::jcardFlap}, {spine, ArtworkRole::jcardSpine}, {front, ArtworkRole::jcardFront}};

    for (const auto& panel : panels) {
        if (const QImage* image = imageFor(images, panel.role)) {
            painter.drawImage(panel.rect, *image);
            continue;
        }
        painter.fillRect(panel.rect, cardColor);
        painter.save();
        switch (panel.role) {
        case ArtworkRole::jcardFlap:
            painter.setPen(ink(0.8));
            drawRotated(painter, panel.rect, ScaledText(HandwritingFont::system(12), 2.8), content.flapText);
            break;
        case ArtworkRole::jcardSpine:
            painter.setPen(ink(1));
            drawRotated(painter, panel.rect, ScaledText(HandwritingFont::system(12, QFont::Bold, QFont::Expanded), 4.2),
                        content.spineText);
            break;
        default: {
            painter.setClipRect(panel.rect, Qt::IntersectClip);
            const JCardFrontLayout layout = JCardFrontLayout::make(content, card.font);
            for (const auto& line : layout.lines) {
                painter.setPen(ink(JCardFrontLayout::opacity(line.face)));
                JCardFrontLayout::font(line.face, card.font).drawInBox(painter, line.box.topLeft(), line.text);
            }
            break;
        }
        }
        painter.restore();
    }
    // Fold lines lie over artwork too; the front's is the card's right edge.
    for (const auto& panel : panels)
        painter.fillRect(QRectF(panel.rect.right() - 0.5 * px, 0, 0.5 * px, Card::height),
                         QColor::fromRgbF(0, 0, 0, 0.12f));
    painter.restore();
}

}  // namespace norvo
