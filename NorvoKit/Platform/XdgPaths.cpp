#include "Platform/XdgPaths.hpp"

#include <cstdlib>
#include <pwd.h>
#include <string>
#include <unistd.h>

#include "Platform/RegularFile.hpp"

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

// The value of a line `XDG_<NAME>_DIR="..."`, as the shell would read it: what stands
// between the quotes, a backslash taken off the character it escapes.
std::optional<std::string> assignedValue(std::string_view line, std::string_view key) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) return std::nullopt;
    line.remove_prefix(start);
    if (line.substr(0, key.size()) != key || line.substr(key.size(), 2) != "=\"") return std::nullopt;
    line.remove_prefix(key.size() + 2);
    std::string value;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') return value;
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        value += line[i];
    }
    return std::nullopt;  // no closing quote
}

}  // namespace

std::filesystem::path XdgPaths::cacheHome() { return fromEnvironment("XDG_CACHE_HOME", ".cache"); }

std::filesystem::path XdgPaths::configHome() { return fromEnvironment("XDG_CONFIG_HOME", ".config"); }

std::optional<std::filesystem::path> XdgPaths::userDirectory(std::string_view name) {
    RegularFile file(configHome() / "user-dirs.dirs");
    const auto text = file.read(64 * 1024);
    if (!text) return std::nullopt;
    const std::string key = "XDG_" + std::string(name) + "_DIR";
    std::optional<std::string> value;
    // As in the shell, the last assignment counts.
    for (std::size_t start = 0; start < text->size();) {
        std::size_t end = text->find('\n', start);
        if (end == std::string::npos) end = text->size();
        if (auto assigned = assignedValue(std::string_view(*text).substr(start, end - start), key)) value = assigned;
        start = end + 1;
    }
    if (!value) return std::nullopt;
    while (value->size() > 1 && value->back() == '/') value->pop_back();
    // Only $HOME/... and absolute paths mean a folder.
    if (*value == "$HOME") return home();
    if (value->rfind("$HOME/", 0) == 0) return home() / value->substr(6);
    if (value->rfind('/', 0) == 0) return std::filesystem::path(*value);
    return std::nullopt;
}

}  // namespace norvo
