#pragma once
#include <filesystem>
#include <string>

#include <QDateTime>
#include <QString>
#include <QUrl>

namespace norvo {

class ApplicationLifetime;

// The desktop's list of recently used files ($XDG_DATA_HOME/recently-used.xbel, the
// freedesktop bookmark format that file managers and file dialogs read). Other
// applications keep their entries in the same file, so it is rewritten whole with theirs
// carried over, through a temporary file that replaces it atomically.
class RecentDocuments {
public:
    static constexpr const char* applicationName = "Norvo Studio";
    static constexpr const char* applicationExec = "'norvo-studio %u'";

    // $XDG_DATA_HOME/recently-used.xbel, or ~/.local/share/recently-used.xbel.
    static QString standardLocation();

    // One file's entry, in UTF-8: made on the main thread, written on a worker that may
    // outlive the application, so it holds nothing of Qt.
    struct Entry {
        std::string href;
        std::string mimeType;
        std::string time;
    };
    static Entry entry(const QUrl& file, const QString& mimeType,
                       const QDateTime& now = QDateTime::currentDateTimeUtc());

    // Adds the file, or refreshes its entry (modified and visited times, this
    // application's count). A file that cannot be parsed is left as it is and
    // nothing is noted: it may hold other applications' history. The list is read and
    // written without Qt; the entry is merged in with Qt through `lifetime`, and once the
    // application has ended nothing is noted.
    static bool note(const std::filesystem::path& list, const Entry& entry, ApplicationLifetime& lifetime);
    static bool note(const QString& xbelPath, const QUrl& file, const QString& mimeType,
                     const QDateTime& now = QDateTime::currentDateTimeUtc());
};

}  // namespace norvo
