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

// Where a connection's bytes lie in the source; see the definition for which copy wins.
std::optional<std::size_t> locate(const std::string& source, const std::string& bytes, double end);
// Sets `c.position`: the reference frame of its first decoded frame.
void align(Connection& c, const Source& source);

}  // namespace norvo::soak
