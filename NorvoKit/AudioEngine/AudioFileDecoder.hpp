#pragma once
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

namespace norvo {

// Decodes an audio file (MP3, WAV, AIFF, M4A, FLAC, CAF) into 44100 Hz float stereo.
// Mono plays at full level on both sides; more channels are mixed down to stereo.
// One decoder belongs to one thread at a time; it allocates, so never on the render thread.
class AudioFileDecoder {
public:
    static constexpr int outputRate = 44100;

    // Opens the file and its audio stream; throws NorvoAudioError (unsupportedFormat)
    // with a sentence a user can read when that fails.
    explicit AudioFileDecoder(const std::filesystem::path& file);
    ~AudioFileDecoder();
    AudioFileDecoder(const AudioFileDecoder&) = delete;
    AudioFileDecoder& operator=(const AudioFileDecoder&) = delete;

    // The file's exact length in 44100 Hz frames (an MP3 is read through its frame
    // headers for it); nothing when it cannot be opened. Opens its own demuxer, so any
    // thread may call it.
    static std::optional<int64_t> probeDuration(const std::filesystem::path& file);
    // The same, giving up (with nothing) as soon as `cancelled` is set.
    static std::optional<int64_t> probeDuration(const std::filesystem::path& file, const std::atomic<bool>* cancelled);

    // Length in 44100 Hz frames as the headers state it, known at once; see isDurationExact.
    int64_t durationFrames() const;
    // False where the headers only estimate (MP3: encoder padding, bitrate guesses;
    // CAF: whole packets of a compressed codec);
    // probeDuration then gives the exact length.
    bool isDurationExact() const;
    int sourceSampleRate() const;
    int sourceChannels() const;

    // The frame the next read delivers.
    int64_t position() const;
    // Positions the decoder exactly at `frame`: seeks shortly before it, then decodes
    // and discards up to it. Throws NorvoAudioError (conversionFailed).
    void seek(int64_t frame);

    // Decodes up to `frames` frames into the two buffers; returns how many were
    // written, fewer only at the end of the file. Throws NorvoAudioError
    // (conversionFailed) when the audio data cannot be decoded at all.
    int read(float* left, float* right, int frames);
    // Every frame of the file has been read.
    bool isAtEnd() const;

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

}  // namespace norvo
