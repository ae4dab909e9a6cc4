#include "DeckReadout.hpp"

#include <algorithm>
#include <cmath>

#include "AudioEngine/ReelGeometry.hpp"
#include "AudioEngine/TapeClock.hpp"
#include "StudioModel/FormatTapeTime.hpp"

namespace norvo {

namespace {

// A fraction of the tape map's width; a head or a high-water mark beyond the side
// would otherwise draw outside the strip.
double stripFraction(double frames, double total) {
    const double fraction = frames / total;
    if (!std::isfinite(fraction)) return fraction > 0 ? 1.0 : 0.0;
    return std::clamp(fraction, 0.0, 1.0);
}

}  // namespace

QString DeckReadout::counterText(const std::optional<CassetteType>& type, int64_t head, double counterOffset) {
    if (!type) return QStringLiteral("---");
    const double difference = std::floor(ReelGeometry{*type}.turns(head) - counterOffset);
    // A broken offset must not turn into an undefined conversion.
    const int64_t n = std::isfinite(difference) && std::abs(difference) < 1e15 ? static_cast<int64_t>(difference) : 0;
    int64_t r = n % 1000;
    if (r < 0) r += 1000;
    return QString::asprintf("%03d", static_cast<int>(r));
}

QString DeckReadout::statusText(const CassetteTransport& transport, DeckInput input) {
    if (!transport.cassette) return QStringLiteral("NO CASSETTE");
    const bool tuner = input == DeckInput::tuner;
    switch (transport.mode) {
    case TransportMode::stopped: {
        const int64_t remaining =
            TapeClock::frames(static_cast<double>(transport.cassette->type.sideSeconds)) - transport.head;
        if (remaining <= 0) return QStringLiteral("■ END OF SIDE — FLIP CASSETTE");
        if (transport.head == 0) return QStringLiteral("■ STOP  ·  BEGINNING OF SIDE");
        return QStringLiteral("■ STOP");
    }
    case TransportMode::playing: return QStringLiteral("▶ PLAY");
    case TransportMode::recordArmed:
        return tuner ? QStringLiteral("● REC PAUSE — WAITING FOR TUNER")
                     : QStringLiteral("● REC PAUSE — WAITING FOR CD");
    case TransportMode::recording:
        return tuner ? QStringLiteral("● RECORDING · TUNER") : QStringLiteral("● RECORDING · CD");
    case TransportMode::fastForward:
        return QStringLiteral("▶▶ FAST FORWARD  ×") + QString::asprintf("%.0f", transport.windSpeed);
    case TransportMode::rewinding:
        return QStringLiteral("◀◀ REWIND  ×") + QString::asprintf("%.0f", transport.windSpeed);
    }
    return {};
}

bool DeckReadout::blinkPhase(double secondsSince1970) {
    const double halves = std::floor(secondsSince1970 * 2.0);
    return std::fmod(halves, 2.0) == 0.0;
}

QString DeckReadout::tabBadgeText(WriteProtect state) {
    switch (state) {
    case WriteProtect::broken: return QStringLiteral("PROTECTED");
    case WriteProtect::tapedOver: return QStringLiteral("TAPED OVER");
    case WriteProtect::intact: return {};
    }
    return {};
}

QString DeckReadout::tabHelpText(WriteProtect state) {
    switch (state) {
    case WriteProtect::intact: return QStringLiteral("Tab intact");
    case WriteProtect::broken: return QStringLiteral("Tab broken off");
    case WriteProtect::tapedOver: return QStringLiteral("Taped over");
    }
    return {};
}

QString DeckReadout::tabMenuText(TapeSide side, WriteProtect state) {
    QString action;
    switch (state) {
    case WriteProtect::intact: action = QStringLiteral("Break off record tab"); break;
    case WriteProtect::broken: action = QStringLiteral("Cover tab hole with tape"); break;
    case WriteProtect::tapedOver: action = QStringLiteral("Remove the tape"); break;
    }
    return QStringLiteral("Side ") + QString::fromStdString(letter(side)) + QStringLiteral(": ") + action;
}

DeckReadout DeckReadout::make(const Inputs& in) {
    DeckReadout r;
    const CassetteTransport& t = in.transport;
    const TransportMode mode = t.mode;
    r.cassetteLoaded = t.cassette.has_value();
    r.documentPresent = in.documentType.has_value();

    r.counter = counterText(in.documentType, t.head, in.counterOffset);
    r.status = statusText(t, in.deckInput);
    if (in.outputLost) r.soundNote = QStringLiteral("NO SOUND");
    if (r.cassetteLoaded && isRecordingOrArmed(mode)) r.statusTint = Tint::red;
    else if (r.cassetteLoaded && mode == TransportMode::playing) r.statusTint = Tint::green;

    r.sideALit = r.cassetteLoaded && t.cassette->side == TapeSide::a;
    r.sideBLit = r.cassetteLoaded && t.cassette->side == TapeSide::b;

    double total = 1.0;
    if (r.cassetteLoaded) {
        const int64_t sideFrames = TapeClock::frames(static_cast<double>(t.cassette->type.sideSeconds));
        r.time = formatTapeTime(t.head);
        r.remain = QStringLiteral("-") + formatTapeTime(std::max<int64_t>(0, sideFrames - t.head));
        total = std::max(1.0, static_cast<double>(sideFrames));
    } else {
        r.time = QStringLiteral("-:--");
        r.remain = QStringLiteral("-:--");
    }
    r.tape = in.documentType ? QString::fromStdString(in.documentType->description()) : QStringLiteral("---");

    r.recLamp = mode == TransportMode::recording || (mode == TransportMode::recordArmed && in.blinkOn);
    r.tapeRunLamp = mode == TransportMode::playing || mode == TransportMode::recording ||
                    mode == TransportMode::fastForward || mode == TransportMode::rewinding;

    if (r.cassetteLoaded) {
        r.recordedFraction = in.usedOnSide ? stripFraction(static_cast<double>(*in.usedOnSide), total) : 0.0;
        r.headFraction = stripFraction(static_cast<double>(t.head), total);
    }

    r.recLatched = isRecordingOrArmed(mode);
    r.playLatched = mode == TransportMode::playing || mode == TransportMode::recording;
    r.rewindLatched = mode == TransportMode::rewinding;
    r.forwardLatched = mode == TransportMode::fastForward;

    if (r.documentPresent && r.cassetteLoaded) {
        r.tab = t.cassette->side == TapeSide::a ? in.tabA : in.tabB;
    }
    return r;
}

}  // namespace norvo
