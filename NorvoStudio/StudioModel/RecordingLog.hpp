#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "AudioEngine/DeckInput.hpp"
#include "AudioEngine/RecordingPass.hpp"
#include "AudioEngine/TapeSide.hpp"
#include "AudioEngine/TransportMode.hpp"
#include "Cassette/CassetteDocument.hpp"
#include "Platform/Clock.hpp"
#include "Platform/Uuid.hpp"

namespace norvo {

class DocumentEditor;
class SourcePlayerEngine;
class TunerEngine;

// What the deck records, written into the cassette's document: every recording pass
// becomes a "recorded" event of its history, with a track marker for each track the
// player or the station played while it ran, and the tracks' titles join the J-card.
// Radio markers start where the tuner locked on its station. Main thread only.
class RecordingLog {
public:
    static constexpr int64_t markerLeadFrames = 2205;

    // `deckInput` gives the input the deck records now.
    RecordingLog(DocumentEditor& editor, const SourcePlayerEngine& source, const TunerEngine& tuner,
                 std::function<DeckInput()> deckInput, const Clock& clock);

    // The station lock (tuner tuned to `lockedStation` since head frame).
    const std::optional<std::string>& lockedStation() const { return lockedStation_; }
    std::optional<int64_t> stationLockedAt() const { return stationLockedAt_; }
    // The tick's step: notes when the tuner locked on its station, with the head there.
    void followStationLock(int64_t head);

    // The core's current pass and the deck's mode: a new pass opens, one the deck no longer
    // records is committed to the document.
    void observePass(const std::optional<RecordingPass>& pass, TransportMode mode);
    // While recording: a marker (and a J-card line) for a track not logged yet on `side`.
    void logTrackIfNeeded(std::optional<TapeSide> side, int64_t position);
    // The deck stopped recording: the track playing is logged anew when it starts again.
    void recordingStopped();
    // A cassette went in or out: the pass running in the core, if any, is not its own.
    void cassetteChanged(const std::optional<RecordingPass>& running);
    // The pass still recording goes into `document` as if it ended now.
    void addOpenPass(CassetteDocument& document) const;

private:
    struct Pass {
        RecordingPass core;
        std::string source;
        std::vector<TrackMarker> markers;
        std::optional<std::string> format;
    };
    struct TrackInfo {
        std::string key;
        std::string title;
        std::string format;
        std::optional<Uuid> track;  // the player's track the key names
    };
    struct LoggedTrack {
        TapeSide side;
        std::string key;
        std::optional<Uuid> track;
    };

    void commitPass();
    std::optional<TrackInfo> currentTrackInfo() const;
    // The track playing now is the one last logged on `side`: told on every tick while
    // recording, so without building its key.
    bool isLogged(TapeSide side) const;

    DocumentEditor& editor_;
    const SourcePlayerEngine& source_;
    const TunerEngine& tuner_;
    std::function<DeckInput()> deckInput_;
    const Clock& clock_;
    std::optional<Pass> pass_;
    int finishedPassSerial_ = 0;
    std::optional<LoggedTrack> lastLoggedTrack_;
    std::optional<std::string> lockedStation_;
    std::optional<int64_t> stationLockedAt_;
};

}  // namespace norvo
