#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace norvo {

// A decoded source as the audio core sees it. `pull` runs on the render thread under
// the core's lock and takes only the stream's own lock; it never allocates or blocks
// on decoding. Created, cancelled and destroyed off the render thread and outside the
// core's lock (the source player does it on a worker, as cancelling joins a decoder).
class SourceStream {
public:
    virtual ~SourceStream() = default;

    // Copies up to `frames` frames; returns how many were delivered.
    virtual int pull(int frames, float* left, float* right) = 0;
    // Frames ready to pull now.
    virtual int64_t availableFrames() const = 0;
    // Decoding reached the end and every decoded frame has been pulled.
    virtual bool isDrained() const = 0;
    // Frame of the track that the next pull delivers.
    virtual int64_t position() const = 0;
    // Length of the track in frames.
    virtual int64_t duration() const = 0;
    // Stops the decoder; the stream delivers nothing afterwards.
    virtual void cancel() = 0;
    // Why decoding stopped before the end of the file, as a sentence, when it did.
    virtual std::optional<std::string> decodingError() const { return std::nullopt; }
};

}  // namespace norvo
