#include "PlayerReadout.hpp"

#include <algorithm>
#include <cmath>

#include "PlayerFacade.hpp"
#include "StudioModel/FormatTapeTime.hpp"
#include "StudioModel/ShownText.hpp"

namespace norvo {

PlayerReadout::Inputs PlayerReadout::Inputs::of(const PlayerFacade& player, std::optional<double> scrubbing) {
    Inputs in;
    in.tracks = player.tracks();
    in.selection = player.selection();
    in.currentTrackID = player.currentTrackID();
    in.state = player.state();
    in.position = player.position();
    in.duration = player.duration();
    in.lastError = player.lastError();
    in.scrubbing = scrubbing;
    return in;
}

std::optional<std::size_t> PlayerReadout::indexOf(std::span<const SourceTrack> tracks, const std::optional<Uuid>& id) {
    if (!id) return std::nullopt;
    for (std::size_t i = 0; i < tracks.size(); ++i)
        if (tracks[i].id == *id) return i;
    return std::nullopt;
}

QString PlayerReadout::rowNumber(std::size_t index) {
    return QString::asprintf("%02lld", static_cast<long long>(index + 1));
}

QString PlayerReadout::lengthText(const std::optional<int64_t>& durationFrames) {
    return durationFrames ? formatTapeTime(*durationFrames) : QString();
}

PlayerReadout PlayerReadout::make(const Inputs& in) {
    using State = SourcePlayerEngine::State;
    PlayerReadout r;
    // The current track, else the selection.
    const std::optional<Uuid>& shown = in.currentTrackID ? in.currentTrackID : in.selection;
    const auto shownIndex = indexOf(in.tracks, shown);
    r.trackNumber = shownIndex ? rowNumber(*shownIndex) : QStringLiteral("--");
    r.time = in.state == State::stopped ? QStringLiteral("-:--") : formatTapeTime(in.position);
    r.figuresLit = !in.tracks.empty();

    const auto currentIndex = in.currentTrackID ? shownIndex : std::nullopt;
    if (currentIndex) r.status = ShownText::isolated(in.tracks[*currentIndex].title).toUpper();
    else if (in.tracks.empty()) r.status = QStringLiteral("NO DISC — DROP MP3 / WAV FILES");
    else r.status = QString::number(in.tracks.size()) + QStringLiteral(" TRACKS  ·  READY");
    r.statusLit = currentIndex.has_value() || !in.tracks.empty();

    r.playing = in.state == State::playing;
    r.discDegrees = r.playing ? static_cast<double>(in.position % 44100) / 44100.0 * 360.0 : 0.0;

    r.progressTotal = std::max(static_cast<double>(in.duration), 1.0);
    double fraction = 0;
    if (in.scrubbing) fraction = *in.scrubbing;
    else if (in.state != State::stopped) fraction = static_cast<double>(in.position) / r.progressTotal;
    r.progress = std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
    r.progressEnabled = in.state != State::stopped;
    r.durationText = in.duration > 0 ? formatTapeTime(in.duration) : QString();

    if (in.lastError) r.error = QString::fromStdString(*in.lastError);
    return r;
}

}  // namespace norvo
