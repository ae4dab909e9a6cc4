#include <gtest/gtest.h>

#include <map>
#include <set>

#include "StudioModel/StudioCommands.hpp"

namespace norvo {
namespace {

TEST(StudioCommandsShortcuts, NoTwoCommandsShareAChordAndNoneIsOneTheDesktopTakes) {
    const std::set<QString> desktopChords = {"Ctrl+Alt+T",     "Ctrl+Alt+D",  "Ctrl+Alt+Del", "Ctrl+Alt+Left",
                                             "Ctrl+Alt+Right", "Ctrl+Alt+Up", "Ctrl+Alt+Down"};
    std::map<QString, int> seen;
    for (int i = 0; i < StudioCommands::idCount; ++i) {
        const QString chord = StudioCommands::shortcut(static_cast<StudioCommands::Id>(i)).toString();
        if (chord.isEmpty()) continue;
        EXPECT_EQ(desktopChords.count(chord), 0u) << chord.toStdString();
        EXPECT_EQ(seen.count(chord), 0u) << chord.toStdString() << " is bound twice";
        seen[chord] = i;
    }
    EXPECT_EQ(seen.size(), 27u);
}

TEST(StudioCommandsShortcuts, HelpTextsNameTheBindingAsTheDesktopWritesIt) {
    EXPECT_EQ(StudioCommands::shortcutText(StudioCommands::Id::ejectCassette), "Ctrl+E");
    EXPECT_EQ(StudioCommands::helpText("Switch the tuner on", StudioCommands::Id::tunerPower),
              "Switch the tuner on (Ctrl+Shift+T)");
    EXPECT_EQ(StudioCommands::helpText("Reset the counter", StudioCommands::Id::resetCounter), "Reset the counter");
}

}  // namespace
}  // namespace norvo
