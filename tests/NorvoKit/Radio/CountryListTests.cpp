#include "Radio/CountryList.hpp"

#include <gtest/gtest.h>

namespace norvo {
namespace {

using Country = RadioBrowserClient::Country;
using Row = CountryList::Row;

TEST(CountryListTest, FiltersBeforeFoldingAndAddsCountsPerCode) {
    std::vector<Row> rows{
        {"Germany (de)", "de", 12},    {"Deutschland", "DE", 30}, {"Germany again", "De", 9},
        {"Three letters", "DEU", 500}, {"Nine", "FR", 9},         {"Empty", "", 40},
    };
    auto countries = CountryList::countries(rows, Locale("en_US"));
    EXPECT_EQ(countries, (std::vector<Country>{{"DE", "Germany", 42}}));
}

TEST(CountryListTest, UsesTheRowNameWhenTheRegionIsUnknown) {
    auto countries = CountryList::countries({{"Nowhere Land", "xx", 10}}, Locale("en_US"));
    EXPECT_EQ(countries, (std::vector<Country>{{"XX", "Nowhere Land", 10}}));
}

TEST(CountryListTest, TwoCharacterCodesCountCharactersNotBytes) {
    // Two characters of several bytes each pass the filter; ICU has no name for them.
    auto countries = CountryList::countries({{"Odd", "éé", 10}}, Locale("en_US"));
    ASSERT_EQ(countries.size(), 1u);
    EXPECT_EQ(countries[0].code, "ÉÉ");
    EXPECT_EQ(countries[0].name, "Odd");
}

TEST(CountryListTest, SortsByNameInTheUsersLanguage) {
    std::vector<Row> rows{{"", "ZM", 10}, {"", "AT", 10}, {"", "OM", 10}, {"weird", "xq", 10}, {"", "ax", 10}};
    // ICU names: Zambia, Austria, Oman, Åland Islands; XQ has none.
    auto names = [](const std::vector<Country>& countries) {
        std::vector<std::string> out;
        for (const auto& c : countries) out.push_back(c.name);
        return out;
    };
    EXPECT_EQ(names(CountryList::countries(rows, Locale("en_US"))),
              (std::vector<std::string>{"Åland Islands", "Austria", "Oman", "weird", "Zambia"}));
    EXPECT_EQ(names(CountryList::countries(rows, Locale("sv_SE"))),
              (std::vector<std::string>{"Austria", "Oman", "weird", "Zambia", "Åland Islands"}));
}

TEST(CountryListTest, HugeCountsSaturate) {
    auto countries =
        CountryList::countries({{"", "DE", std::numeric_limits<int64_t>::max()}, {"", "DE", 10}}, Locale("en_US"));
    ASSERT_EQ(countries.size(), 1u);
    EXPECT_EQ(countries[0].stationCount, std::numeric_limits<int64_t>::max());
}

TEST(CountryRepliesTest, ReadsAllRowsOrNone) {
    auto rows = CountryList::rowsFromReply(
        R"([{"name":"Germany","iso_3166_1":"DE","stationcount":3000,"extra":1},
            {"name":"Åland","iso_3166_1":"AX","stationcount":12}])");
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows.value(), (std::vector<Row>{{"Germany", "DE", 3000}, {"Åland", "AX", 12}}));

    for (std::string body : {R"([{"name":"Germany","iso_3166_1":"DE"}])",
                             R"([{"name":"Germany","iso_3166_1":"DE","stationcount":"3000"}])",
                             R"([{"name":"Germany","iso_3166_1":"DE","stationcount":30.5}])",
                             R"([{"name":null,"iso_3166_1":"DE","stationcount":30}])",
                             R"([{"name":"Germany","iso_3166_1":"DE","stationcount":30}, 5])", "{}", "nonsense"}) {
        auto failed = CountryList::rowsFromReply(body);
        ASSERT_FALSE(failed) << body;
        EXPECT_EQ(failed.error().kind, RadioBrowserClient::Error::Kind::decoding);
    }
}

}  // namespace
}  // namespace norvo
