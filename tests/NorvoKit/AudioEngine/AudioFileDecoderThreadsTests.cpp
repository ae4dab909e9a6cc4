#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <thread>
#include <vector>

#include "AudioEngine/AudioFileDecoder.hpp"
#include "Support/AudioFixtures.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

// The threads of this process as the kernel lists them.
std::size_t processThreads() {
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

TEST(AudioFileDecoderThreads, ALosslessFileDecodesOnAsManyFrameThreadsAsTheMachineHasWithinABound) {
    test::TemporaryDirectory directory;
    const auto file = directory / "lossless.m4a";  // ALAC: decoded frame by frame on threads
    test::generateTone(file, 2, 440, 660);
    const std::size_t machine = std::clamp(std::thread::hardware_concurrency(), 1u, 16u);

    const std::size_t before = processThreads();
    std::size_t whileOpen = 0;
    {
        AudioFileDecoder decoder(file);
        std::vector<float> left(4096), right(4096);
        ASSERT_EQ(decoder.read(left.data(), right.data(), 4096), 4096);
        whileOpen = processThreads();
    }
    const std::size_t frameThreads = whileOpen - before;
    if (machine > 1) {
        EXPECT_EQ(frameThreads, machine);
    }
    EXPECT_LE(frameThreads, 16u) << "a many-core machine must not get dozens of threads per stream";
    // A joined thread leaves the kernel's list a moment after it ended, later on a busy machine.
    for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
         processThreads() != before && std::chrono::steady_clock::now() < until;)
        std::this_thread::yield();
    EXPECT_EQ(processThreads(), before) << "the threads end with the decoder";
}

}  // namespace
}  // namespace norvo
