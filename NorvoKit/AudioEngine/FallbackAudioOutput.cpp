#include "AudioEngine/FallbackAudioOutput.hpp"

#include <algorithm>
#include <exception>
#include <optional>

#include "AudioEngine/SystemAudioDevices.hpp"

namespace norvo {

using Time = OutputClock::Time;

FallbackAudioOutput::FallbackAudioOutput(AudioRenderer& core)
    : FallbackAudioOutput(core, SystemAudioDevices::factory(), SteadyOutputClock::shared(),
                          SystemAudioDevices::options()) {}

FallbackAudioOutput::FallbackAudioOutput(AudioRenderer& core, DeviceFactory makeDevice, OutputClock& clock,
                                         Options options)
    : core_(core), makeDevice_(std::move(makeDevice)), clock_(clock), options_(options), silent_(silentGate_, clock) {}

FallbackAudioOutput::~FallbackAudioOutput() { stop(); }

std::string FallbackAudioOutput::lastDeviceLoss() const {
    std::lock_guard guard(lossMutex_);
    return lossSentence_;
}

Time FallbackAudioOutput::stallLimit(int frames) const {
    return std::max<Time>(options_.stallTimeout, 2 * SilentAudioOutput::duration(frames));
}

// MARK: - The renderers' side

// Counts a callback in while it runs, before it looks whether the gate is open: close()
// then either is seen here or sees this callback and waits for it to end. Sequentially
// consistent on both sides, and no lock on the render path.
class FallbackAudioOutput::DeviceGate::Pass {
public:
    explicit Pass(DeviceGate& gate) : gate_(gate) {
        gate_.callbacks_.fetch_add(1, std::memory_order_seq_cst);
        open_ = !gate_.closed_.load(std::memory_order_seq_cst);
    }
    ~Pass() { gate_.callbacks_.fetch_sub(1, std::memory_order_seq_cst); }
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;

    bool open() const { return open_; }

private:
    DeviceGate& gate_;
    bool open_ = false;
};

void FallbackAudioOutput::DeviceGate::close() {
    closed_.store(true, std::memory_order_seq_cst);
    waitForCallbacks();
}

void FallbackAudioOutput::DeviceGate::waitForCallbacks() const {
    // A callback under way renders one buffer and waits for nothing of this thread's.
    while (callbacks_.load(std::memory_order_seq_cst) != 0) std::this_thread::yield();
}

void FallbackAudioOutput::DeviceGate::render(int frames, float* left, float* right) {
    const Pass pass(*this);
    if (!pass.open()) {
        // A device left behind by stop(): its output and core may be gone.
        std::fill_n(left, frames, 0.0f);
        std::fill_n(right, frames, 0.0f);
        return;
    }
    FallbackAudioOutput& o = owner_;
    const Time now = o.clock_.now();
    const Time previous(o.lastCallback_.exchange(now.count(), std::memory_order_acq_rel));
    const int previousFrames = o.lastBuffer_.exchange(frames, std::memory_order_acq_rel);

    // Read after this callback was counted in: silence takes the turn and then waits for
    // the callbacks under way, so that a buffer is rendered either here or by silence.
    bool mine = o.turn_.load(std::memory_order_seq_cst) == Renderer::device;
    // Only a device waiting for the turn needs to know since when it plays regularly: once
    // it holds the turn, nothing asks again until it pauses and silence takes over. A new
    // device plays from its first callback, not from when it was opened: opening and
    // starting a stream may take longer than the settle time.
    if (!mine) {
        if (previousFrames == 0 || now - previous > o.stallLimit(previousFrames))
            o.steadySince_.store(now.count(), std::memory_order_release);
        // Until it plays steadily its buffers are silence: a device that comes back from a
        // pause asks at once for the time it missed, which the silent output has rendered
        // already; rendering the core into those buffers would put the tape ahead of the
        // clock by as much after every pause.
        if (o.handBack_.load(std::memory_order_acquire) &&
            now - Time(o.steadySince_.load(std::memory_order_acquire)) >=
                Time(o.settleTime_.load(std::memory_order_acquire)) &&
            o.handBack_.exchange(false, std::memory_order_acq_rel)) {
            // The silent output renders nothing from its next chunk on; a chunk it renders
            // meanwhile waits for the core's lock and is skipped below like the rest.
            silentFramesDue_ = SilentAudioOutput::frames(now - Time(o.silentOrigin_.load(std::memory_order_acquire)));
            skipped_ = 0;
            o.turn_.store(Renderer::device, std::memory_order_release);
            mine = true;
        }
    }
    int silence = frames;
    if (mine) {
        // The silent output renders a chunk ahead of its time: the frames it rendered beyond
        // this moment are the first this device leaves out, so that the tape's time does
        // not creep ahead of the clock by up to a chunk with every hand-over.
        const int64_t ahead = o.silentFrames_.load(std::memory_order_acquire) - silentFramesDue_ - skipped_;
        silence = int(std::clamp<int64_t>(ahead, 0, frames));
        skipped_ += silence;
        if (silence < frames) o.core_.render(frames - silence, left + silence, right + silence);
        o.renderedUntil_.store((now + SilentAudioOutput::duration(frames)).count(), std::memory_order_release);
    }
    std::fill_n(left, silence, 0.0f);
    std::fill_n(right, silence, 0.0f);
}

void FallbackAudioOutput::DeviceGate::noteOutputStatus(OutputStatus status) {
    const Pass pass(*this);
    if (pass.open()) owner_.core_.noteOutputStatus(status);
}

void FallbackAudioOutput::DeviceGate::noteOutputEnded() {
    // Taken and let go so that a supervisor about to wait sees the ended stream first.
    { std::lock_guard guard(lifeline_.control); }
    lifeline_.wake.notify_all();
}

void FallbackAudioOutput::SilentGate::render(int frames, float* left, float* right) {
    if (owner_.turn_.load(std::memory_order_acquire) != Renderer::silent) return;
    owner_.core_.render(frames, left, right);
    owner_.silentFrames_.fetch_add(frames, std::memory_order_acq_rel);
}

// MARK: - The main thread's side

void FallbackAudioOutput::start() {
    if (isRunning()) return;
    turn_.store(Renderer::silent, std::memory_order_release);
    handBack_.store(false, std::memory_order_release);
    lost_ = false;
    lifeline_ = std::make_shared<Lifeline>(*this, makeDevice_);
    running_.store(true, std::memory_order_release);
    // The core keeps time from the first moment; the device, when it comes, takes over.
    startSilence(clock_.now());
    supervisor_ = std::thread([this, lifeline = lifeline_] { supervise(*lifeline); });
}

void FallbackAudioOutput::stop() {
    if (!running_.load(std::memory_order_acquire)) return;
    Lifeline& lifeline = *lifeline_;
    std::unique_lock lock(lifeline.control);
    running_.store(false, std::memory_order_release);
    lifeline.wake.notify_all();
    // The supervisor closes the device. A call into the device still under way at the
    // deadline may never return; the supervisor is left in it. Past the deadline a
    // supervisor not in such a call is about to end or to make one, and is waited for.
    const Time deadline = clock_.now() + options_.stopTimeout;
    while (!lifeline.ended) {
        if (clock_.now() < deadline) clock_.waitUntil(lock, lifeline.wake, deadline);
        else if (lifeline.inDeviceCall) break;
        else lifeline.wake.wait(lock);
    }
    lifeline.abandoned = !lifeline.ended;
    lock.unlock();
    if (lifeline.abandoned) supervisor_.detach();
    else supervisor_.join();
    // A device left behind may still call back.
    lifeline.gate.close();
    silent_.stop();
    turn_.store(Renderer::silent, std::memory_order_release);
    lifeline_.reset();
}

// MARK: - The supervisor

template <typename Call>
bool FallbackAudioOutput::Lifeline::callDevice(std::unique_lock<std::mutex>& lock, Call&& call) {
    inDeviceCall = true;
    wake.notify_all();  // a stop() past its deadline gives the supervisor up now
    lock.unlock();
    call();
    lock.lock();
    inDeviceCall = false;
    return !abandoned;
}

void FallbackAudioOutput::supervise(Lifeline& lifeline) {
    std::unique_lock lock(lifeline.control);
    Time nextAttempt = clock_.now();
    while (running_.load(std::memory_order_acquire)) {
        const Time now = clock_.now();

        if (!device_) {
            if (now < nextAttempt) {
                clock_.waitUntil(lock, lifeline.wake, nextAttempt);
                continue;
            }
            const bool opened = openDevice(lifeline, lock, now);
            if (lifeline.abandoned) return;
            if (!opened) nextAttempt = now + options_.retryInterval;
            continue;
        }

        if (renderer() == Renderer::device && silent_.isRunning()) {
            // The device took the turn: it plays (again).
            silent_.stop();
            devicePlayed_ = true;
            lost_ = false;
            continue;
        }

        // Since the device's last callback, or since it was opened.
        const Time last(lastCallback_.load(std::memory_order_acquire));
        if (!device_->isRunning() || now - last >= lossTimeout_) {
            // Its stream ended, or it has been silent for long: gone. One waiting for the
            // turn may take it at this very moment: only a device that did not is given up.
            if (renderer() == Renderer::silent && !handBack_.exchange(false, std::memory_order_acq_rel)) continue;
            loseDevice(lifeline, lock);
            if (lifeline.abandoned) return;
            nextAttempt = now + options_.retryInterval;
            continue;
        }

        if (renderer() == Renderer::device) {
            const Time limit = stallLimit(lastBuffer_.load(std::memory_order_acquire));
            if (now - last <= limit) {
                clock_.waitUntil(lock, lifeline.wake, last + limit + Time(1));
                continue;
            }
            // A pause: silence keeps the time, and the device, still open, takes the turn
            // back once it calls back steadily again.
            silenceTakesOver(lifeline);
            handBack_.store(true, std::memory_order_release);
            continue;
        }

        // A device that has not played yet, or pauses: it takes the turn itself. Looked at
        // again shortly, to end the silent output once it has, and when it would be gone.
        clock_.waitUntil(lock, lifeline.wake, std::min(last + lossTimeout_, now + options_.settleTime));
    }
    // Closed here rather than by stop(): a close that hangs holds up nobody.
    closeDevice(lifeline, lock);
    if (lifeline.abandoned) return;
    lifeline.ended = true;
    lifeline.wake.notify_all();
}

bool FallbackAudioOutput::openDevice(Lifeline& lifeline, std::unique_lock<std::mutex>& lock, Time now) {
    lastCallback_.store(now.count(), std::memory_order_release);
    steadySince_.store(now.count(), std::memory_order_release);
    lastBuffer_.store(0, std::memory_order_release);
    devicePlayed_ = false;
    // A stream may call back before its start returns.
    handBack_.store(true, std::memory_order_release);
    std::unique_ptr<AudioOutput> device;
    std::optional<std::string> failure;
    const auto attempt = [&](auto step) {
        return lifeline.callDevice(lock, [&] {
            try {
                step();
            } catch (const std::exception& error) {
                failure = error.what();
                device.reset();
            }
        });
    };
    // Made and started in two calls: a device made after stop() gave the supervisor up, or
    // asked it to end, is never started.
    bool ours = attempt([&] { device = lifeline.makeDevice(lifeline.gate); });
    if (ours) {
        // Before the device starts and its callbacks read it.
        const auto handling = device ? device->pauseHandling() : std::nullopt;
        settleTime_.store(Time(handling ? handling->settleTime : options_.settleTime).count(),
                          std::memory_order_release);
        lossTimeout_ = handling ? handling->lossTimeout : options_.lossTimeout;
    }
    if (ours && device && running_.load(std::memory_order_acquire)) ours = attempt([&] { device->start(); });
    if (!ours) {
        // Given up: a device that opened after all is closed, off the lock its stream's
        // end takes.
        lock.unlock();
        if (device) device->stop();
        device.reset();
        lock.lock();
        return false;
    }
    if (!failure) {
        device_ = std::move(device);
        return true;
    }
    // A device whose start fails has not played long enough to take the turn; should it
    // have, silence takes it back before the device goes.
    if (!handBack_.exchange(false, std::memory_order_acq_rel) && renderer() == Renderer::device)
        silenceTakesOver(lifeline);
    reportLoss(*failure);
    return false;
}

void FallbackAudioOutput::closeDevice(Lifeline& lifeline, std::unique_lock<std::mutex>& lock) {
    if (!device_) return;
    lifeline.callDevice(lock, [device = std::move(device_)]() mutable {
        device->stop();
        device.reset();
    });
}

void FallbackAudioOutput::loseDevice(Lifeline& lifeline, std::unique_lock<std::mutex>& lock) {
    if (renderer() == Renderer::device) silenceTakesOver(lifeline);
    // Said before the device is closed: closing a stream on a sound server that hangs
    // waits for as long as the server does.
    reportLoss(devicePlayed_ ? stoppedSentence : mutedSentence);
    closeDevice(lifeline, lock);
}

void FallbackAudioOutput::startSilence(Time from) {
    // Before the turn is the silent output's, so that it counts its stretch from its start.
    silentOrigin_.store(from.count(), std::memory_order_release);
    silentFrames_.store(0, std::memory_order_release);
    turn_.store(Renderer::silent, std::memory_order_release);
    silent_.start(from);
}

void FallbackAudioOutput::silenceTakesOver(Lifeline& lifeline) {
    // The device renders nothing from its next callback on; one that read the turn before
    // renders its buffer, and silence starts where that ends. Each buffer is rendered once.
    turn_.store(Renderer::silent, std::memory_order_seq_cst);
    lifeline.gate.waitForCallbacks();
    // A device that calls back at this very moment plays steadily again before it takes
    // the turn back.
    steadySince_.store(clock_.now().count(), std::memory_order_release);
    // From the moment the device would have asked for its next buffer: the frames it
    // missed while it paused are rendered at once, and the tape keeps its time.
    startSilence(Time(renderedUntil_.load(std::memory_order_acquire)));
}

void FallbackAudioOutput::reportLoss(const std::string& sentence) {
    // Once per loss: the attempts that follow fail silently, and a device that plays
    // again ends the loss.
    if (lost_) return;
    lost_ = true;
    {
        std::lock_guard guard(lossMutex_);
        lossSentence_ = sentence;
    }
    losses_.fetch_add(1, std::memory_order_acq_rel);
}

}  // namespace norvo
