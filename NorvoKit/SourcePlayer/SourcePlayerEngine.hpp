#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "AudioEngine/AudioCore.hpp"
#include "AudioEngine/CoreSnapshot.hpp"
#include "AudioEngine/SourceStream.hpp"
#include "AudioEngine/SourceStreamFactory.hpp"
#include "Platform/MainExecutor.hpp"
#include "Platform/Observable.hpp"
#include "Platform/Uuid.hpp"
#include "SourcePlayer/SourceStreamOpener.hpp"
#include "SourcePlayer/SourceTrack.hpp"
#include "SourcePlayer/TrackDurationProbe.hpp"

namespace norvo {

// The DA-2 player: a track list, a selection and one loaded track that it plays through
// the audio core. Used on the main thread only, where every operation returns at once;
// each operation that changes anything tells the observers once. Every play or seek
// opens a new decoded stream on a worker (the newest request wins) and installs it in
// the core under the core's lock when it is ready; the state, position and length are
// published at once. A replaced stream is taken out of the core at once and cancelled
// and freed on the worker.
class SourcePlayerEngine final : public Observable {
public:
    enum class State { stopped, playing, paused };

    // Which rows of `tracks` the latest announced change of the list touched, so that a
    // view can redraw those alone: rows before `firstRow` are as they were, and when the
    // count is unchanged, so are the rows from `endRow` on. It describes the step from
    // `fromRevision` to `revision`; a view that last saw another revision redraws all.
    struct TracksChange {
        uint64_t fromRevision = 0;
        uint64_t revision = 0;
        std::size_t firstRow = 0;
        std::size_t endRow = 0;
        bool operator==(const TracksChange&) const = default;
    };

    // More than 3 s played: previous() restarts the track instead of going back.
    static constexpr int64_t restartThreshold = 132301;
    static constexpr float initialVolume = 0.8f;

    SourcePlayerEngine(AudioCore& core, SourceStreamFactory& factory, MainExecutor& executor);
    ~SourcePlayerEngine() override;

    const std::vector<SourceTrack>& tracks() const { return tracks_; }
    // What the latest announced change of `tracks` (added, removed, moved, measured) touched.
    const TracksChange& lastTracksChange() const { return tracksChange_; }
    const std::optional<Uuid>& selection() const { return selection_; }
    // The list's single selection writes it; any id (or none) is taken as given.
    void setSelection(std::optional<Uuid> id);
    const std::optional<Uuid>& currentTrackID() const { return currentTrackID_; }
    State state() const { return state_; }
    int64_t position() const { return position_; }
    int64_t duration() const { return duration_; }
    // The failure of one track: it goes when another track is chosen or starts, when a
    // stream opens, and with its track.
    const std::optional<std::string>& lastError() const { return lastError_; }
    float volume() const { return volume_; }
    // Stored as given and written as the core's source volume.
    void setVolume(float volume);

    // The track in the list whose id is currentTrackID.
    std::optional<SourceTrack> currentTrack() const;
    // A play or seek is waiting for its stream to open.
    bool isOpeningStream() const { return pending_.has_value(); }

    static bool isSupported(const std::filesystem::path& url);

    void add(const std::vector<std::filesystem::path>& urls);
    void togglePlayPause();
    void stop();
    void next();
    void previous();
    void seek(int64_t frame);
    void play(const Uuid& id);
    void remove(const std::set<Uuid>& ids);
    // A list's drag of rows: `toOffset` counts positions before the move.
    void move(const std::set<std::size_t>& fromOffsets, std::size_t toOffset);
    // The per-tick update from the core's snapshot.
    void poll(const CoreSnapshot& snapshot);

private:
    using TrackIndex = std::optional<std::size_t>;
    // Whether a started track becomes the selection.
    enum class Selection { moves, stays };

    TrackIndex indexOf(const std::optional<Uuid>& id) const;
    // The current track when it is in the list, else the selected one.
    TrackIndex referenceTrack() const;
    // Opens the track at `frame`; on failure reports it and leaves the player stopped.
    // A started track becomes the selection too, so that stop and play again go on
    // from it; a seek leaves the user's selection alone.
    void start(std::size_t index, int64_t frame, State target, Selection selection);
    void streamOpened(SourceStreamOpener::Result result);
    // Takes the stream out of the core and drops any stream still opening.
    void dropStream();
    // Makes the track current and selected at position 0 without a stream.
    void cue(std::size_t index);
    void installStream(std::unique_ptr<SourceStream> stream, AudioCore::SourceState state);
    void setCorePlaying(bool playing);
    void advanceAfterEnd();
    void applyDurations(std::vector<TrackDurationProbe::Measured> lengths);
    void reportError(const Uuid& track, const std::string& title, const std::string& reason);
    // Another track than the failed one was chosen: its report goes.
    void dropErrorUnlessOf(const Uuid& track);
    void dropError();
    // Notes rows [first, end) of `tracks` as changed for the next announcement.
    void touchRows(std::size_t first, std::size_t end);

    template <typename T>
    void update(T& field, T value) {
        if (field != value) {
            field = std::move(value);
            changed_ = true;
        }
    }
    void announce();

    AudioCore& core_;

    std::vector<SourceTrack> tracks_;
    std::optional<Uuid> selection_;
    std::optional<Uuid> currentTrackID_;
    State state_ = State::stopped;
    int64_t position_ = 0;
    int64_t duration_ = 0;
    std::optional<std::string> lastError_;
    std::optional<Uuid> lastErrorTrackID_;  // the track lastError_ belongs to
    float volume_ = initialVolume;

    std::unique_ptr<SourceStream> stream_;  // the one installed in the core, if any
    struct PendingStart {
        uint64_t ticket = 0;
        Uuid trackID;
        std::string title;
    };
    std::optional<PendingStart> pending_;  // the stream being opened for the newest play or seek
    uint64_t nextTicket_ = 0;
    bool decodingErrorReported_ = false;  // for stream_
    uint64_t seenSourceEndCount_ = 0;
    uint64_t seenAutoPauseCount_ = 0;
    bool changed_ = false;
    TracksChange tracksChange_;
    std::optional<std::pair<std::size_t, std::size_t>> touchedRows_;  // since the last announcement

    // Destroyed before everything above, so no stream or length arrives at a
    // half-destroyed engine.
    SourceStreamOpener opener_;
    TrackDurationProbe probe_;
};

}  // namespace norvo
