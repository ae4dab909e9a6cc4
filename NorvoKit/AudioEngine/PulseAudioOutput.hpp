#pragma once
#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>

#include "AudioEngine/AudioOutput.hpp"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace norvo {

class AudioRenderer;

// Plays through the sound server's own protocol (a PulseAudio server, or PipeWire's that
// speaks it): one stream of 44100 Hz float stereo with a short buffer, whose requests for
// data, on the client library's thread, render the given renderer. A server that pauses
// keeps the stream: it underflows and plays on when the server does. A server that goes
// away ends it, which the renderer is told, as of a device that went away.
class PulseAudioOutput final : public AudioOutput {
public:
    explicit PulseAudioOutput(AudioRenderer& renderer);
    ~PulseAudioOutput() override;
    PulseAudioOutput(const PulseAudioOutput&) = delete;
    PulseAudioOutput& operator=(const PulseAudioOutput&) = delete;

    // Starts the output; does nothing when it runs. Throws std::runtime_error whose
    // what() is a sentence when no server answers within connectTimeout or it refuses the
    // stream.
    void start() override;
    void stop() override;
    // False once stopped, and once the server has gone.
    bool isRunning() const override;
    // The server tells when it goes, so a silence of seconds is a pause, not a loss; and a
    // stream that resumes asks only to fill its buffer again, not for the time it missed,
    // so it plays from its first request.
    std::optional<PauseHandling> pauseHandling() const override {
        return PauseHandling{.settleTime = std::chrono::milliseconds(0), .lossTimeout = std::chrono::seconds(15)};
    }

    enum class Server { answers, silent, none };
    // Whether a server answers a connection (without starting one), and as a stopped
    // server accepts connections without answering them, within `timeout`.
    static Server probe(std::chrono::milliseconds timeout);

    // What the stream asks the server to hold: short, as the server's own thread, not this
    // process, keeps the sound card fed; long enough for a busy machine to answer a request.
    static constexpr std::chrono::milliseconds targetLatency{80};
    static constexpr std::chrono::milliseconds connectTimeout{2000};

private:
    static void contextChanged(pa_context* context, void* user);
    static void streamChanged(pa_stream* stream, void* user);
    static void requested(pa_stream* stream, size_t bytes, void* user);
    static void underflowed(pa_stream* stream, void* user);
    // On the client library's thread when the server or the stream is gone.
    void ended();

    // Run with control_ held.
    void connect();
    void close();

    AudioRenderer& renderer_;

    mutable std::mutex control_;
    bool running_ = false;
    pa_threaded_mainloop* mainloop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;

    // The client library thread's own. The buffers the renderer renders into, made with the
    // output: a request renders them in turn, so that it never allocates.
    static constexpr int chunkFrames = 1024;
    std::array<float, chunkFrames> left_{};
    std::array<float, chunkFrames> right_{};
    bool threadPrepared_ = false;

    std::atomic<bool> ended_{false};
    std::atomic<bool> closing_{false};  // the stream ends because it is being closed here
};

}  // namespace norvo
