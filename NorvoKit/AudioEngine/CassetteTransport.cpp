#include "AudioEngine/CassetteTransport.hpp"

#include <algorithm>
#include <cmath>

#include "AudioEngine/TapeClock.hpp"

namespace norvo {

int64_t CassetteTransport::sideEnd() const { return cassette ? cassette->type.sideFrames() : 0; }

bool CassetteTransport::headSideProtected() const { return cassette && cassette->isProtected(cassette->side); }

void CassetteTransport::load(const Cassette& loaded, int64_t headFrame) {
    cassette = loaded;
    mode = TransportMode::stopped;
    clearWind();
    head = std::clamp<int64_t>(headFrame, 0, sideEnd());
}

void CassetteTransport::eject() {
    cassette.reset();
    mode = TransportMode::stopped;
    head = 0;
    clearWind();
}

void CassetteTransport::clearWind() {
    windSpeed = 0;
    windRemainder = 0;
    resumeAfterWind = false;
}

bool CassetteTransport::handle(TransportCommand command) {
    if (command == TransportCommand::stop) {
        mode = TransportMode::stopped;
        clearWind();
        return true;
    }
    if (!cassette) return false;

    const int64_t end = sideEnd();
    switch (command) {
    case TransportCommand::stop: return true;  // handled above

    case TransportCommand::play:
        if (mode == TransportMode::playing) return true;
        if (isRecordingOrArmed(mode)) return false;
        if (mode == TransportMode::stopped && head >= end) return false;
        mode = TransportMode::playing;
        clearWind();
        return true;

    case TransportCommand::record:
        if (recordingLocked || headSideProtected() || head >= end || isWinding(mode)) return false;
        if (mode == TransportMode::stopped || mode == TransportMode::playing) mode = TransportMode::recordArmed;
        return true;

    case TransportCommand::beginFastForward:
    case TransportCommand::beginRewind: {
        const bool forward = command == TransportCommand::beginFastForward;
        if (isRecordingOrArmed(mode)) return false;
        if (forward ? head >= end : head <= 0) return false;
        // Switching direction keeps whether play resumes afterwards.
        if (!isWinding(mode)) resumeAfterWind = mode == TransportMode::playing;
        mode = forward ? TransportMode::fastForward : TransportMode::rewinding;
        windSpeed = initialWindSpeed;
        windRemainder = 0;
        return true;
    }

    case TransportCommand::endWind: {
        if (!isWinding(mode)) return false;
        const bool resume = resumeAfterWind && head < end;
        mode = resume ? TransportMode::playing : TransportMode::stopped;
        clearWind();
        return true;
    }

    case TransportCommand::flip:
        mode = TransportMode::stopped;
        clearWind();
        cassette->side = other(cassette->side);
        // The tape stays where it is: what was played of one side is still to come on the other.
        head = std::clamp<int64_t>(end - head, 0, end);
        return true;
    }
    return false;
}

void CassetteTransport::advance(int64_t frames) {
    if (!cassette || frames <= 0) return;
    const int64_t end = sideEnd();

    if (mode == TransportMode::playing || mode == TransportMode::recording) {
        head = std::min(head + frames, end);
        if (head >= end) {
            mode = TransportMode::stopped;
            clearWind();
        }
        return;
    }
    if (!isWinding(mode)) return;

    const double travel = static_cast<double>(frames) * windSpeed + windRemainder;
    const double whole = std::floor(travel);
    windRemainder = travel - whole;
    const auto step = static_cast<int64_t>(whole);
    const bool forward = mode == TransportMode::fastForward;
    const int64_t target = forward ? head + step : head - step;
    if (forward ? target >= end : target <= 0) {
        head = std::clamp<int64_t>(target, 0, end);
        mode = TransportMode::stopped;
        clearWind();
        return;
    }
    head = target;
    windSpeed =
        std::min(maximumWindSpeed, windSpeed + windAcceleration * static_cast<double>(frames) / TapeClock::sampleRate);
}

void CassetteTransport::setProtected(TapeSide side, bool isProtected) {
    if (!cassette) return;
    (side == TapeSide::a ? cassette->protectedA : cassette->protectedB) = isProtected;
    if (isProtected && side == cassette->side && isRecordingOrArmed(mode)) {
        mode = TransportMode::stopped;
        clearWind();
    }
}

}  // namespace norvo
