#pragma once
#include <string>
#include <vector>

#include "Rack/PlayerFacade.hpp"

namespace norvo::test {

// A player whose published state the test sets and whose operations it records.
class FakePlayer final : public PlayerFacade {
public:
    const std::vector<SourceTrack>& tracks() const override { return trackList; }
    const TracksChange& lastTracksChange() const override { return tracksChange; }
    const std::optional<Uuid>& selection() const override { return selected; }
    const std::optional<Uuid>& currentTrackID() const override { return current; }
    State state() const override { return playerState; }
    int64_t position() const override { return frame; }
    int64_t duration() const override { return length; }
    const std::optional<std::string>& lastError() const override { return error; }
    float volume() const override { return volumeLevel; }
    const MeterBallistics::Pair& levels() const override { return meters; }

    void setSelection(std::optional<Uuid> id) override {
        record("setSelection");
        selected = id;
    }
    void setVolume(float volume) override {
        record("setVolume");
        volumeLevel = volume;
    }
    void togglePlayPause() override { record("togglePlayPause"); }
    void stop() override { record("stop"); }
    void next() override { record("next"); }
    void previous() override { record("previous"); }
    void seek(int64_t to) override { record("seek " + std::to_string(to)); }
    void play(const Uuid&) override { record("play"); }
    void remove(const std::set<Uuid>&) override { record("remove"); }
    void move(const std::set<std::size_t>&, std::size_t) override { record("move"); }
    void add(const std::vector<std::filesystem::path>&) override { record("add"); }
    void chooseFiles() override { record("chooseFiles"); }

    // Replaces the whole list, as a change of every row.
    void setTracks(std::vector<SourceTrack> list) {
        trackList = std::move(list);
        tracksChange = TracksChange{tracksChange.revision, tracksChange.revision + 1, 0, trackList.size()};
    }
    // Tells the face that the state changed, as the player does after an operation.
    void publish() { emit changed(); }
    void record(std::string call) { calls.push_back(std::move(call)); }

    std::vector<SourceTrack> trackList;
    TracksChange tracksChange;
    std::optional<Uuid> selected;
    std::optional<Uuid> current;
    State playerState = State::stopped;
    int64_t frame = 0;
    int64_t length = 0;
    std::optional<std::string> error;
    float volumeLevel = 0.8f;
    MeterBallistics::Pair meters;

    std::vector<std::string> calls;
};

}  // namespace norvo::test
