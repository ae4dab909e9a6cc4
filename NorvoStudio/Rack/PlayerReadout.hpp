#pragma once
#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "Platform/Uuid.hpp"
#include "SourcePlayer/SourcePlayerEngine.hpp"
#include "SourcePlayer/SourceTrack.hpp"

namespace norvo {

class PlayerFacade;

// What the DA-2 display shows, computed from the player's published values
// (and a scrub in progress), so that it can be tested without a window and compared
// between ticks: the face repaints only the parts whose readout changed.
struct PlayerReadout {
    struct Inputs {
        // Borrowed for the moment of make(): the engine's list is never copied, however long.
        std::span<const SourceTrack> tracks;
        std::optional<Uuid> selection;
        std::optional<Uuid> currentTrackID;
        SourcePlayerEngine::State state = SourcePlayerEngine::State::stopped;
        int64_t position = 0;
        int64_t duration = 0;
        std::optional<std::string> lastError;
        std::optional<double> scrubbing;

        static Inputs of(const PlayerFacade& player, std::optional<double> scrubbing);
    };

    QString trackNumber;
    QString time;
    bool figuresLit = false;  // track and time
    QString status;
    bool statusLit = false;
    bool playing = false;  // LINE OUT lamp, lit PLAY/PAUSE key, bright disc
    double discDegrees = 0;
    double progress = 0;  // within 0...1
    bool progressEnabled = false;
    double progressTotal = 1;  // frames a full bar stands for
    QString durationText;
    std::optional<QString> error;

    static PlayerReadout make(const Inputs& in);

    // Where the track `id` stands in `tracks`; nothing without an id or when it is not there.
    static std::optional<std::size_t> indexOf(std::span<const SourceTrack> tracks, const std::optional<Uuid>& id);
    // "01", "100": a list position counted from 1.
    static QString rowNumber(std::size_t index);
    // A row's length column: empty until the engine has measured the file.
    static QString lengthText(const std::optional<int64_t>& durationFrames);

    bool operator==(const PlayerReadout&) const = default;
};

}  // namespace norvo
