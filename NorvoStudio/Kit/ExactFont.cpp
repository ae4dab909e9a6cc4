#include "ExactFont.hpp"

#include <QFontMetricsF>
#include <cmath>

namespace norvo {

namespace {

// The smallest whole multiple (up to 8) that makes `size` a whole number of pixels.
int multipleFor(qreal size) {
    for (int k : {1, 2, 4, 8})
        if (std::abs(size * k - std::round(size * k)) < 1e-6) return k;
    return 8;
}

}  // namespace

ExactFont::ExactFont(qreal size, const std::function<QFont(qreal)>& role) : size_(size) {
    const int k = multipleFor(size);
    scale_ = 1.0 / k;
    font_ = role(std::round(size * k));
    if (k > 1 && font_.letterSpacingType() == QFont::AbsoluteSpacing)
        font_.setLetterSpacing(QFont::AbsoluteSpacing, font_.letterSpacing() * k);
}

qreal ExactFont::ascent() const { return QFontMetricsF(font_).ascent() * scale_; }

qreal ExactFont::descent() const { return QFontMetricsF(font_).descent() * scale_; }

qreal ExactFont::height() const { return QFontMetricsF(font_).height() * scale_; }

qreal ExactFont::horizontalAdvance(const QString& text) const {
    return QFontMetricsF(font_).horizontalAdvance(text) * scale_;
}

QString ExactFont::elided(const QString& text, qreal width) const {
    return QFontMetricsF(font_).elidedText(text, Qt::ElideRight, width / scale_);
}

void ExactFont::draw(QPainter& painter, QPointF baselineOrigin, const QString& text) const {
    painter.save();
    painter.translate(baselineOrigin);
    painter.scale(scale_, scale_);
    painter.setFont(font_);
    painter.drawText(QPointF(0, 0), text);
    painter.restore();
}

void ExactFont::draw(QPainter& painter, const QRectF& rect, int flags, const QString& text) const {
    painter.save();
    painter.translate(rect.topLeft());
    painter.scale(scale_, scale_);
    painter.setFont(font_);
    painter.drawText(QRectF(QPointF(0, 0), rect.size() / scale_), flags, text);
    painter.restore();
}

}  // namespace norvo
