#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTimer>
#include <atomic>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

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
    EXPECT_FALSE(SingleInstance::handOver(socket(), {"/a.norvo"}, 1000));
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
    EXPECT_FALSE(SingleInstance::handOver(socket(), {"/a.norvo"}, 1000));

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
    std::vector<std::filesystem::path> opened;
    QObject::connect(&running, &SingleInstance::documentsReceived,
                     [&](const std::vector<std::filesystem::path>& paths) {
                         // As the unsaved-changes prompt does: a nested event loop, while the launch that
                         // handed the documents over gets its receipt and exits.
                         QEventLoop prompt;
                         QTimer::singleShot(300, &prompt, &QEventLoop::quit);
                         prompt.exec();
                         opened = paths;
                     });
    std::atomic<bool> handed{false};
    // A name that is not UTF-8 travels as its bytes.
    const std::vector<std::filesystem::path> handedOver{"/m/caf\xe9.norvo", "/m/\xff\xfe mix.mp3"};
    std::thread launch([&] { handed = SingleInstance::handOver(socket(), handedOver, 5000); });
    QElapsedTimer waited;
    waited.start();
    while (opened.empty() && waited.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    launch.join();
    QCoreApplication::processEvents();
    EXPECT_TRUE(handed);
    EXPECT_EQ(opened, handedOver);
}

TEST(SingleInstanceMessage, OnlyOneWellFormedListOfAbsolutePathsIsRead) {
    const std::vector<std::filesystem::path> paths{"/m/caf\xe9.norvo", "/m/song.mp3"};
    EXPECT_EQ(SingleInstance::decode(SingleInstance::encode(paths)), paths);
    EXPECT_EQ(SingleInstance::decode(SingleInstance::encode({})), std::vector<std::filesystem::path>{});

    const QByteArray good = SingleInstance::encode(paths);
    auto withCount = [&](quint32 count) {
        QByteArray prefix;
        QDataStream out(&prefix, QIODevice::WriteOnly);
        out << quint32(0x4e565332) << count;
        return prefix + good.mid(8);
    };
    EXPECT_TRUE(SingleInstance::decode(withCount(2)));
    EXPECT_FALSE(SingleInstance::decode(withCount(3))) << "a path short";
    EXPECT_FALSE(SingleInstance::decode(withCount(1))) << "bytes left over";
    EXPECT_FALSE(SingleInstance::decode(withCount(0xFFFFFFFF))) << "a count beyond any real list";
    EXPECT_FALSE(SingleInstance::decode(good.left(good.size() - 1))) << "cut short";
    EXPECT_FALSE(SingleInstance::decode(good + QByteArray(1, 'x')));
    EXPECT_FALSE(SingleInstance::decode(QByteArray()));
    for (const QByteArray& bad : {QByteArray("relative.mp3"), QByteArray("/a\0b.mp3", 8), QByteArray("")}) {
        QByteArray message;
        QDataStream out(&message, QIODevice::WriteOnly);
        out << quint32(0x4e565332) << quint32(1) << bad;
        EXPECT_FALSE(SingleInstance::decode(message)) << bad.toStdString();
    }
    QByteArray huge;
    {
        QDataStream out(&huge, QIODevice::WriteOnly);
        out << quint32(0x4e565332) << quint32(1) << quint32(0x7FFFFFFF);  // a length and nothing behind it
    }
    EXPECT_FALSE(SingleInstance::decode(huge));
}

TEST(SingleInstanceArguments, BecomeAbsolutePathsInOrderByTheirBytes) {
    const std::filesystem::path cwd = std::filesystem::current_path();
    EXPECT_EQ(SingleInstance::documentPaths({"tape.norvo", "/abs/x.wav", "file:///abs/My%20Song.mp3", "", "caf\xe9.mp3",
                                             "file:///abs/caf%E9.norvo", "file://localhost/abs/y.wav",
                                             "file://elsewhere/abs/z.wav"}),
              (std::vector<std::filesystem::path>{cwd / "tape.norvo", "/abs/x.wav", "/abs/My Song.mp3",
                                                  cwd / "caf\xe9.mp3", "/abs/caf\xe9.norvo", "/abs/y.wav"}));
}

}  // namespace
}  // namespace norvo
