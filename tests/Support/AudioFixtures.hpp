#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace norvo::test {

// Audio files made at test time with the ffmpeg command-line tool. The container
// follows the path's extension (wav, mp3, flac, aif/aiff, m4a, caf); an empty codec
// argument list picks the usual codec for it (16-bit PCM, LAME 192k, FLAC, ALAC in m4a).
// Every function throws std::runtime_error carrying ffmpeg's message when it fails.

// Exactly how many frames a generated file of `seconds` holds at `sampleRate`.
int64_t generatedFrames(double seconds, int sampleRate);

// Sine tones at `amplitude` (1 = full scale): channel 0 at frequencyLeft, channel 1 at
// frequencyRight, any further channels silent. A mono file carries frequencyLeft.
void generateTone(const std::filesystem::path& path, double seconds, double frequencyLeft, double frequencyRight,
                  int sampleRate = 44100, int channels = 2, const std::vector<std::string>& codecArgs = {},
                  double amplitude = 0.5);

// Deterministic white noise, a different sequence per channel: good for finding the
// exact alignment of two decodes.
void generateNoise(const std::filesystem::path& path, double seconds, int sampleRate = 44100, int channels = 2,
                   const std::vector<std::string>& codecArgs = {}, double amplitude = 0.5);

// One ffmpeg "aevalsrc" expression per channel (variable t is the time in seconds).
void generateSignal(const std::filesystem::path& path, const std::vector<std::string>& channelExpressions,
                    double seconds, int sampleRate = 44100, const std::vector<std::string>& codecArgs = {});

// The codec arguments generateSignal uses for a path's extension.
std::vector<std::string> defaultCodecArgs(const std::filesystem::path& path);

// Cuts a file down to its first `bytes` bytes.
void truncateFile(const std::filesystem::path& path, std::uintmax_t bytes);

// Runs ffmpeg with these arguments (quiet, no prompts); throws with its message on failure.
void runFFmpeg(const std::vector<std::string>& arguments);

struct StereoSamples {
    std::vector<float> left;
    std::vector<float> right;
    std::size_t frames() const { return left.size(); }
};

// The file as ffmpeg itself decodes it to 44100 Hz stereo float.
StereoSamples decodeWithFFmpeg(const std::filesystem::path& path);

}  // namespace norvo::test
