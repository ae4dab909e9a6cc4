#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QObject>
#include <QString>

class QLocalServer;

namespace norvo {

// One studio per user session. The first launch listens on a local socket in
// $XDG_RUNTIME_DIR; a later launch hands the documents it was given to that studio
// and exits, so the desktop's "open with" reaches the running window.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    // $XDG_RUNTIME_DIR/norvo-studio.socket; without a runtime directory a per-user
    // name in the temporary directory.
    static QString standardSocketPath();

    // Command-line arguments, as the bytes the system gave them, as absolute paths in
    // order (file: URLs are accepted too).
    static std::vector<std::filesystem::path> documentPaths(const std::vector<std::string>& arguments);

    // Sends the paths, byte for byte, to a running studio and waits for its receipt.
    // False when no studio answers; the caller then becomes the studio itself.
    static bool handOver(const QString& socketPath, const std::vector<std::filesystem::path>& paths,
                         int timeoutMs = 3000);

    // The hand-over message (without its length prefix) and its reading; a message that
    // is not exactly one well-formed list of absolute paths reads as nothing.
    static QByteArray encode(const std::vector<std::filesystem::path>& paths);
    static std::optional<std::vector<std::filesystem::path>> decode(const QByteArray& message);

    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Starts listening; a socket left behind by a studio that is gone is replaced.
    bool listen();
    QString errorString() const;

signals:
    // Paths handed over by a later launch, in the order it was given them.
    void documentsReceived(const std::vector<std::filesystem::path>& paths);

private:
    void accept();

    QString socketPath_;
    QLocalServer* server_;
};

}  // namespace norvo
