#include "NorvoStudioApp/PanelFolders.hpp"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "StudioModel/LocalPath.hpp"

namespace norvo {

namespace {

bool isFolder(const std::filesystem::path& path) { return path.is_absolute() && LocalPath::isDirectory(path); }

std::filesystem::path standardFolder(QStandardPaths::StandardLocation location) {
    // XDG_MUSIC_DIR and XDG_PICTURES_DIR from user-dirs.dirs, or ~/Music and ~/Pictures.
    const QString folder = QStandardPaths::writableLocation(location);
    return folder.isEmpty() ? std::filesystem::path() : LocalPath::fromBytes(QFile::encodeName(folder));
}

std::filesystem::path homeFolder() {
    return LocalPath::home(LocalPath::fromBytes(QFile::encodeName(QDir::homePath())));
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
    if (kind == Kind::audio) standard = standardFolder(QStandardPaths::MusicLocation);
    if (kind == Kind::artwork) standard = standardFolder(QStandardPaths::PicturesLocation);
    if (isFolder(standard)) return standard;
    return homeFolder();
}

void PanelFolders::chose(Kind kind, const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    if (!folder.is_absolute()) return;
    defaults_.setString(key(kind), LocalPath::url(folder).toEncoded().toStdString());
}

}  // namespace norvo
