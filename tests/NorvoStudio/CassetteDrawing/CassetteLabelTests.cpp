#include <gtest/gtest.h>

#include <QImage>

#include "Cassette/CassetteStyleCatalog.hpp"
#include "CassetteDrawing/CassetteLabel.hpp"
#include "CassetteDrawing/CassetteRenderer.hpp"
#include "CassetteDrawing/KraftFlecks.hpp"

namespace norvo {
namespace {

// Pictures are 1004 x 638: 10 pixels per millimetre. Points are given in label space
// (millimetres from the label's top-left corner, which sits at (5.7, 3.5) on the shell).
QColor atLabel(const QImage& image, double x, double y) {
    return image.pixelColor(static_cast<int>((5.7 + x) * 10), static_cast<int>((3.5 + y) * 10));
}

QColor rgb(const char* hex) {
    const RGBAColor c = RGBAColor::fromHex(hex).value();
    return QColor::fromRgbF(float(c.red), float(c.green), float(c.blue));
}

QColor mix(QColor under, QColor over, double a) {
    return QColor::fromRgbF(float(under.redF() * (1 - a) + over.redF() * a),
                            float(under.greenF() * (1 - a) + over.greenF() * a),
                            float(under.blueF() * (1 - a) + over.blueF() * a));
}

bool near(const QColor& a, const QColor& b, int tolerance = 3) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

const QColor paper = rgb("#F3EEDF");
const QColor ink = rgb("#1E2A5A");
const QColor accent = rgb("#C8372D");

CassetteDocument labelled(LabelStyle style, std::string name = "Label Test", std::string sideTitle = "Side title") {
    CassetteDesign design = CassetteStyleCatalog::defaultStyle().design;  // the paper, ink and accent above
    design.labelStyle = style;
    CassetteDocument document(CassetteType::c60(), std::move(name), design);
    document.sideA.title = std::move(sideTitle);
    return document;
}

QImage render(const CassetteDocument& document, TapeSide side = TapeSide::a) {
    return renderCassetteImage(1004, document, side, 0, {});
}

struct ColourCase {
    const char* what;
    LabelStyle style;
    double x, y;
    QColor expected;
};

void PrintTo(const ColourCase& c, std::ostream* os) { *os << c.what; }

class LabelStyleColours : public testing::TestWithParam<ColourCase> {};

TEST_P(LabelStyleColours, DecorationHasItsColourAtKnownPoints) {
    const ColourCase& c = GetParam();
    const QColor actual = atLabel(render(labelled(c.style)), c.x, c.y);
    EXPECT_TRUE(near(actual, c.expected))
        << c.what << ": got " << actual.name().toStdString() << ", expected " << c.expected.name().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Styles, LabelStyleColours,
    testing::Values(ColourCase{"ruled top band", LabelStyle::ruled, 44.5, 1.0, accent},
                    ColourCase{"ruled paper", LabelStyle::ruled, 20, 38, paper},
                    ColourCase{"stripe 1", LabelStyle::stripes, 30, 33.8, accent},
                    ColourCase{"gap under stripe 1", LabelStyle::stripes, 30, 34.9, paper},
                    ColourCase{"stripe 2", LabelStyle::stripes, 30, 36.0, mix(paper, accent, 0.75)},
                    ColourCase{"stripe 3", LabelStyle::stripes, 30, 38.2, mix(paper, ink, 0.85)},
                    ColourCase{"stripe 4", LabelStyle::stripes, 30, 40.4, mix(paper, accent, 0.5)},
                    ColourCase{"stripes leave the top plain", LabelStyle::stripes, 44.5, 1.0, paper},
                    ColourCase{"gradient middle", LabelStyle::gradient, 44.5, 38, QColor::fromRgbF(1, 0.35f, 0.55f)},
                    ColourCase{"gradient first quarter", LabelStyle::gradient, 22.25, 38,
                               mix(accent, QColor::fromRgbF(1, 0.35f, 0.55f), 0.5)},
                    ColourCase{"gradient band only", LabelStyle::gradient, 5, 31, paper},
                    ColourCase{"plain top", LabelStyle::plain, 44.5, 1.0, paper},
                    ColourCase{"plain band", LabelStyle::plain, 30, 38.2, paper}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(CassetteLabelRuled, LinesAreDrawnAcrossTheTitleBoxOnly) {
    const QImage image = render(labelled(LabelStyle::ruled, ""));
    // 0.7 px lines at 10.5, 15.5 and 31.5 mm darken the paper between x = 11 and 86.5 mm.
    for (double y : {10.5, 15.5, 31.5}) {
        const int row = static_cast<int>((3.5 + y) * 10);
        const auto darkness = [&](double x) {
            const int column = static_cast<int>((5.7 + x) * 10);
            return 2 * paper.lightness() - image.pixelColor(column, row - 1).lightness() -
                   image.pixelColor(column, row).lightness();
        };
        EXPECT_GT(darkness(20), 8) << y;
        EXPECT_LE(darkness(10), 2) << y;
        EXPECT_LE(darkness(87.5), 2) << y;
    }
}

// Counts the pixels of a label-space box near a colour.
int pixelsNear(const QImage& image, QRectF box, const QColor& colour, int tolerance) {
    int count = 0;
    for (int j = 0; j < std::lround(box.height() * 10); ++j)
        for (int i = 0; i < std::lround(box.width() * 10); ++i)
            if (near(atLabel(image, box.left() + i * 0.1, box.top() + j * 0.1), colour, tolerance)) ++count;
    return count;
}

int pixels(QRectF box) { return static_cast<int>(std::lround(box.height() * 10) * std::lround(box.width() * 10)); }

TEST(CassetteLabelTexts, EmptyNameAndSideTitleDrawNothingButTheLetterAndBadge) {
    const QImage bare = render(labelled(LabelStyle::plain, "", ""));
    const QImage full = render(labelled(LabelStyle::plain));
    const QRectF title(11, 4, 60, 6.3), subtitle(11, 10.7, 60, 4.1), letter(3, 3.5, 5.5, 7), badge(70, 35, 16.5, 5);
    EXPECT_EQ(pixelsNear(bare, title, paper, 2), pixels(title));
    EXPECT_EQ(pixelsNear(bare, subtitle, paper, 2), pixels(subtitle));
    EXPECT_LT(pixelsNear(full, title, paper, 2), pixels(title) - 500);
    EXPECT_LT(pixelsNear(full, subtitle, paper, 2), pixels(subtitle) - 300);
    EXPECT_GT(pixelsNear(bare, letter, ink, 40), 100);
    EXPECT_GT(pixelsNear(bare, badge, ink, 40), 100);
}

// The lowest row (in label millimetres) of a label-space box holding ink.
double inkBottom(const QImage& image, QRectF box) {
    for (int j = int(std::lround(box.height() * 10)) - 1; j >= 0; --j)
        for (int i = 0; i < std::lround(box.width() * 10); ++i)
            if (near(atLabel(image, box.left() + i * 0.1, box.top() + j * 0.1), ink, 60)) return box.top() + j * 0.1;
    return -1;
}

TEST(CassetteLabelTexts, EveryHandwritingSitsOnTheSameBaselines) {
    // Capitals without descenders end on the baseline, whatever the font's own metrics say.
    const QRectF title(11, 3.5, 60, 7), subtitle(11, 10.6, 60, 4.3);  // above the hub openings
    double titleBottom[allFontRoles.size()], subtitleBottom[allFontRoles.size()];
    for (size_t i = 0; i < allFontRoles.size(); ++i) {
        CassetteDocument document = labelled(LabelStyle::plain, "HIMEN", "HIMEN");
        document.design.labelFont = allFontRoles[i];
        const QImage image = render(document);
        titleBottom[i] = inkBottom(image, title);
        subtitleBottom[i] = inkBottom(image, subtitle);
    }
    for (size_t i = 0; i < allFontRoles.size(); ++i) {
        // A line box ends 0.24 em under its baseline, 0.6 mm (title) or 0.3 mm (subtitle) above its box's bottom.
        EXPECT_NEAR(titleBottom[i], 3.5 + 7 - 0.6 - 0.24 * 5.4, 0.25) << rawValue(allFontRoles[i]);
        EXPECT_NEAR(subtitleBottom[i], 10.5 + 4.5 - 0.3 - 0.24 * 3.6, 0.25) << rawValue(allFontRoles[i]);
    }
}

TEST(CassetteLabelTexts, TitleIsMarkupFreePlainText) {
    // Rich text would hide the tags and draw fewer pixels than the plain characters do.
    const QImage tagged = render(labelled(LabelStyle::plain, "<b>x</b>", ""));
    const QImage plain = render(labelled(LabelStyle::plain, "x", ""));
    const QRectF title(11, 4, 60, 6.3);
    EXPECT_LT(pixelsNear(tagged, title, paper, 2), pixelsNear(plain, title, paper, 2) - 200);
}

TEST(CassetteLabelBadge, IsLetteredInPaperOnTheBandStylesAndInInkOtherwise) {
    const QRectF badge(70, 35.5, 16.5, 4);
    const QImage gradient = render(labelled(LabelStyle::gradient));
    EXPECT_GT(pixelsNear(gradient, badge, paper, 20), 100);
    EXPECT_EQ(pixelsNear(gradient, badge, ink, 40), 0);
    const QImage stripes = render(labelled(LabelStyle::stripes));
    // Paper-coloured letters over the ink stripe.
    EXPECT_GT(pixelsNear(stripes, QRectF(70, 37.5, 16.5, 1.4), paper, 30), 20);
    for (LabelStyle style : {LabelStyle::ruled, LabelStyle::kraft, LabelStyle::plain}) {
        const QImage image = render(labelled(style));
        EXPECT_GT(pixelsNear(image, badge, ink, 40), 100) << rawValue(style);
    }
}

struct BadgeCase {
    CassetteType type;
    const char* text;
};

class BadgeTexts : public testing::TestWithParam<BadgeCase> {};

TEST_P(BadgeTexts, NameTheTypeOrTheMinutesOfBothSides) {
    EXPECT_EQ(CassetteLabel::badgeText(GetParam().type).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Types, BadgeTexts,
    testing::Values(BadgeCase{CassetteType::custom(15), "C1"}, BadgeCase{CassetteType::custom(14), "C0"},
                    BadgeCase{CassetteType::custom(2250), "C75"}, BadgeCase{CassetteType::custom(2700), "C90"},
                    BadgeCase{{"C90", 2700}, "C90"}, BadgeCase{{"C46", 1380}, "C46"}));

TEST(KraftFlecksTest, FirstSecondAndLastFleckSitAtTheirPositions) {
    // The label at 10 px per mm: (57, 35) to (947, 455).
    const std::vector<QRectF> flecks = KraftFlecks::layout(QRectF(57, 35, 890, 420));
    ASSERT_EQ(flecks.size(), 500u);
    struct Expected {
        size_t index;
        double x, y, width;
    };
    for (const Expected& e : {Expected{0, 827.1756011406711, 344.0867755097443, 2.228788595969049},
                              Expected{1, 269.3920438393766, 362.81913346298273, 1.3119529213214594},
                              Expected{499, 394.43763882456335, 285.2282703921109, 2.210629858712376}}) {
        EXPECT_DOUBLE_EQ(flecks[e.index].x(), e.x) << e.index + 1;
        EXPECT_DOUBLE_EQ(flecks[e.index].y(), e.y) << e.index + 1;
        EXPECT_DOUBLE_EQ(flecks[e.index].width(), e.width) << e.index + 1;
        EXPECT_DOUBLE_EQ(flecks[e.index].height(), 0.6) << e.index + 1;
    }
}

TEST(KraftFlecksTest, SpreadFollowsTheLabelButSizesStayInPixels) {
    const auto small = KraftFlecks::layout(QRectF(28.5, 17.5, 445, 210));
    const auto large = KraftFlecks::layout(QRectF(57, 35, 890, 420));
    for (size_t i = 0; i < small.size(); ++i) {
        EXPECT_NEAR((small[i].x() - 28.5) * 2, large[i].x() - 57, 1e-9);
        EXPECT_NEAR((small[i].y() - 17.5) * 2, large[i].y() - 35, 1e-9);
        EXPECT_EQ(small[i].size(), large[i].size());
        EXPECT_GE(large[i].width(), 0.6);
        EXPECT_LE(large[i].width(), 2.4);
    }
}

TEST(KraftFlecksTest, FlecksDarkenTheKraftPaperWhereTheyFall) {
    const QImage kraft = render(labelled(LabelStyle::kraft, "", ""));
    const QImage plain = render(labelled(LabelStyle::plain, "", ""));
    // Fleck 1 covers 0.6 of pixel (828, 344); fleck 2 0.29 of pixel (270, 363).
    EXPECT_GE(plain.pixelColor(828, 344).lightness() - kraft.pixelColor(828, 344).lightness(), 8);
    EXPECT_GE(plain.pixelColor(270, 363).lightness() - kraft.pixelColor(270, 363).lightness(), 3);
    // Where none falls the paper is untouched: count the darkened pixels against 500 flecks.
    int darkened = 0;
    for (int y = 35; y < 455; ++y)
        for (int x = 57; x < 947; ++x)
            if (kraft.pixel(x, y) != plain.pixel(x, y)) ++darkened;
    EXPECT_GT(darkened, 400);
    EXPECT_LT(darkened, 500 * 8);
    // The caller's clip keeps them off the window and the hub openings.
    int inWindow = 0;
    for (int y = 212; y < 338; ++y)
        for (int x = 299; x < 705; ++x)
            if (kraft.pixel(x, y) != plain.pixel(x, y)) ++inWindow;
    EXPECT_EQ(inWindow, 0);
}

}  // namespace
}  // namespace norvo
