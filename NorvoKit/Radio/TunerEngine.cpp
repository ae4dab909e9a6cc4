#include "Radio/TunerEngine.hpp"

#include <algorithm>
#include <cmath>

namespace norvo {

namespace {

std::optional<int> indexOfStation(const std::vector<RadioStation>& stations, const std::string& id) {
    for (std::size_t i = 0; i < stations.size(); ++i)
        if (stations[i].id == id) return static_cast<int>(i);
    return std::nullopt;
}

}  // namespace

TunerEngine::TunerEngine(AudioCore& core, DefaultsStore& defaults, TunerDirectory& directory,
                         TunerStreamFactory& streams, MainExecutor& executor, const Locale& locale)
    : core_(core),
      defaults_(defaults),
      directory_(directory),
      streams_(streams),
      executor_(executor),
      locale_(locale),
      self_(std::make_shared<TunerEngine*>(this)) {
    restoreSettings();
}

TunerEngine::~TunerEngine() {
    self_.reset();
    for (auto* task : {&settleTask_, &bandTask_, &flashTask_, &memoryTask_})
        if (*task) (*task)->cancel();
    // The core must not pull a stream that is about to go away.
    if (stream_) {
        core_.setTunerSignal(nullptr);
        stream_->stop();
        stream_.reset();
    }
}

TunerEngine::Query TunerEngine::homeQuery(const Locale& locale) {
    const std::string region = locale.regionCode();
    if (region.size() == 2) return Query::country(region);
    return Query::top();
}

void TunerEngine::restoreSettings() {
    // Presets are restored slot by slot: one entry that no longer reads leaves that slot
    // empty instead of emptying all eight.
    if (auto data = defaults_.data(presetsKey)) {
        if (auto json = JSONValue::parse(*data); json && json->array()) {
            const auto& entries = *json->array();
            for (std::size_t i = 0; i < entries.size() && i < presets_.size(); ++i) {
                if (entries[i].isNull()) continue;
                presets_[i] = RadioStation::fromJSON(entries[i]);
            }
        }
    }
    if (auto data = defaults_.data(lastStationKey))
        if (auto json = JSONValue::parse(*data)) station_ = RadioStation::fromJSON(*json);

    band_.query = homeQuery(locale_);
    if (auto data = defaults_.data(bandKey))
        if (auto query = Query::fromJSONText(*data)) band_.query = query.value();

    muting_ = defaults_.boolean(mutingKey).value_or(false);

    // A stored volume outside 0...1 or not a number at all would reach the output and the
    // tape; it restores as the default.
    volume_ = defaultVolume;
    if (auto stored = defaults_.number(volumeKey)) {
        const float value = static_cast<float>(*stored);
        if (std::isfinite(value) && value >= 0.0f && value <= 1.0f) volume_ = value;
    }

    core_.setTunerMuting(muting_);
    core_.setTunerVolume(volume_);
}

void TunerEngine::publishIfChanged() {
    if (changed_) {
        changed_ = false;
        notifyObservers();
    }
}

std::optional<int> TunerEngine::currentPresetIndex() const {
    if (!station_) return std::nullopt;
    for (int i = 0; i < presetCount; ++i)
        if (presets_[i] && presets_[i]->id == station_->id) return i;
    return std::nullopt;
}

void TunerEngine::setMuting(bool muting) {
    assign(muting_, muting);
    core_.setTunerMuting(muting_);
    defaults_.setBool(mutingKey, muting_);
    publishIfChanged();
}

void TunerEngine::setVolume(float volume) {
    if (!std::isfinite(volume)) return;
    assign(volume_, volume);
    core_.setTunerVolume(volume_);
    defaults_.setFloat(volumeKey, volume_);
    publishIfChanged();
}

// MARK: Power

void TunerEngine::togglePower() {
    if (isOn_) powerOff();
    else powerOn();
}

void TunerEngine::powerOn() {
    powerOnSteps();
    publishIfChanged();
}

void TunerEngine::powerOnSteps() {
    if (isOn_) return;
    assign(isOn_, true);
    core_.setTunerPoweredOn(true);
    if (band_.stations.empty()) loadBandSteps(band_.query);
    if (countries_.empty()) startCountriesJob();
    if (station_) openStream(*station_);
    else assign(reception_, Reception::standby());
}

void TunerEngine::powerOff() {
    if (!isOn_) return;
    if (settleTask_) settleTask_->cancel();
    settleTask_.reset();
    closeStream();
    assign(isOn_, false);
    core_.setTunerPoweredOn(false);
    assign(reception_, Reception::off());
    assign(memoryArmed_, false);
    assign(signal_, 0.0);
    assign(isStereo_, false);
    assign(nowPlaying_, std::optional<std::string>());
    assign(reconnecting_, false);
    publishIfChanged();
}

// MARK: Bands

void TunerEngine::loadBand(const Query& query) {
    loadBandSteps(query);
    publishIfChanged();
}

void TunerEngine::loadBandSteps(const Query& query) {
    if (bandTask_) bandTask_->cancel();
    assign(bandLoading_, true);
    assign(bandError_, std::optional<std::string>());
    if (!(query == band_.query)) {
        assign(band_, Band{query, {}});
        assign(dial_, std::optional<int>());
    }
    defaults_.setData(bandKey, query.jsonValue().compact());

    CancelHandle handle;
    bandTask_ = handle;
    std::weak_ptr<TunerEngine*> weak = self_;
    MainExecutor* executor = &executor_;
    directory_.stations(query, bandLimit,
                        [weak, handle, query, executor](std::optional<std::vector<RadioStation>> result) {
                            executor->post([weak, handle, query, result = std::move(result)]() mutable {
                                auto self = weak.lock();
                                if (!self || handle.isCancelled()) return;
                                TunerEngine& engine = **self;
                                if (result) {
                                    std::optional<int> dial;
                                    if (engine.station_) dial = indexOfStation(*result, engine.station_->id);
                                    engine.assign(engine.band_, Band{query, std::move(*result)});
                                    engine.assign(engine.dial_, dial);
                                    engine.assign(engine.bandLoading_, false);
                                    engine.autoMemory();
                                } else {
                                    engine.assign(engine.bandLoading_, false);
                                    engine.assign(engine.bandError_, std::optional<std::string>(bandErrorText));
                                }
                                engine.publishIfChanged();
                            });
                        });
}

void TunerEngine::reloadBand() { loadBand(band_.query); }

void TunerEngine::startCountriesLoad() {
    startCountriesJob();
    publishIfChanged();
}

void TunerEngine::startCountriesJob() {
    assign(countriesError_, std::optional<std::string>());
    const uint64_t load = ++countriesLoads_;
    std::weak_ptr<TunerEngine*> weak = self_;
    MainExecutor* executor = &executor_;
    directory_.countries([weak, executor, load](std::optional<std::vector<Country>> result) {
        executor->post([weak, load, result = std::move(result)]() mutable {
            auto self = weak.lock();
            if (!self) return;
            TunerEngine& engine = **self;
            if (result) {
                engine.assign(engine.countries_, std::move(*result));
                engine.assign(engine.countriesError_, std::optional<std::string>());
            } else if (load == engine.countriesLoads_ && engine.countries_.empty()) {
                // An earlier load that fails while a newer one runs says nothing.
                engine.assign(engine.countriesError_, std::optional<std::string>(bandErrorText));
            }
            engine.publishIfChanged();
        });
    });
}

// MARK: Tuning

void TunerEngine::tune(const RadioStation& station) {
    tuneSteps(station);
    publishIfChanged();
}

void TunerEngine::tuneSteps(const RadioStation& station) {
    if (settleTask_) settleTask_->cancel();
    settleTask_.reset();
    const bool wasOn = isOn_;
    assign(station_, std::optional<RadioStation>(station));
    if (wasOn) openStream(station);
    else powerOnSteps();
    assign(dial_, indexOfStation(band_.stations, station.id));
    saveLastStation(station);
}

void TunerEngine::openStream(const RadioStation& station) {
    closeStream();
    auto stream = streams_.make(station.streamURL.absoluteString(), RadioBrowserClient::userAgent, prebufferSeconds);
    stream->start();
    core_.setTunerSignal(&stream->signal());
    stream_ = std::move(stream);
    lastTitleSerial_ = 0;
    assign(reception_, Reception::tuning());
    assign(streamFormat_, std::optional<std::string>(station.formatLabel()));
    directory_.countClick(station);
}

void TunerEngine::closeStream() {
    core_.setTunerSignal(nullptr);
    // Stopped after the call: the render no longer pulls the stream.
    if (stream_) {
        stream_->stop();
        stream_.reset();
    }
    assign(nowPlaying_, std::optional<std::string>());
    titleKnown_ = false;
    assign(signal_, 0.0);
    // The closed stream's format must not stand beside the next station's name.
    assign(streamFormat_, std::optional<std::string>());
    assign(isStereo_, false);
    assign(reconnecting_, false);
}

void TunerEngine::saveLastStation(const RadioStation& station) {
    defaults_.setData(lastStationKey, station.jsonValue().compact());
}

void TunerEngine::stepDial(int step) {
    if (step == 0) return;
    knobDetents_ += step;
    changed_ = true;
    const int count = static_cast<int>(band_.stations.size());
    if (count == 0) {
        if (isOn_) flashSteps(bandLoading_ ? "SCANNING THE BAND\u2026" : "NO STATIONS ON THIS BAND");
        publishIfChanged();
        return;
    }
    bool switchedOn = false;
    if (!isOn_) {
        assign(isOn_, true);
        core_.setTunerPoweredOn(true);
        if (countries_.empty()) startCountriesJob();
        switchedOn = true;
    }
    // Wide enough that no step, however large, overflows before the clamp.
    const int64_t base = dial_ ? *dial_ : (step > 0 ? -1 : count);
    const int position = static_cast<int>(std::clamp<int64_t>(base + step, 0, count - 1));
    // A step that switched the tuner on always opens the station under the dial, even
    // when the dial could not move: otherwise the tuner would stand on, silent.
    if (dial_ && *dial_ == position && !switchedOn) {
        publishIfChanged();
        return;
    }
    assign(dial_, std::optional<int>(position));
    const RadioStation target = band_.stations[static_cast<std::size_t>(position)];
    closeStream();
    assign(station_, std::optional<RadioStation>(target));
    assign(reception_, Reception::tuning());

    if (settleTask_) settleTask_->cancel();
    std::weak_ptr<TunerEngine*> weak = self_;
    settleTask_ = executor_.postAfter(settleDelay, [weak, target] {
        auto self = weak.lock();
        if (!self) return;
        TunerEngine& engine = **self;
        if (!engine.station_ || engine.station_->id != target.id) return;
        engine.openStream(target);
        engine.saveLastStation(target);
        engine.publishIfChanged();
    });
    publishIfChanged();
}

// MARK: Display messages

void TunerEngine::showFlash(const std::string& text) {
    flashSteps(text);
    publishIfChanged();
}

void TunerEngine::flashSteps(const std::string& text) {
    if (flashTask_) flashTask_->cancel();
    flashTask_.reset();
    if (text.empty()) {
        assign(flash_, std::optional<std::string>());
        return;
    }
    assign(flash_, std::optional<std::string>(text));
    std::weak_ptr<TunerEngine*> weak = self_;
    flashTask_ = executor_.postAfter(flashDuration, [weak] {
        auto self = weak.lock();
        if (!self) return;
        TunerEngine& engine = **self;
        engine.assign(engine.flash_, std::optional<std::string>());
        engine.publishIfChanged();
    });
}

// MARK: Presets and memory

void TunerEngine::pressPreset(int index) {
    if (index < 0 || index >= presetCount) return;
    if (memoryArmed_) {
        if (station_) storeSteps(*station_, index);
    } else if (!presets_[index]) {
        const std::string n = std::to_string(index + 1);
        flashSteps("P" + n + " EMPTY \u2014 MEMORY + " + n + " TO STORE");
    } else {
        tuneSteps(*presets_[index]);
    }
    publishIfChanged();
}

void TunerEngine::storeCurrentStation(int index) {
    if (!station_) return;
    store(*station_, index);
}

void TunerEngine::store(const RadioStation& station, int index) {
    storeSteps(station, index);
    publishIfChanged();
}

void TunerEngine::storeSteps(const RadioStation& station, int index) {
    if (index < 0 || index >= presetCount) return;
    assign(presets_[index], std::optional<RadioStation>(station));
    savePresets();
    assign(memoryArmed_, false);
    if (memoryTask_) memoryTask_->cancel();
    memoryTask_.reset();
    flashSteps("STORED IN P" + std::to_string(index + 1));
}

void TunerEngine::clearPreset(int index) {
    if (index < 0 || index >= presetCount) return;
    assign(presets_[index], std::optional<RadioStation>());
    savePresets();
    publishIfChanged();
}

void TunerEngine::savePresets() {
    JSONValue::Array entries;
    for (const auto& slot : presets_) entries.push_back(slot ? slot->jsonValue() : JSONValue());
    defaults_.setData(presetsKey, JSONValue(std::move(entries)).compact());
}

void TunerEngine::armMemory() {
    if (isOn_ && station_) {
        assign(memoryArmed_, !memoryArmed_);
        if (memoryTask_) memoryTask_->cancel();
        memoryTask_.reset();
        if (memoryArmed_) {
            std::weak_ptr<TunerEngine*> weak = self_;
            memoryTask_ = executor_.postAfter(memoryDisarmDelay, [weak] {
                auto self = weak.lock();
                if (!self) return;
                TunerEngine& engine = **self;
                engine.assign(engine.memoryArmed_, false);
                engine.publishIfChanged();
            });
        }
    } else {
        flashSteps(isOn_ ? "TUNE A STATION FIRST" : "");
    }
    publishIfChanged();
}

void TunerEngine::autoMemory() {
    if (defaults_.boolean(autoMemoryDoneKey).value_or(false)) return;
    if (std::any_of(presets_.begin(), presets_.end(), [](const auto& slot) { return slot.has_value(); })) return;
    if (band_.stations.size() < static_cast<std::size_t>(autoMemoryMinimum)) return;
    defaults_.setBool(autoMemoryDoneKey, true);
    for (int i = 0; i < presetCount; ++i) assign(presets_[i], std::optional<RadioStation>(band_.stations[i]));
    savePresets();
    flashSteps("AUTO MEMORY \u2014 8 STATIONS STORED");
    if (isOn_ && !station_) tuneSteps(*presets_[0]);
}

// MARK: Reception

void TunerEngine::tick() {
    if (!isOn_ || !stream_) return;
    const RadioStream::Status status = stream_->currentStatus();
    using Network = RadioStream::Status::Network;

    Reception target;
    if (status.playing) {
        target = Reception::tuned();
    } else if (status.network.state == Network::State::connecting) {
        target = Reception::tuning();
    } else if (status.network.state == Network::State::failed) {
        target = Reception::noSignal(status.network.message);
    } else {
        const double fraction = std::min(status.bufferedSeconds / std::max(status.prebufferSeconds, 0.1), 1.0);
        target = Reception::buffering(fraction);
        // Small movements of the buffer would redraw the display every tick.
        if (reception_.kind == Reception::Kind::buffering && std::fabs(fraction - reception_.fraction) < 0.04)
            target = reception_;
    }
    assign(reception_, std::move(target));
    assign(reconnecting_, status.network.state == Network::State::reconnecting);

    double s = 0;
    if (status.playing && status.prebufferSeconds > 0)
        s = std::min(status.bufferedSeconds / (2 * status.prebufferSeconds), 1.0);
    if (std::fabs(s - signal_) > 0.03 || ((s == 0) != (signal_ == 0))) assign(signal_, s);

    assign(isStereo_, status.playing && status.channels >= 2);

    if (status.titleSerial != lastTitleSerial_) {
        lastTitleSerial_ = status.titleSerial;
        nowPlaying_ = status.title;
        changed_ = true;
    }
    titleKnown_ = status.titleKnown;

    if (status.format) {
        std::optional<int64_t> bitrate;
        if (status.bitrate) bitrate = *status.bitrate;
        else if (station_) bitrate = station_->bitrate;
        std::string text = *status.format;
        if (bitrate && *bitrate > 0) text.append(" ").append(std::to_string(*bitrate)).append("k");
        assign(streamFormat_, std::optional<std::string>(std::move(text)));
    }
    publishIfChanged();
}

}  // namespace norvo
