#include "StudioModel/RecordingLog.hpp"

#include <algorithm>
#include <utility>

#include "AudioEngine/TapeClock.hpp"
#include "Radio/RadioStream.hpp"
#include "Radio/TunerEngine.hpp"
#include "SourcePlayer/SourcePlayerEngine.hpp"
#include "StudioModel/DocumentEditor.hpp"
#include "StudioModel/StudioDocumentTypes.hpp"

namespace norvo {
namespace {

// The first piece of a track key split at "|" (empty pieces dropped): the station of a
// tuner key, the whole key of a player key.
std::optional<std::string> firstKeyPiece(const std::string& key) {
    std::size_t start = 0;
    while (start <= key.size()) {
        const std::size_t bar = key.find('|', start);
        const std::size_t end = bar == std::string::npos ? key.size() : bar;
        if (end > start) return key.substr(start, end - start);
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return std::nullopt;
}

}  // namespace

RecordingLog::RecordingLog(DocumentEditor& editor, const SourcePlayerEngine& source, const TunerEngine& tuner,
                           std::function<DeckInput()> deckInput, const Clock& clock)
    : editor_(editor), source_(source), tuner_(tuner), deckInput_(std::move(deckInput)), clock_(clock) {}

void RecordingLog::followStationLock(int64_t head) {
    const auto& station = tuner_.station();
    if (tuner_.reception().kind == TunerEngine::Reception::Kind::tuned && station) {
        if (!lockedStation_ || *lockedStation_ != station->id) {
            lockedStation_ = station->id;
            stationLockedAt_ = head;
        }
    } else if (lockedStation_) {
        lockedStation_.reset();
        stationLockedAt_.reset();
    }
}

void RecordingLog::observePass(const std::optional<RecordingPass>& pass, TransportMode mode) {
    if (!pass || pass->serial <= finishedPassSerial_) return;
    const bool recording = mode == TransportMode::recording;
    if (pass_ && pass_->core.serial == pass->serial) {
        pass_->core = *pass;
        if (!recording) commitPass();
        return;
    }
    commitPass();
    pass_ = Pass{*pass, deckInput_() == DeckInput::tuner ? "radio" : "file", {}, std::nullopt};
    if (!recording) commitPass();
}

void RecordingLog::commitPass() {
    if (!pass_) return;
    Pass pass = std::move(*pass_);
    pass_.reset();
    finishedPassSerial_ = pass.core.serial;
    if (!editor_.document()) return;
    const Date now = clock_.now();
    editor_.updateDocument([&](CassetteDocument& document) {
        document.noteRecording(pass.core.side, pass.core.start, pass.core.end, pass.source, pass.format, pass.markers,
                               now);
    });
}

void RecordingLog::recordingStopped() { lastLoggedTrack_.reset(); }

void RecordingLog::cassetteChanged(const std::optional<RecordingPass>& running) {
    if (running) finishedPassSerial_ = std::max(finishedPassSerial_, running->serial);
    pass_.reset();
}

void RecordingLog::addOpenPass(CassetteDocument& document) const {
    if (pass_)
        document.noteRecording(pass_->core.side, pass_->core.start, pass_->core.end, pass_->source, pass_->format,
                               pass_->markers, clock_.now());
}

std::optional<RecordingLog::TrackInfo> RecordingLog::currentTrackInfo() const {
    if (deckInput_() == DeckInput::sourcePlayer) {
        if (source_.state() != SourcePlayerEngine::State::playing) return std::nullopt;
        auto track = source_.currentTrack();
        if (!track) return std::nullopt;
        return TrackInfo{track->id.text(), track->title, StudioDocumentTypes::extensionOf(track->url), track->id};
    }
    const auto& station = tuner_.station();
    if (tuner_.reception().kind != TunerEngine::Reception::Kind::tuned || !tuner_.titleKnown() || !station)
        return std::nullopt;
    std::string title = tuner_.nowPlaying() ? *tuner_.nowPlaying() : station->name;
    std::string key = station->id + "|" + title;
    return TrackInfo{std::move(key), std::move(title), station->codec == "MP3" ? "mp3" : "aac", std::nullopt};
}

bool RecordingLog::isLogged(TapeSide side) const {
    if (!lastLoggedTrack_ || lastLoggedTrack_->side != side) return false;
    if (deckInput_() == DeckInput::sourcePlayer) {
        const auto& id = source_.currentTrackID();
        return id && lastLoggedTrack_->track == id;
    }
    // The key a tuner track would have: the station's id and the title, joined by "|".
    const auto& station = tuner_.station();
    if (!station) return false;
    const std::string& title = tuner_.nowPlaying() ? *tuner_.nowPlaying() : station->name;
    const std::string& key = lastLoggedTrack_->key;
    const std::size_t bar = station->id.size();
    return key.size() == bar + 1 + title.size() && key.starts_with(station->id) && key[bar] == '|' &&
           key.ends_with(title);
}

void RecordingLog::logTrackIfNeeded(std::optional<TapeSide> side, int64_t position) {
    if (!side || isLogged(*side)) return;
    auto info = currentTrackInfo();
    if (!info || !editor_.document()) return;
    if (lastLoggedTrack_ && lastLoggedTrack_->side == *side && lastLoggedTrack_->key == info->key) return;

    const auto previousStation = lastLoggedTrack_ ? firstKeyPiece(lastLoggedTrack_->key) : std::nullopt;
    const auto station = firstKeyPiece(info->key);
    const bool sameStation = previousStation == station;
    lastLoggedTrack_ = LoggedTrack{*side, info->key, info->track};

    static const int64_t settleWindow = RadioStream::lockSettleFrames + TapeClock::frames(1.0);
    int64_t frame = position - markerLeadFrames;
    if (deckInput_() == DeckInput::tuner && !sameStation && stationLockedAt_ && *stationLockedAt_ <= position &&
        position - *stationLockedAt_ < settleWindow)
        frame = *stationLockedAt_;
    frame = std::max(frame, pass_ ? pass_->core.start : int64_t{0});

    if (pass_) {
        pass_->markers.push_back(TrackMarker{frame, info->title, "track", {}});
        pass_->format = info->format;
    }
    editor_.addRecordedTrack(*side, info->title);
}

}  // namespace norvo
