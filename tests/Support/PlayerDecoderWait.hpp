#pragma once
#include <chrono>
#include <cstdint>
#include <thread>

#include "AudioEngine/AudioCore.hpp"
#include "AudioEngine/SourceStream.hpp"

namespace norvo::test {

// A real device is slower than a test's render loop: waits (bounded) until the player's
// decoder has `frames` ready in the core, or the player has nothing more to give (no
// stream, paused, drained). Call it from the only thread that replaces the player's
// stream, so the stream outlives the check. Returns whether the frames are there.
inline bool waitForPlayerDecoder(const AudioCore& core, int64_t frames,
                                 std::chrono::steady_clock::duration timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const AudioCore::Inputs inputs = core.inputs();
        const SourceStream* stream = inputs.sourceStream;
        if (!stream || !inputs.sourcePlaying || stream->isDrained() || stream->availableFrames() >= frames) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
}

}  // namespace norvo::test
