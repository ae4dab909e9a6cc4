#include <gtest/gtest.h>

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <fstream>

#include "NorvoStudio/Support/StudioFixture.hpp"
#include "Rack/TapeSoundMenuItems.hpp"

namespace norvo {
namespace {

using test::StudioFixture;

// The menu as the user reads it: a title per row, "(x)" on the checked row, "----" for a
// separator, "disabled" where it cannot be chosen, submenus indented.
std::vector<std::string> lines(QMenu& menu, const std::string& indent = "") {
    std::vector<std::string> out;
    for (QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            out.push_back(indent + "----");
            continue;
        }
        std::string line = indent + action->text().toStdString();
        if (action->isChecked()) line += " (x)";
        if (!action->isEnabled()) line += " disabled";
        out.push_back(line);
        if (action->menu()) {
            auto inner = lines(*action->menu(), indent + "  ");
            out.insert(out.end(), inner.begin(), inner.end());
        }
    }
    return out;
}

QAction* row(QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions()) {
        if (action->text() == text) return action;
    }
    return nullptr;
}

class TapeSoundMenuItemsTest : public ::testing::Test {
protected:
    TapeSoundMenuItemsTest() { TapeSoundMenuItems::attach(menu, *studio); }

    // Opening the menu rebuilds it from the model.
    std::vector<std::string> open() {
        emit menu.aboutToShow();
        return lines(menu);
    }
    std::filesystem::path profile(const std::string& id, const std::string& name) {
        const SoundProfile& base = TapeSoundLibrary::builtIns().front();
        std::string text = base.encodedData();
        text.replace(text.find("\"" + base.id + "\""), base.id.size() + 2, "\"" + id + "\"");
        text.replace(text.find("\"" + base.name + "\""), base.name.size() + 2, "\"" + name + "\"");
        const auto file = studio.directory / (id + ".nvsound");
        std::ofstream(file, std::ios::binary) << text;
        return file;
    }

    StudioFixture studio;
    QMenu menu;
};

const std::vector<std::string> builtInRows = {
    "Studio deck, chrome", "Hi-fi deck, ferric", "Car stereo", "Portable stereo", "Bazaar portable stereo \u201996",
    "Attic find"};

TEST_F(TapeSoundMenuItemsTest, WithoutImportsCleanIsCheckedAndExportIsDisabled) {
    std::vector<std::string> expected = {"Clean (x)", "----"};
    expected.insert(expected.end(), builtInRows.begin(), builtInRows.end());
    expected.insert(expected.end(), {"----", "Import Tape Sound\u2026", "Export \u201cClean\u201d\u2026 disabled"});
    EXPECT_EQ(open(), expected);
}

TEST_F(TapeSoundMenuItemsTest, ChoosingARowSelectsItsProfileAndChoosingItAgainChangesNothing) {
    open();
    row(menu, "Car stereo")->trigger();
    EXPECT_EQ(studio->tapeSounds().library().selectedID(), "builtin.car-stereo");
    const auto menuAfterChoice = open();
    EXPECT_EQ(menuAfterChoice[4], "Car stereo (x)");
    EXPECT_EQ(menuAfterChoice[0], "Clean");
    EXPECT_EQ(menuAfterChoice.back(), "Export \u201cCar stereo\u201d\u2026");

    const auto stored = studio.defaults.value(std::string(TapeSoundLibrary::selectedKey));
    studio.defaults.remove(std::string(TapeSoundLibrary::selectedKey));
    row(menu, "Car stereo")->trigger();
    EXPECT_FALSE(studio.defaults.value(std::string(TapeSoundLibrary::selectedKey)).has_value())
        << "the checked row chosen again stores nothing";
    EXPECT_TRUE(stored.has_value());
    EXPECT_EQ(studio->tapeSounds().library().selectedID(), "builtin.car-stereo");
}

TEST_F(TapeSoundMenuItemsTest, ImportedProfilesFormTheirOwnSectionAndCanBeRemoved) {
    studio->tapeSounds().importProfile(profile("older", "Older"));
    studio->tapeSounds().importProfile(profile("rock", "Rock & Roll"));
    auto shown = open();
    std::vector<std::string> expected = {"Clean", "----"};
    expected.insert(expected.end(), builtInRows.begin(), builtInRows.end());
    expected.insert(expected.end(),
                    {"----", "Rock && Roll (x)", "Older", "----", "Import Tape Sound\u2026",
                     "Export \u201cRock && Roll\u201d\u2026", "Remove Imported", "  Rock && Roll", "  Older"});
    EXPECT_EQ(shown, expected);

    // Removing the checked profile moves the check to Clean.
    QMenu* remove = row(menu, "Remove Imported")->menu();
    ASSERT_NE(remove, nullptr);
    remove->actions().at(0)->trigger();
    EXPECT_EQ(studio->tapeSounds().library().selectedID(), "clean");
    shown = open();
    EXPECT_EQ(shown[0], "Clean (x)");
    EXPECT_EQ(shown[9], "Older");

    row(*row(menu, "Remove Imported")->menu(), "Older")->trigger();
    shown = open();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "Remove Imported"), 0);
    EXPECT_EQ(shown.size(), 11u) << "the imported section is gone with its last profile";
}

TEST_F(TapeSoundMenuItemsTest, TwoMenusFilledFromOneModelAgree) {
    QMenu faceMenu;
    TapeSoundMenuItems::attach(faceMenu, *studio);
    studio->tapeSounds().select("builtin.car-stereo");
    emit faceMenu.aboutToShow();
    EXPECT_EQ(lines(faceMenu), open());
    EXPECT_EQ(faceMenu.findChildren<QActionGroup*>().size(), 1u) << "rebuilding leaves no stale groups";
}

}  // namespace
}  // namespace norvo
