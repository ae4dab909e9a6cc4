#pragma once
#include <QList>
#include <QPointer>
#include <QRectF>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <span>

#include "DeckFacade.hpp"
#include "DeckLayout.hpp"
#include "DeckReadout.hpp"
#include "DeckShown.hpp"
#include "Kit/KeyedPicture.hpp"
#include "Kit/LayerPicture.hpp"
#include "Kit/StaticLayer.hpp"
#include "Kit/ValuePicture.hpp"
#include "Platform/Uuid.hpp"
#include "SharedValue.hpp"

class QMenu;
class QVariantAnimation;

namespace norvo {

class HardwareKey;
class HoldKey;
class Knob;

// The NV-1 cassette deck face: header with its lamps, the cassette well (drop target and
// context menu), the counter and display, the tape map, INPUT and TAPE SOUND, and the
// transport row. It reads and drives the deck through `deck` alone. The metal, the glass and
// the fixed lettering are cached per size; a tick repaints only the parts whose values changed.
class CassetteDeckView final : public QWidget {
    Q_OBJECT
public:
    static constexpr int designWidth = int(DeckLayout::designWidth);

    explicit CassetteDeckView(DeckFacade& deck, QWidget* parent = nullptr);
    ~CassetteDeckView() override;

    // The face's size at rest (without the busy line).
    static QSize designSize();
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // What the face shows now.
    const DeckReadout& readout() const { return shown_.readout; }
    QString counterText() const { return shown_.readout.counter; }
    QString statusText() const { return shown_.readout.status; }
    // The TAPE SOUND key's text: the selected profile's name, or "Clean".
    QString tapeSoundLabel() const { return tapeSound_; }
    bool dropTargeted() const { return shown_.dropTargeted; }

    // Opens the first cassette or sound profile among `urls`; false when none is one.
    bool handleDrop(const QList<QUrl>& urls);

    // The well's context menu as it would open now; empty without a cassette in the well.
    QMenu* wellMenu();
    QMenu* tapeSoundMenu() const { return tapeSoundMenu_; }

    // The face's parts, in the order they are painted; partRect() tells where each one is, in
    // widget coordinates (for tests and the rack).
    enum class Part {
        recLamp,
        tapeRunLamp,
        well,
        reels,
        tabIndicator,
        display,
        counter,
        resetKey,
        sides,
        time,
        status,
        meters,
        busy,
        tapeMap,
        tapeSoundKey,
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

    // Re-reads the deck and repaints what changed (the deck's `changed` calls this).
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
    struct PartRow;
    // The layout for what is shown: with the busy line, with the no-sound line.
    static DeckLayout layoutFor(const DeckShown& shown);
    // One row per part, in the order of Part.
    static std::span<const PartRow> parts();
    // A row's painter that draws from the layout and the shown values alone.
    template <void (*draw)(QPainter&, const DeckLayout&, const DeckShown&)>
    static void drawn(const CassetteDeckView& face, QPainter& p, const QRect&) {
        draw(p, face.layout_, face.shown_);
    }

    // A cassette moving into the well or out of it, or resting in it.
    struct CassetteAt {
        SharedValue<DeckShown::Cassette> cassette;
        TapeSide side = TapeSide::a;
        int64_t head = 0;
    };
    enum class Way { in, out };
    // What the cover and a sliding cassette's picture show.
    struct CoverKey {
        SharedValue<DeckShown::Cassette> cassette;
        TapeSide side = TapeSide::a;
        bool operator==(const CoverKey&) const = default;
    };
    struct LayerKey {
        SharedValue<DeckShown::Cassette> cassette;
        TapeSide side = TapeSide::a;
        int64_t head = 0;
        QSizeF size;
        bool operator==(const LayerKey&) const = default;
    };

    void buildControls();
    void layoutControls();
    void updateControls();
    DeckShown read() const;
    // The cassette and the TAPE SOUND key's text change seldom: made anew on their signals.
    void readCassette();
    void readTapeSound();
    DeckReadout::Inputs readInputs() const;
    DeckShown::Well readWell() const;
    // Makes `next` what the face shows, repainting the parts it changes.
    void present(const DeckShown& next);
    void setDropTargeted(bool targeted);
    void setResetPressed(bool pressed);
    void updatePart(Part part);

    void paintWell(QPainter& p, const QRect& dirty) const;
    void paintCassette(QPainter& p, const CassetteAt& at, double slide, Way way) const;

    DeckFacade& deck_;
    DeckLayout layout_;
    DeckShown shown_;
    SharedValue<DeckShown::Cassette> cassette_;  // while there is a document
    QString tapeSound_;

    // The cassette slides into the well when inserted and out of it when it goes.
    QVariantAnimation* insertion_ = nullptr;
    double insertionProgress_ = 1.0;
    QVariantAnimation* removal_ = nullptr;
    double removalProgress_ = 1.0;
    std::optional<Uuid> lastShownID_;     // the document whose cassette the well showed last
    std::optional<CassetteAt> outgoing_;  // sliding out
    // Each cassette as one picture while it slides; the resting cassette's shell, label and
    // window while only its reels turn; the well's glass and rim.
    mutable KeyedPicture<LayerPicture, LayerKey> incomingLayer_, outgoingLayer_;
    mutable ValuePicture<CoverKey> cover_;
    mutable ValuePicture<bool> glass_;  // keyed by the drop target's border

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
