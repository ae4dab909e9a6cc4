#include <gtest/gtest.h>

#include <cctype>

#include "Cassette/CassetteDocument.hpp"
#include "Cassette/CassetteStyleCatalog.hpp"
#include "Platform/Iso8601.hpp"
#include "Support/FakeClock.hpp"

namespace norvo {
namespace {

using namespace std::chrono_literals;

const Date start = Date{std::chrono::seconds(1'780'000'000)} + 250ms;

TEST(CassetteDocumentInit, ABlankCassetteOfTheGivenTypeNameAndDesign) {
    test::FakeClock clock(start);
    const auto design = CassetteStyleCatalog::all()[2].design;
    const CassetteDocument document(CassetteType::c60(), "Mixtape", design, clock);

    EXPECT_EQ(document.type, CassetteType::c60());
    EXPECT_EQ(document.name, "Mixtape");
    EXPECT_EQ(document.design, design);
    EXPECT_EQ(document.createdWith, "Norvo Studio 1.2");
    // Whole seconds, so the date survives the manifest's text unchanged.
    EXPECT_EQ(document.createdAt, wholeSeconds(start));
    EXPECT_EQ(document.modifiedAt, document.createdAt);
    EXPECT_TRUE(document.creator.empty() && document.description.empty() && document.genre.empty() &&
                document.notes.empty());
    for (TapeSide side : allTapeSides) {
        EXPECT_EQ(document.side(side), CassetteDocument::Side{});
        EXPECT_EQ(document.side(side).writeProtect, WriteProtect::intact);
    }
    EXPECT_EQ(document.jcard, JCard{});
    EXPECT_EQ(document.jcard.cardColor.hexText(), "#F4F0E6FF");
    EXPECT_EQ(document.jcard.inkColor.hexText(), "#1A1A1AFF");
    EXPECT_EQ(document.jcard.font, FontRole::marker);
    EXPECT_TRUE(document.artwork.empty());
    EXPECT_TRUE(document.bookletPanels.empty());

    ASSERT_EQ(document.history.size(), 1u);
    EXPECT_EQ(document.history[0].type, "created");
    EXPECT_EQ(document.history[0].timestamp, document.createdAt);
    EXPECT_EQ(document.history[0].app, "Norvo Studio 1.2");
    EXPECT_EQ(document.history[0].side, std::nullopt);
}

TEST(CassetteDocumentInit, SerialNumberIsNVAndTheIdsFirstEightCharactersInCapitals) {
    const CassetteDocument document(CassetteType::c60(), "", CassetteDesign{});
    const std::string prefix = document.id.text().substr(0, 8);
    std::string expected = "NV-";
    for (char c : prefix) expected.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    EXPECT_EQ(document.serialNumber, expected);
    for (char c : document.id.text()) EXPECT_FALSE(std::isupper(static_cast<unsigned char>(c)));

    const CassetteDocument other(CassetteType::c60(), "", CassetteDesign{});
    EXPECT_NE(document.id, other.id);
    EXPECT_NE(document, other);
}

struct TabCase {
    WriteProtect before;
    WriteProtect after;
};

class AdvanceWriteProtect : public testing::TestWithParam<TabCase> {};

TEST_P(AdvanceWriteProtect, TogglesTheTabAndNotesTheChange) {
    test::FakeClock clock(start);
    CassetteDocument document(CassetteType::c60(), "", CassetteDesign{}, clock);
    document.sideB.writeProtect = GetParam().before;
    const Date at = start + 90s;
    document.advanceWriteProtect(TapeSide::b, at);

    EXPECT_EQ(document.sideB.writeProtect, GetParam().after);
    EXPECT_EQ(document.sideA.writeProtect, WriteProtect::intact);
    ASSERT_EQ(document.history.size(), 2u);
    HistoryEvent expected;
    expected.type = "write_protect_changed";
    expected.timestamp = wholeSeconds(at);
    expected.app = "Norvo Studio 1.2";
    expected.side = TapeSide::b;
    expected.state = GetParam().after;
    EXPECT_EQ(document.history.back(), expected);
}

INSTANTIATE_TEST_SUITE_P(Tabs, AdvanceWriteProtect,
                         testing::Values(TabCase{WriteProtect::intact, WriteProtect::broken},
                                         TabCase{WriteProtect::broken, WriteProtect::tapedOver},
                                         TabCase{WriteProtect::tapedOver, WriteProtect::broken}));

TEST(CassetteDocumentNoteRecording, MergesMarkersInFrameOrderAndNotesThePass) {
    CassetteDocument document(CassetteType::c60(), "", CassetteDesign{});
    document.sideA.markers = {{100, "first", "file", {}}, {300, "third", "file", {}}};
    const Date at = start + 5min;
    document.noteRecording(TapeSide::a, 250, 900, "radio", "MP3 128 kbit/s",
                           {{300, "same frame, later", "radio", {}}, {200, "second", "radio", {}}}, at);

    std::vector<std::string> titles;
    for (const auto& marker : document.sideA.markers) titles.push_back(marker.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"first", "second", "third", "same frame, later"}));
    EXPECT_TRUE(document.sideB.markers.empty());

    const HistoryEvent& event = document.history.back();
    EXPECT_EQ(event.type, "recorded");
    EXPECT_EQ(event.timestamp, wholeSeconds(at));
    EXPECT_EQ(event.side, TapeSide::a);
    EXPECT_EQ(event.startFrame, 250);
    EXPECT_EQ(event.endFrame, 900);
    EXPECT_EQ(event.source, "radio");
    EXPECT_EQ(event.sourceFormat, "MP3 128 kbit/s");
    EXPECT_EQ(event.state, std::nullopt);
}

TEST(CassetteDocumentEquality, ComparesImageBytesNotTheirSharing) {
    CassetteDocument a(CassetteType::c60(), "", CassetteDesign{});
    CassetteDocument b = a;
    a.artwork[ArtworkRole::thumbnail] = FileData(std::string_view("same bytes"));
    b.artwork[ArtworkRole::thumbnail] = FileData(std::string_view("same bytes"));
    EXPECT_EQ(a, b);
    b.artwork[ArtworkRole::thumbnail] = FileData(std::string_view("same bytez"));
    EXPECT_NE(a, b);
    b = a;
    b.carriedEntries.push_back({"x", FileData(std::string_view("y"))});
    EXPECT_NE(a, b);
}

}  // namespace
}  // namespace norvo
