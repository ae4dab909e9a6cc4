#include "NorvoStudioApp/SingleInstance.hpp"

#include <sys/socket.h>
#include <unistd.h>

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QUrl>

namespace norvo {

namespace {

constexpr quint32 handOverMagic = 0x4e565331;  // "NVS1"
constexpr qint64 maximumMessage = 1 << 20;      // far beyond any real list of paths
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

QStringList SingleInstance::documentPaths(const QStringList& arguments) {
    QStringList paths;
    for (const QString& argument : arguments) {
        if (argument.isEmpty()) continue;
        if (argument.startsWith(QLatin1String("file:"))) {
            const QUrl url(argument);
            if (url.isLocalFile()) paths << QFileInfo(url.toLocalFile()).absoluteFilePath();
            continue;
        }
        paths << QFileInfo(argument).absoluteFilePath();
    }
    return paths;
}

bool SingleInstance::handOver(const QString& socketPath, const QStringList& paths, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs)) return false;
    if (!ownedByThisUser(socket)) return false;
    QByteArray message;
    {
        QDataStream out(&message, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out << handOverMagic << paths;
    }
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
            QDataStream in(socket->read(size));
            in.setVersion(QDataStream::Qt_6_0);
            quint32 magic = 0;
            QStringList paths;
            in >> magic >> paths;
            if (in.status() != QDataStream::Ok || magic != handOverMagic) {
                socket->abort();
                return;
            }
            socket->setProperty("done", true);
            socket->putChar(receipt);
            socket->flush();
            // Opening a document may ask about unsaved changes in a nested event loop,
            // during which this socket can disconnect and be deleted: hand the paths on
            // from the event loop, not from inside the socket's signal.
            QMetaObject::invokeMethod(this, [this, paths] { emit documentsReceived(paths); }, Qt::QueuedConnection);
        });
    }
}

}  // namespace norvo
