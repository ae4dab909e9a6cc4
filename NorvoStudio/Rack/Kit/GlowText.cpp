#include "GlowText.hpp"

#include "KitColor.hpp"
#include "KitFont.hpp"
#include "KitPicture.hpp"
#include "KitShadow.hpp"

#include <QFontMetricsF>

namespace norvo {

namespace {

void drawGlowing(QPainter& painter, const QFont& font, const QColor& ink, const QColor& color, bool lit,
                 const QString& text, QPointF baselineOrigin, const QFontMetricsF& metrics) {
    painter.setFont(font);
    if (lit) {
        // The glow is the text's own alpha, blurred, in the lit colour at 0.7.
        const QRectF bounds(0, 0, metrics.horizontalAdvance(text), metrics.height());
        const qreal ascent = metrics.ascent();
        const QString key = QStringLiteral("glowtext|%1|%2|%3").arg(font.key(), text).arg(ascent);
        painter.save();
        painter.translate(baselineOrigin - QPointF(0, ascent));
        KitShadow::paint(painter, key, bounds, KitColor::faded(color, 0.7), GlowText::glowRadius, QPointF(),
                         [&](QPainter& p) {
                             p.setFont(font);
                             p.setPen(Qt::black);
                             p.drawText(QPointF(0, ascent), text);
                         });
        painter.restore();
    }
    painter.setPen(ink);
    painter.drawText(baselineOrigin, text);
}

}  // namespace

QFont GlowText::font() const { return KitFont::monospaced(size, QFont::Medium); }

QColor GlowText::ink() const { return lit ? color : KitColor::faded(color, 0.12); }

QSizeF GlowText::sizeHint() const {
    const QFontMetricsF metrics(font());
    return {metrics.horizontalAdvance(text), metrics.height()};
}

void GlowText::paint(QPainter& painter, const QRectF& rect, Qt::Alignment alignment) const {
    const QFont f = font();
    const QFontMetricsF metrics(f);
    const QString shown = metrics.elidedText(text, Qt::ElideRight, rect.width());
    const qreal width = metrics.horizontalAdvance(shown);
    qreal x = rect.left();
    if (alignment & Qt::AlignRight) x = rect.right() - width;
    else if (alignment & Qt::AlignHCenter) x = rect.center().x() - width / 2;
    qreal top = rect.top() + (rect.height() - metrics.height()) / 2;
    if (alignment & Qt::AlignTop) top = rect.top();
    else if (alignment & Qt::AlignBottom) top = rect.bottom() - metrics.height();
    const QPointF baseline(x, top + metrics.ascent());
    // The glow spills 3 radii around the text.
    const QRectF bounds = QRectF(x, top, width, metrics.height()).adjusted(-10, -10, 10, 10);
    const QString key = QStringLiteral("glowtext|%1|%2|%3|%4|%5")
                            .arg(f.key(), shown)
                            .arg(color.rgba64(), 0, 16)
                            .arg(lit)
                            .arg(metrics.ascent());
    KitPicture::paintShared(painter, bounds, key, [&](QPainter& p) {
        drawGlowing(p, f, ink(), color, lit, shown, baseline, metrics);
    });
}

void GlowText::paintAtBaseline(QPainter& painter, QPointF baselineOrigin) const {
    const QFont f = font();
    painter.save();
    drawGlowing(painter, f, ink(), color, lit, text, baselineOrigin, QFontMetricsF(f));
    painter.restore();
}

}  // namespace norvo
