#pragma once
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AudioEngine/DecodedSourceStreamFactory.hpp"
#include "AudioEngine/OfflineAudioOutput.hpp"
#include "NorvoStudio/Support/ScriptedStudioUi.hpp"
#include "NorvoStudio/Support/ScriptedTunerStreams.hpp"
#include "Platform/DefaultsStore.hpp"
#include "Radio/RadioStation.hpp"
#include "StudioModel/StudioModel.hpp"
#include "Support/FakeTunerDirectory.hpp"
#include "Support/TemporaryDirectory.hpp"
#include "Support/WaitableExecutor.hpp"

namespace norvo::test {

// A headless studio for tests: the real model and engines on a temporary workspace root,
// in-memory settings, the manual executor (fake clock), a scripted desktop, real decoded
// files for the player, a fake station directory with scripted streams, and an offline
// output that renders only when the test asks. Background work (reading and writing
// cassettes) waits in a queue until runBackground(), unless `threadedBackground` (a
// thread each, joined before the model goes) or a runner of the test's own.
class StudioFixture {
public:
    struct Options {
        bool failingOutput = false;
        // An output of the test's own instead of the offline one (render() then renders nothing).
        std::function<std::unique_ptr<AudioOutput>(AudioCore&)> makeOutput;
        bool threadedBackground = false;
        // Runs background work instead of the queue or the fixture's threads.
        std::function<void(std::function<void()>)> runner;
        // The model's own threads for background work, which nothing waits for.
        bool modelThreads = false;
        // Dates of history events, positions and recovery copies; the system's when not given.
        const Clock* clock = nullptr;
        // Where workspaces live; empty means a folder of the temporary directory.
        std::filesystem::path workspaces;
        // Settings present before the model is built (a stored tape sound, tuner state).
        std::function<void(DefaultsStore&)> presetDefaults;
        // Settings of the test's own (a file store) in place of `defaults`; outlives the fixture.
        DefaultsStore* settings = nullptr;
        // Streams for the tuner (real ones against a loopback station); none: the scripted ones.
        TunerStreamFactory* tunerStreams = nullptr;
    };

    StudioFixture();
    explicit StudioFixture(Options options);
    ~StudioFixture();

    StudioModel& operator*() { return *model; }
    StudioModel* operator->() { return model.get(); }

    // start() with the offline output.
    void start();
    // Renders through the output in chunks of 512, as a device would; waits (bounded) for
    // the player's decoder so the render never starves. Returns false without an output.
    bool render(int64_t frames);
    bool renderSeconds(double seconds) { return render(int64_t(seconds * 44100)); }
    // One tick `dt` seconds after the previous.
    void tick(double dt = 1.0 / 60.0);
    // `seconds` as the studio runs them: renders and ticks in 1/60 s steps, as the device and
    // the timer would interleave.
    void run(double seconds);
    // Rewinds the deck and runs until the head is at the start of the side (bounded).
    void rewindToStart();
    // Runs the queued background jobs and then the main-thread work they posted.
    void runBackground();
    std::size_t queuedBackground() const { return background_.size(); }
    // Posted work, timers included: with threaded background, waits until `done` holds.
    bool settle(const std::function<bool()>& done = {});

    // A generated stereo WAV of `seconds` in the temporary directory.
    std::filesystem::path makeSong(const std::string& name, double seconds, double clickAt = -1);
    // Adds a file to the player and starts playing it (waiting until it plays).
    bool playSong(const std::filesystem::path& file);
    // Waits until the player plays and its stream is in the core.
    bool waitForPlayback();

    RadioStation station(const std::string& id, const std::string& name, const std::string& codec = "MP3");
    // A new blank C60 in the deck.
    void insertBlank();
    // Writes a sine of `amplitude` over the first `frames` frames of a side of the loaded cassette.
    void writeTone(TapeSide side, int64_t frames, float amplitude);
    // The largest sample magnitude of a side of the loaded cassette in [from, to).
    float sidePeak(TapeSide side, int64_t from, int64_t to) const;
    // Switches the tuner on a station and lets its stream play with the title.
    std::shared_ptr<ScriptedTunerStream> tuneTo(const RadioStation& station, std::optional<std::string> title);

    TemporaryDirectory directory;
    std::filesystem::path workspaces;
    InMemoryDefaultsStore defaults;
    WaitableExecutor executor;
    DecodedSourceStreamFactory sourceStreams;
    FakeTunerDirectory tunerDirectory;
    ScriptedTunerStreamFactory tunerStreams;
    ScriptedStudioUi ui;
    OfflineAudioOutput* output = nullptr;  // owned by the model once started
    std::unique_ptr<StudioModel> model;

private:
    Options options_;
    std::deque<std::function<void()>> background_;
    std::vector<std::thread> threads_;
};

}  // namespace norvo::test
