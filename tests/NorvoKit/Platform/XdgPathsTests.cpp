#include "Platform/XdgPaths.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "Support/ScopedEnvironment.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

using test::ScopedEnvironment;

TEST(XdgPaths, AbsoluteVariablesWin) {
    ScopedEnvironment cache("XDG_CACHE_HOME", "/var/tmp/cache");
    ScopedEnvironment config("XDG_CONFIG_HOME", "/var/tmp/config");
    EXPECT_EQ(XdgPaths::cacheHome(), "/var/tmp/cache");
    EXPECT_EQ(XdgPaths::configHome(), "/var/tmp/config");
}

TEST(XdgPaths, RelativeOrMissingVariablesFallBackToHome) {
    ScopedEnvironment home("HOME", "/home/listener");
    ScopedEnvironment cache("XDG_CACHE_HOME", "relative/cache");
    ScopedEnvironment config("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(XdgPaths::cacheHome(), "/home/listener/.cache");
    EXPECT_EQ(XdgPaths::configHome(), "/home/listener/.config");
}

TEST(XdgPaths, UserDirectoriesAreReadAsTheShellReadsThemAndByteForByte) {
    test::TemporaryDirectory config;
    ScopedEnvironment home("HOME", "/home/listener");
    ScopedEnvironment configHome("XDG_CONFIG_HOME", config.path().c_str());
    std::ofstream(config.path() / "user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                       "XDG_MUSIC_DIR=\"$HOME/Old\"\n"
                                                       "  XDG_MUSIC_DIR=\"$HOME/Tunes/\"\n"
                                                       "XDG_PICTURES_DIR=\"/srv/Caf\xe9 \\\"Pics\\\"\"\n"
                                                       "XDG_DESKTOP_DIR=\"$HOME\"\n"
                                                       "XDG_VIDEOS_DIR=\"Videos\"\n"
                                                       "XDG_DOWNLOAD_DIR=\"$HOME/Down";
    EXPECT_EQ(XdgPaths::userDirectory("MUSIC"), "/home/listener/Tunes") << "the last assignment counts";
    EXPECT_EQ(XdgPaths::userDirectory("PICTURES"), "/srv/Caf\xe9 \"Pics\"");
    EXPECT_EQ(XdgPaths::userDirectory("DESKTOP"), "/home/listener");
    EXPECT_EQ(XdgPaths::userDirectory("VIDEOS"), std::nullopt) << "neither $HOME nor absolute";
    EXPECT_EQ(XdgPaths::userDirectory("DOWNLOAD"), std::nullopt) << "no closing quote";
    EXPECT_EQ(XdgPaths::userDirectory("TEMPLATES"), std::nullopt);
}

}  // namespace
}  // namespace norvo
