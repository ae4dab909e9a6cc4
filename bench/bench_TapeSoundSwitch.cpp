// Changing the tape sound while a cassette plays: the longest silence the switch leaves
// in the output, in frames, over every switch between the built-in profiles and clean.
// The reference, measured in the same run, is the silence a newly made processor starts
// with (its empty delay lines), which is what a switch without a crossfade left.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <numbers>
#include <vector>

#include "AudioEngine/AudioCore.hpp"
#include "AudioEngine/TapeMedia.hpp"
#include "AudioEngine/TapeSound/TapeSoundLibrary.hpp"
#include "AudioEngine/TapeSound/TapeSoundProcessor.hpp"
#include "Support/EndlessSource.hpp"
#include "Support/TemporaryDirectory.hpp"
#include "support/Figure.hpp"
#include "support/MeasuredRuns.hpp"

namespace {

using namespace norvo;

constexpr int callback = 512;

// A sine on the left and a cosine on the right: never silent on both at once.
void sineAndCosine(int64_t from, int frames, float* left, float* right) {
    for (int i = 0; i < frames; ++i) {
        const float phase = 2.0f * std::numbers::pi_v<float> * 441.0f * float(from + i) / 44100.0f;
        left[i] = 0.3f * std::sin(phase);
        right[i] = 0.3f * std::cos(phase);
    }
}

std::size_t longestSilence(const std::vector<float>& left, const std::vector<float>& right, std::size_t frames) {
    std::size_t longest = 0, run = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        run = std::fabs(left[i]) < 1e-4f && std::fabs(right[i]) < 1e-4f ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

struct Deck {
    test::TemporaryDirectory directory;
    AudioCore core;
    std::shared_ptr<TapeMedia> media = std::make_shared<TapeMedia>(CassetteType::custom(60), directory.path());
    std::vector<float> left = std::vector<float>(callback), right = std::vector<float>(callback);

    Deck() {
        const CassetteTransport::Cassette cassette{.type = CassetteType::custom(60), .side = TapeSide::a};
        core.loadMedia(media, cassette, 0);
        test::EndlessSource tone(&sineAndCosine);
        core.installSourceStream(&tone, AudioCore::SourceState::playing);
        core.transport(TransportCommand::record);
        for (int i = 0; i < 44100 * 50 / callback; ++i) core.render(callback, left.data(), right.data());
        core.installSourceStream(nullptr, AudioCore::SourceState::stopped);
        core.loadMedia(media, cassette, 0);
        core.transport(TransportCommand::play);
    }
    void render() { core.render(callback, left.data(), right.data()); }
};

// What the main thread pays for a switch.
void BM_SwitchTapeSound(benchmark::State& state) {
    Deck deck;
    const auto& profiles = TapeSoundLibrary::builtIns();
    std::size_t i = 0;
    for (auto _ : state) {
        deck.core.setTapeSound(&profiles[i++ % profiles.size()]);
        state.PauseTiming();
        deck.render();
        deck.core.snapshot(AudioCore::Peaks::reset);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SwitchTapeSound);

}  // namespace

int main(int argc, char** argv) {
    norvo::bench::runMeasured(argc, argv);

    Deck deck;
    const auto& profiles = TapeSoundLibrary::builtIns();
    std::vector<const SoundProfile*> sounds{nullptr};
    for (const auto& profile : profiles) sounds.push_back(&profile);
    std::size_t gap = 0;
    for (int round = 0; round < 3; ++round) {
        for (const SoundProfile* from : sounds) {
            for (const SoundProfile* to : sounds) {
                if (from == to) continue;
                deck.core.setTapeSound(from);
                for (int i = 0; i < 8; ++i) deck.render();
                deck.core.setTapeSound(to);
                for (int i = 0; i < 8; ++i) {
                    deck.render();
                    gap = std::max(gap, longestSilence(deck.left, deck.right, callback));
                }
                deck.core.snapshot(AudioCore::Peaks::reset);
            }
        }
    }

    // The reference: each profile's processor, new, on the same tone.
    std::size_t onset = 0;
    test::EndlessSource tone(&sineAndCosine);
    std::vector<float> left(4096), right(4096);
    for (const auto& profile : profiles) {
        TapeSoundProcessor fresh(profile, 44100.0);
        tone.pull(4096, left.data(), right.data());
        fresh.process(left.data(), right.data(), 4096);
        std::size_t silent = 0;
        while (silent < left.size() && std::fabs(left[silent]) < 1e-4f && std::fabs(right[silent]) < 1e-4f) ++silent;
        onset = std::max(onset, silent);
    }
    std::printf("reference: a new processor starts with %zu silent frames\n", onset);
    norvo::bench::printFigure("tapesound-switch-gap-frames", double(gap));
    return 0;
}
