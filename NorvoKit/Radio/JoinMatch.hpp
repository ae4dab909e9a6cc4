#pragma once
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "Radio/BurstMatch.hpp"
#include "Radio/HeldFrames.hpp"

namespace norvo {

// The comparisons a reconnection's join rests on, made from a copy of what the stream
// received and of the new connection's first frames, so that they run off the loop every
// stream shares: where BurstMatch places the burst near the timing and anywhere in its
// reach, and where a sample-by-sample comparison places it near the timing.
class JoinMatch {
public:
    static constexpr int64_t converterDelayFrames = 256;  // more than a sample rate converter holds back
    // The first frames of a connection a decoder may garble, and the converter's delay: its
    // first codec frame (an AAC frame's overlap), however long a low sample rate makes it,
    // and a second as far as garbledFrames (an MP3 frame's reservoir), which leaves a short
    // overlap to compare.
    static constexpr int64_t garbledFrames = 4096;
    static int64_t garbled(double codecFrame) {
        const auto frame = static_cast<int64_t>(std::ceil(codecFrame));
        return std::max(std::min(garbledFrames, 2 * frame + converterDelayFrames), frame + converterDelayFrames);
    }
    // Where BurstMatch cannot place the burst (an overlap too short for it, look-alikes
    // none of which it trusts near the timing), the held frames are compared sample by
    // sample this near the timing, over this many frames at most and at least; a match
    // differs by less than this share of the audio's energy (a resampled connection differs
    // a little everywhere).
    static constexpr double nearTimingSearch = 0.06;
    static constexpr std::size_t nearTimingWindow = 8192;
    static constexpr std::size_t nearTimingShortest = 1024;
    static constexpr double nearTimingError = 0.05;
    static constexpr double nearTimingShare = 8;
    // How far off the timing may be: equal matches are looked for this near where it puts
    // the burst.
    static constexpr double timingTolerance = 0.25;
    static constexpr double frameRate = 44100;
    // The match skips its guard at the probe's start: the probe begins this long before the
    // first held frame (with nothing) or after it, so that the match skips what the decoder
    // garbled and no more.
    static int64_t lead(double codecFrame) { return static_cast<int64_t>(BurstMatch::guard) - garbled(codecFrame); }
    // The held frames the match reads: what the decoder garbled, then its window.
    static std::size_t probeHeld(double codecFrame) {
        return BurstMatch::window + static_cast<std::size_t>(garbled(codecFrame));
    }

    struct Inputs {
        // Mono frames received, the positions [end - ring.size(), end), indexed modulo its
        // size; shared with the stream, which copies it before it writes while it is shared.
        std::shared_ptr<const std::vector<float>> ring;
        int64_t end = 0;
        // The connection's first frames.
        HeldFrames::View held;
        // How far back from `end` the burst may begin.
        int64_t reach = 0;
        // Where the timing puts the first held frame; none: the audio alone places it.
        std::optional<int64_t> predicted;
        int64_t seam = 0;  // where the last joined connection's audio begins
        double codecFrame = 0;
    };

    struct Result {
        std::optional<BurstMatch::Found> found;     // near the timing, or without equals
        std::optional<BurstMatch::Found> anywhere;  // in the reach, not only near the timing
        std::optional<BurstMatch::Found> near;      // sample by sample, near the timing
    };

    // The positions of what was received that the comparisons read, for a reach and a timing.
    static int64_t earliestCompared(int64_t end, int64_t reach, std::optional<int64_t> predicted, double codecFrame);
    // How many of the held frames they read.
    static std::size_t heldCompared(std::size_t held, int64_t earliest, int64_t seam, double codecFrame);

    static Result compute(const Inputs& inputs);
    static std::optional<BurstMatch::Found> burst(const Inputs& inputs, std::optional<int64_t> predicted);
    static std::optional<BurstMatch::Found> nearTiming(const Inputs& inputs, int64_t predicted);
};

}  // namespace norvo
