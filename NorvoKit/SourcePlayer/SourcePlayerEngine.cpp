#include "SourcePlayer/SourcePlayerEngine.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <exception>
#include <string_view>

#include "AudioEngine/NorvoAudioError.hpp"
#include "Platform/Locale.hpp"
#include "Platform/ShownName.hpp"

namespace norvo {

SourcePlayerEngine::SourcePlayerEngine(AudioCore& core, SourceStreamFactory& factory, MainExecutor& executor)
    : core_(core),
      opener_(factory, executor, [this](SourceStreamOpener::Result result) { streamOpened(std::move(result)); }),
      probe_(factory, executor,
             [this](std::vector<TrackDurationProbe::Measured> lengths) { applyDurations(std::move(lengths)); }) {
    core_.setSourceVolume(volume_);
}

SourcePlayerEngine::~SourcePlayerEngine() {
    // The core must never see a stream that is gone.
    dropStream();
}

void SourcePlayerEngine::setSelection(std::optional<Uuid> id) {
    if (id) dropErrorUnlessOf(*id);
    update(selection_, std::move(id));
    announce();
}

void SourcePlayerEngine::setVolume(float volume) {
    core_.setSourceVolume(volume);
    // Compared bit for bit so that a NaN written twice is not announced twice.
    if (std::bit_cast<uint32_t>(volume_) != std::bit_cast<uint32_t>(volume)) {
        volume_ = volume;
        changed_ = true;
    }
    announce();
}

std::optional<SourceTrack> SourcePlayerEngine::currentTrack() const {
    if (auto index = indexOf(currentTrackID_)) return tracks_[*index];
    return std::nullopt;
}

bool SourcePlayerEngine::isSupported(const std::filesystem::path& url) {
    static constexpr std::array<std::string_view, 8> extensions = {"mp3",  "wav", "wave", "aif",
                                                                   "aiff", "m4a", "flac", "caf"};
    std::string extension = url.extension().string();
    if (extension.empty()) return false;
    extension.erase(0, 1);  // the dot
    // ASCII lower-casing: a locale must not turn "WAV" into anything but "wav".
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

void SourcePlayerEngine::add(const std::vector<std::filesystem::path>& urls) {
    std::vector<TrackDurationProbe::Request> requests;
    const std::size_t before = tracks_.size();
    for (const auto& url : urls) {
        if (!isSupported(url)) continue;
        // A name in another encoding than UTF-8 still shows; the file keeps its real path.
        SourceTrack track{Uuid::random(), url, Locale::repairingUtf8(url.stem().string()), std::nullopt};
        requests.push_back({track.id, url});
        tracks_.push_back(std::move(track));
    }
    if (tracks_.size() > before) touchRows(before, tracks_.size());
    if (!selection_ && !requests.empty()) selection_ = requests.front().id;
    announce();
    probe_.measure(std::move(requests));
}

void SourcePlayerEngine::togglePlayPause() {
    if (state_ == State::playing) {
        setCorePlaying(false);
        update(state_, State::paused);
    } else if (state_ == State::paused && (stream_ || pending_)) {
        setCorePlaying(true);
        update(state_, State::playing);
    } else if (!tracks_.empty()) {
        start(indexOf(selection_).value_or(0), 0, State::playing, Selection::moves);
    }
    announce();
}

void SourcePlayerEngine::stop() {
    dropStream();
    update(state_, State::stopped);
    update(position_, int64_t{0});
    announce();
}

void SourcePlayerEngine::next() {
    const TrackIndex reference = referenceTrack();
    if (!reference || *reference + 1 >= tracks_.size()) return;
    if (state_ == State::playing) start(*reference + 1, 0, State::playing, Selection::moves);
    else cue(*reference + 1);
    announce();
}

void SourcePlayerEngine::previous() {
    const TrackIndex reference = referenceTrack();
    if (!reference) return;
    if (position_ >= restartThreshold) {
        seek(0);
        return;
    }
    const std::size_t target = *reference == 0 ? 0 : *reference - 1;
    if (state_ == State::playing) start(target, 0, State::playing, Selection::moves);
    else cue(target);
    announce();
}

void SourcePlayerEngine::seek(int64_t frame) {
    const TrackIndex current = indexOf(currentTrackID_);
    if (!current || state_ == State::stopped) return;
    start(*current, std::clamp<int64_t>(frame, 0, std::max<int64_t>(duration_, 0)), state_, Selection::stays);
    announce();
}

void SourcePlayerEngine::play(const Uuid& id) {
    const TrackIndex index = indexOf(id);
    if (!index) return;
    start(*index, 0, State::playing, Selection::moves);
    announce();
}

void SourcePlayerEngine::remove(const std::set<Uuid>& ids) {
    if (currentTrackID_ && ids.count(*currentTrackID_)) {
        dropStream();
        update(state_, State::stopped);
        update(position_, int64_t{0});
        // The track is gone: its length would be shown under an empty progress bar.
        update(duration_, int64_t{0});
    }
    if (lastErrorTrackID_ && ids.count(*lastErrorTrackID_)) dropError();
    const auto gone = [&](const SourceTrack& track) { return ids.count(track.id) > 0; };
    const auto first = std::find_if(tracks_.begin(), tracks_.end(), gone);
    if (first != tracks_.end()) {
        touchRows(static_cast<std::size_t>(first - tracks_.begin()), tracks_.size());
        std::erase_if(tracks_, gone);
    }
    if (selection_ && ids.count(*selection_)) {
        update(selection_, tracks_.empty() ? std::optional<Uuid>() : std::optional<Uuid>(tracks_.front().id));
    }
    announce();
}

void SourcePlayerEngine::move(const std::set<std::size_t>& fromOffsets, std::size_t toOffset) {
    const std::size_t count = tracks_.size();
    toOffset = std::min(toOffset, count);
    // The new order as old indices: the rows that stay, with the moved rows (in their
    // old order) inserted where the destination lands once they are taken out.
    std::vector<std::size_t> moving;
    std::vector<std::size_t> order;
    std::size_t movedAbove = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (fromOffsets.count(i)) {
            moving.push_back(i);
            if (i < toOffset) ++movedAbove;
        } else {
            order.push_back(i);
        }
    }
    order.insert(order.begin() + static_cast<std::ptrdiff_t>(toOffset - movedAbove), moving.begin(), moving.end());

    std::vector<SourceTrack> reordered;
    reordered.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (order[i] != i) touchRows(i, i + 1);
        reordered.push_back(std::move(tracks_[order[i]]));
    }
    tracks_ = std::move(reordered);
    announce();
}

void SourcePlayerEngine::poll(const CoreSnapshot& snapshot) {
    if (stream_ && snapshot.sourceLoaded) {
        update(position_, snapshot.sourcePosition);
        // The stream's length is the measured one as soon as that is known (and at the
        // end the length decoded), not the headers' first estimate.
        if (snapshot.sourceDuration > 0) update(duration_, snapshot.sourceDuration);
    }
    if (stream_ && !decodingErrorReported_) {
        if (auto failure = stream_->decodingError()) {
            decodingErrorReported_ = true;
            const TrackIndex current = indexOf(currentTrackID_);
            if (current) reportError(tracks_[*current].id, tracks_[*current].title, *failure);
        }
    }

    const bool autoPaused = snapshot.autoPauseCount != seenAutoPauseCount_;
    const bool ended = snapshot.sourceEndCount != seenSourceEndCount_;
    seenAutoPauseCount_ = snapshot.autoPauseCount;
    seenSourceEndCount_ = snapshot.sourceEndCount;

    if (autoPaused && state_ == State::playing) {
        setCorePlaying(false);
        update(state_, State::paused);
    }
    // An end counted for a stream that was replaced before this tick (next, seek, play)
    // belongs to nobody: only a drained stream of ours advances the list.
    if (ended && state_ == State::playing && stream_ && stream_->isDrained()) {
        advanceAfterEnd();
        // The rest of the snapshot describes the finished stream.
        announce();
        return;
    }
    if (state_ == State::playing && snapshot.sourceLoaded && !snapshot.sourcePlaying) update(state_, State::paused);
    announce();
}

SourcePlayerEngine::TrackIndex SourcePlayerEngine::indexOf(const std::optional<Uuid>& id) const {
    if (!id) return std::nullopt;
    for (std::size_t i = 0; i < tracks_.size(); ++i)
        if (tracks_[i].id == *id) return i;
    return std::nullopt;
}

SourcePlayerEngine::TrackIndex SourcePlayerEngine::referenceTrack() const {
    if (auto current = indexOf(currentTrackID_)) return current;
    return indexOf(selection_);
}

void SourcePlayerEngine::start(std::size_t index, int64_t frame, State target, Selection selection) {
    const SourceTrack& track = tracks_[index];
    const bool sameTrack = currentTrackID_ == track.id;
    dropErrorUnlessOf(track.id);
    update(currentTrackID_, std::optional<Uuid>(track.id));
    if (selection == Selection::moves) update(selection_, std::optional<Uuid>(track.id));

    // The old stream leaves the core now; the new one is installed once it is open.
    installStream(nullptr, AudioCore::SourceState::stopped);
    const uint64_t ticket = ++nextTicket_;
    pending_ = PendingStart{ticket, track.id, track.title};
    opener_.open({ticket, track.url, frame, track.durationFrames});
    update(state_, target);
    update(position_, frame);
    update(duration_, track.durationFrames.value_or(sameTrack ? duration_ : 0));
}

void SourcePlayerEngine::streamOpened(SourceStreamOpener::Result result) {
    if (!pending_ || result.ticket != pending_->ticket) {
        opener_.retire(std::move(result.stream));
        return;
    }
    const PendingStart started = std::move(*pending_);
    pending_.reset();
    if (!result.stream) {
        reportError(started.trackID, started.title, result.failure);
        update(state_, State::stopped);
        update(position_, int64_t{0});
        // The length shown is this track's, as far as it is known, not the last one played.
        const TrackIndex index = indexOf(started.trackID);
        update(duration_, index ? tracks_[*index].durationFrames.value_or(0) : int64_t{0});
        announce();
        return;
    }
    const int64_t position = result.stream->position();
    const int64_t duration = result.stream->duration();
    // Paused while it opened: it is installed paused.
    installStream(std::move(result.stream),
                  state_ == State::playing ? AudioCore::SourceState::playing : AudioCore::SourceState::stopped);
    decodingErrorReported_ = false;
    dropError();
    update(position_, position);
    update(duration_, duration);
    announce();
}

void SourcePlayerEngine::cue(std::size_t index) {
    const SourceTrack& track = tracks_[index];
    dropStream();
    dropErrorUnlessOf(track.id);
    update(currentTrackID_, std::optional<Uuid>(track.id));
    update(selection_, std::optional<Uuid>(track.id));
    update(position_, int64_t{0});
    update(duration_, track.durationFrames.value_or(0));
}

void SourcePlayerEngine::installStream(std::unique_ptr<SourceStream> stream, AudioCore::SourceState state) {
    if (!stream && !stream_) return;
    std::unique_ptr<SourceStream> replaced = std::move(stream_);
    stream_ = std::move(stream);
    // One call: a render sees either the old stream or the new one, never a mix.
    core_.installSourceStream(stream_.get(), stream_ ? state : AudioCore::SourceState::stopped);
    // Stopping the decoder (a join) and freeing the stream happen on the worker, out of the lock.
    opener_.retire(std::move(replaced));
}

void SourcePlayerEngine::dropStream() {
    installStream(nullptr, AudioCore::SourceState::stopped);
    if (pending_) {
        pending_.reset();
        opener_.abandon();
    }
}

void SourcePlayerEngine::setCorePlaying(bool playing) { core_.setSourcePlaying(playing && stream_); }

void SourcePlayerEngine::advanceAfterEnd() {
    const TrackIndex current = indexOf(currentTrackID_);
    if (current && *current + 1 < tracks_.size()) {
        start(*current + 1, 0, State::playing, Selection::moves);
        return;
    }
    dropStream();
    update(state_, State::stopped);
    update(position_, int64_t{0});
}

void SourcePlayerEngine::applyDurations(std::vector<TrackDurationProbe::Measured> lengths) {
    // One pass over the list for the whole batch. A track may have been removed while its
    // file was measured; its length finds no row.
    std::sort(lengths.begin(), lengths.end(),
              [](const TrackDurationProbe::Measured& a, const TrackDurationProbe::Measured& b) { return a.id < b.id; });
    const auto byID = [](const TrackDurationProbe::Measured& m, const Uuid& id) { return m.id < id; };
    for (std::size_t i = 0; i < tracks_.size(); ++i) {
        SourceTrack& track = tracks_[i];
        const auto found = std::lower_bound(lengths.begin(), lengths.end(), track.id, byID);
        if (found == lengths.end() || found->id != track.id || track.durationFrames == found->frames) continue;
        track.durationFrames = found->frames;
        touchRows(i, i + 1);
        if (currentTrackID_ == track.id && !stream_) update(duration_, found->frames);
    }
    announce();
}

void SourcePlayerEngine::reportError(const Uuid& track, const std::string& title, const std::string& reason) {
    update(lastError_, std::optional<std::string>(Locale::repairingUtf8("Cannot play " + ShownName::inSentence(title) +
                                                                        ": " + reason)));
    update(lastErrorTrackID_, std::optional<Uuid>(track));
}

void SourcePlayerEngine::dropErrorUnlessOf(const Uuid& track) {
    if (lastErrorTrackID_ != track) dropError();
}

void SourcePlayerEngine::dropError() {
    update(lastError_, std::optional<std::string>());
    update(lastErrorTrackID_, std::optional<Uuid>());
}

void SourcePlayerEngine::touchRows(std::size_t first, std::size_t end) {
    touchedRows_ = touchedRows_ ? std::pair(std::min(touchedRows_->first, first), std::max(touchedRows_->second, end))
                                : std::pair(first, end);
    changed_ = true;
}

void SourcePlayerEngine::announce() {
    if (!changed_) return;
    changed_ = false;
    if (touchedRows_) {
        tracksChange_ = {tracksChange_.revision, tracksChange_.revision + 1, touchedRows_->first, touchedRows_->second};
        touchedRows_.reset();
    }
    notifyObservers();
}

}  // namespace norvo
