#pragma once
#include <QObject>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Radio/TunerEngine.hpp"

namespace norvo {

// What the tuner views read of the tuner and ask of it. The application's one is the
// engine itself (EngineTuner); tests and the gallery put a scripted one in.
// `changed` is emitted after every change the tuner announces; views re-read then.
class TunerFacade : public QObject {
    Q_OBJECT
public:
    using Query = TunerEngine::Query;
    using Country = TunerEngine::Country;
    using Band = TunerEngine::Band;
    using Reception = TunerEngine::Reception;
    using Presets = std::array<std::optional<RadioStation>, TunerEngine::presetCount>;

    using QObject::QObject;

    virtual bool isOn() const = 0;
    virtual const std::optional<RadioStation>& station() const = 0;
    virtual const Reception& reception() const = 0;
    virtual const std::optional<std::string>& nowPlaying() const = 0;
    virtual const std::optional<std::string>& streamFormat() const = 0;
    virtual bool isStereo() const = 0;
    virtual double signal() const = 0;
    virtual bool reconnecting() const = 0;
    virtual const Presets& presets() const = 0;
    virtual const Band& band() const = 0;
    virtual bool bandLoading() const = 0;
    virtual const std::optional<std::string>& bandError() const = 0;
    virtual std::optional<int> dial() const = 0;
    virtual int64_t knobDetents() const = 0;
    virtual bool memoryArmed() const = 0;
    virtual const std::optional<std::string>& flash() const = 0;
    virtual const std::vector<Country>& countries() const = 0;
    // Why the country list is still empty after a load, if one failed.
    virtual const std::optional<std::string>& countriesError() const = 0;
    virtual bool muting() const = 0;
    virtual float volume() const = 0;
    virtual std::optional<int> currentPresetIndex() const = 0;
    // The default band: the user's region as a country, else the world.
    virtual Query homeQuery() const = 0;

    virtual void togglePower() = 0;
    virtual void loadBand(const Query& query) = 0;
    virtual void reloadBand() = 0;
    virtual void startCountriesLoad() = 0;
    virtual void tune(const RadioStation& station) = 0;
    virtual void stepDial(int step) = 0;
    virtual void pressPreset(int index) = 0;
    virtual void storeCurrentStation(int index) = 0;
    virtual void store(const RadioStation& station, int index) = 0;
    virtual void clearPreset(int index) = 0;
    virtual void armMemory() = 0;
    virtual void setMuting(bool muting) = 0;
    virtual void setVolume(float volume) = 0;

signals:
    void changed();
};

}  // namespace norvo
