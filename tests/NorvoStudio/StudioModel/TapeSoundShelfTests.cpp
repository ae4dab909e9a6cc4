#include <fstream>
#include <iterator>

#include <QSignalSpy>
#include <gtest/gtest.h>

#include "AudioEngine/TapeSound/SoundProfile.hpp"
#include "NorvoStudio/Support/StudioFixture.hpp"
#include "Support/Fifo.hpp"

namespace norvo {
namespace {

using test::StudioFixture;

std::string profileJSON(const std::string& id, const std::string& name, const std::string& tape = "{}") {
    return R"({"format": "NORVO-Sound", "format_version": "1.0", "id": ")" + id + R"(", "name": ")" + name +
           R"(", "tape": )" + tape + "}";
}

class StudioTapeSoundTest : public ::testing::Test {
protected:
    std::filesystem::path writeProfile(const std::string& file, const std::string& text) {
        const auto path = f.directory / file;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::optional<std::string> storedSelection() {
        return f.defaults.string(std::string(TapeSoundLibrary::selectedKey));
    }
    std::string readFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    StudioFixture f;
};

TEST_F(StudioTapeSoundTest, SelectingTheSelectedEntryChangesNothingNotEvenTheStoredSelection) {
    QSignalSpy changes(f.model.get(), &StudioModel::tapeSoundChanged);
    f->tapeSounds().select("clean");
    EXPECT_EQ(changes.count(), 0);
    EXPECT_FALSE(storedSelection());

    const std::string builtIn = TapeSoundLibrary::builtIns()[2].id;
    f->tapeSounds().select(builtIn);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(storedSelection(), builtIn);
    f->tapeSounds().select(builtIn);
    EXPECT_EQ(changes.count(), 1);

    f->tapeSounds().select("clean");
    EXPECT_EQ(storedSelection(), "clean");
    EXPECT_FALSE(f->tapeSounds().library().selected);
}

TEST_F(StudioTapeSoundTest, ABuiltInIdIsRefusedAndTheSelectionKept) {
    const std::string builtIn = TapeSoundLibrary::builtIns()[1].id;
    f->tapeSounds().select(TapeSoundLibrary::builtIns()[3].id);
    f->open(writeProfile("Clash.nvsound", profileJSON(builtIn, "Mine")));  // before start: queued
    f.start();
    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, "Cannot use this tape sound");
    EXPECT_EQ(f->alerts().shown()->message, "This id belongs to a built-in profile");
    EXPECT_EQ(f->tapeSounds().library().selectedID(), TapeSoundLibrary::builtIns()[3].id);
    EXPECT_TRUE(f->tapeSounds().library().imported.empty());
}

TEST_F(StudioTapeSoundTest, WarningsAreListedInOneAlertAndTheProfileIsSelected) {
    const std::string text =
        profileJSON("user.warm", "Warm & Worn",
                    R"({"hiss": {"level_db": "loud"}, "saturation": {"drive_db": 99}, "wow": {"bogus": 1}})");
    const auto parsed = SoundProfile::parse(text);
    ASSERT_EQ(parsed.warnings.size(), 3u);
    f.ui.openAnswers.push_back({writeProfile("Warm.nvsound", text)});
    f->tapeSounds().chooseToImport();
    ASSERT_EQ(f.ui.openPanels.size(), 1u);
    EXPECT_EQ(f.ui.openPanels[0].message, "Choose a NORVO Sound profile (.nvsound)");
    EXPECT_EQ(f.ui.openPanels[0].nameFilters, QStringList{"Tape Sound (*.nvsound)"});

    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, "\u201CWarm & Worn\u201D was adjusted");
    QString expected = "Some values were ignored or brought into range:";
    for (const auto& issue : parsed.warnings)
        expected += QString::fromStdString("\n\u2022 " + issue.path + ": " + issue.message);
    EXPECT_EQ(f->alerts().shown()->message, expected);
    EXPECT_EQ(f->tapeSounds().library().selectedID(), "user.warm");
}

TEST_F(StudioTapeSoundTest, NamesFromTheFileCannotReorderTheAlert) {
    const std::string text = profileJSON("user.evil", "Warm\u202E Worn", R"({"wow": {"bo\u2067gus": 1}})");
    f->tapeSounds().importProfile(writeProfile("evil.nvsound", text));
    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, QStringLiteral("\u201CWarm\\u202E Worn\u201D was adjusted"));
    EXPECT_EQ(f->alerts().shown()->message, QStringLiteral("Some values were ignored or brought into range:\n"
                                                           "\u2022 tape.wow.bo\\u2067gus: Unknown setting; ignored"));
}

TEST_F(StudioTapeSoundTest, TheTwentyFirstImportDropsTheOldestAndRemovingTheSelectedFallsBackToClean) {
    for (int i = 1; i <= 21; ++i)
        f->tapeSounds().importProfile(writeProfile("p" + std::to_string(i) + ".nvsound",
                                                   profileJSON("user." + std::to_string(i),
                                                               "Profile " + std::to_string(i))));
    const auto& imported = f->tapeSounds().library().imported;
    ASSERT_EQ(imported.size(), 20u);
    EXPECT_EQ(imported.front().id, "user.21");
    EXPECT_EQ(imported.back().id, "user.2");
    EXPECT_FALSE(f->alerts().shown());

    f->tapeSounds().removeImported("user.5");
    EXPECT_EQ(f->tapeSounds().library().selectedID(), "user.21");
    f->tapeSounds().removeImported("user.21");
    EXPECT_EQ(f->tapeSounds().library().selectedID(), "clean");
    EXPECT_EQ(storedSelection(), "clean");
    EXPECT_EQ(f->tapeSounds().library().imported.size(), 18u);
}

TEST_F(StudioTapeSoundTest, AnUnreadableOrOversizedFileIsRefused) {
    f->tapeSounds().importProfile(f.directory / "missing.nvsound");
    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, "Cannot use this tape sound");
    EXPECT_EQ(f->alerts().shown()->message, "\u201Cmissing.nvsound\u201D cannot be found");
    f->tapeSounds().importProfile(f.directory / "bad\n\u202Elive.nvsound");
    EXPECT_EQ(f->alerts().shown()->message, "\u201Cbad\\x0A\\u202Elive.nvsound\u201D cannot be found") << "escaped";

    // A FIFO nobody writes to would hold the studio for ever.
    const test::Fifo fifo(f.directory / "fifo.nvsound");
    std::filesystem::create_directory(f.directory / "folder.nvsound");
    for (const char* name : {"fifo.nvsound", "folder.nvsound"}) {
        f->alerts().dismiss();
        EXPECT_TRUE(fifo.returnsPromptly([&] { f->tapeSounds().importProfile(f.directory / name); })) << name;
        ASSERT_TRUE(f->alerts().shown()) << name;
        EXPECT_EQ(f->alerts().shown()->message, QStringLiteral("\u201C%1\u201D is not a regular file").arg(name));
    }

    std::string large = profileJSON("user.big", "Big");
    large.insert(large.size() - 1, std::string(70000, ' '));
    f->tapeSounds().importProfile(writeProfile("big.nvsound", large));
    EXPECT_EQ(f->alerts().shown()->message, "The profile is larger than 64 KiB");
    EXPECT_TRUE(f->tapeSounds().library().imported.empty());
}

TEST_F(StudioTapeSoundTest, ABuiltInExportsItsWholeDocumentAndItsReimportClashes) {
    f->tapeSounds().exportSelected();  // clean: no panel
    EXPECT_TRUE(f.ui.savePanels.empty());

    const SoundProfile& builtIn = TapeSoundLibrary::builtIns()[4];
    f->tapeSounds().select(builtIn.id);
    const auto target = f.directory / "Caf\xe9 export.nvsound";  // written and read again by its Latin-1 bytes
    f.ui.saveAnswers.push_back(target);
    f->tapeSounds().exportSelected();
    ASSERT_EQ(f.ui.savePanels.size(), 1u);
    EXPECT_EQ(f.ui.savePanels[0].proposedName.toStdString(), builtIn.suggestedFileName());
    EXPECT_TRUE(f.ui.savePanels[0].canCreateDirectories);
    EXPECT_EQ(readFile(target), builtIn.encodedData());
    EXPECT_FALSE(f->alerts().shown());

    f->tapeSounds().importProfile(target);
    EXPECT_EQ(f->alerts().shown()->message, "This id belongs to a built-in profile");

    // A target that cannot be written keeps what was there.
    f.ui.saveAnswers.push_back(f.directory / "no such folder" / "x.nvsound");
    f->tapeSounds().exportSelected();
    EXPECT_EQ(f->alerts().shown()->title, "Cannot export the tape sound");
}

}  // namespace
}  // namespace norvo
