#pragma once
#include <string>
#include <vector>

#include "Tuner/TunerFacade.hpp"

namespace norvo::test {

// A tuner whose published state the test sets and whose operations it records.
class FakeTuner final : public TunerFacade {
public:
    struct Call {
        Call(std::string name, std::string argument = {}) : name(std::move(name)), argument(std::move(argument)) {}
        std::string name;
        std::string argument;  // station id, query text, slot or step
        bool operator==(const Call&) const = default;
    };

    bool isOn() const override { return on; }
    const std::optional<RadioStation>& station() const override { return current; }
    const Reception& reception() const override { return receptionState; }
    const std::optional<std::string>& nowPlaying() const override { return title; }
    const std::optional<std::string>& streamFormat() const override { return format; }
    bool isStereo() const override { return stereo; }
    double signal() const override { return signalLevel; }
    bool reconnecting() const override { return reconnectingFlag; }
    const Presets& presets() const override { return presetSlots; }
    const Band& band() const override { return bandState; }
    bool bandLoading() const override { return loading; }
    const std::optional<std::string>& bandError() const override { return error; }
    std::optional<int> dial() const override { return dialPosition; }
    int64_t knobDetents() const override { return detents; }
    bool memoryArmed() const override { return armed; }
    const std::optional<std::string>& flash() const override { return flashText; }
    const std::vector<Country>& countries() const override { return countryList; }
    const std::optional<std::string>& countriesError() const override { return countryError; }
    bool muting() const override { return mutingFlag; }
    float volume() const override { return volumeLevel; }
    std::optional<int> currentPresetIndex() const override {
        if (!current) return std::nullopt;
        for (int i = 0; i < TunerEngine::presetCount; ++i)
            if (presetSlots[static_cast<std::size_t>(i)] && presetSlots[static_cast<std::size_t>(i)]->id == current->id)
                return i;
        return std::nullopt;
    }
    Query homeQuery() const override { return home; }

    void togglePower() override { record("togglePower"); }
    void loadBand(const Query& query) override { record("loadBand", describe(query)); }
    void reloadBand() override { record("reloadBand"); }
    void startCountriesLoad() override { record("startCountriesLoad"); }
    void tune(const RadioStation& s) override { record("tune", s.id); }
    void stepDial(int step) override { record("stepDial", std::to_string(step)); }
    void pressPreset(int index) override { record("pressPreset", std::to_string(index)); }
    void storeCurrentStation(int index) override { record("storeCurrentStation", std::to_string(index)); }
    void store(const RadioStation& s, int index) override { record("store", s.id + "@" + std::to_string(index)); }
    void clearPreset(int index) override { record("clearPreset", std::to_string(index)); }
    void armMemory() override { record("armMemory"); }
    void setMuting(bool m) override { record("setMuting", m ? "true" : "false"); }
    void setVolume(float v) override { record("setVolume", std::to_string(v)); }

    // Tells the views that the state changed, as the engine does after an operation.
    void publish() { emit changed(); }

    static std::string describe(const Query& query) {
        switch (query.kind) {
        case Query::Kind::top: return "top";
        case Query::Kind::country: return "country:" + query.text;
        case Query::Kind::genre: return "genre:" + query.text;
        case Query::Kind::search: return "search:" + query.text;
        }
        return {};
    }

    void record(std::string name, std::string argument = {}) {
        calls.push_back({std::move(name), std::move(argument)});
    }

    bool on = false;
    std::optional<RadioStation> current;
    Reception receptionState = Reception::off();
    std::optional<std::string> title;
    std::optional<std::string> format;
    bool stereo = false;
    double signalLevel = 0;
    bool reconnectingFlag = false;
    Presets presetSlots;
    Band bandState;
    bool loading = false;
    std::optional<std::string> error;
    std::optional<int> dialPosition;
    int64_t detents = 0;
    bool armed = false;
    std::optional<std::string> flashText;
    std::vector<Country> countryList;
    std::optional<std::string> countryError;
    bool mutingFlag = false;
    float volumeLevel = 0.8f;
    Query home = Query::country("DE");

    std::vector<Call> calls;
};

inline RadioStation makeStation(int n, std::vector<std::string> tags = {}, int64_t bitrate = 128) {
    RadioStation station;
    station.id = "station-" + std::to_string(n);
    station.name = "Station " + std::to_string(n);
    station.streamURL = *Url::parse("http://radio.invalid/" + std::to_string(n));
    station.countryCode = "DE";
    station.tags = std::move(tags);
    station.codec = "MP3";
    station.bitrate = bitrate;
    return station;
}

inline std::vector<RadioStation> makeBand(int count) {
    std::vector<RadioStation> stations;
    for (int i = 0; i < count; ++i) stations.push_back(makeStation(i));
    return stations;
}

}  // namespace norvo::test
