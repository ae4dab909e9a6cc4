#include "MiniKeyStyle.hpp"

#include "KeyBody.hpp"
#include "KitColor.hpp"
#include "KitFont.hpp"
#include "KitShadow.hpp"

namespace norvo {

QFont MiniKeyStyle::font() { return KitFont::keyCaption(7); }

QColor MiniKeyStyle::ink() const { return lit ? KitColor::amber : KitColor::white(0.8); }

void MiniKeyStyle::paint(QPainter& painter, const QRectF& rect, bool pressed, const KeyLabel& label,
                         bool enabled) const {
    const QRectF key = rect.translated(0, pressed ? 1 : 0);
    KeyBody body;
    body.cornerRadius = cornerRadius;
    body.topWhite = pressed ? 0.12 : 0.29;
    body.bottomWhite = pressed ? 0.18 : 0.15;
    body.shadowOpacity = pressed ? 0.3 : 0.75;
    body.shadowRadius = pressed ? 0.5 : 1.5;
    body.shadowDrop = pressed ? 0.5 : 1.5;
    body.edge = KitColor::white(1.0, pressed ? 0.04 : 0.11);
    body.paint(painter, key);
    const QRectF frame = key.adjusted(horizontalPadding, 0, -horizontalPadding, 0);
    if (lit) {
        // The lettering glows amber; the glow is the label's own alpha, blurred (and dimmed with it).
        painter.save();
        if (!enabled) painter.setOpacity(painter.opacity() * KitColor::disabledOpacity);
        const QRectF local(QPointF(), frame.size());
        const QString cacheKey = QStringLiteral("minilabel|%1|%2|%3|%4")
                                     .arg(label.text, label.symbol, label.font.value_or(font()).key())
                                     .arg(frame.width());
        if (!label.custom) {
            KitShadow::paint(painter, cacheKey, local, KitColor::faded(KitColor::amber, 0.6), glowRadius,
                             frame.topLeft(), [&](QPainter& p) { label.paint(p, local, Qt::black, font()); });
        }
        painter.restore();
    }
    label.paint(painter, frame, ink(), font(), enabled);
}

}  // namespace norvo
