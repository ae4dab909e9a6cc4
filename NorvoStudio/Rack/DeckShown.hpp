#pragma once
#include <QString>
#include <cstdint>
#include <optional>

#include "AudioEngine/TapeSide.hpp"
#include "Cassette/CassetteDocument.hpp"
#include "DeckFacade.hpp"
#include "DeckReadout.hpp"
#include "Platform/Uuid.hpp"
#include "SharedValue.hpp"
#include "StudioModel/MeterBallistics.hpp"

namespace norvo {

// Everything the NV-1 face paints that follows the deck or the pointer, as one value. A change
// compares the next value with the last, part by part, and repaints the parts that differ.
struct DeckShown {
    // The cassette the well draws: the document and its artwork as pictures.
    struct Cassette {
        CassetteDocument document;
        DeckFacade::Images images;
        bool operator==(const Cassette&) const = default;
    };
    struct Well {
        bool shown = false;  // a document and a loaded cassette
        std::optional<Uuid> documentID;
        TapeSide side = TapeSide::a;
        int64_t head = 0;
        bool operator==(const Well&) const = default;
    };

    DeckReadout readout;
    Well well;
    SharedValue<Cassette> cassette;  // while there is a document
    MeterBallistics::Pair meters;
    std::optional<DeckFacade::Busy> busy;
    QString tapeSound;  // the TAPE SOUND key's text
    bool resetPressed = false;
    bool dropTargeted = false;
};

}  // namespace norvo
