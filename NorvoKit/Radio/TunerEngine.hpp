#pragma once
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AudioEngine/AudioCore.hpp"
#include "Platform/DefaultsStore.hpp"
#include "Platform/MainExecutor.hpp"
#include "Platform/Observable.hpp"
#include "Radio/RadioBrowserClient.hpp"
#include "Radio/RadioStation.hpp"
#include "Radio/TunerDirectory.hpp"
#include "Radio/TunerStreamFactory.hpp"

namespace norvo {

// The RO-01 tuner: power, the tuned station and its reception, eight presets, the band
// and its dial, MEMORY, the display's message, the country list, muting and volume.
// Lives on the main thread; every operation announces its changes once.
class TunerEngine final : public Observable {
public:
    using Query = RadioBrowserClient::Query;
    using Country = RadioBrowserClient::Country;

    struct Reception {
        enum class Kind { off, standby, tuning, buffering, tuned, noSignal };
        Kind kind = Kind::off;
        double fraction = 0;  // buffering only
        std::string message;  // noSignal only

        static Reception off() { return {Kind::off, 0, {}}; }
        static Reception standby() { return {Kind::standby, 0, {}}; }
        static Reception tuning() { return {Kind::tuning, 0, {}}; }
        static Reception buffering(double fraction) { return {Kind::buffering, fraction, {}}; }
        static Reception tuned() { return {Kind::tuned, 0, {}}; }
        static Reception noSignal(std::string message) { return {Kind::noSignal, 0, std::move(message)}; }

        bool operator==(const Reception& other) const {
            if (kind != other.kind) return false;
            if (kind == Kind::buffering) return fraction == other.fraction;
            if (kind == Kind::noSignal) return message == other.message;
            return true;
        }
    };

    struct Band {
        Query query;
        std::vector<RadioStation> stations;
        bool operator==(const Band&) const = default;
    };

    static constexpr int presetCount = 8;
    static constexpr double settleDelay = 0.42;
    static constexpr double flashDuration = 2.4;
    static constexpr double memoryDisarmDelay = 5.0;
    static constexpr int bandLimit = 200;
    static constexpr double prebufferSeconds = 2.0;
    static constexpr float defaultVolume = 0.8f;
    static constexpr int autoMemoryMinimum = 8;

    static inline const std::string bandErrorText = "NO DIRECTORY \u2014 CHECK THE INTERNET CONNECTION";

    // Settings keys.
    static inline const std::string lastStationKey = "RO-01.lastStation";
    static inline const std::string presetsKey = "RO-01.presets";
    static inline const std::string bandKey = "RO-01.band";
    static inline const std::string volumeKey = "RO-01.volume";
    static inline const std::string mutingKey = "RO-01.muting";
    static inline const std::string autoMemoryDoneKey = "RO-01.autoMemoryDone";

    TunerEngine(AudioCore& core, DefaultsStore& defaults, TunerDirectory& directory, TunerStreamFactory& streams,
                MainExecutor& executor, const Locale& locale = Locale::current());
    ~TunerEngine() override;

    // The default band: the locale's two-letter region as a country, else top.
    static Query homeQuery(const Locale& locale = Locale::current());

    // Published state.
    bool isOn() const { return isOn_; }
    const std::optional<RadioStation>& station() const { return station_; }
    const Reception& reception() const { return reception_; }
    const std::optional<std::string>& nowPlaying() const { return nowPlaying_; }
    bool titleKnown() const { return titleKnown_; }
    const std::optional<std::string>& streamFormat() const { return streamFormat_; }
    bool isStereo() const { return isStereo_; }
    double signal() const { return signal_; }
    bool reconnecting() const { return reconnecting_; }
    const std::array<std::optional<RadioStation>, presetCount>& presets() const { return presets_; }
    const Band& band() const { return band_; }
    bool bandLoading() const { return bandLoading_; }
    const std::optional<std::string>& bandError() const { return bandError_; }
    std::optional<int> dial() const { return dial_; }
    int64_t knobDetents() const { return knobDetents_; }
    bool memoryArmed() const { return memoryArmed_; }
    const std::optional<std::string>& flash() const { return flash_; }
    const std::vector<Country>& countries() const { return countries_; }
    // Why the last country load left the list empty; none while one runs or once it is there.
    const std::optional<std::string>& countriesError() const { return countriesError_; }
    bool muting() const { return muting_; }
    float volume() const { return volume_; }
    std::optional<int> currentPresetIndex() const;

    // The two settings assigned from outside; each assignment acts, also an unchanged one.
    void setMuting(bool muting);
    // A value that is not a finite number is ignored: it would reach the output and the tape.
    void setVolume(float volume);

    // Power, bands and dial.
    void togglePower();
    void powerOn();
    void powerOff();
    void loadBand(const Query& query);
    void reloadBand();
    // Asks the directory for the country list; a failure that leaves it empty is published
    // as countriesError() (the band's sentence), cleared again when the next load starts.
    void startCountriesLoad();
    void tune(const RadioStation& station);
    void stepDial(int step);
    void showFlash(const std::string& text);

    // Presets and memory.
    void pressPreset(int index);
    void storeCurrentStation(int index);
    void store(const RadioStation& station, int index);
    void clearPreset(int index);
    void armMemory();

    // Per-tick reception update from the open stream's status.
    void tick();

private:
    struct Publisher;

    void openStream(const RadioStation& station);
    void closeStream();
    void saveLastStation(const RadioStation& station);
    void savePresets();
    void autoMemory();
    void startCountriesJob();
    void restoreSettings();
    void powerOnSteps();
    void flashSteps(const std::string& text);
    void tuneSteps(const RadioStation& station);
    void storeSteps(const RadioStation& station, int index);
    void loadBandSteps(const Query& query);

    template <typename T>
    void assign(T& field, T value) {
        if (!(field == value)) {
            field = std::move(value);
            changed_ = true;
        }
    }
    void publishIfChanged();

    AudioCore& core_;
    DefaultsStore& defaults_;
    TunerDirectory& directory_;
    TunerStreamFactory& streams_;
    MainExecutor& executor_;
    Locale locale_;

    bool isOn_ = false;
    std::optional<RadioStation> station_;
    Reception reception_ = Reception::off();
    std::optional<std::string> nowPlaying_;
    bool titleKnown_ = false;
    std::optional<std::string> streamFormat_;
    bool isStereo_ = false;
    double signal_ = 0;
    bool reconnecting_ = false;
    std::array<std::optional<RadioStation>, presetCount> presets_;
    Band band_;
    bool bandLoading_ = false;
    std::optional<std::string> bandError_;
    std::optional<int> dial_;
    int64_t knobDetents_ = 0;
    bool memoryArmed_ = false;
    std::optional<std::string> flash_;
    std::vector<Country> countries_;
    std::optional<std::string> countriesError_;
    uint64_t countriesLoads_ = 0;  // the latest load's number: only its failure is shown
    bool muting_ = false;
    float volume_ = defaultVolume;

    std::shared_ptr<TunerStream> stream_;
    int64_t lastTitleSerial_ = 0;
    std::optional<CancelHandle> settleTask_;
    std::optional<CancelHandle> bandTask_;
    std::optional<CancelHandle> flashTask_;
    std::optional<CancelHandle> memoryTask_;

    bool changed_ = false;
    // Jobs hold this weakly: once the engine is gone they find it expired and do nothing.
    std::shared_ptr<TunerEngine*> self_;
};

}  // namespace norvo
