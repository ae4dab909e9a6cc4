#include "Tuner/TunerDisplay.hpp"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <chrono>
#include <cmath>
#include <tuple>

#include "Kit/FLMeterBar.hpp"
#include "Kit/GlowText.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/KitShadow.hpp"
#include "Kit/ValuePicture.hpp"
#include "Tuner/SignalMeter.hpp"

namespace norvo {

namespace {

using Ink = TunerDisplayModel::Ink;
using Layout = TunerDisplayLayout;
using Readout = TunerDisplayReadout;

constexpr qreal captionSpacing = 16;
constexpr double referenceDate = 978307200;  // 2001-01-01 in Unix seconds
constexpr qreal stationSize = 19;
constexpr qreal mainSize = 11;

QColor colour(Ink ink) {
    switch (ink) {
    case Ink::amber: return KitColor::amber;
    case Ink::red: return KitColor::ledRed;
    case Ink::cyan: break;
    }
    return KitColor::displayCyan;
}

QFont captionFont() { return KitFont::monospaced(7, QFont::Medium); }
QFont lampFont() { return KitFont::monospaced(8, QFont::Medium); }
QFont badgeFont() { return KitFont::monospaced(7, QFont::Medium); }
QString text(const std::string& s) { return QString::fromStdString(s); }

Layout::Measures measures() {
    Layout::Measures m;
    m.captionHeight = QFontMetricsF(captionFont()).height() + 2 + GlowText{"0", 15, {}}.sizeHint().height();
    m.lampHeight = QFontMetricsF(lampFont()).height();
    const QFontMetricsF badge(badgeFont());
    m.badgeText = QSizeF(badge.horizontalAdvance(QStringLiteral("RT")), badge.height());
    m.dialHeight = DialScale::height;
    m.meterHeight = FLMeterBar::height();
    return m;
}

// An annunciator word: its colour with a soft glow when lit, a ghost of it when not.
void paintLamp(QPainter& painter, QPointF baseline, const QString& word, const QColor& color, bool lit) {
    const QFont font = lampFont();
    const QFontMetricsF metrics(font);
    if (lit) {
        const QRectF bounds(0, 0, metrics.horizontalAdvance(word), metrics.height());
        painter.save();
        painter.translate(baseline - QPointF(0, metrics.ascent()));
        KitShadow::paint(painter, QStringLiteral("tuner-lamp|%1|%2").arg(word, color.name()),
                         bounds.adjusted(-6, -6, 6, 6), KitColor::faded(color, 0.6), 2, QPointF(), [&](QPainter& p) {
                             p.setFont(font);
                             p.setPen(Qt::black);
                             p.drawText(QPointF(0, metrics.ascent()), word);
                         });
        painter.restore();
    }
    painter.setFont(font);
    painter.setPen(lit ? color : KitColor::faded(color, 0.11));
    painter.drawText(baseline, word);
}

void paintCaptions(QPainter& p, const Layout& l, const Readout::Captions& shown) {
    const QFont font = captionFont();
    const QFontMetricsF metrics(font);
    const QColor captionInk = KitColor::faded(KitColor::displayCyan, 0.6);
    struct Column {
        QString caption;
        GlowText value;
    };
    const Column columns[] = {
        {"PRESET", {text(shown.preset), 15, KitColor::amber, shown.presetLit}},
        {"CHANNEL", {text(shown.channel), 15, KitColor::displayCyan, shown.channelLit}},
        {"BAND", {text(shown.band), 15, KitColor::displayCyan, shown.on}},
    };
    qreal x = l.captions.left();
    const qreal captionBaseline = l.captions.top() + metrics.ascent();
    for (const Column& column : columns) {
        p.setFont(font);
        p.setPen(captionInk);
        p.drawText(QPointF(x, captionBaseline), column.caption);
        const QSizeF value = column.value.sizeHint();
        column.value.paint(p, QRectF(x, l.captions.top() + metrics.height() + 2, value.width() + 1, value.height()));
        x += std::max(metrics.horizontalAdvance(column.caption), value.width()) + captionSpacing;
    }
    p.setFont(font);
    p.setPen(captionInk);
    const QString signalCaption = QStringLiteral("SIGNAL");
    p.drawText(QPointF(l.captions.right() - metrics.horizontalAdvance(signalCaption), captionBaseline), signalCaption);
    SignalMeter{shown.signal, shown.on}.paint(p, QPointF(l.captions.right() - SignalMeter::width,
                                                         l.captions.top() + metrics.height() + 3));
}

void paintStation(QPainter& p, const Layout& l, const Readout::Line& shown) {
    MarqueeText::paint(p, shown.text, l.station, stationSize, colour(shown.ink), shown.lit,
                       shown.scrolledSeconds.value_or(0));
}

// The "RT" badge, then the main text.
void paintMain(QPainter& p, const Layout& l, const Readout::Main& shown) {
    const QRectF badge = l.badge;
    p.setFont(badgeFont());
    p.setPen(KitColor::faded(KitColor::displayCyan, shown.on ? 0.75 : 0.15));
    p.drawText(badge, Qt::AlignCenter, QStringLiteral("RT"));
    p.setPen(QPen(KitColor::faded(KitColor::displayCyan, shown.on ? 0.5 : 0.12), 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(badge.adjusted(0.4, 0.4, -0.4, -0.4), 2, 2);
    const Readout::Line& line = shown.line;
    if (shown.memoryPrompt)
        GlowText{line.text, mainSize, colour(line.ink), line.lit, GlowText::Use::lettering}.paint(p, l.mainText);
    else
        MarqueeText::paint(p, line.text, l.mainText, mainSize, colour(line.ink), line.lit,
                           line.scrolledSeconds.value_or(0));
}

void paintAnnunciators(QPainter& p, const Layout& l, const Readout::Annunciators& shown) {
    const QFontMetricsF metrics(lampFont());
    const qreal baseline = l.annunciators.top() + metrics.ascent();
    qreal x = l.annunciators.left();
    for (const auto& lamp : shown.words) {
        paintLamp(p, QPointF(x, baseline), text(lamp.text), colour(lamp.ink), lamp.lit);
        x += metrics.horizontalAdvance(text(lamp.text)) + 9;
    }
    const QString country = text(shown.country), format = text(shown.format);
    qreal right = l.annunciators.right() - metrics.horizontalAdvance(country);
    paintLamp(p, QPointF(right, baseline), country, KitColor::displayCyan, shown.stationLit);
    right -= 9 + metrics.horizontalAdvance(format);
    paintLamp(p, QPointF(right, baseline), format, KitColor::displayCyan, shown.stationLit);
}

void paintDial(QPainter& p, const Layout& l, const Readout::Dial& shown) { shown.scale.paint(p, l.dial, shown.needle); }

void paintMeters(QPainter& p, const Layout& l, const MeterBallistics::Pair& shown) {
    const qreal h = FLMeterBar::height();
    FLMeterBar{{shown.left.db, shown.left.peakDB}, QStringLiteral("L")}.paint(p, QRectF(l.meters.left(), l.meters.top(),
                                                                                        l.meters.width(), h));
    FLMeterBar{{shown.right.db, shown.right.peakDB}, QStringLiteral("R")}.paint(
        p, QRectF(l.meters.left(), l.meters.top() + h + 4, l.meters.width(), h));
}

// A part of the display: the row it fills, what of the readout it shows and how it is drawn.
template <class Value>
struct Row {
    QRectF Layout::*box;
    Value Readout::*shows;
    void (*paint)(QPainter&, const Layout&, const Value&);
};

// The display's rows, top to bottom; each shows a value of its own type, which keys its picture.
const std::tuple rows{
    Row{&Layout::captions, &Readout::captions, &paintCaptions},
    Row{&Layout::station, &Readout::station, &paintStation},
    Row{&Layout::main, &Readout::main, &paintMain},
    Row{&Layout::annunciators, &Readout::annunciators, &paintAnnunciators},
    Row{&Layout::dial, &Readout::dial, &paintDial},
    Row{&Layout::meters, &Readout::meters, &paintMeters},
};

template <class Visit>
void forEachRow(Visit&& visit) {
    std::apply([&](const auto&... row) { (visit(row), ...); }, rows);
}

template <class... Values>
std::tuple<ValuePicture<Values>...> picturesOf(const std::tuple<Row<Values>...>&);

}  // namespace

// A picture per row, kept under the value it shows.
struct TunerDisplay::Pictures {
    decltype(picturesOf(rows)) kept;

    template <class Value>
    ValuePicture<Value>& of(const Row<Value>&) {
        return std::get<ValuePicture<Value>>(kept);
    }
};

TunerDisplay::TunerDisplay(TunerFacade& tuner, std::function<MeterBallistics::Pair()> meter, const Clock& clock,
                           QWidget* parent)
    : QWidget(parent), tuner_(tuner), meter_(std::move(meter)), clock_(clock), pictures_(std::make_unique<Pictures>()) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    connect(&tuner_, &TunerFacade::changed, this, [this] {
        refresh();
        update();
    });
    refresh();
    needle_.reset(tuner_.dial().value_or(0));
    needleIndex_ = tuner_.dial();
    needleCount_ = int(tuner_.band().stations.size());
    readMoving(shown_, now());
}

TunerDisplay::~TunerDisplay() = default;

double TunerDisplay::now() const { return std::chrono::duration<double>(clock_.now().time_since_epoch()).count(); }

void TunerDisplay::refresh() {
    const double t = now();
    station_.setText(text(TunerDisplayModel::stationLine(tuner_).text), t);
    // A fresh marquee starts from the beginning when the memory prompt goes away.
    const bool memory = tuner_.isOn() && tuner_.memoryArmed();
    if (memoryShown_ && !memory) main_ = MarqueeText();
    memoryShown_ = memory;
    const TunerDisplayModel::Line line = TunerDisplayModel::mainLine(tuner_);
    main_.setText(text(line.text), t);

    const int count = int(tuner_.band().stations.size());
    const auto dial = tuner_.isOn() ? tuner_.dial() : std::nullopt;
    if (count != needleCount_ || !needleIndex_) {
        // A new band or a needle that appears: no swing across the scale.
        if (dial) needle_.reset(*dial);
    } else if (dial) {
        needle_.setTarget(*dial);
    }
    needleIndex_ = dial;
    needleCount_ = count;
    shown_ = readout(line, t);
}

TunerDisplayReadout TunerDisplay::readout(const TunerDisplayModel::Line& line, double now) const {
    Readout r;
    const bool on = tuner_.isOn();
    const auto presetIndex = tuner_.currentPresetIndex();
    r.captions = {TunerDisplayModel::presetText(presetIndex),
                  TunerDisplayModel::channelDigits(tuner_.dial(), tuner_.band().stations.size()),
                  TunerDisplayModel::bandLabel(tuner_.band().query),
                  on,
                  on && presetIndex.has_value(),
                  on && tuner_.dial().has_value(),
                  tuner_.signal()};
    r.station = {station_.text(), Ink::amber, on && tuner_.station().has_value(), std::nullopt};
    // The prompt is the tuner's line as it stands; anything else is the marquee's text.
    r.main = {on, {memoryShown_ ? text(line.text) : main_.text(), line.ink, on, std::nullopt}, memoryShown_};
    r.annunciators = {TunerDisplayModel::wordLamps(tuner_), TunerDisplayModel::formatText(tuner_),
                      TunerDisplayModel::countryText(tuner_), TunerDisplayModel::stationLampsLit(tuner_)};
    DialScale& dial = r.dial.scale;
    dial.count = int(tuner_.band().stations.size());
    dial.position = on ? tuner_.dial() : std::nullopt;
    dial.presets = TunerDisplayModel::presetMarks(tuner_.presets(), tuner_.band().stations);
    dial.lit = on;
    dial.scanning = tuner_.bandLoading() && tuner_.band().stations.empty();
    readMoving(r, now);
    return r;
}

void TunerDisplay::readMoving(TunerDisplayReadout& r, double now) const {
    const Layout& l = layout();
    const double seconds = now - referenceDate;
    r.station.scrolledSeconds = station_.moving(stationSize, r.station.lit, l.station.width())
                                    ? std::optional(station_.elapsed(now))
                                    : std::nullopt;
    if (memoryShown_) {
        r.main.line.lit = TunerDisplayModel::blinkLit(seconds, 0.4);
    } else {
        r.main.line.scrolledSeconds = main_.moving(mainSize, r.main.line.lit, l.mainText.width())
                                          ? std::optional(main_.elapsed(now))
                                          : std::nullopt;
    }
    r.dial.needle = needle_.position();
    r.dial.scale.scanningLit = r.dial.scale.scanning && TunerDisplayModel::blinkLit(seconds, 0.5);
    r.meters = meter_ ? meter_() : MeterBallistics::Pair{};
}

const TunerDisplayLayout& TunerDisplay::layout() const {
    // Fonts are measured once per height, not on every frame.
    if (layout_ && layoutHeight_ == height()) return *layout_;
    layout_.emplace(QRectF(glowMargin, glowMargin, designWidth, height() - 2 * glowMargin), measures());
    layoutHeight_ = height();
    return *layout_;
}

QSizeF TunerDisplay::designSize() const { return {designWidth, Layout::height(measures())}; }

void TunerDisplay::setDisplayGeometry(const QRect& frame) {
    setGeometry(frame.adjusted(-glowMargin, -glowMargin, glowMargin, glowMargin));
}

QRect TunerDisplay::displayRect() const {
    return geometry().adjusted(glowMargin, glowMargin, -glowMargin, -glowMargin);
}

QSize TunerDisplay::sizeHint() const { return designSize().toSize() + QSize(2 * glowMargin, 2 * glowMargin); }

QRectF TunerDisplay::annunciatorRow() const { return layout().annunciators; }
QRectF TunerDisplay::stationBox() const { return layout().station; }
QRectF TunerDisplay::mainTextBox() const { return layout().mainText; }

namespace {

// A row with its glow; rows are 7 apart, so neighbours never share pixels.
QRectF around(const QRectF& row, int width) { return QRectF(0, row.top() - 3, width, row.height() + 6); }

}  // namespace

void TunerDisplay::tick(double dt) {
    if (!needle_.settled() || shown_.dial.scale.scanning) needle_.step(dt);
    // An idle studio repaints nothing: a row only when what it shows moved.
    TunerDisplayReadout next = shown_;
    readMoving(next, now());
    const Layout& l = layout();
    forEachRow([&](const auto& row) {
        if (!(next.*row.shows == shown_.*row.shows)) update(around(l.*row.box, width()).toAlignedRect());
    });
    shown_ = std::move(next);
}

void TunerDisplay::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRect dirty = event->rect();
    const Layout& l = layout();
    // The tuner's rows as last announced, with what moved since; shown_ itself stays what the
    // rows were last asked to repaint for.
    Readout shown = shown_;
    readMoving(shown, now());
    forEachRow([&](const auto& row) {
        const QRectF bounds = around(l.*row.box, width());
        if (!dirty.intersects(bounds.toAlignedRect())) return;
        const auto& value = shown.*row.shows;
        pictures_->of(row).paint(painter, bounds, value, [&](QPainter& p) { row.paint(p, l, value); });
    });
}

}  // namespace norvo
