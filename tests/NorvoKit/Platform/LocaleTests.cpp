#include "Platform/Locale.hpp"

#include <gtest/gtest.h>

#include "Support/ScopedEnvironment.hpp"

#include <algorithm>

namespace norvo {
namespace {

struct Mapping {
    std::string input;
    std::string expected;
};

class UppercasedTest : public testing::TestWithParam<Mapping> {};

TEST_P(UppercasedTest, UsesFullUnicodeMappingWithoutALocale) {
    EXPECT_EQ(Locale::uppercased(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, UppercasedTest,
                         testing::Values(Mapping{"mp3", "MP3"}, Mapping{"aac+", "AAC+"},
                                         Mapping{"straße", "STRASSE"},     // one letter becomes two
                                         Mapping{"istanbul", "ISTANBUL"},  // no Turkish dotted I
                                         Mapping{"ǆ", "Ǆ"}, Mapping{"", ""}));

class LowercasedTest : public testing::TestWithParam<Mapping> {};

TEST_P(LowercasedTest, UsesFullUnicodeMappingWithoutALocale) {
    EXPECT_EQ(Locale::lowercased(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, LowercasedTest,
                         testing::Values(Mapping{"Jazz", "jazz"}, Mapping{"ΣΑΣ", "σας"},  // final sigma
                                         Mapping{"ÉCOLE", "école"}, Mapping{"I", "i"}));

class RepairingUtf8Test : public testing::TestWithParam<Mapping> {};

TEST_P(RepairingUtf8Test, KeepsValidTextAndReplacesEachBrokenSequence) {
    EXPECT_EQ(Locale::repairingUtf8(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, RepairingUtf8Test,
                         testing::Values(Mapping{"Caf\xc3\xa9", "Café"},             // valid stays
                                         Mapping{"Caf\xe9 noir", "Caf\uFFFD noir"},  // Latin 1 é
                                         Mapping{"\xff\xfe", "\uFFFD\uFFFD"},
                                         Mapping{"a\xe2\x82", "a\uFFFD"},      // cut short
                                         Mapping{"\xc0\xaf", "\uFFFD\uFFFD"},  // overlong slash
                                         Mapping{"", ""}));

class FoldingDiacriticsTest : public testing::TestWithParam<Mapping> {};

TEST_P(FoldingDiacriticsTest, RemovesCombiningMarksOnly) {
    EXPECT_EQ(Locale::foldingDiacritics(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, FoldingDiacriticsTest,
                         testing::Values(Mapping{"Café", "Cafe"}, Mapping{"über", "uber"},
                                         Mapping{"e\xCC\x81t\xC3\xA9", "ete"},  // decomposed and composed
                                         Mapping{"Ångström", "Angstrom"},
                                         Mapping{"Łódź", "Łodz"},  // a stroke is not a mark
                                         Mapping{"ø", "ø"}, Mapping{"plain", "plain"}));

struct Split {
    std::string input;
    std::vector<std::string> words;
};

class AlphanumericWordsTest : public testing::TestWithParam<Split> {};

TEST_P(AlphanumericWordsTest, SplitsAtEverythingButLettersAndNumbers) {
    EXPECT_EQ(Locale::alphanumericWords(GetParam().input), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(Texts, AlphanumericWordsTest,
                         testing::Values(Split{"BBC Radio-1", {"BBC", "Radio", "1"}}, Split{"♫♪ --", {}}, Split{"", {}},
                                         Split{"rock'n'roll 24/7", {"rock", "n", "roll", "24", "7"}},
                                         // Vowel signs belong to their letter, so Devanagari words stay whole.
                                         Split{"नमस्ते दुनिया", {"नमस्ते", "दुनिया"}}, Split{"3½ ٣٤", {"3½", "٣٤"}},
                                         Split{"x_y", {"x", "y"}}));

class WhitespaceWordsTest : public testing::TestWithParam<Split> {};

TEST_P(WhitespaceWordsTest, SplitsAtUnicodeWhiteSpace) {
    EXPECT_EQ(Locale::whitespaceSeparatedWords(GetParam().input), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(Texts, WhitespaceWordsTest,
                         testing::Values(Split{"  Jazz \n FM  ", {"Jazz", "FM"}},
                                         Split{"a\xC2\xA0"
                                               "b\xE2\x80\xA8"
                                               "c\td",
                                               {"a", "b", "c", "d"}},
                                         Split{" \r\n ", {}}, Split{"one", {"one"}}));

TEST(LocaleTrimmingTest, WhitespaceTrimsLineBreaksButBlanksDoNot) {
    EXPECT_EQ(Locale::trimmingWhitespace(" \t\nhttp://a.example/x \r\n\xE2\x80\x83"), "http://a.example/x");
    EXPECT_EQ(Locale::trimmingWhitespace("a b"), "a b");
    EXPECT_EQ(Locale::trimmingBlanks("\t jazz \xC2\xA0"), "jazz");
    EXPECT_EQ(Locale::trimmingBlanks("\njazz\n"), "\njazz\n");
    EXPECT_EQ(Locale::trimmingBlanks("   "), "");
}

TEST(LocaleCharacterCountTest, CountsUserPerceivedCharacters) {
    EXPECT_EQ(Locale::characterCount("de"), 2u);
    EXPECT_EQ(Locale::characterCount("e\xCC\x81x"), 2u);  // e + combining acute, x
    EXPECT_EQ(Locale::characterCount("DEU"), 3u);
    EXPECT_EQ(Locale::characterCount(""), 0u);
}

TEST(LocaleRegionNameTest, GivesEnglishNamesAndNothingForUnknownCodes) {
    EXPECT_EQ(Locale::englishRegionName("DE"), "Germany");
    EXPECT_EQ(Locale::englishRegionName("de"), "Germany");
    EXPECT_EQ(Locale::englishRegionName("CI"), "Côte d’Ivoire");
    EXPECT_EQ(Locale::englishRegionName("XX"), std::nullopt);
    EXPECT_EQ(Locale::englishRegionName("DEU"), std::nullopt);
    EXPECT_EQ(Locale::englishRegionName("1A"), std::nullopt);
}

TEST(LocaleRegionCodeTest, ComesFromTheIdentifier) {
    EXPECT_EQ(Locale("de_DE").regionCode(), "DE");
    EXPECT_EQ(Locale("pt_br").regionCode(), "BR");
    EXPECT_EQ(Locale("sv").regionCode(), "");
}

TEST(LocaleOrderTest, IgnoresCaseButNotAccents) {
    auto order = Locale("en_US").caseInsensitiveOrder();
    EXPECT_EQ(order.compare("germany", "Germany"), 0);
    EXPECT_LT(order.compare("e", "é"), 0);
    EXPECT_LT(order.compare("Chad", "chile"), 0);
}

TEST(LocaleOrderTest, FollowsTheRulesOfTheGivenLanguage) {
    std::vector<std::string> names{"Zambia", "Österreich", "Oman"};
    auto english = names;
    std::sort(english.begin(), english.end(), Locale("en_US").caseInsensitiveOrder());
    EXPECT_EQ(english, (std::vector<std::string>{"Oman", "Österreich", "Zambia"}));
    auto swedish = names;
    std::sort(swedish.begin(), swedish.end(), Locale("sv_SE").caseInsensitiveOrder());
    EXPECT_EQ(swedish, (std::vector<std::string>{"Oman", "Zambia", "Österreich"}));
}

TEST(LocaleCurrentTest, TakesTheRegionFromTheEnvironmentAndNoneFromTheCLocale) {
    test::ScopedEnvironment all("LC_ALL", nullptr);
    test::ScopedEnvironment collate("LC_COLLATE", nullptr);
    {
        test::ScopedEnvironment lang("LANG", "de_DE.UTF-8");
        EXPECT_EQ(Locale::current().regionCode(), "DE");
    }
    {
        test::ScopedEnvironment lang("LANG", "C.UTF-8");
        EXPECT_EQ(Locale::current().regionCode(), "");
    }
    {
        test::ScopedEnvironment lang("LANG", nullptr);
        EXPECT_EQ(Locale::current().regionCode(), "");
    }
    {
        test::ScopedEnvironment lang("LANG", "en_US.UTF-8");
        test::ScopedEnvironment overriding("LC_ALL", "fr_CA.UTF-8@euro");
        EXPECT_EQ(Locale::current().regionCode(), "CA");
    }
}

}  // namespace
}  // namespace norvo
