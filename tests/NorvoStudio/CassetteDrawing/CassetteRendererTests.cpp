#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <numbers>

#include "AudioEngine/ReelGeometry.hpp"
#include "AudioEngine/TapeClock.hpp"
#include "Cassette/CassetteStyleCatalog.hpp"
#include "CassetteDrawing/CassetteRenderer.hpp"
#include "CassetteDrawing/CassetteView.hpp"
#include "CassetteDrawing/JCardRenderer.hpp"

namespace norvo {
namespace {

// Every picture here is 1004 x 638 pixels: 10 pixels per millimetre.
constexpr double pxPerMM = 10;

CassetteDocument cassette(CassetteType type = CassetteType::c60(),
                          CassetteDesign design = CassetteStyleCatalog::defaultStyle().design) {
    CassetteDocument document(type, "Test Tape", design);
    document.sideA.title = "Side one";
    document.sideB.title = "Side two";
    return document;
}

QImage render(const CassetteDocument& document, int64_t head = 0, TapeSide side = TapeSide::a,
              const std::map<ArtworkRole, QImage>& images = {}) {
    return renderCassetteImage(1004, document, side, head, images);
}

QColor at(const QImage& image, double xMM, double yMM) {
    return image.pixelColor(static_cast<int>(xMM * pxPerMM), static_cast<int>(yMM * pxPerMM));
}

QImage solid(QColor color, QSize size = {40, 40}) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

bool near(const QColor& a, const QColor& b, int tolerance = 3) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

// Through the window, along the hubs' axis: the packs are opaque, the glass alone is not.
double leftPackEdgeMM(const QImage& image) {
    const int row = static_cast<int>(27.5 * pxPerMM);
    for (int x = 360; x < 702; ++x)
        if (image.pixelColor(x, row).alpha() < 200) return x / pxPerMM;
    return 70.2;
}

double rightPackEdgeMM(const QImage& image) {
    const int row = static_cast<int>(27.5 * pxPerMM);
    for (int x = 640; x > 302; --x)
        if (image.pixelColor(x, row).alpha() < 200) return (x + 1) / pxPerMM;
    return 30.2;
}

struct PackCase {
    const char* name;
    CassetteType type;
    double headSeconds;
    double supplyMM;
    double takeUpMM;
};

void PrintTo(const PackCase& c, std::ostream* os) { *os << c.name; }

class PackRadii : public testing::TestWithParam<PackCase> {};

TEST_P(PackRadii, PacksShowTheirRadiiThroughTheWindow) {
    const PackCase& c = GetParam();
    const QImage image = render(cassette(c.type), TapeClock::frames(c.headSeconds));
    EXPECT_NEAR(leftPackEdgeMM(image), 29 + c.supplyMM, 0.15) << c.name;
    EXPECT_NEAR(rightPackEdgeMM(image), 71.4 - c.takeUpMM, 0.15) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Heads, PackRadii,
    testing::Values(PackCase{"C60 start", CassetteType::c60(), 0, 24.7368, 11},
                    PackCase{"C90 start", {"C90", 2700}, 0, 24.7368, 11},
                    PackCase{"C120 start", {"C120", 3600}, 0, 24.7368, 11},
                    PackCase{"C46 start", {"C46", 1380}, 0, 22.3017, 11},
                    PackCase{"C60 end", CassetteType::c60(), 1800, 11, 24.7368},
                    PackCase{"C120 end", {"C120", 3600}, 3600, 11, 24.7368},
                    PackCase{"C46 end", {"C46", 1380}, 1380, 11, 22.3017},
                    // Outside the side: the geometry is drawn as it falls, never clamped to a full pack.
                    PackCase{"C60 ten minutes before the start", CassetteType::c60(), -600, 27.8486, 11}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// A hub's disc 5.1 mm from its centre, at an angle clockwise from twelve o'clock.
QColor onHub(const QImage& image, double cx, double angleTurns) {
    const double a = angleTurns * 2 * std::numbers::pi;
    return at(image, cx + 5.1 * std::sin(a), 27.5 - 5.1 * std::cos(a));
}

// The index mark darkens the disc where it stands; a hub at a quarter turn away is the
// reference, so glass over part of the hub counts the same on both sides.
bool markAt(const QImage& image, const QImage& reference, double cx, double turns) {
    return onHub(reference, cx, turns).lightness() - onHub(image, cx, turns).lightness() > 20;
}

TEST(CassetteRendererHubs, IndexMarksStandAtTwelveOClockAtTheStart) {
    const QImage image = render(cassette());
    for (double cx : {29.0, 71.4}) {
        EXPECT_GT(onHub(image, cx, 0.5).lightness() - onHub(image, cx, 0).lightness(), 20) << cx;
        EXPECT_GT(onHub(image, cx, 0.75).lightness() - onHub(image, cx, 0).lightness(), 20) << cx;
    }
}

TEST(CassetteRendererHubs, HubsTurnClockwiseByTheTurnsOfTheirReels) {
    for (const CassetteType& type : {CassetteType::c60(), CassetteType{"C120", 3600}}) {
        const ReelGeometry geometry{type};
        const QImage start = render(cassette(type), 0);
        for (int64_t head : {TapeClock::frames(95.0), type.sideFrames() / 3, type.sideFrames()}) {
            const QImage image = render(cassette(type), head);
            const double left = geometry.supplyTurns(head);
            const double right = geometry.turns(head);
            const auto nearTwelve = [](double turns) {
                const double f = turns - std::floor(turns);
                return f < 0.05 || f > 0.95;
            };
            if (!nearTwelve(left)) {
                EXPECT_TRUE(markAt(image, start, 29, left)) << type.name << " " << head << " " << left;
            }
            if (!nearTwelve(right)) {
                EXPECT_TRUE(markAt(image, start, 71.4, right)) << type.name << " " << head << " " << right;
            }
            // Anticlockwise would put it on the mirrored side.
            if (!nearTwelve(2 * left)) {
                EXPECT_FALSE(markAt(image, start, 29, -left)) << type.name << " " << head;
            }
        }
    }
}

TEST(CassetteRendererWindow, GlassIsSeeThroughAndTheShellAroundItIsNot) {
    const QImage image = render(cassette());
    // Between the packs at the start of the side there is nothing but glass.
    const QColor glass = at(image, 57, 24);
    EXPECT_GT(glass.alpha(), 20);
    EXPECT_LT(glass.alpha(), 128);
    // The shell between the window and the ramp is opaque plastic.
    EXPECT_EQ(at(image, 50, 47.5).alpha(), 255);
    // Outside the shell's rounded corner the canvas stays clear.
    EXPECT_EQ(image.size(), QSize(1004, 638));
    EXPECT_EQ(at(image, 0.05, 0.05).alpha(), 0);
    // The scale ticks are lighter than the glass beside them.
    const QColor tick = image.pixelColor(582, 320);
    const QColor beside = image.pixelColor(586, 320);
    EXPECT_GT(tick.alpha(), beside.alpha());
}

TEST(CassetteRendererShell, FaceImageReplacesThePlasticButNotTheLabelOrWindow) {
    const CassetteDocument document = cassette();
    const QColor face(200, 30, 40);
    const std::map<ArtworkRole, QImage> images{{ArtworkRole::cassetteFaceA, solid(face, {300, 100})}};
    const QImage plain = render(document);
    const QImage faced = render(document, 0, TapeSide::a, images);
    const QImage otherSide = render(document, 0, TapeSide::b, images);
    struct Spot {
        const char* what;
        double x, y;
    };
    for (const Spot& spot : {Spot{"corner screw", 3, 3}, Spot{"ramp screw", 50.2, 52.6}, Spot{"ramp", 35, 55},
                             Spot{"ramp hole", 30.1, 57.4}, Spot{"head opening", 50.2, 58}, Spot{"edge", 1.5, 30}}) {
        EXPECT_TRUE(near(at(faced, spot.x, spot.y), face)) << spot.what;
        EXPECT_FALSE(near(at(plain, spot.x, spot.y), face)) << spot.what;
        EXPECT_EQ(at(otherSide, spot.x, spot.y), at(plain, spot.x, spot.y)) << spot.what;
    }
    // The drawn label and the glass are still there.
    EXPECT_EQ(at(faced, 30, 25 + 12), at(plain, 30, 25 + 12));
    EXPECT_EQ(at(faced, 57, 24), at(plain, 57, 24));
}

TEST(CassetteRendererLabel, LabelImageIsStretchedToTheLabelAndStopsShortOfTheOpenings) {
    QImage halves(200, 200, QImage::Format_ARGB32);
    const QColor red(220, 20, 20), blue(20, 20, 220);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) halves.setPixelColor(x, y, x < 100 ? red : blue);
    const CassetteDocument document = cassette();
    const QImage image = render(document, 0, TapeSide::b, {{ArtworkRole::labelB, halves}});
    // A square image fills the 89 x 42 mm label: its halves meet at the label's middle.
    EXPECT_TRUE(near(at(image, 7, 5), red));
    EXPECT_TRUE(near(at(image, 49.5, 40), red));
    EXPECT_TRUE(near(at(image, 50.9, 40), blue));
    EXPECT_TRUE(near(at(image, 93.5, 44.5), blue));
    // 0.5 mm around the window shows the shell, and beyond that the label.
    EXPECT_TRUE(near(at(image, 40, 20.8), red));
    const QColor margin = at(image, 40, 21.25);
    EXPECT_FALSE(near(margin, red, 40));
    EXPECT_FALSE(near(margin, blue, 40));
    // Side A has no label image: its label is drawn.
    EXPECT_FALSE(near(at(render(document, 0, TapeSide::a, {{ArtworkRole::labelB, halves}}), 7, 20), red, 40));
}

TEST(CassetteRendererShell, TranslucentShellShowsTapeAndPacksBehindIt) {
    CassetteDesign design = CassetteStyleCatalog::defaultStyle().design;
    design.shellColor.alpha = 0.3;
    const QImage translucent = render(cassette(CassetteType::c60(), design));
    const QImage opaque = render(cassette());
    // Tape path along the guides, left of the ramp; and the full supply pack below the label.
    EXPECT_EQ(at(translucent, 12, 57.4).alpha(), 255);
    EXPECT_EQ(at(translucent, 29, 47.5).alpha(), 255);
    EXPECT_LT(at(translucent, 12, 54).alpha(), 255);
    EXPECT_NE(at(translucent, 12, 57.4), at(translucent, 12, 61));
    EXPECT_EQ(at(opaque, 12, 57.4), at(opaque, 12, 57.8));
}

TEST(CassetteRendererShell, TransparentShellHasBrighterSheenAndLighterRamp) {
    CassetteDesign design = CassetteStyleCatalog::defaultStyle().design;
    const QImage opaque = render(cassette(CassetteType::c60(), design));
    design.shellTransparent = true;
    const QImage transparent = render(cassette(CassetteType::c60(), design));
    EXPECT_GT(at(transparent, 50, 1.5).lightness(), at(opaque, 50, 1.5).lightness());
    EXPECT_GT(at(transparent, 35, 55).lightness(), at(opaque, 35, 55).lightness());
}

TEST(CassetteRendererSides, SideBDrawsTheSameCassetteOutsideTheLabel) {
    const CassetteDocument document = cassette();
    const QImage a = render(document, TapeClock::frames(300.0), TapeSide::a);
    const QImage b = render(document, TapeClock::frames(300.0), TapeSide::b);
    int differences = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const bool onLabel = x >= 56 && x <= 948 && y >= 34 && y <= 456;
            if (!onLabel && a.pixel(x, y) != b.pixel(x, y)) ++differences;
        }
    EXPECT_EQ(differences, 0);
    EXPECT_NE(a, b);  // the side letter and side title differ
}

TEST(CassetteRendererPurity, SameInputsGiveSamePixelsAndLeaveThePainterAsItWas) {
    const CassetteDocument document = cassette();
    EXPECT_EQ(render(document, 12345), render(document, 12345));
    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.translate(10, 20);
    const QTransform before = painter.transform();
    renderCassette(painter, QSizeF(100.4, 63.8), document, TapeSide::a, 0, {});
    EXPECT_EQ(painter.transform(), before);
    EXPECT_FALSE(painter.hasClipping());
}

// The deck draws the cassette sliding out of its well under the well's clip: no part may
// paint past a clip the caller set, with or without artwork.
TEST(CassetteRendererPurity, NothingIsDrawnOutsideTheCallersClip) {
    const CassetteDocument document = cassette();
    const std::map<ArtworkRole, QImage> none;
    const std::map<ArtworkRole, QImage> artwork{{ArtworkRole::cassetteFaceA, solid(QColor(200, 30, 40), {300, 100})},
                                                {ArtworkRole::labelA, solid(QColor(30, 200, 40), {300, 100})},
                                                {ArtworkRole::jcardFront, solid(QColor(30, 40, 200), {300, 300})}};
    for (const auto* images : {&none, &artwork}) {
        for (const bool jcard : {false, true}) {
            QImage image(1004, 1004, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            {
                QPainter painter(&image);
                // Only the bottom strip is let through; the label and the card lie mostly above it.
                painter.setClipRect(QRect(0, 600, 1004, 404));
                if (jcard) renderJCard(painter, QSizeF(1004, 1004), document, *images);
                else renderCassette(painter, QSizeF(1004, 638), document, TapeSide::a, 0, *images);
            }
            int outside = 0;
            for (int y = 0; y < 600; ++y)
                for (int x = 0; x < 1004; ++x) outside += qAlpha(image.pixel(x, y)) != 0;
            EXPECT_EQ(outside, 0) << (jcard ? "J-card" : "cassette") << (images->empty() ? "" : " with artwork");
        }
    }
}

TEST(CassetteViewTest, FitsTheCassetteInsideTheOfferedSpace) {
    CassetteView view(cassette(), TapeSide::a, 0, {});
    view.resize(502, 500);
    EXPECT_NEAR(view.cassetteRect().width(), 502, 1e-9);
    EXPECT_NEAR(view.cassetteRect().height(), 319, 1e-9);
    EXPECT_NEAR(view.cassetteRect().top(), (500 - 319) / 2.0, 1e-9);
    view.resize(1000, 319);
    EXPECT_NEAR(view.cassetteRect().width(), 502, 1e-9);
    EXPECT_NEAR(view.cassetteRect().left(), 249, 1e-9);
    EXPECT_EQ(view.heightForWidth(1004), 638);
}

TEST(CassetteViewTest, PaintsWhatTheRendererDraws) {
    CassetteView view;
    view.setDocument(cassette());
    view.setHead(TapeClock::frames(600.0));
    view.resize(1004, 638);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image, {}, {}, QWidget::DrawChildren);
    const QImage expected = render(cassette(), TapeClock::frames(600.0)).convertToFormat(image.format());
    int differences = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!near(image.pixelColor(x, y), expected.pixelColor(x, y), 2)) ++differences;
    EXPECT_EQ(differences, 0);
}

}  // namespace
}  // namespace norvo
