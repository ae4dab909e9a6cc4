#pragma once
#include <optional>
#include <vector>

#include "AudioEngine/TapeSound/SoundIssue.hpp"
#include "Platform/JSONValue.hpp"

namespace norvo {

// The settings under a profile's "tape" key, in their units. Every default is neutral:
// a stage whose value stays neutral is switched off.
struct TapeSoundSettings {
    double driveDb = 0;                      // tape.saturation.drive_db 0…18
    std::optional<double> hissLevelDb;       // tape.hiss.level_db -120…-30, RMS
    double wowDepthPercent = 0;              // tape.wow.depth_percent 0…2, peak speed deviation
    double wowRateHz = 0.5;                  // tape.wow.rate_hz 0.1…4
    double flutterDepthPercent = 0;          // tape.flutter.depth_percent 0…1
    double flutterRateHz = 8;                // tape.flutter.rate_hz 4…25
    double dropoutsPerMinute = 0;            // tape.dropouts.per_minute 0…60
    double dropoutDepthDb = 12;              // tape.dropouts.depth_db 0…40
    double dropoutDurationMs = 40;           // tape.dropouts.duration_ms 5…500
    double headBumpFrequencyHz = 80;         // tape.head_bump.frequency_hz 30…200
    double headBumpGainDb = 0;               // tape.head_bump.gain_db 0…9
    double lowCutHz = 0;                     // tape.filter.low_cut_hz 0 (off) or 10…300
    double highCutHz = 0;                    // tape.filter.high_cut_hz 0 (off) or 2000…20000
    double azimuthErrorUs = 0;               // tape.azimuth.error_us -200…200, + delays the right channel
    std::optional<double> crosstalkLevelDb;  // tape.crosstalk.level_db -90…-10

    // Reads the "tape" object. Values that are not numbers or unknown keys are ignored,
    // values out of range are clamped; each becomes a warning, appended in key order.
    static TapeSoundSettings read(const JSONValue& tape, std::vector<SoundIssue>& warnings);

    // Every value brought into its range (NaN back to its default), as read() would.
    TapeSoundSettings withinRanges() const;

    // The "tape" object for these settings, every key written.
    JSONValue document() const;

    // True when no stage would change the sound: the processor then passes audio untouched.
    bool isNeutral() const;

    bool operator==(const TapeSoundSettings&) const = default;
};

}  // namespace norvo
