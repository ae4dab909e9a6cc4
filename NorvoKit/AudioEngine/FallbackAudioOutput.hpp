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
#include <utility>

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
//
// Every call into the device (opening, starting, closing it) happens on the supervisor's
// thread, and stop() waits for one under way only so long: a device on a sound server that
// hangs is left to its call, and whatever it does when that returns reaches neither this
// output nor its core nor its clock.
class FallbackAudioOutput final : public AudioOutput {
public:
    // Makes a device output whose callback renders through the given renderer. One
    // per attempt; called on the supervisor thread.
    using DeviceFactory = std::function<std::unique_ptr<AudioOutput>(AudioRenderer&)>;

    // A device may say how its pauses are best taken (AudioOutput::pauseHandling): its
    // settle time and loss timeout then stand for these.
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
        // How long stop() waits for a call into the device (opening, starting or closing
        // it) to return. A sound server that hangs may never answer: the call is then left
        // to end on its own, and quitting does not wait for it.
        std::chrono::milliseconds stopTimeout{1000};
    };

    enum class Renderer { silent, device };

    // The sentence of a loss when the device stopped or fell silent after it played, and
    // when a started device never played.
    static constexpr const char* stoppedSentence =
        "The audio device stopped playing. The studio goes on without sound and plays again as soon as a "
        "device is back.";
    static constexpr const char* mutedSentence =
        "The audio device does not play. The studio goes on without sound and tries it again in a few seconds.";

    // The system's sound device (SystemAudioDevices) on the system's monotonic clock.
    explicit FallbackAudioOutput(AudioRenderer& core);
    FallbackAudioOutput(AudioRenderer& core, DeviceFactory makeDevice, OutputClock& clock, Options options);
    ~FallbackAudioOutput() override;
    FallbackAudioOutput(const FallbackAudioOutput&) = delete;
    FallbackAudioOutput& operator=(const FallbackAudioOutput&) = delete;

    // Renders at once (silently until the device plays) and tries the device off the
    // calling thread; never throws for want of a device.
    void start() override;
    // Stops the device and the silent output; nothing renders the core after it returns.
    // Waits at most stopTimeout for a call into the device under way.
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
    struct Lifeline;

    // In front of the core for the device's callback. Real-time: atomics only.
    class DeviceGate final : public AudioRenderer {
    public:
        DeviceGate(FallbackAudioOutput& owner, Lifeline& lifeline) : owner_(owner), lifeline_(lifeline) {}
        void render(int frames, float* left, float* right) override;
        void noteOutputStatus(OutputStatus status) override;
        // Wakes the supervisor: an ended stream is not waited out as a stall.
        void noteOutputEnded() override;
        // From now on a callback renders silence and touches nothing of the owner; returns
        // once no callback that might is under way.
        void close();
        // Returns at a moment when no callback is under way.
        void waitForCallbacks() const;

    private:
        class Pass;

        FallbackAudioOutput& owner_;
        Lifeline& lifeline_;
        std::atomic<bool> closed_{false};
        std::atomic<int> callbacks_{0};  // under way
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
    // The silent output renders from `from` on (at start, then the supervisor's).
    void startSilence(OutputClock::Time from);

    // What the supervisor and the device share with this output for one run, held by the
    // supervisor's thread too: one left behind in a call into the device keeps it after the
    // output has gone. The supervisor touches the output only with `control` held, and lets
    // go of it only to wait on the clock or to call the device; stop() gives it up only
    // while it is in such a call.
    struct Lifeline {
        Lifeline(FallbackAudioOutput& owner, DeviceFactory makeDevice)
            : makeDevice(std::move(makeDevice)), gate(owner, *this) {}
        // Runs `call` into the device with `control` let go; false when stop() gave the
        // supervisor up meanwhile, which from then on touches nothing of the output.
        template <typename Call>
        bool callDevice(std::unique_lock<std::mutex>& lock, Call&& call);

        std::mutex control;
        std::condition_variable wake;
        bool inDeviceCall = false;  // guarded by control
        bool ended = false;         // the supervisor closed the device and ends; guarded by control
        bool abandoned = false;     // stop() did not wait for it; guarded by control
        const DeviceFactory makeDevice;
        DeviceGate gate;
    };

    // The supervisor's; each runs with lifeline.control held, and returns early, touching
    // nothing more, when the supervisor has been given up in a call into the device.
    void supervise(Lifeline& lifeline);
    bool openDevice(Lifeline& lifeline, std::unique_lock<std::mutex>& lock, OutputClock::Time now);
    void closeDevice(Lifeline& lifeline, std::unique_lock<std::mutex>& lock);
    // Silence takes the turn from the device, from where the last buffer it rendered ends.
    void silenceTakesOver(Lifeline& lifeline);
    // Silence takes the turn from a device that is gone, which is closed, and the loss said.
    void loseDevice(Lifeline& lifeline, std::unique_lock<std::mutex>& lock);
    void reportLoss(const std::string& sentence);

    AudioRenderer& core_;
    DeviceFactory makeDevice_;
    OutputClock& clock_;
    Options options_;
    SilentGate silentGate_{*this};
    SilentAudioOutput silent_;

    std::atomic<bool> running_{false};
    std::shared_ptr<Lifeline> lifeline_;  // while running
    std::thread supervisor_;

    // The supervisor's own. The device is moved out for every call into it that may hang,
    // so that a call left behind owns it.
    std::unique_ptr<AudioOutput> device_;
    bool devicePlayed_ = false;  // the open device has held the turn
    bool lost_ = false;          // silent since the last loss was reported
    // The open device's, or the options' where it leaves them to this output.
    OutputClock::Time lossTimeout_{};

    // Shared with the renderers' threads.
    std::atomic<Renderer> turn_{Renderer::silent};
    std::atomic<bool> handBack_{false};     // the open device may take the turn
    std::atomic<int64_t> lastCallback_{0};  // nanoseconds on the clock
    std::atomic<int64_t> steadySince_{0};   // start of the device's regular callbacks
    std::atomic<int64_t> settleTime_{0};    // nanoseconds; the open device's, as lossTimeout_
    std::atomic<int> lastBuffer_{0};        // frames of the device's last callback; 0 before its first
    // Where on the clock the last buffer the device rendered into the core ends.
    std::atomic<int64_t> renderedUntil_{0};
    // The silent output's stretch: since when it keeps the time, and the frames it rendered.
    std::atomic<int64_t> silentOrigin_{0};
    std::atomic<int64_t> silentFrames_{0};

    std::atomic<uint64_t> losses_{0};
    mutable std::mutex lossMutex_;
    std::string lossSentence_;  // guarded by lossMutex_
};

}  // namespace norvo
