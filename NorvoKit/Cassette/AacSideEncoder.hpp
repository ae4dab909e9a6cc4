#pragma once
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>

namespace norvo {

// Encodes a side's raw frames (interleaved 16-bit stereo, 44.1 kHz) to AAC-LC in an
// MP4 (.m4a) file with FFmpeg's native encoder. The encoder's priming is recorded in
// the file's edit list, so a decoder that honours it gets the frames back in place.
struct AacSideEncoder {
    static constexpr int64_t bitRate = 256000;

    // Throws NorvoAudioError (conversionFailed) with FFmpeg's reason when encoding fails,
    // CassetteFileError when `file` cannot be written (noSpace when its disk is full);
    // `progress` receives the frames encoded so far; `cancelled` stops the work early
    // (with an error) when it becomes true.
    static void encode(const int16_t* frames, int64_t count, const std::filesystem::path& file,
                       const std::function<void(int64_t)>& progress = {}, const std::atomic<bool>* cancelled = nullptr);
};

}  // namespace norvo
