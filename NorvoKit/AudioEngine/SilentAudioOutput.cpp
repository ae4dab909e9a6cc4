#include "AudioEngine/SilentAudioOutput.hpp"

#include "AudioEngine/AudioRenderer.hpp"
#include "AudioEngine/RealTimeThread.hpp"
#include "AudioEngine/TapeClock.hpp"

namespace norvo {

SilentAudioOutput::SilentAudioOutput(AudioRenderer& renderer, OutputClock& clock)
    : renderer_(renderer), clock_(clock), scratch_(chunkFrames) {}

SilentAudioOutput::~SilentAudioOutput() { stop(); }

namespace {

constexpr int64_t rate = TapeClock::framesPerSecond;
constexpr int64_t nanosecondsPerSecond = 1'000'000'000;

}  // namespace

// Whole seconds apart, so that hours of frames neither overflow nor drift.
OutputClock::Time SilentAudioOutput::duration(int64_t frames) {
    return OutputClock::Time((frames / rate) * nanosecondsPerSecond + (frames % rate) * nanosecondsPerSecond / rate);
}

int64_t SilentAudioOutput::frames(OutputClock::Time span) {
    if (span <= OutputClock::Time(0)) return 0;
    return (span.count() / nanosecondsPerSecond) * rate +
           (span.count() % nanosecondsPerSecond) * rate / nanosecondsPerSecond;
}

void SilentAudioOutput::start() { start(clock_.now()); }

void SilentAudioOutput::start(OutputClock::Time from) {
    if (isRunning()) return;
    if (thread_.joinable()) thread_.join();
    running_.store(true, std::memory_order_release);
    thread_ = std::thread([this, from] { run(from); });
}

void SilentAudioOutput::stop() {
    {
        std::lock_guard guard(control_);
        running_.store(false, std::memory_order_release);
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void SilentAudioOutput::run(OutputClock::Time origin) {
    prepareRealTimeThread();
    // Chunk k is due at origin + duration(k × chunkFrames): rendered at the start of its
    // stretch of time, as a device asks for a buffer before it plays it.
    int64_t rendered = 0;
    std::unique_lock lock(control_);
    while (running_.load(std::memory_order_acquire)) {
        const OutputClock::Time due = origin + duration(rendered);
        const OutputClock::Time now = clock_.now();
        if (now < due) {
            // An absolute deadline: a late wake-up does not push the following chunks back.
            clock_.waitUntil(lock, wake_, due);
            continue;
        }
        if (now - due > maximumCatchUp) origin += (now - due) - maximumCatchUp;
        // The control lock is not held while rendering: stop() never waits for a render
        // to let go of it, and the render waits for nobody but the core.
        lock.unlock();
        renderer_.render(chunkFrames, scratch_.left.data(), scratch_.right.data());
        rendered += chunkFrames;
        lock.lock();
    }
}

}  // namespace norvo
