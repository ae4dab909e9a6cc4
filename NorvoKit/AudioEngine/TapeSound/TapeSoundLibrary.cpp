#include "AudioEngine/TapeSound/TapeSoundLibrary.hpp"

#include <algorithm>

#include "AudioEngine/TapeSound/SoundProfileError.hpp"

namespace norvo {

namespace {

struct BuiltIn {
    const char* slug;
    const char* name;
    const char* description;
    TapeSoundSettings settings;
};

TapeSoundSettings machine(double drive, double hiss, double wowPercent, double wowHz, double flutterPercent,
                          double flutterHz, double dropoutsPerMinute, double dropoutDb, double dropoutMs, double bumpHz,
                          double bumpDb, double lowCut, double highCut, double azimuthUs, double crosstalk) {
    TapeSoundSettings s;
    s.driveDb = drive;
    s.hissLevelDb = hiss;
    s.wowDepthPercent = wowPercent;
    s.wowRateHz = wowHz;
    s.flutterDepthPercent = flutterPercent;
    s.flutterRateHz = flutterHz;
    s.dropoutsPerMinute = dropoutsPerMinute;
    s.dropoutDepthDb = dropoutDb;
    s.dropoutDurationMs = dropoutMs;
    s.headBumpFrequencyHz = bumpHz;
    s.headBumpGainDb = bumpDb;
    s.lowCutHz = lowCut;
    s.highCutHz = highCut;
    s.azimuthErrorUs = azimuthUs;
    s.crosstalkLevelDb = crosstalk;
    return s;
}

std::vector<BuiltIn> builtInTable() {
    return {
        {"studio-chrome", "Studio deck, chrome",
         "A well-aligned three-head deck on chrome tape: a faint hiss and a touch of warmth.",
         machine(2, -80, 0.03, 0.5, 0.02, 9, 0, 12, 40, 60, 1, 20, 18000, 0, -60)},
        {"hifi-ferric", "Hi-fi deck, ferric",
         "A good home deck on ordinary ferric tape: softer highs, a little hiss, rare dropouts.",
         machine(4, -70, 0.06, 0.6, 0.04, 8, 0.5, 6, 30, 70, 2, 25, 14000, 10, -50)},
        {"car-stereo", "Car stereo", "A dashboard cassette player: boomy, dull and slightly unsteady.",
         machine(5, -60, 0.15, 0.8, 0.1, 10, 1, 8, 40, 90, 3, 60, 10000, 30, -40)},
        {"portable-stereo", "Portable stereo", "A battery-powered boombox: thin bass, narrow band, audible wow.",
         machine(6, -56, 0.25, 1, 0.15, 12, 2, 10, 50, 120, 3.5, 100, 8000, 50, -35)},
        {"bazaar-96", "Bazaar portable stereo \u201996",
         "A bargain portable from a market stall: driven hard, hissy, wobbly, with dropouts.",
         machine(9, -50, 0.5, 1.2, 0.3, 14, 4, 14, 60, 150, 4, 150, 6000, 80, -30)},
        {"attic-find", "Attic find",
         "A tape that spent decades in the attic: worn oxide, slow warble and frequent dropouts.",
         machine(8, -46, 0.8, 0.4, 0.4, 7, 10, 20, 120, 100, 2, 80, 5000, 120, -25)},
    };
}

std::vector<SoundProfile> makeBuiltIns() {
    std::vector<SoundProfile> profiles;
    for (const BuiltIn& b : builtInTable()) {
        JSONValue document = JSONValue::Object{
            {"format", JSONValue(SoundProfile::format)},
            {"format_version", JSONValue(SoundProfile::formatVersion)},
            {"id", JSONValue(std::string("builtin.") + b.slug)},
            {"name", JSONValue(b.name)},
            {"description", JSONValue(b.description)},
            {"tape", b.settings.document()},
        };
        profiles.push_back(SoundProfile::parseDocument(document).profile);
    }
    return profiles;
}

bool isBuiltInID(const std::string& id) {
    const auto& builtIns = TapeSoundLibrary::builtIns();
    return std::any_of(builtIns.begin(), builtIns.end(), [&](const SoundProfile& p) { return p.id == id; });
}

// One stored entry: the profile's own JSON text. (Entries stored as objects by an earlier
// build read as well.) Throws SoundProfileError when it does not read.
SoundProfile readStoredEntry(const JSONValue& entry) {
    if (const std::string* text = entry.string()) return SoundProfile::parse(*text).profile;
    return SoundProfile::parseDocument(entry).profile;
}

std::vector<SoundProfile> readImported(const DefaultsStore& defaults) {
    std::vector<SoundProfile> profiles;
    auto text = defaults.data(std::string(TapeSoundLibrary::importedKey));
    if (!text) return profiles;
    // A list of texts: each profile is read on its own, so one that no longer reads (or
    // is nested too deep for the reader) is dropped alone.
    auto stored = JSONValue::parse(*text);
    const JSONValue::Array* entries = stored ? stored->array() : nullptr;
    if (!entries) return profiles;
    for (const JSONValue& entry : *entries) {
        if (profiles.size() == TapeSoundLibrary::maximumImported) break;
        try {
            SoundProfile profile = readStoredEntry(entry);
            bool seen = std::any_of(profiles.begin(), profiles.end(),
                                    [&](const SoundProfile& p) { return p.id == profile.id; });
            if (!seen && !isBuiltInID(profile.id)) profiles.push_back(std::move(profile));
        } catch (const SoundProfileError&) {
            // A profile stored by an older or newer build that no longer reads: dropped.
        }
    }
    return profiles;
}

JSONValue storedEntry(const SoundProfile& profile) { return JSONValue(profile.document.compact()); }

// Levels of arrays and objects, the value itself counted when it is one.
int nesting(const JSONValue& value) {
    int deepest = 0;
    if (const auto* array = value.array()) {
        for (const JSONValue& element : *array) deepest = std::max(deepest, nesting(element));
    } else if (const auto* object = value.object()) {
        for (const auto& [key, element] : *object) deepest = std::max(deepest, nesting(element));
    } else {
        return 0;
    }
    return deepest + 1;
}

// Built-ins first, then the imported ones; "clean" names no profile.
std::optional<SoundProfile> findProfile(const std::vector<SoundProfile>& imported, const std::string& id) {
    if (id == TapeSoundLibrary::defaultProfileID) return std::nullopt;
    for (const auto* list : {&TapeSoundLibrary::builtIns(), &imported}) {
        auto match = std::find_if(list->begin(), list->end(), [&](const SoundProfile& p) { return p.id == id; });
        if (match != list->end()) return *match;
    }
    return std::nullopt;
}

}  // namespace

TapeSoundLibrary::TapeSoundLibrary(DefaultsStore& store) : defaults(&store), imported(readImported(store)) {
    if (auto id = store.string(std::string(selectedKey))) selected = findProfile(imported, *id);
}

const std::vector<SoundProfile>& TapeSoundLibrary::builtIns() {
    static const std::vector<SoundProfile> profiles = makeBuiltIns();
    return profiles;
}

std::string TapeSoundLibrary::selectedID() const { return selected ? selected->id : std::string(defaultProfileID); }

void TapeSoundLibrary::select(const std::string& id) {
    selected = findProfile(imported, id);
    defaults->setString(std::string(selectedKey), selectedID());
}

SoundProfile::ParseResult TapeSoundLibrary::importProfile(std::string_view data) {
    SoundProfile::ParseResult result = SoundProfile::parse(data);
    if (isBuiltInID(result.profile.id))
        throw SoundProfileError(SoundIssue::error("id", "This id belongs to a built-in profile"));
    // Said before the size: nesting is what would make a small file large once exported.
    if (nesting(result.profile.document) > maximumNesting)
        throw SoundProfileError(SoundIssue::error("", "The profile is nested more than " +
                                                          std::to_string(maximumNesting) + " levels deep"));
    // The export is pretty-printed and may come out far larger than the import: a profile
    // that could not be imported again once exported is refused now.
    if (result.profile.encodedData().size() > SoundProfile::maximumSize)
        throw SoundProfileError(SoundIssue::error("", "The profile is larger than 64 KiB"));
    // And one that would not read back from the store at the next start.
    const auto list = JSONValue::parse(JSONValue(JSONValue::Array{storedEntry(result.profile)}).compact());
    bool readsBack = false;
    try {
        readsBack = list && list->array() && readStoredEntry(list->array()->front()) == result.profile;
    } catch (const SoundProfileError&) {
    }
    if (!readsBack) throw SoundProfileError(SoundIssue::error("", "The profile is not valid JSON"));

    std::erase_if(imported, [&](const SoundProfile& p) { return p.id == result.profile.id; });
    imported.insert(imported.begin(), result.profile);
    if (imported.size() > maximumImported) imported.erase(imported.begin() + maximumImported, imported.end());
    storeImported();
    select(result.profile.id);
    return result;
}

void TapeSoundLibrary::remove(const std::string& id) {
    if (std::erase_if(imported, [&](const SoundProfile& p) { return p.id == id; }) > 0) storeImported();
    if (selected && selected->id == id) select(std::string(defaultProfileID));
}

void TapeSoundLibrary::storeImported() {
    JSONValue::Array entries;
    entries.reserve(imported.size());
    for (const SoundProfile& profile : imported) entries.push_back(storedEntry(profile));
    defaults->setData(std::string(importedKey), JSONValue(std::move(entries)).compact());
}

}  // namespace norvo
