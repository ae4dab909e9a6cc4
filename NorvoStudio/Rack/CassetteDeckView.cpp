#include "CassetteDeckView.hpp"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QVariantAnimation>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>

#include "CassetteDrawing/CassetteRenderer.hpp"
#include "DeckDrawing.hpp"
#include "DeckDrop.hpp"
#include "Kit/DisplayWindow.hpp"
#include "Kit/HardwareKey.hpp"
#include "Kit/HoldKey.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/KitShadow.hpp"
#include "Kit/Knob.hpp"
#include "Kit/LED.hpp"
#include "Kit/Silkscreen.hpp"
#include "Kit/SystemSymbol.hpp"
#include "StudioModel/ShownText.hpp"
#include "StudioModel/StudioCommands.hpp"

namespace norvo {

namespace {

constexpr double recordLevelDefault = 2.0 / 3.0;
constexpr double outputDefault = 0.8;

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

double secondsSince1970(Date date) { return std::chrono::duration<double>(date.time_since_epoch()).count(); }

// A lamp with its glow; a text's glow over the display's glass.
QRectF lampArea(const QRectF& led) {
    return led.adjusted(-LED::glowRadius * 2, -LED::glowRadius * 2, LED::glowRadius * 2, LED::glowRadius * 2);
}
QRectF glowArea(const DeckLayout& l, const QRectF& text) {
    return text.adjusted(-9, -9, 9, 9).intersected(DisplayWindow::glassRect(l.display));
}

}  // namespace

// --- The parts ---------------------------------------------------------------------------

// A part of the face: where it is (what a change of it repaints, and which repaints paint
// it), which change of the shown values repaints it, and what paints it. A part without a
// change repaints only with another part; one without a painter is drawn by another part or
// by the static layer. Parts on the glass are painted clipped to it.
struct CassetteDeckView::PartRow {
    enum class Surface { panel, glass };

    Part part;
    QRectF (*area)(const DeckLayout&, const DeckShown&);
    bool (*changed)(const DeckShown& was, const DeckShown& now, const DeckLayout&);
    void (*paint)(const CassetteDeckView&, QPainter&, const QRect& dirty);
    Surface surface = Surface::panel;
};

std::span<const CassetteDeckView::PartRow> CassetteDeckView::parts() {
    using Surface = PartRow::Surface;
    using L = const DeckLayout&;
    using S = const DeckShown&;
    constexpr auto paintWellOf = [](const CassetteDeckView& face, QPainter& p, const QRect& dirty) {
        face.paintWell(p, dirty);
    };
    static constexpr std::array<PartRow, 15> rows{{
        {Part::recLamp, [](L l, S) { return lampArea(l.recLed); },
         [](S was, S now, L) { return was.readout.recLamp != now.readout.recLamp; }, &drawn<DeckDrawing::recLamp>},
        {Part::tapeRunLamp, [](L l, S) { return lampArea(l.tapeRunLed); },
         [](S was, S now, L) { return was.readout.tapeRunLamp != now.readout.tapeRunLamp; },
         &drawn<DeckDrawing::tapeRunLamp>},
        // A new picture, another cassette or side, the tab, and every change while a drag
        // hovers repaint the whole well; the head alone moves only the reels.
        {Part::well, [](L l, S) { return l.well; },
         [](S was, S now, L) {
             return !(was.cassette == now.cassette) || was.well.shown != now.well.shown ||
                    was.well.documentID != now.well.documentID || was.well.side != now.well.side ||
                    was.readout.tab != now.readout.tab || was.dropTargeted != now.dropTargeted || now.dropTargeted;
         },
         paintWellOf},
        {Part::reels, [](L l, S) { return l.reels; }, [](S was, S now, L) { return was.well.head != now.well.head; },
         nullptr},
        {Part::tabIndicator,
         [](L l, S s) {
             const QFont font = DeckLayout::badgeFont();
             const QString text = s.readout.tab ? DeckReadout::tabBadgeText(*s.readout.tab) : QString();
             const qreal width = 10 + 4 + KitFont::textWidth(font, text);
             return QRectF(l.well.left() + 34, l.well.top() + 6, width, KitFont::lineHeight(font));
         },
         nullptr, nullptr},
        {Part::display, [](L l, S) { return l.display; }, nullptr, nullptr},
        {Part::counter, [](L l, S) { return glowArea(l, l.counter); },
         [](S was, S now, L) {
             return was.readout.counter != now.readout.counter ||
                    was.readout.documentPresent != now.readout.documentPresent;
         },
         &drawn<DeckDrawing::counter>, Surface::glass},
        // Repainted with the counter beside it.
        {Part::resetKey, [](L l, S) { return l.resetKey.adjusted(-1, -1, 1, 1); },
         [](S was, S now, L) {
             return was.readout.counter != now.readout.counter ||
                    was.readout.documentPresent != now.readout.documentPresent || was.resetPressed != now.resetPressed;
         },
         &drawn<DeckDrawing::resetKey>, Surface::glass},
        {Part::sides, [](L l, S) { return glowArea(l, l.sideA.united(l.sideB)); },
         [](S was, S now, L) {
             return was.readout.sideALit != now.readout.sideALit || was.readout.sideBLit != now.readout.sideBLit;
         },
         &drawn<DeckDrawing::sides>, Surface::glass},
        {Part::time, [](L l, S) { return glowArea(l, l.timeRow); },
         [](S was, S now, L) {
             return was.readout.time != now.readout.time || was.readout.remain != now.readout.remain ||
                    was.readout.tape != now.readout.tape || was.readout.cassetteLoaded != now.readout.cassetteLoaded;
         },
         &drawn<DeckDrawing::time>, Surface::glass},
        {Part::status, [](L l, S) { return glowArea(l, l.status.united(l.noSound)); },
         [](S was, S now, L) {
             return was.readout.status != now.readout.status || was.readout.soundNote != now.readout.soundNote ||
                    was.readout.statusTint != now.readout.statusTint;
         },
         &drawn<DeckDrawing::status>, Surface::glass},
        {Part::meters,
         [](L l, S) {
             return l.meterL.united(l.meterR).adjusted(-4, -4, 4, 4).intersected(DisplayWindow::glassRect(l.display));
         },
         [](S was, S now, L) { return was.meters != now.meters; }, &drawn<DeckDrawing::meters>, Surface::glass},
        {Part::busy,
         [](L l, S) {
             return l.busyMessage.united(l.busyBar)
                 .adjusted(-4, -4, 4, 4)
                 .intersected(DisplayWindow::glassRect(l.display));
         },
         [](S was, S now, L) { return was.busy != now.busy; }, &drawn<DeckDrawing::busy>, Surface::glass},
        // The map moves a fraction of a point per second at play speed: it is redrawn when the
        // marker or the recorded part has moved by a quarter point, not on every tick.
        {Part::tapeMap, [](L l, S) { return l.mapStrip.adjusted(-6, -6, 6, 6); },
         [](S was, S now, L l) {
             const qreal strip = l.mapStrip.width();
             const auto quarters = [strip](double fraction) { return std::lround(fraction * strip * 4); };
             return quarters(was.readout.recordedFraction) != quarters(now.readout.recordedFraction) ||
                    quarters(was.readout.headFraction) != quarters(now.readout.headFraction) ||
                    was.readout.cassetteLoaded != now.readout.cassetteLoaded;
         },
         &drawn<DeckDrawing::tapeMap>},
        {Part::tapeSoundKey, [](L l, S) { return l.soundKey.adjusted(-1, -1, 1, 1); },
         [](S was, S now, L) { return was.tapeSound != now.tapeSound; }, &drawn<DeckDrawing::tapeSoundKey>},
    }};
    static_assert(
        [] {
            for (std::size_t i = 0; i < rows.size(); ++i)
                if (rows[i].part != Part(i)) return false;
            return rows.back().part == Part::tapeSoundKey;
        }(),
        "one row per part, in the order of Part");
    return rows;
}

QRectF CassetteDeckView::partRect(Part part) const { return parts()[std::size_t(part)].area(layout_, shown_); }

void CassetteDeckView::updatePart(Part part) { update(partRect(part).toAlignedRect()); }

void CassetteDeckView::present(const DeckShown& next) {
    for (const PartRow& row : parts()) {
        if (!row.changed || !row.changed(shown_, next, layout_)) continue;
        const QRect before = row.area(layout_, shown_).toAlignedRect();
        const QRect after = row.area(layout_, next).toAlignedRect();
        update(before);
        if (after != before) update(after);
    }
    shown_ = next;
}

// --- Building ----------------------------------------------------------------------------

CassetteDeckView::CassetteDeckView(DeckFacade& deck, QWidget* parent) : QWidget(parent), deck_(deck) {
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
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

    connect(&deck_, &DeckFacade::cassetteChanged, this, &CassetteDeckView::readCassette);
    connect(&deck_, &DeckFacade::tapeSoundChanged, this, &CassetteDeckView::readTapeSound);
    connect(&deck_, &DeckFacade::changed, this, &CassetteDeckView::refresh);
    connect(&deck_, &DeckFacade::recordLevelChanged, recordLevel_, qOverload<>(&QWidget::update));
    connect(&deck_, &DeckFacade::deckVolumeChanged, output_, qOverload<>(&QWidget::update));

    readCassette();
    readTapeSound();
    shown_ = read();
    if (shown_.well.shown) lastShownID_ = shown_.well.documentID;
    layout_ = layoutFor(shown_);
    layoutControls();
    updateControls();
    resize(sizeHint());
}

CassetteDeckView::~CassetteDeckView() = default;

QSize CassetteDeckView::designSize() { return QSize(designWidth, static_cast<int>(std::ceil(DeckLayout().height))); }

QSize CassetteDeckView::sizeHint() const { return QSize(designWidth, static_cast<int>(std::ceil(layout_.height))); }

void CassetteDeckView::buildControls() {
    const auto transportKey = [this](const char* symbol, const char* caption, qreal width,
                                     std::optional<QColor> accent) {
        return new HardwareKey(HardwareKeyStyle{.accent = accent, .width = width, .height = 38},
                               KeyLabel::symbolAbove(QString::fromUtf8(symbol), QString::fromUtf8(caption)), this);
    };
    const auto inputKey = [this](DeckInput input, const QString& caption, const QString& help) {
        auto* key =
            new HardwareKey(HardwareKeyStyle{.accent = KitColor::white(0.6),
                                             .width = DeckLayout::inputKeyWidth,
                                             .height = DeckLayout::inputKeyHeight},
                            KeyLabel::lampBefore(LED{.on = false, .color = KitColor::amber, .size = 6}, caption), this);
        key->setToolTip(help);
        connect(key, &HardwareKey::clicked, this, [this, input] {
            // The model pushes every assignment of the deck input to the audio core.
            deck_.setDeckInput(input);
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
    eject_->setToolTip(StudioCommands::helpText(QStringLiteral("Eject the cassette"),
                                                StudioCommands::Id::ejectCassette));
    connect(eject_, &HardwareKey::clicked, this, [this] { deck_.eject(); });

    record_ = transportKey("circle.fill", "REC", 64, KitColor::ledRed);
    record_->setToolTip(tr("Arm recording. Recording starts when the source plays."));
    connect(record_, &HardwareKey::clicked, this, [this] { deck_.send(TransportCommand::record); });

    rewind_ = new HoldKey(KeyLabel::symbolAbove(QStringLiteral("backward.fill"), QStringLiteral("REW")), 64, this);
    rewind_->setToolTip(tr("Hold to rewind"));
    rewind_->setOnPress([this] { deck_.send(TransportCommand::beginRewind); });
    rewind_->setOnRelease([this] { deck_.send(TransportCommand::endWind); });

    play_ = transportKey("play.fill", "PLAY", 64, std::nullopt);
    connect(play_, &HardwareKey::clicked, this, [this] { deck_.send(TransportCommand::play); });

    forward_ = new HoldKey(KeyLabel::symbolAbove(QStringLiteral("forward.fill"), QStringLiteral("FF")), 64, this);
    forward_->setToolTip(tr("Hold to fast forward"));
    forward_->setOnPress([this] { deck_.send(TransportCommand::beginFastForward); });
    forward_->setOnRelease([this] { deck_.send(TransportCommand::endWind); });

    stop_ = transportKey("stop.fill", "STOP", 64, std::nullopt);
    connect(stop_, &HardwareKey::clicked, this, [this] { deck_.send(TransportCommand::stop); });

    flip_ = transportKey("arrow.triangle.2.circlepath", "A ⇄ B", 70, std::nullopt);
    flip_->setToolTip(tr("Take the cassette out and turn it over"));
    connect(flip_, &HardwareKey::clicked, this, [this] { deck_.send(TransportCommand::flip); });

    recordLevel_ =
        new Knob(QStringLiteral("REC LEVEL"), recordLevelDefault, DeckLayout::knobSize, Lettering::light, this);
    recordLevel_->setBinding([this] { return deck_.recordLevel(); }, [this](double v) { deck_.setRecordLevel(v); });
    output_ = new Knob(QStringLiteral("OUTPUT"), outputDefault, DeckLayout::knobSize, Lettering::light, this);
    output_->setBinding([this] { return deck_.deckVolume(); }, [this](double v) { deck_.setDeckVolume(v); });

    // Keys of a face are played with the pointer; focus stays where the user typed.
    for (HardwareKey* key : {playerInput_, tunerInput_, eject_, record_, play_, stop_, flip_})
        key->setFocusPolicy(Qt::NoFocus);

    // Filled now and again each time it is about to show.
    tapeSoundMenu_ = new QMenu(this);
    deck_.fillTapeSoundMenu(*tapeSoundMenu_);
    connect(tapeSoundMenu_, &QMenu::aboutToShow, tapeSoundMenu_, [this] { deck_.fillTapeSoundMenu(*tapeSoundMenu_); });
}

void CassetteDeckView::layoutControls() {
    const auto place = [](QWidget* key, const QRectF& r) {
        const QRect rect = r.toRect();
        if (auto* button = qobject_cast<KeyButton*>(key)) button->setKeyGeometry(rect);
        else if (auto* hold = qobject_cast<HoldKey*>(key)) hold->setKeyGeometry(rect);
    };
    const DeckLayout& l = layout_;
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
    const DeckReadout& r = shown_.readout;
    const DeckInput input = deck_.deckInput();
    for (DeckInput value : {DeckInput::sourcePlayer, DeckInput::tuner}) {
        HardwareKey* key = inputKey(value);
        const bool selected = value == input;
        if (key->keyStyle().latched != selected) {
            HardwareKeyStyle style = key->keyStyle();
            style.latched = selected;
            style.accent = KitColor::white(selected ? 0.95 : 0.6);
            key->setKeyStyle(style);
            key->setLabel(KeyLabel::lampBefore(LED{selected, KitColor::amber, 6}, value == DeckInput::tuner
                                                                                      ? QStringLiteral("TUNER")
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

// --- Reading -----------------------------------------------------------------------------

void CassetteDeckView::readCassette() {
    // The picture is made again only when the document or its artwork changed.
    const auto& document = deck_.document();
    if (!document) cassette_ = {};
    else if (!cassette_ || !(cassette_->document == *document && cassette_->images == deck_.images()))
        cassette_ = SharedValue<DeckShown::Cassette>(DeckShown::Cassette{*document, deck_.images()});
}

void CassetteDeckView::readTapeSound() {
    const std::optional<std::string> name = deck_.tapeSoundName();
    tapeSound_ = name ? ShownText::plain(*name) : QStringLiteral("Clean");
}

DeckReadout::Inputs CassetteDeckView::readInputs() const {
    DeckReadout::Inputs in;
    in.transport = deck_.transport();
    if (const auto& doc = deck_.document()) {
        in.documentType = doc->type;
        in.tabA = doc->sideA.writeProtect;
        in.tabB = doc->sideB.writeProtect;
    }
    in.counterOffset = deck_.counterOffset();
    in.deckInput = deck_.deckInput();
    if (in.transport.cassette) in.usedOnSide = deck_.recordedFrames(in.transport.cassette->side);
    in.blinkOn =
        in.transport.mode == TransportMode::recordArmed && DeckReadout::blinkPhase(secondsSince1970(deck_.now()));
    in.outputLost = deck_.outputLoss().has_value();
    return in;
}

DeckShown::Well CassetteDeckView::readWell() const {
    DeckShown::Well w;
    const CassetteTransport& t = deck_.transport();
    w.shown = deck_.document().has_value() && t.cassette.has_value();
    if (deck_.document()) w.documentID = deck_.document()->id;
    if (t.cassette) w.side = t.cassette->side;
    w.head = t.head;
    return w;
}

DeckShown CassetteDeckView::read() const {
    DeckShown next = shown_;
    next.readout = DeckReadout::make(readInputs());
    next.well = readWell();
    next.meters = deck_.meters();
    next.busy = deck_.busy();
    next.tapeSound = tapeSound_;
    next.cassette = cassette_;
    return next;
}

DeckLayout CassetteDeckView::layoutFor(const DeckShown& shown) {
    return DeckLayout(shown.busy ? DeckLayout::BusyLine::shown : DeckLayout::BusyLine::hidden,
                      shown.readout.soundNote.isEmpty() ? DeckLayout::NoSoundLine::hidden
                                                        : DeckLayout::NoSoundLine::shown);
}

void CassetteDeckView::refresh() {
    const DeckShown next = read();
    // The busy line and the no-sound line change the face's height: lay everything out again.
    // Only then, since working out a layout measures the fonts and this runs every tick.
    if (next.busy.has_value() != shown_.busy.has_value() ||
        next.readout.soundNote.isEmpty() != shown_.readout.soundNote.isEmpty()) {
        layout_ = layoutFor(next);
        layoutControls();
        updateGeometry();
        resize(sizeHint());
        staticLayer_.invalidate();
        update();
    }

    // A document may arrive a tick before the transport shows its cassette: what counts is the
    // cassette the well showed last.
    const DeckShown::Well& was = shown_.well;
    const DeckShown::Well& now = next.well;
    const bool newCassette = now.shown && now.documentID != lastShownID_;
    const bool cassetteGone = was.shown && (!now.shown || now.documentID != was.documentID);
    if (cassetteGone && shown_.cassette && isVisible()) {
        outgoing_ = CassetteAt{shown_.cassette, was.side, was.head};
        removalProgress_ = 0.0;
        removal_->stop();
        removal_->start();
    }
    if (newCassette && isVisible()) {
        insertionProgress_ = 0.0;
        insertion_->stop();
        insertion_->start();
    }
    if (now.shown) lastShownID_ = now.documentID;

    present(next);
    updateControls();
}

void CassetteDeckView::setDropTargeted(bool targeted) {
    if (shown_.dropTargeted == targeted) return;
    DeckShown next = shown_;
    next.dropTargeted = targeted;
    present(next);
}

void CassetteDeckView::setResetPressed(bool pressed) {
    DeckShown next = shown_;
    next.resetPressed = pressed;
    present(next);
}

// --- Commands ----------------------------------------------------------------------------

bool CassetteDeckView::handleDrop(const QList<QUrl>& urls) {
    const auto file = DeckDrop::fileToOpen(urls);
    if (!file) return false;
    deck_.open(*file);
    return true;
}

QMenu* CassetteDeckView::wellMenu() {
    if (wellMenu_) wellMenu_->deleteLater();
    if (!readWell().shown) return nullptr;
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(tr("Design Cassette…"), this, [this] { deck_.showDesigner(); });
    menu->addAction(tr("Flip Cassette"), this, [this] { deck_.send(TransportCommand::flip); });
    menu->addSeparator();
    const CassetteDocument& doc = *deck_.document();
    for (TapeSide side : allTapeSides) {
        const WriteProtect state = side == TapeSide::a ? doc.sideA.writeProtect : doc.sideB.writeProtect;
        QAction* entry = menu->addAction(StudioCommands::menuText(DeckReadout::tabMenuText(side, state)), this,
                                         [this, side] { deck_.advanceWriteProtect(side); });
        entry->setData(rawValue(side));
    }
    menu->addSeparator();
    menu->addAction(tr("Eject"), this, [this] { deck_.eject(); });
    wellMenu_ = menu;
    return menu;
}

// --- Painting ----------------------------------------------------------------------------

// The cassette `slide` of the way into the well (0 above it and transparent, 1 in place).
// While it moves, and all the way out, it is one picture, faded as a whole; at rest only its
// reels are drawn anew.
void CassetteDeckView::paintCassette(QPainter& p, const CassetteAt& at, double slide, Way way) const {
    const DeckLayout& l = layout_;
    const DeckShown::Cassette& cassette = *at.cassette;
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
    if (slide < 1.0 || way == Way::out) {
        // Shell, label and reels drawn one over another at an opacity would show the reels
        // through the label: the cassette fades as one picture.
        const QRectF bounds = shell.adjusted(-20, -20, 20, 24);  // with its shadow
        auto& layer = way == Way::in ? incomingLayer_ : outgoingLayer_;
        p.setOpacity(slide);
        layer.showing(LayerKey{at.cassette, at.side, at.head, picture.size()})
            .paint(p, bounds, QPointF(), [&](QPainter& c) {
                shadow(c);
                renderCassette(c, picture.size(), cassette.document, at.side, at.head, cassette.images);
            });
    } else {
        shadow(p);
        // At rest only the reels move: they are drawn live, the cover over them is copied.
        renderCassette(p, picture.size(), cassette.document, at.side, at.head, cassette.images, CassetteLayer::reels);
        cover_.paint(p, shell, CoverKey{at.cassette, at.side}, [&](QPainter& c) {
            renderCassette(c, picture.size(), cassette.document, at.side, at.head, cassette.images,
                           CassetteLayer::cover);
        });
    }
    p.restore();
}

void CassetteDeckView::paintWell(QPainter& p, const QRect& dirty) const {
    const DeckLayout& l = layout_;
    constexpr qreal radius = DeckLayout::wellRadius;
    QPainterPath shape;
    shape.addRoundedRect(l.well, radius, radius);
    p.save();
    // The rounded clip matters only near the corners (the turning reels are far from them).
    if (!l.well.adjusted(radius, radius, -radius, -radius).contains(QRectF(dirty)))
        p.setClipPath(shape, Qt::IntersectClip);
    if (shown_.well.shown && shown_.cassette) {
        paintCassette(p, CassetteAt{shown_.cassette, shown_.well.side, shown_.well.head}, insertionProgress_, Way::in);
        p.setOpacity(std::clamp(insertionProgress_, 0.0, 1.0));
        if (shown_.readout.tab && *shown_.readout.tab != WriteProtect::intact) {
            const WriteProtect tab = *shown_.readout.tab;
            const QColor ink = tab == WriteProtect::broken ? KitColor::ledRed : KitColor::amber;
            const QRectF badge = partRect(Part::tabIndicator);
            const QFont font = DeckLayout::badgeFont();
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
        const Silkscreen insert{QStringLiteral("INSERT CASSETTE"), 10};
        const QSizeF symbol = SystemSymbol::size(QStringLiteral("recordingtape"), 42);
        const qreal textHeight = KitFont::lineHeight(text);
        const qreal total = symbol.height() + 8 + insert.sizeHint().height() + 8 + textHeight;
        qreal y = l.well.center().y() - total / 2;
        SystemSymbol::paint(p, QStringLiteral("recordingtape"), QPointF(l.well.center().x(), y + symbol.height() / 2),
                            42, QFont::Thin, KitColor::white(0.35));
        y += symbol.height() + 8;
        insert.paint(p, QRectF(l.well.left(), y, l.well.width(), insert.sizeHint().height()));
        y += insert.sizeHint().height() + 8;
        p.setFont(text);
        p.setPen(KitColor::white(0.45));
        p.drawText(QRectF(l.well.left(), y, l.well.width(), textHeight), Qt::AlignCenter,
                   tr("Pick a blank tape below or drop an .norvo file here"));
    }
    if (outgoing_) paintCassette(p, *outgoing_, 1.0 - removalProgress_, Way::out);
    p.restore();

    // The glass over the well, then the rim; the amber border while a drag hovers. Kept as
    // pixels: a gradient over the whole well costs more than copying it.
    const bool targeted = shown_.dropTargeted;
    glass_.paint(p, l.well, targeted, [&](QPainter& g) {
        QLinearGradient glass(l.well.topLeft(), l.well.bottomRight());
        glass.setColorAt(0, KitColor::white(1, 0.1));
        glass.setColorAt(0.5, QColor(255, 255, 255, 0));
        glass.setColorAt(1, KitColor::white(1, 0.03));
        g.fillPath(shape, glass);
        g.setBrush(Qt::NoBrush);
        g.setPen(QPen(Qt::black, 2));
        g.drawRoundedRect(l.well.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
        if (targeted) {
            g.setPen(QPen(KitColor::amber, 2));
            g.drawRoundedRect(l.well.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
        }
    });
}

void CassetteDeckView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // The region, not its bounding box: a tick dirties small parts far apart.
    const QRegion dirty = event->region();
    staticLayer_.paint(p, size(), dirty, [this](QPainter& s) { DeckDrawing::panel(s, layout_, QSizeF(size())); });
    p.setClipRegion(dirty);
    const QRect bounds = dirty.boundingRect();
    for (const PartRow& row : parts()) {
        if (!row.paint || !dirty.intersects(row.area(layout_, shown_).toAlignedRect())) continue;
        p.save();
        if (row.surface == PartRow::Surface::glass) DisplayWindow::clipToGlass(p, layout_.display, bounds);
        row.paint(*this, p, bounds);
        p.restore();
    }
}

void CassetteDeckView::resizeEvent(QResizeEvent* event) {
    staticLayer_.invalidate();
    QWidget::resizeEvent(event);
}

// --- Input -------------------------------------------------------------------------------

bool CassetteDeckView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QPointF pos = help->pos();
        QString text;
        if (layout_.soundKey.contains(pos)) {
            text = tr("Play the cassette as it is. Choose a tape sound to hear it on another machine; the cassette "
                      "is never changed.");
        } else if (shown_.readout.tab && shown_.well.shown && partRect(Part::tabIndicator).contains(pos)) {
            text = DeckReadout::tabHelpText(*shown_.readout.tab);
        } else if (const auto loss = deck_.outputLoss(); loss && partRect(Part::status).contains(pos)) {
            text = *loss;
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
    if (event->button() == Qt::LeftButton && layout_.resetKey.contains(pos) && shown_.readout.documentPresent) {
        setResetPressed(true);
        return;
    }
    if (event->button() == Qt::LeftButton && layout_.soundKey.contains(pos)) {
        deck_.fillTapeSoundMenu(*tapeSoundMenu_);
        tapeSoundMenu_->popup(mapToGlobal(layout_.soundKey.bottomLeft().toPoint()));
        return;
    }
    QWidget::mousePressEvent(event);
}

void CassetteDeckView::mouseReleaseEvent(QMouseEvent* event) {
    if (shown_.resetPressed) {
        setResetPressed(false);
        if (layout_.resetKey.contains(event->position()) && deck_.document()) deck_.resetCounter();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void CassetteDeckView::contextMenuEvent(QContextMenuEvent* event) {
    if (layout_.well.contains(event->pos()) && readWell().shown) {
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
    setDropTargeted(layout_.well.contains(event->position()));
}

void CassetteDeckView::dragMoveEvent(QDragMoveEvent* event) {
    const bool inWell = layout_.well.contains(event->position());
    setDropTargeted(inWell);
    if (inWell) event->acceptProposedAction();
    else event->ignore();
}

void CassetteDeckView::dragLeaveEvent(QDragLeaveEvent*) { setDropTargeted(false); }

void CassetteDeckView::dropEvent(QDropEvent* event) {
    setDropTargeted(false);
    if (!layout_.well.contains(event->position()) || !event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    if (handleDrop(event->mimeData()->urls())) event->acceptProposedAction();
    else event->ignore();
}

}  // namespace norvo
