#pragma once
#include <QList>
#include <QUrl>
#include <filesystem>
#include <vector>

namespace norvo {

// Which dropped items the PROGRAM list takes: local files the player can play, in the
// order dropped. Folders are skipped (even one named like an audio file), and so is
// anything that is not a local file.
struct PlayerDrop {
    static std::vector<std::filesystem::path> playableFiles(const QList<QUrl>& urls);
};

}  // namespace norvo
