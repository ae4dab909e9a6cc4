#include "FLMeterBar.hpp"

#include "KitPicture.hpp"

#include "KitColor.hpp"
#include "KitFont.hpp"
#include "KitShadow.hpp"

#include <QFontMetricsF>
#include <QPainterPath>

namespace norvo {

QColor FLMeterBar::Segment::color() const { return red ? KitColor::ledRed : KitColor::displayCyan; }

QColor FLMeterBar::Segment::fill() const { return (lit || peak) ? color() : KitColor::faded(color(), 0.1); }

FLMeterBar::Segment FLMeterBar::segment(double mark, double db, double peakDB) {
    Segment s;
    s.lit = db > mark;
    s.peak = !s.lit && mark < peakDB && peakDB < mark + 3;
    s.red = mark >= 0;
    return s;
}

std::array<FLMeterBar::Segment, 15> FLMeterBar::segments(const Level& level) {
    std::array<Segment, 15> result;
    for (size_t i = 0; i < marks.size(); ++i) result[i] = segment(marks[i], level.db, level.peakDB);
    return result;
}

QFont FLMeterBar::labelFont() { return KitFont::monospaced(9, QFont::Medium); }

qreal FLMeterBar::height() { return qMax(segmentHeight, QFontMetricsF(labelFont()).height()); }

std::array<QRectF, 15> FLMeterBar::segmentRects(const QRectF& rect) {
    std::array<QRectF, 15> rects;
    const qreal left = rect.left() + labelWidth + labelSpacing;
    const qreal room = rect.right() - left - segmentSpacing * (marks.size() - 1);
    const qreal width = qMax<qreal>(0, room / marks.size());
    const qreal top = rect.center().y() - segmentHeight / 2;
    for (size_t i = 0; i < marks.size(); ++i)
        rects[i] = QRectF(left + i * (width + segmentSpacing), top, width, segmentHeight);
    return rects;
}

namespace {

// A bar as drawn: its label and its segments' states.
struct Drawn {
    QString label;
    std::array<FLMeterBar::Segment, 15> segments;
    bool operator==(const Drawn&) const = default;
    friend size_t qHash(const Drawn& d, size_t seed = 0) noexcept {
        size_t hash = qHash(d.label, seed);
        for (const auto& s : d.segments) hash = qHashMulti(hash, s.lit, s.peak, s.red);
        return hash;
    }
};

// A lit segment's shape, blurred into its glow.
struct SegmentShape {
    qreal width, height;
    bool operator==(const SegmentShape&) const = default;
    friend size_t qHash(const SegmentShape& s, size_t seed = 0) noexcept { return qHashMulti(seed, s.width, s.height); }
};

}  // namespace

void FLMeterBar::paint(QPainter& painter, const QRectF& rect) const {
    // The bar is drawn from its segments' states: equal states, equal pixels. The states change
    // with every tick, so their pictures are kept only while recent.
    const auto states = segments(level);
    KitPicture::paintShared(
        painter, rect.adjusted(-8, -8, 8, 8), PictureKey(Drawn{label, states}),
        [&](QPainter& p) { paintDirectly(p, rect, states); }, PictureLife::changing);
}

void FLMeterBar::paintDirectly(QPainter& painter, const QRectF& rect, const std::array<Segment, 15>& states) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(labelFont());
    painter.setPen(KitColor::faded(KitColor::displayCyan, 0.8));
    painter.drawText(QRectF(rect.left(), rect.top(), labelWidth, rect.height()), Qt::AlignCenter | Qt::TextSingleLine,
                     label);
    const auto rects = segmentRects(rect);
    for (size_t i = 0; i < states.size(); ++i) {
        const QRectF r = rects[i];
        if (states[i].glows()) {
            KitShadow::paint(painter, PictureKey(SegmentShape{r.width(), r.height()}), QRectF(QPointF(), r.size()),
                             KitColor::faded(states[i].color(), 0.8), glowRadius, r.topLeft(), [&](QPainter& p) {
                                 p.setPen(Qt::NoPen);
                                 p.setBrush(Qt::black);
                                 p.drawRoundedRect(QRectF(QPointF(), r.size()), 1, 1);
                             });
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(states[i].fill());
        painter.drawRoundedRect(r, 1, 1);
    }
    painter.restore();
}

}  // namespace norvo
