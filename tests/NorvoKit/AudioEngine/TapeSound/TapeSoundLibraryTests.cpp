#include <gtest/gtest.h>

#include <string>

#include "AudioEngine/TapeSound/SoundProfileError.hpp"
#include "AudioEngine/TapeSound/TapeSoundLibrary.hpp"

namespace norvo {
namespace {

const std::string selectedKey(TapeSoundLibrary::selectedKey);
const std::string importedKey(TapeSoundLibrary::importedKey);

std::string profileData(const std::string& id, const std::string& name = "Imported") {
    JSONValue document = JSONValue::Object{
        {"format", "NORVO-Sound"}, {"format_version", "1.0"}, {"id", id}, {"name", name}, {"x-extra", "kept"}};
    document["tape"]["hiss"]["level_db"] = -65;
    return document.serialized();
}

std::vector<std::string> importedIDs(const TapeSoundLibrary& library) {
    std::vector<std::string> ids;
    for (const auto& profile : library.imported) ids.push_back(profile.id);
    return ids;
}

class TapeSoundLibraryTest : public testing::Test {
protected:
    InMemoryDefaultsStore store;
};

TEST_F(TapeSoundLibraryTest, BuiltInsInTheirFixedOrder) {
    const char* expected[][2] = {
        {"builtin.studio-chrome", "Studio deck, chrome"},
        {"builtin.hifi-ferric", "Hi-fi deck, ferric"},
        {"builtin.car-stereo", "Car stereo"},
        {"builtin.portable-stereo", "Portable stereo"},
        {"builtin.bazaar-96", "Bazaar portable stereo \u201996"},
        {"builtin.attic-find", "Attic find"},
    };
    const auto& builtIns = TapeSoundLibrary::builtIns();
    ASSERT_EQ(builtIns.size(), 6u);
    for (std::size_t i = 0; i < builtIns.size(); ++i) {
        EXPECT_EQ(builtIns[i].id, expected[i][0]);
        EXPECT_EQ(builtIns[i].name, expected[i][1]);
    }
}

TEST_F(TapeSoundLibraryTest, BuiltInsAreRealDocumentsThatReadBackUnchanged) {
    for (const SoundProfile& builtIn : TapeSoundLibrary::builtIns()) {
        SCOPED_TRACE(builtIn.id);
        auto again = SoundProfile::parse(builtIn.encodedData());
        EXPECT_TRUE(again.warnings.empty());
        EXPECT_EQ(again.profile, builtIn);
        EXPECT_FALSE(builtIn.settings.isNeutral());
    }
}

TEST_F(TapeSoundLibraryTest, StartsCleanWithNothingStored) {
    TapeSoundLibrary library(store);
    EXPECT_FALSE(library.selected);
    EXPECT_EQ(library.selectedID(), "clean");
    EXPECT_TRUE(library.imported.empty());
    EXPECT_FALSE(store.value(selectedKey)) << "reading stores nothing";
}

TEST_F(TapeSoundLibraryTest, SelectFindsBuiltInsAndStoresTheResult) {
    TapeSoundLibrary library(store);
    library.select("builtin.car-stereo");
    ASSERT_TRUE(library.selected);
    EXPECT_EQ(library.selected->name, "Car stereo");
    EXPECT_EQ(store.string(selectedKey), "builtin.car-stereo");

    library.select("no.such.profile");
    EXPECT_FALSE(library.selected);
    EXPECT_EQ(store.string(selectedKey), "clean");
}

TEST_F(TapeSoundLibraryTest, ImportPutsTheProfileFirstSelectsAndStoresIt) {
    TapeSoundLibrary library(store);
    auto result = library.importProfile(profileData("org.example.one"));
    EXPECT_EQ(result.profile.id, "org.example.one");
    EXPECT_TRUE(result.warnings.empty());
    EXPECT_EQ(library.selectedID(), "org.example.one");
    EXPECT_EQ(store.string(selectedKey), "org.example.one");

    library.importProfile(profileData("org.example.two"));
    library.importProfile(profileData("org.example.one", "One again"));
    EXPECT_EQ(importedIDs(library), (std::vector<std::string>{"org.example.one", "org.example.two"}));
    EXPECT_EQ(library.imported[0].name, "One again");

    auto stored = JSONValue::parse(store.string(importedKey).value_or(""));
    ASSERT_TRUE(stored && stored->array());
    ASSERT_EQ(stored->array()->size(), 2u);
    ASSERT_TRUE((*stored->array())[0].string());
    EXPECT_EQ(JSONValue::parse(*(*stored->array())[0].string()), library.imported[0].document);
}

// A profile whose "x-extra" holds arrays nested `depth` deep.
std::string nestedProfile(const std::string& id, int depth) {
    std::string data = profileData(id);
    data.pop_back();  // the closing brace
    return data + ", \"x-deep\": " + std::string(depth, '[') + std::string(depth, ']') + "}";
}

TEST_F(TapeSoundLibraryTest, AStoredProfileThatNoLongerReadsIsDroppedAlone) {
    TapeSoundLibrary library(store);
    library.importProfile(profileData("org.example.one"));
    library.importProfile(nestedProfile("org.example.nested", 100));
    library.importProfile(profileData("org.example.two"));
    EXPECT_EQ(importedIDs(TapeSoundLibrary(store)),
              (std::vector<std::string>{"org.example.two", "org.example.nested", "org.example.one"}));

    // An entry nested deeper than the reader goes (written by some other build) spoils
    // nothing but itself.
    auto stored = *JSONValue::parse(*store.data(importedKey));
    stored.array()->insert(stored.array()->begin() + 1, JSONValue(nestedProfile("org.example.deep", 600)));
    store.setData(importedKey, stored.compact());
    EXPECT_EQ(importedIDs(TapeSoundLibrary(store)),
              (std::vector<std::string>{"org.example.two", "org.example.nested", "org.example.one"}));
}

TEST_F(TapeSoundLibraryTest, AProfileWhoseExportWouldBeRefusedIsRefusedAtImportSayingWhy) {
    // Under 64 KiB as given, well over it once exported pretty-printed.
    JSONValue wide = *JSONValue::parse(profileData("org.example.wide"));
    wide["x-list"] = JSONValue::Array(20000, JSONValue(0.0));
    const std::string data = wide.compact();
    ASSERT_LT(data.size(), SoundProfile::maximumSize);
    // About 1 KB, just under the reader's nesting limit: its size is not what is wrong.
    const std::string deep = nestedProfile("org.example.deep", JSONValue::maximumDepth - 1);
    ASSERT_TRUE(JSONValue::parse(deep));
    ASSERT_LT(deep.size(), 2000u);
    // One level more than a profile may have (its own object is the first).
    const std::string justTooDeep = nestedProfile("org.example.deeper", TapeSoundLibrary::maximumNesting);

    TapeSoundLibrary library(store);
    library.importProfile(profileData("org.example.kept"));
    const auto storedBefore = store.data(importedKey);
    struct Refusal {
        const std::string& data;
        const char* sentence;
    };
    for (const Refusal& refused : {Refusal{data, "The profile is larger than 64 KiB"},
                                   Refusal{deep, "The profile is nested more than 128 levels deep"},
                                   Refusal{justTooDeep, "The profile is nested more than 128 levels deep"}}) {
        try {
            library.importProfile(refused.data);
            ADD_FAILURE() << "imported: " << refused.sentence;
        } catch (const SoundProfileError& error) {
            EXPECT_STREQ(error.what(), refused.sentence);
        }
    }
    EXPECT_EQ(importedIDs(library), (std::vector<std::string>{"org.example.kept"}));
    EXPECT_EQ(store.data(importedKey), storedBefore);
    EXPECT_EQ(importedIDs(TapeSoundLibrary(store)), (std::vector<std::string>{"org.example.kept"}));

    library.importProfile(nestedProfile("org.example.deepest", TapeSoundLibrary::maximumNesting - 1));
    EXPECT_EQ(library.selectedID(), "org.example.deepest") << "nested as deep as a profile may be";
}

TEST_F(TapeSoundLibraryTest, ImportReturnsWarningsInOrder) {
    JSONValue document = *JSONValue::parse(profileData("org.example.loud"));
    document["tape"]["saturation"]["drive_db"] = 40;
    document["tape"]["wow"]["rate_hz"] = "fast";
    TapeSoundLibrary library(store);
    auto result = library.importProfile(document.serialized());
    ASSERT_EQ(result.warnings.size(), 2u);
    EXPECT_EQ(result.warnings[0].path, "tape.saturation.drive_db");
    EXPECT_EQ(result.warnings[1].path, "tape.wow.rate_hz");
    EXPECT_EQ(library.selectedID(), "org.example.loud");
}

TEST_F(TapeSoundLibraryTest, RefusedImportChangesNothing) {
    TapeSoundLibrary library(store);
    library.importProfile(profileData("org.example.one"));
    library.select("builtin.attic-find");
    const TapeSoundLibrary before = library;
    auto storedBefore = store.string(importedKey);

    try {
        library.importProfile(profileData("builtin.hifi-ferric"));
        FAIL() << "a built-in id was accepted";
    } catch (const SoundProfileError& error) {
        EXPECT_EQ(error.issue, SoundIssue::error("id", "This id belongs to a built-in profile"));
        EXPECT_STREQ(error.what(), "This id belongs to a built-in profile");
    }
    EXPECT_THROW(library.importProfile("not json"), SoundProfileError);

    EXPECT_EQ(library, before);
    EXPECT_EQ(store.string(importedKey), storedBefore);
    EXPECT_EQ(store.string(selectedKey), "builtin.attic-find");
}

TEST_F(TapeSoundLibraryTest, TheTwentyFirstImportDropsTheOldest) {
    TapeSoundLibrary library(store);
    for (int i = 1; i <= 21; ++i) library.importProfile(profileData("org.example." + std::to_string(i)));
    ASSERT_EQ(library.imported.size(), 20u);
    EXPECT_EQ(library.imported.front().id, "org.example.21");
    EXPECT_EQ(library.imported.back().id, "org.example.2");
    EXPECT_EQ(TapeSoundLibrary(store).imported.size(), 20u);
}

TEST_F(TapeSoundLibraryTest, RemovingTheSelectedProfileSelectsClean) {
    TapeSoundLibrary library(store);
    library.importProfile(profileData("org.example.one"));
    library.importProfile(profileData("org.example.two"));

    library.remove("org.example.one");
    EXPECT_EQ(library.selectedID(), "org.example.two") << "another profile's removal keeps the selection";
    EXPECT_EQ(importedIDs(library), (std::vector<std::string>{"org.example.two"}));

    library.remove("org.example.two");
    EXPECT_FALSE(library.selected);
    EXPECT_TRUE(library.imported.empty());
    EXPECT_EQ(store.string(selectedKey), "clean");
    EXPECT_EQ(store.string(importedKey), "[]");
}

TEST_F(TapeSoundLibraryTest, PersistsAcrossANewLibraryOnTheSameStore) {
    {
        TapeSoundLibrary library(store);
        library.importProfile(profileData("org.example.one"));
        library.importProfile(profileData("org.example.two"));
        library.select("org.example.one");
    }
    TapeSoundLibrary reopened(store);
    EXPECT_EQ(importedIDs(reopened), (std::vector<std::string>{"org.example.two", "org.example.one"}));
    ASSERT_TRUE(reopened.selected);
    EXPECT_EQ(reopened.selected->id, "org.example.one");
    EXPECT_EQ(reopened.selected->document.find("x-extra")->string()
                  ? *reopened.selected->document.find("x-extra")->string()
                  : "",
              "kept");

    reopened.select("builtin.bazaar-96");
    EXPECT_EQ(TapeSoundLibrary(store).selectedID(), "builtin.bazaar-96");
}

TEST_F(TapeSoundLibraryTest, DropsStoredEntriesThatNoLongerReadOrClashWithBuiltIns) {
    JSONValue good = *JSONValue::parse(profileData("org.example.good"));
    JSONValue clash = *JSONValue::parse(profileData("builtin.car-stereo"));
    JSONValue bad = good;
    bad["format_version"] = "9.0";
    JSONValue stored = JSONValue::Array{bad, "junk", clash, good, good};
    store.setData(importedKey, stored.compact());
    store.setString(selectedKey, "org.example.missing");

    TapeSoundLibrary library(store);
    EXPECT_EQ(importedIDs(library), (std::vector<std::string>{"org.example.good"}));
    EXPECT_FALSE(library.selected) << "a selection naming no profile reads as clean";

    store.setData(importedKey, "{not json");
    EXPECT_TRUE(TapeSoundLibrary(store).imported.empty());
}

TEST_F(TapeSoundLibraryTest, EqualityIgnoresTheStore) {
    InMemoryDefaultsStore otherStore;
    TapeSoundLibrary a(store);
    TapeSoundLibrary b(otherStore);
    EXPECT_EQ(a, b);
    b.select("builtin.studio-chrome");
    EXPECT_NE(a, b);
}

}  // namespace
}  // namespace norvo
