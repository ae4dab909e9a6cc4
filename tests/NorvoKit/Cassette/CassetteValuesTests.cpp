#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "Cassette/ArtworkRole.hpp"
#include "Cassette/CassetteStyleCatalog.hpp"
#include "Cassette/FontRole.hpp"
#include "Cassette/LabelStyle.hpp"
#include "Cassette/NorvoGeometry.hpp"
#include "Cassette/RGBAColor.hpp"
#include "Cassette/WriteProtect.hpp"

namespace norvo {
namespace {

template <typename Enum, std::size_t N>
void expectRawValuesRoundTrip(const std::array<Enum, N>& all, std::optional<Enum> (*fromRaw)(std::string_view),
                              const std::vector<std::string>& expected) {
    ASSERT_EQ(all.size(), expected.size());
    for (std::size_t i = 0; i < N; ++i) {
        EXPECT_EQ(rawValue(all[i]), expected[i]);
        EXPECT_EQ(fromRaw(expected[i]), all[i]);
    }
    EXPECT_EQ(fromRaw(""), std::nullopt);
    EXPECT_EQ(fromRaw("Intact"), std::nullopt);  // raw values are case-sensitive
}

TEST(CassetteEnumerations, RawValuesInDeclarationOrder) {
    expectRawValuesRoundTrip(allWriteProtects, writeProtectFromRaw, {"intact", "broken", "taped_over"});
    expectRawValuesRoundTrip(allFontRoles, fontRoleFromRaw,
                             {"marker", "pen", "typewriter", "sans", "serif", "stencil"});
    expectRawValuesRoundTrip(allLabelStyles, labelStyleFromRaw, {"ruled", "stripes", "kraft", "gradient", "plain"});
    expectRawValuesRoundTrip(allArtworkRoles, artworkRoleFromRaw,
                             {"cassette_face_a", "cassette_face_b", "label_a", "label_b", "jcard_front", "jcard_spine",
                              "jcard_flap", "thumbnail"});
}

TEST(CassetteEnumerations, OnlyABrokenTabProtects) {
    EXPECT_FALSE(protectsSide(WriteProtect::intact));
    EXPECT_TRUE(protectsSide(WriteProtect::broken));
    EXPECT_FALSE(protectsSide(WriteProtect::tapedOver));
}

struct HexCase {
    const char* text;
    std::optional<RGBAColor> expected;
};

class RGBAColorFromHex : public testing::TestWithParam<HexCase> {};

TEST_P(RGBAColorFromHex, ParsesOnlyTheTwoForms) {
    const auto parsed = RGBAColor::fromHex(GetParam().text);
    ASSERT_EQ(parsed.has_value(), GetParam().expected.has_value());
    if (!parsed) return;
    EXPECT_DOUBLE_EQ(parsed->red, GetParam().expected->red);
    EXPECT_DOUBLE_EQ(parsed->green, GetParam().expected->green);
    EXPECT_DOUBLE_EQ(parsed->blue, GetParam().expected->blue);
    EXPECT_DOUBLE_EQ(parsed->alpha, GetParam().expected->alpha);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RGBAColorFromHex,
    testing::Values(HexCase{"#FF0000", RGBAColor{1, 0, 0, 1}}, HexCase{"#00ff0080", RGBAColor{0, 1, 0, 128 / 255.0}},
                    HexCase{"#2B2B2E", RGBAColor{43 / 255.0, 43 / 255.0, 46 / 255.0, 1}},
                    HexCase{"FF0000", std::nullopt}, HexCase{"#FF000", std::nullopt}, HexCase{"#FF00000", std::nullopt},
                    HexCase{"#GG0000", std::nullopt}, HexCase{"#FF0000FF00", std::nullopt}, HexCase{"", std::nullopt},
                    HexCase{"#", std::nullopt}));

TEST(RGBAColor, HexTextIsUpperCaseWithAlphaAndSurvivesParsing) {
    const RGBAColor color{0.5, 1.0 / 255.0, 1.0, 0.25};
    EXPECT_EQ(color.hexText(), "#8001FF40");
    EXPECT_EQ(RGBAColor::fromHex(color.hexText())->hexText(), color.hexText());
    // Out-of-range and non-finite components are clamped rather than wrapped.
    EXPECT_EQ((RGBAColor{-1, 2, std::nan(""), 1}).hexText(), "#00FF00FF");
}

struct ArtworkSizeCase {
    ArtworkRole role;
    const char* title;
    PixelSize recommended;
    PixelSize minimum;
};

class ArtworkRoleSizes : public testing::TestWithParam<ArtworkSizeCase> {};

TEST_P(ArtworkRoleSizes, TitleRecommendedAndMinimumPixels) {
    const auto& c = GetParam();
    EXPECT_EQ(title(c.role), c.title);
    EXPECT_EQ(recommendedPixels(c.role), c.recommended);
    EXPECT_EQ(minimumPixels(c.role), c.minimum);
    // The recommended size itself always passes its own check.
    EXPECT_EQ(check(c.role, c.recommended.width, c.recommended.height), ArtworkCheck::ok());
}

INSTANTIATE_TEST_SUITE_P(
    Roles, ArtworkRoleSizes,
    testing::Values(
        ArtworkSizeCase{ArtworkRole::cassetteFaceA, "Cassette shell, side A face", {2410, 1531}, {1205, 766}},
        ArtworkSizeCase{ArtworkRole::cassetteFaceB, "Cassette shell, side B face", {2410, 1531}, {1205, 766}},
        ArtworkSizeCase{ArtworkRole::labelA, "Label, side A", {2136, 1008}, {1068, 504}},
        ArtworkSizeCase{ArtworkRole::labelB, "Label, side B", {2136, 1008}, {1068, 504}},
        ArtworkSizeCase{ArtworkRole::jcardFront, "J-card front cover", {1524, 2438}, {762, 1219}},
        ArtworkSizeCase{ArtworkRole::jcardSpine, "J-card spine", {305, 2438}, {152, 1219}},
        ArtworkSizeCase{ArtworkRole::jcardFlap, "J-card back flap", {610, 2438}, {305, 1219}},
        ArtworkSizeCase{ArtworkRole::thumbnail, "Thumbnail", {1024, 1024}, {256, 256}}));

TEST(ArtworkRoleCheck, AspectIsCheckedBeforeSize) {
    // 1000 x 1000 for a label is the wrong shape, even though it is also too small.
    const auto result = check(ArtworkRole::labelA, 1000, 1000);
    EXPECT_EQ(result.kind, ArtworkCheck::Kind::wrongAspect);
    EXPECT_DOUBLE_EQ(result.expected, 89.0 / 42.0);
    EXPECT_DOUBLE_EQ(result.actual, 1.0);
}

TEST(ArtworkRoleCheck, ExactlyOnePercentOffIsAcceptedAndMoreIsNot) {
    EXPECT_EQ(check(ArtworkRole::thumbnail, 1010, 1000).kind, ArtworkCheck::Kind::ok);
    EXPECT_EQ(check(ArtworkRole::thumbnail, 990, 1000).kind, ArtworkCheck::Kind::ok);
    EXPECT_EQ(check(ArtworkRole::thumbnail, 1011, 1000).kind, ArtworkCheck::Kind::wrongAspect);
    EXPECT_EQ(check(ArtworkRole::thumbnail, 989, 1000).kind, ArtworkCheck::Kind::wrongAspect);
}

TEST(ArtworkRoleCheck, TooSmallNamesTheMinimum) {
    EXPECT_EQ(check(ArtworkRole::thumbnail, 255, 255), ArtworkCheck::tooSmall(256, 256));
    EXPECT_EQ(check(ArtworkRole::thumbnail, 256, 256), ArtworkCheck::ok());
    EXPECT_EQ(check(ArtworkRole::jcardSpine, 151, 1219), ArtworkCheck::tooSmall(152, 1219));
    EXPECT_EQ(check(ArtworkRole::jcardSpine, 152, 1210), ArtworkCheck::tooSmall(152, 1219));
}

TEST(ArtworkRoleCheck, ZeroHeightDoesNotDivideByZero) {
    const auto result = check(ArtworkRole::thumbnail, 0, 0);
    EXPECT_EQ(result.kind, ArtworkCheck::Kind::wrongAspect);
    EXPECT_DOUBLE_EQ(result.actual, 0.0);
}

TEST(CassetteStyleCatalog, EightStylesInOrderWithTheirLooks) {
    const auto& all = CassetteStyleCatalog::all();
    std::vector<std::string> ids;
    for (const auto& style : all) {
        ids.push_back(style.id);
        EXPECT_EQ(style.design.styleID, style.id);
        EXPECT_EQ(style.name.size(), style.id.size());
        EXPECT_EQ(style.name[0], std::toupper(style.id[0]));
        EXPECT_EQ(style.name.substr(1), style.id.substr(1));
    }
    EXPECT_EQ(ids,
              (std::vector<std::string>{"ferro", "smoke", "crystal", "chrome", "kraft", "sunset", "mint", "redline"}));
    EXPECT_EQ(&CassetteStyleCatalog::defaultStyle(), &all.front());

    const auto smoke = *CassetteStyleCatalog::style("smoke");
    EXPECT_EQ(smoke.design.shellColor.hexText(), "#3A3A40B3");
    EXPECT_TRUE(smoke.design.shellTransparent);
    EXPECT_EQ(smoke.design.labelStyle, LabelStyle::plain);
    EXPECT_EQ(smoke.design.labelColor.hexText(), "#E8E8E8FF");
    EXPECT_EQ(smoke.design.inkColor.hexText(), "#202020FF");
    EXPECT_EQ(smoke.design.accentColor.hexText(), "#5A7FA8FF");
    EXPECT_EQ(smoke.design.labelFont, FontRole::pen);

    std::set<std::string> shells;
    for (const auto& style : all) shells.insert(style.design.shellColor.hexText());
    EXPECT_EQ(shells.size(), all.size());  // every style has its own shell
    EXPECT_EQ(CassetteStyleCatalog::style("plaid"), std::nullopt);
}

TEST(NorvoGeometry, PartsFitTheShellAndTheHubsSitSymmetrically) {
    using G = NorvoGeometry;
    EXPECT_DOUBLE_EQ((G::Mechanism::leftHub.x + G::Mechanism::rightHub.x) / 2, G::Shell::width / 2);
    EXPECT_DOUBLE_EQ(G::Shell::window.x + G::Shell::window.width / 2, G::Shell::width / 2);
    EXPECT_LE(G::Label::origin.x + G::Label::width, G::Shell::width);
    EXPECT_LE(G::Label::origin.y + G::Label::height, G::Shell::height);
    for (const auto& box : {G::Label::titleBox, G::Label::subtitleBox, G::Label::sideLetterBox, G::Label::typeBadge,
                            G::Label::bottomBand}) {
        EXPECT_LE(box.x + box.width, G::Label::width + 1e-9);
        EXPECT_LE(box.y + box.height, G::Label::height + 1e-9);
    }
    for (const auto& screw : G::Shell::screws) {
        EXPECT_GT(screw.x, 0);
        EXPECT_LT(screw.x, G::Shell::width);
        EXPECT_LT(screw.y, G::Shell::height);
    }
}

}  // namespace
}  // namespace norvo
