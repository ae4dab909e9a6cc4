#include "AudioEngine/FallbackAudioOutput.hpp"

#include <algorithm>
#include <exception>

#include "AudioEngine/PortAudioOutput.hpp"

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

void FallbackAudioOutput::DeviceGate::render(int frames, float* left, float* right) {
    FallbackAudioOutput& o = owner_;
    const Time now = o.clock_.now();
    const Time previous(o.lastCallback_.exchange(now.count(), std::memory_order_acq_rel));
    const int previousFrames = o.lastBuffer_.exchange(frames, std::memory_order_acq_rel);

    bool mine = o.turn_.load(std::memory_order_acquire) == Renderer::device;
    // Only a device waiting for the turn needs to know since when it plays regularly: once
    // it holds the turn, nothing asks again until the next device opens and starts afresh.
    if (!mine) {
        if (now - previous > o.stallLimit(previousFrames)) o.steadySince_.store(now.count(), std::memory_order_release);
        if (o.handBack_.load(std::memory_order_acquire) &&
            now - Time(o.steadySince_.load(std::memory_order_acquire)) >= o.options_.settleTime &&
            o.handBack_.exchange(false, std::memory_order_acq_rel)) {
            // The silent output renders nothing from its next chunk on; a chunk it renders
            // meanwhile waits for the core's lock and precedes this buffer on the tape.
            o.turn_.store(Renderer::device, std::memory_order_release);
            mine = true;
        }
    }
    if (mine) {
        o.core_.render(frames, left, right);
    } else {
        std::fill_n(left, frames, 0.0f);
        std::fill_n(right, frames, 0.0f);
    }
}

void FallbackAudioOutput::DeviceGate::noteOutputStatus(OutputStatus status) { owner_.core_.noteOutputStatus(status); }

void FallbackAudioOutput::DeviceGate::noteOutputEnded() {
    // Taken and let go so that a supervisor about to wait sees the ended stream first.
    { std::lock_guard guard(owner_.control_); }
    owner_.wake_.notify_all();
}

void FallbackAudioOutput::SilentGate::render(int frames, float* left, float* right) {
    if (owner_.turn_.load(std::memory_order_acquire) == Renderer::silent) owner_.core_.render(frames, left, right);
}

// MARK: - The main thread's side

void FallbackAudioOutput::start() {
    if (isRunning()) return;
    turn_.store(Renderer::silent, std::memory_order_release);
    handBack_.store(false, std::memory_order_release);
    lost_ = false;
    running_.store(true, std::memory_order_release);
    // The core keeps time from the first moment; the device, when it comes, takes over.
    silent_.start();
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

        if (renderer() == Renderer::device) {
            if (silent_.isRunning()) {
                // The device took the turn: it plays again.
                lock.unlock();
                silent_.stop();
                lock.lock();
                lost_ = false;
                continue;
            }
            const Time last(lastCallback_.load(std::memory_order_acquire));
            const Time limit = stallLimit(lastBuffer_.load(std::memory_order_acquire));
            if (device_->isRunning() && now - last <= limit) {
                clock_.waitUntil(lock, wake_, last + limit + Time(1));
                continue;
            }
            lock.unlock();
            silenceTakesOver();
            // Said before the device is closed: closing a stream on a sound server that
            // hangs waits for as long as the server does.
            reportLoss(stoppedSentence);
            closeDevice();
            lock.lock();
            nextAttempt = now + options_.retryInterval;
            continue;
        }

        // A started device that has not taken the turn yet.
        if (device_->isRunning() && now - deviceStartedAt_ < options_.startTimeout) {
            clock_.waitUntil(lock, wake_,
                             std::min(deviceStartedAt_ + options_.startTimeout, now + options_.settleTime));
            continue;
        }
        // It may take the turn at this very moment: only a device that did not is given up.
        if (!handBack_.exchange(false, std::memory_order_acq_rel)) continue;
        lock.unlock();
        reportLoss(mutedSentence);
        closeDevice();
        lock.lock();
        nextAttempt = now + options_.retryInterval;
    }
}

bool FallbackAudioOutput::openDevice(Time now) {
    lastCallback_.store(now.count(), std::memory_order_release);
    steadySince_.store(now.count(), std::memory_order_release);
    lastBuffer_.store(0, std::memory_order_release);
    try {
        std::unique_ptr<AudioOutput> device = makeDevice_(deviceGate_);
        handBack_.store(true, std::memory_order_release);
        device->start();
        device_ = std::move(device);
        deviceStartedAt_ = now;
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

void FallbackAudioOutput::silenceTakesOver() {
    handBack_.store(false, std::memory_order_release);
    // From the moment the device would have asked for its next buffer: the frames it
    // missed while it stalled are rendered at once, and the tape keeps its time.
    const Time resume = Time(lastCallback_.load(std::memory_order_acquire)) +
                        SilentAudioOutput::duration(lastBuffer_.load(std::memory_order_acquire));
    turn_.store(Renderer::silent, std::memory_order_release);
    silent_.start(resume);
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
