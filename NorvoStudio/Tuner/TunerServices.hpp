#pragma once
#include <functional>
#include <string>

#include "Platform/Clock.hpp"
#include "Platform/MainExecutor.hpp"
#include "StudioModel/MeterBallistics.hpp"

namespace norvo {

class DesktopServices;
class Haptics;
class TunerFacade;

// Everything the RO-01 face reads and calls, handed to it whole: the application wires it
// once in main over the engine and the desktop; tests and the gallery put fakes in.
struct TunerServices {
    TunerFacade& tuner;
    // The preset keys' hold timers and the face's frame times.
    MainExecutor& executor;
    // Wall time: the marquees, the blinks and the spinners follow it.
    const Clock& clock;
    // The clipboard and the browser of the station list's menu.
    DesktopServices& desktop;
    // Names the home country in the guide's help.
    std::string localeIdentifier;
    Haptics& haptics;
    // The tuner's level meters, read at every frame.
    std::function<MeterBallistics::Pair()> meter;
};

}  // namespace norvo
