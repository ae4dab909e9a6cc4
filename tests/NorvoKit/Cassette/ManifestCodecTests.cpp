#include <gtest/gtest.h>

#include <functional>

#include "Cassette/CassetteFileError.hpp"
#include "Cassette/CassetteStyleCatalog.hpp"
#include "Cassette/ManifestCodec.hpp"
#include "CassetteFixtures.hpp"

namespace norvo {
namespace {

using test::fullDocument;

const Date now = Date{std::chrono::seconds(1'790'000'000)};

ManifestLayout layoutFor(const CassetteDocument& document) {
    ManifestLayout layout;
    layout.frames = {88200, 0};
    layout.audio[0] = "audio/side-a.m4a";
    for (const auto& [role, data] : document.artwork)
        layout.artwork[role] = "artwork/" + std::string(rawValue(role)) + ".png";
    layout.booklet = {"artwork/booklet-01.png"};
    return layout;
}

// The document as the codec can rebuild it: image bytes live in the container, not the manifest.
CassetteDocument withoutImages(CassetteDocument document) {
    document.artwork.clear();
    document.bookletPanels.clear();
    document.carriedEntries.clear();
    return document;
}

TEST(ManifestCodec, WritesEveryFieldInSnakeCase) {
    const CassetteDocument document = fullDocument();
    const JSONValue manifest = ManifestCodec::encode(document, layoutFor(document));
    EXPECT_EQ(*manifest.find("format")->string(), "NORVO");
    EXPECT_EQ(*manifest.find("format_version")->string(), "1.0");
    EXPECT_EQ(*manifest.find("id")->string(), document.id.text());
    EXPECT_EQ(*manifest.find("serial_number")->string(), document.serialNumber);
    // Genre and notes are what the user typed in the designer: written, not dropped.
    EXPECT_EQ(*manifest.find("genre")->string(), "Synth-pop");
    EXPECT_EQ(*manifest.find("notes")->string(), "Side B needs a better ending");
    EXPECT_EQ(*manifest.find("created_at")->string(), "2026-05-28T20:26:40Z");
    EXPECT_EQ(*manifest.find("type")->find("name")->string(), "custom");
    EXPECT_EQ(manifest.find("type")->find("side_seconds")->integer(), 3);

    const JSONValue& a = *manifest.find("sides")->find("a");
    EXPECT_EQ(a.find("frames")->integer(), 88200);
    EXPECT_EQ(*a.find("audio")->string(), "audio/side-a.m4a");
    EXPECT_EQ(*a.find("write_protect")->string(), "intact");
    EXPECT_EQ(a.find("markers")->array()->size(), 2u);
    EXPECT_EQ(a.find("markers")->array()->at(1).find("x_confidence")->number(), 0.5);
    const JSONValue& b = *manifest.find("sides")->find("b");
    EXPECT_EQ(b.find("audio"), nullptr);  // nothing recorded, no audio entry
    EXPECT_EQ(*b.find("write_protect")->string(), "taped_over");

    EXPECT_EQ(*manifest.find("design")->find("label_color")->string(), "#10203040");
    EXPECT_EQ(*manifest.find("design")->find("label_font")->string(), "typewriter");
    EXPECT_EQ(manifest.find("design")->find("x_sparkle")->boolValue(), true);
    EXPECT_EQ(*manifest.find("jcard")->find("spine_text")->string(), "SUMMER MIX");
    EXPECT_EQ(*manifest.find("artwork")->find("label_b")->string(), "artwork/label_b.png");
    EXPECT_EQ(manifest.find("booklet")->array()->size(), 1u);
    EXPECT_EQ(manifest.find("x_future")->find("level")->integer(), 3);

    const auto& history = *manifest.find("history")->array();
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(*history[1].find("source_format")->string(), "MP3 44.1 kHz");
    EXPECT_EQ(history[1].find("end_frame")->integer(), 88200);
    EXPECT_EQ(*history[2].find("engineer")->string(), "Bo");
    EXPECT_EQ(history[2].find("side"), nullptr);  // absent fields are left out, not null
}

TEST(ManifestCodec, ReadsBackWhatItWrote) {
    const CassetteDocument document = fullDocument();
    const ManifestLayout layout = layoutFor(document);
    const auto text = ManifestCodec::encode(document, layout).serialized();
    const auto decoded = ManifestCodec::decode(*JSONValue::parse(text), now);
    EXPECT_EQ(decoded.document, withoutImages(document));
    EXPECT_EQ(decoded.layout, layout);
}

TEST(ManifestCodec, KnownKeysWinOverCarriedOnes) {
    CassetteDocument document = fullDocument();
    document.carriedManifest["name"] = "stale";
    document.carriedManifest["design"] = JSONValue::Object{{"ink_color", "#000000FF"}, {"x_new", 1}};
    const JSONValue manifest = ManifestCodec::encode(document, layoutFor(document));
    EXPECT_EQ(*manifest.find("name")->string(), "Summer mix");
    EXPECT_EQ(*manifest.find("design")->find("ink_color")->string(), document.design.inkColor.hexText());
    EXPECT_EQ(manifest.find("design")->find("x_new")->integer(), 1);
}

// A manifest edited by a test: the written form of fullDocument() with one change.
JSONValue editedManifest(const std::function<void(JSONValue&)>& edit) {
    const CassetteDocument document = fullDocument();
    JSONValue manifest = ManifestCodec::encode(document, layoutFor(document));
    edit(manifest);
    return manifest;
}

struct RefusalCase {
    const char* name;
    std::function<void(JSONValue&)> edit;
    const char* sentence;
};

class ManifestRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(ManifestRefusal, RefusesWithItsSentence) {
    const JSONValue manifest = editedManifest(GetParam().edit);
    try {
        ManifestCodec::decode(manifest, now);
        FAIL() << "accepted";
    } catch (const CassetteFileError& error) {
        EXPECT_STREQ(error.what(), GetParam().sentence);
    }
}

constexpr const char* damaged = "The cassette manifest is damaged.";
constexpr const char* notCassette = "This file is not a NORVO cassette.";
constexpr const char* newer = "This cassette needs a newer Norvo Studio.";

INSTANTIATE_TEST_SUITE_P(
    Cases, ManifestRefusal,
    testing::Values(
        RefusalCase{"NotAnObject", [](JSONValue& m) { m = JSONValue::Array{}; }, damaged},
        RefusalCase{"NoFormat", [](JSONValue& m) { m.object()->erase("format"); }, notCassette},
        RefusalCase{"OtherFormat", [](JSONValue& m) { m["format"] = "NORVO-Sound"; }, notCassette},
        RefusalCase{"VersionTwo", [](JSONValue& m) { m["format_version"] = "2.0"; }, newer},
        RefusalCase{"VersionWithoutMinor", [](JSONValue& m) { m["format_version"] = "1"; }, newer},
        RefusalCase{"VersionNotText", [](JSONValue& m) { m["format_version"] = 1.0; }, damaged},
        RefusalCase{"BadId", [](JSONValue& m) { m["id"] = "not-a-uuid"; }, damaged},
        RefusalCase{"NoId", [](JSONValue& m) { m.object()->erase("id"); }, damaged},
        RefusalCase{"UnknownType", [](JSONValue& m) { m["type"]["name"] = "C200"; }, damaged},
        RefusalCase{"StandardTypeOtherLength",
                    [](JSONValue& m) {
                        m["type"] = JSONValue::Object{{"name", "C60"}, {"side_seconds", 10}};
                    },
                    damaged},
        RefusalCase{"TypeNotObject", [](JSONValue& m) { m["type"] = "C60"; }, damaged},
        RefusalCase{"FramesBeyondTheSide", [](JSONValue& m) { m["sides"]["a"]["frames"] = 3 * 44100 + 1; }, damaged},
        RefusalCase{"NegativeFrames", [](JSONValue& m) { m["sides"]["a"]["frames"] = -1; }, damaged},
        RefusalCase{"FractionalFrames", [](JSONValue& m) { m["sides"]["a"]["frames"] = 10.5; }, damaged},
        RefusalCase{"FramesWithoutAudio", [](JSONValue& m) { m["sides"]["a"].object()->erase("audio"); }, damaged},
        RefusalCase{"AudioWithoutFrames", [](JSONValue& m) { m["sides"]["a"].object()->erase("frames"); }, damaged},
        RefusalCase{"AudioNotText", [](JSONValue& m) { m["sides"]["a"]["audio"] = 7; }, damaged},
        RefusalCase{"SideNotObject", [](JSONValue& m) { m["sides"]["b"] = "blank"; }, damaged},
        RefusalCase{"ArtworkNotObject", [](JSONValue& m) { m["artwork"] = JSONValue::Array{}; }, damaged},
        RefusalCase{"ArtworkPathNotText", [](JSONValue& m) { m["artwork"]["label_a"] = JSONValue(); }, damaged},
        RefusalCase{"BookletNotList", [](JSONValue& m) { m["booklet"] = "artwork/booklet-01.png"; }, damaged}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST(ManifestCodecLenience, AMinorVersionOfTheFormatIsRead) {
    const JSONValue manifest = editedManifest([](JSONValue& m) { m["format_version"] = "1.7"; });
    EXPECT_NO_THROW(ManifestCodec::decode(manifest, now));
}

TEST(ManifestCodecLenience, BadValuesTakeTheirDefaults) {
    const JSONValue manifest = editedManifest([](JSONValue& m) {
        m["name"] = 42;
        m["created_at"] = "yesterday";
        m["design"]["shell_color"] = "#12";
        m["design"]["label_style"] = "tartan";
        m["design"]["shell_transparent"] = "yes";
        m["jcard"]["card_color"] = JSONValue();
        m["jcard"]["font"] = "comic";
        m["jcard"]["side_a_tracks"] = JSONValue::Array{"One", 2, "Three"};
        m["sides"]["b"]["write_protect"] = "glued";
        m["history"].array()->at(0)["side"] = "c";
    });
    const auto document = ManifestCodec::decode(manifest, now).document;
    const auto& ferro = CassetteStyleCatalog::defaultStyle().design;
    EXPECT_EQ(document.name, "");
    EXPECT_EQ(document.createdAt, now);
    EXPECT_EQ(document.design.shellColor, ferro.shellColor);
    EXPECT_EQ(document.design.labelStyle, ferro.labelStyle);
    EXPECT_EQ(document.design.shellTransparent, ferro.shellTransparent);
    EXPECT_EQ(document.design.labelFont, FontRole::typewriter);  // the good values stay
    EXPECT_EQ(document.jcard.cardColor, JCard::defaultCardColor());
    EXPECT_EQ(document.jcard.font, FontRole::marker);
    EXPECT_EQ(document.jcard.sideATracks, (std::vector<std::string>{"One", "", "Three"}));
    EXPECT_EQ(document.sideB.writeProtect, WriteProtect::intact);
    EXPECT_EQ(document.history[0].side, std::nullopt);
}

TEST(ManifestCodecLenience, MarkersOutsideTheSideAreDroppedAndTheRestSorted) {
    const JSONValue manifest = editedManifest([](JSONValue& m) {
        m["sides"]["a"]["markers"] = JSONValue::Array{
            JSONValue::Object{{"frame", 3 * 44100}, {"title", "past the end"}},
            JSONValue::Object{{"frame", -5}, {"title", "before the start"}},
            JSONValue::Object{{"frame", "ten"}, {"title", "no frame"}},
            JSONValue::Object{{"frame", 500}, {"title", "later"}},
            JSONValue::Object{{"frame", 10}, {"title", "earlier"}, {"kind", 3}},
            "not a marker",
        };
    });
    const auto markers = ManifestCodec::decode(manifest, now).document.sideA.markers;
    ASSERT_EQ(markers.size(), 2u);
    EXPECT_EQ(markers[0].title, "earlier");
    EXPECT_EQ(markers[0].kind, "");
    EXPECT_EQ(markers[1].title, "later");
}

TEST(ManifestCodecLenience, MissingSectionsReadAsABlankCassette) {
    const JSONValue manifest = JSONValue::Object{
        {"format", "NORVO"},
        {"format_version", "1.0"},
        {"id", "1b4e28ba-2fa1-41d2-883f-0016d3cca427"},
        {"type", JSONValue::Object{{"name", "C90"}, {"side_seconds", 2700}}},
    };
    const auto decoded = ManifestCodec::decode(manifest, now);
    EXPECT_EQ(decoded.document.type.name, "C90");
    EXPECT_EQ(decoded.document.design, CassetteStyleCatalog::defaultStyle().design);
    EXPECT_EQ(decoded.document.jcard, JCard{});
    EXPECT_EQ(decoded.layout, ManifestLayout{});
    EXPECT_TRUE(decoded.document.carriedManifest.empty());
}

TEST(ManifestCodecLenience, UnknownArtworkSlotsAreCarried) {
    const JSONValue manifest = editedManifest([](JSONValue& m) { m["artwork"]["poster"] = "artwork/poster.png"; });
    const auto decoded = ManifestCodec::decode(manifest, now);
    EXPECT_EQ(*decoded.document.carriedManifest.at("artwork").find("poster")->string(), "artwork/poster.png");
    EXPECT_EQ(decoded.layout.artwork.size(), allArtworkRoles.size());
    const JSONValue rewritten = ManifestCodec::encode(decoded.document, decoded.layout);
    EXPECT_EQ(*rewritten.find("artwork")->find("poster")->string(), "artwork/poster.png");
}

}  // namespace
}  // namespace norvo
