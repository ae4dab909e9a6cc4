#include "Tuner/TunerDisplay.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <chrono>

#include "Rack/Kit/DisplayWindow.hpp"
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

TunerDisplay::Rows TunerDisplay::rows() const {
    Rows r;
    const QRectF window(0, 0, designWidth, height());
    r.content = DisplayWindow::contentRect(window);
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
    return r;
}

QSize TunerDisplay::sizeHint() const {
    const qreal captionHeight = QFontMetricsF(captionFont()).height() + 2 + GlowText{"0", 15, {}, true}.sizeHint().height();
    const qreal content = captionHeight + 24 + 15 + QFontMetricsF(lampFont()).height() + DialScale::height +
                          2 * FLMeterBar::height() + 4 + 5 * rowSpacing;
    return DisplayWindow::sizeFor(QSizeF(designWidth - 2 * DisplayWindow::padding, content)).toSize();
}

void TunerDisplay::tick(double dt) {
    const Rows r = rows();
    update(r.meters.toAlignedRect().adjusted(-4, -4, 4, 4));
    const bool on = tuner_.isOn();
    if (station_.moving(19, on && tuner_.station().has_value(), r.station.width())) update(r.station.toAlignedRect());
    if (memoryShown_ || main_.moving(11, on, r.mainText.width())) update(r.main.toAlignedRect());
    const bool scanning = tuner_.bandLoading() && tuner_.band().stations.empty();
    if (!needle_.settled() || scanning) {
        needle_.step(dt);
        update(r.dial.toAlignedRect().adjusted(-6, -6, 6, 6));
    }
}

void TunerDisplay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF window(0, 0, designWidth, height());
    DisplayWindow::paintGlass(painter, window);
    const Rows r = rows();
    const double t = now();
    const bool on = tuner_.isOn();

    // Captions and their values.
    {
        const QFont font = captionFont();
        const QFontMetricsF metrics(font);
        const QColor captionInk = KitColor::faded(KitColor::displayCyan, 0.6);
        const auto presetIndex = tuner_.currentPresetIndex();
        struct Column {
            QString caption;
            GlowText value;
        };
        const Column columns[] = {
            {"PRESET", {text(TunerDisplayModel::presetText(presetIndex)), 15, KitColor::amber, on && presetIndex.has_value()}},
            {"CHANNEL", {text(TunerDisplayModel::channelDigits(tuner_.dial(), tuner_.band().stations.size())), 15,
                         KitColor::displayCyan, on && tuner_.dial().has_value()}},
            {"BAND", {text(TunerDisplayModel::bandLabel(tuner_.band().query)), 15, KitColor::displayCyan, on}},
        };
        qreal x = r.captions.left();
        const qreal captionBaseline = r.captions.top() + metrics.ascent();
        for (const Column& column : columns) {
            painter.setFont(font);
            painter.setPen(captionInk);
            painter.drawText(QPointF(x, captionBaseline), column.caption);
            const QSizeF value = column.value.sizeHint();
            column.value.paint(painter, QRectF(x, r.captions.top() + metrics.height() + 2, value.width() + 1, value.height()));
            x += std::max(metrics.horizontalAdvance(column.caption), value.width()) + captionSpacing;
        }
        painter.setFont(font);
        painter.setPen(captionInk);
        const QString signal = QStringLiteral("SIGNAL");
        painter.drawText(QPointF(r.captions.right() - metrics.horizontalAdvance(signal), captionBaseline), signal);
        SignalMeter{tuner_.signal(), on}.paint(
            painter, QPointF(r.captions.right() - SignalMeter::width, r.captions.top() + metrics.height() + 3));
    }

    station_.paint(painter, r.station, 19, KitColor::amber, on && tuner_.station().has_value(), t);

    // The "RT" badge, then the main text.
    {
        const QRectF badge = r.badge;
        const QString rt = QStringLiteral("RT");
        painter.setFont(KitFont::monospaced(7, QFont::Medium));
        painter.setPen(KitColor::faded(KitColor::displayCyan, on ? 0.75 : 0.15));
        painter.drawText(badge, Qt::AlignCenter, rt);
        painter.setPen(QPen(KitColor::faded(KitColor::displayCyan, on ? 0.5 : 0.12), 0.8));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(badge.adjusted(0.4, 0.4, -0.4, -0.4), 2, 2);

        const auto line = TunerDisplayModel::mainLine(tuner_);
        const QRectF box = r.mainText;
        if (memoryShown_) {
            GlowText{text(line.text), 11, colour(line.ink), TunerDisplayModel::blinkLit(secondsSinceReferenceDate(), 0.4)}
                .paint(painter, box);
        } else {
            main_.paint(painter, box, 11, colour(line.ink), on, t);
        }
    }

    // Annunciators: six word lamps from the left, format and country at the right.
    {
        const QFontMetricsF metrics(lampFont());
        const qreal baseline = r.lamps.top() + metrics.ascent();
        qreal x = r.lamps.left();
        for (const auto& lamp : TunerDisplayModel::wordLamps(tuner_)) {
            paintLamp(painter, QPointF(x, baseline), text(lamp.text), colour(lamp.ink), lamp.lit);
            x += metrics.horizontalAdvance(text(lamp.text)) + 9;
        }
        const bool hasStation = tuner_.station().has_value();
        const QString country = text(TunerDisplayModel::countryText(tuner_));
        const QString format = text(TunerDisplayModel::formatText(tuner_));
        qreal right = r.lamps.right() - metrics.horizontalAdvance(country);
        paintLamp(painter, QPointF(right, baseline), country, KitColor::displayCyan, hasStation);
        right -= 9 + metrics.horizontalAdvance(format);
        paintLamp(painter, QPointF(right, baseline), format, KitColor::displayCyan, hasStation);
    }

    {
        DialScale dial;
        dial.count = int(tuner_.band().stations.size());
        dial.position = on ? tuner_.dial() : std::nullopt;
        dial.presets = TunerDisplayModel::presetMarks(tuner_.presets(), tuner_.band().stations);
        dial.lit = on;
        dial.scanning = tuner_.bandLoading() && tuner_.band().stations.empty();
        dial.paint(painter, r.dial, needle_.position(), secondsSinceReferenceDate());
    }

    {
        const auto pair = meter_ ? meter_() : MeterBallistics::Pair{};
        const qreal h = FLMeterBar::height();
        FLMeterBar{pair.left, QStringLiteral("L")}.paint(painter, QRectF(r.meters.left(), r.meters.top(), r.meters.width(), h));
        FLMeterBar{pair.right, QStringLiteral("R")}.paint(painter,
                                                          QRectF(r.meters.left(), r.meters.top() + h + 4, r.meters.width(), h));
    }
    DisplayWindow::paintRim(painter, window);
}

}  // namespace norvo
