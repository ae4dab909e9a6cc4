#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "AudioEngine/SourceStream.hpp"

namespace norvo {

// Opens decoded streams of audio files; the source player takes one so tests can
// hand it fakes.
class SourceStreamFactory {
public:
    virtual ~SourceStreamFactory() = default;

    // A new stream positioned exactly at `startFrame`, its decoder running.
    // Throws NorvoAudioError when the file cannot be opened or decoded.
    virtual std::unique_ptr<SourceStream> open(const std::filesystem::path& file, int64_t startFrame) = 0;
    // The file's length in frames at 44100 Hz; safe to call from any thread.
    virtual std::optional<int64_t> probeDuration(const std::filesystem::path& file) = 0;
};

}  // namespace norvo
