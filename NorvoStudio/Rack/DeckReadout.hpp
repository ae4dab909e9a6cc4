#pragma once
#include <QString>
#include <cstdint>
#include <optional>

#include "AudioEngine/CassetteTransport.hpp"
#include "AudioEngine/CassetteType.hpp"
#include "AudioEngine/DeckInput.hpp"
#include "Cassette/WriteProtect.hpp"

namespace norvo {

// Everything the NV-1 face shows that follows the studio, computed from plain values so
// that it can be tested without a window and compared between ticks: the face repaints
// only the parts whose readout changed.
struct DeckReadout {
    enum class Tint { cyan, green, red };

    // What the face reads of the studio model and the live deck.
    struct Inputs {
        CassetteTransport transport;
        std::optional<CassetteType> documentType;  // absent without a document
        std::optional<WriteProtect> tabA;          // the document's record tabs
        std::optional<WriteProtect> tabB;
        double counterOffset = 0;  // in reel turns
        DeckInput deckInput = DeckInput::sourcePlayer;
        std::optional<int64_t> usedOnSide;  // recorded frames of the side under the head
        bool blinkOn = false;               // the wall clock's half-second phase
        bool outputLost = false;            // nothing is heard: the output lost its device
    };

    bool cassetteLoaded = false;
    bool documentPresent = false;

    QString counter;
    QString status;
    // "NO SOUND" while the output has lost its device, on a line of its own above the status
    // (the two do not fit one line); empty while sound plays.
    QString soundNote;
    Tint statusTint = Tint::cyan;
    bool sideALit = false;
    bool sideBLit = false;
    QString time;
    QString remain;
    QString tape;

    bool recLamp = false;
    bool tapeRunLamp = false;

    // Tape map, as fractions of the strip's width, always within 0...1.
    double recordedFraction = 0;
    double headFraction = 0;

    bool recLatched = false;
    bool playLatched = false;
    bool rewindLatched = false;
    bool forwardLatched = false;

    // The tab of the side under the head, when a cassette is shown in the well.
    std::optional<WriteProtect> tab;

    static DeckReadout make(const Inputs& in);

    static QString counterText(const std::optional<CassetteType>& type, int64_t head, double counterOffset);
    static QString statusText(const CassetteTransport& transport, DeckInput input);
    // Whether an armed REC lamp is lit at this wall-clock time.
    static bool blinkPhase(double secondsSince1970);

    // The badge over the cassette and the well menu's tab entries.
    static QString tabBadgeText(WriteProtect state);
    static QString tabHelpText(WriteProtect state);
    static QString tabMenuText(TapeSide side, WriteProtect state);

    bool operator==(const DeckReadout&) const = default;
};

}  // namespace norvo
