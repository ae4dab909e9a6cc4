#include "NorvoStudioApp/SingleInstance.hpp"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <utility>

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include "Platform/MainExecutor.hpp"
#include "StudioModel/LocalPath.hpp"

namespace norvo {

namespace {

// Paths travel as bytes. A list goes in as many messages as it needs, each bounded; all
// but the last are marked as parts, so a list of one message reads as it always did.
constexpr quint32 lastMessageMagic = 0x4e565332;  // "NVS2": a whole list, or its last part
constexpr quint32 partMagic = 0x4e56532b;         // "NVS+": a part, more to follow
constexpr qint64 maximumMessage = 1 << 20;
constexpr quint32 maximumPaths = 4096;  // in one message
// Connections the server has accepted and none of ours has taken yet; the rest wait in
// the system's backlog, holding none of the studio's descriptors.
constexpr int waitingAtOnce = 4;
constexpr char receipt = 'k';
constexpr char refusal = 'r';
// The launch's last word: it has the studio's receipt for the whole list, and says so.
constexpr char confirmation = 'y';

// Only a studio of this user gets the documents: without a runtime directory the socket
// lives in the shared temporary directory, where anyone could have put one.
bool ownedByThisUser(const QLocalSocket& socket) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return false;
    return peer.uid == getuid();
}

}  // namespace

QString SingleInstance::standardSocketPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/norvo-studio.socket");
    return QDir::tempPath() + QStringLiteral("/norvo-studio-%1.socket").arg(getuid());
}

std::vector<std::filesystem::path> SingleInstance::documentPaths(const std::vector<std::string>& arguments) {
    std::vector<std::filesystem::path> paths;
    for (const std::string& argument : arguments) {
        if (argument.empty()) continue;
        if (argument.starts_with("file:")) {
            if (auto path = LocalPath::ofUrl(argument)) paths.push_back(std::move(*path));
            continue;
        }
        std::error_code error;
        std::filesystem::path absolute = std::filesystem::absolute(argument, error);
        paths.push_back(error ? std::filesystem::path(argument) : std::move(absolute));
    }
    return paths;
}

std::vector<QByteArray> SingleInstance::encode(const std::vector<std::filesystem::path>& paths) {
    std::vector<QByteArray> messages;
    std::size_t next = 0;
    do {
        std::size_t end = next;
        qint64 size = 8;  // the magic and the count
        while (end < paths.size() && end - next < maximumPaths) {
            const qint64 more = 4 + qint64(paths[end].native().size());
            if (end > next && size + more > maximumMessage) break;
            size += more;
            ++end;
        }
        QByteArray message;
        QDataStream out(&message, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out << (end == paths.size() ? lastMessageMagic : partMagic) << quint32(end - next);
        for (std::size_t i = next; i < end; ++i) out << LocalPath::bytes(paths[i]);
        messages.push_back(std::move(message));
        next = end;
    } while (next < paths.size());
    return messages;
}

std::optional<SingleInstance::Part> SingleInstance::decode(const QByteArray& message) {
    QDataStream in(message);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    quint32 count = 0;
    in >> magic >> count;
    if (in.status() != QDataStream::Ok || (magic != lastMessageMagic && magic != partMagic) || count > maximumPaths)
        return std::nullopt;
    Part part;
    part.last = magic == lastMessageMagic;
    part.paths.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        // The length is checked before the bytes are taken: a hostile length asks for nothing.
        quint32 length = 0;
        in >> length;
        if (in.status() != QDataStream::Ok || length == 0 || length > quint32(longestPath)) return std::nullopt;
        QByteArray bytes(qsizetype(length), Qt::Uninitialized);
        if (in.readRawData(bytes.data(), int(length)) != int(length)) return std::nullopt;
        if (bytes.front() != '/' || bytes.contains('\0')) return std::nullopt;
        part.paths.push_back(LocalPath::fromBytes(bytes));
    }
    if (!in.atEnd()) return std::nullopt;
    return part;
}

SingleInstance::HandOver SingleInstance::handOver(const QString& socketPath,
                                                  const std::vector<std::filesystem::path>& paths, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs)) {
        // Still connecting: a studio listens, but its backlog is full.
        return socket.state() == QLocalSocket::ConnectingState ? HandOver::unanswered : HandOver::noStudio;
    }
    if (!ownedByThisUser(socket)) return HandOver::noStudio;
    std::vector<std::filesystem::path> sent;
    sent.reserve(paths.size());
    std::copy_if(paths.begin(), paths.end(), std::back_inserter(sent),
                 [](const std::filesystem::path& path) { return path.native().size() <= longestPath; });
    for (const QByteArray& message : encode(sent)) {
        QByteArray framed;
        {
            QDataStream out(&framed, QIODevice::WriteOnly);
            out << static_cast<quint32>(message.size());
        }
        framed += message;
        socket.write(framed);
        // A studio that turns the list down may hang up before it is all written; its answer
        // is read all the same.
        while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(timeoutMs)) {
        }
        while (socket.bytesAvailable() < 1) {
            if (!socket.waitForReadyRead(timeoutMs)) return HandOver::unanswered;
        }
        char answer = 0;
        if (!socket.getChar(&answer)) return HandOver::unanswered;
        if (answer != receipt) return HandOver::refused;
    }
    // Only now does the studio act on the list: until this reaches it, this launch may
    // still give up and say that nothing was opened.
    socket.putChar(confirmation);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeoutMs)) return HandOver::unanswered;
    }
    return HandOver::delivered;
}

std::vector<std::filesystem::path> SingleInstance::leftOut(const std::vector<std::filesystem::path>& paths) {
    std::vector<std::filesystem::path> left;
    std::copy_if(paths.begin(), paths.end(), std::back_inserter(left),
                 [](const std::filesystem::path& path) { return path.native().size() > longestPath; });
    return left;
}

SingleInstance::SingleInstance(QString socketPath, MainExecutor& executor, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)), executor_(executor), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    server_->setMaxPendingConnections(waitingAtOnce);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::takeWaiting);
}

SingleInstance::~SingleInstance() { server_->close(); }

bool SingleInstance::listen() {
    if (server_->listen(socketPath_)) return true;
    if (server_->serverError() != QAbstractSocket::AddressInUseError) return false;
    // Nobody answered on it (the caller tried), so the socket is a leftover.
    QLocalServer::removeServer(socketPath_);
    return server_->listen(socketPath_);
}

QString SingleInstance::errorString() const { return server_->errorString(); }

// What one launch has handed over so far.
struct SingleInstance::Incoming {
    enum class Stage {
        receiving,
        confirming,  // the whole list is taken; the launch has yet to say it heard so
        done,
    };
    std::vector<std::filesystem::path> paths;
    // Counted in what the studio holds.
    std::size_t count = 0;
    qint64 bytes = 0;
    Stage stage = Stage::receiving;
};

void SingleInstance::takeWaiting() {
    // A few at a time; the rest wait in the server's short queue and the system's backlog.
    // At the descriptor limit an accept would fail, and the server then closes and deletes
    // its socket.
    while (open_ < connectionsAtOnce) {
        QLocalSocket* socket = server_->nextPendingConnection();
        if (!socket) return;
        serve(socket);
    }
}

void SingleInstance::serve(QLocalSocket* socket) {
    ++open_;
    auto incoming = std::make_shared<Incoming>();
    const CancelHandle deadline =
        executor_.postAfter(deliverySeconds, [this, socket = QPointer<QLocalSocket>(socket), incoming] {
            if (!socket) return;
            // A confirmation on its way in counts: that launch has said its documents open.
            socket->waitForReadyRead(0);
            receive(*socket, *incoming);
            socket->abort();
            socket->deleteLater();
        });
    connect(socket, &QObject::destroyed, this, [this, deadline, incoming] {
        deadline.cancel();
        release(*incoming);
        --open_;
        takeWaiting();
    });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket, incoming] {
        // What the launch wrote before it went is still there to read.
        receive(*socket, *incoming);
        socket->deleteLater();
    });
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, incoming] { receive(*socket, *incoming); });
    // What came while it waited to be taken; a launch may have hung up by now.
    receive(*socket, *incoming);
    if (socket->state() == QLocalSocket::UnconnectedState) socket->deleteLater();
}

void SingleInstance::receive(QLocalSocket& socket, Incoming& incoming) {
    const auto finish = [&] {
        release(incoming);
        incoming.stage = Incoming::Stage::done;
        socket.disconnectFromServer();  // once an answer is written
    };
    while (incoming.stage == Incoming::Stage::receiving && socket.bytesAvailable() >= 4) {
        quint32 size = 0;
        {
            QDataStream peek(socket.peek(4));
            peek >> size;
        }
        if (size > maximumMessage) {
            socket.putChar(refusal);
            return finish();
        }
        if (socket.bytesAvailable() < 4 + static_cast<qint64>(size)) return;
        socket.read(4);
        auto part = decode(socket.read(size));
        // What every launch under way holds counts together: several cannot hold more.
        if (!part || heldPaths_ + part->paths.size() > heldPathsAtMost || heldBytes_ + size > heldBytesAtMost) {
            socket.putChar(refusal);
            return finish();
        }
        heldPaths_ += part->paths.size();
        heldBytes_ += size;
        incoming.count += part->paths.size();
        incoming.bytes += size;
        incoming.paths.insert(incoming.paths.end(), std::make_move_iterator(part->paths.begin()),
                              std::make_move_iterator(part->paths.end()));
        socket.putChar(receipt);
        if (part->last) incoming.stage = Incoming::Stage::confirming;
    }
    if (incoming.stage != Incoming::Stage::confirming || socket.bytesAvailable() < 1) return;
    // A launch that gave up waiting has hung up without this word, and has said that its
    // documents were not opened: they are not.
    char word = 0;
    const bool confirmed = socket.getChar(&word) && word == confirmation;
    std::vector<std::filesystem::path> paths = std::exchange(incoming.paths, {});
    finish();
    if (!confirmed) return;
    // Opening a document may ask about unsaved changes in a nested event loop, during
    // which this socket can be deleted: hand the paths on from the event loop, not
    // from inside the socket's signal.
    QMetaObject::invokeMethod(
        this, [this, paths = std::move(paths)] { emit documentsReceived(paths); }, Qt::QueuedConnection);
}

void SingleInstance::release(Incoming& incoming) {
    heldPaths_ -= std::exchange(incoming.count, 0);
    heldBytes_ -= std::exchange(incoming.bytes, 0);
    incoming.paths = {};
}

}  // namespace norvo
