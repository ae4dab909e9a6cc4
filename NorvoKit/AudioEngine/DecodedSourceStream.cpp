#include "AudioEngine/DecodedSourceStream.hpp"

#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "AudioEngine/AudioFileDecoder.hpp"
#include "AudioEngine/NorvoAudioError.hpp"

namespace norvo {

namespace {

constexpr int chunkFrames = 4096;
constexpr std::size_t refineAfter = AudioFileDecoder::outputRate;
constexpr auto shortestRest = std::chrono::milliseconds(5);
constexpr auto longestRest = std::chrono::milliseconds(250);

void nameThread(std::thread& thread) {
    char name[16] = {};
    const std::string full = DecodedSourceStream::decoderThreadName;
    full.copy(name, sizeof name - 1);
    pthread_setname_np(thread.native_handle(), name);
}

}  // namespace

DecodedSourceStream::DecodedSourceStream(const std::filesystem::path& file, int64_t startFrame, double ringSeconds,
                                         std::optional<int64_t> measuredFrames)
    : file_(file),
      decoder_(std::make_unique<AudioFileDecoder>(file)),
      chunkLeft_(chunkFrames),
      chunkRight_(chunkFrames) {
    duration_.store(measuredFrames.value_or(decoder_->durationFrames()), std::memory_order_release);
    durationPending_ = !measuredFrames && !decoder_->isDurationExact();
    startFrame = std::max<int64_t>(0, startFrame);
    if (startFrame > 0) decoder_->seek(startFrame);
    position_ = startFrame;

    const auto capacity =
        std::max<std::size_t>(2 * chunkFrames, std::size_t(std::llround(ringSeconds * AudioFileDecoder::outputRate)));
    ringLeft_.assign(capacity, 0.0f);
    ringRight_.assign(capacity, 0.0f);
    ring_.capacity = capacity;
    ring_.left = ringLeft_.data();
    ring_.right = ringRight_.data();

    // The first chunk decodes here, so a file that opens but cannot be decoded fails
    // the caller rather than going silent.
    decodeChunk();
    if (error_) throw NorvoAudioError::conversionFailed(*error_);
    if (!ended_) {
        thread_ = std::thread([this] { run(); });
        // Named from here, so the name is in place before anyone can look.
        nameThread(thread_);
    }
}

DecodedSourceStream::~DecodedSourceStream() { cancel(); }

void DecodedSourceStream::cancel() {
    {
        std::lock_guard guard(controlMutex_);
        cancelled_.store(true, std::memory_order_release);
    }
    decoderWake_.notify_all();
    framesReady_.notify_all();
    if (thread_.joinable()) thread_.join();
}

int DecodedSourceStream::pull(int frames, float* left, float* right) {
    if (frames <= 0 || cancelled_.load(std::memory_order_acquire)) return 0;
    std::lock_guard guard(ringLock_);
    const auto delivered = ring_.read(left, right, std::size_t(frames));
    position_ += int64_t(delivered);
    return int(delivered);
}

int64_t DecodedSourceStream::availableFrames() const {
    if (cancelled_.load(std::memory_order_acquire)) return 0;
    std::lock_guard guard(ringLock_);
    return int64_t(ring_.count);
}

bool DecodedSourceStream::isDrained() const {
    std::lock_guard guard(ringLock_);
    return ended_ && ring_.count == 0;
}

int64_t DecodedSourceStream::position() const {
    std::lock_guard guard(ringLock_);
    return position_;
}

std::optional<std::string> DecodedSourceStream::decodingError() const {
    std::lock_guard guard(controlMutex_);
    if (!error_) return std::nullopt;
    return std::string(NorvoAudioError::conversionFailed(*error_).what());
}

bool DecodedSourceStream::waitForFrames(int64_t frames, std::chrono::milliseconds timeout) {
    frames = std::min(frames, capacity());
    const auto ready = [&] {
        if (cancelled_.load(std::memory_order_acquire)) return true;
        std::lock_guard guard(ringLock_);
        return ended_ || int64_t(ring_.count) >= frames;
    };
    std::unique_lock lock(controlMutex_);
    // Someone is waiting, so the decoder should not rest out its interval.
    wakeRequested_ = true;
    decoderWake_.notify_all();
    return framesReady_.wait_for(lock, timeout, ready);
}

bool DecodedSourceStream::decodeChunk() {
    std::size_t space = 0;
    {
        std::lock_guard guard(ringLock_);
        space = ring_.space();
    }
    const int wanted = int(std::min<std::size_t>(space, chunkFrames));
    int decoded = 0;
    bool atEnd = false;
    try {
        decoded = decoder_->read(chunkLeft_.data(), chunkRight_.data(), wanted);
        atEnd = decoder_->isAtEnd();
        // Some containers state their length only roughly (or the file was cut short).
        if (atEnd) {
            duration_.store(decoder_->position(), std::memory_order_release);
            durationPending_ = false;
        }
    } catch (const NorvoAudioError& failure) {
        std::lock_guard guard(controlMutex_);
        error_ = failure.detail();
        atEnd = true;
    }
    {
        // Held only for the copy: the render may be waiting on this lock.
        std::lock_guard guard(ringLock_);
        ring_.write(chunkLeft_.data(), chunkRight_.data(), std::size_t(decoded));
        ended_ = atEnd;
    }
    return !atEnd;
}

void DecodedSourceStream::run() {
    // Between bursts the thread rests while the render drains the ring; a quarter of the
    // ring's length leaves ample margin.
    const auto rest = std::clamp(std::chrono::milliseconds(capacity() * 250 / AudioFileDecoder::outputRate),
                                 shortestRest, longestRest);
    for (;;) {
        if (cancelled_.load(std::memory_order_acquire)) return;
        std::size_t space = 0;
        {
            std::lock_guard guard(ringLock_);
            space = ring_.space();
        }
        if (durationPending_ && ring_.capacity - space >= std::min<std::size_t>(ring_.capacity / 2, refineAfter)) {
            // Reading an MP3 through for its exact length takes a while; with a second
            // of audio in hand the render can wait for it.
            // Interruptible, so cancelling (and the player's stop) never waits for a scan.
            const auto exact = AudioFileDecoder::probeDuration(file_, &cancelled_);
            if (exact && durationPending_) duration_.store(*exact, std::memory_order_release);
            durationPending_ = false;
            continue;
        }
        if (space > 0) {
            const bool more = decodeChunk();
            {
                // Taken so that a waiter between its check and its wait cannot miss the notify.
                std::lock_guard guard(controlMutex_);
            }
            framesReady_.notify_all();
            if (!more) return;
            continue;
        }
        std::unique_lock lock(controlMutex_);
        decoderWake_.wait_for(lock, rest, [&] { return cancelled_.load(std::memory_order_acquire) || wakeRequested_; });
        wakeRequested_ = false;
    }
}

}  // namespace norvo
