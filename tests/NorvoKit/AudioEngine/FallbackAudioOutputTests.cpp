#include "AudioEngine/FallbackAudioOutput.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "AudioEngine/TapeClock.hpp"
#include "Support/FakeAudioDevices.hpp"
#include "Support/FakeOutputClock.hpp"

namespace norvo {
namespace {

using namespace std::chrono_literals;
using Time = OutputClock::Time;
using Renderer = FallbackAudioOutput::Renderer;

// Stands in for the core: counts the frames rendered by the thread that rendered them
// (the test's own thread plays the fake device; any other is the silent output's) and
// marks the buffers it renders. On demand it holds one render until let go, as a callback
// that is slow to return, and notes two renders under way at once.
class TallyRenderer final : public AudioRenderer {
public:
    void render(int frames, float* left, float* right) override {
        if (inside_.fetch_add(1) != 0) overlapped = true;
        if (holdNext_.exchange(false)) {
            std::unique_lock lock(mutex_);
            held_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return !held_; });
        }
        std::fill_n(left, frames, 0.5f);
        std::fill_n(right, frames, 0.5f);
        (std::this_thread::get_id() == testThread_ ? device : silent).fetch_add(frames);
        inside_.fetch_sub(1);
    }
    void noteOutputStatus(OutputStatus) override {}
    int64_t total() const { return device + silent; }

    void holdNext() { holdNext_ = true; }
    // False after 10 s.
    bool waitUntilHeld() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return held_; });
    }
    void letGo() {
        std::lock_guard guard(mutex_);
        held_ = false;
        changed_.notify_all();
    }

    std::atomic<int64_t> device{0};
    std::atomic<int64_t> silent{0};
    std::atomic<bool> overlapped{false};

private:
    const std::thread::id testThread_ = std::this_thread::get_id();
    std::atomic<int> inside_{0};
    std::atomic<bool> holdNext_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;  // guarded by mutex_
};

class FallbackAudioOutputTest : public ::testing::Test {
protected:
    static constexpr int buffer = 441;  // 10 ms, the step of run()
    static constexpr const char* noServer = "No audio output device was found.";

    void start() {
        startedAt_ = clock.now();
        output.start();
        ASSERT_TRUE(settle());
    }
    // Until the supervisor and, while it runs, the silent output's thread wait for a
    // time still to come: all that was due has happened.
    bool settle() {
        return clock.settle([this] { return output.silentOutputRuns() ? 2 : 1; });
    }
    // Whether the device (when one runs) asks for buffers while time passes.
    enum class Device { idle, playing };
    // `span` of time in steps of one buffer; while the device plays it asks for a buffer
    // at the start of each step, as a device callback does.
    void run(Time span, Device device) {
        for (Time done{}; done < span; done += 10ms) {
            if (device == Device::playing) devices.play(buffer);
            clock.advance(10ms);
            ASSERT_TRUE(settle()) << "at " << (clock.now() - startedAt_).count() << " ns";
        }
    }
    // How far the frames rendered in all are ahead of the time since start: a device asks
    // for frames as time passes, so the tape's time is the rendered frames.
    int64_t ahead() const {
        return core.total() - (clock.now() - startedAt_).count() * TapeClock::sampleRate / 1'000'000'000;
    }
    int64_t drift() const { return std::abs(ahead()); }
    // For what another thread does without the clock moving; bounded.
    template <typename Predicate>
    static bool eventually(Predicate done) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::yield();
        }
        return true;
    }

    test::FakeOutputClock clock;
    test::FakeAudioDevices devices;
    TallyRenderer core;
    FallbackAudioOutput output{core, devices.factory(), clock, FallbackAudioOutput::Options{}};
    // One device buffer and one silent chunk: the most the two may be ahead or behind.
    const int64_t tolerance = buffer + SilentAudioOutput::chunkFrames;

private:
    Time startedAt_{};
};

TEST_F(FallbackAudioOutputTest, WithoutADeviceTheCoreRendersInSilenceAtTheDeviceRate) {
    devices.failWith(noServer);
    start();
    EXPECT_TRUE(output.isRunning());
    EXPECT_EQ(output.renderer(), Renderer::silent);
    EXPECT_EQ(devices.made(), 1);
    EXPECT_EQ(output.deviceLosses(), 1u);
    EXPECT_EQ(output.lastDeviceLoss(), noServer);

    run(2s, Device::idle);
    EXPECT_EQ(core.device, 0);
    EXPECT_GE(core.silent, 2 * TapeClock::sampleRate);
    EXPECT_LE(drift(), SilentAudioOutput::chunkFrames);

    // Trying again every three seconds, without another loss.
    run(990ms, Device::idle);
    EXPECT_EQ(devices.made(), 1);
    run(10ms, Device::idle);
    EXPECT_EQ(devices.made(), 2);
    run(3s, Device::idle);
    EXPECT_EQ(devices.made(), 3);
    EXPECT_EQ(output.deviceLosses(), 1u);
    EXPECT_LE(drift(), SilentAudioOutput::chunkFrames);
}

TEST_F(FallbackAudioOutputTest, ADeviceThatComesLaterTakesOverWithoutLosingOrRepeatingAFrame) {
    devices.failWith(noServer);
    start();
    run(3s, Device::playing);
    EXPECT_EQ(devices.made(), 2);

    // The server is back: the next attempt starts a device, which plays steadily.
    devices.failWith(std::nullopt);
    run(3s, Device::playing);
    EXPECT_EQ(devices.made(), 3);
    EXPECT_TRUE(devices.running());

    // Its first buffers are silence and render nothing: the silent output still keeps
    // the time until the device has played steadily for a moment.
    run(90ms, Device::playing);
    EXPECT_EQ(output.renderer(), Renderer::silent);
    EXPECT_EQ(core.device, 0);
    EXPECT_EQ(devices.left().front(), 0.0f);
    run(20ms, Device::playing);
    EXPECT_EQ(output.renderer(), Renderer::device);
    EXPECT_EQ(devices.left().back(), 0.5f);

    // From then on the device alone renders: not one chunk more in silence.
    run(100ms, Device::playing);
    EXPECT_FALSE(output.silentOutputRuns());
    const int64_t silentFrames = core.silent, deviceFrames = core.device;
    run(1s, Device::playing);
    EXPECT_EQ(core.silent, silentFrames);
    EXPECT_EQ(core.device - deviceFrames, TapeClock::sampleRate);
    EXPECT_LE(drift(), 1) << "what the silent output rendered ahead of time the device left out";
    EXPECT_EQ(output.deviceLosses(), 1u) << "coming back is no loss";
}

// A device that stops calling back for a while, as on a busy machine or a sound server that
// hangs, and then calls back again: either from where it is (what it missed was not
// played) or first asking at once for every buffer it missed.
struct DevicePause {
    const char* name;
    Time pause;
    bool catchesUp;
    bool lost;
};
void PrintTo(const DevicePause& p, std::ostream* os) { *os << p.name; }

class FallbackAudioOutputPauseTest : public FallbackAudioOutputTest,
                                     public ::testing::WithParamInterface<DevicePause> {};

TEST_P(FallbackAudioOutputPauseTest, APauseKeepsTheDeviceAndOnlyALongSilenceLosesIt) {
    const DevicePause& p = GetParam();
    start();
    run(500ms, Device::playing);
    ASSERT_EQ(output.renderer(), Renderer::device);

    // Silence keeps the tape's time while the device says nothing.
    run(p.pause, Device::idle);
    EXPECT_EQ(output.renderer(), Renderer::silent);
    EXPECT_LE(drift(), tolerance);
    if (p.catchesUp)
        for (Time missed{}; missed < p.pause; missed += 10ms) devices.play(buffer);

    // Back: the same device takes the turn again once it calls back steadily.
    std::optional<Time> handedBack;
    for (Time since{}; since <= 200ms && !handedBack; since += 10ms) {
        if (devices.play(buffer) && output.renderer() == Renderer::device) handedBack = since;
        clock.advance(10ms);
        ASSERT_TRUE(settle());
    }
    if (p.lost) {
        // Silent for seconds: closed, said once, and a new device tried later.
        EXPECT_FALSE(handedBack);
        EXPECT_EQ(output.deviceLosses(), 1u);
        EXPECT_EQ(output.lastDeviceLoss(), FallbackAudioOutput::stoppedSentence);
        EXPECT_EQ(devices.stopped(), 1);
        run(1500ms, Device::playing);
        EXPECT_EQ(devices.made(), 2);
        EXPECT_EQ(output.renderer(), Renderer::device);
        EXPECT_LE(drift(), tolerance);
        return;
    }
    ASSERT_TRUE(handedBack) << "the device did not take the turn back";
    EXPECT_LE(*handedBack, 100ms);
    EXPECT_EQ(output.deviceLosses(), 0u);
    EXPECT_EQ(devices.made(), 1);
    EXPECT_EQ(devices.stopped(), 0);

    // Every frame of the tape once, the time the silent output rendered ahead left out:
    // the tape is exactly as far as the clock.
    run(1s, Device::playing);
    EXPECT_FALSE(output.silentOutputRuns());
    EXPECT_LE(drift(), 1);
}

INSTANTIATE_TEST_SUITE_P(Pauses, FallbackAudioOutputPauseTest,
                         ::testing::Values(DevicePause{"QuarterSecond", 250ms, false, false},
                                           DevicePause{"QuarterSecondCaughtUp", 250ms, true, false},
                                           DevicePause{"OneSecond", 1s, false, false},
                                           DevicePause{"OneSecondCaughtUp", 1s, true, false},
                                           DevicePause{"FiveSeconds", 5s, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FallbackAudioOutputTest, AStreamThatEndsHandsOverAtOnce) {
    start();
    run(300ms, Device::playing);
    ASSERT_EQ(output.renderer(), Renderer::device);

    devices.end();
    ASSERT_TRUE(eventually([&] { return output.renderer() == Renderer::silent && devices.stopped() == 1; }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(output.deviceLosses(), 1u);
    EXPECT_EQ(output.lastDeviceLoss(), FallbackAudioOutput::stoppedSentence);
    EXPECT_LE(drift(), tolerance);
}

TEST_F(FallbackAudioOutputTest, ADeviceMustPlaySteadilyToTakeOverAndOneThatNeverDoesIsGivenUp) {
    start();
    // A sound server starts a stream with a burst of buffers and then a pause.
    for (int i = 0; i < 5; ++i) devices.play(buffer);
    run(900ms, Device::idle);
    EXPECT_EQ(output.renderer(), Renderer::silent);
    EXPECT_EQ(core.device, 0);
    EXPECT_EQ(output.deviceLosses(), 0u);
    run(110ms, Device::playing);
    EXPECT_EQ(output.renderer(), Renderer::device);
    EXPECT_EQ(output.deviceLosses(), 0u);
    EXPECT_LE(drift(), tolerance);
    output.stop();

    // One that starts and then never plays is given up, and tried again later.
    FallbackAudioOutput mute(core, devices.factory(), clock, FallbackAudioOutput::Options{});
    mute.start();
    ASSERT_TRUE(clock.settle(2));
    EXPECT_EQ(devices.made(), 2);
    for (int i = 0; i < 30; ++i) {
        clock.advance(100ms);
        ASSERT_TRUE(clock.settle(2));
    }
    EXPECT_EQ(mute.renderer(), Renderer::silent);
    EXPECT_EQ(devices.stopped(), 2);
    EXPECT_EQ(mute.deviceLosses(), 1u);
    EXPECT_EQ(mute.lastDeviceLoss(), FallbackAudioOutput::mutedSentence);
    for (int i = 0; i < 30; ++i) {
        clock.advance(100ms);
        ASSERT_TRUE(clock.settle(2));
    }
    EXPECT_EQ(devices.made(), 3);
}

// A new device's first callback comes a while after it is opened, as opening and starting a
// stream on a sound server may take longer than the settle time.
class FallbackAudioOutputFirstCallbackTest : public FallbackAudioOutputTest,
                                             public ::testing::WithParamInterface<Time> {};

TEST_P(FallbackAudioOutputFirstCallbackTest, ANewDevicePlaysSteadilyFromItsFirstCallbackBeforeItTakesOver) {
    start();
    run(GetParam(), Device::idle);
    std::optional<Time> tookOver;
    for (Time since{}; since <= 200ms && !tookOver; since += 10ms) {
        devices.play(buffer);
        if (output.renderer() == Renderer::device) tookOver = since;
        clock.advance(10ms);
        ASSERT_TRUE(settle());
    }
    ASSERT_TRUE(tookOver);
    EXPECT_GE(*tookOver, FallbackAudioOutput::Options{}.settleTime);
    EXPECT_LE(*tookOver, FallbackAudioOutput::Options{}.settleTime + 10ms);
}

TEST_P(FallbackAudioOutputFirstCallbackTest, ANewDeviceThatStartsWithABurstAndAPauseKeepsTheTapeOnTheClock) {
    start();
    run(GetParam(), Device::idle);
    for (int i = 0; i < 5; ++i) devices.play(buffer);
    EXPECT_EQ(core.device, 0) << "the burst took the turn";
    run(300ms, Device::idle);
    run(1s, Device::playing);
    EXPECT_EQ(output.renderer(), Renderer::device);
    EXPECT_FALSE(output.silentOutputRuns());
    EXPECT_LE(drift(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Delays, FallbackAudioOutputFirstCallbackTest, ::testing::Values(110ms, 150ms, 190ms), [](const auto& info) {
        return "After" + std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(info.param).count()) +
               "ms";
    });

TEST_F(FallbackAudioOutputTest, ACallbackUnderWayWhenSilenceTakesOverIsRenderedOnceAndSilenceGoesOnFromItsEnd) {
    start();
    run(300ms, Device::playing);
    ASSERT_EQ(output.renderer(), Renderer::device);
    ASSERT_FALSE(output.silentOutputRuns());

    // A callback slow to return: meanwhile the supervisor sees a pause and silence takes
    // the turn, and the device's next callback comes, finding the turn gone.
    core.holdNext();
    std::vector<float> left(buffer), right(buffer);
    std::thread slow([&] { devices.playInto(buffer, left.data(), right.data()); });
    const bool held = core.waitUntilHeld();
    if (held) clock.advance(210ms);
    const bool tookOver = held && eventually([&] { return output.renderer() == Renderer::silent; });
    const bool next = tookOver && devices.play(buffer);
    core.letGo();
    slow.join();
    ASSERT_TRUE(held && tookOver && next);
    EXPECT_EQ(devices.left().front(), 0.0f);
    EXPECT_EQ(left.front(), 0.5f) << "the slow callback had the turn";
    ASSERT_TRUE(settle());

    // Silence goes on where the slow buffer ends, and renders a chunk ahead at most.
    EXPECT_FALSE(core.overlapped) << "silence rendered while the device's buffer was under way";
    EXPECT_GE(ahead(), 0) << "frames lost";
    EXPECT_LT(ahead(), SilentAudioOutput::chunkFrames) << "frames rendered twice";
}

TEST_F(FallbackAudioOutputTest, StoppingEndsTheDeviceAndTheSilenceAndNothingRendersAfter) {
    start();
    run(300ms, Device::playing);
    ASSERT_EQ(output.renderer(), Renderer::device);
    output.stop();
    EXPECT_FALSE(output.isRunning());
    EXPECT_EQ(devices.stopped(), 1);
    EXPECT_FALSE(devices.running());
    ASSERT_TRUE(clock.settle(0));

    const int64_t atStop = core.total();
    clock.advance(5s);
    EXPECT_TRUE(clock.settle(0));
    EXPECT_FALSE(devices.play(buffer));
    EXPECT_EQ(core.total(), atStop);
    output.stop();  // a second stop does nothing
}

// A call into the device that does not return, as on a sound server that hangs: quitting
// waits for it no longer than stopTimeout, and when it returns at last it reaches neither
// the output nor its core nor its clock.
using Call = test::FakeAudioDevices::Call;
class FallbackAudioOutputHangTest : public ::testing::TestWithParam<Call> {};

TEST_P(FallbackAudioOutputHangTest, QuittingLeavesADeviceCallThatHangsBehind) {
    const Call call = GetParam();
    constexpr int buffer = 441;
    test::FakeAudioDevices devices;
    auto clock = std::make_unique<test::FakeOutputClock>();
    auto core = std::make_unique<TallyRenderer>();
    auto output =
        std::make_unique<FallbackAudioOutput>(*core, devices.factory(), *clock, FallbackAudioOutput::Options{});
    // The supervisor waits on the clock unless it is stuck in the device.
    const int supervisorWaits = call == Call::stop ? 1 : 0;
    const auto settle = [&] {
        return clock->settle([&] { return int(output->silentOutputRuns()) + supervisorWaits; });
    };

    if (call != Call::stop) devices.hold(call);
    output->start();
    if (call != Call::stop) {
        ASSERT_TRUE(devices.waitUntilHeld());
    }
    ASSERT_TRUE(settle());
    // A device plays steadily and takes the turn, even before its start has returned.
    if (call != Call::open) {
        for (int i = 0; i < 30; ++i) {
            ASSERT_TRUE(devices.play(buffer));
            clock->advance(10ms);
            ASSERT_TRUE(settle());
        }
        ASSERT_EQ(output->renderer(), Renderer::device);
    }
    if (call == Call::stop) devices.hold(call);
    const int waiters = int(output->silentOutputRuns()) + 1;  // and the quit
    auto quit = std::async(std::launch::async, [&] { output.reset(); });
    // Once the supervisor is stuck in the device, only the quit may start to wait.
    const bool waits = (call != Call::stop || devices.waitUntilHeld()) && clock->settle(waiters);
    clock->advance(FallbackAudioOutput::Options{}.stopTimeout);
    const bool prompt = quit.wait_for(5s) == std::future_status::ready;
    if (!prompt) devices.release();  // so that the test fails instead of hanging
    quit.wait();
    ASSERT_TRUE(waits && prompt) << "quitting waited for the device";

    // The device left behind still calls back: the core is not rendered.
    const int64_t atQuit = core->total();
    if (call != Call::open) {
        EXPECT_TRUE(devices.play(buffer));
        EXPECT_EQ(devices.left().front(), 0.0f);
    }
    EXPECT_EQ(core->total(), atQuit);

    // The call returns with the core and the clock gone; the device is closed all the same.
    core.reset();
    clock.reset();
    devices.release();
    EXPECT_TRUE(devices.waitUntilGone());
    EXPECT_FALSE(devices.running());
    if (call == Call::open) {
        EXPECT_EQ(devices.started(), 0) << "a device opened after quitting was started";
    }
}

TEST(FallbackAudioOutputQuitTest, ADeviceThatOpensWhileQuittingIsNeverStarted) {
    test::FakeAudioDevices devices;
    test::FakeOutputClock clock;
    TallyRenderer core;
    FallbackAudioOutput output(core, devices.factory(), clock, FallbackAudioOutput::Options{});
    devices.hold(Call::open);
    output.start();
    ASSERT_TRUE(devices.waitUntilHeld());
    ASSERT_TRUE(clock.settle(1)) << "the silent output";

    // Quitting waits for the open call, which returns well before the deadline.
    auto quit = std::async(std::launch::async, [&] { output.stop(); });
    ASSERT_TRUE(clock.settle(2)) << "the silent output and the quit";
    devices.release();
    ASSERT_EQ(quit.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(devices.made(), 1);
    EXPECT_EQ(devices.started(), 0);
    EXPECT_TRUE(devices.waitUntilGone());
}

INSTANTIATE_TEST_SUITE_P(Calls, FallbackAudioOutputHangTest, ::testing::Values(Call::open, Call::start, Call::stop),
                         [](const auto& info) {
                             return std::string(std::array{"Open", "Start", "Stop"}[int(info.param)]);
                         });

}  // namespace
}  // namespace norvo
