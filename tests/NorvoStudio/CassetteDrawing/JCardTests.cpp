#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "Cassette/CassetteStyleCatalog.hpp"
#include "CassetteDrawing/JCardContent.hpp"
#include "CassetteDrawing/JCardFrontLayout.hpp"
#include "CassetteDrawing/JCardRenderer.hpp"
#include "CassetteDrawing/JCardView.hpp"

namespace norvo {
namespace {

CassetteDocument card(std::string name = "Road Trip") {
    return CassetteDocument(CassetteType::c60(), std::move(name), CassetteStyleCatalog::defaultStyle().design);
}

// Numbered rows: each title keeps its own direction after its number.
QStringList rows(std::initializer_list<const char*> titles) {
    QStringList out;
    for (const char* title : titles)
        out << QString::number(out.size() + 1) + QStringLiteral(". \u2068") + QString::fromUtf8(title) + QChar(0x2069);
    return out;
}

TEST(JCardContentTest, BlankCardOfANamedCassetteShowsTheNameOnSpineAndFront) {
    const JCardContent content = JCardContent::of(card("Road Trip"));
    EXPECT_EQ(content.spineText, "ROAD TRIP");
    EXPECT_EQ(content.title, "Road Trip");
    EXPECT_TRUE(content.flapText.isEmpty());
    EXPECT_TRUE(content.subtitle.isEmpty());
    EXPECT_TRUE(content.creator.isEmpty());
    EXPECT_TRUE(content.sideARows.isEmpty());
    EXPECT_TRUE(content.sideBRows.isEmpty());
    EXPECT_TRUE(content.dedication.isEmpty());
}

TEST(JCardContentTest, BlankCardOfANamelessCassetteHasABareSpineAndTheDefaultTitle) {
    const JCardContent content = JCardContent::of(card(""));
    EXPECT_TRUE(content.spineText.isEmpty());
    EXPECT_EQ(content.title, "Untitled mixtape");
}

TEST(JCardContentTest, SpineTakesTheFirstNonEmptyOfSpineTextTitleAndName) {
    struct Case {
        std::string spine, title, name;
        const char* expected;
    };
    for (const Case& c : {Case{"Mix No. 7", "Summer", "Tape", "MIX NO. 7"}, Case{"", "Summer", "Tape", "SUMMER"},
                          Case{"", "", "Tape", "TAPE"}, Case{"  ", "Summer", "Tape", "  "},
                          Case{"Straße", "", "", "STRASSE"}, Case{"", "", "", ""}}) {
        CassetteDocument document = card(c.name);
        document.jcard.spineText = c.spine;
        document.jcard.title = c.title;
        EXPECT_EQ(JCardContent::of(document).spineText.toStdString(), c.expected) << c.spine << "/" << c.title;
    }
}

TEST(JCardContentTest, FrontTitleFallsBackFromTitleToNameToUntitled) {
    CassetteDocument document = card("Tape");
    document.jcard.title = "Summer";
    EXPECT_EQ(JCardContent::of(document).title, "Summer");
    document.jcard.title.clear();
    EXPECT_EQ(JCardContent::of(document).title, "Tape");
}

TEST(JCardContentTest, TrackRowsNumberTheNonEmptyEntriesAndStopAtEight) {
    struct Case {
        std::vector<std::string> tracks;
        QStringList rows;
    };
    const std::vector<std::string> ten{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
    for (const Case& c :
         {Case{{"Intro", "", "Outro"}, rows({"Intro", "Outro"})},
          Case{ten, rows({"1", "2", "3", "4", "5", "6", "7", "8"})}, Case{{}, {}}, Case{{"", ""}, {}},
          Case{{" ", "Same", "Same"}, rows({" ", "Same", "Same"})}, Case{{"%1 <i>no</i>"}, rows({"%1 <i>no</i>"})},
          // A stream's title as a marker left it: controls replaced.
          Case{{"Live\r\n\u202Eno"}, rows({"Live\uFFFD\uFFFD\uFFFDno"})}}) {
        EXPECT_EQ(JCardContent::trackRows(c.tracks), c.rows);
    }
}

TEST(JCardContentTest, RowsComeFromTheCardsListsNotFromTheMarkers) {
    CassetteDocument document = card();
    TrackMarker marker;
    marker.frame = 44100;
    marker.title = "Marker";
    document.sideA.markers.push_back(marker);
    document.jcard.sideBTracks = {"B one"};
    const JCardContent content = JCardContent::of(document);
    EXPECT_TRUE(content.sideARows.isEmpty());
    EXPECT_EQ(content.sideBRows, rows({"B one"}));
}

TEST(JCardContentTest, TextsAreDrawnWithControlsReplacedAndTheDedicationKeepsItsLines) {
    CassetteDocument document = card("Road\u202ETrip");
    document.jcard.subtitle = "Side\tone";
    document.jcard.dedication = "For you\u2066\nlove, me";
    const JCardContent content = JCardContent::of(document);
    EXPECT_EQ(content.title, QStringLiteral("Road\uFFFDTrip"));
    EXPECT_EQ(content.spineText, QStringLiteral("ROAD\uFFFDTRIP"));
    EXPECT_EQ(content.subtitle, QStringLiteral("Side\uFFFDone"));
    EXPECT_EQ(content.dedication, QStringLiteral("For you\uFFFD\nlove, me"));
}

using Face = JCardFrontLayout::Face;

std::vector<JCardFrontLayout::Line> linesOf(const JCardFrontLayout& layout, Face face) {
    std::vector<JCardFrontLayout::Line> out;
    for (const auto& line : layout.lines)
        if (line.face == face) out.push_back(line);
    return out;
}

TEST(JCardFrontLayoutTest, BlankCardShowsOnlyTheTitleAtTheTop) {
    const JCardFrontLayout layout = JCardFrontLayout::make(JCardContent::of(card("Road Trip")), FontRole::marker);
    ASSERT_EQ(layout.lines.size(), 1u);
    EXPECT_EQ(layout.lines[0].face, Face::title);
    EXPECT_EQ(layout.lines[0].text, "Road Trip");
    EXPECT_DOUBLE_EQ(layout.lines[0].box.top(), 3.0);
    EXPECT_DOUBLE_EQ(layout.lines[0].box.left(), 25.4 + 12.7 + 3.0);
}

TEST(JCardFrontLayoutTest, SideBlocksAndDedicationSitAgainstTheBottom) {
    CassetteDocument document = card();
    document.jcard.sideATracks = {"One", "Two"};
    document.jcard.dedication = "For you";
    const JCardFrontLayout layout = JCardFrontLayout::make(JCardContent::of(document), FontRole::pen);
    const auto headings = linesOf(layout, Face::heading);
    ASSERT_EQ(headings.size(), 1u);  // no SIDE B: its list is empty
    EXPECT_EQ(headings[0].text, "SIDE A");
    EXPECT_EQ(linesOf(layout, Face::row).size(), 2u);
    ASSERT_EQ(linesOf(layout, Face::dedication).size(), 1u);
    EXPECT_NEAR(linesOf(layout, Face::dedication)[0].box.bottom(), 101.6 - 3.0, 1e-9);
    EXPECT_NEAR(linesOf(layout, Face::row)[0].box.top() - headings[0].box.bottom(), 0.4, 1e-9);
}

TEST(JCardFrontLayoutTest, LongTitleWrapsToThreeLinesAtMost) {
    CassetteDocument document = card();
    document.jcard.title = "A title long enough to need many more lines than the cover allows for it to be shown "
                           "in full at seven millimetres";
    const auto title = linesOf(JCardFrontLayout::make(JCardContent::of(document), FontRole::serif), Face::title);
    ASSERT_EQ(title.size(), 3u);
    EXPECT_TRUE(title[2].text.endsWith(QStringLiteral("…")));
}

// A card with every field full: a title longer than three lines, a subtitle, a creator,
// ten tracks a side (eight rows each) and a dedication of three lines.
CassetteDocument fullCard() {
    CassetteDocument document = card();
    document.creator = "Maren Okafor-Lindqvist";
    document.jcard.title = "An extraordinarily long title that keeps going and going past three lines of the cover";
    document.jcard.subtitle = "A subtitle long enough to wrap onto another line of the front cover";
    for (int i = 1; i <= 10; ++i) {
        document.jcard.sideATracks.push_back("Side A track " + std::to_string(i));
        document.jcard.sideBTracks.push_back("Side B track " + std::to_string(i));
    }
    document.jcard.dedication = "A dedication long enough for three full lines of text at three millimetres, "
                                "going on and on and on about the people and the summer it was made for.";
    return document;
}

// The same card with only the title, subtitle and creator.
CassetteDocument identityOnly(CassetteDocument document) {
    document.jcard.sideATracks.clear();
    document.jcard.sideBTracks.clear();
    document.jcard.dedication.clear();
    return document;
}

bool isIdentity(Face face) { return face == Face::title || face == Face::subtitle || face == Face::creator; }

// Every line within the column, the identity above everything else, no two lines overlapping.
void expectNoOverlap(const JCardFrontLayout& layout, FontRole role) {
    const QRectF column = JCardFrontLayout::column();
    for (size_t i = 0; i < layout.lines.size(); ++i) {
        const QRectF box = layout.lines[i].box;
        EXPECT_GE(box.top(), column.top() - 1e-9) << rawValue(role);
        EXPECT_LE(box.bottom(), column.bottom() + 1e-9) << rawValue(role);
        if (i > 0) {
            EXPECT_GE(box.top(), layout.lines[i - 1].box.bottom() - 1e-9) << rawValue(role) << " line " << i;
        }
    }
}

TEST(JCardFrontLayoutTest, FullCardKeepsTheTapesIdentityAndGivesWayAtTheBottom) {
    const CassetteDocument document = fullCard();
    const JCardContent content = JCardContent::of(document);
    for (FontRole role : allFontRoles) {
        const JCardFrontLayout full = JCardFrontLayout::make(content, role);
        const JCardFrontLayout alone = JCardFrontLayout::make(JCardContent::of(identityOnly(document)), role);
        expectNoOverlap(full, role);

        // Title (three lines), subtitle and creator as on a card that holds nothing else.
        std::vector<JCardFrontLayout::Line> identity;
        for (const auto& line : full.lines)
            if (isIdentity(line.face)) identity.push_back(line);
        ASSERT_EQ(identity.size(), alone.lines.size()) << rawValue(role);
        for (size_t i = 0; i < identity.size(); ++i) {
            EXPECT_EQ(identity[i].text, alone.lines[i].text) << rawValue(role);
            EXPECT_EQ(identity[i].box, alone.lines[i].box) << rawValue(role);
        }
        EXPECT_EQ(linesOf(full, Face::title).size(), 3u) << rawValue(role);
        EXPECT_FALSE(linesOf(full, Face::subtitle).empty()) << rawValue(role);
        EXPECT_EQ(linesOf(full, Face::creator).size(), 1u) << rawValue(role);

        // The dedication went first, then the last rows: each list keeps its first rows,
        // the longer list losing first.
        EXPECT_TRUE(linesOf(full, Face::dedication).empty()) << rawValue(role);
        QStringList rowsA, rowsB;
        bool sideB = false;
        for (const auto& line : full.lines) {
            if (line.face == Face::heading) sideB = line.text == "SIDE B";
            if (line.face == Face::row) (sideB ? rowsB : rowsA) << line.text;
        }
        EXPECT_LT(rowsA.size() + rowsB.size(), 16) << rawValue(role);
        EXPECT_GT(rowsB.size(), 0) << rawValue(role);
        EXPECT_EQ(rowsA, content.sideARows.mid(0, rowsA.size())) << rawValue(role);
        EXPECT_EQ(rowsB, content.sideBRows.mid(0, rowsB.size())) << rawValue(role);
        EXPECT_TRUE(rowsA.size() == rowsB.size() || rowsA.size() == rowsB.size() + 1) << rawValue(role);
    }
}

TEST(JCardFrontLayoutTest, TheDedicationGivesWayLineByLineBeforeAnyRow) {
    // Side B grows one row at a time under a full side A: the dedication shrinks, goes,
    // and only then do rows go.
    CassetteDocument document = fullCard();
    document.jcard.subtitle.clear();
    document.jcard.sideBTracks.clear();
    document.jcard.sideATracks.resize(8);
    bool shortened = false, rowsLost = false;
    std::size_t lastDedication = 3;
    for (int extra = 0; extra < 6; ++extra) {
        document.jcard.sideBTracks.push_back("B" + std::to_string(extra + 1));
        const JCardContent content = JCardContent::of(document);
        const JCardFrontLayout layout = JCardFrontLayout::make(content, FontRole::pen);
        expectNoOverlap(layout, FontRole::pen);
        EXPECT_EQ(linesOf(layout, Face::title).size(), 3u) << extra;
        const auto dedication = linesOf(layout, Face::dedication);
        EXPECT_LE(dedication.size(), lastDedication) << extra;
        lastDedication = dedication.size();
        if (!dedication.empty() && dedication.size() < 3) {
            shortened = true;
            EXPECT_TRUE(dedication.back().text.endsWith(QStringLiteral("…"))) << extra;
        }
        if (qsizetype(linesOf(layout, Face::row).size()) < content.sideARows.size() + content.sideBRows.size()) {
            rowsLost = true;
            EXPECT_TRUE(dedication.empty()) << extra;
        }
    }
    EXPECT_TRUE(shortened);
    EXPECT_TRUE(rowsLost);
}

// Renders a card into a transparent square image.
QImage render(const CassetteDocument& document, const std::map<ArtworkRole, QImage>& images = {}, int side = 508) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderJCard(painter, QSizeF(side, side), document, images);
    painter.end();
    return image;
}

QImage solid(QColor color, QSize size) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

bool near(const QColor& a, const QColor& b, int tolerance = 2) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

// Counts the pixels of a rectangle (in pixels, at 5 px per mm) not near a colour.
int pixelsOff(const QImage& image, QRect rect, const QColor& colour) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (!near(image.pixelColor(x, y), colour)) ++count;
    return count;
}

const QColor cardColour = QColor::fromRgb(0xF4, 0xF0, 0xE6);

// At 508 px the card is 5 px per mm: flap 0-127, spine 127-190.5, front 190.5-508.
TEST(JCardRendererTest, BlankCardLeavesTheFlapBareAndLettersSpineAndFront) {
    const QImage image = render(card("Road Trip"));
    EXPECT_EQ(pixelsOff(image, QRect(4, 10, 118, 488), cardColour), 0);
    EXPECT_GT(pixelsOff(image, QRect(132, 10, 54, 488), cardColour), 200);
    EXPECT_GT(pixelsOff(image, QRect(200, 10, 300, 40), cardColour), 300);
    EXPECT_EQ(pixelsOff(image, QRect(200, 120, 300, 380), cardColour), 0);
    // A nameless cassette's spine is bare.
    EXPECT_EQ(pixelsOff(render(card("")), QRect(132, 10, 54, 488), cardColour), 0);
}

// The lowest pixel row of a rectangle that holds ink (dark on the light card), or -1.
int inkBottom(const QImage& image, QRect rect) {
    for (int y = rect.bottom(); y >= rect.top(); --y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (image.pixelColor(x, y).lightness() < 110) return y;
    return -1;
}

TEST(JCardRendererTest, EveryHandwritingSitsOnTheSameBaselines) {
    // At 10 px per mm; capitals without descenders end on their baselines.
    std::vector<int> title, dedication;
    for (FontRole role : allFontRoles) {
        CassetteDocument document = card();
        document.jcard.title = "HIMEN";
        document.jcard.dedication = "HIMEN";
        document.jcard.font = role;
        const QImage image = render(document, {}, 1016);
        title.push_back(inkBottom(image, QRect(420, 30, 500, 120)));
        dedication.push_back(inkBottom(image, QRect(420, 900, 500, 86)));
    }
    for (size_t i = 0; i < allFontRoles.size(); ++i) {
        // The rule puts the title's baseline 0.97 em under the column's top, the dedication's 0.24 em above its bottom.
        EXPECT_NEAR(title[i], (3.0 + 0.97 * 7.0) * 10, 2.5) << rawValue(allFontRoles[i]);
        EXPECT_NEAR(dedication[i], (101.6 - 3.0 - 0.24 * 3.0) * 10, 2.5) << rawValue(allFontRoles[i]);
    }
}

TEST(JCardRendererTest, AFullCardDrawsTheTapesIdentityAsACardWithoutListsDoes) {
    // At 5 px per mm: the front from x = 191, the identity down to its creator's line.
    const CassetteDocument full = fullCard();
    const JCardFrontLayout alone = JCardFrontLayout::make(JCardContent::of(identityOnly(full)), FontRole::marker);
    const int identityBottom = int(std::ceil(alone.lines.back().box.bottom() * 5)) + 2;
    const QRect identity(192, 0, 314, identityBottom);
    const QImage withLists = render(full);
    const QImage without = render(identityOnly(full));
    int differing = 0;
    for (int y = identity.top(); y <= identity.bottom(); ++y)
        for (int x = identity.left(); x <= identity.right(); ++x)
            if (withLists.pixel(x, y) != without.pixel(x, y)) ++differing;
    EXPECT_EQ(differing, 0);
    // Five lines of lettering at least: three of title, the subtitle and the creator.
    EXPECT_GT(identityBottom, 5 * (3 * 8 + 3 + 3));
    EXPECT_GT(pixelsOff(withLists, identity, cardColour), 3000);
    // The lists are drawn below it.
    EXPECT_GT(pixelsOff(withLists, QRect(192, identityBottom + 20, 314, 480 - identityBottom), cardColour), 2000);
}

TEST(JCardRendererTest, FrontImageReplacesTheWholeFrontButNotTheFoldLine) {
    CassetteDocument document = card();
    document.jcard.sideATracks = {"One"};
    document.jcard.cardColor = {0.2, 0.6, 0.3, 1};
    const QColor image(200, 40, 120);
    const QImage picture = render(document, {{ArtworkRole::jcardFront, solid(image, {30, 400})}});
    EXPECT_EQ(pixelsOff(picture, QRect(192, 2, 313, 503), image), 0);
    // The fold line at the card's right edge darkens the image's last column.
    EXPECT_LT(picture.pixelColor(507, 250).lightness(), picture.pixelColor(505, 250).lightness());
    // Flap and spine are still drawn on the card colour.
    EXPECT_TRUE(near(picture.pixelColor(60, 10), QColor::fromRgbF(0.2f, 0.6f, 0.3f)));
}

TEST(JCardRendererTest, SpineImageAloneLeavesFlapAndFrontDrawn) {
    const CassetteDocument document = card("Road Trip");
    const QColor image(30, 120, 200);
    const QImage picture = render(document, {{ArtworkRole::jcardSpine, solid(image, {500, 20})}});
    EXPECT_EQ(pixelsOff(picture, QRect(128, 2, 61, 503), image), 0);
    EXPECT_EQ(pixelsOff(picture, QRect(4, 10, 118, 488), cardColour), 0);
    EXPECT_GT(pixelsOff(picture, QRect(200, 10, 300, 40), cardColour), 300);
}

TEST(JCardRendererTest, FoldLinesLieAtEachPanelsTrailingEdge) {
    const QImage image = render(card(""));
    for (int x : {126, 190, 507}) EXPECT_LT(image.pixelColor(x, 250).lightness(), cardColour.lightness()) << x;
    EXPECT_TRUE(near(image.pixelColor(124, 250), cardColour));
}

TEST(JCardRendererTest, CardIsTheLargestCentredSquare) {
    EXPECT_EQ(jcardRect(QSizeF(300, 200)), QRectF(50, 0, 200, 200));
    EXPECT_EQ(jcardRect(QSizeF(120, 400)), QRectF(0, 140, 120, 120));
    JCardView view(card(), {});
    view.resize(300, 200);
    EXPECT_EQ(view.cardRect(), QRectF(50, 0, 200, 200));
}

TEST(JCardRendererTest, CornerClipStaysTwoPixelsAtEverySize) {
    for (int side : {100, 508, 1200}) {
        const QImage image = render(card(), {}, side);
        EXPECT_LT(image.pixelColor(0, 0).alpha(), 128) << side;
        EXPECT_EQ(image.pixelColor(3, 0).alpha(), 255) << side;
        EXPECT_EQ(image.pixelColor(0, side - 4).alpha(), 255) << side;
    }
}

}  // namespace
}  // namespace norvo
