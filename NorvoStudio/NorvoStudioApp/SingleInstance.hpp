#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace norvo {

class MainExecutor;

// One studio per user session. The first launch listens on a local socket in
// $XDG_RUNTIME_DIR; a later launch hands the documents it was given to that studio
// and exits, so the desktop's "open with" reaches the running window.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    // What became of a launch's documents.
    enum class HandOver {
        noStudio,    // nobody listens (or not as this user): the launch becomes the studio
        delivered,   // the running studio has them
        refused,     // a studio listens and turned them down
        unanswered,  // a studio listens and did not answer in time
    };

    // How long a launch has to deliver its whole list before the studio hangs up, and how
    // many launches are read at once: an idle connection must not hold a descriptor.
    static constexpr double deliverySeconds = 5;
    static constexpr int connectionsAtOnce = 8;
    // The longest path handed over (PATH_MAX): no longer one can be opened.
    static constexpr std::size_t longestPath = 4096;
    // What the studio holds of the lists still arriving, all launches together. A command
    // line carries at most 6 MiB, so no launch is given more documents than this; a path
    // made absolute grows by its folder, hence the room.
    static constexpr std::size_t heldPathsAtMost = std::size_t{1} << 20;
    static constexpr qint64 heldBytesAtMost = qint64{64} << 20;

    // $XDG_RUNTIME_DIR/norvo-studio.socket; without a runtime directory a per-user
    // name in the temporary directory.
    static QString standardSocketPath();

    // Command-line arguments, as the bytes the system gave them, as absolute paths in
    // order (file: URLs are accepted too).
    static std::vector<std::filesystem::path> documentPaths(const std::vector<std::string>& arguments);

    // Sends the paths, byte for byte, to a running studio, one message at a time, each
    // waited for (at most `timeoutMs`) until the studio has taken it; those leftOut() are
    // not sent. The studio opens them only once this launch has heard that it took the
    // whole list, so a launch that gives up waiting has opened nothing, ever.
    static HandOver handOver(const QString& socketPath, const std::vector<std::filesystem::path>& paths,
                             int timeoutMs = 3000);
    // The paths a hand-over leaves out, in order: longer than any path that can be opened.
    static std::vector<std::filesystem::path> leftOut(const std::vector<std::filesystem::path>& paths);

    // The messages that carry a list (without their length prefixes), in order: each
    // small enough for the studio to take, the last one marked as the last.
    static std::vector<QByteArray> encode(const std::vector<std::filesystem::path>& paths);
    struct Part {
        std::vector<std::filesystem::path> paths;
        bool last = true;
        bool operator==(const Part&) const = default;
    };
    // A message that is not exactly one well-formed part of a list of absolute paths
    // reads as nothing.
    static std::optional<Part> decode(const QByteArray& message);

    // `executor` times the connections out.
    SingleInstance(QString socketPath, MainExecutor& executor, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Starts listening; a socket left behind by a studio that is gone is replaced.
    bool listen();
    QString errorString() const;

signals:
    // Paths handed over by a later launch, in the order it was given them.
    void documentsReceived(const std::vector<std::filesystem::path>& paths);

private:
    struct Incoming;
    void takeWaiting();
    void serve(QLocalSocket* socket);
    void receive(QLocalSocket& socket, Incoming& incoming);
    void release(Incoming& incoming);

    QString socketPath_;
    MainExecutor& executor_;
    QLocalServer* server_;
    int open_ = 0;  // connections taken and not yet gone
    // Of the lists not yet handed on, all connections together.
    std::size_t heldPaths_ = 0;
    qint64 heldBytes_ = 0;
};

}  // namespace norvo
