#include "PlayerParts.hpp"

#include <QCoreApplication>
#include <QPainterPath>
#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

#include "Kit/BrushedMetal.hpp"
#include "Kit/DisplayWindow.hpp"
#include "Kit/FLMeterBar.hpp"
#include "Kit/GlowText.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/KitShadow.hpp"
#include "Kit/LED.hpp"
#include "Kit/Silkscreen.hpp"
#include "Kit/SystemSymbol.hpp"

namespace norvo {

namespace {

using Part = PlayerParts::Part;

// The captions keep the face's translation context.
QString tr(const char* text) { return QCoreApplication::translate("norvo::SourcePlayerView", text); }

qreal glowWidth(const QString& text, qreal size) {
    return GlowText{text, size, KitColor::displayCyan}.sizeHint().width();
}

QRectF glass(const PlayerLayout& l) { return DisplayWindow::glassRect(l.display); }
// Glows spill a few points beyond their figures, over the glass.
QRectF glow(const PlayerLayout& l, const QRectF& r) { return r.adjusted(-9, -9, 9, 9).intersected(glass(l)); }

// A part is repainted when what it shows differs.
template <auto shows>
bool differs(const PlayerShown& before, const PlayerShown& now) {
    return shows(before) != shows(now);
}

bool never(const PlayerShown&, const PlayerShown&) { return false; }

// The panel's parts are drawn over the metal; the display's inside the glass, clipped to it.
enum class Surface { panel, glass };

struct Row {
    Part part;
    Surface surface;
    QRectF (*rect)(const PlayerLayout&);
    bool (*changed)(const PlayerShown& before, const PlayerShown& now);
    void (*paint)(QPainter&, const PlayerLayout&, const PlayerShown&);  // none for a named area
};

// TRACK's figure, then TIME 14 points after it (or after its caption, if wider).
qreal timeLeft(const PlayerLayout& l, const PlayerReadout& r) {
    const qreal trackWidth = std::max(glowWidth(r.trackNumber, 26), l.trackCaptionWidth);
    return l.trackValue.left() + trackWidth + 14;
}

void paintLineOut(QPainter& p, const PlayerLayout& l, const PlayerShown& s) {
    LED{s.readout.playing, KitColor::ledGreen, 7}.paint(p, l.lineOutLed.topLeft());
}

void paintTrackNumber(QPainter& p, const PlayerLayout& l, const PlayerShown& s) {
    GlowText{s.readout.trackNumber, 26, KitColor::displayCyan, s.readout.figuresLit}.paint(p, l.trackValue);
}

void paintTime(QPainter& p, const PlayerLayout& l, const PlayerShown& s) {
    const PlayerReadout& r = s.readout;
    const qreal left = timeLeft(l, r);
    p.setFont(PlayerLayout::captionFont());
    p.setPen(KitColor::faded(KitColor::displayCyan, 0.6));
    p.drawText(QRectF(left, l.trackCaption.top(), l.disc.left() - left, l.trackCaption.height()),
               Qt::AlignLeft | Qt::AlignVCenter, tr("TIME"));
    GlowText{r.time, 26, KitColor::displayCyan, r.figuresLit}.paint(
        p, QRectF(left, l.trackValue.top(), l.disc.left() - left - 4, l.trackValue.height()));
}

// The disc's symbol, centred on the origin; its glow is blurred from it.
struct Disc {
    qreal size;
    void paint(QPainter& p, const QColor& ink) const {
        SystemSymbol::paint(p, QStringLiteral("opticaldisc"), QPointF(0, 0), size, QFont::Light, ink);
    }
    bool operator==(const Disc&) const = default;
    friend size_t qHash(const Disc& d, size_t seed = 0) noexcept { return qHash(d.size, seed); }
};

void paintDisc(QPainter& p, const PlayerLayout& l, const PlayerShown& s) {
    const PlayerReadout& r = s.readout;
    const Disc disc{PlayerLayout::discSize};
    const QColor ink = r.playing ? KitColor::displayCyan : KitColor::faded(KitColor::displayCyan, 0.15);
    const QRectF box(-l.disc.width() / 2, -l.disc.height() / 2, l.disc.width(), l.disc.height());
    p.save();
    p.translate(l.disc.center());
    p.rotate(r.discDegrees);
    // The glow is cached once, upright, and turns with the painter.
    if (r.playing)
        KitShadow::paint(p, PictureKey(disc), box, KitColor::faded(KitColor::displayCyan, 0.6), 3, QPointF(0, 0),
                         [disc](QPainter& shape) { disc.paint(shape, Qt::black); });
    disc.paint(p, ink);
    p.restore();
}

void paintStatus(QPainter& p, const PlayerLayout& l, const PlayerShown& s) {
    GlowText{s.readout.status, 12, KitColor::amber, s.readout.statusLit}.paint(p, l.status);
}

// The progress bar's fill from the bar's left end, a capsule as long as the track has played.
struct Fill {
    qreal length;
    qreal height;
    QRectF rect() const { return QRectF(0, 0, length, height); }
    void paint(QPainter& p, const QColor& ink) const {
        const qreal radius = std::min(height, length) / 2;
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRoundedRect(rect(), radius, radius);
    }
    bool operator==(const Fill&) const = default;
    friend size_t qHash(const Fill& f, size_t seed = 0) noexcept { return qHashMulti(seed, f.length, f.height); }
};

void paintProgress(QPainter& p, const PlayerLayout& l, const PlayerShown& s) {
    const PlayerReadout& r = s.readout;
    p.setPen(Qt::NoPen);
    p.setBrush(KitColor::faded(KitColor::displayCyan, 0.12));
    p.drawRoundedRect(l.bar, l.bar.height() / 2, l.bar.height() / 2);
    // Whole points: the glow is blurred again only when the fill has grown by one, and kept
    // only while recent (a long track would leave one per point).
    const Fill fill{std::round(l.bar.width() * r.progress), l.bar.height()};
    if (fill.length > 0) {
        p.save();
        p.translate(l.bar.topLeft());
        KitShadow::paint(
            p, PictureKey(fill), fill.rect(), KitColor::faded(KitColor::displayCyan, 0.7), 2, QPointF(0, 0),
            [fill](QPainter& shape) { fill.paint(shape, Qt::black); }, PictureLife::changing);
        fill.paint(p, KitColor::displayCyan);
        p.restore();
    }
    p.setFont(PlayerLayout::durationFont());
    p.setPen(KitColor::faded(KitColor::displayCyan, 0.6));
    p.drawText(l.duration, Qt::AlignRight | Qt::AlignVCenter, r.durationText);
}

void paintMeters(QPainter& p, const PlayerLayout& l, const PlayerShown& s) {
    FLMeterBar{{s.levels.left.db, s.levels.left.peakDB}, QStringLiteral("L")}.paint(p, l.meterL);
    FLMeterBar{{s.levels.right.db, s.levels.right.peakDB}, QStringLiteral("R")}.paint(p, l.meterR);
}

void paintError(QPainter& p, const PlayerLayout& l, const PlayerShown& s) {
    if (s.readout.error) GlowText{*s.readout.error, 9, KitColor::ledRed}.paint(p, l.error);
}

void paintProgramBorder(QPainter& p, const PlayerLayout& l, const PlayerShown& s) {
    const qreal w = s.dropTargeted ? 2 : 1.5;
    p.setPen(QPen(s.dropTargeted ? KitColor::amber : KitColor::white(0, 0.8), w));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(l.list.adjusted(w / 2, w / 2, -w / 2, -w / 2), 6 - w / 2, 6 - w / 2);
}

// In painting order; the display's rows stand together.
constexpr std::array rows{
    Row{Part::lineOut, Surface::panel, [](const PlayerLayout& l) { return l.lineOutLed.adjusted(-10, -10, 10, 10); },
        differs<[](const PlayerShown& s) { return s.readout.playing; }>, paintLineOut},
    Row{Part::display, Surface::panel, [](const PlayerLayout& l) { return l.display; }, never, nullptr},
    Row{Part::trackNumber, Surface::glass,
        [](const PlayerLayout& l) {
            return glow(l, QRectF(l.trackValue.left(), l.trackValue.top(), l.trackFiguresWidth, l.trackValue.height()));
        },
        differs<[](const PlayerShown& s) { return std::tie(s.readout.trackNumber, s.readout.figuresLit); }>,
        paintTrackNumber},
    // TIME stands where the track number's width puts it.
    Row{Part::time, Surface::glass,
        [](const PlayerLayout& l) {
            return glow(l, QRectF(l.trackValue.left(), l.trackCaption.top(), l.disc.left() - l.trackValue.left(),
                                  l.trackValue.bottom() - l.trackCaption.top()));
        },
        differs<[](const PlayerShown& s) {
            return std::tie(s.readout.trackNumber, s.readout.figuresLit, s.readout.time);
        }>,
        paintTime},
    Row{Part::disc, Surface::glass, [](const PlayerLayout& l) { return glow(l, l.disc); },
        differs<[](const PlayerShown& s) { return std::tie(s.readout.discDegrees, s.readout.playing); }>, paintDisc},
    Row{Part::status, Surface::glass, [](const PlayerLayout& l) { return glow(l, l.status); },
        differs<[](const PlayerShown& s) { return std::tie(s.readout.status, s.readout.statusLit); }>, paintStatus},
    Row{Part::progress, Surface::glass,
        [](const PlayerLayout& l) { return l.bar.united(l.duration).adjusted(-6, -6, 6, 2).intersected(glass(l)); },
        differs<[](const PlayerShown& s) {
            return std::tie(s.readout.progress, s.readout.progressEnabled, s.readout.durationText);
        }>,
        paintProgress},
    Row{Part::meters, Surface::glass,
        [](const PlayerLayout& l) { return l.meterL.united(l.meterR).adjusted(-4, -4, 4, 4).intersected(glass(l)); },
        differs<[](const PlayerShown& s) { return s.levels; }>, paintMeters},
    Row{Part::error, Surface::glass, [](const PlayerLayout& l) { return glow(l, l.error); },
        differs<[](const PlayerShown& s) { return s.readout.error; }>, paintError},
    // The list paints itself; the face draws its border, amber while files hover over it.
    Row{Part::program, Surface::panel, [](const PlayerLayout& l) { return l.list.adjusted(-2, -2, 2, 2); },
        differs<[](const PlayerShown& s) { return s.dropTargeted; }>, paintProgramBorder},
};

constexpr bool rowsFollowTheParts() {
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (static_cast<std::size_t>(rows[i].part) != i) return false;
    return true;
}
static_assert(rowsFollowTheParts(), "one row per part, in the order of Part");
static_assert(rows.size() == PlayerParts::partCount);

}  // namespace

QRectF PlayerParts::rect(Part part, const PlayerLayout& layout) {
    return rows[static_cast<std::size_t>(part)].rect(layout);
}

PlayerParts::Parts PlayerParts::changed(const PlayerShown& before, const PlayerShown& now) {
    Parts parts;
    for (const Row& row : rows)
        if (row.changed(before, now)) parts.set(static_cast<std::size_t>(row.part));
    return parts;
}

void PlayerParts::paintPanel(QPainter& p, const PlayerLayout& l, QSizeF size) {
    const QRectF panel(QPointF(0, 0), size);
    QPainterPath shape;
    shape.addRoundedRect(panel, PlayerLayout::panelRadius, PlayerLayout::panelRadius);
    p.fillPath(shape, KitColor::white(0.78));
    p.save();
    p.setClipPath(shape, Qt::IntersectClip);
    BrushedMetal{.tint = KitColor::white(0.8)}.paint(p, panel);
    p.restore();
    QLinearGradient edge(panel.topLeft(), panel.bottomLeft());
    edge.setColorAt(0, KitColor::white(1, 0.8));
    edge.setColorAt(1, KitColor::white(0, 0.35));
    p.setPen(QPen(QBrush(edge), 1.5, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(panel.adjusted(0.75, 0.75, -0.75, -0.75), PlayerLayout::panelRadius - 0.75,
                      PlayerLayout::panelRadius - 0.75);

    p.setFont(PlayerLayout::brandFont());
    p.setPen(KitColor::white(0.2));
    p.drawText(l.brandBaseline, tr("COMPACT DISC · MP3"));
    Silkscreen{QStringLiteral("SOURCE PLAYER  DA-2"), 8, Lettering::dark}.paintAtBaseline(p, l.modelBaseline);
    Silkscreen{QStringLiteral("LINE OUT"), 7, Lettering::dark}.paint(p, l.lineOutText,
                                                                     Qt::AlignLeft | Qt::AlignVCenter);

    DisplayWindow::paintGlass(p, l.display);
    p.setFont(PlayerLayout::captionFont());
    p.setPen(KitColor::faded(KitColor::displayCyan, 0.6));
    p.drawText(l.trackCaption, Qt::AlignLeft | Qt::AlignVCenter, tr("TRACK"));
    DisplayWindow::paintRim(p, l.display);

    // The PROGRAM's header line and its glass.
    Silkscreen{QStringLiteral("PROGRAM"), 7, Lettering::dark}.paint(p, l.programCaption,
                                                                    Qt::AlignLeft | Qt::AlignVCenter);
    p.setFont(KitFont::system(9));
    p.setPen(KitColor::white(0.35));
    p.drawText(l.programCaption, Qt::AlignRight | Qt::AlignVCenter, tr("double-click to play · ⌫ removes"));
    QPainterPath list;
    list.addRoundedRect(l.list, 6, 6);
    p.fillPath(list, KitColor::displayGlass);
}

void PlayerParts::paint(QPainter& p, const PlayerLayout& l, const PlayerShown& shown, const QRegion& dirty) {
    const bool glassDirty = dirty.intersects(glass(l).toAlignedRect());
    bool inGlass = false;
    for (const Row& row : rows) {
        if (!row.paint) continue;
        if (row.surface == Surface::glass && !glassDirty) continue;
        if ((row.surface == Surface::glass) != inGlass) {
            inGlass = !inGlass;
            if (inGlass) {
                p.save();
                DisplayWindow::clipToGlass(p, l.display, dirty.boundingRect());
            } else {
                p.restore();
            }
        }
        if (dirty.intersects(row.rect(l).toAlignedRect())) row.paint(p, l, shown);
    }
    if (inGlass) p.restore();
}

}  // namespace norvo
