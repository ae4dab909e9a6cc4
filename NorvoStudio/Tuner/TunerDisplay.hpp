#pragma once
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "Platform/Clock.hpp"
#include "StudioModel/MeterBallistics.hpp"
#include "Tuner/MarqueeText.hpp"
#include "Tuner/Spring.hpp"
#include "Tuner/TunerDisplayLayout.hpp"
#include "Tuner/TunerDisplayReadout.hpp"
#include "Tuner/TunerFacade.hpp"

namespace norvo {

// The RO-01's fluorescent display: captions (preset, channel, band, signal), the station
// line, the main line, the annunciators, the dial scale and the level meters, all read
// from the tuner at every repaint, lit on the faceplate itself (no glass of its own). Only the marquees, blinks and the
// needle move between the tuner's announcements; tick() moves them with the studio's frames.
class TunerDisplay final : public QWidget {
    Q_OBJECT
public:
    static constexpr qreal designWidth = TunerDisplayLayout::designWidth;
    // The widget reaches this far beyond the display's frame on every side, so that glows
    // overhang the frame instead of being cut or squeezing the rows.
    static constexpr int glowMargin = 8;

    TunerDisplay(TunerFacade& tuner, std::function<MeterBallistics::Pair()> meter, const Clock& clock,
                 QWidget* parent = nullptr);
    ~TunerDisplay() override;

    // The display's frame: 404 wide, as tall as its rows.
    QSizeF designSize() const;
    // Places the widget so that its frame covers `frame` (parent coordinates); displayRect()
    // gives it back.
    void setDisplayGeometry(const QRect& frame);
    QRect displayRect() const;
    QSize sizeHint() const override;
    // A studio frame: steps the needle and repaints the rows whose readout moved.
    void tick(double dt);

    // For tests and the gallery.
    double needlePosition() const { return needle_.position(); }
    const MarqueeText& stationMarquee() const { return station_; }
    const MarqueeText& mainMarquee() const { return main_; }
    // The annunciator row, the station line's box and the main text's box, in widget coordinates.
    QRectF annunciatorRow() const;
    QRectF stationBox() const;
    QRectF mainTextBox() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Pictures;
    const TunerDisplayLayout& layout() const;
    double now() const;
    void refresh();
    // Everything the rows show now, `line` being the tuner's main line; readMoving() only what
    // moves between announcements.
    TunerDisplayReadout readout(const TunerDisplayModel::Line& line, double now) const;
    void readMoving(TunerDisplayReadout& readout, double now) const;

    TunerFacade& tuner_;
    std::function<MeterBallistics::Pair()> meter_;
    const Clock& clock_;
    MarqueeText station_;
    MarqueeText main_;
    bool memoryShown_ = false;
    Spring needle_{0.35, 0.78};
    std::optional<int> needleIndex_;
    int needleCount_ = 0;
    TunerDisplayReadout shown_;                         // what the rows were last repainted for
    mutable std::optional<TunerDisplayLayout> layout_;  // laid out for layoutHeight_
    mutable int layoutHeight_ = -1;
    std::unique_ptr<Pictures> pictures_;  // each row kept as pixels until what it shows changes
};

}  // namespace norvo
