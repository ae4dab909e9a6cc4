#include "Tuner/TunerView.hpp"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>

#include "Kit/BlackFaceplate.hpp"
#include "Kit/HardwareKey.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/Knob.hpp"
#include "Kit/LED.hpp"
#include "Kit/Silkscreen.hpp"
#include "StudioModel/StudioCommands.hpp"
#include "Tuner/PresetKey.hpp"
#include "Tuner/StationGuide.hpp"
#include "Tuner/TunerDisplay.hpp"
#include "Tuner/TunerDisplayModel.hpp"
#include "Tuner/TuningKnob.hpp"

namespace norvo {

namespace {

using Layout = TunerFaceLayout;
using Lamps = TunerView::Lamps;

static_assert(Layout::presetCount == std::size_t(TunerEngine::presetCount));

constexpr qreal referenceDate = 978307200;  // 2001-01-01 in Unix seconds
constexpr qreal volumeSize = 40;

const QString brand = QStringLiteral("Norvo");
const QString volumeCaption = QStringLiteral("VOLUME");
const Silkscreen modelLine{QStringLiteral("INTERNET RADIO TUNER  RO-01"), 8};
const Silkscreen tunedCaption{QStringLiteral("TUNED"), 8};
const Silkscreen stereoCaption{QStringLiteral("STEREO"), 8};

QFont brandFont() { return KitFont::brand(18); }
QFont captionFont() { return KitFont::system(7, QFont::Medium); }

void paintFaceplate(QPainter& p, const Layout& l, const Lamps&) { BlackFaceplate::paint(p, l.face); }

void paintNameplate(QPainter& p, const Layout& l, const Lamps&) {
    p.setFont(brandFont());
    p.setPen(KitColor::white(0.9));
    p.drawText(QPointF(l.nameplate.left(), l.baseline), brand);
    modelLine.paintAtBaseline(p, l.modelLine);
}

void paintTuned(QPainter& p, const Layout& l, const Lamps& lamps) {
    LED{lamps.tuned, KitColor::ledGreen, Layout::nameplateLamp}.paintCentred(p, l.tunedLamp);
    tunedCaption.paintAtBaseline(p, l.tunedCaption);
}

void paintStereo(QPainter& p, const Layout& l, const Lamps& lamps) {
    LED{lamps.stereo, KitColor::amber, Layout::nameplateLamp}.paintCentred(p, l.stereoLamp);
    stereoCaption.paintAtBaseline(p, l.stereoCaption);
}

void paintPower(QPainter& p, const Layout& l, const Lamps& lamps) {
    p.save();
    p.setOpacity(lamps.on ? 1.0 : 0.55);
    LED{.on = true, .color = lamps.on ? KitColor::ledGreen : KitColor::ledRed, .size = Layout::smallLamp}.paintCentred(
        p, Layout::lampIn(l.powerGroup));
    p.restore();
    p.setFont(captionFont());
    p.setPen(KitColor::white(0.45));
    p.drawText(l.captionIn(l.powerGroup), Qt::AlignCenter, lamps.on ? QStringLiteral("ON") : QStringLiteral("STANDBY"));
}

void paintMemory(QPainter& p, const Layout& l, const Lamps& lamps) {
    LED{lamps.memoryLit, KitColor::amber, Layout::smallLamp}.paintCentred(p, Layout::lampIn(l.memoryGroup));
}

void paintMuting(QPainter& p, const Layout& l, const Lamps& lamps) {
    LED{lamps.muting, KitColor::amber, Layout::smallLamp}.paintCentred(p, Layout::lampIn(l.mutingGroup));
}

// Where a lamp is repainted when it changes on its own: the lamp with the bright part of its glow.
QRectF aroundLamp(QPointF centre, qreal size) {
    return QRectF(centre.x() - size / 2, centre.y() - size / 2, size, size).adjusted(-8, -8, 8, 8);
}

// The face's own drawing, back to front: where each part is repainted when what it shows
// changes (the fixed parts show nothing that changes), and how it is drawn. The face is kept as
// one picture; an announcement of the tuner repaints all of it.
struct Part {
    QRectF (*box)(const Layout&);
    bool Lamps::*shows;
    void (*paint)(QPainter&, const Layout&, const Lamps&);
};

const Part parts[] = {
    {[](const Layout& l) { return l.face; }, nullptr, &paintFaceplate},
    {[](const Layout& l) { return l.nameplate; }, nullptr, &paintNameplate},
    {[](const Layout& l) { return aroundLamp(l.tunedLamp, Layout::nameplateLamp); }, &Lamps::tuned, &paintTuned},
    {[](const Layout& l) { return aroundLamp(l.stereoLamp, Layout::nameplateLamp); }, &Lamps::stereo, &paintStereo},
    {[](const Layout& l) { return l.captionIn(l.powerGroup).united(l.powerGroup).adjusted(-8, -8, 8, 8); }, &Lamps::on,
     &paintPower},
    {[](const Layout& l) { return l.memoryGroup.adjusted(-8, -8, 8, 8); }, &Lamps::memoryLit, &paintMemory},
    {[](const Layout& l) { return l.mutingGroup.adjusted(-8, -8, 8, 8); }, &Lamps::muting, &paintMuting},
};

}  // namespace

TunerView::TunerView(Services services, QWidget* parent) : QWidget(parent), services_(std::move(services)) { build(); }

TunerView::~TunerView() = default;

void TunerView::build() {
    TunerFacade& tuner = services_.tuner;
    display_ = new TunerDisplay(tuner, services_.meter, services_.clock, this);
    guide_ = new StationGuide(tuner, services_.desktop, services_.clock, services_.localeIdentifier, this);

    power_ = new HardwareKey(HardwareKeyStyle{.width = Layout::powerWidth, .height = Layout::keyHeight},
                             KeyLabel::symbolAbove(QStringLiteral("power"), QStringLiteral("POWER")), this);
    connect(power_, &QAbstractButton::clicked, this, [&tuner] { tuner.togglePower(); });
    for (int slot = 0; slot < TunerEngine::presetCount; ++slot) {
        auto* key = new PresetKey(slot + 1, services_.executor, services_.haptics, this);
        key->onTap = [&tuner, slot] { tuner.pressPreset(slot); };
        key->onHold = [&tuner, slot] { tuner.storeCurrentStation(slot); };
        key->onClear = [&tuner, slot] { tuner.clearPreset(slot); };
        presets_[std::size_t(slot)] = key;
    }
    memory_ = new HardwareKey(HardwareKeyStyle{.width = Layout::modeWidth, .height = Layout::keyHeight},
                              KeyLabel::caption(QStringLiteral("MEMORY")), this);
    memory_->setToolTip(QStringLiteral("Store the station: press MEMORY, then a preset key (or hold the preset key)"));
    connect(memory_, &QAbstractButton::clicked, this, [&tuner] { tuner.armMemory(); });
    muting_ = new HardwareKey(HardwareKeyStyle{.width = Layout::modeWidth, .height = Layout::keyHeight},
                              KeyLabel::caption(QStringLiteral("MUTING")), this);
    muting_->setToolTip(QStringLiteral("Silence the noise between stations"));
    connect(muting_, &QAbstractButton::clicked, this, [&tuner] { tuner.setMuting(!tuner.muting()); });

    knob_ = new TuningKnob(52, tuner.knobDetents(), services_.haptics, this);
    knob_->onTurn = [&tuner](int step) { tuner.stepDial(step); };
    volume_ = new Knob(volumeCaption, 0.8, volumeSize, Lettering::light, this);
    volume_->setBinding([&tuner] { return double(tuner.volume()); },
                        [&tuner](double value) { tuner.setVolume(float(value)); });

    connect(&tuner, &TunerFacade::changed, this, &TunerView::refresh);
    refresh();
    resize(sizeHint());
}

TunerView::Lamps TunerView::lamps() const {
    const TunerFacade& tuner = services_.tuner;
    const double seconds =
        std::chrono::duration<double>(services_.clock.now().time_since_epoch()).count() - referenceDate;
    return {tuner.isOn(), tuner.reception().kind == TunerFacade::Reception::Kind::tuned, tuner.isStereo(),
            tuner.memoryArmed() && TunerDisplayModel::blinkLit(seconds, 0.4), tuner.muting()};
}

void TunerView::refresh() {
    const TunerFacade& tuner = services_.tuner;
    const bool on = tuner.isOn();
    power_->setLatched(on);
    power_->setToolTip(
        on ? StudioCommands::helpText(QStringLiteral("Switch the tuner to standby"), StudioCommands::Id::tunerPower)
           : StudioCommands::helpText(QStringLiteral("Switch the tuner on"), StudioCommands::Id::tunerPower));
    const auto current = tuner.currentPresetIndex();
    for (int slot = 0; slot < TunerEngine::presetCount; ++slot) {
        PresetKey* key = presets_[std::size_t(slot)];
        key->setStation(tuner.presets()[std::size_t(slot)]);
        key->setCurrent(on && current == slot);
        key->setMemoryArmed(tuner.memoryArmed());
    }
    memory_->setLatched(tuner.memoryArmed());
    memory_->setAccent(tuner.memoryArmed() ? std::optional<QColor>(KitColor::amber) : std::nullopt);
    muting_->setLatched(tuner.muting());
    knob_->setDetents(tuner.knobDetents());
    volume_->update();
    const Lamps now = lamps();
    if (now != shown_) {
        shown_ = now;
        update();
    }
}

void TunerView::tick() {
    const double now = services_.executor.now();
    const double dt = lastTick_ < 0 ? 0 : std::clamp(now - lastTick_, 0.0, 0.1);
    lastTick_ = now;
    display_->tick(dt);
    knob_->tick(dt);
    guide_->animate();
    // Between announcements only the memory lamp blinks: a part is repainted when it changed.
    const Lamps next = lamps();
    for (const Part& part : parts)
        if (part.shows && next.*part.shows != shown_.*part.shows) update(part.box(layout()).toAlignedRect());
    shown_ = next;
}

TunerFaceLayout::Measures TunerView::measures() const {
    const QFontMetricsF brandMetrics(brandFont());
    Layout::Measures m;
    m.brandHeight = brandMetrics.height();
    m.brandAscent = brandMetrics.ascent();
    m.brandWidth = brandMetrics.horizontalAdvance(brand);
    m.tunedCaptionWidth = tunedCaption.sizeHint().width();
    m.stereoCaptionWidth = stereoCaption.sizeHint().width();
    m.captionHeight = QFontMetricsF(captionFont()).height();
    m.displayHeight = display_->designSize().height();
    m.preset = PresetKey::layoutSize();
    m.tuning = knob_->layoutSize();
    m.volume = Knob::layoutSize(volumeCaption, volumeSize);
    return m;
}

QSize TunerView::sizeHint() const { return Layout::size(measures()).toSize(); }

const TunerFaceLayout& TunerView::layout() const {
    if (!layout_ || layout_->face.size() != QSizeF(size())) layout_.emplace(QSizeF(size()), measures());
    return *layout_;
}

void TunerView::resizeEvent(QResizeEvent*) {
    const Layout& l = layout();
    display_->setDisplayGeometry(l.display.toRect());
    guide_->setGeometry(l.guide.toRect());
    power_->setKeyGeometry(Layout::keyIn(l.powerGroup, Layout::powerWidth).toRect());
    memory_->setKeyGeometry(Layout::keyIn(l.memoryGroup, Layout::modeWidth).toRect());
    muting_->setKeyGeometry(Layout::keyIn(l.mutingGroup, Layout::modeWidth).toRect());
    for (std::size_t i = 0; i < l.presets.size(); ++i) presets_[i]->setLayoutGeometry(l.presets[i].toRect());
    knob_->setLayoutGeometry(l.tuning.toRect());
    volume_->setLayoutGeometry(l.volume.toRect());
}

void TunerView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setClipRect(event->rect());  // a blinking lamp copies its corner of the face, not all of it
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const Lamps shown = lamps();
    picture_.paint(painter, QRectF(rect()), shown, [&](QPainter& p) {
        const Layout& l = layout();
        for (const Part& part : parts) part.paint(p, l, shown);
    });
}

}  // namespace norvo
