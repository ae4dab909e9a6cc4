#include "Tuner/StationGuideRules.hpp"

#include <gtest/gtest.h>

#include "NorvoStudio/Support/FakeTuner.hpp"

namespace norvo {
namespace {

using R = StationGuideRules;
using Query = TunerFacade::Query;
using test::makeStation;

TEST(StationGuideRules, SubmitTrimsOnlyBlanksAndTabs) {
    EXPECT_EQ(R::submittedSearch("  jazz  "), Query::search("jazz"));
    EXPECT_EQ(R::submittedSearch("\tjazz fm\t "), Query::search("jazz fm"));
    EXPECT_EQ(R::submittedSearch("jazz\n"), Query::search("jazz\n"));  // line breaks are text
    EXPECT_FALSE(R::submittedSearch(""));
    EXPECT_FALSE(R::submittedSearch(" \t  "));
}

TEST(StationGuideRules, ClearingLoadsTheHomeBandOnlyAfterASearch) {
    EXPECT_EQ(R::clearedSearch(Query::search("x"), Query::country("DE")), Query::country("DE"));
    EXPECT_EQ(R::clearedSearch(Query::search("x"), Query::top()), Query::top());
    EXPECT_FALSE(R::clearedSearch(Query::genre("jazz"), Query::country("DE")));
    EXPECT_FALSE(R::clearedSearch(Query::top(), Query::country("DE")));
    EXPECT_EQ(R::restoredSearch(Query::search("jazz  ")), "jazz  ");
    EXPECT_FALSE(R::restoredSearch(Query::genre("jazz")));
}

struct LightingCase {
    Query band;
    Query home;
    bool world, homeKey, genre, country;
};

class BandKeyLighting : public testing::TestWithParam<LightingCase> {};

TEST_P(BandKeyLighting, OneKeyPerBandKind) {
    const auto& c = GetParam();
    EXPECT_EQ(R::worldLit(c.band), c.world);
    EXPECT_EQ(R::homeLit(c.band, c.home), c.homeKey);
    EXPECT_EQ(R::genreLit(c.band), c.genre);
    EXPECT_EQ(R::countryLit(c.band, c.home), c.country);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BandKeyLighting,
    testing::Values(LightingCase{Query::top(), Query::country("DE"), true, false, false, false},
                    LightingCase{Query::country("DE"), Query::country("DE"), false, true, false, false},
                    LightingCase{Query::country("FR"), Query::country("DE"), false, false, false, true},
                    LightingCase{Query::country("DE"), Query::top(), false, false, false, true},
                    LightingCase{Query::genre("jazz"), Query::country("DE"), false, false, true, false},
                    LightingCase{Query::search("jazz"), Query::country("DE"), false, false, false, false}));

TEST(StationGuideRules, HomeCountryAndItsHelp) {
    EXPECT_EQ(R::homeCountry(Query::country("SE")), "SE");
    EXPECT_FALSE(R::homeCountry(Query::top()));
    EXPECT_EQ(R::homeHelp("DE", "en_US"), "Stations from Germany");
    EXPECT_EQ(R::homeHelp("DE", "de_DE"), "Stations from Deutschland");
    EXPECT_EQ(R::homeHelp("QQ", "en_US"), "Stations from QQ");  // no name for it
}

TEST(StationGuideRules, PickersCurrentValues) {
    EXPECT_EQ(R::currentGenre(Query::genre("world music")), "world music");
    EXPECT_FALSE(R::currentGenre(Query::country("DE")));
    EXPECT_EQ(R::currentCountry(Query::country("DE")), "DE");  // the home country too
    EXPECT_FALSE(R::currentCountry(Query::search("de")));
}

TEST(StationGuideRules, ReturnAndDialFindStationsOfTheBand) {
    const auto band = test::makeBand(3);
    EXPECT_FALSE(R::selectedStation(std::nullopt, band));
    EXPECT_FALSE(R::selectedStation(std::string("gone"), band));
    EXPECT_EQ(R::selectedStation(std::string("station-1"), band)->id, "station-1");

    EXPECT_FALSE(R::followedSelection(std::nullopt, band));
    EXPECT_FALSE(R::followedSelection(3, band));
    EXPECT_FALSE(R::followedSelection(-1, band));
    EXPECT_EQ(R::followedSelection(2, band), "station-2");
}

TEST(StationGuideRules, RowValues) {
    TunerFacade::Presets presets;
    presets[2] = makeStation(7);
    presets[4] = makeStation(7);
    EXPECT_EQ(R::presetNumber(makeStation(7), presets), 3);
    EXPECT_FALSE(R::presetNumber(makeStation(8), presets));

    constexpr bool tunerOn = true, tunerOff = false;
    EXPECT_FALSE(R::tuned(makeStation(7), tunerOff, makeStation(7)));
    EXPECT_TRUE(R::tuned(makeStation(7), tunerOn, makeStation(7)));
    EXPECT_FALSE(R::tuned(makeStation(7), tunerOn, std::nullopt));
    EXPECT_FALSE(R::showsCountry(Query::country("DE")));
    EXPECT_TRUE(R::showsCountry(Query::genre("pop")));

    EXPECT_EQ(R::rowNumber(0), "001");
    EXPECT_EQ(R::rowNumber(41), "042");
    EXPECT_EQ(R::rowNumber(999), "1000");
}

TEST(StationGuideRules, RowHelpDropsEmptyParts) {
    auto station = makeStation(1, {"pop", "rock", "news", "talk", "oldies", "80s"});
    station.name = "Radio One";
    // The name and the tags each keep their own direction between the separators.
    EXPECT_EQ(R::rowHelp(station),
              "\u2068Radio One\u2069 \u00B7 \u2068pop, rock, news, talk, oldies\u2069 \u00B7 MP3 128k");
    station.name = "\u05E8\u05D3\u05D9\u05D5 1\u202E\n";  // Hebrew, an override and a line feed
    station.tags = {"\u202Dtalk"};
    EXPECT_EQ(R::rowHelp(station),
              "\u2068\u05E8\u05D3\u05D9\u05D5 1\uFFFD\uFFFD\u2069 \u00B7 \u2068\uFFFDtalk\u2069 \u00B7 MP3 128k");
    station.name = "Radio One";
    station.tags.clear();
    station.codec.clear();
    station.bitrate = 0;
    EXPECT_EQ(R::rowHelp(station), "\u2068Radio One\u2069");
    station.name.clear();
    EXPECT_EQ(R::rowHelp(station), "");
}

TEST(StationGuideRules, StoreItemsNameTheStoredStation) {
    TunerFacade::Presets presets;
    presets[2] = makeStation(7);
    EXPECT_EQ(R::storeItemTitle(0, presets), "P1");
    EXPECT_EQ(R::storeItemTitle(2, presets), "P3  \u2014  \u2068Station 7\u2069");
    presets[2]->name = "Station\u2067 7";
    EXPECT_EQ(R::storeItemTitle(2, presets), "P3  \u2014  \u2068Station\uFFFD 7\u2069");
}

TEST(StationGuideRules, OnlyWebAddressesOpenAsWebsites) {
    const std::vector<std::pair<const char*, bool>> table = {
        {"http://radio.example/", true}, {"HTTPS://radio.example", true}, {"HtTp://radio.example/a?b", true},
        {"javascript:alert(1)", false},  {"file:///etc/passwd", false},   {"ftp://radio.example/", false},
        {"www.radio.example", false},    {"http:relative", false},        {"smb://host/share", false}};
    for (auto [text, opens] : table) {
        auto url = Url::parse(text);
        ASSERT_TRUE(url) << text;
        EXPECT_EQ(R::opensWebsite(url), opens) << text;
    }
    EXPECT_FALSE(R::opensWebsite(std::nullopt));
}

TEST(StationGuideRules, ErrorMessageIsCapitalisedWordByWord) {
    EXPECT_EQ(R::capitalised(TunerEngine::bandErrorText), "No Directory \u2014 Check The Internet Connection");
    EXPECT_EQ(R::capitalised("can't REACH the server"), "Can't Reach The Server");
}

}  // namespace
}  // namespace norvo
