#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace norvo {

// Finds where a reconnected server's burst of recent audio begins in what the stream
// received before, so that the join skips exactly what was heard already.
//
// A server re-sends the same bytes, and a decoder makes the same frames of them once past
// its first few: the true position matches sample for sample. Steady tones, test signals
// and loops match in many places as well as that, and a resampled stream matches nowhere
// exactly. So near where the connections' timing puts the burst, the equal match nearest it
// wins; elsewhere only a match that has no equal; no match lies further back than the reach.
class BurstMatch {
public:
    static constexpr std::size_t guard = 11025;          // first frames a decoder may garble
    static constexpr std::size_t window = 44100;         // frames matched
    static constexpr std::size_t minimumWindow = 11025;  // a short overlap's window
    static constexpr std::size_t probeFrames = guard + window;

    // Mono frames received so far, in a ring indexed by stream position modulo `capacity`;
    // the positions [end - min(end, capacity), end) are held.
    struct History {
        const float* samples = nullptr;
        int64_t capacity = 0;
        int64_t end = 0;
    };

    struct Limits {
        // probe[0] lies at most this far before history.end.
        int64_t reach = 0;
        // Where probe[0] should lie by the timing of the connections, and how far off that
        // may be; none: the latest equal match wins.
        std::optional<int64_t> predicted = std::nullopt;
        int64_t tolerance = 0;
    };

    struct Found {
        int64_t origin = 0;  // the stream position of probe[0]
        // How far the nearest other equal match lies from this one; none when it is unique.
        std::optional<int64_t> lookAlike = std::nullopt;
        // Chosen near the prediction; otherwise it has no equal, or there was no prediction.
        bool timed = false;
        // Equal to the sample, as a decoder's own frames are to themselves.
        bool exact = false;
    };

    // Where probe[0], the first frame of the new connection (mono), lies in the stream, or
    // none when nothing trustworthy matches.
    static std::optional<Found> find(const History& history, std::span<const float> probe, Limits limits);
    // Digital silence, which matches nothing.
    static bool silent(std::span<const float> samples);
};

}  // namespace norvo
