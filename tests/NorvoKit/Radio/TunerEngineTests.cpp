#include "Radio/TunerEngine.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Platform/ManualExecutor.hpp"
#include "Support/FakeTunerDirectory.hpp"
#include "Support/FakeTunerStream.hpp"
#include "Support/FakeTunerStreamFactory.hpp"

namespace norvo {
namespace {

using test::FakeTunerDirectory;
using test::FakeTunerStream;
using test::FakeTunerStreamFactory;
using Kind = TunerEngine::Reception::Kind;
using Query = TunerEngine::Query;

RadioStation makeStation(int n, int64_t bitrate = 128) {
    RadioStation station;
    station.id = "station-" + std::to_string(n);
    station.name = "Station " + std::to_string(n);
    station.streamURL = *Url::parse("http://radio.invalid/" + std::to_string(n));
    station.countryCode = "DE";
    station.codec = "MP3";
    station.bitrate = bitrate;
    return station;
}

std::vector<RadioStation> makeBand(int count) {
    std::vector<RadioStation> stations;
    for (int i = 0; i < count; ++i) stations.push_back(makeStation(i));
    return stations;
}

class TunerEngineTest : public ::testing::Test {
protected:
    std::unique_ptr<TunerEngine> makeEngine() {
        return std::make_unique<TunerEngine>(core, defaults, directory, streams, executor, Locale("de_DE"));
    }

    // An engine whose band holds `count` stations, tuner off.
    std::unique_ptr<TunerEngine> engineWithBand(int count) {
        auto engine = makeEngine();
        engine->loadBand(engine->band().query);
        directory.answerStations(makeBand(count));
        executor.runPending();
        return engine;
    }

    float coreTunerVolume() { return core.inputs().tunerVolume; }
    bool coreMuting() { return core.inputs().tunerMuting; }
    bool corePoweredOn() { return core.inputs().tunerPoweredOn; }
    RadioSignal* coreSignal() { return core.inputs().tunerSignal; }

    AudioCore core;
    InMemoryDefaultsStore defaults;
    FakeTunerDirectory directory;
    FakeTunerStreamFactory streams;
    ManualExecutor executor;
};

TEST_F(TunerEngineTest, FreshStoreGivesAnIdleTunerOnTheHomeBand) {
    auto engine = makeEngine();
    EXPECT_FALSE(engine->isOn());
    EXPECT_FALSE(engine->station());
    EXPECT_EQ(engine->reception(), TunerEngine::Reception::off());
    for (const auto& slot : engine->presets()) EXPECT_FALSE(slot);
    EXPECT_EQ(engine->band().query, Query::country("DE"));
    EXPECT_TRUE(engine->band().stations.empty());
    EXPECT_FALSE(engine->dial());
    EXPECT_FALSE(engine->muting());
    EXPECT_FLOAT_EQ(engine->volume(), 0.8f);
    EXPECT_FLOAT_EQ(coreTunerVolume(), 0.8f);
    EXPECT_TRUE(directory.stationRequests.empty());
    EXPECT_TRUE(streams.opened.empty());
}

TEST(TunerEngineHomeQuery, TwoLetterRegionGivesCountryOtherwiseTop) {
    EXPECT_EQ(TunerEngine::homeQuery(Locale("en_GB")), Query::country("GB"));
    EXPECT_EQ(TunerEngine::homeQuery(Locale("es_419")), Query::top());
    EXPECT_EQ(TunerEngine::homeQuery(Locale("sv")), Query::top());
}

TEST(TunerEngineReception, EqualityComparesPayloads) {
    using R = TunerEngine::Reception;
    EXPECT_EQ(R::buffering(0.5), R::buffering(0.5));
    EXPECT_NE(R::buffering(0.5), R::buffering(0.51));
    EXPECT_NE(R::buffering(std::nan("")), R::buffering(std::nan("")));
    EXPECT_NE(R::noSignal("a"), R::noSignal("b"));
    EXPECT_NE(R::off(), R::standby());
}

TEST_F(TunerEngineTest, VolumeAndMutingActOnEveryAssignment) {
    auto engine = makeEngine();
    engine->setVolume(0.5f);
    EXPECT_FLOAT_EQ(coreTunerVolume(), 0.5f);
    EXPECT_FLOAT_EQ(*defaults.floatValue(TunerEngine::volumeKey), 0.5f);

    // An unchanged value is written again.
    defaults.remove(TunerEngine::volumeKey);
    engine->setVolume(0.5f);
    EXPECT_FLOAT_EQ(*defaults.floatValue(TunerEngine::volumeKey), 0.5f);

    // A value that is not a number never reaches the output.
    engine->setVolume(std::numeric_limits<float>::quiet_NaN());
    engine->setVolume(std::numeric_limits<float>::infinity());
    EXPECT_FLOAT_EQ(engine->volume(), 0.5f);
    EXPECT_FLOAT_EQ(coreTunerVolume(), 0.5f);

    engine->setMuting(!engine->muting());
    EXPECT_TRUE(coreMuting());
    EXPECT_EQ(defaults.boolean(TunerEngine::mutingKey), true);
    engine->setMuting(!engine->muting());
    EXPECT_FALSE(coreMuting());
    EXPECT_EQ(defaults.boolean(TunerEngine::mutingKey), false);
}

struct StoredVolumeCase {
    double stored;
    float expected;
};

class TunerStoredVolume : public TunerEngineTest, public ::testing::WithParamInterface<StoredVolumeCase> {};

TEST_P(TunerStoredVolume, RestoresOnlyFiniteValuesInRange) {
    defaults.setNumber(TunerEngine::volumeKey, GetParam().stored);
    auto engine = makeEngine();
    EXPECT_FLOAT_EQ(engine->volume(), GetParam().expected);
    EXPECT_FLOAT_EQ(coreTunerVolume(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, TunerStoredVolume,
                         ::testing::Values(StoredVolumeCase{0.25, 0.25f}, StoredVolumeCase{0.0, 0.0f},
                                           StoredVolumeCase{1.0, 1.0f}, StoredVolumeCase{1.5, 0.8f},
                                           StoredVolumeCase{-0.1, 0.8f},
                                           StoredVolumeCase{std::numeric_limits<double>::infinity(), 0.8f},
                                           StoredVolumeCase{std::nan(""), 0.8f}));

TEST_F(TunerEngineTest, SettingsSurviveIntoANewEngine) {
    {
        auto engine = engineWithBand(3);
        engine->setVolume(0.3f);
        engine->setMuting(true);
        engine->tune(makeStation(2));
        engine->store(makeStation(5), 4);
        engine->loadBand(Query::genre("jazz"));
    }
    auto engine = makeEngine();
    EXPECT_FLOAT_EQ(engine->volume(), 0.3f);
    EXPECT_TRUE(engine->muting());
    EXPECT_TRUE(coreMuting());
    ASSERT_TRUE(engine->station());
    EXPECT_EQ(*engine->station(), makeStation(2));
    ASSERT_TRUE(engine->presets()[4]);
    EXPECT_EQ(*engine->presets()[4], makeStation(5));
    EXPECT_EQ(engine->band().query, Query::genre("jazz"));
    EXPECT_FALSE(engine->isOn());
}

TEST_F(TunerEngineTest, PresetsRestoreSlotBySlot) {
    auto stored = [&](int entries) {
        JSONValue::Array list;
        for (int i = 0; i < entries; ++i) list.push_back(makeStation(i).jsonValue());
        return list;
    };
    {
        defaults.setData(TunerEngine::presetsKey, JSONValue(stored(10)).compact());
        auto engine = makeEngine();
        for (int i = 0; i < 8; ++i) EXPECT_EQ(engine->presets()[i], makeStation(i));
    }
    {
        defaults.setData(TunerEngine::presetsKey, JSONValue(stored(6)).compact());
        auto engine = makeEngine();
        for (int i = 0; i < 6; ++i) EXPECT_EQ(engine->presets()[i], makeStation(i));
        EXPECT_FALSE(engine->presets()[6]);
        EXPECT_FALSE(engine->presets()[7]);
    }
    {
        // One damaged entry empties only its own slot.
        auto list = stored(8);
        list[3] = JSONValue(JSONValue::Object{{"id", "broken"}});
        list[5] = JSONValue();
        defaults.setData(TunerEngine::presetsKey, JSONValue(list).compact());
        auto engine = makeEngine();
        EXPECT_FALSE(engine->presets()[3]);
        EXPECT_FALSE(engine->presets()[5]);
        EXPECT_EQ(engine->presets()[7], makeStation(7));
    }
    {
        defaults.setData(TunerEngine::presetsKey, "not json");
        auto engine = makeEngine();
        for (const auto& slot : engine->presets()) EXPECT_FALSE(slot);
    }
}

TEST_F(TunerEngineTest, CurrentPresetIndexFindsTheFirstSlotWithTheStationsID) {
    auto engine = makeEngine();
    EXPECT_FALSE(engine->currentPresetIndex());
    engine->tune(makeStation(1));
    EXPECT_FALSE(engine->currentPresetIndex());
    RadioStation sameID = makeStation(9);
    sameID.id = makeStation(1).id;
    engine->store(sameID, 2);
    engine->store(makeStation(1), 5);
    EXPECT_EQ(engine->currentPresetIndex(), 2);
}

// MARK: Dial

struct DialCase {
    int step;
    int expected;
};

class TunerDialFromNoPosition : public TunerEngineTest, public ::testing::WithParamInterface<DialCase> {};

TEST_P(TunerDialFromNoPosition, ClampsIntoTheBand) {
    auto engine = engineWithBand(8);
    engine->powerOn();
    engine->stepDial(GetParam().step);
    EXPECT_EQ(engine->dial(), GetParam().expected);
    EXPECT_EQ(engine->station(), makeStation(GetParam().expected));
    EXPECT_EQ(engine->reception(), TunerEngine::Reception::tuning());
    EXPECT_EQ(engine->knobDetents(), GetParam().step);
}

INSTANTIATE_TEST_SUITE_P(Steps, TunerDialFromNoPosition,
                         ::testing::Values(DialCase{1, 0}, DialCase{-1, 7}, DialCase{3, 2}, DialCase{-20, 0}));

TEST_F(TunerEngineTest, AZeroStepChangesNothing) {
    auto engine = engineWithBand(8);
    const auto changes = engine->changeCount();
    engine->stepDial(0);
    EXPECT_EQ(engine->knobDetents(), 0);
    EXPECT_EQ(engine->changeCount(), changes);
}

TEST_F(TunerEngineTest, TheSettledStationOpensAfterTheDelay) {
    auto engine = engineWithBand(8);
    engine->powerOn();
    engine->stepDial(1);
    EXPECT_TRUE(streams.opened.empty());
    executor.advance(0.41);
    EXPECT_TRUE(streams.opened.empty());
    executor.advance(0.02);
    ASSERT_EQ(streams.opened.size(), 1u);
    EXPECT_EQ(streams.last()->url, makeStation(0).streamURL.absoluteString());
    EXPECT_EQ(streams.last()->starts, 1);
    EXPECT_EQ(streams.lastPrebuffer, 2.0);
    EXPECT_EQ(streams.lastUserAgent, RadioBrowserClient::userAgent);
    EXPECT_EQ(coreSignal(), &streams.last()->signal());
    EXPECT_EQ(directory.clicks, std::vector<std::string>{makeStation(0).id});
    auto last = RadioStation::fromJSON(*JSONValue::parse(*defaults.data(TunerEngine::lastStationKey)));
    EXPECT_EQ(last, makeStation(0));
}

TEST_F(TunerEngineTest, QuickStepsOpenOnlyWhereTheDialRests) {
    auto engine = engineWithBand(8);
    engine->powerOn();
    engine->stepDial(1);
    executor.advance(0.3);
    engine->stepDial(1);
    executor.advance(0.3);
    EXPECT_TRUE(streams.opened.empty());
    executor.advance(0.13);
    ASSERT_EQ(streams.opened.size(), 1u);
    EXPECT_EQ(streams.last()->url, makeStation(1).streamURL.absoluteString());
    executor.advance(5);
    EXPECT_EQ(streams.opened.size(), 1u);
}

TEST_F(TunerEngineTest, AtTheEndOfTheBandAStepOnlyCounts) {
    auto engine = engineWithBand(8);
    engine->powerOn();
    engine->stepDial(-1);
    executor.advance(1);
    ASSERT_EQ(streams.opened.size(), 1u);
    engine->stepDial(1);
    EXPECT_EQ(engine->dial(), 7);
    EXPECT_EQ(engine->knobDetents(), 0);
    executor.advance(1);
    EXPECT_EQ(streams.opened.size(), 1u);
    EXPECT_EQ(streams.last()->stops, 0);
}

TEST_F(TunerEngineTest, HugeStepsClampWithoutOverflowing) {
    auto engine = engineWithBand(8);
    engine->powerOn();
    engine->stepDial(-1);
    ASSERT_EQ(engine->dial(), 7);
    engine->stepDial(std::numeric_limits<int>::max());
    EXPECT_EQ(engine->dial(), 7);
    engine->stepDial(std::numeric_limits<int>::min());
    EXPECT_EQ(engine->dial(), 0);
    EXPECT_EQ(engine->knobDetents(), int64_t{-2});
}

TEST_F(TunerEngineTest, AStepWhileOffSwitchesOnAndTunes) {
    auto engine = engineWithBand(8);
    engine->stepDial(1);
    EXPECT_TRUE(engine->isOn());
    EXPECT_TRUE(corePoweredOn());
    EXPECT_EQ(engine->dial(), 0);
    EXPECT_EQ(engine->reception(), TunerEngine::Reception::tuning());
    EXPECT_EQ(directory.stationRequests.size(), 0u);  // the band is not reloaded
    EXPECT_EQ(directory.countryRequests.size(), 1u);
    executor.advance(0.42);
    EXPECT_EQ(streams.opened.size(), 1u);
}

TEST_F(TunerEngineTest, AStepWhileOffAtTheBandsEndStillOpensTheStation) {
    auto engine = engineWithBand(8);
    engine->stepDial(-1);
    executor.advance(1);
    engine->powerOff();
    ASSERT_EQ(engine->dial(), 7);

    engine->stepDial(1);
    EXPECT_TRUE(engine->isOn());
    EXPECT_EQ(engine->reception(), TunerEngine::Reception::tuning());
    executor.advance(0.42);
    ASSERT_EQ(streams.opened.size(), 2u);
    EXPECT_EQ(streams.last()->url, makeStation(7).streamURL.absoluteString());
}

TEST_F(TunerEngineTest, AStepOnAnEmptyBand) {
    auto engine = makeEngine();
    engine->stepDial(1);
    EXPECT_FALSE(engine->isOn());
    EXPECT_EQ(engine->knobDetents(), 1);
    EXPECT_FALSE(engine->flash());

    engine->powerOn();  // starts a band load
    engine->stepDial(1);
    EXPECT_EQ(engine->flash(), "SCANNING THE BAND\u2026");
    directory.answerStations(std::vector<RadioStation>{});
    executor.runPending();
    engine->stepDial(-1);
    EXPECT_EQ(engine->flash(), "NO STATIONS ON THIS BAND");
}

// MARK: Power and tuning

TEST_F(TunerEngineTest, PowerOnOpensTheLastStationOnceAndPowerOffClears) {
    auto engine = makeEngine();
    engine->powerOn();
    EXPECT_EQ(engine->reception(), TunerEngine::Reception::standby());
    engine->powerOff();
    engine->tune(makeStation(3));
    ASSERT_EQ(streams.opened.size(), 1u);
    engine->powerOn();
    EXPECT_EQ(streams.opened.size(), 1u);

    streams.last()->status.playing = true;
    streams.last()->status.channels = 2;
    streams.last()->status.bufferedSeconds = 3;
    streams.last()->status.prebufferSeconds = 2;
    engine->tick();
    EXPECT_TRUE(engine->isStereo());

    engine->powerOff();
    EXPECT_FALSE(engine->isOn());
    EXPECT_FALSE(corePoweredOn());
    EXPECT_EQ(coreSignal(), nullptr);
    EXPECT_EQ(streams.last()->stops, 1);
    EXPECT_EQ(engine->reception(), TunerEngine::Reception::off());
    EXPECT_EQ(engine->signal(), 0);
    EXPECT_FALSE(engine->isStereo());
    EXPECT_EQ(engine->station(), makeStation(3));
    engine->powerOff();
    EXPECT_EQ(streams.last()->stops, 1);
}

TEST_F(TunerEngineTest, TuneWhileOffSwitchesOnAndSetsTheDialWhenTheBandArrives) {
    auto engine = makeEngine();
    engine->tune(makeStation(4));
    EXPECT_TRUE(engine->isOn());
    ASSERT_EQ(streams.opened.size(), 1u);
    EXPECT_EQ(engine->reception(), TunerEngine::Reception::tuning());
    EXPECT_EQ(engine->streamFormat(), "MP3 128k");
    EXPECT_FALSE(engine->dial());
    ASSERT_EQ(directory.stationRequests.size(), 1u);
    EXPECT_EQ(directory.stationRequests[0].limit, 200);
    directory.answerStations(makeBand(8));
    executor.runPending();
    EXPECT_EQ(engine->dial(), 4);
    EXPECT_FALSE(engine->bandLoading());
}

TEST_F(TunerEngineTest, TuningAnotherStationStopsTheOldStream) {
    auto engine = makeEngine();
    engine->tune(makeStation(1));
    auto first = streams.last();
    engine->tune(makeStation(2));
    EXPECT_EQ(first->stops, 1);
    EXPECT_EQ(coreSignal(), &streams.last()->signal());
}

// MARK: Bands

TEST_F(TunerEngineTest, ALaterBandLoadSupersedesAnEarlierOne) {
    auto engine = makeEngine();
    engine->loadBand(Query::genre("rock"));
    engine->loadBand(Query::genre("jazz"));
    EXPECT_EQ(engine->band().query, Query::genre("jazz"));
    directory.answerStations(makeBand(3));  // the rock answer, too late
    executor.runPending();
    EXPECT_TRUE(engine->band().stations.empty());
    EXPECT_TRUE(engine->bandLoading());
    directory.answerStations(makeBand(5));
    executor.runPending();
    EXPECT_EQ(engine->band().stations.size(), 5u);
    EXPECT_FALSE(engine->bandLoading());
    EXPECT_EQ(*defaults.data(TunerEngine::bandKey), Query::genre("jazz").jsonValue().compact());
}

TEST_F(TunerEngineTest, ReloadingKeepsTheListAndANewQueryClearsIt) {
    auto engine = engineWithBand(8);
    engine->stepDial(3);
    engine->reloadBand();
    EXPECT_EQ(engine->band().stations.size(), 8u);
    EXPECT_EQ(engine->dial(), 2);
    EXPECT_TRUE(engine->bandLoading());
    engine->loadBand(Query::search("news"));
    EXPECT_TRUE(engine->band().stations.empty());
    EXPECT_FALSE(engine->dial());
}

TEST_F(TunerEngineTest, AFailedBandLoadShowsTheErrorUntilTheNextLoad) {
    auto engine = makeEngine();
    engine->loadBand(Query::top());
    directory.answerStations(std::nullopt);
    executor.runPending();
    EXPECT_FALSE(engine->bandLoading());
    EXPECT_EQ(engine->bandError(), "NO DIRECTORY \u2014 CHECK THE INTERNET CONNECTION");
    engine->loadBand(Query::top());
    EXPECT_FALSE(engine->bandError());
}

TEST_F(TunerEngineTest, CountriesArriveOnTheMainThread) {
    auto engine = makeEngine();
    engine->startCountriesLoad();
    ASSERT_EQ(directory.countryRequests.size(), 1u);
    directory.countryRequests[0](std::vector<TunerEngine::Country>{{"DE", "Germany", 12}});
    EXPECT_TRUE(engine->countries().empty());
    executor.runPending();
    ASSERT_EQ(engine->countries().size(), 1u);
    EXPECT_EQ(engine->countries()[0].code, "DE");
}

TEST_F(TunerEngineTest, AFailedCountryLoadSaysSoAndALaterOneFillsTheList) {
    auto engine = makeEngine();
    int announcements = 0;
    auto token = engine->observe([&] { ++announcements; });
    engine->startCountriesLoad();
    directory.countryRequests[0](std::nullopt);
    executor.runPending();
    EXPECT_TRUE(engine->countries().empty());
    EXPECT_EQ(engine->countriesError(), TunerEngine::bandErrorText);
    EXPECT_EQ(announcements, 1);

    // Trying again clears the sentence at once; a load overtaken by a newer one says nothing.
    engine->startCountriesLoad();
    EXPECT_FALSE(engine->countriesError());
    EXPECT_EQ(announcements, 2);
    engine->startCountriesLoad();
    ASSERT_EQ(directory.countryRequests.size(), 3u);
    directory.countryRequests[1](std::nullopt);
    executor.runPending();
    EXPECT_FALSE(engine->countriesError());
    directory.countryRequests[2](std::vector<TunerEngine::Country>{{"DE", "Germany", 12}});
    executor.runPending();
    ASSERT_EQ(engine->countries().size(), 1u);
    EXPECT_FALSE(engine->countriesError());
}

TEST_F(TunerEngineTest, JobsOfAGoneEngineDoNothing) {
    auto engine = engineWithBand(8);
    engine->stepDial(1);
    engine->showFlash("HELLO");
    engine->loadBand(Query::top());
    engine.reset();
    directory.answerStations(makeBand(3));
    executor.advance(10);
    EXPECT_TRUE(streams.opened.empty());
}

// MARK: Flash, presets and memory

TEST_F(TunerEngineTest, ANewerFlashGetsItsOwnFullTime) {
    auto engine = makeEngine();
    engine->showFlash("ONE");
    executor.advance(1);
    engine->showFlash("TWO");
    executor.advance(2.3);
    EXPECT_EQ(engine->flash(), "TWO");
    executor.advance(0.1);
    EXPECT_FALSE(engine->flash());
    engine->showFlash("THREE");
    engine->showFlash("");
    EXPECT_FALSE(engine->flash());
}

TEST_F(TunerEngineTest, PressingPresets) {
    auto engine = makeEngine();
    engine->pressPreset(4);
    EXPECT_EQ(engine->flash(), "P5 EMPTY \u2014 MEMORY + 5 TO STORE");
    EXPECT_FALSE(engine->isOn());

    engine->store(makeStation(6), 2);
    EXPECT_EQ(engine->flash(), "STORED IN P3");
    engine->pressPreset(2);  // while off: switches on and tunes
    EXPECT_TRUE(engine->isOn());
    EXPECT_EQ(engine->station(), makeStation(6));
    EXPECT_EQ(streams.opened.size(), 1u);

    engine->pressPreset(-1);
    engine->pressPreset(8);
    engine->store(makeStation(1), 8);
    engine->clearPreset(9);
    EXPECT_EQ(streams.opened.size(), 1u);

    engine->clearPreset(2);
    EXPECT_FALSE(engine->presets()[2]);
    auto stored = JSONValue::parse(*defaults.data(TunerEngine::presetsKey));
    ASSERT_TRUE(stored && stored->array());
    EXPECT_EQ(stored->array()->size(), 8u);
    EXPECT_TRUE((*stored->array())[2].isNull());
}

TEST_F(TunerEngineTest, MemoryArmsStoresAndDisarms) {
    auto engine = makeEngine();
    engine->showFlash("OLD");
    engine->armMemory();  // off: only clears the message
    EXPECT_FALSE(engine->memoryArmed());
    EXPECT_FALSE(engine->flash());

    engine->powerOn();
    engine->armMemory();
    EXPECT_EQ(engine->flash(), "TUNE A STATION FIRST");
    EXPECT_FALSE(engine->memoryArmed());

    engine->tune(makeStation(3));
    engine->armMemory();
    EXPECT_TRUE(engine->memoryArmed());
    engine->pressPreset(1);
    EXPECT_FALSE(engine->memoryArmed());
    EXPECT_EQ(engine->presets()[1], makeStation(3));
    EXPECT_EQ(engine->flash(), "STORED IN P2");

    // Arm, disarm, arm: armed until five seconds after the third press.
    engine->armMemory();
    executor.advance(1);
    engine->armMemory();
    EXPECT_FALSE(engine->memoryArmed());
    executor.advance(1);
    engine->armMemory();
    executor.advance(4.9);
    EXPECT_TRUE(engine->memoryArmed());
    executor.advance(0.2);
    EXPECT_FALSE(engine->memoryArmed());

    engine->armMemory();
    engine->powerOff();
    EXPECT_FALSE(engine->memoryArmed());
}

TEST_F(TunerEngineTest, AutomaticMemoryFillsTheSlotsOnce) {
    auto engine = makeEngine();
    engine->powerOn();
    directory.answerStations(makeBand(7));
    executor.runPending();
    for (const auto& slot : engine->presets()) EXPECT_FALSE(slot);

    engine->loadBand(Query::top());
    directory.answerStations(makeBand(200));
    executor.runPending();
    for (int i = 0; i < 8; ++i) EXPECT_EQ(engine->presets()[i], makeStation(i));
    EXPECT_EQ(engine->flash(), "AUTO MEMORY \u2014 8 STATIONS STORED");
    EXPECT_EQ(engine->station(), makeStation(0));
    EXPECT_EQ(defaults.boolean(TunerEngine::autoMemoryDoneKey), true);

    for (int i = 0; i < 8; ++i) engine->clearPreset(i);
    engine->loadBand(Query::genre("pop"));
    directory.answerStations(makeBand(20));
    executor.runPending();
    for (const auto& slot : engine->presets()) EXPECT_FALSE(slot);
}

TEST_F(TunerEngineTest, AutomaticMemoryWaitsWhileTheUserKeepsAPreset) {
    auto engine = makeEngine();
    engine->store(makeStation(50), 7);
    engine->loadBand(Query::top());
    directory.answerStations(makeBand(10));
    executor.runPending();
    EXPECT_FALSE(engine->presets()[0]);
    EXPECT_FALSE(defaults.boolean(TunerEngine::autoMemoryDoneKey));
}

// MARK: Reception

class TunerTickTest : public TunerEngineTest {
protected:
    void SetUp() override {
        engine = makeEngine();
        engine->tune(makeStation(1, 0));
        stream = streams.last();
        stream->status.prebufferSeconds = 2.0;
    }
    RadioStream::Status& status() { return stream->status; }

    std::unique_ptr<TunerEngine> engine;
    std::shared_ptr<FakeTunerStream> stream;
};

TEST_F(TunerTickTest, ConnectingIsTuning) {
    engine->tick();
    EXPECT_EQ(engine->reception(), TunerEngine::Reception::tuning());
    EXPECT_FALSE(engine->reconnecting());
    EXPECT_EQ(engine->signal(), 0);
}

TEST_F(TunerTickTest, BufferingMovesInStepsOfAtLeastFourHundredths) {
    status().network = RadioStream::Status::Network::streaming();
    status().bufferedSeconds = 1.0;
    engine->tick();
    EXPECT_EQ(engine->reception(), TunerEngine::Reception::buffering(0.5));
    status().bufferedSeconds = 1.03;
    engine->tick();
    EXPECT_EQ(engine->reception(), TunerEngine::Reception::buffering(0.5));
    status().bufferedSeconds = 1.08;
    engine->tick();
    EXPECT_EQ(engine->reception(), TunerEngine::Reception::buffering(0.54));
}

TEST_F(TunerTickTest, AZeroPrebufferUsesTheFloor) {
    status().network = RadioStream::Status::Network::streaming();
    status().prebufferSeconds = 0;
    status().bufferedSeconds = 0.05;
    engine->tick();
    EXPECT_EQ(engine->reception(), TunerEngine::Reception::buffering(0.5));
    status().playing = true;
    engine->tick();
    EXPECT_EQ(engine->signal(), 0);
}

TEST_F(TunerTickTest, PlayingIsTunedWithSignalAndStereo) {
    status().network = RadioStream::Status::Network::streaming();
    status().playing = true;
    status().bufferedSeconds = 3.0;
    status().channels = 2;
    engine->tick();
    EXPECT_EQ(engine->reception(), TunerEngine::Reception::tuned());
    EXPECT_DOUBLE_EQ(engine->signal(), 0.75);
    EXPECT_TRUE(engine->isStereo());
    status().channels = 1;
    engine->tick();
    EXPECT_FALSE(engine->isStereo());
}

TEST_F(TunerTickTest, SignalNeedleMovesOnlyPastItsThreshold) {
    status().playing = true;
    status().bufferedSeconds = 0.40 * 4;
    engine->tick();
    EXPECT_DOUBLE_EQ(engine->signal(), 0.40);
    status().bufferedSeconds = 0.42 * 4;
    engine->tick();
    EXPECT_DOUBLE_EQ(engine->signal(), 0.40);
    status().bufferedSeconds = 0.44 * 4;
    engine->tick();
    EXPECT_DOUBLE_EQ(engine->signal(), 0.44);
    status().bufferedSeconds = 0.02 * 4;
    engine->tick();
    status().bufferedSeconds = 0.04 * 4;
    engine->tick();
    EXPECT_GT(engine->signal(), 0);
    status().playing = false;
    engine->tick();
    EXPECT_EQ(engine->signal(), 0);
}

TEST_F(TunerTickTest, FailureIsNoSignalWithTheReceiversText) {
    status().network = RadioStream::Status::Network::failed("Station not found");
    engine->tick();
    EXPECT_EQ(engine->reception(), TunerEngine::Reception::noSignal("Station not found"));
    const auto changes = engine->changeCount();
    engine->tick();
    EXPECT_EQ(engine->changeCount(), changes);
}

TEST_F(TunerTickTest, ReconnectingBuffers) {
    status().network = RadioStream::Status::Network::reconnecting(2);
    status().bufferedSeconds = 0.5;
    engine->tick();
    EXPECT_TRUE(engine->reconnecting());
    EXPECT_EQ(engine->reception(), TunerEngine::Reception::buffering(0.25));
}

TEST_F(TunerTickTest, TitlesFollowTheSerial) {
    status().title = "Song";
    status().titleSerial = 3;
    status().titleKnown = true;
    engine->tick();
    EXPECT_EQ(engine->nowPlaying(), "Song");
    EXPECT_TRUE(engine->titleKnown());
    auto changes = engine->changeCount();
    status().titleSerial = 4;  // same text, new serial: written again
    engine->tick();
    EXPECT_EQ(engine->changeCount(), changes + 1);
    changes = engine->changeCount();
    engine->tick();
    EXPECT_EQ(engine->changeCount(), changes);
    status().title.reset();
    status().titleSerial = 5;
    engine->tick();
    EXPECT_FALSE(engine->nowPlaying());
}

TEST_F(TunerTickTest, FormatTakesTheStreamsOrTheStationsBitrate) {
    EXPECT_EQ(engine->streamFormat(), "MP3");
    status().format = "AAC+";
    status().bitrate = 64;
    engine->tick();
    EXPECT_EQ(engine->streamFormat(), "AAC+ 64k");
    status().format = "MP3";
    status().bitrate.reset();
    engine->tick();
    EXPECT_EQ(engine->streamFormat(), "MP3");
}

TEST_F(TunerTickTest, ADialStepClearsTheClosedStreamsFormatAndStereo) {
    ASSERT_EQ(directory.stationRequests.size(), 1u);  // the band, asked for at power on
    directory.answerStations(makeBand(8));
    executor.runPending();
    status().network = RadioStream::Status::Network::streaming();
    status().playing = true;
    status().channels = 2;
    status().format = "MP3";
    status().bitrate = 320;
    engine->tick();
    ASSERT_EQ(engine->streamFormat(), "MP3 320k");
    ASSERT_TRUE(engine->isStereo());

    engine->stepDial(1);
    EXPECT_FALSE(engine->streamFormat());  // during the settle delay, beside the new name
    EXPECT_FALSE(engine->isStereo());
    executor.advance(0.5);
    EXPECT_TRUE(engine->streamFormat());  // the new stream's
}

TEST_F(TunerTickTest, SteadyStatusPublishesNothing) {
    status().network = RadioStream::Status::Network::streaming();
    status().playing = true;
    status().bufferedSeconds = 2.5;
    status().channels = 2;
    status().format = "MP3";
    status().bitrate = 128;
    status().title = "Steady";
    status().titleSerial = 1;
    engine->tick();
    const auto changes = engine->changeCount();
    for (int i = 0; i < 600; ++i) engine->tick();
    EXPECT_EQ(engine->changeCount(), changes);
    EXPECT_EQ(stream->statusReads, 601);
}

TEST_F(TunerTickTest, NothingIsReadWhileOff) {
    engine->powerOff();
    const int reads = stream->statusReads;
    const auto changes = engine->changeCount();
    engine->tick();
    EXPECT_EQ(stream->statusReads, reads);
    EXPECT_EQ(engine->changeCount(), changes);
}

}  // namespace
}  // namespace norvo
