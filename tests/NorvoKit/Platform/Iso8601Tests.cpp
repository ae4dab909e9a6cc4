#include "Platform/Iso8601.hpp"

#include <gtest/gtest.h>

namespace norvo {
namespace {

using std::chrono::seconds;

Date at(int64_t epochSeconds) { return Date{} + seconds(epochSeconds); }

TEST(Iso8601, FormatsUtcWithWholeSeconds) {
    EXPECT_EQ(formatISO8601(at(0)), "1970-01-01T00:00:00Z");
    EXPECT_EQ(formatISO8601(at(1796630083)), "2026-12-07T07:54:43Z");
    EXPECT_EQ(formatISO8601(at(951782400)), "2000-02-29T00:00:00Z");
    EXPECT_EQ(formatISO8601(at(1796630083) + std::chrono::milliseconds(999)), "2026-12-07T07:54:43Z");
}

TEST(Iso8601, ParsesWhatItFormats) {
    for (int64_t t : {int64_t{0}, int64_t{951782400}, int64_t{1796630083}, int64_t{4102444799}, int64_t{-86400}})
        EXPECT_EQ(parseISO8601(formatISO8601(at(t))), at(t)) << t;
    const Date now = std::chrono::system_clock::now();
    EXPECT_EQ(parseISO8601(formatISO8601(now)), wholeSeconds(now));
}

TEST(Iso8601, AppliesOffsetsAndFractions) {
    const Date expected = at(1796630083);
    EXPECT_EQ(parseISO8601("2026-12-07T09:54:43+02:00"), expected);
    EXPECT_EQ(parseISO8601("2026-12-07T02:24:43-0530"), expected);
    EXPECT_EQ(parseISO8601("2026-12-07T07:54:43+00:00"), expected);
    EXPECT_EQ(parseISO8601("2026-12-07t07:54:43z"), expected);
    EXPECT_EQ(parseISO8601("2026-12-07T07:54:43.250Z"), expected + std::chrono::milliseconds(250));
}

TEST(Iso8601, RefusesWhatIsNotADate) {
    for (const char* text :
         {"", "2026-12-07", "2026-12-07T07:54:43", "2026-13-07T07:54:43Z", "2026-12-07T24:00:00Z",
          "2026-12-07T07:54:43.Z", "2026-12-07T07:54:43Zjunk", "2026-12-07T07:54:43+2", "26-12-07T07:54:43Z",
          "2026-12-00T07:54:43Z", "2026-02-30T07:54:43Z", "2025-02-29T07:54:43Z", "2026-04-31T07:54:43Z"})
        EXPECT_EQ(parseISO8601(text), std::nullopt) << text;
    EXPECT_TRUE(parseISO8601("2024-02-29T07:54:43Z"));
}

}  // namespace
}  // namespace norvo
