#pragma once
#include <QPixmap>
#include <QRectF>
#include <QRegion>
#include <QWidget>

#include "Rack/Kit/StaticLayer.hpp"
#include <memory>

#include "PlayerReadout.hpp"
#include "PlayerScrub.hpp"
#include "StudioModel/MeterBallistics.hpp"
#include "StudioModel/StudioModel.hpp"

class QAction;

namespace norvo {

class Knob;
class PlayerProgramList;
class SilverKey;

// The DA-2 source player face: silver panel, header with the LINE OUT lamp, the display
// (track, time, turning disc, status, progress bar to scrub, meters, error line), the key
// row with the VOLUME knob, and the PROGRAM list that takes the rest of the height. Laid
// out in design points at scale 1; the metal and fixed lettering are cached per size, and
// a tick repaints only the parts whose values changed.
class SourcePlayerView final : public QWidget {
    Q_OBJECT
public:
    static constexpr int designWidth = 430;

    explicit SourcePlayerView(StudioModel& model, QWidget* parent = nullptr);
    ~SourcePlayerView() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    const PlayerReadout& readout() const { return readout_; }
    bool dropTargeted() const;
    const std::optional<double>& scrubbing() const { return scrub_.value(); }

    enum class Part { lineOut, display, trackNumber, time, disc, status, progress, meters, error, program };
    QRectF partRect(Part part) const;

    SilverKey* previousKey() const { return keys_[0]; }
    SilverKey* playPauseKey() const { return keys_[1]; }
    SilverKey* stopKey() const { return keys_[2]; }
    SilverKey* nextKey() const { return keys_[3]; }
    SilverKey* openKey() const { return keys_[4]; }
    Knob* volumeKnob() const { return volume_; }
    PlayerProgramList* programList() const { return program_; }
    QAction* playPauseAction() const { return spaceBar_; }

    // Re-reads the engine and the meters and repaints what changed.
    void refresh();

protected:
    bool event(QEvent*) override;
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void hideEvent(QHideEvent*) override;
    void changeEvent(QEvent*) override;

private:
    struct Layout;

    void buildControls();
    void relayout();
    void updateKeys();
    void updatePart(Part part);
    void paintStatic(QPainter& p) const;
    void paintDisplay(QPainter& p, const QRegion& dirty) const;
    void endScrub(bool seek);

    StudioModel& model_;
    SourcePlayerEngine& source_;
    std::unique_ptr<Layout> layout_;
    PlayerReadout readout_;
    MeterBallistics::Pair meters_;
    PlayerScrub scrub_;
    bool scrubPressed_ = false;
    float shownVolume_ = -1;

    StaticLayer staticLayer_;

    std::array<SilverKey*, 5> keys_{};
    Knob* volume_ = nullptr;
    PlayerProgramList* program_ = nullptr;
    QAction* spaceBar_ = nullptr;
};

}  // namespace norvo
