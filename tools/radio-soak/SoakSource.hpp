#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "SoakRecording.hpp"

namespace norvo::soak {

struct CodecFrame {
    std::size_t offset;
    int64_t firstSample;  // at the stream's own rate
};

struct Source {
    std::string bytes;
    std::vector<CodecFrame> frames;
    int sampleRate = 0;
    int samplesPerFrame = 0;
    bool adts = false;
    std::vector<float> left, right;  // decoded by the receiver's decoder, at 44.1 kHz
};

// Reads the file the server was fed, finds its codec frames and decodes it as the receiver
// would. Throws where the file is not MP3 or AAC in ADTS without tags.
Source readSource(const std::filesystem::path& path);

// Every place the bytes lie whole in the source. A tone or a loop may encode to the same
// bytes every few seconds: which copy a connection carried only its timing tells.
std::vector<std::size_t> findAll(const std::string& source, const std::string& bytes);
// The bytes the server had been fed `seconds` after the source went on the air: ffmpeg
// sends each frame once its time has come.
std::size_t liveOffset(const Source& source, double seconds);
// Where the codec frame holding `sample` (at the stream's own rate) ends.
std::size_t frameEnd(const Source& source, int64_t sample);
// Sets `c.position`: the reference frame of its first decoded frame.
void align(Connection& c, const Source& source);

}  // namespace norvo::soak
