#pragma once
#include <QWidget>
#include <array>

#include "Kit/StaticLayer.hpp"
#include "PlayerLayout.hpp"
#include "PlayerParts.hpp"
#include "PlayerReadout.hpp"
#include "PlayerScrub.hpp"

class QAction;

namespace norvo {

class Knob;
class PlayerFacade;
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
    static constexpr int designWidth = PlayerLayout::designWidth;
    using Part = PlayerParts::Part;

    explicit SourcePlayerView(PlayerFacade& player, QWidget* parent = nullptr);
    ~SourcePlayerView() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    const PlayerReadout& readout() const { return shown_.readout; }
    bool dropTargeted() const;
    const std::optional<double>& scrubbing() const { return scrub_.value(); }

    QRectF partRect(Part part) const { return PlayerParts::rect(part, layout_); }

    SilverKey* previousKey() const { return keys_[0]; }
    SilverKey* playPauseKey() const { return keys_[1]; }
    SilverKey* stopKey() const { return keys_[2]; }
    SilverKey* nextKey() const { return keys_[3]; }
    SilverKey* openKey() const { return keys_[4]; }
    Knob* volumeKnob() const { return volume_; }
    PlayerProgramList* programList() const { return program_; }
    QAction* playPauseAction() const { return spaceBar_; }

    // Re-reads the player and its meters and repaints what changed.
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
    void buildControls();
    void relayout();
    void updateKeys();
    // Repaints the parts that show `now` differently, and keeps `now` as shown.
    void present(const PlayerShown& now);
    void updatePart(Part part);
    // A scrub ends by seeking where it was let go, or is given up (hidden, window left).
    enum class ScrubEnd { seek, cancel };
    void endScrub(ScrubEnd end);

    PlayerFacade& player_;
    PlayerLayout layout_;
    PlayerShown shown_;
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
