// Saving and opening a full C60 cassette (both sides recorded), against the ffmpeg
// command line doing the same audio work one side after the other.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <stdlib.h>
#include <string>

#include "AudioEngine/TapeMedia.hpp"
#include "Cassette/CassetteDocument.hpp"
#include "Cassette/CassetteStyleCatalog.hpp"
#include "Cassette/TapeFileCodec.hpp"
#include "Cassette/ZipArchiveReader.hpp"
#include "support/Figure.hpp"

namespace {

using namespace norvo;
using Clock = std::chrono::steady_clock;

struct Fixture {
    std::filesystem::path folder;
    std::shared_ptr<TapeMedia> media;
    CassetteDocument document;
    std::filesystem::path cassette;

    Fixture() {
        std::string pattern = (std::filesystem::temp_directory_path() / "norvo-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        folder = pattern;
        media = std::make_shared<TapeMedia>(CassetteType::c60(), folder / "workspaces");
        document = CassetteDocument(CassetteType::c60(), "Bench", CassetteStyleCatalog::defaultStyle().design);
        cassette = folder / "bench.norvo";
        for (TapeSide side : allTapeSides) generate(side);
    }
    ~Fixture() {
        media.reset();
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    // Music-like material (two drifting tones, a beat, a little noise), so the encoder
    // has real work; silence would flatter it.
    void generate(TapeSide side) {
        TapeSideStorage& storage = media->storage(side);
        int16_t* out = storage.frames();
        uint32_t noise = side == TapeSide::a ? 12345u : 54321u;
        const double base = side == TapeSide::a ? 220.0 : 330.0;
        for (int64_t i = 0; i < storage.capacity(); ++i) {
            const double t = static_cast<double>(i) / 44100.0;
            noise = noise * 1664525u + 1013904223u;
            const double hiss = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.02;
            const double beat = std::exp(-20.0 * std::fmod(t, 0.5)) * std::sin(2 * M_PI * 60 * t);
            const double left = 0.3 * std::sin(2 * M_PI * base * (1 + 0.01 * std::sin(t)) * t) + 0.3 * beat + hiss;
            const double right = 0.3 * std::sin(2 * M_PI * base * 1.5 * t) + 0.3 * beat - hiss;
            out[2 * i] = static_cast<int16_t>(std::lround(left * 32767));
            out[2 * i + 1] = static_cast<int16_t>(std::lround(right * 32767));
        }
        media->noteWritten(side, storage.capacity());
    }
};

Fixture& fixture() {
    static Fixture instance;
    return instance;
}

std::optional<double> saveSeconds, ffmpegEncodeSeconds, resaveSeconds, openSeconds, ffmpegDecodeSeconds;

double timed(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void run(const std::string& command) {
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

std::string quoted(const std::filesystem::path& path) { return std::string("'").append(path.string()).append("'"); }

void BM_SaveC60(benchmark::State& state) {
    auto& f = fixture();
    for (auto _ : state) {
        // A recording since the last save: both sides must be encoded.
        for (TapeSide side : allTapeSides) f.media->noteWritten(side, f.media->storage(side).capacity());
        const double seconds = timed([&] { TapeFileCodec::write(f.document, *f.media, f.cassette); });
        state.SetIterationTime(seconds);
        saveSeconds = seconds;
    }
}

void BM_FFmpegEncodeBothSides(benchmark::State& state) {
    auto& f = fixture();
    for (auto _ : state) {
        const double seconds = timed([&] {
            for (TapeSide side : allTapeSides)
                run("ffmpeg -v error -nostdin -y -f s16le -ar 44100 -ac 2 -i " + quoted(f.media->storage(side).file()) +
                    " -c:a aac -b:a 256k " + quoted(f.folder / ("ffmpeg-side-" + letter(side) + ".m4a")));
        });
        state.SetIterationTime(seconds);
        ffmpegEncodeSeconds = seconds;
    }
}

void BM_ResaveUnchangedC60(benchmark::State& state) {
    auto& f = fixture();
    for (auto _ : state) {
        const double seconds = timed([&] { TapeFileCodec::write(f.document, *f.media, f.cassette); });
        state.SetIterationTime(seconds);
        resaveSeconds = seconds;
    }
}

void BM_OpenC60(benchmark::State& state) {
    auto& f = fixture();
    const auto root = f.folder / "opened";
    for (auto _ : state) {
        std::shared_ptr<TapeMedia> opened;
        const double seconds = timed([&] {
            opened = TapeFileCodec::read(f.cassette, {}, [&](const CassetteType& type) {
                         return std::make_shared<TapeMedia>(type, root);
                     }).media;
        });
        state.SetIterationTime(seconds);
        openSeconds = seconds;
        opened.reset();  // removing the workspace is not part of opening
    }
}

void BM_FFmpegDecodeBothEntries(benchmark::State& state) {
    auto& f = fixture();
    const auto zip = ZipArchiveReader::open(f.cassette);
    for (TapeSide side : allTapeSides) {
        const FileData entry = *zip->read(*zip->find(TapeFileCodec::audioEntryName(side)), uint64_t{1} << 31);
        std::ofstream out(f.folder / ("entry-" + letter(side) + ".m4a"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(entry.data()), static_cast<std::streamsize>(entry.size()));
    }
    for (auto _ : state) {
        const double seconds = timed([&] {
            for (TapeSide side : allTapeSides)
                run("ffmpeg -v error -nostdin -y -i " + quoted(f.folder / ("entry-" + letter(side) + ".m4a")) +
                    " -f s16le -ar 44100 -ac 2 /dev/null");
        });
        state.SetIterationTime(seconds);
        ffmpegDecodeSeconds = seconds;
    }
}

// Each runs once, in this order: a save encodes, the resave copies, the open reads the saved file.
BENCHMARK(BM_SaveC60)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_FFmpegEncodeBothSides)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_ResaveUnchangedC60)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenC60)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_FFmpegDecodeBothEntries)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (saveSeconds && ffmpegEncodeSeconds)
        norvo::bench::printFigure("save-vs-ffmpeg", *saveSeconds / *ffmpegEncodeSeconds);
    if (saveSeconds && resaveSeconds) norvo::bench::printFigure("resave-speedup", *saveSeconds / *resaveSeconds);
    if (openSeconds && ffmpegDecodeSeconds)
        norvo::bench::printFigure("open-vs-ffmpeg", *openSeconds / *ffmpegDecodeSeconds);
    return 0;
}
