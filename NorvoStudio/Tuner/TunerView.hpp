#pragma once
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "Platform/Clock.hpp"
#include "Platform/MainExecutor.hpp"
#include "Rack/Kit/KitPicture.hpp"
#include "StudioModel/MeterBallistics.hpp"
#include "Tuner/Haptics.hpp"
#include "Tuner/TunerFacade.hpp"

namespace norvo {

class DesktopServices;
class HardwareKey;
class Knob;
class PresetKey;
class StationGuide;
class StudioModel;
class TunerDisplay;
class TuningKnob;

// The RO-01 tuner face: nameplate with the TUNED and STEREO lamps, the display beside the
// station guide, and the control row (power, eight presets, memory, muting, tuning and
// volume knobs). It keeps no state of the tuner: it draws the tuner and calls it.
// Width 720 (the rack's deck column); the front panel row takes any extra height.
class TunerView final : public QWidget {
    Q_OBJECT
public:
    static constexpr qreal designWidth = 720;
    static constexpr qreal padding = 18;
    static constexpr qreal rowSpacing = 12;

    // What the face is built on when it is not given the studio model (tests, gallery).
    struct Services {
        TunerFacade& tuner;
        MainExecutor& executor;
        const Clock& clock;
        DesktopServices& desktop;
        std::string localeIdentifier;
        Haptics& haptics = Haptics::none();
        // The tuner's level meters, read at every frame.
        std::function<MeterBallistics::Pair()> meter;
    };

    // The application's face: the model's tuner, live deck, executor and clock; repaints
    // on every tick of the model.
    TunerView(StudioModel& model, TunerEngine& tuner, QWidget* parent = nullptr);
    explicit TunerView(Services services, QWidget* parent = nullptr);
    ~TunerView() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // A frame of the studio (the model's tick): meters, marquees, blinks, needle, spinners.
    void tick();

    // Parts, for tests and the gallery.
    TunerDisplay* display() const { return display_; }
    StationGuide* guide() const { return guide_; }
    HardwareKey* powerKey() const { return power_; }
    HardwareKey* memoryKey() const { return memory_; }
    HardwareKey* mutingKey() const { return muting_; }
    PresetKey* presetKey(int slot) const { return presets_[std::size_t(slot)]; }
    TuningKnob* tuningKnob() const { return knob_; }
    Knob* volumeKnob() const { return volume_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent*) override;

private:
    struct Owned;
    struct Layout;
    void build();
    void refresh();
    Layout layout() const;

    std::unique_ptr<Owned> owned_;  // the engine facade when built from the model
    Services services_;
    TunerDisplay* display_ = nullptr;
    StationGuide* guide_ = nullptr;
    HardwareKey* power_ = nullptr;
    HardwareKey* memory_ = nullptr;
    HardwareKey* muting_ = nullptr;
    std::array<PresetKey*, TunerEngine::presetCount> presets_{};
    TuningKnob* knob_ = nullptr;
    Knob* volume_ = nullptr;
    double lastTick_ = -1;
    std::array<bool, 5> lamps_{};
    KitPicture picture_;  // the faceplate, its lettering and lamps
};

}  // namespace norvo
