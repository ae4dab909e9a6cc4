#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "AudioEngine/AudioOutput.hpp"
#include "AudioEngine/AudioRenderer.hpp"
#include "AudioEngine/SilentAudioOutput.hpp"
#include "Platform/OutputClock.hpp"

namespace norvo {

// The studio's output: the sound device while one plays, and a SilentAudioOutput that
// keeps the device's time while none does, so that the tape, a recording, the player
// and the tuner never stop for want of a device.
//
// A supervisor thread starts the device and watches it. When the device pauses (no
// callback for stallTimeout, or for two of its buffers when longer), the silent output
// takes over from where the device left off; the device stays open, and takes the turn
// back once it calls back steadily again. Only a device that cannot start, whose stream
// ends, or that stays silent for lossTimeout is lost: it is closed, and every
// retryInterval the supervisor tries a new one. Each renders the core only while it holds
// the turn, so exactly one of the two renders it: across a switch no frame of the tape is
// lost or rendered twice. Each loss is counted once, however many attempts fail after it.
class FallbackAudioOutput final : public AudioOutput {
public:
    // Makes a device output whose callback renders through the given renderer. One
    // per attempt; called on the supervisor thread.
    using DeviceFactory = std::function<std::unique_ptr<AudioOutput>(AudioRenderer&)>;

    struct Options {
        // Long enough for a busy machine's late callback, short enough that the tape does
        // not wait long for a device that pauses; the frames it missed are caught up.
        std::chrono::milliseconds stallTimeout{200};
        // A sound server starts or resumes a stream with a few buffers at once and then a
        // pause: a device takes the turn once it has called back steadily for this long.
        std::chrono::milliseconds settleTime{100};
        // A device silent for this long (a new one: since it started) is gone.
        std::chrono::milliseconds lossTimeout{3000};
        // Without a device, the next attempt comes this long after the last one.
        std::chrono::milliseconds retryInterval{3000};
    };

    enum class Renderer { silent, device };

    // The sentence of a loss when the device stopped or fell silent after it played, and
    // when a started device never played.
    static constexpr const char* stoppedSentence =
        "The audio device stopped playing. The studio goes on without sound and plays again as soon as a "
        "device is back.";
    static constexpr const char* mutedSentence =
        "The audio device does not play. The studio goes on without sound and tries it again in a few seconds.";

    // The system's default sound device (PortAudio) on the system's monotonic clock.
    explicit FallbackAudioOutput(AudioRenderer& core);
    FallbackAudioOutput(AudioRenderer& core, DeviceFactory makeDevice, OutputClock& clock, Options options);
    ~FallbackAudioOutput() override;
    FallbackAudioOutput(const FallbackAudioOutput&) = delete;
    FallbackAudioOutput& operator=(const FallbackAudioOutput&) = delete;

    // Renders at once (silently until the device plays) and tries the device off the
    // calling thread; never throws for want of a device.
    void start() override;
    // Stops the device and the silent output; waits for an attempt under way.
    void stop() override;
    bool isRunning() const override { return running_.load(std::memory_order_acquire); }

    uint64_t deviceLosses() const override { return losses_.load(std::memory_order_acquire); }
    std::string lastDeviceLoss() const override;
    bool playsOnDevice() const override { return renderer() == Renderer::device; }

    // Who renders the core now.
    Renderer renderer() const { return turn_.load(std::memory_order_acquire); }
    // Whether the silent output's thread runs: from a pause or a loss until a device has
    // taken the turn and the supervisor has seen it.
    bool silentOutputRuns() const { return silent_.isRunning(); }

private:
    // In front of the core for the device's callback. Real-time: atomics only.
    class DeviceGate final : public AudioRenderer {
    public:
        explicit DeviceGate(FallbackAudioOutput& owner) : owner_(owner) {}
        void render(int frames, float* left, float* right) override;
        void noteOutputStatus(OutputStatus status) override;
        // Wakes the supervisor: an ended stream is not waited out as a stall.
        void noteOutputEnded() override;

    private:
        FallbackAudioOutput& owner_;
        // The device callback's own, from the turn it took last: the silent output's frames
        // that were due by then, and how many it rendered beyond them the device skipped.
        int64_t silentFramesDue_ = 0;
        int64_t skipped_ = 0;
    };

    // In front of the core for the silent output's thread. Real-time: atomics only.
    class SilentGate final : public AudioRenderer {
    public:
        explicit SilentGate(FallbackAudioOutput& owner) : owner_(owner) {}
        void render(int frames, float* left, float* right) override;
        void noteOutputStatus(OutputStatus) override {}

    private:
        FallbackAudioOutput& owner_;
    };

    // How long the device may go without a callback after a buffer of `frames`.
    OutputClock::Time stallLimit(int frames) const;
    // The silent output renders from `from` on (the supervisor's; outside control_).
    void startSilence(OutputClock::Time from);

    // The supervisor's; each runs without control_ held.
    void supervise();
    bool openDevice(OutputClock::Time now);
    void closeDevice();
    void silenceTakesOver();
    // Silence takes the turn from a device that is gone, which is closed, and the loss said.
    void loseDevice();
    void reportLoss(const std::string& sentence);

    AudioRenderer& core_;
    DeviceFactory makeDevice_;
    OutputClock& clock_;
    Options options_;
    DeviceGate deviceGate_{*this};
    SilentGate silentGate_{*this};
    SilentAudioOutput silent_;

    std::mutex control_;
    std::condition_variable wake_;
    std::atomic<bool> running_{false};
    std::thread supervisor_;

    // The supervisor's own (stop() touches them only after joining it).
    std::unique_ptr<AudioOutput> device_;
    bool devicePlayed_ = false;  // the open device has held the turn
    bool lost_ = false;          // silent since the last loss was reported

    // Shared with the renderers' threads.
    std::atomic<Renderer> turn_{Renderer::silent};
    std::atomic<bool> handBack_{false};     // the open device may take the turn
    std::atomic<int64_t> lastCallback_{0};  // nanoseconds on the clock
    std::atomic<int64_t> steadySince_{0};   // start of the device's regular callbacks
    std::atomic<int> lastBuffer_{0};        // frames of the device's last callback
    // The silent output's stretch: since when it keeps the time, and the frames it rendered.
    std::atomic<int64_t> silentOrigin_{0};
    std::atomic<int64_t> silentFrames_{0};

    std::atomic<uint64_t> losses_{0};
    mutable std::mutex lossMutex_;
    std::string lossSentence_;  // guarded by lossMutex_
};

}  // namespace norvo
