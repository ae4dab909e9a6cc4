#include "AudioEngine/SilentAudioOutput.hpp"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "AudioEngine/AudioRenderer.hpp"
#include "AudioEngine/TapeClock.hpp"
#include "Support/AllocationCounter.hpp"
#include "Support/FakeOutputClock.hpp"
#include "Support/ThreadPageFaults.hpp"

namespace norvo {
namespace {

using namespace std::chrono_literals;
using Time = OutputClock::Time;

// Counts what the output's thread renders, and what that thread allocates and faults in
// once it runs steadily (from its third chunk on: the first ones meet fresh code pages).
class CountingRenderer final : public AudioRenderer {
public:
    void render(int frames, float*, float*) override {
        const int chunk = chunks.fetch_add(1) + 1;
        if (chunk == 1) {
            thread = std::this_thread::get_id();
            policy = sched_getscheduler(0);
        }
        if (chunk == 2) {
            counter_.emplace();
            faultsAtSecond_ = test::threadPageFaults();
        }
        if (chunk > 2) {
            allocations = counter_->allocations() + counter_->deallocations();
            faults = test::threadPageFaults() - faultsAtSecond_;
        }
        if (frames != SilentAudioOutput::chunkFrames) oddChunks.fetch_add(1);
        rendered.fetch_add(frames);
    }
    void noteOutputStatus(OutputStatus) override {}

    std::atomic<int64_t> rendered{0};
    std::atomic<int> chunks{0};
    std::atomic<int> oddChunks{0};
    std::atomic<std::size_t> allocations{0};
    std::atomic<long> faults{0};
    std::thread::id thread;
    int policy = -1;

private:
    std::optional<test::AllocationCounter> counter_;
    long faultsAtSecond_ = 0;
};

// Frames a device at 44100 frames a second has asked for `elapsed` after it started: it
// asks for each chunk at the start of the chunk's stretch of time.
int64_t framesDue(Time elapsed) {
    int64_t chunks = 0;
    while (SilentAudioOutput::duration(chunks * SilentAudioOutput::chunkFrames) <= elapsed) ++chunks;
    return chunks * SilentAudioOutput::chunkFrames;
}

bool realTimeGrantable() {
    bool granted = false;
    std::thread([&] {
        sched_param parameters{};
        parameters.sched_priority = 1;
        granted = pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters) == 0;
    }).join();
    return granted;
}

TEST(SilentAudioOutput, RendersChunksAtTheDeviceRateOnARealTimeThreadThatNeitherAllocatesNorFaults) {
    test::FakeOutputClock clock;
    CountingRenderer renderer;
    SilentAudioOutput output(renderer, clock);
    EXPECT_FALSE(output.isRunning());

    output.start();
    EXPECT_TRUE(output.isRunning());
    ASSERT_TRUE(clock.settle(1));
    EXPECT_EQ(renderer.rendered, SilentAudioOutput::chunkFrames) << "the first chunk is due at once";

    // Three seconds at the tick's pace, a little uneven, as a busy machine wakes.
    Time elapsed{};
    for (int step = 0; step < 180; ++step) {
        const Time by = step % 2 ? 15ms : 18333333ns;
        clock.advance(by);
        elapsed += by;
        ASSERT_TRUE(clock.settle(1)) << "step " << step;
        ASSERT_EQ(renderer.rendered, framesDue(elapsed)) << "step " << step;
    }
    const int64_t threeSeconds = 3 * TapeClock::sampleRate;
    EXPECT_GE(renderer.rendered, threeSeconds);
    EXPECT_LT(renderer.rendered, threeSeconds + SilentAudioOutput::chunkFrames);
    EXPECT_EQ(renderer.oddChunks, 0);

    EXPECT_NE(renderer.thread, std::this_thread::get_id());
    EXPECT_EQ(renderer.policy, realTimeGrantable() ? SCHED_FIFO : SCHED_OTHER);
    EXPECT_EQ(renderer.allocations, 0u);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    EXPECT_EQ(renderer.faults, 0) << "a sanitizer's shadow memory takes page faults of its own";
#endif

    output.stop();
    EXPECT_FALSE(output.isRunning());
    EXPECT_TRUE(clock.settle(0));
    const int64_t atStop = renderer.rendered;
    clock.advance(1s);
    EXPECT_TRUE(clock.settle(0));
    EXPECT_EQ(renderer.rendered, atStop) << "nothing renders after stop()";
}

TEST(SilentAudioOutput, CatchesUpOnTimeItMissedButNeverMoreThanTheLimit) {
    test::FakeOutputClock clock;
    CountingRenderer renderer;
    SilentAudioOutput output(renderer, clock);

    // Taking over from a device that last asked for a buffer 300 ms ago.
    output.start(clock.now() - 300ms);
    ASSERT_TRUE(clock.settle(1));
    EXPECT_EQ(renderer.rendered, framesDue(300ms));

    // The thread stalls for ten seconds: one second is rendered at once, the rest dropped.
    clock.advance(10s);
    ASSERT_TRUE(clock.settle(1));
    const int64_t afterStall = renderer.rendered;
    const int64_t burst = afterStall - framesDue(300ms);
    EXPECT_GE(burst, int64_t(TapeClock::sampleRate));
    EXPECT_LE(burst, TapeClock::sampleRate + 2 * SilentAudioOutput::chunkFrames);

    // And from there it keeps the pace again.
    for (int step = 0; step < 10; ++step) {
        clock.advance(100ms);
        ASSERT_TRUE(clock.settle(1));
    }
    const int64_t second = renderer.rendered - afterStall;
    EXPECT_GE(second, int64_t(TapeClock::sampleRate) - SilentAudioOutput::chunkFrames);
    EXPECT_LE(second, int64_t(TapeClock::sampleRate) + SilentAudioOutput::chunkFrames);

    // Stopped and started again, it starts afresh from now.
    output.stop();
    clock.advance(5s);
    const int64_t atStop = renderer.rendered;
    output.start();
    ASSERT_TRUE(clock.settle(1));
    EXPECT_EQ(renderer.rendered - atStop, SilentAudioOutput::chunkFrames);
}

}  // namespace
}  // namespace norvo
