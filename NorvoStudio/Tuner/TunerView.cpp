#include "Tuner/TunerView.hpp"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>

#include "Rack/Kit/BlackFaceplate.hpp"
#include "Rack/Kit/HardwareKey.hpp"
#include "Rack/Kit/KitColor.hpp"
#include "Rack/Kit/KitFont.hpp"
#include "Rack/Kit/Knob.hpp"
#include "Rack/Kit/LED.hpp"
#include "Rack/Kit/Silkscreen.hpp"
#include "StudioModel/QtMainExecutor.hpp"
#include "StudioModel/StudioCommands.hpp"
#include "StudioModel/StudioModel.hpp"
#include "Tuner/DesktopServices.hpp"
#include "Tuner/EngineTuner.hpp"
#include "Tuner/PresetKey.hpp"
#include "Tuner/StationGuide.hpp"
#include "Tuner/TunerDisplay.hpp"
#include "Tuner/TunerDisplayModel.hpp"
#include "Tuner/TuningKnob.hpp"

namespace norvo {

namespace {

constexpr qreal groupSpacing = 4;
constexpr qreal controlSpacing = 8;
constexpr qreal presetSpacing = 4;
constexpr qreal frontSpacing = 14;
constexpr qreal smallLamp = 5;
constexpr qreal referenceDate = 978307200;  // 2001-01-01 in Unix seconds

const QString brand = QStringLiteral("Norvo");
const Silkscreen modelLine{QStringLiteral("INTERNET RADIO TUNER  RO-01"), 8, false};
const Silkscreen tunedCaption{QStringLiteral("TUNED"), 8, false};
const Silkscreen stereoCaption{QStringLiteral("STEREO"), 8, false};

QFont captionFont() { return KitFont::system(7, QFont::Medium); }
qreal captionHeight() { return QFontMetricsF(captionFont()).height(); }
qreal groupHeight() { return smallLamp + groupSpacing + 34 + groupSpacing + captionHeight(); }
qreal nameplateHeight() { return QFontMetricsF(KitFont::brand(18)).height(); }

}  // namespace

// What the face owns when it is built from the studio model: the facade over the engine
// and a main-thread executor for the preset keys' hold timers.
struct TunerView::Owned {
    Owned(TunerEngine& engine) : tuner(engine) {}
    EngineTuner tuner;
    QtMainExecutor executor;
};

struct TunerView::Layout {
    QRectF face, nameplate, front, display, guide, controls;
    QRectF powerGroup, memoryGroup, mutingGroup;
    std::array<QRectF, 8> presets;
    QRectF tuning, volume;
};

TunerView::TunerView(StudioModel& model, TunerEngine& tuner, QWidget* parent)
    : QWidget(parent),
      owned_(std::make_unique<Owned>(tuner)),
      services_{owned_->tuner,
                owned_->executor,
                SystemClock::shared(),
                SystemDesktopServices::shared(),
                Locale::current().identifier(),
                Haptics::none(),
                [&model] { return model.live().tunerMeter(); }} {
    build();
    // The model's tick publishes the meters 60 times a second: the face's frame clock.
    connect(&model.live(), &LiveDeck::tunerMeterChanged, this, &TunerView::tick);
}

TunerView::TunerView(Services services, QWidget* parent) : QWidget(parent), services_(std::move(services)) { build(); }

TunerView::~TunerView() = default;

void TunerView::build() {
    TunerFacade& tuner = services_.tuner;
    display_ = new TunerDisplay(tuner, services_.meter, services_.clock, this);
    guide_ = new StationGuide(tuner, services_.desktop, services_.localeIdentifier, this);

    power_ = new HardwareKey(HardwareKeyStyle{false, std::nullopt, 58, 34},
                             KeyLabel::symbolAbove(QStringLiteral("power"), QStringLiteral("POWER")), this);
    connect(power_, &QAbstractButton::clicked, this, [&tuner] { tuner.togglePower(); });
    for (int slot = 0; slot < TunerEngine::presetCount; ++slot) {
        auto* key = new PresetKey(slot + 1, services_.executor, services_.haptics, this);
        key->onTap = [&tuner, slot] { tuner.pressPreset(slot); };
        key->onHold = [&tuner, slot] { tuner.storeCurrentStation(slot); };
        key->onClear = [&tuner, slot] { tuner.clearPreset(slot); };
        presets_[std::size_t(slot)] = key;
    }
    memory_ = new HardwareKey(HardwareKeyStyle{false, std::nullopt, 54, 34}, KeyLabel::caption(QStringLiteral("MEMORY")), this);
    memory_->setToolTip(QStringLiteral("Store the station: press MEMORY, then a preset key (or hold the preset key)"));
    connect(memory_, &QAbstractButton::clicked, this, [&tuner] { tuner.armMemory(); });
    muting_ = new HardwareKey(HardwareKeyStyle{false, std::nullopt, 54, 34}, KeyLabel::caption(QStringLiteral("MUTING")), this);
    muting_->setToolTip(QStringLiteral("Silence the noise between stations"));
    connect(muting_, &QAbstractButton::clicked, this, [&tuner] { tuner.setMuting(!tuner.muting()); });

    knob_ = new TuningKnob(52, tuner.knobDetents(), services_.haptics, this);
    knob_->onTurn = [&tuner](int step) { tuner.stepDial(step); };
    volume_ = new Knob(QStringLiteral("VOLUME"), 0.8, 40, false, this);
    volume_->setBinding([&tuner] { return double(tuner.volume()); },
                        [&tuner](double value) { tuner.setVolume(float(value)); });

    connect(&tuner, &TunerFacade::changed, this, &TunerView::refresh);
    refresh();
    resize(sizeHint());
}

void TunerView::refresh() {
    const TunerFacade& tuner = services_.tuner;
    const bool on = tuner.isOn();
    power_->setLatched(on);
    power_->setToolTip(StudioCommands::helpText(
        on ? QStringLiteral("Switch the tuner to standby") : QStringLiteral("Switch the tuner on"),
        StudioCommands::Id::tunerPower));
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
    // The face's own drawing is only lamps and captions: repaint it when one of them changes.
    const std::array<bool, 5> lamps{on, tuner.reception().kind == TunerFacade::Reception::Kind::tuned, tuner.isStereo(),
                                    tuner.memoryArmed(), tuner.muting()};
    if (lamps != lamps_) {
        lamps_ = lamps;
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
    if (services_.tuner.memoryArmed()) update(layout().memoryGroup.toAlignedRect().adjusted(-8, -8, 8, 8));
}

QSize TunerView::sizeHint() const {
    const qreal controls = std::max({groupHeight(), PresetKey::layoutSize().height(), knob_->layoutSize().height(),
                                     Knob::layoutSize(QStringLiteral("VOLUME"), 40).height()});
    const qreal height = padding + nameplateHeight() + rowSpacing + display_->designSize().height() + rowSpacing +
                         controls + padding;
    return QSizeF(designWidth, height).toSize();
}

TunerView::Layout TunerView::layout() const {
    Layout l;
    l.face = QRectF(0, 0, width(), height());
    const QRectF inner = l.face.adjusted(padding, padding, -padding, -padding);
    const qreal controls = std::max({groupHeight(), PresetKey::layoutSize().height(), knob_->layoutSize().height(),
                                     Knob::layoutSize(QStringLiteral("VOLUME"), 40).height()});
    l.nameplate = QRectF(inner.left(), inner.top(), inner.width(), nameplateHeight());
    l.controls = QRectF(inner.left(), inner.bottom() - controls, inner.width(), controls);
    l.front = QRectF(inner.left(), l.nameplate.bottom() + rowSpacing, inner.width(),
                     l.controls.top() - rowSpacing - l.nameplate.bottom() - rowSpacing);
    l.display = QRectF(l.front.left(), l.front.top(), TunerDisplay::designWidth, display_->designSize().height());
    l.guide = QRectF(l.display.right() + frontSpacing, l.front.top(), l.front.right() - l.display.right() - frontSpacing,
                     l.front.height());

    const qreal centre = l.controls.center().y();
    auto group = [&](qreal x, qreal width) { return QRectF(x, centre - groupHeight() / 2, width, groupHeight()); };
    qreal x = l.controls.left();
    l.powerGroup = group(x, 58);
    x = l.powerGroup.right() + controlSpacing;
    const QSizeF preset = PresetKey::layoutSize();
    for (std::size_t i = 0; i < l.presets.size(); ++i) {
        l.presets[i] = QRectF(x, centre - preset.height() / 2, preset.width(), preset.height());
        x += preset.width() + presetSpacing;
    }
    x += controlSpacing - presetSpacing;
    l.memoryGroup = group(x, 54);
    x = l.memoryGroup.right() + controlSpacing;
    l.mutingGroup = group(x, 54);
    const QSizeF volume = Knob::layoutSize(QStringLiteral("VOLUME"), 40);
    l.volume = QRectF(l.controls.right() - volume.width(), centre - volume.height() / 2, volume.width(), volume.height());
    const QSizeF tuning = knob_->layoutSize();
    l.tuning = QRectF(l.volume.left() - controlSpacing - tuning.width(), centre - tuning.height() / 2, tuning.width(),
                      tuning.height());
    return l;
}

void TunerView::resizeEvent(QResizeEvent*) {
    const Layout l = layout();
    display_->setDisplayGeometry(l.display.toRect());
    guide_->setGeometry(l.guide.toRect());
    auto keyIn = [](const QRectF& group, qreal width) {
        return QRectF(group.center().x() - width / 2, group.top() + smallLamp + groupSpacing, width, 34).toRect();
    };
    power_->setKeyGeometry(keyIn(l.powerGroup, 58));
    memory_->setKeyGeometry(keyIn(l.memoryGroup, 54));
    muting_->setKeyGeometry(keyIn(l.mutingGroup, 54));
    for (std::size_t i = 0; i < l.presets.size(); ++i) presets_[i]->setLayoutGeometry(l.presets[i].toRect());
    knob_->setLayoutGeometry(l.tuning.toRect());
    volume_->setLayoutGeometry(l.volume.toRect());
}

void TunerView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setClipRect(event->rect());  // a blinking lamp copies its corner of the face, not all of it
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const TunerFacade& tuner = services_.tuner;
    const bool on = tuner.isOn();
    const bool tuned = tuner.reception().kind == TunerFacade::Reception::Kind::tuned;
    const bool stereo = tuner.isStereo();
    const double seconds =
        std::chrono::duration<double>(services_.clock.now().time_since_epoch()).count() - referenceDate;
    const bool memoryLit = tuner.memoryArmed() && TunerDisplayModel::blinkLit(seconds, 0.4);
    const bool muting = tuner.muting();
    const QString key = QStringLiteral("%1%2%3%4%5").arg(on).arg(tuned).arg(stereo).arg(memoryLit).arg(muting);
    picture_.paint(painter, QRectF(rect()), key, [&](QPainter& p) {
        const Layout l = layout();
        BlackFaceplate::paint(p, l.face);

        // Nameplate, on one baseline.
        const QFont brandFont = KitFont::brand(18);
        const QFontMetricsF brandMetrics(brandFont);
        const qreal baseline = l.nameplate.top() + brandMetrics.ascent();
        p.setFont(brandFont);
        p.setPen(KitColor::white(0.9));
        p.drawText(QPointF(l.nameplate.left(), baseline), brand);
        modelLine.paintAtBaseline(p, QPointF(l.nameplate.left() + brandMetrics.horizontalAdvance(brand) + 8, baseline));
        const qreal stereoWidth = 8 + 6 + stereoCaption.sizeHint().width();
        const qreal stereoX = l.nameplate.right() - stereoWidth;
        const qreal tunedX = stereoX - 12 - (8 + 6 + tunedCaption.sizeHint().width());
        const qreal lampY = baseline - 8 / 2 - 3;
        LED{tuned, KitColor::ledGreen, 8}.paintCentred(p, QPointF(tunedX + 4, lampY));
        tunedCaption.paintAtBaseline(p, QPointF(tunedX + 14, baseline));
        LED{stereo, KitColor::amber, 8}.paintCentred(p, QPointF(stereoX + 4, lampY));
        stereoCaption.paintAtBaseline(p, QPointF(stereoX + 14, baseline));

        // Lamps and captions of the key groups.
        auto lampAt = [&](const QRectF& group) { return QPointF(group.center().x(), group.top() + smallLamp / 2); };
        auto captionAt = [&](const QRectF& group, const QString& text, const QColor& ink) {
            p.setFont(captionFont());
            p.setPen(ink);
            p.drawText(QRectF(group.left() - 10, group.bottom() - captionHeight(), group.width() + 20, captionHeight()),
                       Qt::AlignCenter, text);
        };
        p.save();
        p.setOpacity(on ? 1.0 : 0.55);
        LED{true, on ? KitColor::ledGreen : KitColor::ledRed, smallLamp}.paintCentred(p, lampAt(l.powerGroup));
        p.restore();
        captionAt(l.powerGroup, on ? QStringLiteral("ON") : QStringLiteral("STANDBY"), KitColor::white(0.45));
        LED{memoryLit, KitColor::amber, smallLamp}.paintCentred(p, lampAt(l.memoryGroup));
        LED{muting, KitColor::amber, smallLamp}.paintCentred(p, lampAt(l.mutingGroup));
    });
}

}  // namespace norvo
