#include "KeyLabel.hpp"

#include "KitColor.hpp"
#include "SystemSymbol.hpp"

#include <QFontMetricsF>

namespace norvo {

namespace {
constexpr qreal symbolSpacing = 3;
constexpr qreal lampSpacing = 6;
}  // namespace

KeyLabel KeyLabel::caption(QString text) {
    KeyLabel label;
    label.text = std::move(text);
    return label;
}

KeyLabel KeyLabel::symbolAbove(QString symbol, QString text, std::optional<QFont> font) {
    KeyLabel label;
    label.symbol = std::move(symbol);
    label.text = std::move(text);
    label.font = std::move(font);
    return label;
}

KeyLabel KeyLabel::lampBefore(LED lamp, QString text) {
    KeyLabel label;
    label.lamp = lamp;
    label.text = std::move(text);
    return label;
}

QSizeF KeyLabel::sizeHint(const QFont& keyFont) const {
    if (custom) return customSize;
    const QFontMetricsF metrics(font.value_or(keyFont));
    const QSizeF textSize = text.isEmpty() ? QSizeF() : QSizeF(metrics.horizontalAdvance(text), metrics.height());
    if (!symbol.isEmpty()) {
        const QSizeF s = SystemSymbol::size(symbol, symbolSize);
        if (text.isEmpty()) return {s.width(), symbolSize};
        return {qMax(s.width(), textSize.width()), symbolSize + symbolSpacing + textSize.height()};
    }
    if (lamp) return {lamp->size + lampSpacing + textSize.width(), qMax(lamp->size, textSize.height())};
    return textSize;
}

void KeyLabel::paint(QPainter& painter, const QRectF& frame, const QColor& ink, const QFont& keyFont,
                     bool enabled) const {
    painter.save();
    if (!enabled) painter.setOpacity(painter.opacity() * KitColor::disabledOpacity);
    if (custom) {
        custom(painter, frame, ink, keyFont);
        painter.restore();
        return;
    }
    const QFont f = font.value_or(keyFont);
    const QFontMetricsF metrics(f);
    const QSizeF content = sizeHint(keyFont);
    const qreal top = frame.center().y() - content.height() / 2;
    painter.setFont(f);
    painter.setPen(ink);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (!symbol.isEmpty()) {
        SystemSymbol::paint(painter, symbol, QPointF(frame.center().x(), top + symbolSize / 2), symbolSize, QFont::Bold,
                            ink);
        if (!text.isEmpty()) {
            const QString shown = metrics.elidedText(text, Qt::ElideRight, frame.width());
            const QRectF line(frame.left(), top + symbolSize + symbolSpacing, frame.width(), metrics.height());
            painter.drawText(line, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, shown);
        }
    } else if (lamp) {
        const qreal textRoom = qMax<qreal>(0, frame.width() - lamp->size - lampSpacing);
        const QString shown = metrics.elidedText(text, Qt::ElideRight, textRoom);
        const qreal width = lamp->size + lampSpacing + metrics.horizontalAdvance(shown);
        const qreal left = frame.center().x() - width / 2;
        lamp->paintCentred(painter, QPointF(left + lamp->size / 2, frame.center().y()));
        painter.setFont(f);
        painter.setPen(ink);
        painter.drawText(QRectF(left + lamp->size + lampSpacing, frame.top(), textRoom, frame.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    } else {
        const QString shown = metrics.elidedText(text, Qt::ElideRight, frame.width());
        painter.drawText(frame, Qt::AlignCenter | Qt::TextSingleLine, shown);
    }
    painter.restore();
}

}  // namespace norvo
