#include "Platform/XdgPaths.hpp"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace norvo {

namespace {

std::filesystem::path home() {
    if (const char* h = std::getenv("HOME"); h && *h) return h;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return std::filesystem::temp_directory_path();
}

std::filesystem::path fromEnvironment(const char* name, const char* fallback) {
    // Only absolute paths count, as the base directory rules say.
    if (const char* value = std::getenv(name); value && value[0] == '/') return value;
    return home() / fallback;
}

}  // namespace

std::filesystem::path XdgPaths::cacheHome() { return fromEnvironment("XDG_CACHE_HOME", ".cache"); }

std::filesystem::path XdgPaths::configHome() { return fromEnvironment("XDG_CONFIG_HOME", ".config"); }

}  // namespace norvo
