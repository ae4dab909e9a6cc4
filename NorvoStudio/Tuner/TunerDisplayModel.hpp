#pragma once
#include <set>
#include <string>
#include <vector>

#include "Tuner/TunerFacade.hpp"

namespace norvo {

// The texts, inks and lamps of the RO-01 display, derived from the tuner at every
// redraw; nothing here is stored between redraws.
struct TunerDisplayModel {
    enum class Ink { cyan, amber, red };

    struct Line {
        std::string text;
        Ink ink = Ink::cyan;
        bool operator==(const Line&) const = default;
    };

    struct Lamp {
        std::string text;
        Ink ink = Ink::cyan;
        bool lit = false;
        bool operator==(const Lamp&) const = default;
    };

    // The line under the station name; the first rule that applies wins.
    static Line mainLine(const TunerFacade& tuner);
    static Line stationLine(const TunerFacade& tuner);
    // "BUFFERING  " and ten cells, the filled ones rounded half away from zero.
    static std::string bufferingText(double fraction);
    static int bufferingCells(double fraction);

    static std::string presetText(std::optional<int> currentPresetIndex);
    static std::string channelDigits(std::optional<int> dial, std::size_t stationCount);
    static std::string bandLabel(const TunerFacade::Query& query);
    static std::set<int> presetMarks(const TunerFacade::Presets& presets, const std::vector<RadioStation>& stations);

    // TUNED, STEREO, MONO, MUTING, MEMORY, RECONNECT.
    static std::vector<Lamp> wordLamps(const TunerFacade& tuner);
    static std::string formatText(const TunerFacade& tuner);
    static std::string countryText(const TunerFacade& tuner);
    // Format and country light with a station, and like every lamp only while on: in
    // standby they show the remembered station's country unlit.
    static bool stationLampsLit(const TunerFacade& tuner);

    // Blinks: lit in the even 0.4 s (memory) or 0.5 s (scanning) periods of the wall
    // clock counted from 2001-01-01, so every lamp blinks in the same phase.
    static bool blinkLit(double secondsSinceReferenceDate, double period);
};

}  // namespace norvo
