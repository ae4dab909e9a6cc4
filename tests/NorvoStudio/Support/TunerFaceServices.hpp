#pragma once
#include "NorvoStudio/Support/QuietDesktop.hpp"
#include "Platform/Clock.hpp"
#include "Platform/Locale.hpp"
#include "Platform/MainExecutor.hpp"
#include "StudioModel/StudioModel.hpp"
#include "Support/FakeClock.hpp"
#include "Tuner/EngineTuner.hpp"
#include "Tuner/Haptics.hpp"
#include "Tuner/TunerServices.hpp"

namespace norvo::test {

// The tuner face's inputs over a studio's model, wired as the application wires them: the
// model's tuner behind its facade and the model's meters, with the caller's executor, a
// desktop that does nothing and a wall clock that stands still (or the caller's).
class TunerFaceServices {
public:
    TunerFaceServices(StudioModel& model, MainExecutor& executor) : TunerFaceServices(model, executor, nullptr) {}
    TunerFaceServices(StudioModel& model, MainExecutor& executor, const Clock& clock)
        : TunerFaceServices(model, executor, &clock) {}

    const TunerServices& services() const { return services_; }

private:
    TunerFaceServices(StudioModel& model, MainExecutor& executor, const Clock* clock)
        : tuner_(model.tuner()),
          services_{tuner_,
                    executor,
                    clock ? *clock : stillClock_,
                    desktop_,
                    Locale::current().identifier(),
                    haptics_,
                    [&model] { return model.live().tunerMeter(); }} {}

    test::FakeClock stillClock_;
    EngineTuner tuner_;
    QuietDesktop desktop_;
    Haptics haptics_;
    TunerServices services_;
};

}  // namespace norvo::test
