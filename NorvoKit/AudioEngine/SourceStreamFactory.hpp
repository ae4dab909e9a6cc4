#pragma once
#include <atomic>
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

    // A new stream positioned exactly at `startFrame`, its decoder running. With
    // `measuredFrames` (what probeDuration found) the stream does not measure the file
    // again. Any thread; it may take a while. Throws NorvoAudioError when the file
    // cannot be opened or decoded.
    virtual std::unique_ptr<SourceStream> open(const std::filesystem::path& file, int64_t startFrame,
                                               std::optional<int64_t> measuredFrames = std::nullopt) = 0;
    // The file's length in frames at 44100 Hz; safe to call from any thread. Gives up
    // with nothing once `cancelled` is set.
    virtual std::optional<int64_t> probeDuration(const std::filesystem::path& file,
                                                 const std::atomic<bool>* cancelled = nullptr) = 0;
};

}  // namespace norvo
