#pragma once
#include <QWidget>
#include <functional>

#include "Platform/Clock.hpp"
#include "StudioModel/MeterBallistics.hpp"
#include "Tuner/MarqueeText.hpp"
#include "Tuner/Spring.hpp"
#include "Tuner/TunerFacade.hpp"

namespace norvo {

// The RO-01's fluorescent display: captions (preset, channel, band, signal), the station
// line, the main line, the annunciators, the dial scale and the level meters, all read
// from the tuner at every repaint. Only the marquees, blinks and the needle move between
// the tuner's announcements; tick() moves them with the studio's frames.
class TunerDisplay final : public QWidget {
    Q_OBJECT
public:
    static constexpr qreal designWidth = 404;

    TunerDisplay(TunerFacade& tuner, std::function<MeterBallistics::Pair()> meter, const Clock& clock,
                 QWidget* parent = nullptr);

    QSize sizeHint() const override;
    // A studio frame: steps the needle and repaints what moves (the meters always).
    void tick(double dt);

    // For tests and the gallery.
    double needlePosition() const { return needle_.position(); }
    const MarqueeText& stationMarquee() const { return station_; }
    const MarqueeText& mainMarquee() const { return main_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    struct Rows;
    Rows rows() const;
    double now() const;
    double secondsSinceReferenceDate() const;
    void refresh();

    TunerFacade& tuner_;
    std::function<MeterBallistics::Pair()> meter_;
    const Clock& clock_;
    MarqueeText station_;
    MarqueeText main_;
    bool memoryShown_ = false;
    Spring needle_{0.35, 0.78};
    std::optional<int> needleIndex_;
    int needleCount_ = 0;
};

}  // namespace norvo
