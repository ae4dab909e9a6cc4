#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "AudioEngine/CassetteType.hpp"
#include "AudioEngine/TapeSide.hpp"
#include "Cassette/ArtworkRole.hpp"
#include "Cassette/CassetteDesign.hpp"
#include "Cassette/ContainerEntry.hpp"
#include "Cassette/FileData.hpp"
#include "Cassette/HistoryEvent.hpp"
#include "Cassette/JCard.hpp"
#include "Cassette/TrackMarker.hpp"
#include "Cassette/WriteProtect.hpp"
#include "Platform/Clock.hpp"
#include "Platform/JSONValue.hpp"
#include "Platform/StudioVersion.hpp"
#include "Platform/Uuid.hpp"

namespace norvo {

// A cassette except its audio. A value: the studio model edits a copy and publishes
// it only when it differs, so equality compares every field.
struct CassetteDocument {
    struct Side {
        std::string title;
        WriteProtect writeProtect = WriteProtect::intact;
        std::vector<TrackMarker> markers;  // sorted by frame

        bool operator==(const Side&) const = default;
    };

    // The application named in new documents and in the events it adds.
    static constexpr const char* applicationName = "Norvo Studio " NORVO_STUDIO_VERSION;

    Uuid id;
    std::string serialNumber;
    CassetteType type = CassetteType::c60();
    std::string name;
    std::string creator;
    std::string description;
    std::string genre;
    std::string notes;
    Date createdAt{};
    Date modifiedAt{};
    std::string createdWith;
    Side sideA;
    Side sideB;
    CassetteDesign design;
    JCard jcard;
    std::map<ArtworkRole, FileData> artwork;
    std::vector<FileData> bookletPanels;  // in reading order
    std::vector<HistoryEvent> history;    // oldest first
    // What an opened file held that this version does not know: manifest keys (nested
    // objects hold the unknown keys of the known objects) and container entries.
    JSONValue::Object carriedManifest;
    std::vector<ContainerEntry> carriedEntries;

    // An empty document; the container reader fills it.
    CassetteDocument() = default;
    // A new blank cassette: fresh id, serial "NV-" + the id's first eight characters,
    // dates now (whole seconds), both tabs intact, the default J-card, one "created" event.
    CassetteDocument(const CassetteType& type, std::string name, CassetteDesign design,
                     const Clock& clock = SystemClock::shared());

    static std::string serialNumberFor(const Uuid& id);

    Side& side(TapeSide which) { return which == TapeSide::a ? sideA : sideB; }
    const Side& side(TapeSide which) const { return which == TapeSide::a ? sideA : sideB; }

    // The record tab: broken becomes taped over, intact and taped over become broken;
    // notes a "write_protect_changed" event.
    void advanceWriteProtect(TapeSide side, Date at);
    // A finished recording pass: merges its markers into the side (sorted by frame,
    // earlier markers first among equal frames) and notes a "recorded" event.
    void noteRecording(TapeSide side, int64_t startFrame, int64_t endFrame, std::string source,
                       std::optional<std::string> sourceFormat, std::vector<TrackMarker> markers, Date at);

    bool operator==(const CassetteDocument&) const = default;
};

}  // namespace norvo
