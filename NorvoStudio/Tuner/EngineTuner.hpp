#pragma once
#include "Platform/Locale.hpp"
#include "Platform/Observable.hpp"
#include "Tuner/TunerFacade.hpp"

namespace norvo {

// The tuner views' facade over the real engine: reads forward, operations forward, and
// the engine's announcements become `changed` (views never call back from inside one:
// the signal only schedules their repaint).
class EngineTuner final : public TunerFacade {
    Q_OBJECT
public:
    explicit EngineTuner(TunerEngine& engine, Locale locale = Locale::current(), QObject* parent = nullptr);

    bool isOn() const override { return engine_.isOn(); }
    const std::optional<RadioStation>& station() const override { return engine_.station(); }
    const Reception& reception() const override { return engine_.reception(); }
    const std::optional<std::string>& nowPlaying() const override { return engine_.nowPlaying(); }
    const std::optional<std::string>& streamFormat() const override { return engine_.streamFormat(); }
    bool isStereo() const override { return engine_.isStereo(); }
    double signal() const override { return engine_.signal(); }
    bool reconnecting() const override { return engine_.reconnecting(); }
    const Presets& presets() const override { return engine_.presets(); }
    const Band& band() const override { return engine_.band(); }
    bool bandLoading() const override { return engine_.bandLoading(); }
    const std::optional<std::string>& bandError() const override { return engine_.bandError(); }
    std::optional<int> dial() const override { return engine_.dial(); }
    int64_t knobDetents() const override { return engine_.knobDetents(); }
    bool memoryArmed() const override { return engine_.memoryArmed(); }
    const std::optional<std::string>& flash() const override { return engine_.flash(); }
    const std::vector<Country>& countries() const override { return engine_.countries(); }
    const std::optional<std::string>& countriesError() const override { return engine_.countriesError(); }
    bool muting() const override { return engine_.muting(); }
    float volume() const override { return engine_.volume(); }
    std::optional<int> currentPresetIndex() const override { return engine_.currentPresetIndex(); }
    Query homeQuery() const override { return TunerEngine::homeQuery(locale_); }

    void togglePower() override { engine_.togglePower(); }
    void loadBand(const Query& query) override { engine_.loadBand(query); }
    void reloadBand() override { engine_.reloadBand(); }
    void startCountriesLoad() override { engine_.startCountriesLoad(); }
    void tune(const RadioStation& station) override { engine_.tune(station); }
    void stepDial(int step) override { engine_.stepDial(step); }
    void pressPreset(int index) override { engine_.pressPreset(index); }
    void storeCurrentStation(int index) override { engine_.storeCurrentStation(index); }
    void store(const RadioStation& station, int index) override { engine_.store(station, index); }
    void clearPreset(int index) override { engine_.clearPreset(index); }
    void armMemory() override { engine_.armMemory(); }
    void setMuting(bool muting) override { engine_.setMuting(muting); }
    void setVolume(float volume) override { engine_.setVolume(volume); }

private:
    TunerEngine& engine_;
    Locale locale_;
    ObservationToken observation_;
};

}  // namespace norvo
