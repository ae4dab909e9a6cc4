#pragma once
#include <QFont>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <functional>

namespace norvo {

// A font at a size in design points, fractions of a point included. QFont holds whole pixel
// sizes only, so 6.5 would be drawn and measured as 7: here a fractional size is held as the
// font at a whole multiple of it, drawn and measured under the matching scale.
class ExactFont {
public:
    // `role` makes the font at a given size (a KitFont role); letter spacing follows the scale.
    ExactFont(qreal size, const std::function<QFont(qreal)>& role);

    qreal size() const { return size_; }
    // The font as Qt holds it, at size() / scale().
    const QFont& heldFont() const { return font_; }
    // Design points per pixel of heldFont(): 1 for whole sizes.
    qreal scale() const { return scale_; }

    qreal ascent() const;
    qreal descent() const;
    qreal height() const;
    qreal horizontalAdvance(const QString& text) const;
    // `text` cut with a trailing ellipsis where it is wider than `width`.
    QString elided(const QString& text, qreal width) const;

    // Draws `text` in the painter's pen with its baseline starting at `baselineOrigin`.
    void draw(QPainter& painter, QPointF baselineOrigin, const QString& text) const;
    // Draws `text` in the painter's pen inside `rect` with Qt's alignment and text flags.
    void draw(QPainter& painter, const QRectF& rect, int flags, const QString& text) const;

private:
    qreal size_;
    qreal scale_ = 1;
    QFont font_;
};

}  // namespace norvo
