#include "Platform/ShownName.hpp"

#include <gtest/gtest.h>

namespace norvo {
namespace {

struct NameCase {
    const char* label;
    std::string bytes;
    std::string inSentence;
    std::string drawable;
};

class ShownNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(ShownNameTest, NamesCannotBreakOrReorderWhatIsShownAroundThem) {
    EXPECT_EQ(ShownName::inSentence(GetParam().bytes), GetParam().inSentence);
    EXPECT_EQ(ShownName::drawable(GetParam().bytes), GetParam().drawable);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ShownNameTest,
    testing::Values(NameCase{"Plain", "Caf\u00e9 \u2013 \u05e9\u05dc\u05d5\u05dd \U0001F3B5",
                             "Caf\u00e9 \u2013 \u05e9\u05dc\u05d5\u05dd \U0001F3B5",
                             "Caf\u00e9 \u2013 \u05e9\u05dc\u05d5\u05dd \U0001F3B5"},
                    NameCase{"Latin1", "caf\xe9.mp3", "caf\\xE9.mp3", "caf\uFFFD.mp3"},
                    NameCase{"LineBreaks", "a\nb\tc\rd\x7f", "a\\x0Ab\\x09c\\x0Dd\\x7F",
                             "a\uFFFDb\uFFFDc\uFFFDd\uFFFD"},
                    NameCase{"C1", "x\u0085\u009fy", "x\\u0085\\u009Fy", "x\uFFFD\uFFFDy"},
                    NameCase{"BidiOverride", "evil\u202egnp.mp3", "evil\\u202Egnp.mp3", "evil\uFFFDgnp.mp3"},
                    NameCase{"BidiIsolatesAndMarks", "\u2066\u2069\u200e\u200f\u061c\u202a",
                             "\\u2066\\u2069\\u200E\\u200F\\u061C\\u202A", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
                    NameCase{"Separators", "one\u2028two\u2029", "one\\u2028two\\u2029", "one\uFFFDtwo\uFFFD"},
                    NameCase{"TruncatedSequence", "ab\xe2\x80", "ab\\xE2\\x80", "ab\uFFFD\uFFFD"},
                    NameCase{"Overlong", "\xc0\xaf", "\\xC0\\xAF", "\uFFFD\uFFFD"}, NameCase{"Empty", "", "", ""}),
    [](const testing::TestParamInfo<NameCase>& info) { return std::string(info.param.label); });

TEST(ShownNameInSentence, IsCutAtTheLimitWithAnEllipsis) {
    EXPECT_EQ(ShownName::inSentence("abcdef", 6), "abcdef") << "a name that just fits is whole";
    EXPECT_EQ(ShownName::inSentence("abcdefg", 6), "abcde\u2026");
    EXPECT_EQ(ShownName::inSentence("\u00e9\u00e9\u00e9\u00e9", 3), "\u00e9\u00e9\u2026") << "counted in characters";
    EXPECT_EQ(ShownName::inSentence("ab\n", 6), "ab\\x0A") << "an escape counts its own characters";
    EXPECT_EQ(ShownName::inSentence("ab\ncd", 6), "ab\u2026") << "and is never split";
    EXPECT_EQ(ShownName::inSentence(std::string(300, 'x')).size(), 199u + 3u) << "200 characters by default";
}

}  // namespace
}  // namespace norvo
