#pragma once
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

#include "Kit/ValuePicture.hpp"
#include "Tuner/TunerFacade.hpp"
#include "Tuner/TunerFaceLayout.hpp"
#include "Tuner/TunerServices.hpp"

namespace norvo {

class HardwareKey;
class Knob;
class PresetKey;
class StationGuide;
class TunerDisplay;
class TuningKnob;

// The RO-01 tuner face: nameplate with the TUNED and STEREO lamps, the display beside the
// station guide, and the control row (power, eight presets, memory, muting, tuning and
// volume knobs). It keeps no state of the tuner: it draws the tuner and calls it.
// Width 720 (the rack's deck column); the front panel row takes any extra height.
class TunerView final : public QWidget {
    Q_OBJECT
public:
    using Services = TunerServices;
    static constexpr qreal padding = TunerFaceLayout::padding;

    // What the face's own drawing shows besides its fixed lettering.
    struct Lamps {
        bool on = false;
        bool tuned = false;
        bool stereo = false;
        bool memoryLit = false;  // in the lit phase of its blink
        bool muting = false;
        bool operator==(const Lamps&) const = default;
    };

    explicit TunerView(Services services, QWidget* parent = nullptr);
    ~TunerView() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // A frame of the studio: meters, marquees, blinks, needle, spinners.
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
    void build();
    void refresh();
    TunerFaceLayout::Measures measures() const;
    const TunerFaceLayout& layout() const;
    Lamps lamps() const;

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
    Lamps shown_;                                    // what the face was last repainted for
    mutable std::optional<TunerFaceLayout> layout_;  // for the face's size
    ValuePicture<Lamps> picture_;                    // the faceplate, its lettering and lamps
};

}  // namespace norvo
