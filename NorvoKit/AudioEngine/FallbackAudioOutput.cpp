#include "AudioEngine/FallbackAudioOutput.hpp"

#include <algorithm>
#include <exception>

#include "AudioEngine/PortAudioOutput.hpp"
#include "AudioEngine/TapeClock.hpp"

namespace norvo {

using Time = OutputClock::Time;

FallbackAudioOutput::FallbackAudioOutput(AudioRenderer& core)
    : FallbackAudioOutput(
          core, [](AudioRenderer& gate) { return std::make_unique<PortAudioOutput>(gate); },
          SteadyOutputClock::shared(), Options{}) {}

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

namespace {

// The frames of `span` at 44100 frames a second; none for a span before its start.
int64_t framesIn(Time span) {
    constexpr int64_t rate = TapeClock::framesPerSecond;
    constexpr int64_t nanosecondsPerSecond = 1'000'000'000;
    if (span <= Time(0)) return 0;
    return (span.count() / nanosecondsPerSecond) * rate +
           (span.count() % nanosecondsPerSecond) * rate / nanosecondsPerSecond;
}

}  // namespace

void FallbackAudioOutput::DeviceGate::render(int frames, float* left, float* right) {
    FallbackAudioOutput& o = owner_;
    const Time now = o.clock_.now();
    const Time previous(o.lastCallback_.exchange(now.count(), std::memory_order_acq_rel));
    const int previousFrames = o.lastBuffer_.exchange(frames, std::memory_order_acq_rel);

    bool mine = o.turn_.load(std::memory_order_acquire) == Renderer::device;
    // Only a device waiting for the turn needs to know since when it plays regularly: once
    // it holds the turn, nothing asks again until it pauses and silence takes over.
    if (!mine) {
        if (now - previous > o.stallLimit(previousFrames)) o.steadySince_.store(now.count(), std::memory_order_release);
        // Until it plays steadily its buffers are silence: a device that comes back from a
        // pause asks at once for the time it missed, which the silent output has rendered
        // already; rendering the core into those buffers would put the tape ahead of the
        // clock by as much after every pause.
        if (o.handBack_.load(std::memory_order_acquire) &&
            now - Time(o.steadySince_.load(std::memory_order_acquire)) >= o.options_.settleTime &&
            o.handBack_.exchange(false, std::memory_order_acq_rel)) {
            // The silent output renders nothing from its next chunk on; a chunk it renders
            // meanwhile waits for the core's lock and is skipped below like the rest.
            silentFramesDue_ = framesIn(now - Time(o.silentOrigin_.load(std::memory_order_acquire)));
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
    }
    std::fill_n(left, silence, 0.0f);
    std::fill_n(right, silence, 0.0f);
}

void FallbackAudioOutput::DeviceGate::noteOutputStatus(OutputStatus status) { owner_.core_.noteOutputStatus(status); }

void FallbackAudioOutput::DeviceGate::noteOutputEnded() {
    // Taken and let go so that a supervisor about to wait sees the ended stream first.
    { std::lock_guard guard(owner_.control_); }
    owner_.wake_.notify_all();
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
    running_.store(true, std::memory_order_release);
    // The core keeps time from the first moment; the device, when it comes, takes over.
    startSilence(clock_.now());
    supervisor_ = std::thread([this] { supervise(); });
}

void FallbackAudioOutput::stop() {
    {
        std::lock_guard guard(control_);
        if (!running_.load(std::memory_order_acquire)) return;
        running_.store(false, std::memory_order_release);
    }
    wake_.notify_all();
    if (supervisor_.joinable()) supervisor_.join();
    closeDevice();
    silent_.stop();
    turn_.store(Renderer::silent, std::memory_order_release);
}

// MARK: - The supervisor

void FallbackAudioOutput::supervise() {
    std::unique_lock lock(control_);
    Time nextAttempt = clock_.now();
    while (running_.load(std::memory_order_acquire)) {
        const Time now = clock_.now();

        if (!device_) {
            if (now < nextAttempt) {
                clock_.waitUntil(lock, wake_, nextAttempt);
                continue;
            }
            lock.unlock();
            const bool opened = openDevice(now);
            lock.lock();
            if (!opened) nextAttempt = now + options_.retryInterval;
            continue;
        }

        if (renderer() == Renderer::device && silent_.isRunning()) {
            // The device took the turn: it plays (again).
            lock.unlock();
            silent_.stop();
            lock.lock();
            devicePlayed_ = true;
            lost_ = false;
            continue;
        }

        // Since the device's last callback, or since it was opened.
        const Time last(lastCallback_.load(std::memory_order_acquire));
        if (!device_->isRunning() || now - last >= options_.lossTimeout) {
            // Its stream ended, or it has been silent for long: gone. One waiting for the
            // turn may take it at this very moment: only a device that did not is given up.
            if (renderer() == Renderer::silent && !handBack_.exchange(false, std::memory_order_acq_rel)) continue;
            lock.unlock();
            loseDevice();
            lock.lock();
            nextAttempt = now + options_.retryInterval;
            continue;
        }

        if (renderer() == Renderer::device) {
            const Time limit = stallLimit(lastBuffer_.load(std::memory_order_acquire));
            if (now - last <= limit) {
                clock_.waitUntil(lock, wake_, last + limit + Time(1));
                continue;
            }
            // A pause: silence keeps the time, and the device, still open, takes the turn
            // back once it calls back steadily again.
            lock.unlock();
            silenceTakesOver();
            handBack_.store(true, std::memory_order_release);
            lock.lock();
            continue;
        }

        // A device that has not played yet, or pauses: it takes the turn itself. Looked at
        // again shortly, to end the silent output once it has, and when it would be gone.
        clock_.waitUntil(lock, wake_, std::min(last + options_.lossTimeout, now + options_.settleTime));
    }
}

bool FallbackAudioOutput::openDevice(Time now) {
    lastCallback_.store(now.count(), std::memory_order_release);
    steadySince_.store(now.count(), std::memory_order_release);
    lastBuffer_.store(0, std::memory_order_release);
    devicePlayed_ = false;
    try {
        std::unique_ptr<AudioOutput> device = makeDevice_(deviceGate_);
        handBack_.store(true, std::memory_order_release);
        device->start();
        device_ = std::move(device);
        return true;
    } catch (const std::exception& error) {
        // A device whose start fails has not played long enough to take the turn; should
        // it have, silence takes it back before the device goes.
        if (!handBack_.exchange(false, std::memory_order_acq_rel) && renderer() == Renderer::device) silenceTakesOver();
        reportLoss(error.what());
        return false;
    }
}

void FallbackAudioOutput::closeDevice() {
    if (!device_) return;
    device_->stop();
    device_.reset();
}

void FallbackAudioOutput::loseDevice() {
    if (renderer() == Renderer::device) silenceTakesOver();
    // Said before the device is closed: closing a stream on a sound server that hangs
    // waits for as long as the server does.
    reportLoss(devicePlayed_ ? stoppedSentence : mutedSentence);
    closeDevice();
}

void FallbackAudioOutput::startSilence(Time from) {
    // Before the turn is the silent output's, so that it counts its stretch from its start.
    silentOrigin_.store(from.count(), std::memory_order_release);
    silentFrames_.store(0, std::memory_order_release);
    turn_.store(Renderer::silent, std::memory_order_release);
    silent_.start(from);
}

void FallbackAudioOutput::silenceTakesOver() {
    // A device that calls back at this very moment plays steadily again before it takes
    // the turn back.
    steadySince_.store(clock_.now().count(), std::memory_order_release);
    // From the moment the device would have asked for its next buffer: the frames it
    // missed while it paused are rendered at once, and the tape keeps its time.
    startSilence(Time(lastCallback_.load(std::memory_order_acquire)) +
                 SilentAudioOutput::duration(lastBuffer_.load(std::memory_order_acquire)));
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
