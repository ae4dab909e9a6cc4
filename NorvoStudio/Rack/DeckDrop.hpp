#pragma once
#include <QList>
#include <QUrl>
#include <optional>

namespace norvo {

// Which dropped file the cassette well opens: the first local file that is a cassette
// or a sound profile (extension compared in lower case); the rest of the drop is ignored.
struct DeckDrop {
    static std::optional<QUrl> fileToOpen(const QList<QUrl>& urls);
};

}  // namespace norvo
