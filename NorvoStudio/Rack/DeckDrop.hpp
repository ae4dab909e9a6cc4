#pragma once
#include <QList>
#include <QUrl>
#include <filesystem>
#include <optional>

namespace norvo {

// Which dropped file the cassette well opens: the first local file that is a cassette
// or a sound profile (extension compared in lower case); the rest of the drop is ignored.
// The path is the one the URL encodes, byte for byte.
struct DeckDrop {
    static std::optional<std::filesystem::path> fileToOpen(const QList<QUrl>& urls);
};

}  // namespace norvo
