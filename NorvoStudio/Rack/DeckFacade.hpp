#pragma once
#include <QImage>
#include <QObject>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "AudioEngine/CassetteTransport.hpp"
#include "AudioEngine/DeckInput.hpp"
#include "AudioEngine/TapeSide.hpp"
#include "AudioEngine/TransportCommand.hpp"
#include "Cassette/ArtworkRole.hpp"
#include "Cassette/CassetteDocument.hpp"
#include "Platform/Clock.hpp"
#include "StudioModel/MeterBallistics.hpp"

class QMenu;

namespace norvo {

// What the NV-1 deck face reads of the studio and asks of it. The application's one is the
// studio model (ModelDeck); tests put a scripted one in. `changed` is emitted after every
// change the face may show: the face re-reads then and repaints what differs. The document, its
// artwork and the tape sound are re-read only on their own signals, each emitted before the
// `changed` that follows its change.
class DeckFacade : public QObject {
    Q_OBJECT
public:
    using Images = std::map<ArtworkRole, QImage>;
    // A cassette being read or written.
    struct Busy {
        QString message;  // "Loading Mixtape…"
        double progress = 0;
        bool operator==(const Busy&) const = default;
    };

    using QObject::QObject;

    // The cassette in the deck and its artwork as pictures.
    virtual const std::optional<CassetteDocument>& document() const = 0;
    virtual const Images& images() const = 0;
    // The live transport and the deck's level meters.
    virtual const CassetteTransport& transport() const = 0;
    virtual const MeterBallistics::Pair& meters() const = 0;
    // The recorded frames of a side (its high-water mark); nothing without a tape.
    virtual std::optional<int64_t> recordedFrames(TapeSide side) const = 0;
    // In reel turns: where RESET left the counter at 000.
    virtual double counterOffset() const = 0;
    virtual DeckInput deckInput() const = 0;
    virtual double recordLevel() const = 0;
    virtual double deckVolume() const = 0;
    // The selected tape sound's name; nothing while the cassette plays as it is.
    virtual std::optional<std::string> tapeSoundName() const = 0;
    virtual std::optional<Busy> busy() const = 0;
    // Why nothing is heard, while the studio's output has lost its device.
    virtual std::optional<QString> outputLoss() const = 0;
    // The wall clock the armed REC lamp blinks by.
    virtual Date now() const = 0;

    virtual void send(TransportCommand command) = 0;
    virtual void eject() = 0;
    virtual void resetCounter() = 0;
    virtual void setDeckInput(DeckInput input) = 0;
    virtual void setRecordLevel(double level) = 0;
    virtual void setDeckVolume(double volume) = 0;
    virtual void advanceWriteProtect(TapeSide side) = 0;
    // A cassette or a sound profile dropped on the well.
    virtual void open(const std::filesystem::path& file) = 0;
    virtual void showDesigner() = 0;
    // Replaces the menu's content with the tape sounds to choose from, as the Deck menu
    // shows them.
    virtual void fillTapeSoundMenu(QMenu& menu) = 0;

signals:
    void changed();
    // The knobs follow these alone: a tick does not touch them.
    void recordLevelChanged();
    void deckVolumeChanged();
    // The document or its artwork.
    void cassetteChanged();
    void tapeSoundChanged();
};

}  // namespace norvo
