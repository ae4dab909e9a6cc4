#include "Support/FakeClock.hpp"
#include "Tuner/CountryPicker.hpp"

#include <gtest/gtest.h>

#include "Tuner/FlagEmoji.hpp"

namespace norvo {
namespace {

using Country = CountryPicker::Country;

const std::vector<Country> countries = {{"AU", "Australia", 500},
                                        {"BY", "Belarus", 80},
                                        {"DE", "Germany", 3000},
                                        {"US", "United States", 5000},
                                        {"CY", "Cyprus", 40}};

std::vector<std::string> codes(const QString& filter) {
    std::vector<std::string> result;
    for (const auto& c : CountryPicker::filtered(countries, filter)) result.push_back(c.code);
    return result;
}

TEST(CountryPickerFilter, NamesContainAndCodesEqualIgnoringCase) {
    const std::vector<std::pair<QString, std::vector<std::string>>> table = {
        {"", {"AU", "BY", "DE", "US", "CY"}},
        {"   ", {"AU", "BY", "DE", "US", "CY"}},
        {"us", {"AU", "BY", "US", "CY"}},      // names with "us" in any case, and the code US
        {"  us\t", {"AU", "BY", "US", "CY"}},  // blanks around the text are trimmed
        {"de", {"DE"}},                        // by code alone
        {"d", {"US"}},                         // no code by a partial one: only "United States" by name
        {"united s", {"US"}},                  // an inner blank takes part
        {"GERM", {"DE"}},
    };
    for (const auto& [filter, expected] : table) EXPECT_EQ(codes(filter), expected) << filter.toStdString();
}

TEST(CountryPickerFilter, SpinnerUntilCountriesArriveWhateverTheFilter) {
    test::FakeClock clock;
    CountryPicker picker(
        {}, std::nullopt, [](const std::string&) {}, clock, "ger");
    EXPECT_TRUE(picker.showsSpinner());
    EXPECT_EQ(picker.size(), QSize(314, 364));
    picker.setCountries(countries);
    EXPECT_FALSE(picker.showsSpinner());
    EXPECT_EQ(picker.shownCodes(), (std::vector<std::string>{"DE"}));
    picker.setFilter("zzz");
    EXPECT_TRUE(picker.shownCodes().empty());
}

TEST(FlagEmoji, RegionalIndicatorsFromTheUpperCasedCode) {
    EXPECT_EQ(flagEmoji("DE"), "\U0001F1E9\U0001F1EA");
    EXPECT_EQ(flagEmoji("de"), flagEmoji("DE"));
    EXPECT_EQ(flagEmoji(""), "");
    // Past the end of Unicode: left out.
    EXPECT_EQ(flagEmoji("A\U000FFFFF"), "\U0001F1E6");
}

}  // namespace
}  // namespace norvo
