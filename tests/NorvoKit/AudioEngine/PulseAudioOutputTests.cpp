#include "AudioEngine/PulseAudioOutput.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "AudioEngine/AudioRenderer.hpp"
#include "AudioEngine/PortAudioOutput.hpp"
#include "AudioEngine/SystemAudioDevices.hpp"
#include "Support/ScopedEnvironment.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

using namespace std::chrono_literals;

// Counts what the stream asks for, and whether it was told the stream ended.
class CountingRenderer final : public AudioRenderer {
public:
    void render(int frames, float* left, float* right) override {
        std::fill_n(left, frames, 0.25f);
        std::fill_n(right, frames, -0.25f);
        std::lock_guard guard(mutex_);
        frames_ += frames;
        changed_.notify_all();
    }
    void noteOutputStatus(OutputStatus) override {}
    void noteOutputEnded() override {
        std::lock_guard guard(mutex_);
        ended_ = true;
        changed_.notify_all();
    }
    // Until `frames` more than now are rendered; false after 10 s.
    bool waitForMore(int64_t frames) {
        std::unique_lock lock(mutex_);
        const int64_t target = frames_ + frames;
        return changed_.wait_for(lock, 10s, [&] { return frames_ >= target; });
    }
    bool waitForEnd() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return ended_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int64_t frames_ = 0;
    bool ended_ = false;
};

// The clients here reach only the test's own socket, where a server of the test's own
// (with a sink that plays into nothing) may listen.
class PulseAudioOutputTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (server_ > 0) {
            kill(server_, SIGKILL);
            waitpid(server_, nullptr, 0);
        }
    }
    // False where PulseAudio is not installed.
    bool startServer() {
        std::vector<std::string> arguments{"pulseaudio",
                                           "-n",
                                           "--daemonize=no",
                                           "--exit-idle-time=-1",
                                           "--use-pid-file=no",
                                           "--log-target=file:" + (directory_ / "server.log").string(),
                                           "-L",
                                           "module-native-protocol-unix auth-anonymous=1 socket=" + socket_,
                                           "-L",
                                           "module-null-sink sink_name=test"};
        std::vector<std::string> environment{"HOME=" + directory_.path().string(),
                                             "XDG_RUNTIME_DIR=" + directory_.path().string(), "PATH=/usr/bin:/bin"};
        std::vector<char*> argv, envp;
        for (auto& argument : arguments) argv.push_back(argument.data());
        for (auto& variable : environment) envp.push_back(variable.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        if (posix_spawnp(&server_, "pulseaudio", nullptr, nullptr, argv.data(), envp.data()) != 0) return false;
        // Until its socket is there nobody answers, at once.
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline)
            if (PulseAudioOutput::probe(100ms) == PulseAudioOutput::Server::answers) return true;
        ADD_FAILURE() << "the sound server did not start";
        return false;
    }

    test::TemporaryDirectory directory_;
    const std::string socket_ = (directory_ / "native").string();
    test::ScopedEnvironment serverAddress_{"PULSE_SERVER", ("unix:" + socket_).c_str()};
    pid_t server_ = 0;
    CountingRenderer renderer_;
};

TEST_F(PulseAudioOutputTest, WithoutAServerNoneIsFoundAndStartingThrowsASentence) {
    EXPECT_EQ(PulseAudioOutput::probe(1s), PulseAudioOutput::Server::none);
    PulseAudioOutput output(renderer_);
    try {
        output.start();
        FAIL() << "started without a server";
    } catch (const std::runtime_error& error) {
        const std::string message = error.what();
        EXPECT_TRUE(message.starts_with("No sound server answers")) << message;
        EXPECT_TRUE(message.ends_with(".")) << message;
    }
    EXPECT_FALSE(output.isRunning());
}

TEST_F(PulseAudioOutputTest, AStreamPlaysOnThroughAServersPauseAndEndsWhenTheServerGoes) {
    if (!startServer()) GTEST_SKIP() << "PulseAudio is not installed";
    PulseAudioOutput output(renderer_);
    output.start();
    ASSERT_TRUE(output.isRunning());
    ASSERT_TRUE(renderer_.waitForMore(4410));

    // A stopped server takes the connection and does not answer.
    kill(server_, SIGSTOP);
    EXPECT_EQ(PulseAudioOutput::probe(300ms), PulseAudioOutput::Server::silent);
    kill(server_, SIGCONT);
    EXPECT_TRUE(renderer_.waitForMore(8820)) << "the stream did not play on";
    EXPECT_TRUE(output.isRunning()) << "a pause ended the stream";

    kill(server_, SIGKILL);
    waitpid(server_, nullptr, 0);
    server_ = 0;
    EXPECT_TRUE(renderer_.waitForEnd());
    EXPECT_FALSE(output.isRunning());
    output.stop();
}

TEST_F(PulseAudioOutputTest, TheStudioPlaysThroughAServerThatAnswersAndOtherwiseThroughPortAudioNowAndThen) {
    const auto makeDevice = SystemAudioDevices::factory();
    EXPECT_NE(dynamic_cast<PortAudioOutput*>(makeDevice(renderer_).get()), nullptr);
    // PortAudio probes every sound card: not again at once.
    EXPECT_THROW(makeDevice(renderer_), std::runtime_error);
    if (!startServer()) GTEST_SKIP() << "PulseAudio is not installed";
    EXPECT_NE(dynamic_cast<PulseAudioOutput*>(makeDevice(renderer_).get()), nullptr);
    kill(server_, SIGSTOP);
    EXPECT_THROW(makeDevice(renderer_), std::runtime_error);
    kill(server_, SIGCONT);
}

}  // namespace
}  // namespace norvo
