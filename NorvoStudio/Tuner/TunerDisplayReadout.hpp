#pragma once
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "StudioModel/MeterBallistics.hpp"
#include "Tuner/DialScale.hpp"
#include "Tuner/TunerDisplayModel.hpp"

namespace norvo {

// What each row of the RO-01 display shows at one moment, as values: a row is kept as pixels
// while its value stays equal, and a studio frame repaints only the rows whose value changed.
struct TunerDisplayReadout {
    using Ink = TunerDisplayModel::Ink;

    // PRESET, CHANNEL and BAND over their values; SIGNAL over its segments.
    struct Captions {
        std::string preset, channel, band;
        bool on = false;
        bool presetLit = false;
        bool channelLit = false;
        double signal = 0;
        bool operator==(const Captions&) const = default;
    };

    // A line that may scroll: while it does, how far it has come.
    struct Line {
        QString text;
        Ink ink = Ink::cyan;
        bool lit = false;
        std::optional<double> scrolledSeconds;  // since the text was set
        bool operator==(const Line&) const = default;
    };

    // The "RT" badge, lit while the tuner is on, and the main line or the memory prompt
    // blinking in its place.
    struct Main {
        bool on = false;
        Line line;
        bool memoryPrompt = false;
        bool operator==(const Main&) const = default;
    };

    // Six word lamps from the left; the stream's format and the station's country at the right.
    struct Annunciators {
        std::vector<TunerDisplayModel::Lamp> words;
        std::string format, country;
        bool stationLit = false;
        bool operator==(const Annunciators&) const = default;
    };

    struct Dial {
        DialScale scale;
        double needle = 0;  // the needle's station position on its way
        bool operator==(const Dial&) const = default;
    };

    Captions captions;
    Line station;
    Main main;
    Annunciators annunciators;
    Dial dial;
    MeterBallistics::Pair meters;
};

}  // namespace norvo
