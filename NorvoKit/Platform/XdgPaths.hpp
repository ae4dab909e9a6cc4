#pragma once
#include <filesystem>
#include <optional>
#include <string_view>

namespace norvo {

// The user's base directories: $XDG_CACHE_HOME and $XDG_CONFIG_HOME, or their
// defaults under $HOME.
struct XdgPaths {
    static std::filesystem::path cacheHome();
    static std::filesystem::path configHome();

    // A folder that user-dirs.dirs in configHome() names ("MUSIC" for XDG_MUSIC_DIR),
    // byte for byte, or nothing when it names none. The file is read only when it is a
    // regular file: one that nobody writes to (a FIFO) is not waited for.
    static std::optional<std::filesystem::path> userDirectory(std::string_view name);
};

}  // namespace norvo
