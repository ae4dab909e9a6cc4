#pragma once
#include "NorvoStudio/Support/TunerFaceServices.hpp"
#include "NorvoStudioApp/RackFaces.hpp"
#include "Platform/Clock.hpp"
#include "Platform/MainExecutor.hpp"
#include "Rack/EnginePlayer.hpp"
#include "Rack/ModelDeck.hpp"
#include "StudioModel/StudioModel.hpp"

namespace norvo::test {

// What the faces in the rack read over a studio's model, wired as the application wires them:
// the player over its engine, the deck over the model on the wall clock, and the tuner's
// inputs as TunerFaceServices gives them (its wall clock standing still, or the caller's).
class RackFaceServices {
public:
    RackFaceServices(StudioModel& model, MainExecutor& executor)
        : player_(model), deck_(model, SystemClock::shared()), tuner_(model, executor) {}
    RackFaceServices(StudioModel& model, MainExecutor& executor, const Clock& tunerClock)
        : player_(model), deck_(model, SystemClock::shared()), tuner_(model, executor, tunerClock) {}

    RackFaces faces() { return RackFaces{.player = player_, .deck = deck_, .tuner = tuner_.services()}; }

private:
    EnginePlayer player_;
    ModelDeck deck_;
    TunerFaceServices tuner_;
};

}  // namespace norvo::test
