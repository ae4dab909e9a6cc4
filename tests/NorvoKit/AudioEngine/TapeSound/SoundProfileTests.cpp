#include <gtest/gtest.h>

#include <string>

#include "AudioEngine/TapeSound/SoundProfile.hpp"
#include "AudioEngine/TapeSound/SoundProfileError.hpp"

namespace norvo {
namespace {

JSONValue minimalDocument() {
    return JSONValue::Object{
        {"format", "NORVO-Sound"}, {"format_version", "1.0"}, {"id", "org.example.warm"}, {"name", "Warm"}};
}

std::string text(const JSONValue& document) { return document.serialized(); }

SoundIssue errorOf(const std::string& data) {
    try {
        SoundProfile::parse(data);
    } catch (const SoundProfileError& error) {
        EXPECT_STREQ(error.what(), error.issue.message.c_str());
        return error.issue;
    }
    ADD_FAILURE() << "accepted: " << data;
    return {};
}

TEST(SoundProfile, ReadsIdNameSettingsAndKeepsTheDocument) {
    JSONValue document = minimalDocument();
    document["description"] = "Soft and warm";
    document["tape"]["saturation"]["drive_db"] = 6;
    document["tape"]["hiss"]["level_db"] = -70;
    document["tape"]["filter"]["high_cut_hz"] = 12000;

    auto result = SoundProfile::parse(text(document));

    EXPECT_EQ(result.profile.id, "org.example.warm");
    EXPECT_EQ(result.profile.name, "Warm");
    EXPECT_EQ(result.profile.document, document);
    EXPECT_EQ(result.profile.settings.driveDb, 6);
    EXPECT_EQ(result.profile.settings.hissLevelDb, -70);
    EXPECT_EQ(result.profile.settings.highCutHz, 12000);
    EXPECT_EQ(result.profile.settings.wowRateHz, 0.5) << "absent keys keep their defaults";
    EXPECT_TRUE(result.warnings.empty());
}

TEST(SoundProfile, AbsentSettingsAreNeutral) {
    auto result = SoundProfile::parse(text(minimalDocument()));
    EXPECT_TRUE(result.profile.settings.isNeutral());
}

// A profile of exactly `size` bytes: the minimal document padded with trailing spaces.
std::string profileOfSize(std::size_t size) {
    std::string data = text(minimalDocument());
    data.append(size - data.size(), ' ');
    return data;
}

TEST(SoundProfile, AcceptsSixtyFourKiBAndRefusesOneByteMore) {
    EXPECT_EQ(SoundProfile::parse(profileOfSize(65536)).profile.name, "Warm");

    SoundIssue issue = errorOf(profileOfSize(65537));
    EXPECT_EQ(issue.severity, SoundIssue::Severity::error);
    EXPECT_EQ(issue.message, "The profile is larger than 64 KiB");
}

struct ErrorCase {
    const char* label;
    std::string data;
    std::string path;
    std::string message;
};

std::string withMember(const std::string& key, const JSONValue& value) {
    JSONValue document = minimalDocument();
    document[key] = value;
    return text(document);
}

std::string withoutMember(const std::string& key) {
    JSONValue document = minimalDocument();
    document.object()->erase(key);
    return text(document);
}

class SoundProfileErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(SoundProfileErrors, ThrowTheFirstProblemAsOneIssue) {
    const ErrorCase& c = GetParam();
    SoundIssue issue = errorOf(c.data);
    EXPECT_EQ(issue.severity, SoundIssue::Severity::error);
    EXPECT_EQ(issue.path, c.path);
    EXPECT_EQ(issue.message, c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SoundProfileErrors,
    testing::Values(ErrorCase{"NotJSON", "{\"format\": ", "", "The profile is not valid JSON"},
                    ErrorCase{"Empty", "", "", "The profile is not valid JSON"},
                    ErrorCase{"Array", "[1, 2]", "", "A profile must be a JSON object"},
                    ErrorCase{"String", "\"NORVO-Sound\"", "", "A profile must be a JSON object"},
                    ErrorCase{"WrongFormat", withMember("format", "NORVO"), "format",
                              "This is not a NORVO Sound profile"},
                    ErrorCase{"NoFormat", withoutMember("format"), "format", "This is not a NORVO Sound profile"},
                    ErrorCase{"NewerVersion", withMember("format_version", "2.0"), "format_version",
                              "This profile needs a newer Norvo Studio"},
                    ErrorCase{"VersionNotText", withMember("format_version", 1), "format_version",
                              "This profile needs a newer Norvo Studio"},
                    ErrorCase{"NoID", withoutMember("id"), "id", "A profile needs an id"},
                    ErrorCase{"EmptyID", withMember("id", ""), "id", "A profile needs an id"},
                    ErrorCase{"IDNotText", withMember("id", 7), "id", "A profile needs an id"},
                    ErrorCase{"LongID", withMember("id", std::string(129, 'a')), "id", "A profile needs an id"},
                    ErrorCase{"IDWithLineFeed", withMember("id", "a\nb"), "id", "A profile needs an id"},
                    ErrorCase{"IDWithC1Control", withMember("id", "a\u0085b"), "id", "A profile needs an id"},
                    ErrorCase{"CleanID", withMember("id", "clean"), "id", "The id \u201Cclean\u201D is reserved"},
                    ErrorCase{"NoName", withoutMember("name"), "name", "A profile needs a name"},
                    ErrorCase{"BlankName", withMember("name", "  "), "name", "A profile needs a name"},
                    ErrorCase{"NameNotText", withMember("name", JSONValue::Array{}), "name", "A profile needs a name"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.label); });

TEST(SoundProfile, IDLimitCountsCharactersNotBytes) {
    std::string id;
    for (int i = 0; i < 128; ++i) id += "\u00E9";  // two bytes each
    EXPECT_EQ(SoundProfile::parse(withMember("id", id)).profile.id, id);
}

TEST(SoundProfile, WarnsInKeyOrderAndIgnoresOrClamps) {
    JSONValue document = minimalDocument();
    JSONValue& tape = document["tape"];
    tape["wow"]["depth_percent"] = 5;         // clamped to 2
    tape["wow"]["rate_hz"] = 0.01;            // clamped to 0.1
    tape["saturation"]["drive_db"] = "loud";  // ignored
    tape["azimuth"]["error_us"] = -500;       // clamped to -200
    tape["echo"]["delay_ms"] = 300;           // unknown section
    tape["hiss"] = 5;                         // not an object
    tape["filter"]["low_cut_hz"] = 5;         // up to 10
    tape["filter"]["high_cut_hz"] = 0;        // off: fine
    tape["filter"]["notch_hz"] = 50;          // unknown key
    tape["crosstalk"]["level_db"] = -40;      // fine

    auto result = SoundProfile::parse(text(document));

    std::vector<SoundIssue> expected = {
        SoundIssue::warning("tape.azimuth.error_us", "Brought into range -200\u2026200"),
        SoundIssue::warning("tape.echo", "Unknown setting; ignored"),
        SoundIssue::warning("tape.filter.low_cut_hz", "Brought into range 10\u2026300"),
        SoundIssue::warning("tape.filter.notch_hz", "Unknown setting; ignored"),
        SoundIssue::warning("tape.hiss", "Not an object; ignored"),
        SoundIssue::warning("tape.saturation.drive_db", "Not a number; ignored"),
        SoundIssue::warning("tape.wow.depth_percent", "Brought into range 0\u20262"),
        SoundIssue::warning("tape.wow.rate_hz", "Brought into range 0.1\u20264"),
    };
    EXPECT_EQ(result.warnings, expected);

    const TapeSoundSettings& s = result.profile.settings;
    EXPECT_EQ(s.wowDepthPercent, 2);
    EXPECT_EQ(s.wowRateHz, 0.1);
    EXPECT_EQ(s.driveDb, 0);
    EXPECT_EQ(s.azimuthErrorUs, -200);
    EXPECT_FALSE(s.hissLevelDb);
    EXPECT_EQ(s.lowCutHz, 10);
    EXPECT_EQ(s.highCutHz, 0);
    EXPECT_EQ(s.crosstalkLevelDb, -40);
    EXPECT_EQ(result.profile.document, document) << "the document stays as read";
}

TEST(SoundProfile, TapeThatIsNotAnObjectIsIgnoredWithAWarning) {
    auto result = SoundProfile::parse(withMember("tape", JSONValue::Array{1}));
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_EQ(result.warnings[0], SoundIssue::warning("tape", "Not an object; ignored"));
    EXPECT_TRUE(result.profile.settings.isNeutral());
}

TEST(SoundProfile, NegativeCutSwitchesTheFilterOff) {
    JSONValue document = minimalDocument();
    document["tape"]["filter"]["high_cut_hz"] = -1;
    document["tape"]["filter"]["low_cut_hz"] = 1e6;
    auto result = SoundProfile::parse(text(document));
    EXPECT_EQ(result.profile.settings.highCutHz, 0);
    EXPECT_EQ(result.profile.settings.lowCutHz, 300);
    EXPECT_EQ(result.warnings.size(), 2u);
}

TEST(SoundProfile, EncodedDataKeepsUnknownKeysSortedWithOneLineFeed) {
    std::string data = R"({"name": "Warm", "id": "org.example.warm", "format_version": "1.0",
        "format": "NORVO-Sound", "homepage": "https://example.org/sounds",
        "x-author": {"nick": "ana", "tags": ["lofi", 3]},
        "tape": {"hiss": {"level_db": -60, "colour": "pink"}}})";
    auto result = SoundProfile::parse(data);
    std::string encoded = result.profile.encodedData();

    EXPECT_EQ(encoded, R"({
  "format": "NORVO-Sound",
  "format_version": "1.0",
  "homepage": "https://example.org/sounds",
  "id": "org.example.warm",
  "name": "Warm",
  "tape": {
    "hiss": {
      "colour": "pink",
      "level_db": -60
    }
  },
  "x-author": {
    "nick": "ana",
    "tags": [
      "lofi",
      3
    ]
  }
}
)");
    auto again = SoundProfile::parse(encoded);
    EXPECT_EQ(again.profile, result.profile);
    EXPECT_EQ(again.warnings, result.warnings);
}

struct FileNameCase {
    const char* name;
    const char* expected;
};

class SoundProfileFileName : public testing::TestWithParam<FileNameCase> {};

TEST_P(SoundProfileFileName, KeepsLettersDigitsSpacesUnderscoresAndHyphens) {
    JSONValue document = minimalDocument();
    SoundProfile profile = SoundProfile::parse(text(document)).profile;
    profile.name = GetParam().name;
    EXPECT_EQ(profile.suggestedFileName(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SoundProfileFileName,
    testing::Values(FileNameCase{"Bazaar portable stereo \u201996", "Bazaar portable stereo 96.nvsound"},
                    FileNameCase{"?!\u2026 / * .", "Tape sound.nvsound"},
                    FileNameCase{"  My_deck-2 ", "My_deck-2.nvsound"},
                    FileNameCase{"../../etc/passwd", "etcpasswd.nvsound"},
                    FileNameCase{"Kassette \u00C4\u00D6 \u65E5\u672C", "Kassette \u00C4\u00D6 \u65E5\u672C.nvsound"},
                    FileNameCase{"Cafe\u0301 \u0661\u0662", "Cafe\u0301 \u0661\u0662.nvsound"}));

TEST(SoundProfile, SuggestedFileNameStaysWithinFileSystemLimits) {
    SoundProfile profile = SoundProfile::parse(text(minimalDocument())).profile;
    profile.name.clear();
    for (int i = 0; i < 300; ++i) profile.name += "\u00E9";
    std::string fileName = profile.suggestedFileName();
    EXPECT_LE(fileName.size(), 255u);
    EXPECT_EQ(fileName.substr(fileName.size() - 8), ".nvsound");
    EXPECT_EQ(fileName.substr(0, 4), "\u00E9\u00E9") << "cut between characters";
}

TEST(SoundProfile, FileType) {
    EXPECT_EQ(SoundProfile::fileExtension, "nvsound");
    EXPECT_EQ(SoundProfile::mimeType, "application/vnd.norvo.sound+json");
}

}  // namespace
}  // namespace norvo
