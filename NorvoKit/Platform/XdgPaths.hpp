#pragma once
#include <filesystem>

namespace norvo {

// The user's base directories: $XDG_CACHE_HOME and $XDG_CONFIG_HOME, or their
// defaults under $HOME.
struct XdgPaths {
    static std::filesystem::path cacheHome();
    static std::filesystem::path configHome();
};

}  // namespace norvo
