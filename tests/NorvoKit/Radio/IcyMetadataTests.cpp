#include "Radio/IcyMetadata.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace norvo {
namespace {

struct TitleCase {
    std::string name;
    std::string block;
    std::optional<std::string> title;
};

class IcyMetadataTitle : public ::testing::TestWithParam<TitleCase> {};

TEST_P(IcyMetadataTitle, ReadsTheTitle) {
    const std::string& block = GetParam().block;
    EXPECT_EQ(IcyMetadata::title(reinterpret_cast<const uint8_t*>(block.data()), block.size()), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, IcyMetadataTitle,
    ::testing::Values(
        TitleCase{"Plain", "StreamTitle='Artist - Song';StreamUrl='';", "Artist - Song"},
        TitleCase{"CollapsesSpaces", "StreamTitle='  Artist   -  Song ';", "Artist - Song"},
        TitleCase{"CollapsesTabsAndLineBreaks",
                  "StreamTitle='\tA\r\n\x0b B\xc2\xa0\xe3\x80\x80"
                  "C';",
                  "A B C"},
        TitleCase{"EndsAtQuoteSemicolonNotAtQuote", "StreamTitle='Rock 'n' Roll';", "Rock 'n' Roll"},
        TitleCase{"Empty", "StreamTitle='';", std::nullopt},
        TitleCase{"OnlyPunctuation", "StreamTitle=' - ';", std::nullopt},
        TitleCase{"OnlyWhitespace", "StreamTitle=' \t  ';", std::nullopt},
        TitleCase{"NoTitleEntry", "StreamUrl='http://x';", std::nullopt},
        TitleCase{"EntryIsCaseSensitive", "streamtitle='Song';", std::nullopt},
        TitleCase{"TextEndsInsideTitle", "StreamTitle='Abc", "Abc"},
        TitleCase{"TextEndsWithClosingQuote", "StreamTitle='Abc'", "Abc"},
        TitleCase{"CutAtFirstZeroByte", std::string("StreamTitle='Abc';\0StreamTitle='Later';", 40), "Abc"},
        TitleCase{"ZeroBeforeEntry", std::string("\0StreamTitle='Abc';", 19), std::nullopt},
        TitleCase{"Latin1WhenNotUTF8", "StreamTitle='Caf\xe9 del Mar \xbb Live';", "Caf\xc3\xa9 del Mar \xc2\xbb Live"},
        TitleCase{"UTF8Kept", "StreamTitle='Sigur R\xc3\xb3s';", "Sigur R\xc3\xb3s"},
        TitleCase{"OtherScriptLetters", "StreamTitle='\xd0\x9a\xd0\xb8\xd0\xbd\xd0\xbe';",
                  "\xd0\x9a\xd0\xb8\xd0\xbd\xd0\xbe"},
        TitleCase{"DigitsAlone", "StreamTitle='1999';", "1999"},
        TitleCase{"LaterEntryIgnored", "StreamUrl='x';StreamTitle='Second';", "Second"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace norvo
