#include "CassetteDeckView.hpp"

#include "Rack/Kit/StaticLayer.hpp"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QFile>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

#include "Cassette/NorvoGeometry.hpp"
#include "CassetteDrawing/CassetteRenderer.hpp"
#include "DeckDrop.hpp"
#include "Rack/Kit/BlackFaceplate.hpp"
#include "Rack/Kit/DisplayWindow.hpp"
#include "Rack/Kit/FLMeterBar.hpp"
#include "Rack/Kit/FLMeterScale.hpp"
#include "Rack/Kit/GlowText.hpp"
#include "Rack/Kit/HardwareKey.hpp"
#include "Rack/Kit/HoldKey.hpp"
#include "Rack/Kit/KitColor.hpp"
#include "Rack/Kit/KitFont.hpp"
#include "Rack/Kit/KitShadow.hpp"
#include "Rack/Kit/Knob.hpp"
#include "Rack/Kit/LED.hpp"
#include "Rack/Kit/Silkscreen.hpp"
#include "Rack/Kit/SystemSymbol.hpp"
#include "Rack/TapeSoundMenuItems.hpp"
#include "StudioModel/ShownText.hpp"
#include "StudioModel/StudioCommands.hpp"

namespace norvo {

namespace {

constexpr qreal padding = 18;
constexpr qreal rowSpacing = 14;
constexpr qreal wellWidth = 400;
constexpr qreal wellHeight = 280;
constexpr qreal wellRadius = 8;
constexpr qreal columnSpacing = 12;
constexpr qreal displaySpacing = 10;
constexpr qreal inputKeyWidth = 128;
constexpr qreal inputKeyHeight = 26;
constexpr qreal tapeSoundWidth = 264;
constexpr qreal tapeSoundHeight = 24;
constexpr qreal transportSpacing = 8;
constexpr qreal knobSize = 40;
constexpr double recordLevelDefault = 2.0 / 3.0;
constexpr double outputDefault = 0.8;

QFont captionFont() { return KitFont::monospaced(7, QFont::Medium); }
QColor captionInk() { return KitColor::faded(KitColor::displayCyan, 0.6); }
QFont resetFont() { return KitFont::keyCaption(7); }
QFont badgeFont() { return KitFont::keyCaption(7); }

qreal ascent(const QFont& f) { return QFontMetricsF(f).ascent(); }
qreal lineHeight(const QFont& f) {
    const QFontMetricsF m(f);
    return m.ascent() + m.descent();
}
qreal textWidth(const QFont& f, const QString& text) { return QFontMetricsF(f).horizontalAdvance(text); }

QRectF glowRect(QPointF topLeft, qreal width, qreal size) {
    return QRectF(topLeft, QSizeF(width, GlowText{QStringLiteral("0"), size, KitColor::displayCyan, true}.sizeHint().height()));
}

QColor tintColor(DeckReadout::Tint tint) {
    switch (tint) {
    case DeckReadout::Tint::red: return KitColor::ledRed;
    case DeckReadout::Tint::green: return KitColor::ledGreen;
    case DeckReadout::Tint::cyan: return KitColor::displayCyan;
    }
    return KitColor::displayCyan;
}

QString badgeSymbol(WriteProtect state) {
    switch (state) {
    case WriteProtect::broken: return QStringLiteral("lock.fill");
    case WriteProtect::tapedOver: return QStringLiteral("bandage.fill");
    case WriteProtect::intact: return QStringLiteral("lock.open");
    }
    return {};
}

// A critically damped spring of response 0.45 s, sampled at t seconds: 0 → 1.
double spring(double t) {
    const double omega = 2.0 * M_PI / 0.45;
    return 1.0 - (1.0 + omega * t) * std::exp(-omega * t);
}

}  // namespace

// Every rectangle of the face in design points, worked out once from the fonts.
struct CassetteDeckView::Layout {
    qreal height = 0;
    // Header.
    QPointF brandBaseline, modelBaseline;
    QRectF recLed, recText, tapeRunLed, tapeRunText, header;
    // Main panel.
    QRectF well, cassette;
    QRectF display, content;
    QRectF counterCaption, counter, resetKey, sideCaption, sideA, sideB;
    QRectF timeRow;
    qreal timeCaptionHeight = 0;
    QRectF status, meterL, meterR, scale, busyMessage, busyBar;
    QRectF mapCaption, mapStrip;
    QRectF inputCaption, inputPlayer, inputTuner;
    QRectF soundCaption, soundKey;
    // Transport row.
    QRectF ejectKey, recordKey, rewindKey, playKey, forwardKey, stopKey, flipKey, recordKnob, outputKnob;

    explicit Layout(bool busy) {
        const qreal inner = designWidth - 2 * padding;
        const QFont brand = KitFont::brand(18);
        const Silkscreen model{QStringLiteral("STUDIO CASSETTE DECK  NV-1"), 8, false};
        const qreal headerAscent = std::max(ascent(brand), ascent(model.font()));
        const qreal headerHeight = headerAscent + std::max(QFontMetricsF(brand).descent(),
                                                           QFontMetricsF(model.font()).descent());
        header = QRectF(padding, padding, inner, headerHeight);
        const qreal baseline = padding + headerAscent;
        brandBaseline = QPointF(padding, baseline);
        modelBaseline = QPointF(padding + textWidth(brand, QStringLiteral("Norvo")) + 8, baseline);
        // The lamps sit at the right end, each lamp centred on its word.
        const Silkscreen tapeRun{QStringLiteral("TAPE RUN"), 8, false};
        const Silkscreen rec{QStringLiteral("REC"), 8, false};
        const qreal wordAscent = ascent(tapeRun.font());
        const qreal wordHeight = tapeRun.sizeHint().height();
        const qreal wordTop = baseline - wordAscent;
        const qreal ledTop = wordTop + (wordHeight - 8) / 2;
        const qreal right = padding + inner;
        tapeRunText = QRectF(right - tapeRun.sizeHint().width(), wordTop, tapeRun.sizeHint().width(), wordHeight);
        tapeRunLed = QRectF(tapeRunText.left() - 6 - 8, ledTop, 8, 8);
        recText = QRectF(tapeRunLed.left() - 12 - 8 - rec.sizeHint().width(), wordTop, rec.sizeHint().width(), wordHeight);
        recLed = QRectF(recText.left() - 6 - 8, ledTop, 8, 8);

        const qreal top = header.bottom() + rowSpacing;
        well = QRectF(padding, top, wellWidth, wellHeight);
        const QRectF offered = well.adjusted(22, 18, -22, -18);
        QSizeF picture(offered.width(), offered.width() / cassetteAspectRatio);
        if (picture.height() > offered.height()) picture = QSizeF(offered.height() * cassetteAspectRatio, offered.height());
        cassette = QRectF(offered.center() - QPointF(picture.width() / 2, picture.height() / 2), picture);

        // The control column and its display.
        const qreal columnLeft = well.right() + 16;
        const qreal columnWidth = padding + inner - columnLeft;
        const qreal contentLeft = columnLeft + DisplayWindow::padding;
        const qreal contentWidth = columnWidth - 2 * DisplayWindow::padding;
        qreal y = top + DisplayWindow::padding;

        const QFont caption = captionFont();
        const qreal captionHeight = lineHeight(caption);
        const QFont reset = resetFont();
        const qreal resetHeight = lineHeight(reset) + 6;
        const qreal resetWidth = textWidth(reset, QStringLiteral("RESET")) + 10;
        const qreal rowBaseline = std::max(ascent(caption), 3 + ascent(reset));
        const qreal captionTop = y + rowBaseline - ascent(caption);
        counterCaption = QRectF(contentLeft, captionTop, textWidth(caption, QStringLiteral("COUNTER")), captionHeight);
        const GlowText counterText{QStringLiteral("000"), 30, KitColor::amber, true};
        counter = QRectF(contentLeft, counterCaption.bottom() + 2, counterText.sizeHint().width(),
                         counterText.sizeHint().height());
        resetKey = QRectF(std::max(counter.right(), counterCaption.right()) + 8, y + rowBaseline - 3 - ascent(reset),
                          resetWidth, resetHeight);
        const GlowText letter{QStringLiteral("A"), 22, KitColor::displayCyan, true};
        const QSizeF letterSize = letter.sizeHint();
        const qreal contentRight = contentLeft + contentWidth;
        sideB = QRectF(contentRight - letterSize.width(), counterCaption.bottom() + 2, letterSize.width(), letterSize.height());
        sideA = sideB.translated(-(letterSize.width() + 6), 0);
        const qreal sideCaptionWidth = textWidth(caption, QStringLiteral("SIDE"));
        sideCaption = QRectF(contentRight - sideCaptionWidth, captionTop, sideCaptionWidth, captionHeight);
        y = std::max({counter.bottom(), resetKey.bottom(), sideB.bottom()}) + displaySpacing;

        // TIME, REMAIN and TAPE with the room between them shared (placed when drawn).
        const qreal valueHeight = glowRect({}, 0, 15).height();
        timeCaptionHeight = captionHeight;
        timeRow = QRectF(contentLeft, y, contentWidth, captionHeight + 2 + valueHeight);
        y = timeRow.bottom() + displaySpacing;

        status = glowRect(QPointF(contentLeft, y), contentWidth, 12);
        y = status.bottom() + displaySpacing;

        meterL = QRectF(contentLeft, y, contentWidth, FLMeterBar::height());
        meterR = meterL.translated(0, FLMeterBar::height() + 5);
        scale = QRectF(contentLeft, meterR.bottom() + 5, contentWidth, FLMeterScale::height());
        y = scale.bottom();

        if (busy) {
            y += displaySpacing;
            busyMessage = glowRect(QPointF(contentLeft, y), contentWidth, 9);
            busyBar = QRectF(contentLeft, busyMessage.bottom() + 4, contentWidth, 5);
            y = busyBar.bottom();
        }
        display = QRectF(columnLeft, top, columnWidth, y + DisplayWindow::padding - top);
        content = DisplayWindow::contentRect(display);

        const qreal silk7 = Silkscreen{QStringLiteral("TAPE MAP"), 7, false}.sizeHint().height();
        y = display.bottom() + columnSpacing;
        mapCaption = QRectF(columnLeft, y, columnWidth, silk7);
        mapStrip = QRectF(columnLeft, mapCaption.bottom() + 4, columnWidth, 6);
        y = mapStrip.bottom() + columnSpacing + 2;
        inputCaption = QRectF(columnLeft, y, columnWidth, silk7);
        inputPlayer = QRectF(columnLeft, inputCaption.bottom() + 6, inputKeyWidth, inputKeyHeight);
        inputTuner = inputPlayer.translated(inputKeyWidth + 8, 0);
        y = inputPlayer.bottom() + columnSpacing;
        soundCaption = QRectF(columnLeft, y, columnWidth, silk7);
        soundKey = QRectF(columnLeft, soundCaption.bottom() + 6, tapeSoundWidth, tapeSoundHeight);

        const qreal mainHeight = std::max(wellHeight, soundKey.bottom() - top);
        const qreal rowTop = top + mainHeight + rowSpacing;

        // The transport row, centred: EJECT, gap, REC, REW, PLAY, FF, STOP, gap, A ⇄ B, knobs.
        const QSizeF levelKnob = Knob::layoutSize(QStringLiteral("REC LEVEL"), knobSize);
        const QSizeF outKnob = Knob::layoutSize(QStringLiteral("OUTPUT"), knobSize);
        const qreal rowHeight = std::max<qreal>({38, levelKnob.height(), outKnob.height()});
        const std::array<qreal, 11> widths{64, 6, 64, 64, 64, 64, 64, 6, 70, levelKnob.width(), outKnob.width()};
        qreal total = transportSpacing * (widths.size() - 1);
        for (qreal w : widths) total += w;
        qreal x = padding + (inner - total) / 2;
        std::array<QRectF, 11> cells;
        for (std::size_t i = 0; i < widths.size(); ++i) {
            const qreal h = i == 9 ? levelKnob.height() : i == 10 ? outKnob.height() : 38;
            cells[i] = QRectF(x, rowTop + (rowHeight - h) / 2, widths[i], h);
            x += widths[i] + transportSpacing;
        }
        ejectKey = cells[0];
        recordKey = cells[2];
        rewindKey = cells[3];
        playKey = cells[4];
        forwardKey = cells[5];
        stopKey = cells[6];
        flipKey = cells[8];
        recordKnob = cells[9];
        outputKnob = cells[10];
        height = rowTop + rowHeight + padding;
    }
};

CassetteDeckView::CassetteDeckView(StudioModel& model, QWidget* parent)
    : QWidget(parent), model_(model), layout_(std::make_unique<Layout>(false)) {
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    wallClock_ = [] { return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0; };
    buildControls();

    insertion_ = new QVariantAnimation(this);
    insertion_->setStartValue(0.0);
    insertion_->setEndValue(1.0);
    insertion_->setDuration(450);
    connect(insertion_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        insertionProgress_ = spring(v.toDouble() * 0.45 * 1.6);
        if (insertion_->state() != QAbstractAnimation::Running) insertionProgress_ = 1.0;
        updatePart(Part::well);
    });
    connect(insertion_, &QVariantAnimation::finished, this, [this] {
        insertionProgress_ = 1.0;
        incomingLayer_.clear();
        updatePart(Part::well);
    });

    removal_ = new QVariantAnimation(this);
    removal_->setStartValue(0.0);
    removal_->setEndValue(1.0);
    removal_->setDuration(450);
    connect(removal_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        removalProgress_ = spring(v.toDouble() * 0.45 * 1.6);
        updatePart(Part::well);
    });
    connect(removal_, &QVariantAnimation::finished, this, [this] {
        removalProgress_ = 1.0;
        outgoing_.reset();
        outgoingLayer_.clear();
        updatePart(Part::well);
    });

    // Every announcement only schedules a re-read; nothing here calls back into an engine.
    const auto wellChanged = [this] {
        wellDirty_ = true;
        ++coverGeneration_;
        refresh();
    };
    connect(&model_, &StudioModel::documentChanged, this, wellChanged);
    connect(&model_, &StudioModel::imagesChanged, this, wellChanged);
    for (auto signal : {&StudioModel::mediaChanged, &StudioModel::busyChanged, &StudioModel::counterOffsetChanged,
                        &StudioModel::deckInputChanged, &StudioModel::tapeSoundChanged, &StudioModel::modelChanged})
        connect(&model_, signal, this, &CassetteDeckView::refresh);
    connect(&model_, &StudioModel::recordLevelChanged, recordLevel_, qOverload<>(&QWidget::update));
    connect(&model_, &StudioModel::deckVolumeChanged, output_, qOverload<>(&QWidget::update));
    connect(&model_.live(), &LiveDeck::snapshotChanged, this, &CassetteDeckView::refresh);
    connect(&model_.live(), &LiveDeck::deckMeterChanged, this, &CassetteDeckView::refresh);

    readout_ = DeckReadout::make(readInputs());
    well_ = readWell();
    if (well_.shown) {
        shown_ = Picture{*model_.document(), well_.side, well_.head, model_.images()};
        lastShownID_ = well_.documentID;
    }
    meters_ = model_.live().deckMeter();
    busy_ = model_.busy();
    tapeSound_ = tapeSoundLabel();
    if (busy_) layout_ = std::make_unique<Layout>(true);
    layoutControls();
    updateControls();
    resize(sizeHint());
}

CassetteDeckView::~CassetteDeckView() = default;

QSize CassetteDeckView::designSize() { return QSize(designWidth, static_cast<int>(std::ceil(Layout(false).height))); }

QSize CassetteDeckView::sizeHint() const { return QSize(designWidth, static_cast<int>(std::ceil(layout_->height))); }

void CassetteDeckView::buildControls() {
    const auto transportKey = [this](const char* symbol, const char* caption, qreal width, std::optional<QColor> accent) {
        return new HardwareKey(HardwareKeyStyle{false, accent, width, 38},
                               KeyLabel::symbolAbove(QString::fromUtf8(symbol), QString::fromUtf8(caption)), this);
    };
    const auto inputKey = [this](DeckInput input, const QString& caption, const QString& help) {
        auto* key = new HardwareKey(HardwareKeyStyle{false, KitColor::white(0.6), inputKeyWidth, inputKeyHeight},
                                    KeyLabel::lampBefore(LED{false, KitColor::amber, 6}, caption), this);
        key->setToolTip(help);
        connect(key, &HardwareKey::clicked, this, [this, input] {
            // The model pushes every assignment of the deck input to the audio core.
            model_.setDeckInput(input);
        });
        return key;
    };
    playerInput_ = inputKey(DeckInput::sourcePlayer, QStringLiteral("CD · MP3"),
                            StudioCommands::helpText(QStringLiteral("Record and hear the source player DA-2"),
                                                     StudioCommands::Id::inputPlayer));
    tunerInput_ = inputKey(DeckInput::tuner, QStringLiteral("TUNER"),
                           StudioCommands::helpText(QStringLiteral("Record and hear the radio tuner RO-01"),
                                                    StudioCommands::Id::inputTuner));

    eject_ = transportKey("eject.fill", "EJECT", 64, std::nullopt);
    eject_->setToolTip(
        StudioCommands::helpText(QStringLiteral("Eject the cassette"), StudioCommands::Id::ejectCassette));
    connect(eject_, &HardwareKey::clicked, this, [this] { model_.eject(); });

    record_ = transportKey("circle.fill", "REC", 64, KitColor::ledRed);
    record_->setToolTip(tr("Arm recording. Recording starts when the source plays."));
    connect(record_, &HardwareKey::clicked, this, [this] { model_.transport(TransportCommand::record); });

    rewind_ = new HoldKey(KeyLabel::symbolAbove(QStringLiteral("backward.fill"), QStringLiteral("REW")), 64, this);
    rewind_->setToolTip(tr("Hold to rewind"));
    rewind_->setOnPress([this] { model_.transport(TransportCommand::beginRewind); });
    rewind_->setOnRelease([this] { model_.transport(TransportCommand::endWind); });

    play_ = transportKey("play.fill", "PLAY", 64, std::nullopt);
    connect(play_, &HardwareKey::clicked, this, [this] { model_.transport(TransportCommand::play); });

    forward_ = new HoldKey(KeyLabel::symbolAbove(QStringLiteral("forward.fill"), QStringLiteral("FF")), 64, this);
    forward_->setToolTip(tr("Hold to fast forward"));
    forward_->setOnPress([this] { model_.transport(TransportCommand::beginFastForward); });
    forward_->setOnRelease([this] { model_.transport(TransportCommand::endWind); });

    stop_ = transportKey("stop.fill", "STOP", 64, std::nullopt);
    connect(stop_, &HardwareKey::clicked, this, [this] { model_.transport(TransportCommand::stop); });

    flip_ = transportKey("arrow.triangle.2.circlepath", "A ⇄ B", 70, std::nullopt);
    flip_->setToolTip(tr("Take the cassette out and turn it over"));
    connect(flip_, &HardwareKey::clicked, this, [this] { model_.transport(TransportCommand::flip); });

    recordLevel_ = new Knob(QStringLiteral("REC LEVEL"), recordLevelDefault, knobSize, false, this);
    recordLevel_->setBinding([this] { return model_.recordLevel(); }, [this](double v) { model_.setRecordLevel(v); });
    output_ = new Knob(QStringLiteral("OUTPUT"), outputDefault, knobSize, false, this);
    output_->setBinding([this] { return model_.deckVolume(); }, [this](double v) { model_.setDeckVolume(v); });

    // Keys of a face are played with the pointer; focus stays where the user typed.
    for (HardwareKey* key : {playerInput_, tunerInput_, eject_, record_, play_, stop_, flip_}) key->setFocusPolicy(Qt::NoFocus);

    tapeSoundMenu_ = new QMenu(this);
    TapeSoundMenuItems::attach(*tapeSoundMenu_, model_);
}

void CassetteDeckView::layoutControls() {
    const auto place = [](QWidget* key, const QRectF& r) {
        const QRect rect = r.toRect();
        if (auto* button = qobject_cast<KeyButton*>(key)) button->setKeyGeometry(rect);
        else if (auto* hold = qobject_cast<HoldKey*>(key)) hold->setKeyGeometry(rect);
    };
    const Layout& l = *layout_;
    place(playerInput_, l.inputPlayer);
    place(tunerInput_, l.inputTuner);
    place(eject_, l.ejectKey);
    place(record_, l.recordKey);
    place(rewind_, l.rewindKey);
    place(play_, l.playKey);
    place(forward_, l.forwardKey);
    place(stop_, l.stopKey);
    place(flip_, l.flipKey);
    recordLevel_->setLayoutGeometry(l.recordKnob.toRect());
    output_->setLayoutGeometry(l.outputKnob.toRect());
}

void CassetteDeckView::updateControls() {
    const DeckReadout& r = readout_;
    const DeckInput input = model_.deckInput();
    for (DeckInput value : {DeckInput::sourcePlayer, DeckInput::tuner}) {
        HardwareKey* key = inputKey(value);
        const bool selected = value == input;
        if (key->keyStyle().latched != selected) {
            HardwareKeyStyle style = key->keyStyle();
            style.latched = selected;
            style.accent = KitColor::white(selected ? 0.95 : 0.6);
            key->setKeyStyle(style);
            key->setLabel(KeyLabel::lampBefore(LED{selected, KitColor::amber, 6},
                                               value == DeckInput::tuner ? QStringLiteral("TUNER")
                                                                         : QStringLiteral("CD · MP3")));
        }
    }
    record_->setLatched(r.recLatched);
    play_->setLatched(r.playLatched);
    rewind_->setLatched(r.rewindLatched);
    forward_->setLatched(r.forwardLatched);
    eject_->setEnabled(r.documentPresent);
    flip_->setEnabled(r.documentPresent);
}

QString CassetteDeckView::tapeSoundLabel() const {
    const auto& selected = model_.tapeSound().selected;
    return selected ? ShownText::plain(selected->name) : QStringLiteral("Clean");
}

DeckReadout::Inputs CassetteDeckView::readInputs() const {
    DeckReadout::Inputs in;
    in.transport = model_.live().snapshot().transport;
    if (const auto& doc = model_.document()) {
        in.documentType = doc->type;
        in.tabA = doc->sideA.writeProtect;
        in.tabB = doc->sideB.writeProtect;
    }
    in.counterOffset = model_.counterOffset();
    in.deckInput = model_.deckInput();
    if (model_.media() && in.transport.cassette) in.usedOnSide = model_.media()->used(in.transport.cassette->side);
    in.blinkOn = in.transport.mode == TransportMode::recordArmed && DeckReadout::blinkPhase(wallClock_());
    return in;
}

CassetteDeckView::WellState CassetteDeckView::readWell() const {
    WellState w;
    const auto& t = model_.live().snapshot().transport;
    w.shown = model_.document().has_value() && t.cassette.has_value();
    if (model_.document()) w.documentID = model_.document()->id;
    if (t.cassette) w.side = t.cassette->side;
    w.head = t.head;
    return w;
}

void CassetteDeckView::refresh() {
    const DeckReadout next = DeckReadout::make(readInputs());
    const WellState well = readWell();
    const MeterBallistics::Pair meters = model_.live().deckMeter();
    const std::optional<StudioModel::Busy> busy = model_.busy();
    const QString sound = tapeSoundLabel();

    if (busy.has_value() != busy_.has_value()) {
        // The busy line changes the face's height: lay everything out again.
        busy_ = busy;
        layout_ = std::make_unique<Layout>(busy_.has_value());
        layoutControls();
        updateGeometry();
        resize(sizeHint());
        staticLayer_.invalidate();
        update();
    } else if (busy != busy_) {
        busy_ = busy;
        updatePart(Part::busy);
    }

    const DeckReadout& old = readout_;
    if (old.recLamp != next.recLamp) updatePart(Part::recLamp);
    if (old.tapeRunLamp != next.tapeRunLamp) updatePart(Part::tapeRunLamp);
    if (old.counter != next.counter || old.documentPresent != next.documentPresent) {
        updatePart(Part::counter);
        updatePart(Part::resetKey);
    }
    if (old.sideALit != next.sideALit || old.sideBLit != next.sideBLit) updatePart(Part::sides);
    if (old.time != next.time || old.remain != next.remain || old.tape != next.tape ||
        old.cassetteLoaded != next.cassetteLoaded)
        updatePart(Part::time);
    if (old.status != next.status || old.statusTint != next.statusTint) updatePart(Part::status);
    // The map moves a fraction of a point per second at play speed: redraw it when the marker or
    // the recorded part has moved by a quarter point, not on every tick.
    const qreal strip = layout_->mapStrip.width();
    const auto quarters = [strip](double fraction) { return std::lround(fraction * strip * 4); };
    if (quarters(old.recordedFraction) != quarters(next.recordedFraction) ||
        quarters(old.headFraction) != quarters(next.headFraction) ||
        old.cassetteLoaded != next.cassetteLoaded)
        updatePart(Part::tapeMap);
    if (meters != meters_) updatePart(Part::meters);
    if (sound != tapeSound_) updatePart(Part::tapeSoundKey);

    // A document may arrive a tick before the transport shows its cassette: what counts is the
    // cassette the well showed last.
    const bool newCassette = well.shown && well.documentID != lastShownID_;
    const bool cassetteGone = well_.shown && (!well.shown || well.documentID != well_.documentID);
    WellState headOnly = well_;
    headOnly.head = well.head;
    if (wellDirty_ || !(headOnly == well) || old.tab != next.tab || dropTargeted_) updatePart(Part::well);
    else if (well.head != well_.head) update(reelsRect().toAlignedRect());  // only the reels turn
    if (cassetteGone && shown_ && isVisible()) {
        outgoing_ = shown_;
        outgoing_->head = well_.head;
        outgoing_->side = well_.side;
        ++outgoingGeneration_;
        removalProgress_ = 0.0;
        removal_->stop();
        removal_->start();
    }
    if (newCassette && isVisible()) {
        insertionProgress_ = 0.0;
        insertion_->stop();
        insertion_->start();
    }
    if (!well.shown) shown_.reset();
    else if (wellDirty_ || !shown_) shown_ = Picture{*model_.document(), well.side, well.head, model_.images()};
    if (well.shown) lastShownID_ = well.documentID;

    readout_ = next;
    well_ = well;
    meters_ = meters;
    tapeSound_ = sound;
    wellDirty_ = false;
    updateControls();
}

QRectF CassetteDeckView::partRect(Part part) const {
    const Layout& l = *layout_;
    // Glows spill a few points beyond the text, over the glass.
    const auto glow = [](const QRectF& r) { return r.adjusted(-9, -9, 9, 9); };
    const QRectF glass = DisplayWindow::glassRect(l.display);
    switch (part) {
    case Part::recLamp: return l.recLed.adjusted(-LED::glowRadius * 2, -LED::glowRadius * 2, LED::glowRadius * 2, LED::glowRadius * 2);
    case Part::tapeRunLamp:
        return l.tapeRunLed.adjusted(-LED::glowRadius * 2, -LED::glowRadius * 2, LED::glowRadius * 2, LED::glowRadius * 2);
    case Part::well: return l.well;
    case Part::display: return l.display;
    case Part::counter: return glow(l.counter).intersected(glass);
    case Part::resetKey: return l.resetKey.adjusted(-1, -1, 1, 1);
    case Part::sides: return glow(l.sideA.united(l.sideB)).intersected(glass);
    case Part::time:
    case Part::remain:
    case Part::tape: return glow(l.timeRow).intersected(glass);
    case Part::status: return glow(l.status).intersected(glass);
    case Part::meters: return l.meterL.united(l.meterR).adjusted(-4, -4, 4, 4).intersected(glass);
    case Part::busy: return l.busyMessage.united(l.busyBar).adjusted(-4, -4, 4, 4).intersected(glass);
    case Part::tapeMap: return l.mapStrip.adjusted(-6, -6, 6, 6);
    case Part::tapeSoundKey: return l.soundKey.adjusted(-1, -1, 1, 1);
    case Part::tabIndicator: {
        const QFont font = badgeFont();
        const QString text = readout_.tab ? DeckReadout::tabBadgeText(*readout_.tab) : QString();
        const qreal width = 10 + 4 + textWidth(font, text);
        return QRectF(l.well.left() + 34, l.well.top() + 6, width, lineHeight(font));
    }
    }
    return {};
}

// What moves with the head: the packs and hubs seen through the window and hub openings.
QRectF CassetteDeckView::reelsRect() const {
    using Geometry = NorvoGeometry;
    const QRectF picture = layout_->cassette;
    const double mm = picture.width() / Geometry::Shell::width;
    const double r = Geometry::Mechanism::hubOpeningDiameter / 2;
    const auto& w = Geometry::Shell::window;
    const double left = std::min(Geometry::Mechanism::leftHub.x - r, w.x);
    const double right = std::max(Geometry::Mechanism::rightHub.x + r, w.x + w.width);
    const double top = std::min(Geometry::Mechanism::leftHub.y - r, w.y);
    const double bottom = std::max(Geometry::Mechanism::leftHub.y + r, w.y + w.height);
    const QRectF openings(picture.left() + left * mm, picture.top() + top * mm, (right - left) * mm, (bottom - top) * mm);
    return openings.adjusted(-2, -2, 2, 2);  // antialiased edges
}

void CassetteDeckView::updatePart(Part part) { update(partRect(part).toAlignedRect()); }

void CassetteDeckView::setDropTargeted(bool targeted) {
    if (dropTargeted_ == targeted) return;
    dropTargeted_ = targeted;
    updatePart(Part::well);
}

bool CassetteDeckView::handleDrop(const QList<QUrl>& urls) {
    const auto file = DeckDrop::fileToOpen(urls);
    if (!file) return false;
    model_.open(*file);
    return true;
}

QMenu* CassetteDeckView::wellMenu() {
    if (wellMenu_) wellMenu_->deleteLater();
    if (!readWell().shown) return nullptr;
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(tr("Design Cassette…"), this, [this] { model_.setShowingDesigner(true); });
    menu->addAction(tr("Flip Cassette"), this, [this] { model_.transport(TransportCommand::flip); });
    menu->addSeparator();
    const CassetteDocument& doc = *model_.document();
    for (TapeSide side : allTapeSides) {
        const WriteProtect state = side == TapeSide::a ? doc.sideA.writeProtect : doc.sideB.writeProtect;
        QAction* entry = menu->addAction(StudioCommands::menuText(DeckReadout::tabMenuText(side, state)), this,
                                         [this, side] { model_.advanceWriteProtect(side); });
        entry->setData(rawValue(side));
    }
    menu->addSeparator();
    menu->addAction(tr("Eject"), this, [this] { model_.eject(); });
    wellMenu_ = menu;
    return menu;
}

// --- Painting ---------------------------------------------------------------------------

void CassetteDeckView::paintStatic(QPainter& p) const {
    const Layout& l = *layout_;
    BlackFaceplate::paint(p, QRectF(QPointF(0, 0), QSizeF(width(), height())));

    p.setFont(KitFont::brand(18));
    p.setPen(KitColor::white(0.9));
    p.drawText(l.brandBaseline, QStringLiteral("Norvo"));
    Silkscreen{QStringLiteral("STUDIO CASSETTE DECK  NV-1"), 8, false}.paintAtBaseline(p, l.modelBaseline);
    Silkscreen{QStringLiteral("REC"), 8, false}.paint(p, l.recText, Qt::AlignLeft | Qt::AlignVCenter);
    Silkscreen{QStringLiteral("TAPE RUN"), 8, false}.paint(p, l.tapeRunText, Qt::AlignLeft | Qt::AlignVCenter);

    // The well's floor (the cassette and the glass go over it).
    QPainterPath well;
    well.addRoundedRect(l.well, wellRadius, wellRadius);
    QLinearGradient floor(l.well.topLeft(), l.well.bottomLeft());
    floor.setColorAt(0, KitColor::white(0.04));
    floor.setColorAt(1, KitColor::white(0.11));
    p.fillPath(well, floor);

    // The display's glass and its fixed captions.
    DisplayWindow::paintGlass(p, l.display);
    p.setFont(captionFont());
    p.setPen(captionInk());
    p.drawText(l.counterCaption, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("COUNTER"));
    p.drawText(l.sideCaption, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("SIDE"));
    FLMeterScale::paint(p, l.scale);
    DisplayWindow::paintRim(p, l.display);

    Silkscreen{QStringLiteral("TAPE MAP"), 7, false}.paint(p, l.mapCaption, Qt::AlignLeft | Qt::AlignVCenter);
    Silkscreen{QStringLiteral("INPUT"), 7, false}.paint(p, l.inputCaption, Qt::AlignLeft | Qt::AlignVCenter);
    Silkscreen{QStringLiteral("TAPE SOUND"), 7, false}.paint(p, l.soundCaption, Qt::AlignLeft | Qt::AlignVCenter);
}

void CassetteDeckView::paintLamps(QPainter& p) const {
    const Layout& l = *layout_;
    LED{readout_.recLamp, KitColor::ledRed, 8}.paint(p, l.recLed.topLeft());
    LED{readout_.tapeRunLamp, KitColor::ledGreen, 8}.paint(p, l.tapeRunLed.topLeft());
}

// The cassette `slide` of the way into the well (0 above it and transparent, 1 in place).
// While it slides it is one picture in `layer`, faded as a whole.
void CassetteDeckView::paintPicture(QPainter& p, const CassetteDocument& document, TapeSide side, int64_t head,
                                    const ArtworkImages& images, double slide, LayerPicture& layer,
                                    const QString& layerKey) const {
    const Layout& l = *layout_;
    slide = std::clamp(slide, 0.0, 1.0);
    const QRectF picture = l.cassette.translated(0, -(1.0 - slide) * (l.cassette.bottom() - l.well.top()));
    const qreal radius = picture.width() / 100.4 * 3.0;
    const QRectF shell(QPointF(0, 0), picture.size());
    const auto shadow = [&](QPainter& s) {
        KitShadow::paint(s, QStringLiteral("deck-cassette"), shell, KitColor::white(0, 0.7), 6, QPointF(0, 4),
                         [&](QPainter& shape) {
                             shape.setPen(Qt::NoPen);
                             shape.setBrush(Qt::black);
                             shape.drawRoundedRect(shell, radius, radius);
                         });
    };
    p.save();
    p.translate(picture.topLeft());
    if (slide < 1.0 || &document != &*model_.document()) {
        // Shell, label and reels drawn one over another at an opacity would show the reels
        // through the label: the cassette fades as one picture.
        const QRectF bounds = shell.adjusted(-20, -20, 20, 24);  // with its shadow
        const QString key = QStringLiteral("%1|%2|%3|%4x%5")
                                .arg(layerKey)
                                .arg(rawValue(side))
                                .arg(head)
                                .arg(picture.width())
                                .arg(picture.height());
        p.setOpacity(slide);
        layer.paint(p, bounds, QPointF(), key, [&](QPainter& c) {
            shadow(c);
            renderCassette(c, picture.size(), document, side, head, images);
        });
    } else {
        shadow(p);
        // At rest only the reels move: they are drawn live, the cover over them is copied.
        renderCassette(p, picture.size(), document, side, head, images, CassetteLayer::reels);
        const QString key = QStringLiteral("%1|%2").arg(coverGeneration_).arg(rawValue(side));
        cover_.paint(p, shell, key, [&](QPainter& c) {
            renderCassette(c, picture.size(), document, side, head, images, CassetteLayer::cover);
        });
    }
    p.restore();
}

void CassetteDeckView::paintWell(QPainter& p, const QRect& dirty) const {
    const Layout& l = *layout_;
    QPainterPath shape;
    shape.addRoundedRect(l.well, wellRadius, wellRadius);
    p.save();
    // The rounded clip matters only near the corners (the turning reels are far from them).
    if (!l.well.adjusted(wellRadius, wellRadius, -wellRadius, -wellRadius).contains(QRectF(dirty)))
        p.setClipPath(shape, Qt::IntersectClip);
    const auto& doc = model_.document();
    if (well_.shown && doc) {
        paintPicture(p, *doc, well_.side, well_.head, model_.images(), insertionProgress_, incomingLayer_,
                     QString::number(coverGeneration_));
        p.setOpacity(std::clamp(insertionProgress_, 0.0, 1.0));
        if (readout_.tab && *readout_.tab != WriteProtect::intact) {
            const WriteProtect tab = *readout_.tab;
            const QColor ink = tab == WriteProtect::broken ? KitColor::ledRed : KitColor::amber;
            const QRectF badge = partRect(Part::tabIndicator);
            const QFont font = badgeFont();
            const qreal symbolSize = 7;
            const QSizeF symbol = SystemSymbol::size(badgeSymbol(tab), symbolSize);
            SystemSymbol::paint(p, badgeSymbol(tab), QPointF(badge.left() + symbol.width() / 2, badge.center().y()),
                                symbolSize, QFont::DemiBold, ink);
            p.setFont(font);
            p.setPen(ink);
            p.drawText(QRectF(badge.left() + symbol.width() + 4, badge.top(), badge.width(), badge.height()),
                       Qt::AlignLeft | Qt::AlignVCenter, DeckReadout::tabBadgeText(tab));
        }
        p.setOpacity(1);
    } else if (!outgoing_) {
        // The invitation to insert a cassette.
        const QFont text = KitFont::system(11);
        const Silkscreen insert{QStringLiteral("INSERT CASSETTE"), 10, false};
        const QSizeF symbol = SystemSymbol::size(QStringLiteral("recordingtape"), 42);
        const qreal textHeight = lineHeight(text);
        const qreal total = symbol.height() + 8 + insert.sizeHint().height() + 8 + textHeight;
        qreal y = l.well.center().y() - total / 2;
        SystemSymbol::paint(p, QStringLiteral("recordingtape"), QPointF(l.well.center().x(), y + symbol.height() / 2), 42,
                            QFont::Thin, KitColor::white(0.35));
        y += symbol.height() + 8;
        insert.paint(p, QRectF(l.well.left(), y, l.well.width(), insert.sizeHint().height()));
        y += insert.sizeHint().height() + 8;
        p.setFont(text);
        p.setPen(KitColor::white(0.45));
        p.drawText(QRectF(l.well.left(), y, l.well.width(), textHeight), Qt::AlignCenter,
                   tr("Pick a blank tape below or drop an .norvo file here"));
    }
    if (outgoing_)
        paintPicture(p, outgoing_->document, outgoing_->side, outgoing_->head, outgoing_->images, 1.0 - removalProgress_,
                     outgoingLayer_, QString::number(outgoingGeneration_));
    p.restore();

    // The glass over the well, then the rim; the amber border while a drag hovers. Kept as
    // pixels: a gradient over the whole well costs more than copying it.
    glass_.paint(p, l.well, dropTargeted_ ? QStringLiteral("targeted") : QStringLiteral("resting"), [&](QPainter& g) {
        QLinearGradient glass(l.well.topLeft(), l.well.bottomRight());
        glass.setColorAt(0, KitColor::white(1, 0.1));
        glass.setColorAt(0.5, QColor(255, 255, 255, 0));
        glass.setColorAt(1, KitColor::white(1, 0.03));
        g.fillPath(shape, glass);
        g.setBrush(Qt::NoBrush);
        g.setPen(QPen(Qt::black, 2));
        g.drawRoundedRect(l.well.adjusted(1, 1, -1, -1), wellRadius - 1, wellRadius - 1);
        if (dropTargeted_) {
            g.setPen(QPen(KitColor::amber, 2));
            g.drawRoundedRect(l.well.adjusted(1, 1, -1, -1), wellRadius - 1, wellRadius - 1);
        }
    });
}

void CassetteDeckView::paintDisplay(QPainter& p, const QRegion& dirty) const {
    const Layout& l = *layout_;
    const DeckReadout& r = readout_;
    p.save();
    DisplayWindow::clipToGlass(p, l.display, dirty.boundingRect());
    const auto wants = [&](Part part) { return dirty.intersects(partRect(part).toAlignedRect()); };

    if (wants(Part::counter)) GlowText{r.counter, 30, KitColor::amber, r.documentPresent}.paint(p, l.counter);
    if (wants(Part::resetKey)) {
        const bool enabled = r.documentPresent;
        QPainterPath key;
        key.addRoundedRect(l.resetKey, 3, 3);
        p.fillPath(key, KitColor::white(resetPressed_ && enabled ? 0.22 : 0.15));
        p.setFont(resetFont());
        p.setPen(KitColor::white(0.6, enabled ? 1.0 : KitColor::disabledOpacity));
        p.drawText(l.resetKey, Qt::AlignCenter, QStringLiteral("RESET"));
    }
    if (wants(Part::sides)) {
        GlowText{QStringLiteral("A"), 22, KitColor::displayCyan, r.sideALit, GlowText::Use::lettering}.paint(p, l.sideA);
        GlowText{QStringLiteral("B"), 22, KitColor::displayCyan, r.sideBLit, GlowText::Use::lettering}.paint(p, l.sideB);
    }
    if (wants(Part::time)) {
        // Three read-outs, each its caption over its value (leading), with equal room between.
        const QFont caption = captionFont();
        const std::array<QString, 3> captions{QStringLiteral("TIME"), QStringLiteral("REMAIN"), QStringLiteral("TAPE")};
        const std::array<QString, 3> values{r.time, r.remain, r.tape};
        std::array<qreal, 3> widths{};
        qreal used = 0;
        for (std::size_t i = 0; i < 3; ++i) {
            widths[i] = std::max(textWidth(caption, captions[i]),
                                 GlowText{values[i], 15, KitColor::displayCyan, true}.sizeHint().width());
            used += widths[i];
        }
        const qreal spacing = 8;
        const qreal gap = std::max<qreal>(spacing, (l.timeRow.width() - used - 4 * spacing) / 2);
        const std::array<qreal, 3> lefts{l.timeRow.left(), l.timeRow.left() + widths[0] + 2 * spacing + gap,
                                         l.timeRow.right() - widths[2]};
        p.setFont(caption);
        p.setPen(captionInk());
        for (std::size_t i = 0; i < 3; ++i) {
            const QRectF captionRect(lefts[i], l.timeRow.top(), widths[i], l.timeCaptionHeight);
            p.setFont(caption);
            p.setPen(captionInk());
            p.drawText(captionRect, Qt::AlignLeft | Qt::AlignVCenter, captions[i]);
            GlowText{values[i], 15, KitColor::displayCyan, r.cassetteLoaded}.paint(
                p, QRectF(lefts[i], captionRect.bottom() + 2, widths[i] + 1, l.timeRow.bottom() - captionRect.bottom() - 2));
        }
    }
    if (wants(Part::status)) GlowText{r.status, 12, tintColor(r.statusTint), true}.paint(p, l.status);
    if (wants(Part::meters)) {
        FLMeterBar{{meters_.left.db, meters_.left.peakDB}, QStringLiteral("L")}.paint(p, l.meterL);
        FLMeterBar{{meters_.right.db, meters_.right.peakDB}, QStringLiteral("R")}.paint(p, l.meterR);
    }
    if (busy_ && wants(Part::busy)) {
        GlowText{busy_->message.toUpper(), 9, KitColor::amber, true}.paint(p, l.busyMessage);
        const QRectF track = QRectF(l.busyBar.left(), l.busyBar.center().y() - 2, l.busyBar.width(), 4);
        p.setPen(Qt::NoPen);
        p.setBrush(KitColor::white(1, 0.12));
        p.drawRoundedRect(track, 2, 2);
        const double progress = std::isnan(busy_->progress) ? 0.0 : std::clamp(busy_->progress, 0.0, 1.0);
        p.setBrush(KitColor::amber);
        p.drawRoundedRect(QRectF(track.topLeft(), QSizeF(track.width() * progress, track.height())), 2, 2);
    }
    p.restore();
}

void CassetteDeckView::paintTapeMap(QPainter& p) const {
    const Layout& l = *layout_;
    const QRectF strip = l.mapStrip;
    const qreal radius = strip.height() / 2;
    p.save();
    p.setOpacity(readout_.cassetteLoaded ? 1.0 : 0.3);
    p.setPen(Qt::NoPen);
    p.setBrush(KitColor::white(0.12));
    p.drawRoundedRect(strip, radius, radius);
    const qreal recorded = strip.width() * readout_.recordedFraction;
    if (recorded > 0) {
        p.setBrush(QColor::fromRgbF(0.42f, 0.29f, 0.2f));
        p.drawRoundedRect(QRectF(strip.topLeft(), QSizeF(recorded, strip.height())), std::min(radius, recorded / 2),
                          radius);
    }
    // The marker's glow is cached once and moved with the painter.
    const QRectF marker(0, 0, 2, strip.height());
    p.translate(strip.left() + strip.width() * readout_.headFraction - 1, strip.top());
    KitShadow::paint(p, QStringLiteral("deck-head-marker"), marker, KitColor::amber, 3, QPointF(0, 0),
                     [&](QPainter& s) { s.fillRect(marker, Qt::black); });
    p.fillRect(marker, KitColor::amber);
    p.restore();
}

void CassetteDeckView::paintTapeSoundKey(QPainter& p) const {
    const QRectF key = layout_->soundKey;
    QPainterPath shape;
    shape.addRoundedRect(key, 4, 4);
    p.fillPath(shape, KitColor::white(0.13));
    p.setPen(QPen(KitColor::white(0, 0.8), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(key.adjusted(0.5, 0.5, -0.5, -0.5), 3.5, 3.5);
    const QFont font = KitFont::system(9, QFont::DemiBold, true);
    p.setFont(font);
    p.setPen(KitColor::white(0.85));
    const QRectF text = key.adjusted(8, 0, -22, 0);
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetricsF(font).elidedText(tapeSound_, Qt::ElideRight, text.width()));
    // The menu indicator.
    const QPointF c(key.right() - 12, key.center().y());
    QPainterPath chevron;
    chevron.moveTo(c + QPointF(-3, -1.5));
    chevron.lineTo(c + QPointF(0, 1.5));
    chevron.lineTo(c + QPointF(3, -1.5));
    p.setPen(QPen(KitColor::white(0.85), 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(chevron);
}

void CassetteDeckView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // The region, not its bounding box: a tick dirties small parts far apart.
    const QRegion dirty = event->region();
    staticLayer_.paint(p, size(), dirty, [this](QPainter& s) { paintStatic(s); });
    p.setClipRegion(dirty);

    const Layout& l = *layout_;
    if (dirty.intersects(l.header.adjusted(-8, -8, 8, 8).toAlignedRect())) paintLamps(p);
    if (dirty.intersects(l.well.toAlignedRect())) paintWell(p, dirty.boundingRect());
    if (dirty.intersects(DisplayWindow::glassRect(l.display).toAlignedRect())) paintDisplay(p, dirty);
    if (dirty.intersects(partRect(Part::tapeMap).toAlignedRect())) paintTapeMap(p);
    if (dirty.intersects(partRect(Part::tapeSoundKey).toAlignedRect())) paintTapeSoundKey(p);
}

void CassetteDeckView::resizeEvent(QResizeEvent* event) {
    staticLayer_.invalidate();
    QWidget::resizeEvent(event);
}

// --- Input ------------------------------------------------------------------------------

bool CassetteDeckView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QPointF pos = help->pos();
        QString text;
        if (layout_->soundKey.contains(pos)) {
            text = tr("Play the cassette as it is. Choose a tape sound to hear it on another machine; the cassette "
                      "is never changed.");
        } else if (readout_.tab && well_.shown && partRect(Part::tabIndicator).contains(pos)) {
            text = DeckReadout::tabHelpText(*readout_.tab);
        }
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }
    return QWidget::event(event);
}

void CassetteDeckView::mousePressEvent(QMouseEvent* event) {
    const QPointF pos = event->position();
    if (event->button() == Qt::LeftButton && layout_->resetKey.contains(pos) && readout_.documentPresent) {
        resetPressed_ = true;
        updatePart(Part::resetKey);
        return;
    }
    if (event->button() == Qt::LeftButton && layout_->soundKey.contains(pos)) {
        TapeSoundMenuItems::fill(*tapeSoundMenu_, model_);
        tapeSoundMenu_->popup(mapToGlobal(layout_->soundKey.bottomLeft().toPoint()));
        return;
    }
    QWidget::mousePressEvent(event);
}

void CassetteDeckView::mouseReleaseEvent(QMouseEvent* event) {
    if (resetPressed_) {
        resetPressed_ = false;
        updatePart(Part::resetKey);
        if (layout_->resetKey.contains(event->position()) && model_.document()) model_.resetCounter();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void CassetteDeckView::contextMenuEvent(QContextMenuEvent* event) {
    if (layout_->well.contains(event->pos()) && readWell().shown) {
        if (QMenu* menu = wellMenu()) menu->popup(event->globalPos());
        return;
    }
    QWidget::contextMenuEvent(event);
}

void CassetteDeckView::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    // Taken anywhere on the face, so that every move is seen: only the well takes the drop.
    event->acceptProposedAction();
    setDropTargeted(layout_->well.contains(event->position()));
}

void CassetteDeckView::dragMoveEvent(QDragMoveEvent* event) {
    const bool inWell = layout_->well.contains(event->position());
    setDropTargeted(inWell);
    if (inWell) event->acceptProposedAction();
    else event->ignore();
}

void CassetteDeckView::dragLeaveEvent(QDragLeaveEvent*) { setDropTargeted(false); }

void CassetteDeckView::dropEvent(QDropEvent* event) {
    setDropTargeted(false);
    if (!layout_->well.contains(event->position()) || !event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    if (handleDrop(event->mimeData()->urls())) event->acceptProposedAction();
    else event->ignore();
}

}  // namespace norvo
