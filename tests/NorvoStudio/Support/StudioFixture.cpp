#include "NorvoStudio/Support/StudioFixture.hpp"

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "Support/AudioFixtures.hpp"
#include "Support/FailingAudioOutput.hpp"
#include "Support/PlayerDecoderWait.hpp"

namespace norvo::test {

StudioFixture::StudioFixture() : StudioFixture(Options{}) {}

StudioFixture::StudioFixture(Options options) : options_(options) {
    workspaces = options_.workspaces.empty() ? directory / "Workspaces" : options_.workspaces;
    DefaultsStore& settings = options_.settings ? *options_.settings : defaults;
    TunerStreamFactory& streams = options_.tunerStreams ? *options_.tunerStreams : tunerStreams;
    StudioServices services{executor, settings, sourceStreams, tunerDirectory, streams, ui, {}, workspaces, {}};
    services.makeOutput = [this](AudioCore& core) -> std::unique_ptr<AudioOutput> {
        if (options_.failingOutput) return std::make_unique<FailingAudioOutput>();
        if (options_.makeOutput) return options_.makeOutput(core);
        auto made = std::make_unique<OfflineAudioOutput>(core);
        output = made.get();
        return made;
    };
    if (options_.runner) services.runInBackground = options_.runner;
    else if (options_.modelThreads) services.runInBackground = nullptr;
    else if (options_.threadedBackground)
        services.runInBackground = [this](std::function<void()> work) { threads_.emplace_back(std::move(work)); };
    else services.runInBackground = [this](std::function<void()> work) { background_.push_back(std::move(work)); };
    services.locale = Locale("en_US");
    if (options_.clock) services.clock = options_.clock;
    if (options_.presetDefaults) options_.presetDefaults(settings);
    model = std::make_unique<StudioModel>(services);
}

StudioFixture::~StudioFixture() {
    // Work still queued holds workspaces and posts into the model: finish it first.
    for (std::size_t i = 0; i < threads_.size(); ++i) {
        threads_[i].join();
        if (i + 1 == threads_.size()) executor.runPending();  // results may start more
    }
    runBackground();
    model.reset();
    background_.clear();
    executor.runPending();
}

void StudioFixture::start() { model->start(); }

bool StudioFixture::render(int64_t frames) {
    if (!output) return false;
    AudioCore& core = model->core();
    while (frames > 0) {
        const int n = static_cast<int>(std::min<int64_t>(512, frames));
        waitForPlayerDecoder(core, n);
        output->renderFrames(n);
        frames -= n;
    }
    return true;
}

void StudioFixture::tick(double dt) {
    // As in the application's main loop, work posted meanwhile runs before the tick.
    executor.runPending();
    executor.advance(dt);
    model->tick();
}

void StudioFixture::run(double seconds) {
    const int steps = static_cast<int>(std::lround(seconds * 60));
    for (int i = 0; i < steps; ++i) {
        render(735);
        tick();
    }
}

void StudioFixture::rewindToStart() {
    model->transport(TransportCommand::beginRewind);
    for (int i = 0; i < 600 && model->live().snapshot().transport.head > 0; ++i) {
        render(735);
        tick();
    }
}

void StudioFixture::runBackground() {
    // Results may start more work (a save's completion opening a cassette).
    do {
        while (!background_.empty()) {
            auto work = std::move(background_.front());
            background_.pop_front();
            work();
        }
        executor.runPending();
    } while (!background_.empty());
}

bool StudioFixture::settle(const std::function<bool()>& done) {
    for (int round = 0; round < 1000; ++round) {
        const std::size_t seen = executor.posts();
        executor.runPending();
        if (!done || done()) return true;
        if (!executor.waitForPosts(seen + 1)) return false;
    }
    return false;
}

std::filesystem::path StudioFixture::makeSong(const std::string& name, double seconds, double clickAt) {
    const auto file = directory / name;
    if (clickAt < 0) {
        generateTone(file, seconds, 440, 660, 44100, 2, {}, 0.3);
    } else {
        // A quiet tone with one full-scale click: easy to find again after encoding.
        const std::string click =
            "0.05*sin(2*PI*330*t)+0.9*eq(n\\," + std::to_string(std::llround(clickAt * 44100)) + ")";
        generateSignal(file, {click, click}, seconds);
    }
    return file;
}

bool StudioFixture::playSong(const std::filesystem::path& file) {
    model->source().add({file});
    model->source().togglePlayPause();
    return waitForPlayback();
}

bool StudioFixture::waitForPlayback() {
    auto& player = model->source();
    return settle([&] {
        return player.state() == SourcePlayerEngine::State::playing && model->core().inputs().sourceStream != nullptr;
    });
}

void StudioFixture::insertBlank() { model->cassetteSlot().createBlankCassette(CassetteType::c60()); }

void StudioFixture::writeTone(TapeSide side, int64_t frames, float amplitude) {
    auto media = model->cassetteSlot().media();
    if (!media) return;
    std::vector<float> left(static_cast<std::size_t>(frames)), right(static_cast<std::size_t>(frames));
    for (int64_t i = 0; i < frames; ++i)
        left[std::size_t(i)] = right[std::size_t(i)] =
            amplitude * static_cast<float>(std::sin(2 * 3.141592653589793 * 1000.0 * double(i) / 44100.0));
    media->storage(side).write(0, left.data(), right.data(), frames);
    media->noteWritten(side, frames);
}

float StudioFixture::sidePeak(TapeSide side, int64_t from, int64_t to) const {
    auto media = model->cassetteSlot().media();
    if (!media) return 0;
    const int16_t* frames = media->storage(side).frames();
    int peak = 0;
    for (int64_t i = from * 2; i < to * 2; ++i) peak = std::max(peak, std::abs(int(frames[i])));
    return float(peak) / 32768.0f;
}

RadioStation StudioFixture::station(const std::string& id, const std::string& name, const std::string& codec) {
    RadioStation station;
    station.id = id;
    station.name = name;
    station.streamURL = *Url::parse("http://127.0.0.1:9/" + id);
    station.codec = codec;
    return station;
}

std::shared_ptr<ScriptedTunerStream> StudioFixture::tuneTo(const RadioStation& station,
                                                           std::optional<std::string> title) {
    model->tuner().tune(station);
    auto stream = tunerStreams.last();
    if (stream) stream->play(std::move(title));
    return stream;
}

}  // namespace norvo::test
