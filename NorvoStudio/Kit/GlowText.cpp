#include "GlowText.hpp"

#include "KitColor.hpp"
#include "KitFont.hpp"
#include "KitPicture.hpp"
#include "KitShadow.hpp"

#include <QFontMetricsF>
#include <QHash>

namespace norvo {

namespace {

// The letters a glow is blurred from. The font follows from the size alone.
struct Letters {
    qreal size;
    QString text;
    bool operator==(const Letters&) const = default;
    friend size_t qHash(const Letters& l, size_t seed = 0) noexcept { return qHashMulti(seed, l.size, l.text); }
};

// A line as drawn: its size, its text as cut to its room, its colour and whether it is lit.
struct Line {
    qreal size;
    QString shown;
    quint64 color;
    bool lit;
    bool operator==(const Line&) const = default;
    friend size_t qHash(const Line& l, size_t seed = 0) noexcept {
        return qHashMulti(seed, l.size, l.shown, l.color, l.lit);
    }
};

void drawGlowing(QPainter& painter, qreal size, const QFont& font, const QColor& ink, const QColor& color, bool lit,
                 const QString& text, QPointF baselineOrigin, const QFontMetricsF& metrics, PictureLife life,
                 const std::optional<QRectF>& letters = std::nullopt) {
    painter.setFont(font);
    if (lit) {
        // The glow is the text's own alpha, blurred, in the lit colour at 0.7.
        const QRectF bounds(0, 0, metrics.horizontalAdvance(text), metrics.height());
        const qreal ascent = metrics.ascent();
        painter.save();
        painter.translate(baselineOrigin - QPointF(0, ascent));
        KitShadow::paint(
            painter, PictureKey(Letters{size, text}), bounds, KitColor::faded(color, 0.7), GlowText::glowRadius,
            QPointF(),
            [&](QPainter& p) {
                p.setFont(font);
                p.setPen(Qt::black);
                p.drawText(QPointF(0, ascent), text);
            },
            life);
        painter.restore();
    }
    if (letters) painter.setClipRect(*letters, Qt::IntersectClip);
    painter.setPen(ink);
    painter.drawText(baselineOrigin, text);
}

// Display texts are measured on every repaint but change a few times a second: the shaped
// widths are remembered (main thread only, like the kit's pixmap caches).
struct Measured {
    QString shown;  // elided to the width asked
    qreal width = 0;
};

// A text measured at a size (the font follows from it) for a room (negative: not cut).
struct Measuring {
    qreal size;
    QString text;
    qreal room;
    bool operator==(const Measuring&) const = default;
    friend size_t qHash(const Measuring& m, size_t seed = 0) noexcept {
        return qHashMulti(seed, m.size, m.text, m.room);
    }
};

const Measured& measured(qreal size, const QFontMetricsF& metrics, const QString& text, qreal room) {
    static QHash<Measuring, Measured> cache;
    const Measuring key{size, text, room};
    if (const auto it = cache.constFind(key); it != cache.constEnd()) return *it;
    if (cache.size() > 1024) cache.clear();
    Measured m;
    m.shown = room < 0 ? text : metrics.elidedText(text, Qt::ElideRight, room);
    m.width = metrics.horizontalAdvance(m.shown);
    return *cache.insert(key, m);
}

}  // namespace

PictureLife GlowText::life() const { return use == Use::lettering ? PictureLife::lasting : PictureLife::changing; }

QFont GlowText::font() const { return KitFont::monospaced(size, QFont::Medium); }

QColor GlowText::ink() const { return lit ? color : KitColor::faded(color, 0.12); }

QSizeF GlowText::sizeHint() const {
    const QFont f = font();
    const QFontMetricsF metrics(f);
    return {measured(size, metrics, text, -1).width, metrics.height()};
}

void GlowText::paint(QPainter& painter, const QRectF& rect, Qt::Alignment alignment) const {
    const QFont f = font();
    const QFontMetricsF metrics(f);
    const Measured& fitted = measured(size, metrics, text, rect.width());
    const QString shown = fitted.shown;
    const qreal width = fitted.width;
    qreal x = rect.left();
    if (alignment & Qt::AlignRight) x = rect.right() - width;
    else if (alignment & Qt::AlignHCenter) x = rect.center().x() - width / 2;
    qreal top = rect.top() + (rect.height() - metrics.height()) / 2;
    if (alignment & Qt::AlignTop) top = rect.top();
    else if (alignment & Qt::AlignBottom) top = rect.bottom() - metrics.height();
    const QPointF baseline(x, top + metrics.ascent());
    // The glow spills 3 radii around the text.
    const QRectF bounds = QRectF(x, top, width, metrics.height()).adjusted(-10, -10, 10, 10);
    KitPicture::paintShared(
        painter, bounds, PictureKey(Line{size, shown, quint64(color.rgba64()), lit}),
        [&](QPainter& p) { drawGlowing(p, size, f, ink(), color, lit, shown, baseline, metrics, life()); }, life());
}

void GlowText::paintAtBaseline(QPainter& painter, QPointF baselineOrigin, std::optional<QRectF> letters) const {
    const QFont f = font();
    painter.save();
    drawGlowing(painter, size, f, ink(), color, lit, text, baselineOrigin, QFontMetricsF(f), life(), letters);
    painter.restore();
}

}  // namespace norvo
