#include "AudioEngine/TapeSound/TapeSoundSettings.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace norvo {

namespace {

// One numeric key of the "tape" object. `zeroIsOff` keys take 0 to mean "stage off"
// besides their range.
struct Key {
    std::string_view section;
    std::string_view name;
    double minimum;
    double maximum;
    bool zeroIsOff;
    double (*get)(const TapeSoundSettings&);  // nothing to write when it returns NaN
    void (*set)(TapeSoundSettings&, double);
};

#define NORVO_FIELD(member) \
    [](const TapeSoundSettings& s) { return s.member; }, [](TapeSoundSettings& s, double v) { s.member = v; }
// NaN stands for "absent" both ways.
#define NORVO_OPTIONAL_FIELD(member)                                            \
    [](const TapeSoundSettings& s) { return s.member.value_or(std::nan("")); }, \
        [](TapeSoundSettings& s, double v) { s.member = std::isnan(v) ? std::nullopt : std::optional(v); }

constexpr Key keys[] = {
    {"azimuth", "error_us", -200, 200, false, NORVO_FIELD(azimuthErrorUs)},
    {"crosstalk", "level_db", -90, -10, false, NORVO_OPTIONAL_FIELD(crosstalkLevelDb)},
    {"dropouts", "depth_db", 0, 40, false, NORVO_FIELD(dropoutDepthDb)},
    {"dropouts", "duration_ms", 5, 500, false, NORVO_FIELD(dropoutDurationMs)},
    {"dropouts", "per_minute", 0, 60, false, NORVO_FIELD(dropoutsPerMinute)},
    {"filter", "high_cut_hz", 2000, 20000, true, NORVO_FIELD(highCutHz)},
    {"filter", "low_cut_hz", 10, 300, true, NORVO_FIELD(lowCutHz)},
    {"flutter", "depth_percent", 0, 1, false, NORVO_FIELD(flutterDepthPercent)},
    {"flutter", "rate_hz", 4, 25, false, NORVO_FIELD(flutterRateHz)},
    {"head_bump", "frequency_hz", 30, 200, false, NORVO_FIELD(headBumpFrequencyHz)},
    {"head_bump", "gain_db", 0, 9, false, NORVO_FIELD(headBumpGainDb)},
    {"hiss", "level_db", -120, -30, false, NORVO_OPTIONAL_FIELD(hissLevelDb)},
    {"saturation", "drive_db", 0, 18, false, NORVO_FIELD(driveDb)},
    {"wow", "depth_percent", 0, 2, false, NORVO_FIELD(wowDepthPercent)},
    {"wow", "rate_hz", 0.1, 4, false, NORVO_FIELD(wowRateHz)},
};

#undef NORVO_FIELD
#undef NORVO_OPTIONAL_FIELD

bool isKnownSection(std::string_view section) {
    return std::any_of(std::begin(keys), std::end(keys), [&](const Key& k) { return k.section == section; });
}

const Key* findKey(std::string_view section, std::string_view name) {
    for (const Key& k : keys)
        if (k.section == section && k.name == name) return &k;
    return nullptr;
}

std::string formatNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// The value brought into the key's range; a negative value of a key where 0 means
// off switches the stage off rather than setting its strongest end.
double clamped(const Key& key, double value) {
    if (key.zeroIsOff && value <= 0) return 0;
    return std::clamp(value, key.minimum, key.maximum);
}

void readSetting(const Key& key, const JSONValue& value, const std::string& path, TapeSoundSettings& settings,
                 std::vector<SoundIssue>& warnings) {
    auto number = value.number();
    if (!number || std::isnan(*number)) {
        warnings.push_back(SoundIssue::warning(path, "Not a number; ignored"));
        return;
    }
    double adjusted = clamped(key, *number);
    if (adjusted != *number)
        warnings.push_back(SoundIssue::warning(path, "Brought into range " + formatNumber(key.minimum) + "\u2026" +
                                                         formatNumber(key.maximum)));
    key.set(settings, adjusted);
}

}  // namespace

TapeSoundSettings TapeSoundSettings::read(const JSONValue& tape, std::vector<SoundIssue>& warnings) {
    TapeSoundSettings settings;
    const JSONValue::Object* sections = tape.object();
    if (!sections) {
        warnings.push_back(SoundIssue::warning("tape", "Not an object; ignored"));
        return settings;
    }
    for (const auto& [section, body] : *sections) {
        std::string sectionPath = "tape." + section;
        if (!isKnownSection(section)) {
            warnings.push_back(SoundIssue::warning(sectionPath, "Unknown setting; ignored"));
            continue;
        }
        const JSONValue::Object* members = body.object();
        if (!members) {
            warnings.push_back(SoundIssue::warning(sectionPath, "Not an object; ignored"));
            continue;
        }
        for (const auto& [name, value] : *members) {
            std::string path = sectionPath + "." + name;
            if (const Key* key = findKey(section, name)) readSetting(*key, value, path, settings, warnings);
            else warnings.push_back(SoundIssue::warning(path, "Unknown setting; ignored"));
        }
    }
    return settings;
}

JSONValue TapeSoundSettings::document() const {
    JSONValue tape = JSONValue::Object{};
    for (const Key& key : keys) {
        double value = key.get(*this);
        if (!std::isnan(value)) tape[std::string(key.section)][std::string(key.name)] = value;
    }
    return tape;
}

TapeSoundSettings TapeSoundSettings::withinRanges() const {
    TapeSoundSettings result = *this;
    const TapeSoundSettings defaults;
    for (const Key& key : keys) {
        double value = key.get(*this);
        if (std::isnan(value)) key.set(result, key.get(defaults));
        else key.set(result, clamped(key, value));
    }
    return result;
}

bool TapeSoundSettings::isNeutral() const {
    bool dropoutsHeard = dropoutsPerMinute > 0 && dropoutDepthDb > 0;
    return driveDb == 0 && !hissLevelDb && wowDepthPercent == 0 && flutterDepthPercent == 0 && !dropoutsHeard &&
           headBumpGainDb == 0 && lowCutHz == 0 && highCutHz == 0 && azimuthErrorUs == 0 && !crosstalkLevelDb;
}

}  // namespace norvo
