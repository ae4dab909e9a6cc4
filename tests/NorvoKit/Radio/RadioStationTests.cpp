#include "Radio/RadioStation.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "Radio/StationSearch.hpp"
#include "Support/RadioFixtures.hpp"

namespace norvo {
namespace {

// A row that converts; each case changes or removes some of its keys.
JSONValue goodRow() {
    return JSONValue(JSONValue::Object{
        {"stationuuid", "9617a958-0601-11e8-ae97-52543be04c81"},
        {"name", "Good Station"},
        {"url", "http://stream.example.org/live"},
        {"codec", "MP3"},
        {"bitrate", 128},
    });
}

struct ConversionCase {
    std::string name;
    JSONValue::Object changes;  // null removes the key
    bool converts;
    std::function<void(const RadioStation&)> check = {};
};

std::optional<RadioStation> convert(const JSONValue::Object& changes) {
    JSONValue row = goodRow();
    for (const auto& [key, value] : changes) {
        if (value.isNull()) row.object()->erase(key);
        else row[key] = value;
    }
    auto directory = DirectoryStation::fromJSON(row);
    if (!directory) return std::nullopt;
    return RadioStation::fromDirectory(*directory);
}

class ConversionTest : public testing::TestWithParam<ConversionCase> {};

TEST_P(ConversionTest, FollowsTheRowRules) {
    const auto& c = GetParam();
    auto station = convert(c.changes);
    ASSERT_EQ(station.has_value(), c.converts);
    if (station && c.check) c.check(*station);
}

const ConversionCase conversionCases[] = {
    {"LowerCaseCodec", {{"codec", "mp3"}}, true, [](const RadioStation& s) { EXPECT_EQ(s.codec, "MP3"); }},
    {"AacPlus", {{"codec", "aac+"}}, true, [](const RadioStation& s) { EXPECT_EQ(s.codec, "AAC+"); }},
    {"Ogg", {{"codec", "OGG"}}, false},
    {"Flac", {{"codec", "FLAC"}}, false},
    {"EmptyCodec", {{"codec", ""}}, false},
    {"NoCodec", {{"codec", nullptr}}, false},
    {"Hls1", {{"hls", 1}}, false},
    {"Hls0", {{"hls", 0}}, true},
    {"LastCheckFailed", {{"lastcheckok", 0}}, false},
    {"LastCheckOk", {{"lastcheckok", 1}}, true},
    {"LastCheck2", {{"lastcheckok", 2}}, false},
    {"UrlTrimmed",
     {{"url", "  http://a.example.org/x \n"}},
     true,
     [](const RadioStation& s) { EXPECT_EQ(s.streamURL.absoluteString(), "http://a.example.org/x"); }},
    {"ResolvedPreferred",
     {{"url_resolved", "https://b.example.org/y"}},
     true,
     [](const RadioStation& s) { EXPECT_EQ(s.streamURL.absoluteString(), "https://b.example.org/y"); }},
    {"EmptyResolvedFallsBack",
     {{"url_resolved", ""}},
     true,
     [](const RadioStation& s) { EXPECT_EQ(s.streamURL.absoluteString(), "http://stream.example.org/live"); }},
    {"BlankResolvedRejects", {{"url_resolved", "   "}}, false},
    {"CapitalScheme", {{"url", "HTTP://a.example.org/x"}}, true},
    {"Rtsp", {{"url", "rtsp://a.example.org/x"}}, false},
    {"Mms", {{"url", "mms://a.example.org/x"}}, false},
    {"NoScheme", {{"url", "a.example.org/x"}}, false},
    {"NotAUrl", {{"url", "http://a.example.org/with space"}}, false},
    {"NameCollapsed",
     {{"name", "  Jazz\nLounge  "}},
     true,
     [](const RadioStation& s) { EXPECT_EQ(s.name, "Jazz Lounge"); }},
    {"NameOfSpaces", {{"name", " \t\n "}}, false},
    {"Tags",
     {{"tags", " Jazz, jazz ,, Blues "}},
     true,
     [](const RadioStation& s) {
         EXPECT_EQ(s.tags, (std::vector<std::string>{"jazz", "blues"}));
     }},
    {"TagsKeepLineBreaks",
     {{"tags", "\nrock\t"}},
     true,
     [](const RadioStation& s) { EXPECT_EQ(s.tags, (std::vector<std::string>{"\nrock"})); }},
    {"TwelveTags",
     {{"tags", "a,b,c,d,e,f,g,h,i,j,k,l"}},
     true,
     [](const RadioStation& s) {
         EXPECT_EQ(s.tags, (std::vector<std::string>{"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}));
     }},
    {"NoTags", {}, true, [](const RadioStation& s) { EXPECT_TRUE(s.tags.empty()); }},
    {"BadHomepageKept",
     {{"homepage", "not a url"}},
     true,
     [](const RadioStation& s) { EXPECT_EQ(s.homepage, std::nullopt); }},
    {"EmptyHomepage", {{"homepage", ""}}, true, [](const RadioStation& s) { EXPECT_EQ(s.homepage, std::nullopt); }},
    {"Homepage",
     {{"homepage", "www.example.org"}},
     true,
     [](const RadioStation& s) { EXPECT_EQ(s.homepage, Url::parse("www.example.org")); }},
    {"CountryUpper", {{"countrycode", "de"}}, true, [](const RadioStation& s) { EXPECT_EQ(s.countryCode, "DE"); }},
    {"NoCountry", {}, true, [](const RadioStation& s) { EXPECT_EQ(s.countryCode, ""); }},
    {"NegativeBitrate", {{"bitrate", -5}}, true, [](const RadioStation& s) { EXPECT_EQ(s.bitrate, 0); }},
    {"ZeroBitrate", {{"bitrate", 0}}, true, [](const RadioStation& s) { EXPECT_EQ(s.formatLabel(), "MP3"); }},
    {"NoBitrate", {{"bitrate", nullptr}}, true, [](const RadioStation& s) { EXPECT_EQ(s.bitrate, 0); }},
    {"StringBitrateUnreadable", {{"bitrate", "128"}}, false},
    {"FractionalBitrateUnreadable", {{"bitrate", 128.5}}, false},
    {"BoolHlsUnreadable", {{"hls", true}}, false},
    {"NoUuidUnreadable", {{"stationuuid", nullptr}}, false},
    {"NumericNameUnreadable", {{"name", 7}}, false},
};

INSTANTIATE_TEST_SUITE_P(Rows, ConversionTest, testing::ValuesIn(conversionCases),
                         [](const auto& info) { return info.param.name; });

TEST(RadioStationTest, NullOptionalKeysReadAsAbsent) {
    JSONValue row = goodRow();
    for (const char* key : {"url_resolved", "homepage", "countrycode", "tags", "codec", "hls", "lastcheckok"})
        row[key] = nullptr;
    row["codec"] = "AAC";
    auto directory = DirectoryStation::fromJSON(row);
    ASSERT_TRUE(directory);
    EXPECT_EQ(directory->hls, std::nullopt);
    EXPECT_TRUE(RadioStation::fromDirectory(*directory));
}

TEST(RadioStationTest, ConvertsEveryField) {
    auto station = convert({{"stationuuid", "id-1"},
                            {"name", "Café  Jazz"},
                            {"url_resolved", "https://c.example.org:8443/live.aac"},
                            {"homepage", "https://cafe.example.org/"},
                            {"countrycode", "fr"},
                            {"tags", "Jazz,Café"},
                            {"codec", "aac"},
                            {"bitrate", 96}});
    ASSERT_TRUE(station);
    RadioStation expected{"id-1",
                          "Café Jazz",
                          *Url::parse("https://c.example.org:8443/live.aac"),
                          Url::parse("https://cafe.example.org/"),
                          "FR",
                          {"jazz", "café"},
                          "AAC",
                          96};
    EXPECT_EQ(*station, expected);
    EXPECT_EQ(station->formatLabel(), "AAC 96k");
}

TEST(RadioStationTest, FormatLabel) {
    RadioStation station;
    station.codec = "AAC";
    station.bitrate = 128;
    EXPECT_EQ(station.formatLabel(), "AAC 128k");
    station.codec = "AAC+";
    station.bitrate = 0;
    EXPECT_EQ(station.formatLabel(), "AAC+");
}

RadioStation sampleStation() {
    return RadioStation{"id-7", "Nova", *Url::parse("http://nova.example.org/x"), std::nullopt, "DE", {"jazz", "blues"},
                        "MP3",  128};
}

TEST(RadioStationTest, StoredFormRoundTrips) {
    RadioStation station = sampleStation();
    EXPECT_EQ(RadioStation::fromJSON(station.jsonValue()), station);
    EXPECT_EQ(station.jsonValue().find("homepage"), nullptr);
    station.homepage = Url::parse("https://nova.example.org/");
    EXPECT_EQ(*station.jsonValue().find("homepage")->string(), "https://nova.example.org/");
    auto text = station.jsonValue().compact();
    EXPECT_EQ(RadioStation::fromJSON(*JSONValue::parse(text)), station);
}

TEST(RadioStationTest, StoredFormWithNullHomepageHasNone) {
    JSONValue value = sampleStation().jsonValue();
    value["homepage"] = nullptr;
    value["extra"] = "ignored";
    auto station = RadioStation::fromJSON(value);
    ASSERT_TRUE(station);
    EXPECT_EQ(station->homepage, std::nullopt);
}

class UnreadableStoredFormTest : public testing::TestWithParam<std::pair<std::string, JSONValue>> {};

TEST_P(UnreadableStoredFormTest, IsRejected) {
    JSONValue value = sampleStation().jsonValue();
    const auto& [key, replacement] = GetParam();
    if (replacement.isNull()) value.object()->erase(key);
    else value[key] = replacement;
    EXPECT_EQ(RadioStation::fromJSON(value), std::nullopt) << key;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, UnreadableStoredFormTest,
    testing::Values(
        std::pair<std::string, JSONValue>{"bitrate", "128"}, std::pair<std::string, JSONValue>{"id", nullptr},
        std::pair<std::string, JSONValue>{"name", nullptr}, std::pair<std::string, JSONValue>{"tags", nullptr},
        std::pair<std::string, JSONValue>{"codec", nullptr}, std::pair<std::string, JSONValue>{"countryCode", nullptr},
        std::pair<std::string, JSONValue>{"bitrate", nullptr}, std::pair<std::string, JSONValue>{"streamURL", nullptr},
        std::pair<std::string, JSONValue>{"streamURL", "not a url"},
        std::pair<std::string, JSONValue>{"homepage", "not a url"}, std::pair<std::string, JSONValue>{"homepage", 5},
        std::pair<std::string, JSONValue>{"tags", JSONValue::Array{"a", 1}},
        std::pair<std::string, JSONValue>{"tags", "jazz"}));

TEST(RadioStationTest, StationsDifferingInTagsDifferAndHashApart) {
    RadioStation a = sampleStation();
    RadioStation b = a;
    b.tags = {"blues", "jazz"};
    EXPECT_NE(a, b);
    EXPECT_NE(std::hash<RadioStation>{}(a), std::hash<RadioStation>{}(b));
    RadioStation c = a;
    c.homepage = Url::parse("");
    EXPECT_NE(a, c);  // an empty homepage is not a missing one
    EXPECT_NE(std::hash<RadioStation>{}(a), std::hash<RadioStation>{}(c));
    EXPECT_EQ(std::hash<RadioStation>{}(a), std::hash<RadioStation>{}(sampleStation()));
}

std::string fixture(const std::string& name) {
    // Wherever the test runs from (a cached build may record __FILE__ relative).
    std::ifstream file(test::committedFixture(name), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(RadioStationTest, HandWrittenDirectorySampleConverts) {
    std::string body = fixture("directory-stations.json");
    ASSERT_FALSE(body.empty());
    auto rows = StationSearch::rowsFromReply(body);
    ASSERT_TRUE(rows);
    // A bitrate given as text and a row without a name do not read; the rest do.
    ASSERT_EQ(rows.value().size(), 10u);
    auto stations = StationSearch::makeStations(rows.value(), 200);
    ASSERT_EQ(stations.size(), 4u);

    EXPECT_EQ(stations[0], (RadioStation{"9617a958-0601-11e8-ae97-52543be04c81",
                                         "Café Jazz Berlin",
                                         *Url::parse("http://stream.example.org:8000/cafejazz.mp3"),
                                         Url::parse("https://cafejazz.example.org/"),
                                         "DE",
                                         {"jazz", "blues", "smooth jazz"},
                                         "MP3",
                                         128}));
    EXPECT_EQ(stations[0].formatLabel(), "MP3 128k");

    EXPECT_EQ(stations[1].name, "Ραδιόφωνο Αθήνα 98.4");
    EXPECT_EQ(stations[1].homepage, std::nullopt);
    EXPECT_EQ(stations[1].tags, (std::vector<std::string>{"news", "talk",
                                                          "ειδησει"
                                                          "ς"}));
    EXPECT_EQ(stations[1].formatLabel(), "AAC+");

    EXPECT_EQ(stations[2].name, "東京 Lo-Fi ラジオ");
    EXPECT_EQ(stations[2].streamURL.absoluteString(), "https://lofi.example.jp/stream.aac");
    EXPECT_EQ(stations[2].tags.size(), 10u);
    EXPECT_EQ(stations[2].tags.back(), "focus");
    EXPECT_EQ(stations[2].formatLabel(), "AAC 64k");

    EXPECT_EQ(stations[3].streamURL.absoluteString(), "HTTP://CAPS.EXAMPLE.COM/Live.mp3");
    EXPECT_EQ(stations[3].homepage, std::nullopt);
    EXPECT_EQ(stations[3].countryCode, "");
    EXPECT_TRUE(stations[3].tags.empty());
    EXPECT_EQ(stations[3].codec, "MP3");
    EXPECT_EQ(stations[3].bitrate, 0);
}

}  // namespace
}  // namespace norvo
