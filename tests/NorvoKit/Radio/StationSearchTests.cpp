#include "Radio/StationSearch.hpp"

#include <gtest/gtest.h>

#include "Radio/StationNameKey.hpp"

namespace norvo {
namespace {

using Query = RadioBrowserClient::Query;
using Items = std::vector<RadioBrowserClient::QueryItem>;

struct KeyCase {
    std::string name;
    std::string key;
};

class StationNameKeyTest : public testing::TestWithParam<KeyCase> {};

TEST_P(StationNameKeyTest, FoldsNamesToTheirKey) {
    EXPECT_EQ(StationNameKey::of(GetParam().name), GetParam().key) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, StationNameKeyTest,
    testing::Values(KeyCase{"Radio Paradise", "paradise"}, KeyCase{"paradise radio", "paradise"},
                    KeyCase{"Paradise", "paradise"}, KeyCase{"Radio", "radio"}, KeyCase{"Radio Radio", "radio"},
                    KeyCase{"BBC Radio 1", "bbc radio 1"}, KeyCase{"Radio-1", "1"}, KeyCase{"Café Jazz", "cafe jazz"},
                    KeyCase{"cafe jazz", "cafe jazz"}, KeyCase{"♫ ♪ ♫", ""}, KeyCase{"-- --", ""},
                    KeyCase{"RADIO Ünïcode RADIO", "unicode"}, KeyCase{"Radio Radio Radio", "radio"},
                    KeyCase{"Rádio Clube", "clube"},  // the accent goes before the word is compared
                    KeyCase{"Radiozz Radio", "radiozz"}));

DirectoryStation row(std::string id, std::string name, std::string url) {
    DirectoryStation d;
    d.stationuuid = std::move(id);
    d.name = std::move(name);
    d.url = std::move(url);
    d.codec = "MP3";
    return d;
}

std::vector<std::string> ids(const std::vector<RadioStation>& stations) {
    std::vector<std::string> out;
    for (const auto& s : stations) out.push_back(s.id);
    return out;
}

struct DedupCase {
    std::string name;
    std::vector<DirectoryStation> rows;
    std::vector<std::string> ids;
};

class MakeStationsDedupTest : public testing::TestWithParam<DedupCase> {};

TEST_P(MakeStationsDedupTest, KeepsTheFirstRowOfEachAddressAndNameKey) {
    EXPECT_EQ(ids(StationSearch::makeStations(GetParam().rows, 200)), GetParam().ids);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MakeStationsDedupTest,
    testing::Values(
        DedupCase{"SameAddress", {row("1", "One", "http://a.example/x"), row("2", "Two", "http://a.example/x")}, {"1"}},
        DedupCase{"SameNameKey",
                  {row("1", "Radio Nova", "http://a.example/1"), row("2", "Jazz", "http://a.example/2"),
                   row("3", "Nova", "http://a.example/3")},
                  {"1", "2"}},
        DedupCase{"NoLettersShareTheEmptyKey",
                  {row("1", "♫♫♫", "http://a.example/1"), row("2", "---", "http://a.example/2")},
                  {"1"}},
        DedupCase{"AccentsAndCapitals",
                  {row("1", "Café Jazz", "http://a.example/1"), row("2", "cafe jazz", "http://a.example/2")},
                  {"1"}},
        // A station dropped for its name still claims its address.
        DedupCase{"DroppedNameClaimsItsAddress",
                  {row("1", "Nova", "http://a.example/1"), row("2", "Radio Nova", "http://a.example/2"),
                   row("3", "Other", "http://a.example/2")},
                  {"1"}}),
    [](const auto& info) { return info.param.name; });

TEST(MakeStationsTest, RowsThatDoNotConvertAreSkipped) {
    auto rejected = row("1", "Ogg", "http://a.example/1");
    rejected.codec = "OGG";
    auto stations = StationSearch::makeStations({rejected, row("2", "Ogg", "http://a.example/1")}, 200);
    // The rejected row claims neither its address nor its name.
    EXPECT_EQ(ids(stations), (std::vector<std::string>{"2"}));
}

TEST(MakeStationsTest, StopsAtTheLimitInDirectoryOrder) {
    std::vector<DirectoryStation> rows;
    for (int i = 0; i < 12; ++i)
        rows.push_back(row(std::to_string(i), "Station " + std::to_string(i), "http://a.example/" + std::to_string(i)));
    auto stations = StationSearch::makeStations(rows, 5);
    EXPECT_EQ(ids(stations), (std::vector<std::string>{"0", "1", "2", "3", "4"}));
    EXPECT_EQ(StationSearch::makeStations(rows, 200).size(), 12u);
    EXPECT_TRUE(StationSearch::makeStations({}, 200).empty());
}

struct ItemsCase {
    std::string name;
    Query query;
    int64_t limit;
    Items items;
};

class QueryItemsTest : public testing::TestWithParam<ItemsCase> {};

TEST_P(QueryItemsTest, AsksInOrder) {
    EXPECT_EQ(StationSearch::queryItems(GetParam().query, GetParam().limit), GetParam().items);
}

const Items common{{"order", "clickcount"}, {"reverse", "true"}, {"hidebroken", "true"}, {"limit", "400"}};

Items with(Items items) {
    Items out = common;
    out.insert(out.end(), items.begin(), items.end());
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Queries, QueryItemsTest,
    testing::Values(ItemsCase{"Top", Query::top(), 200, common},
                    ItemsCase{"Country", Query::country("DE"), 200, with({{"countrycode", "DE"}})},
                    ItemsCase{"Genre", Query::genre("jazz"), 200, with({{"tag", "jazz"}, {"tagExact", "true"}})},
                    ItemsCase{"Search", Query::search("AC/DC & Friends +1"), 200,
                              with({{"name", "AC/DC & Friends +1"}})},
                    ItemsCase{"SmallLimit",
                              Query::top(),
                              3,
                              {{"order", "clickcount"}, {"reverse", "true"}, {"hidebroken", "true"}, {"limit", "6"}}}),
    [](const auto& info) { return info.param.name; });

TEST(StationRepliesTest, SkipsRowsThatDoNotReadAndFailsWithoutAnArray) {
    auto rows = StationSearch::rowsFromReply(
        R"([{"stationuuid":"a","name":"A","url":"http://a.example/"},
            {"stationuuid":"b","name":"B"},
            7,
            {"stationuuid":"c","name":"C","url":"http://c.example/","bitrate":"fast"},
            {"stationuuid":"d","name":"D","url":"http://d.example/","extra":{"x":[1,2]}}])");
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows.value().size(), 2u);
    EXPECT_EQ(rows.value()[0].stationuuid, "a");
    EXPECT_EQ(rows.value()[1].stationuuid, "d");

    EXPECT_TRUE(StationSearch::rowsFromReply("[]"));
    for (std::string body : {"", "{}", "not json", "[{]", "null"}) {
        auto failed = StationSearch::rowsFromReply(body);
        ASSERT_FALSE(failed) << body;
        EXPECT_EQ(failed.error().kind, RadioBrowserClient::Error::Kind::decoding);
        EXPECT_FALSE(failed.error().message().empty());
    }
}

}  // namespace
}  // namespace norvo
