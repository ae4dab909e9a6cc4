#include "NorvoStudioApp/SingleInstance.hpp"

#include <sys/socket.h>
#include <unistd.h>

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include "StudioModel/LocalPath.hpp"

namespace norvo {

namespace {

constexpr quint32 handOverMagic = 0x4e565332;  // "NVS2": paths as bytes
constexpr qint64 maximumMessage = 1 << 20;     // far beyond any real list of paths
constexpr quint32 maximumPaths = 4096;
constexpr qsizetype maximumPathBytes = 4096;  // PATH_MAX
constexpr char receipt = 'k';

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

QByteArray SingleInstance::encode(const std::vector<std::filesystem::path>& paths) {
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << handOverMagic << quint32(paths.size());
    for (const auto& path : paths) out << LocalPath::bytes(path);
    return message;
}

std::optional<std::vector<std::filesystem::path>> SingleInstance::decode(const QByteArray& message) {
    QDataStream in(message);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    quint32 count = 0;
    in >> magic >> count;
    if (in.status() != QDataStream::Ok || magic != handOverMagic || count > maximumPaths) return std::nullopt;
    std::vector<std::filesystem::path> paths;
    paths.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        // The length is checked before the bytes are taken: a hostile length asks for nothing.
        quint32 length = 0;
        in >> length;
        if (in.status() != QDataStream::Ok || length == 0 || length > quint32(maximumPathBytes)) return std::nullopt;
        QByteArray bytes(qsizetype(length), Qt::Uninitialized);
        if (in.readRawData(bytes.data(), int(length)) != int(length)) return std::nullopt;
        if (bytes.front() != '/' || bytes.contains('\0')) return std::nullopt;
        paths.push_back(LocalPath::fromBytes(bytes));
    }
    if (!in.atEnd()) return std::nullopt;
    return paths;
}

bool SingleInstance::handOver(const QString& socketPath, const std::vector<std::filesystem::path>& paths,
                              int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs)) return false;
    if (!ownedByThisUser(socket)) return false;
    const QByteArray message = encode(paths);
    QByteArray framed;
    {
        QDataStream out(&framed, QIODevice::WriteOnly);
        out << static_cast<quint32>(message.size());
    }
    framed += message;
    socket.write(framed);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    // The receipt says the running studio has the paths; without it this launch opens them.
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs)) return false;
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == receipt;
}

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
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

void SingleInstance::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->property("done").toBool()) return;
            if (socket->bytesAvailable() < 4) return;
            quint32 size = 0;
            {
                QDataStream peek(socket->peek(4));
                peek >> size;
            }
            if (size > maximumMessage) {
                socket->abort();
                return;
            }
            if (socket->bytesAvailable() < 4 + static_cast<qint64>(size)) return;
            socket->read(4);
            const auto decoded = decode(socket->read(size));
            if (!decoded) {
                socket->abort();
                return;
            }
            const std::vector<std::filesystem::path>& paths = *decoded;
            socket->setProperty("done", true);
            socket->putChar(receipt);
            socket->flush();
            // Opening a document may ask about unsaved changes in a nested event loop,
            // during which this socket can disconnect and be deleted: hand the paths on
            // from the event loop, not from inside the socket's signal.
            QMetaObject::invokeMethod(
                this, [this, paths] { emit documentsReceived(paths); }, Qt::QueuedConnection);
        });
    }
}

}  // namespace norvo
