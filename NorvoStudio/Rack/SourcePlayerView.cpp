#include "SourcePlayerView.hpp"

#include "Rack/Kit/StaticLayer.hpp"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "PlayerProgramList.hpp"
#include "Rack/Kit/BrushedMetal.hpp"
#include "Rack/Kit/DisplayWindow.hpp"
#include "Rack/Kit/FLMeterBar.hpp"
#include "Rack/Kit/GlowText.hpp"
#include "Rack/Kit/KitColor.hpp"
#include "Rack/Kit/KitFont.hpp"
#include "Rack/Kit/KitShadow.hpp"
#include "Rack/Kit/Knob.hpp"
#include "Rack/Kit/LED.hpp"
#include "Rack/Kit/Silkscreen.hpp"
#include "Rack/Kit/SilverKey.hpp"
#include "Rack/Kit/SystemSymbol.hpp"
#include "StudioModel/StudioCommands.hpp"

namespace norvo {

namespace {

constexpr qreal padding = 18;
constexpr qreal rowSpacing = 14;
constexpr qreal displaySpacing = 8;
constexpr qreal panelRadius = 10;
constexpr qreal knobSize = 40;
constexpr qreal discSize = 26;
constexpr qreal listBorder = 2;  // the list sits inside its glass border

QFont captionFont() { return KitFont::monospaced(7, QFont::Medium); }
QFont durationFont() { return KitFont::monospaced(9, QFont::Medium); }
QFont brandFont() { return KitFont::system(10, QFont::Bold, true); }
qreal ascent(const QFont& f) { return QFontMetricsF(f).ascent(); }
qreal lineHeight(const QFont& f) {
    const QFontMetricsF m(f);
    return m.ascent() + m.descent();
}
qreal glowHeight(qreal size) { return GlowText{QStringLiteral("0"), size, KitColor::displayCyan, true}.sizeHint().height(); }
qreal glowWidth(const QString& text, qreal size) { return GlowText{text, size, KitColor::displayCyan, true}.sizeHint().width(); }

// A text field keeps the space bar for typing.
bool textInputHasFocus() {
    QWidget* focus = QApplication::focusWidget();
    return qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus) ||
           qobject_cast<QPlainTextEdit*>(focus) || qobject_cast<QAbstractSpinBox*>(focus);
}

}  // namespace

struct SourcePlayerView::Layout {
    qreal minimumHeight = 0;
    QPointF brandBaseline, modelBaseline;
    QRectF lineOutLed, lineOutText, header;
    QRectF display, content;
    QRectF trackCaption, trackValue, timeCaptionLeft, disc;
    qreal timeTop = 0;
    QRectF status, bar, duration, meterL, meterR, error;
    QRectF keyRow;
    std::array<QRectF, 5> keys;
    QRectF knob;
    QRectF programCaption, programHint, list;

    Layout(qreal height, bool errorShown) {
        const qreal inner = designWidth - 2 * padding;
        const QFont brand = brandFont();
        const Silkscreen model{QStringLiteral("SOURCE PLAYER  DA-2"), 8, true};
        const qreal headerAscent = std::max(ascent(brand), ascent(model.font()));
        const qreal headerHeight = headerAscent + std::max(QFontMetricsF(brand).descent(), QFontMetricsF(model.font()).descent());
        header = QRectF(padding, padding, inner, headerHeight);
        const qreal baseline = padding + headerAscent;
        brandBaseline = QPointF(padding, baseline);
        modelBaseline = QPointF(padding + QFontMetricsF(brand).horizontalAdvance(QStringLiteral("COMPACT DISC · MP3")) + 8,
                                baseline);
        const Silkscreen lineOut{QStringLiteral("LINE OUT"), 7, true};
        const QSizeF wordSize = lineOut.sizeHint();
        lineOutText = QRectF(padding + inner - wordSize.width(), baseline - ascent(lineOut.font()), wordSize.width(),
                             wordSize.height());
        lineOutLed = QRectF(lineOutText.left() - 5 - 7, lineOutText.center().y() - 3.5, 7, 7);

        // The display.
        const qreal top = header.bottom() + rowSpacing;
        const qreal left = padding + DisplayWindow::padding;
        const qreal width = inner - 2 * DisplayWindow::padding;
        qreal y = top + DisplayWindow::padding;
        const QFont caption = captionFont();
        const QSizeF discBox = SystemSymbol::size(QStringLiteral("opticaldisc"), discSize);
        // The row stands on the captions' baseline; the disc rests on it like a glyph.
        const qreal rowBaseline = std::max(ascent(caption), discBox.height() - 2);
        const qreal captionTop = y + rowBaseline - ascent(caption);
        trackCaption = QRectF(left, captionTop, width / 2, lineHeight(caption));
        trackValue = QRectF(left, trackCaption.bottom() + 2, width / 2, glowHeight(26));
        timeTop = captionTop;
        disc = QRectF(left + width - discBox.width(), y + rowBaseline + 2 - discBox.height(), discBox.width(),
                      discBox.height());
        y = std::max(trackValue.bottom(), disc.bottom()) + displaySpacing;
        status = QRectF(left, y, width, glowHeight(12));
        y = status.bottom() + displaySpacing;
        bar = QRectF(left, y, width, 5);
        duration = QRectF(left, bar.bottom() + 3, width, lineHeight(durationFont()));
        y = duration.bottom() + displaySpacing;
        meterL = QRectF(left, y, width, FLMeterBar::height());
        meterR = meterL.translated(0, FLMeterBar::height() + 4);
        y = meterR.bottom();
        if (errorShown) {
            error = QRectF(left, y + displaySpacing, width, glowHeight(9));
            y = error.bottom();
        }
        display = QRectF(padding, top, inner, y + DisplayWindow::padding - top);
        content = DisplayWindow::contentRect(display);

        // The key row: five keys from the left, the knob at the right end.
        const QSizeF knobBox = Knob::layoutSize(QStringLiteral("VOLUME"), knobSize);
        const qreal keyRowHeight = std::max<qreal>(SilverKeyStyle::height, knobBox.height());
        keyRow = QRectF(padding, display.bottom() + rowSpacing, inner, keyRowHeight);
        const std::array<qreal, 5> widths{56, 74, 56, 56, 56};
        qreal x = padding;
        for (std::size_t i = 0; i < widths.size(); ++i) {
            keys[i] = QRectF(x, keyRow.center().y() - SilverKeyStyle::height / 2, widths[i], SilverKeyStyle::height);
            x += widths[i] + 8;
        }
        knob = QRectF(padding + inner - knobBox.width(), keyRow.center().y() - knobBox.height() / 2, knobBox.width(),
                      knobBox.height());

        // The PROGRAM, down to the bottom edge.
        const Silkscreen program{QStringLiteral("PROGRAM"), 7, true};
        const qreal programTop = keyRow.bottom() + rowSpacing;
        const qreal hintHeight = lineHeight(KitFont::system(9));
        const qreal headerLine = std::max(program.sizeHint().height(), hintHeight);
        programCaption = QRectF(padding, programTop, inner, headerLine);
        programHint = programCaption;
        const qreal listTop = programCaption.bottom() + 6;
        const qreal smallestList = 3 * PlayerProgramList::rowHeight + 2 * listBorder;
        minimumHeight = listTop + smallestList + padding;
        list = QRectF(padding, listTop, inner, std::max(smallestList, height - padding - listTop));
    }
};

SourcePlayerView::SourcePlayerView(StudioModel& model, QWidget* parent)
    : QWidget(parent), model_(model), source_(model.source()) {
    buildControls();
    readout_ = PlayerReadout::make(PlayerReadout::Inputs::of(source_, scrub_.value()));
    meters_ = model_.live().sourceMeter();
    layout_ = std::make_unique<Layout>(600, readout_.error.has_value());
    resize(sizeHint());
    relayout();
    updateKeys();

    // The engine's observer only schedules a re-read here.
    connect(&model_, &StudioModel::sourceChanged, this, &SourcePlayerView::refresh);
    connect(&model_.live(), &LiveDeck::sourceMeterChanged, this, &SourcePlayerView::refresh);
}

SourcePlayerView::~SourcePlayerView() = default;

QSize SourcePlayerView::sizeHint() const {
    return QSize(designWidth, std::max(static_cast<int>(std::ceil(layout_->minimumHeight)), 560));
}

QSize SourcePlayerView::minimumSizeHint() const {
    return QSize(designWidth, static_cast<int>(std::ceil(layout_->minimumHeight)));
}

bool SourcePlayerView::dropTargeted() const { return program_->dropTargeted(); }

void SourcePlayerView::buildControls() {
    struct KeyDef {
        const char* symbol;
        const char* caption;
        qreal width;
    };
    const std::array<KeyDef, 5> defs{KeyDef{"backward.end.fill", "PREV", 56}, KeyDef{"play.fill", "PLAY/PAUSE", 74},
                                     KeyDef{"stop.fill", "STOP", 56}, KeyDef{"forward.end.fill", "NEXT", 56},
                                     KeyDef{"plus", "OPEN", 56}};
    for (std::size_t i = 0; i < defs.size(); ++i) {
        keys_[i] = new SilverKey(SilverKeyStyle{defs[i].width, false},
                                 KeyLabel::symbolAbove(QString::fromUtf8(defs[i].symbol), QString::fromUtf8(defs[i].caption)),
                                 this);
        // The space bar belongs to PLAY/PAUSE, not to whichever key has focus.
        keys_[i]->setFocusPolicy(Qt::NoFocus);
    }
    connect(keys_[0], &SilverKey::clicked, this, [this] { source_.previous(); });
    connect(keys_[1], &SilverKey::clicked, this, [this] { source_.togglePlayPause(); });
    connect(keys_[2], &SilverKey::clicked, this, [this] { source_.stop(); });
    connect(keys_[3], &SilverKey::clicked, this, [this] { source_.next(); });
    connect(keys_[4], &SilverKey::clicked, this, [this] { model_.chooseSourceFiles(); });
    keys_[4]->setToolTip(StudioCommands::helpText(QStringLiteral("Add MP3 / WAV files"), StudioCommands::Id::addMusic));

    spaceBar_ = new QAction(tr("Play / Pause"), this);
    spaceBar_->setShortcut(QKeySequence(Qt::Key_Space));
    spaceBar_->setShortcutContext(Qt::WindowShortcut);
    connect(spaceBar_, &QAction::triggered, this, [this] {
        if (!textInputHasFocus()) source_.togglePlayPause();
    });
    addAction(spaceBar_);

    volume_ = new Knob(QStringLiteral("VOLUME"), 0.8, knobSize, true, this);
    volume_->setBinding([this] { return static_cast<double>(source_.volume()); },
                        [this](double v) { source_.setVolume(static_cast<float>(v)); });

    program_ = new PlayerProgramList(source_, this);
    connect(program_, &PlayerProgramList::dropTargetedChanged, this,
            [this] { update(layout_->list.adjusted(-2, -2, 2, 2).toAlignedRect()); });
}

void SourcePlayerView::relayout() {
    layout_ = std::make_unique<Layout>(height(), readout_.error.has_value());
    for (std::size_t i = 0; i < keys_.size(); ++i) keys_[i]->setKeyGeometry(layout_->keys[i].toRect());
    volume_->setLayoutGeometry(layout_->knob.toRect());
    program_->setGeometry(layout_->list.adjusted(listBorder, listBorder, -listBorder, -listBorder).toRect());
    staticLayer_.invalidate();
    update();
}

void SourcePlayerView::updateKeys() {
    SilverKey* play = keys_[1];
    if (play->keyStyle().lit != readout_.playing) {
        play->setLit(readout_.playing);
        play->setLabel(KeyLabel::symbolAbove(readout_.playing ? QStringLiteral("pause.fill") : QStringLiteral("play.fill"),
                                             QStringLiteral("PLAY/PAUSE")));
    }
    // The volume can change elsewhere (the menu, a restored setting): redraw the knob then only.
    if (source_.volume() != shownVolume_) {
        shownVolume_ = source_.volume();
        volume_->update();
    }
}

void SourcePlayerView::refresh() {
    const PlayerReadout next = PlayerReadout::make(PlayerReadout::Inputs::of(source_, scrub_.value()));
    const MeterBallistics::Pair meters = model_.live().sourceMeter();
    const PlayerReadout old = readout_;
    readout_ = next;
    program_->refresh();

    if (old.error.has_value() != next.error.has_value()) {
        relayout();  // the error line takes room from the list
    } else {
        if (old.playing != next.playing) updatePart(Part::lineOut);
        if (old.trackNumber != next.trackNumber || old.figuresLit != next.figuresLit) {
            updatePart(Part::trackNumber);
            updatePart(Part::time);  // its place follows the track number's width
        }
        if (old.time != next.time) updatePart(Part::time);
        if (old.discDegrees != next.discDegrees || old.playing != next.playing) updatePart(Part::disc);
        if (old.status != next.status || old.statusLit != next.statusLit) updatePart(Part::status);
        if (old.progress != next.progress || old.progressEnabled != next.progressEnabled ||
            old.durationText != next.durationText)
            updatePart(Part::progress);
        if (old.error != next.error) updatePart(Part::error);
    }
    if (meters != meters_) {
        meters_ = meters;
        updatePart(Part::meters);
    }
    if (!next.progressEnabled && scrub_.value()) endScrub(false);
    updateKeys();
}

QRectF SourcePlayerView::partRect(Part part) const {
    const Layout& l = *layout_;
    // Glows spill a few points beyond their figures, over the glass.
    const QRectF glass = DisplayWindow::glassRect(l.display);
    const auto glow = [&](const QRectF& r) { return r.adjusted(-9, -9, 9, 9).intersected(glass); };
    switch (part) {
    case Part::lineOut: return l.lineOutLed.adjusted(-10, -10, 10, 10);
    case Part::display: return l.display;
    case Part::trackNumber: return glow(QRectF(l.trackValue.left(), l.trackValue.top(), glowWidth(QStringLiteral("000"), 26),
                                               l.trackValue.height()));
    case Part::time: return glow(QRectF(l.trackValue.left(), l.trackCaption.top(), l.disc.left() - l.trackValue.left(),
                                        l.trackValue.bottom() - l.trackCaption.top()));
    case Part::disc: return glow(l.disc);
    case Part::status: return glow(l.status);
    case Part::progress: return l.bar.united(l.duration).adjusted(-6, -6, 6, 2).intersected(glass);
    case Part::meters: return l.meterL.united(l.meterR).adjusted(-4, -4, 4, 4).intersected(glass);
    case Part::error: return glow(l.error);
    case Part::program: return l.list;
    }
    return {};
}

void SourcePlayerView::updatePart(Part part) { update(partRect(part).toAlignedRect()); }

// --- Painting ---------------------------------------------------------------------------

void SourcePlayerView::paintStatic(QPainter& p) const {
    const Layout& l = *layout_;
    const QRectF panel(0, 0, width(), height());
    QPainterPath shape;
    shape.addRoundedRect(panel, panelRadius, panelRadius);
    p.fillPath(shape, KitColor::white(0.78));
    p.save();
    p.setClipPath(shape, Qt::IntersectClip);
    BrushedMetal{KitColor::white(0.8), false}.paint(p, panel);
    p.restore();
    QLinearGradient edge(panel.topLeft(), panel.bottomLeft());
    edge.setColorAt(0, KitColor::white(1, 0.8));
    edge.setColorAt(1, KitColor::white(0, 0.35));
    p.setPen(QPen(QBrush(edge), 1.5, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(panel.adjusted(0.75, 0.75, -0.75, -0.75), panelRadius - 0.75, panelRadius - 0.75);

    p.setFont(brandFont());
    p.setPen(KitColor::white(0.2));
    p.drawText(l.brandBaseline, tr("COMPACT DISC · MP3"));
    Silkscreen{QStringLiteral("SOURCE PLAYER  DA-2"), 8, true}.paintAtBaseline(p, l.modelBaseline);
    Silkscreen{QStringLiteral("LINE OUT"), 7, true}.paint(p, l.lineOutText, Qt::AlignLeft | Qt::AlignVCenter);

    DisplayWindow::paintGlass(p, l.display);
    p.setFont(captionFont());
    p.setPen(KitColor::faded(KitColor::displayCyan, 0.6));
    p.drawText(l.trackCaption, Qt::AlignLeft | Qt::AlignVCenter, tr("TRACK"));
    DisplayWindow::paintRim(p, l.display);

    // The PROGRAM's header line and its glass.
    Silkscreen{QStringLiteral("PROGRAM"), 7, true}.paint(p, l.programCaption, Qt::AlignLeft | Qt::AlignVCenter);
    p.setFont(KitFont::system(9));
    p.setPen(KitColor::white(0.35));
    p.drawText(l.programHint, Qt::AlignRight | Qt::AlignVCenter, tr("double-click to play · ⌫ removes"));
    QPainterPath glass;
    glass.addRoundedRect(l.list, 6, 6);
    p.fillPath(glass, KitColor::displayGlass);
}

void SourcePlayerView::paintDisplay(QPainter& p, const QRegion& dirty) const {
    const Layout& l = *layout_;
    const PlayerReadout& r = readout_;
    const auto wants = [&](Part part) { return dirty.intersects(partRect(part).toAlignedRect()); };
    p.save();
    DisplayWindow::clipToGlass(p, l.display, dirty.boundingRect());

    // TRACK, then TIME 14 points after the track figure (or its caption, if wider).
    const qreal trackWidth = std::max(glowWidth(r.trackNumber, 26),
                                      QFontMetricsF(captionFont()).horizontalAdvance(tr("TRACK")));
    const qreal timeLeft = l.trackValue.left() + trackWidth + 14;
    if (wants(Part::trackNumber))
        GlowText{r.trackNumber, 26, KitColor::displayCyan, r.figuresLit}.paint(p, l.trackValue);
    if (wants(Part::time)) {
        p.setFont(captionFont());
        p.setPen(KitColor::faded(KitColor::displayCyan, 0.6));
        p.drawText(QRectF(timeLeft, l.trackCaption.top(), l.disc.left() - timeLeft, l.trackCaption.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, tr("TIME"));
        GlowText{r.time, 26, KitColor::displayCyan, r.figuresLit}.paint(
            p, QRectF(timeLeft, l.trackValue.top(), l.disc.left() - timeLeft - 4, l.trackValue.height()));
    }
    if (wants(Part::disc)) {
        const QColor ink = r.playing ? KitColor::displayCyan : KitColor::faded(KitColor::displayCyan, 0.15);
        const QRectF box(-l.disc.width() / 2, -l.disc.height() / 2, l.disc.width(), l.disc.height());
        p.save();
        p.translate(l.disc.center());
        p.rotate(r.discDegrees);
        // The glow is cached once, upright, and turns with the painter.
        if (r.playing)
            KitShadow::paint(p, QStringLiteral("player-disc"), box, KitColor::faded(KitColor::displayCyan, 0.6), 3,
                             QPointF(0, 0), [&](QPainter& s) {
                                 SystemSymbol::paint(s, QStringLiteral("opticaldisc"), QPointF(0, 0), discSize,
                                                     QFont::Light, Qt::black);
                             });
        SystemSymbol::paint(p, QStringLiteral("opticaldisc"), QPointF(0, 0), discSize, QFont::Light, ink);
        p.restore();
    }
    if (wants(Part::status)) GlowText{r.status, 12, KitColor::amber, r.statusLit}.paint(p, l.status);
    if (wants(Part::progress)) {
        p.setPen(Qt::NoPen);
        p.setBrush(KitColor::faded(KitColor::displayCyan, 0.12));
        p.drawRoundedRect(l.bar, l.bar.height() / 2, l.bar.height() / 2);
        // Whole points: the glow is blurred again only when the fill has grown by one, and kept
        // only while recent (a long track would leave one per point).
        const qreal fill = std::round(l.bar.width() * r.progress);
        if (fill > 0) {
            const QRectF bar(0, 0, fill, l.bar.height());
            const qreal radius = std::min(l.bar.height(), fill) / 2;
            p.save();
            p.translate(l.bar.topLeft());
            KitShadow::paint(p, QStringLiteral("player-progress"), bar, KitColor::faded(KitColor::displayCyan, 0.7), 2,
                             QPointF(0, 0), [&](QPainter& s) {
                                 s.setPen(Qt::NoPen);
                                 s.setBrush(Qt::black);
                                 s.drawRoundedRect(bar, radius, radius);
                             },
                             PictureLife::changing);
            p.setBrush(KitColor::displayCyan);
            p.drawRoundedRect(bar, radius, radius);
            p.restore();
        }
        p.setFont(durationFont());
        p.setPen(KitColor::faded(KitColor::displayCyan, 0.6));
        p.drawText(l.duration, Qt::AlignRight | Qt::AlignVCenter, r.durationText);
    }
    if (wants(Part::meters)) {
        FLMeterBar{{meters_.left.db, meters_.left.peakDB}, QStringLiteral("L")}.paint(p, l.meterL);
        FLMeterBar{{meters_.right.db, meters_.right.peakDB}, QStringLiteral("R")}.paint(p, l.meterR);
    }
    if (r.error && wants(Part::error)) GlowText{*r.error, 9, KitColor::ledRed, true}.paint(p, l.error);
    p.restore();
}

void SourcePlayerView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // The region, not its bounding box: a tick dirties small parts far apart.
    const QRegion dirty = event->region();
    staticLayer_.paint(p, size(), dirty, [this](QPainter& s) { paintStatic(s); });
    p.setClipRegion(dirty);

    const Layout& l = *layout_;
    if (dirty.intersects(partRect(Part::lineOut).toAlignedRect()))
        LED{readout_.playing, KitColor::ledGreen, 7}.paint(p, l.lineOutLed.topLeft());
    if (dirty.intersects(DisplayWindow::glassRect(l.display).toAlignedRect())) paintDisplay(p, dirty);
    if (dirty.intersects(l.list.adjusted(-2, -2, 2, 2).toAlignedRect())) {
        const bool targeted = program_->dropTargeted();
        const qreal w = targeted ? 2 : 1.5;
        p.setPen(QPen(targeted ? KitColor::amber : KitColor::white(0, 0.8), w));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(l.list.adjusted(w / 2, w / 2, -w / 2, -w / 2), 6 - w / 2, 6 - w / 2);
    }
}

void SourcePlayerView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

// --- Input ------------------------------------------------------------------------------

bool SourcePlayerView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        // The error line is cut to the display's width; its help text is the whole sentence.
        auto* help = static_cast<QHelpEvent*>(event);
        if (readout_.error && partRect(Part::error).contains(help->pos())) {
            QToolTip::showText(help->globalPos(), *readout_.error, this);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

// --- Scrubbing --------------------------------------------------------------------------

void SourcePlayerView::mousePressEvent(QMouseEvent* event) {
    const QRectF hit = layout_->bar.adjusted(0, -4, 0, 4);  // a 5-point groove is hard to hit exactly
    if (event->button() == Qt::LeftButton && readout_.progressEnabled && hit.contains(event->position())) {
        scrubPressed_ = true;
        scrub_.move(event->position().x() - layout_->bar.left(), layout_->bar.width());
        refresh();
        return;
    }
    QWidget::mousePressEvent(event);
}

void SourcePlayerView::mouseMoveEvent(QMouseEvent* event) {
    if (scrubPressed_) {
        scrub_.move(event->position().x() - layout_->bar.left(), layout_->bar.width());
        refresh();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void SourcePlayerView::mouseReleaseEvent(QMouseEvent* event) {
    if (scrubPressed_) {
        endScrub(true);
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void SourcePlayerView::endScrub(bool seek) {
    scrubPressed_ = false;
    // The total the bar was last drawn with.
    const double total = readout_.progressTotal;
    if (seek) {
        if (const auto frame = scrub_.release(total)) source_.seek(*frame);
    } else {
        scrub_.cancel();
    }
    refresh();
}

void SourcePlayerView::hideEvent(QHideEvent* event) {
    if (scrubPressed_) endScrub(false);
    QWidget::hideEvent(event);
}

void SourcePlayerView::changeEvent(QEvent* event) {
    // The release will not arrive: the scrub ends where it was, without a seek.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && scrubPressed_) endScrub(false);
    QWidget::changeEvent(event);
}

}  // namespace norvo
