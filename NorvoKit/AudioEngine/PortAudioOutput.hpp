#pragma once
#include <atomic>
#include <mutex>

#include "AudioEngine/AudioOutput.hpp"

struct PaStreamCallbackTimeInfo;

namespace norvo {

class AudioRenderer;

// Plays through the system's default output device (or, failing that, the first other
// one that opens): 44100 Hz float stereo, the device's callback rendering the given
// renderer. The callback thread prepares itself for real-time work once and counts the
// device's underflow and overflow reports. A stream that ends on its own (its device
// went away) no longer runs and tells the renderer so; FallbackAudioOutput watches for
// that and for pauses, and opens a new output once this one is gone.
class PortAudioOutput final : public AudioOutput {
public:
    explicit PortAudioOutput(AudioRenderer& renderer);
    ~PortAudioOutput() override;
    PortAudioOutput(const PortAudioOutput&) = delete;
    PortAudioOutput& operator=(const PortAudioOutput&) = delete;

    // Starts the output; does nothing when it runs. Throws std::runtime_error whose
    // what() is a sentence when no output device can be opened.
    void start() override;
    void stop() override;
    // False once stopped, and once the stream has ended on its own.
    bool isRunning() const override;
    // The stream's latency in seconds as the device reports it; 0 while none is open.
    double latency() const;

    // The least latency asked for. A sound server's ALSA plug-in offers a few tens of
    // milliseconds, which a callback thread without real-time priority misses on a busy
    // machine; the plug-in then replaces the stream on the server, with a gap. A fifth of a
    // second rides that out and still answers keys and knobs at once.
    static constexpr double minimumLatency = 0.2;

private:
    static int callback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* timeInfo,
                        unsigned long statusFlags, void* user);
    static void finished(void* user);

    // Run with control_ held.
    void openStream();
    void closeStream();

    AudioRenderer& renderer_;

    mutable std::mutex control_;
    bool running_ = false;
    bool portAudioUp_ = false;
    void* stream_ = nullptr;  // PaStream

    // The callback thread's own: whether it has prepared itself yet.
    bool threadPrepared_ = false;
    std::atomic<bool> streamEnded_{false};
    std::atomic<bool> closing_{false};  // the stream ends because it is being closed here
};

}  // namespace norvo
