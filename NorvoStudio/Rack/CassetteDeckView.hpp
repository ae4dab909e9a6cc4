#pragma once
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QRectF>
#include <QRegion>
#include <QUrl>
#include <QWidget>

#include "Rack/Kit/StaticLayer.hpp"
#include <array>
#include <functional>
#include <optional>

#include "Platform/Uuid.hpp"
#include "DeckReadout.hpp"
#include "Rack/Kit/KitPicture.hpp"
#include "Rack/Kit/LayerPicture.hpp"
#include "StudioModel/MeterBallistics.hpp"
#include "StudioModel/StudioModel.hpp"

class QMenu;
class QVariantAnimation;

namespace norvo {

class HardwareKey;
class HoldKey;
class Knob;

// The NV-1 cassette deck face: header with its lamps, the cassette well (drop target and
// context menu), the counter and display, the tape map, INPUT and TAPE SOUND, and the
// transport row. Laid out in design points at scale 1. The metal, the glass and the fixed
// lettering are cached per size; a tick repaints only the parts whose values changed.
class CassetteDeckView final : public QWidget {
    Q_OBJECT
public:
    static constexpr int designWidth = 720;

    explicit CassetteDeckView(StudioModel& model, QWidget* parent = nullptr);
    ~CassetteDeckView() override;

    // The face's size at rest (without the busy line).
    static QSize designSize();
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // What the face shows now.
    const DeckReadout& readout() const { return readout_; }
    QString counterText() const { return readout_.counter; }
    QString statusText() const { return readout_.status; }
    // The TAPE SOUND key's text: the selected profile's name, or "Clean".
    QString tapeSoundLabel() const;
    bool dropTargeted() const { return dropTargeted_; }

    // Opens the first cassette or sound profile among `urls`; false when none is one.
    bool handleDrop(const QList<QUrl>& urls);

    // The well's context menu as it would open now; empty without a cassette in the well.
    QMenu* wellMenu();
    QMenu* tapeSoundMenu() const { return tapeSoundMenu_; }

    // Where things are, in widget coordinates (for tests and the rack).
    enum class Part {
        recLamp, tapeRunLamp, well, display, counter, resetKey, sides, time, remain, tape, status,
        meters, busy, tapeMap, tapeSoundKey, tabIndicator,
    };
    QRectF partRect(Part part) const;

    HardwareKey* ejectKey() const { return eject_; }
    HardwareKey* recordKey() const { return record_; }
    HoldKey* rewindKey() const { return rewind_; }
    HardwareKey* playKey() const { return play_; }
    HoldKey* forwardKey() const { return forward_; }
    HardwareKey* stopKey() const { return stop_; }
    HardwareKey* flipKey() const { return flip_; }
    HardwareKey* inputKey(DeckInput input) const { return input == DeckInput::tuner ? tunerInput_ : playerInput_; }
    Knob* recordLevelKnob() const { return recordLevel_; }
    Knob* outputKnob() const { return output_; }

    // The wall clock the REC lamp blinks by (seconds since 1970); tests may fix it.
    void setWallClock(std::function<double()> clock) { wallClock_ = std::move(clock); }

    // Re-reads the model and repaints what changed (the tick calls this through signals).
    void refresh();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    bool event(QEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;
    void dragEnterEvent(QDragEnterEvent*) override;
    void dragMoveEvent(QDragMoveEvent*) override;
    void dragLeaveEvent(QDragLeaveEvent*) override;
    void dropEvent(QDropEvent*) override;

private:
    struct Layout;
    struct WellState {
        bool shown = false;  // a document and a loaded cassette
        std::optional<Uuid> documentID;
        TapeSide side = TapeSide::a;
        int64_t head = 0;
        bool operator==(const WellState&) const = default;
    };

    void buildControls();
    void layoutControls();
    void updateControls();
    DeckReadout::Inputs readInputs() const;
    WellState readWell() const;
    void setDropTargeted(bool targeted);
    void paintStatic(QPainter& p) const;
    void paintWell(QPainter& p, const QRect& dirty) const;
    void paintDisplay(QPainter& p, const QRegion& dirty) const;
    void paintTapeMap(QPainter& p) const;
    void paintTapeSoundKey(QPainter& p) const;
    void paintLamps(QPainter& p) const;
    void updatePart(Part part);
    QRectF reelsRect() const;
    bool busyShown() const { return busy_.has_value(); }

    StudioModel& model_;
    std::unique_ptr<Layout> layout_;
    DeckReadout readout_;
    WellState well_;
    MeterBallistics::Pair meters_;
    std::optional<StudioModel::Busy> busy_;
    QString tapeSound_;
    bool dropTargeted_ = false;
    bool wellDirty_ = true;
    bool resetPressed_ = false;
    std::function<double()> wallClock_;

    // The cassette slides into the well when inserted and out of it when it goes.
    struct Picture {
        CassetteDocument document;
        TapeSide side = TapeSide::a;
        int64_t head = 0;
        ArtworkImages images;
    };
    void paintPicture(QPainter& p, const CassetteDocument& document, TapeSide side, int64_t head,
                      const ArtworkImages& images, double slide, LayerPicture& layer, const QString& layerKey) const;
    QVariantAnimation* insertion_ = nullptr;
    double insertionProgress_ = 1.0;
    QVariantAnimation* removal_ = nullptr;
    double removalProgress_ = 1.0;
    std::optional<Picture> shown_;     // what the well shows now, kept for its way out
    std::optional<Uuid> lastShownID_;  // the document whose cassette the well showed last
    std::optional<Picture> outgoing_;  // sliding out
    int outgoingGeneration_ = 0;       // counts the cassettes that went
    mutable LayerPicture incomingLayer_, outgoingLayer_;  // each cassette as one picture while it slides

    // The resting cassette's shell, label and window, kept while only the reels turn.
    mutable KitPicture cover_;
    mutable KitPicture glass_;  // the well's glass and rim
    int coverGeneration_ = 0;  // counts changes of the document and its images

    StaticLayer staticLayer_;

    HardwareKey* playerInput_ = nullptr;
    HardwareKey* tunerInput_ = nullptr;
    HardwareKey* eject_ = nullptr;
    HardwareKey* record_ = nullptr;
    HoldKey* rewind_ = nullptr;
    HardwareKey* play_ = nullptr;
    HoldKey* forward_ = nullptr;
    HardwareKey* stop_ = nullptr;
    HardwareKey* flip_ = nullptr;
    Knob* recordLevel_ = nullptr;
    Knob* output_ = nullptr;
    QMenu* tapeSoundMenu_ = nullptr;
    QPointer<QMenu> wellMenu_;
};

}  // namespace norvo
