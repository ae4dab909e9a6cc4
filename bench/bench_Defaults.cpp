// What a settings write costs its caller (the main thread, on every knob drag event):
// the store takes it in memory and writes the file behind. The reference, measured in
// the same run, is writing the file at once (temporary file, fsync, rename), as every
// write once did; both while another program writes and syncs big files.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <stdlib.h>
#include <string>

#include "Platform/DefaultsStore.hpp"
#include "Support/BusyDisk.hpp"
#include "support/Figure.hpp"
#include "support/MeasuredRuns.hpp"

namespace {

std::filesystem::path folder;

// A settings file of a typical size: a few dozen keys.
void fillTypically(norvo::DefaultsStore& store) {
    for (int i = 0; i < 40; ++i)
        store.setString("NorvoStudio.setting." + std::to_string(i), "value " + std::to_string(i));
}

void BM_SetBehind(benchmark::State& state) {
    norvo::FileDefaultsStore store(folder / "behind.json");
    fillTypically(store);
    int i = 0;
    for (auto _ : state) store.setFloat("RO-01.volume", float(++i % 1000) / 1000.0f);
    store.flush();
}

// The reference: the same change made lasting before the call returns.
void BM_WriteAtOnce(benchmark::State& state) {
    norvo::InMemoryDefaultsStore values;
    fillTypically(values);
    const std::filesystem::path file = folder / "at-once.json";
    const std::string temporary = file.string() + ".tmp";
    int i = 0;
    for (auto _ : state) {
        values.setFloat("RO-01.volume", float(++i % 1000) / 1000.0f);
        std::string text = "{";
        for (int k = 0; k < 40; ++k)
            text += "\"NorvoStudio.setting." + std::to_string(k) + "\": \"value " + std::to_string(k) + "\",\n";
        text += "\"RO-01.volume\": " + std::to_string(*values.floatValue("RO-01.volume")) + "}\n";
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, text.data(), text.size()) < 0 || ::fsync(fd) != 0)
            state.SkipWithError("write failed");
        if (fd >= 0) ::close(fd);
        std::rename(temporary.c_str(), file.c_str());
    }
}

BENCHMARK(BM_SetBehind);
BENCHMARK(BM_WriteAtOnce);

}  // namespace

int main(int argc, char** argv) {
    std::string pattern = (std::filesystem::temp_directory_path() / "norvo-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    folder = pattern;
    std::map<std::string, double> seconds;
    {
        norvo::test::BusyDisk busy(folder / "busy.bin");
        seconds = norvo::bench::runMeasured(argc, argv);
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);

    const auto behind = seconds.find("BM_SetBehind");
    const auto atOnce = seconds.find("BM_WriteAtOnce");
    if (behind == seconds.end() || atOnce == seconds.end()) return 1;
    std::printf("reference: writing at once takes %.1f us per set\n", atOnce->second * 1e6);
    norvo::bench::printFigure("defaults-set-us", behind->second * 1e6);
    return 0;
}
