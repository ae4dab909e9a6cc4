#pragma once
#include <filesystem>
#include <functional>
#include <memory>

#include "AudioEngine/AudioOutput.hpp"
#include "AudioEngine/SourceStreamFactory.hpp"
#include "Platform/Clock.hpp"
#include "Platform/DefaultsStore.hpp"
#include "Platform/Locale.hpp"
#include "Platform/MainExecutor.hpp"
#include "Radio/TunerDirectory.hpp"
#include "Radio/TunerStreamFactory.hpp"
#include "StudioModel/StudioUi.hpp"

namespace norvo {

class AudioCore;

// What a studio model is built on. Every referenced object outlives the model; the
// executor outlives every engine. The application fills it from StandardStudioServices;
// tests from StudioFixture (fakes, an offline or failing output, a temporary root).
struct StudioServices {
    MainExecutor& executor;
    DefaultsStore& defaults;
    SourceStreamFactory& sourceStreams;
    TunerDirectory& tunerDirectory;
    TunerStreamFactory& tunerStreams;
    StudioUi& ui;
    // Made by start(); nothing means the sound device, with silence while there is none.
    std::function<std::unique_ptr<AudioOutput>(AudioCore&)> makeOutput;
    // Where cassette workspaces live; empty means TapeMedia::workspacesRoot().
    std::filesystem::path workspacesRoot;
    // Runs blocking work (reading and writing cassettes) off the main thread; nothing
    // means a thread of its own per piece, one that nothing waits for at exit. The work
    // posts its result through the executor.
    std::function<void(std::function<void()>)> runInBackground;
    // Dates of history events and stored positions.
    const Clock* clock = &SystemClock::shared();
    Locale locale = Locale::current();
};

}  // namespace norvo
