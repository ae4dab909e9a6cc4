#include <gtest/gtest.h>

#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cstring>
#include <QDir>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <thread>

#include "NorvoStudioApp/SingleInstance.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    QString socket() const { return QString::fromStdString((directory.path() / "s.socket").string()); }
    test::TemporaryDirectory directory;
};

TEST_F(SingleInstanceTest, WithNoStudioRunningTheLaunchStaysAndReplacesALeftoverSocket) {
    EXPECT_FALSE(SingleInstance::handOver(socket(), {QStringLiteral("/a.norvo")}, 1000));
    // A studio that crashed leaves its socket file behind, with nobody listening on it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = socket().toLocal8Bit();
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(std::filesystem::exists(directory.path() / "s.socket"));
    EXPECT_FALSE(SingleInstance::handOver(socket(), {QStringLiteral("/a.norvo")}, 1000));

    SingleInstance next(socket());
    EXPECT_TRUE(next.listen()) << next.errorString().toStdString();
}

TEST_F(SingleInstanceTest, AMessageThatIsNotAHandOverIsDropped) {
    SingleInstance running(socket());
    ASSERT_TRUE(running.listen());
    QSignalSpy received(&running, &SingleInstance::documentsReceived);
    for (const QByteArray& junk : {QByteArray("\xff\xff\xff\xff", 4), QByteArray("\0\0\0\x04garbage", 11)}) {
        QLocalSocket client;
        client.connectToServer(socket());
        ASSERT_TRUE(client.waitForConnected(5000));
        client.write(junk);
        client.flush();
        QSignalSpy closed(&client, &QLocalSocket::disconnected);
        EXPECT_TRUE(closed.wait(10000)) << "the studio hangs up";
    }
    EXPECT_EQ(received.count(), 0);
}

TEST_F(SingleInstanceTest, APromptForHandedOverDocumentsSurvivesTheLaunchHangingUp) {
    SingleInstance running(socket());
    ASSERT_TRUE(running.listen());
    QStringList opened;
    QObject::connect(&running, &SingleInstance::documentsReceived, [&](const QStringList& paths) {
        // As the unsaved-changes prompt does: a nested event loop, while the launch that
        // handed the documents over gets its receipt and exits.
        QEventLoop prompt;
        QTimer::singleShot(300, &prompt, &QEventLoop::quit);
        prompt.exec();
        opened = paths;
    });
    std::atomic<bool> handed{false};
    std::thread launch([&] { handed = SingleInstance::handOver(socket(), {QStringLiteral("/a.norvo")}, 5000); });
    QElapsedTimer waited;
    waited.start();
    while (opened.isEmpty() && waited.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    launch.join();
    QCoreApplication::processEvents();
    EXPECT_TRUE(handed);
    EXPECT_EQ(opened, QStringList{QStringLiteral("/a.norvo")});
}

TEST(SingleInstanceArguments, BecomeAbsolutePathsInOrder) {
    const QString cwd = QDir::currentPath();
    EXPECT_EQ(SingleInstance::documentPaths({QStringLiteral("tape.norvo"), QStringLiteral("/abs/x.wav"),
                                             QStringLiteral("file:///abs/My%20Song.mp3"), QString()}),
              (QStringList{cwd + QStringLiteral("/tape.norvo"), QStringLiteral("/abs/x.wav"),
                           QStringLiteral("/abs/My Song.mp3")}));
}

}  // namespace
}  // namespace norvo
