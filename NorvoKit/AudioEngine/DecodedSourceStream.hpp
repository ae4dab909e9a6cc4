#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AudioEngine/SourceStream.hpp"
#include "AudioEngine/StereoRing.hpp"
#include "AudioEngine/UnfairLock.hpp"

namespace norvo {

class AudioFileDecoder;

// An audio file decoded ahead of the render into a ring of a few seconds by a thread
// of its own. The render pulls from the ring under the stream's small lock, which the
// decoder thread holds only while copying a decoded chunk in. A new stream is opened
// for every play or seek; it is created, cancelled and destroyed off the render thread
// (the source player does it on a worker: opening reads the file, cancelling joins).
class DecodedSourceStream final : public SourceStream {
public:
    // Linux thread names hold 15 bytes; the thread gets this name cut to fit.
    static constexpr const char* decoderThreadName = "Norvo Studio source decoder";
    static constexpr double defaultRingSeconds = 5.0;

    // Opens the file at exactly `startFrame` and starts the decoder thread once the
    // first chunk has decoded. `measuredFrames` is the file's exact length when already
    // known. Throws NorvoAudioError when the file cannot be opened or decoded.
    DecodedSourceStream(const std::filesystem::path& file, int64_t startFrame, double ringSeconds = defaultRingSeconds,
                        std::optional<int64_t> measuredFrames = std::nullopt);
    ~DecodedSourceStream() override;
    DecodedSourceStream(const DecodedSourceStream&) = delete;
    DecodedSourceStream& operator=(const DecodedSourceStream&) = delete;

    int pull(int frames, float* left, float* right) override;
    int64_t availableFrames() const override;
    bool isDrained() const override;
    int64_t position() const override;
    // The headers' length at first; where that is only an estimate the decoder thread
    // soon replaces it with the exact one, and at the end it is the length decoded.
    int64_t duration() const override { return duration_.load(std::memory_order_acquire); }
    void cancel() override;

    int64_t capacity() const { return int64_t(ring_.capacity); }
    // Off the render thread: waits until `frames` frames are ready (at most the ring's
    // capacity), decoding has ended, or the timeout passed; true unless it timed out.
    bool waitForFrames(int64_t frames, std::chrono::milliseconds timeout);
    // Why decoding stopped before the end of the file, as the user's sentence, when it did.
    std::optional<std::string> decodingError() const override;

private:
    void run();
    // Decodes one chunk into the ring; false once decoding has ended.
    bool decodeChunk();

    std::filesystem::path file_;
    std::unique_ptr<AudioFileDecoder> decoder_;
    std::atomic<int64_t> duration_{0};
    bool durationPending_ = false;  // the decoder thread's own

    // Guarded by ringLock_ (the render's side).
    mutable UnfairLock ringLock_;
    std::vector<float> ringLeft_, ringRight_;
    StereoRing ring_;
    int64_t position_ = 0;
    bool ended_ = false;

    std::vector<float> chunkLeft_, chunkRight_;  // the decoder thread's own

    // Guarded by controlMutex_ (main and decoder threads only, never the render).
    mutable std::mutex controlMutex_;
    std::condition_variable decoderWake_;
    std::condition_variable framesReady_;
    std::optional<std::string> error_;
    bool wakeRequested_ = false;

    std::atomic<bool> cancelled_{false};
    std::thread thread_;
};

}  // namespace norvo
