#include "Tuner/TunerDisplay.hpp"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <chrono>
#include <cmath>

#include "Rack/Kit/FLMeterBar.hpp"
#include "Rack/Kit/GlowText.hpp"
#include "Rack/Kit/KitColor.hpp"
#include "Rack/Kit/KitFont.hpp"
#include "Rack/Kit/KitShadow.hpp"
#include "Tuner/DialScale.hpp"
#include "Tuner/SignalMeter.hpp"
#include "Tuner/TunerDisplayModel.hpp"

namespace norvo {

namespace {

using Ink = TunerDisplayModel::Ink;

constexpr qreal rowSpacing = 7;
constexpr qreal captionSpacing = 16;
constexpr double referenceDate = 978307200;  // 2001-01-01 in Unix seconds

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
QString text(const std::string& s) { return QString::fromStdString(s); }

// An annunciator word: its colour with a soft glow when lit, a ghost of it when not.
void paintLamp(QPainter& painter, QPointF baseline, const QString& word, const QColor& color, bool lit) {
    const QFont font = lampFont();
    const QFontMetricsF metrics(font);
    if (lit) {
        const QRectF bounds(0, 0, metrics.horizontalAdvance(word), metrics.height());
        painter.save();
        painter.translate(baseline - QPointF(0, metrics.ascent()));
        KitShadow::paint(painter, QStringLiteral("tuner-lamp|%1|%2").arg(word, color.name()), bounds.adjusted(-6, -6, 6, 6),
                         KitColor::faded(color, 0.6), 2, QPointF(), [&](QPainter& p) {
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

}  // namespace

struct TunerDisplay::Rows {
    QRectF content, captions, station, main, lamps, dial, meters;
    QRectF badge, mainText;  // inside `main`: the "RT" badge and the text after it
};

TunerDisplay::TunerDisplay(TunerFacade& tuner, std::function<MeterBallistics::Pair()> meter, const Clock& clock,
                           QWidget* parent)
    : QWidget(parent), tuner_(tuner), meter_(std::move(meter)), clock_(clock) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    connect(&tuner_, &TunerFacade::changed, this, [this] {
        refresh();
        update();
    });
    refresh();
    needle_.reset(tuner_.dial().value_or(0));
    needleIndex_ = tuner_.dial();
    needleCount_ = int(tuner_.band().stations.size());
}

double TunerDisplay::now() const {
    return std::chrono::duration<double>(clock_.now().time_since_epoch()).count();
}

double TunerDisplay::secondsSinceReferenceDate() const { return now() - referenceDate; }

void TunerDisplay::refresh() {
    const double t = now();
    station_.setText(text(TunerDisplayModel::stationLine(tuner_).text), t);
    // A fresh marquee starts from the beginning when the memory prompt goes away.
    const bool memory = tuner_.isOn() && tuner_.memoryArmed();
    if (memoryShown_ && !memory) main_ = MarqueeText();
    memoryShown_ = memory;
    main_.setText(text(TunerDisplayModel::mainLine(tuner_).text), t);

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
}

const TunerDisplay::Rows& TunerDisplay::rows() const {
    // Fonts are measured once per height, not on every frame.
    if (rows_ && rowsHeight_ == height()) return *rows_;
    auto laidOut = std::make_shared<Rows>();
    Rows& r = *laidOut;
    r.content = QRectF(glowMargin, glowMargin, designWidth, height() - 2 * glowMargin);
    const qreal captionHeight = QFontMetricsF(captionFont()).height() + 2 + GlowText{"0", 15, {}, true}.sizeHint().height();
    qreal y = r.content.top();
    auto row = [&](qreal h) {
        QRectF rect(r.content.left(), y, r.content.width(), h);
        y += h + rowSpacing;
        return rect;
    };
    r.captions = row(captionHeight);
    r.station = row(24);
    r.main = row(15);
    const QFontMetricsF badge(KitFont::monospaced(7, QFont::Medium));
    r.badge = QRectF(r.main.left(), r.main.center().y() - badge.height() / 2,
                     badge.horizontalAdvance(QStringLiteral("RT")) + 6, badge.height());
    r.mainText = QRectF(r.badge.right() + 7, r.main.top(), r.main.right() - r.badge.right() - 7, r.main.height());
    r.lamps = row(QFontMetricsF(lampFont()).height());
    r.dial = row(DialScale::height);
    r.meters = row(2 * FLMeterBar::height() + 4);
    rows_ = std::move(laidOut);
    rowsHeight_ = height();
    return *rows_;
}

QSizeF TunerDisplay::designSize() const {
    const qreal captionHeight = QFontMetricsF(captionFont()).height() + 2 + GlowText{"0", 15, {}, true}.sizeHint().height();
    const qreal content = captionHeight + 24 + 15 + QFontMetricsF(lampFont()).height() + DialScale::height +
                          2 * FLMeterBar::height() + 4 + 5 * rowSpacing;
    return {designWidth, std::ceil(content)};
}

void TunerDisplay::setDisplayGeometry(const QRect& frame) {
    setGeometry(frame.adjusted(-glowMargin, -glowMargin, glowMargin, glowMargin));
}

QRect TunerDisplay::displayRect() const { return geometry().adjusted(glowMargin, glowMargin, -glowMargin, -glowMargin); }

QSize TunerDisplay::sizeHint() const {
    return designSize().toSize() + QSize(2 * glowMargin, 2 * glowMargin);
}

QRectF TunerDisplay::annunciatorRow() const { return rows().lamps; }
QRectF TunerDisplay::stationBox() const { return rows().station; }
QRectF TunerDisplay::mainTextBox() const { return rows().mainText; }

void TunerDisplay::tick(double dt) {
    const Rows& r = rows();
    const auto around = [&](const QRectF& row) { return QRectF(0, row.top() - 3, width(), row.height() + 6).toAlignedRect(); };
    // An idle studio repaints nothing: the meters only when their needles moved.
    const auto meter = meter_ ? meter_() : MeterBallistics::Pair{};
    if (meter != drawnMeter_) {
        drawnMeter_ = meter;
        update(around(r.meters));
    }
    const bool on = tuner_.isOn();
    if (station_.moving(19, on && tuner_.station().has_value(), r.station.width())) update(around(r.station));
    if (memoryShown_ || main_.moving(11, on, r.mainText.width())) update(around(r.main));
    const bool scanning = tuner_.bandLoading() && tuner_.band().stations.empty();
    if (!needle_.settled() || scanning) {
        needle_.step(dt);
        update(around(r.dial));
    }
}

void TunerDisplay::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRect dirty = event->rect();
    const Rows& r = rows();
    const double t = now();
    const bool on = tuner_.isOn();
    // A row with its glow; rows are 7 apart, so neighbours never share pixels.
    const auto around = [&](const QRectF& row) { return QRectF(0, row.top() - 3, width(), row.height() + 6); };
    const auto draw = [&](KitPicture& picture, const QRectF& row, const QString& key,
                          const std::function<void(QPainter&)>& paint) {
        const QRectF bounds = around(row);
        if (dirty.intersects(bounds.toAlignedRect())) picture.paint(painter, bounds, key, paint);
    };
    const auto flag = [](bool b) { return b ? QStringLiteral("1") : QStringLiteral("0"); };

    // Captions and their values.
    {
        const auto presetIndex = tuner_.currentPresetIndex();
        const QString preset = text(TunerDisplayModel::presetText(presetIndex));
        const QString channel = text(TunerDisplayModel::channelDigits(tuner_.dial(), tuner_.band().stations.size()));
        const QString band = text(TunerDisplayModel::bandLabel(tuner_.band().query));
        const bool presetLit = on && presetIndex.has_value();
        const bool channelLit = on && tuner_.dial().has_value();
        const double signal = tuner_.signal();
        const QString key = preset + u'|' + channel + u'|' + band + u'|' + flag(on) + flag(presetLit) + flag(channelLit) +
                            u'|' + QString::number(signal, 'g', 17);
        draw(captionsPicture_, r.captions, key, [&](QPainter& p) {
            const QFont font = captionFont();
            const QFontMetricsF metrics(font);
            const QColor captionInk = KitColor::faded(KitColor::displayCyan, 0.6);
            struct Column {
                QString caption;
                GlowText value;
            };
            const Column columns[] = {
                {"PRESET", {preset, 15, KitColor::amber, presetLit}},
                {"CHANNEL", {channel, 15, KitColor::displayCyan, channelLit}},
                {"BAND", {band, 15, KitColor::displayCyan, on}},
            };
            qreal x = r.captions.left();
            const qreal captionBaseline = r.captions.top() + metrics.ascent();
            for (const Column& column : columns) {
                p.setFont(font);
                p.setPen(captionInk);
                p.drawText(QPointF(x, captionBaseline), column.caption);
                const QSizeF value = column.value.sizeHint();
                column.value.paint(p, QRectF(x, r.captions.top() + metrics.height() + 2, value.width() + 1, value.height()));
                x += std::max(metrics.horizontalAdvance(column.caption), value.width()) + captionSpacing;
            }
            p.setFont(font);
            p.setPen(captionInk);
            const QString signalCaption = QStringLiteral("SIGNAL");
            p.drawText(QPointF(r.captions.right() - metrics.horizontalAdvance(signalCaption), captionBaseline), signalCaption);
            SignalMeter{signal, on}.paint(
                p, QPointF(r.captions.right() - SignalMeter::width, r.captions.top() + metrics.height() + 3));
        });
    }

    {
        const bool lit = on && tuner_.station().has_value();
        const bool moving = station_.moving(19, lit, r.station.width());
        const QString key = station_.text() + u'|' + flag(lit) + u'|' + (moving ? QString::number(t, 'g', 17) : QString());
        draw(stationPicture_, r.station, key, [&](QPainter& p) { station_.paint(p, r.station, 19, KitColor::amber, lit, t); });
    }

    // The "RT" badge, then the main text.
    {
        const auto line = TunerDisplayModel::mainLine(tuner_);
        const bool blinkLit = memoryShown_ && TunerDisplayModel::blinkLit(secondsSinceReferenceDate(), 0.4);
        const bool moving = !memoryShown_ && main_.moving(11, on, r.mainText.width());
        const QString key = text(line.text) + u'|' + QString::number(int(line.ink)) + u'|' + flag(on) +
                            flag(memoryShown_) + flag(blinkLit) + u'|' + (moving ? QString::number(t, 'g', 17) : QString());
        draw(mainPicture_, r.main, key, [&](QPainter& p) {
            const QRectF badge = r.badge;
            p.setFont(KitFont::monospaced(7, QFont::Medium));
            p.setPen(KitColor::faded(KitColor::displayCyan, on ? 0.75 : 0.15));
            p.drawText(badge, Qt::AlignCenter, QStringLiteral("RT"));
            p.setPen(QPen(KitColor::faded(KitColor::displayCyan, on ? 0.5 : 0.12), 0.8));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(badge.adjusted(0.4, 0.4, -0.4, -0.4), 2, 2);
            if (memoryShown_)
                GlowText{text(line.text), 11, colour(line.ink), blinkLit, GlowText::Use::lettering}.paint(p, r.mainText);
            else main_.paint(p, r.mainText, 11, colour(line.ink), on, t);
        });
    }

    // Annunciators: six word lamps from the left, format and country at the right.
    {
        const auto lamps = TunerDisplayModel::wordLamps(tuner_);
        const bool stationLit = TunerDisplayModel::stationLampsLit(tuner_);
        const QString country = text(TunerDisplayModel::countryText(tuner_));
        const QString format = text(TunerDisplayModel::formatText(tuner_));
        QString key = country + u'|' + format + u'|' + flag(stationLit);
        for (const auto& lamp : lamps) key += u'|' + text(lamp.text) + QString::number(int(lamp.ink)) + flag(lamp.lit);
        draw(lampsPicture_, r.lamps, key, [&](QPainter& p) {
            const QFontMetricsF metrics(lampFont());
            const qreal baseline = r.lamps.top() + metrics.ascent();
            qreal x = r.lamps.left();
            for (const auto& lamp : lamps) {
                paintLamp(p, QPointF(x, baseline), text(lamp.text), colour(lamp.ink), lamp.lit);
                x += metrics.horizontalAdvance(text(lamp.text)) + 9;
            }
            qreal right = r.lamps.right() - metrics.horizontalAdvance(country);
            paintLamp(p, QPointF(right, baseline), country, KitColor::displayCyan, stationLit);
            right -= 9 + metrics.horizontalAdvance(format);
            paintLamp(p, QPointF(right, baseline), format, KitColor::displayCyan, stationLit);
        });
    }

    {
        DialScale dial;
        dial.count = int(tuner_.band().stations.size());
        dial.position = on ? tuner_.dial() : std::nullopt;
        dial.presets = TunerDisplayModel::presetMarks(tuner_.presets(), tuner_.band().stations);
        dial.lit = on;
        dial.scanning = tuner_.bandLoading() && tuner_.band().stations.empty();
        const double seconds = secondsSinceReferenceDate();
        const double needle = needle_.position();
        QString key = QString::number(dial.count) + u'|' + (dial.position ? QString::number(*dial.position) : QString()) +
                      u'|' + flag(dial.lit) + flag(dial.scanning) + u'|' + QString::number(needle, 'g', 17) + u'|' +
                      (dial.scanning ? QString::number(seconds, 'g', 17) : QString());
        for (int mark : dial.presets) key += u',' + QString::number(mark);
        draw(dialPicture_, r.dial, key, [&](QPainter& p) { dial.paint(p, r.dial, needle, seconds); });
    }

    {
        const auto pair = meter_ ? meter_() : MeterBallistics::Pair{};
        drawnMeter_ = pair;
        QString key;
        for (const auto& channel : {pair.left, pair.right})
            key += QString::number(channel.db, 'g', 17) + u',' + QString::number(channel.peakDB, 'g', 17) + u',' +
                   QString::number(channel.peakAge, 'g', 17) + u'|';
        draw(metersPicture_, r.meters, key, [&](QPainter& p) {
            const qreal h = FLMeterBar::height();
            FLMeterBar{{pair.left.db, pair.left.peakDB}, QStringLiteral("L")}.paint(p, QRectF(r.meters.left(), r.meters.top(), r.meters.width(), h));
            FLMeterBar{{pair.right.db, pair.right.peakDB}, QStringLiteral("R")}.paint(p, QRectF(r.meters.left(), r.meters.top() + h + 4,
                                                                      r.meters.width(), h));
        });
    }
}

}  // namespace norvo
