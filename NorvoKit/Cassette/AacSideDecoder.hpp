#pragma once
#include <cstdint>
#include <functional>
#include <span>

#include "Cassette/FileData.hpp"

namespace norvo {

// Decodes a side's AAC audio in an MP4 (.m4a) held in memory back into raw frames
// (interleaved 16-bit stereo, 44.1 kHz), honouring the file's edit list so the
// encoder's priming is gone. Only the MP4 demuxer and the AAC decoder ever see the bytes.
struct AacSideDecoder {
    // Writes at most `capacity` frames to `out` and returns how many it wrote. Throws
    // NorvoAudioError (conversionFailed) with the reason when nothing can be decoded.
    static int64_t decode(const FileData& m4a, int16_t* out, int64_t capacity,
                          const std::function<void(int64_t)>& progress = {});
    // The same over bytes the caller keeps alive (a mapped file).
    static int64_t decode(std::span<const uint8_t> m4a, int16_t* out, int64_t capacity,
                          const std::function<void(int64_t)>& progress = {});
};

}  // namespace norvo
