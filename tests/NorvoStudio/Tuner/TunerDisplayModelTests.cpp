#include "Tuner/TunerDisplayModel.hpp"

#include <gtest/gtest.h>

#include "NorvoStudio/Support/FakeTuner.hpp"

namespace norvo {
namespace {

using test::FakeTuner;
using test::makeStation;
using Ink = TunerDisplayModel::Ink;
using Line = TunerDisplayModel::Line;
using Reception = TunerFacade::Reception;
using Query = TunerFacade::Query;

struct MainLineCase {
    const char* name;
    std::function<void(FakeTuner&)> setUp;
    Line expected;
};

class MainLineTest : public testing::TestWithParam<MainLineCase> {};

TEST_P(MainLineTest, FirstMatchingRuleWins) {
    FakeTuner tuner;
    tuner.on = true;
    tuner.current = makeStation(1, {"pop", "rock", "news", "talk", "oldies", "80s"});
    GetParam().setUp(tuner);
    EXPECT_EQ(TunerDisplayModel::mainLine(tuner), GetParam().expected);
}

const std::string standbyPrompt = "STANDBY \u2014 PICK A STATION OR TURN THE DIAL";

INSTANTIATE_TEST_SUITE_P(
    Rules, MainLineTest,
    testing::Values(
        MainLineCase{"OffWithFlashShowsRadioText",
                     [](FakeTuner& t) {
                         t.on = false;
                         t.flashText = "STORED IN P1";
                     },
                     {"RADIO TEXT", Ink::cyan}},
        MainLineCase{"MemoryBeatsFlash",
                     [](FakeTuner& t) {
                         t.armed = true;
                         t.flashText = "STORED IN P1";
                     },
                     {"MEMORY \u2014 PRESS A PRESET KEY 1\u20138", Ink::amber}},
        MainLineCase{"FlashBeatsBuffering",
                     [](FakeTuner& t) {
                         t.flashText = "P3 EMPTY";
                         t.receptionState = Reception::buffering(0.5);
                     },
                     {"P3 EMPTY", Ink::amber}},
        MainLineCase{"BufferingBar",
                     [](FakeTuner& t) { t.receptionState = Reception::buffering(0.25); },
                     {"BUFFERING  \u25AE\u25AE\u25AE\u25AF\u25AF\u25AF\u25AF\u25AF\u25AF\u25AF", Ink::cyan}},
        MainLineCase{"NoSignalUpperCasedInRed",
                     [](FakeTuner& t) { t.receptionState = Reception::noSignal("Stream ended straße"); },
                     {"NO SIGNAL \u2014 STREAM ENDED STRASSE", Ink::red}},
        MainLineCase{"StandbyWhileOn",
                     [](FakeTuner& t) { t.receptionState = Reception::standby(); },
                     {standbyPrompt, Ink::cyan}},
        MainLineCase{"OffReceptionWhileOn",
                     [](FakeTuner& t) { t.receptionState = Reception::off(); },
                     {standbyPrompt, Ink::cyan}},
        MainLineCase{
            "Tuning", [](FakeTuner& t) { t.receptionState = Reception::tuning(); }, {"TUNING\u2026", Ink::cyan}},
        MainLineCase{"TitleWins",
                     [](FakeTuner& t) {
                         t.receptionState = Reception::tuned();
                         t.title = "Song – ümlaut";
                     },
                     {"\u266A \u2068SONG – ÜMLAUT\u2069", Ink::cyan}},
        // A stream's title cannot break the line or turn the note round.
        MainLineCase{"TitleControlsReplacedAndIsolated",
                     [](FakeTuner& t) {
                         t.receptionState = Reception::tuned();
                         t.title = "live\r\n\u202Eon air";
                     },
                     {"\u266A \u2068LIVE\uFFFD\uFFFD\uFFFDON AIR\u2069", Ink::cyan}},
        MainLineCase{"FirstFourTags",
                     [](FakeTuner& t) { t.receptionState = Reception::tuned(); },
                     {"\u2068POP \u00B7 ROCK \u00B7 NEWS \u00B7 TALK\u2069", Ink::cyan}},
        MainLineCase{"OnAirWithoutTags",
                     [](FakeTuner& t) {
                         t.receptionState = Reception::tuned();
                         t.current->tags.clear();
                     },
                     {"ON AIR", Ink::cyan}},
        MainLineCase{"OnAirWithoutStation",
                     [](FakeTuner& t) {
                         t.receptionState = Reception::tuned();
                         t.current.reset();
                     },
                     {"ON AIR", Ink::cyan}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TunerDisplayModel, BufferingCellsRoundHalvesAwayFromZeroAndStayInRange) {
    const std::vector<std::pair<double, int>> table = {{0, 0},     {0.04, 0}, {0.05, 1}, {0.25, 3}, {0.5, 5},
                                                       {0.95, 10}, {1, 10},   {-0.3, 0}, {7, 10},   {std::nan(""), 0}};
    for (auto [fraction, cells] : table) EXPECT_EQ(TunerDisplayModel::bufferingCells(fraction), cells) << fraction;
    std::string empty = "BUFFERING  ", full = "BUFFERING  ";
    for (int i = 0; i < 10; ++i) empty += "\u25AF", full += "\u25AE";
    EXPECT_EQ(TunerDisplayModel::bufferingText(0), empty);
    EXPECT_EQ(TunerDisplayModel::bufferingText(1), full);
}

TEST(TunerDisplayModel, CaptionValues) {
    EXPECT_EQ(TunerDisplayModel::presetText(std::nullopt), "P-");
    EXPECT_EQ(TunerDisplayModel::presetText(2), "P3");
    EXPECT_EQ(TunerDisplayModel::channelDigits(std::nullopt, 0), "---/---");
    EXPECT_EQ(TunerDisplayModel::channelDigits(5, 0), "---/---");
    EXPECT_EQ(TunerDisplayModel::channelDigits(std::nullopt, 200), "---/200");
    EXPECT_EQ(TunerDisplayModel::channelDigits(11, 200), "012/200");
    EXPECT_EQ(TunerDisplayModel::channelDigits(1199, 1200), "1200/1200");
    EXPECT_EQ(TunerDisplayModel::bandLabel(Query::genre("electronic")), "ELECTRONI");
    EXPECT_EQ(TunerDisplayModel::bandLabel(Query::genre("hip hop")), "HIP HOP");
    EXPECT_EQ(TunerDisplayModel::bandLabel(Query::search("jazz")), "FIND");
    EXPECT_EQ(TunerDisplayModel::bandLabel(Query::top()), "WORLD");
    EXPECT_EQ(TunerDisplayModel::bandLabel(Query::country("FR")), "FR");
}

TEST(TunerDisplayModel, PresetIndexTakesTheFirstSlotAndMarksCountEachStationOnce) {
    FakeTuner tuner;
    tuner.current = makeStation(4);
    tuner.presetSlots[1] = makeStation(4);
    tuner.presetSlots[4] = makeStation(4);
    tuner.presetSlots[6] = makeStation(99);
    EXPECT_EQ(TunerDisplayModel::presetText(tuner.currentPresetIndex()), "P2");
    const auto marks = TunerDisplayModel::presetMarks(tuner.presetSlots, test::makeBand(10));
    EXPECT_EQ(marks, (std::set<int>{4}));
}

TEST(TunerDisplayModel, WordLampsFollowPowerAndReception) {
    FakeTuner tuner;
    tuner.stereo = true;
    tuner.receptionState = Reception::buffering(0.3);
    tuner.mutingFlag = true;
    auto lit = [&] {
        std::string names;
        for (const auto& lamp : TunerDisplayModel::wordLamps(tuner))
            if (lamp.lit) names += lamp.text + " ";
        return names;
    };
    EXPECT_EQ(lit(), "");  // off: nothing lit
    tuner.on = true;
    EXPECT_EQ(lit(), "STEREO MUTING ");
    tuner.stereo = false;
    EXPECT_EQ(lit(), "MUTING ");  // mono needs the tuned state
    tuner.receptionState = Reception::tuned();
    tuner.reconnectingFlag = true;
    tuner.armed = true;
    EXPECT_EQ(lit(), "TUNED MONO MUTING MEMORY RECONNECT ");
}

TEST(TunerDisplayModel, FormatAndCountryTexts) {
    FakeTuner tuner;
    EXPECT_EQ(TunerDisplayModel::formatText(tuner), "---");
    EXPECT_EQ(TunerDisplayModel::countryText(tuner), "--");
    tuner.current = makeStation(1, {}, 0);
    EXPECT_EQ(TunerDisplayModel::formatText(tuner), "---");  // off
    EXPECT_EQ(TunerDisplayModel::countryText(tuner), "DE");  // also while off
    tuner.on = true;
    EXPECT_EQ(TunerDisplayModel::formatText(tuner), "MP3");
    tuner.format = "AAC+ 64k";
    EXPECT_EQ(TunerDisplayModel::formatText(tuner), "AAC+ 64k");
    tuner.current->countryCode.clear();
    EXPECT_EQ(TunerDisplayModel::countryText(tuner), "--");
}

TEST(TunerDisplayModel, StationLine) {
    FakeTuner tuner;
    tuner.current = makeStation(1);
    EXPECT_EQ(TunerDisplayModel::stationLine(tuner).text, "STANDBY");
    tuner.on = true;
    EXPECT_EQ(TunerDisplayModel::stationLine(tuner).text, "STATION 1");
    tuner.current->name = "Two\nLines\u2066";
    EXPECT_EQ(TunerDisplayModel::stationLine(tuner).text, "TWO\uFFFDLINES\uFFFD");
    tuner.current.reset();
    EXPECT_EQ(TunerDisplayModel::stationLine(tuner).text, "NO STATION");
}

TEST(TunerDisplayModel, BlinksFollowTheClockPeriods) {
    EXPECT_TRUE(TunerDisplayModel::blinkLit(0.0, 0.4));
    EXPECT_TRUE(TunerDisplayModel::blinkLit(0.39, 0.4));
    EXPECT_FALSE(TunerDisplayModel::blinkLit(0.41, 0.4));
    EXPECT_TRUE(TunerDisplayModel::blinkLit(0.81, 0.4));
    EXPECT_FALSE(TunerDisplayModel::blinkLit(788918400.7, 0.5));  // odd 0.5 s period
    EXPECT_TRUE(TunerDisplayModel::blinkLit(788918401.2, 0.5));
}

}  // namespace
}  // namespace norvo
