// The render against its deadline while recording onto a fresh workspace in real time,
// with another program writing and fsyncing big files meanwhile:
//  - render-faults-per-min: page faults taken on the render thread, per minute of
//    recording (the reference, measured in the same run, is writing the same audio into
//    a fresh side file without its pages made ready first);
//  - render-worst-callback-ratio: the slowest 512-frame callback over the callback's
//    budget (512 / 44100 s).
#include <benchmark/benchmark.h>

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "AudioEngine/AudioCore.hpp"
#include "AudioEngine/TapeMedia.hpp"
#include "AudioEngine/TapeSideStorage.hpp"
#include "Support/BusyDisk.hpp"
#include "Support/EndlessSource.hpp"
#include "Support/TemporaryDirectory.hpp"
#include "Support/ThreadPageFaults.hpp"
#include "support/Figure.hpp"
#include "support/MeasuredRuns.hpp"

namespace {

using namespace norvo;

constexpr int callback = 512;
constexpr double recordedSeconds = 20;

using test::EndlessSource;
using test::threadPageFaults;

// As the output does: real-time priority where the system grants it.
void askForRealTime() {
    sched_param parameters{};
    parameters.sched_priority = 70;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters);
}

struct Recording {
    long faults = 0;
    double worstSeconds = 0;
    double worstAt = 0;  // seconds into the recording
    double meanSeconds = 0;
};

// Records from a steady source in real time, one 512-frame callback every 11.6 ms.
Recording recordInRealTime(const std::filesystem::path& root, double seconds) {
    AudioCore core;
    auto media = std::make_shared<TapeMedia>(CassetteType::c60(), root);
    core.loadMedia(media, {.type = CassetteType::c60(), .side = TapeSide::a}, 0);
    // A cassette is loaded a moment before anyone presses record.
    while (media->followerPasses() < 2) std::this_thread::yield();
    EndlessSource source;
    core.installSourceStream(&source, AudioCore::SourceState::playing);
    core.transport(TransportCommand::record);
    Recording result;
    std::thread device([&] {
        askForRealTime();
        std::vector<float> left(callback), right(callback);
        const auto period = std::chrono::duration<double>(double(callback) / 44100.0);
        const auto start = std::chrono::steady_clock::now();
        const auto callbacks = int64_t(seconds * 44100.0 / callback);
        double total = 0;
        for (int64_t i = 0; i < callbacks; ++i) {
            std::this_thread::sleep_until(
                start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(period * double(i)));
            const long before = threadPageFaults();
            const auto begun = std::chrono::steady_clock::now();
            core.render(callback, left.data(), right.data());
            const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
            // The first callback pays for the thread's own stack and the like.
            if (i > 0) {
                result.faults += threadPageFaults() - before;
                if (took > result.worstSeconds) {
                    result.worstSeconds = took;
                    result.worstAt = double(i) * period.count();
                }
            }
            total += took;
        }
        result.meanSeconds = total / double(callbacks);
    });
    device.join();
    core.installSourceStream(nullptr, AudioCore::SourceState::stopped);
    return result;
}

// The reference: the same audio written straight into a fresh side file, as the render
// did before the workspace made its pages ready.
long unpreparedFaults(const std::filesystem::path& root, double seconds) {
    TapeSideStorage storage(root / "unprepared.pcm", int64_t(seconds * 44100) + callback);
    long faults = 0;
    std::thread writer([&] {
        std::vector<float> left(callback, 0.1f), right(callback, -0.1f);
        const long before = threadPageFaults();
        for (int64_t at = 0; at + callback <= int64_t(seconds * 44100); at += callback)
            storage.write(at, left.data(), right.data(), callback);
        faults = threadPageFaults() - before;
    });
    writer.join();
    return faults;
}

void BM_RenderWhileRecording(benchmark::State& state) {
    test::TemporaryDirectory root;
    for (auto _ : state) {
        const Recording recording = recordInRealTime(root.path(), 2);
        state.SetIterationTime(recording.meanSeconds);
    }
}
BENCHMARK(BM_RenderWhileRecording)->UseManualTime()->Iterations(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    norvo::bench::runMeasured(argc, argv);

    test::TemporaryDirectory root;
    Recording recording;
    {
        test::BusyDisk busy(root / "busy.bin");
        recording = recordInRealTime(root.path(), recordedSeconds);
    }
    const long reference = unpreparedFaults(root.path(), recordedSeconds);
    const double perMinute = 60.0 / recordedSeconds;
    const double budget = double(callback) / 44100.0;
    std::printf("reference: writing a fresh side file without preparing it takes %.0f page faults per minute\n",
                double(reference) * perMinute);
    std::printf("worst callback %.3f ms of %.3f ms, %.2f s into the recording\n", recording.worstSeconds * 1e3,
                budget * 1e3, recording.worstAt);
    norvo::bench::printFigure("render-faults-per-min", double(recording.faults) * perMinute);
    norvo::bench::printFigure("render-worst-callback-ratio", recording.worstSeconds / budget);
    return 0;
}
