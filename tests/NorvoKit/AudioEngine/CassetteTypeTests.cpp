#include "AudioEngine/CassetteType.hpp"

#include <gtest/gtest.h>
#include <ostream>

namespace norvo {
namespace {

struct DescriptionCase {
    CassetteType type;
    const char* description;
    int minutesPerSide;
};

std::ostream& operator<<(std::ostream& out, const DescriptionCase& c) { return out << c.type.identifier(); }

class CassetteTypeDescription : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(CassetteTypeDescription, RoundsHalvesAwayFromZero) {
    EXPECT_EQ(GetParam().type.description(), GetParam().description);
    EXPECT_EQ(GetParam().type.minutesPerSide(), GetParam().minutesPerSide);
}

INSTANTIATE_TEST_SUITE_P(
    CassetteType, CassetteTypeDescription,
    ::testing::Values(DescriptionCase{{"C46", 1380}, "C46", 23}, DescriptionCase{{"C60", 1800}, "C60", 30},
                      DescriptionCase{{"C90", 2700}, "C90", 45}, DescriptionCase{{"C120", 3600}, "C120", 60},
                      DescriptionCase{{"custom", 2700}, "C90", 45}, DescriptionCase{{"custom", 15}, "C1", 0},
                      DescriptionCase{{"custom", 14}, "C0", 0}, DescriptionCase{{"custom", 29}, "C1", 0},
                      DescriptionCase{{"custom", 30}, "C1", 1}, DescriptionCase{{"custom", 89}, "C3", 1},
                      DescriptionCase{{"custom", 90}, "C3", 2}, DescriptionCase{{"custom", 5400}, "C180", 90}));

TEST(CassetteType, StandardTypesInOrder) {
    const auto& standard = CassetteType::standard();
    ASSERT_EQ(standard.size(), 4u);
    EXPECT_EQ(standard[0], (CassetteType{"C46", 1380}));
    EXPECT_EQ(standard[1], (CassetteType{"C60", 1800}));
    EXPECT_EQ(standard[2], (CassetteType{"C90", 2700}));
    EXPECT_EQ(standard[3], (CassetteType{"C120", 3600}));
    EXPECT_EQ(CassetteType::c60(), standard[1]);
    EXPECT_EQ(CassetteType::c60().sideFrames(), 1800 * 44100);
}

TEST(CassetteType, MakeRefusesAStandardNameWithAnotherLength) {
    EXPECT_EQ(CassetteType::make("C60", 1800), CassetteType::c60());
    EXPECT_EQ(CassetteType::make("C60", 2700), std::nullopt);
    EXPECT_EQ(CassetteType::make("C46", 1800), std::nullopt);
    EXPECT_EQ(CassetteType::make("c60", 1800), std::nullopt) << "names are exact";
    EXPECT_EQ(CassetteType::make("C61", 1800), std::nullopt);
    EXPECT_EQ(CassetteType::make("custom", 1), (CassetteType{"custom", 1}));
    EXPECT_EQ(CassetteType::make("custom", 5400), (CassetteType{"custom", 5400}));
    EXPECT_EQ(CassetteType::make("custom", 1800), (CassetteType{"custom", 1800}));
    EXPECT_EQ(CassetteType::make("custom", 0), std::nullopt);
    EXPECT_EQ(CassetteType::make("custom", 5401), std::nullopt);
    EXPECT_EQ(CassetteType::make("custom", -60), std::nullopt);
}

TEST(CassetteType, CustomClampsAndEqualityComparesBothFields) {
    EXPECT_EQ(CassetteType::custom(0).sideSeconds, 1);
    EXPECT_EQ(CassetteType::custom(9000).sideSeconds, 5400);
    EXPECT_TRUE(CassetteType::custom(1800).isCustom());
    EXPECT_NE(CassetteType::custom(1800), CassetteType::c60()) << "same length, other name";
    EXPECT_EQ(CassetteType::c60().identifier(), "C60-1800");
    EXPECT_EQ(CassetteType::custom(1800).identifier(), "custom-1800");
}

}  // namespace
}  // namespace norvo
