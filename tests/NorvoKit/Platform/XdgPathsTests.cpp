#include "Platform/XdgPaths.hpp"

#include <gtest/gtest.h>

#include "Support/ScopedEnvironment.hpp"

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

}  // namespace
}  // namespace norvo
