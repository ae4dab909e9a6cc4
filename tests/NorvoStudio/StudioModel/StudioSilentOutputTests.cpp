// The studio on the output it gets when it makes its own: the sound device while one
// plays, silence that keeps the device's time while none does. The device is a fake that
// fails on demand, the time a fake clock.
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <thread>

#include "AudioEngine/FallbackAudioOutput.hpp"
#include "AudioEngine/TapeClock.hpp"
#include "NorvoStudio/Support/StudioFixture.hpp"
#include "Support/FakeAudioDevices.hpp"
#include "Support/FakeOutputClock.hpp"
#include "Support/PlayerDecoderWait.hpp"

namespace norvo {
namespace {

using namespace std::chrono_literals;
using Time = OutputClock::Time;

constexpr const char* noServer = "No audio output device was found.";
constexpr int64_t second = TapeClock::sampleRate;

class StudioSilentOutputTest : public ::testing::Test {
protected:
    StudioSilentOutputTest() : f(options()) {}

    test::StudioFixture::Options options() {
        test::StudioFixture::Options options;
        options.makeOutput = [this](AudioCore& core) {
            auto made =
                std::make_unique<FallbackAudioOutput>(core, devices.factory(), clock, FallbackAudioOutput::Options{});
            output = made.get();
            return made;
        };
        return options;
    }

    void start() {
        f.start();
        ASSERT_NE(output, nullptr);
        ASSERT_TRUE(settle());
        f.tick();
    }
    // No sound server, and a cassette handed over at launch that cannot be opened.
    void startWithABrokenCassetteAndNoServer() {
        devices.failWith(noServer);
        const auto file = f.directory / "Broken.norvo";
        std::ofstream(file) << "this is not a cassette";
        f->open(file);
        f.start();
        ASSERT_NE(output, nullptr);
        f.runBackground();
        ASSERT_TRUE(settle());
        f.tick();
    }
    bool settle() {
        return clock.settle([this] { return output->silentOutputRuns() ? 2 : 1; });
    }
    // Whether the device (when one runs) asks for buffers while time passes.
    enum class Device { idle, playing };
    // `span` in steps of 10 ms with a tick after each; while the device plays it asks for
    // a buffer at the start of each step. The player's decoder is given the time a real
    // device would give it.
    void run(Time span, Device device) {
        for (Time done{}; done < span; done += 10ms) {
            test::waitForPlayerDecoder(f->core(), 4096);
            if (device == Device::playing) devices.play(441);
            clock.advance(10ms);
            ASSERT_TRUE(settle());
            f.tick(0.01);
        }
    }
    CoreSnapshot snapshot() { return f->core().snapshot(AudioCore::Peaks::keep); }

    test::FakeOutputClock clock;
    test::FakeAudioDevices devices;
    FallbackAudioOutput* output = nullptr;  // owned by the model
    test::StudioFixture f;
};

TEST_F(StudioSilentOutputTest, WithoutASoundDeviceThePlayerPlaysAndTheDeckRecordsIt) {
    devices.failWith(noServer);
    QSignalSpy alerts(f.model.get(), &StudioModel::alertChanged);
    start();
    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, "No audio output");
    EXPECT_EQ(f->alerts().shown()->message, noServer);
    EXPECT_EQ(alerts.count(), 1);
    f->alerts().dismiss();
    EXPECT_EQ(f->outputLoss(), QString::fromUtf8(noServer)) << "the deck says it too";

    f.insertBlank();
    ASSERT_TRUE(f.playSong(f.makeSong("Song.wav", 8)));
    f->transport(TransportCommand::record);
    run(4s, Device::idle);

    // Four seconds of the clock: the player, the tape and the recording moved by as much.
    const CoreSnapshot moved = snapshot();
    EXPECT_EQ(moved.transport.mode, TransportMode::recording);
    EXPECT_NEAR(double(moved.transport.head), 4.0 * second, 0.05 * second);
    EXPECT_NEAR(double(moved.sourcePosition), 4.0 * second, 0.05 * second);
    EXPECT_EQ(moved.underrunFrames, 0u);
    EXPECT_GT(f.sidePeak(TapeSide::a, 0, moved.transport.head), 0.1f);
    EXPECT_EQ(f->live().snapshot().transport.head, moved.transport.head) << "the deck shows it";

    // The device was tried again meanwhile; that raised nothing more.
    EXPECT_EQ(devices.made(), 2);
    EXPECT_EQ(alerts.count(), 2) << "the alert and its dismissal";
}

TEST_F(StudioSilentOutputTest, ACassetteThatCannotOpenAtStartIsToldBeforeTheMissingDevice) {
    // A broken cassette handed over at launch fails before the device's absence is known:
    // neither sentence may hide the other.
    startWithABrokenCassetteAndNoServer();
    if (HasFatalFailure()) return;

    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, "Cannot open cassette");
    f->alerts().dismiss();
    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, "No audio output");
    EXPECT_EQ(f->alerts().shown()->message, noServer);
    f->alerts().dismiss();
    f.tick();
    EXPECT_FALSE(f->alerts().shown());
}

TEST_F(StudioSilentOutputTest, TheStartUpAlertGoesByItselfOnceADevicePlays) {
    devices.failWith(noServer);
    start();
    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, "No audio output");

    // The sound server starts while the alert is up; the next attempt plays.
    devices.failWith(std::nullopt);
    run(3500ms, Device::playing);
    ASSERT_EQ(output->renderer(), FallbackAudioOutput::Renderer::device);
    EXPECT_FALSE(f->alerts().shown()) << "the alert stays and takes the next key meant for the studio";
    EXPECT_FALSE(f->outputLoss());
}

TEST_F(StudioSilentOutputTest, AStartUpAlertWaitingBehindAnotherIsDroppedOnceADevicePlays) {
    startWithABrokenCassetteAndNoServer();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(f->alerts().shown());
    ASSERT_EQ(f->alerts().shown()->title, "Cannot open cassette");

    devices.failWith(std::nullopt);
    run(3500ms, Device::playing);
    ASSERT_EQ(output->renderer(), FallbackAudioOutput::Renderer::device);
    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, "Cannot open cassette") << "the user's own failure stays";
    f->alerts().dismiss();
    EXPECT_FALSE(f->alerts().shown());
}

TEST_F(StudioSilentOutputTest, APauseOfTheDeviceIsNeitherAlertedNorShownAndTheRecordingKeepsEveryFrame) {
    QSignalSpy alerts(f.model.get(), &StudioModel::alertChanged);
    QSignalSpy losses(f.model.get(), &StudioModel::outputLossChanged);
    start();
    f.insertBlank();
    ASSERT_TRUE(f.playSong(f.makeSong("Song.wav", 8)));
    f->transport(TransportCommand::record);
    run(1s, Device::playing);
    ASSERT_EQ(output->renderer(), FallbackAudioOutput::Renderer::device);
    const int64_t headBefore = snapshot().transport.head;

    // A busy machine holds the device's callbacks back for a second; then it plays again.
    run(1s, Device::idle);
    run(1s, Device::playing);
    EXPECT_EQ(output->renderer(), FallbackAudioOutput::Renderer::device);
    EXPECT_EQ(devices.made(), 1);
    EXPECT_EQ(alerts.count(), 0);
    EXPECT_EQ(losses.count(), 0);
    EXPECT_FALSE(f->outputLoss());

    // Two seconds of the clock, two seconds of tape: nothing lost, and not one device buffer
    // (441 frames) twice.
    const CoreSnapshot after = snapshot();
    EXPECT_EQ(after.transport.mode, TransportMode::recording);
    EXPECT_NEAR(double(after.transport.head - headBefore), 2.0 * second, 2);
    EXPECT_EQ(after.underrunFrames, 0u);
}

TEST_F(StudioSilentOutputTest, ADeviceThatGoesAwayIsSaidOnTheDeckWithoutAnAlertUntilItIsBack) {
    QSignalSpy alerts(f.model.get(), &StudioModel::alertChanged);
    start();
    f.insertBlank();
    ASSERT_TRUE(f.playSong(f.makeSong("Song.wav", 12)));
    f->transport(TransportCommand::record);
    run(1s, Device::playing);
    ASSERT_EQ(output->renderer(), FallbackAudioOutput::Renderer::device);
    ASSERT_EQ(snapshot().transport.mode, TransportMode::recording);

    // The sound server goes away, and stays away for the next attempts.
    devices.failWith(noServer);
    devices.end();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (output->renderer() != FallbackAudioOutput::Renderer::silent || devices.running()) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the output did not notice";
        std::this_thread::yield();
    }
    ASSERT_TRUE(settle());
    f.tick(0.01);
    ASSERT_TRUE(f->outputLoss());
    EXPECT_EQ(*f->outputLoss(), FallbackAudioOutput::stoppedSentence);
    EXPECT_FALSE(f->alerts().shown()) << "no dialog takes the next click meant for the studio";

    const int64_t headAtLoss = snapshot().transport.head;
    run(6500ms, Device::playing);
    EXPECT_EQ(devices.made(), 3);
    EXPECT_EQ(snapshot().transport.mode, TransportMode::recording);
    EXPECT_NEAR(double(snapshot().transport.head - headAtLoss), 6.5 * second, 0.05 * second);
    EXPECT_TRUE(f->outputLoss());

    // The server is back: the next attempt plays again, and the deck stops saying it.
    devices.failWith(std::nullopt);
    run(3s, Device::playing);
    EXPECT_EQ(output->renderer(), FallbackAudioOutput::Renderer::device);
    EXPECT_FALSE(f->outputLoss());
    EXPECT_EQ(snapshot().transport.mode, TransportMode::recording);
    EXPECT_EQ(alerts.count(), 0);
    EXPECT_EQ(snapshot().underrunFrames, 0u);

    // Every frame of the run went onto the tape once: the head is the time recorded.
    f->transport(TransportCommand::stop);
    f.tick(0.01);
    EXPECT_NEAR(double(f->cassetteSlot().media()->used(TapeSide::a)), 10.5 * second, 0.1 * second);
}

}  // namespace
}  // namespace norvo
