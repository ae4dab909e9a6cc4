#include "NorvoStudioApp/PanelFolders.hpp"

#include <QDir>
#include <QFile>

#include "Platform/XdgPaths.hpp"
#include "StudioModel/LocalPath.hpp"

namespace norvo {

namespace {

bool isFolder(const std::filesystem::path& path) { return path.is_absolute() && LocalPath::isDirectory(path); }

std::filesystem::path homeFolder() {
    return LocalPath::home(LocalPath::fromBytes(QFile::encodeName(QDir::homePath())));
}

// XDG_MUSIC_DIR or XDG_PICTURES_DIR from user-dirs.dirs, read by us rather than by
// QStandardPaths: it keeps a name that is not UTF-8, and a file there that never ends
// (a FIFO) cannot hold the panel, and with it the main thread.
std::filesystem::path standardFolder(std::string_view name, const char* fallback) {
    return XdgPaths::userDirectory(name).value_or(homeFolder() / fallback);
}

}  // namespace

PanelFolders::Kind PanelFolders::kindOf(StudioUi::FilePanel::Kind panel) {
    using Panel = StudioUi::FilePanel::Kind;
    switch (panel) {
    case Panel::addMusic: return Kind::audio;
    case Panel::openCassette:
    case Panel::saveCassette: return Kind::cassette;
    case Panel::importTapeSound:
    case Panel::exportTapeSound: return Kind::tapeSound;
    case Panel::chooseArtwork: return Kind::artwork;
    }
    return Kind::cassette;
}

std::string PanelFolders::key(Kind kind) {
    switch (kind) {
    case Kind::audio: return "NorvoStudio.panelFolder.audio";
    case Kind::cassette: return "NorvoStudio.panelFolder.cassette";
    case Kind::tapeSound: return "NorvoStudio.panelFolder.tapeSound";
    case Kind::artwork: return "NorvoStudio.panelFolder.artwork";
    }
    return {};
}

std::filesystem::path PanelFolders::startFolder(Kind kind) const {
    if (const auto stored = defaults_.string(key(kind))) {
        if (const auto folder = LocalPath::ofUrl(*stored); folder && isFolder(*folder)) return *folder;
    }
    std::filesystem::path standard;
    if (kind == Kind::audio) standard = standardFolder("MUSIC", "Music");
    if (kind == Kind::artwork) standard = standardFolder("PICTURES", "Pictures");
    if (isFolder(standard)) return standard;
    return homeFolder();
}

void PanelFolders::chose(Kind kind, const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    if (!folder.is_absolute()) return;
    defaults_.setString(key(kind), LocalPath::url(folder).toEncoded().toStdString());
}

}  // namespace norvo
