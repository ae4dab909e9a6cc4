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
#include <future>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "NorvoStudioApp/SingleInstance.hpp"
#include "Platform/ManualExecutor.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

using HandOver = SingleInstance::HandOver;

int openDescriptors() { return int(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {})); }

// Runs the event loop until `done`, at most `ms`.
template <typename Done>
bool processUntil(Done done, int ms = 10000) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return done();
}

// A launch blocks on its socket, so it runs beside this event loop.
HandOver launch(const QString& socket, const std::vector<std::filesystem::path>& paths, int timeoutMs = 5000) {
    auto handed = std::async(std::launch::async, [&] { return SingleInstance::handOver(socket, paths, timeoutMs); });
    processUntil([&] { return handed.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 30000);
    return handed.get();
}

// A launch's messages as they travel, each behind its length.
QByteArray framed(const QByteArray& message) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << quint32(message.size());
    return bytes + message;
}

class SingleInstanceTest : public ::testing::Test {
protected:
    QString socket() const { return QString::fromStdString((directory.path() / "s.socket").string()); }
    test::TemporaryDirectory directory;
    ManualExecutor executor;
};

TEST_F(SingleInstanceTest, WithNoStudioRunningTheLaunchStaysAndReplacesALeftoverSocket) {
    EXPECT_EQ(SingleInstance::handOver(socket(), {"/a.norvo"}, 1000), HandOver::noStudio);
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
    EXPECT_EQ(SingleInstance::handOver(socket(), {"/a.norvo"}, 1000), HandOver::noStudio);

    SingleInstance next(socket(), executor);
    EXPECT_TRUE(next.listen()) << next.errorString().toStdString();
}

TEST_F(SingleInstanceTest, AMessageThatIsNotAHandOverIsAnsweredWithARefusal) {
    SingleInstance running(socket(), executor);
    ASSERT_TRUE(running.listen());
    QSignalSpy received(&running, &SingleInstance::documentsReceived);
    for (const QByteArray& junk : {QByteArray("\xff\xff\xff\xff", 4), QByteArray("\0\0\0\x04garbage", 11)}) {
        QLocalSocket client;
        client.connectToServer(socket());
        ASSERT_TRUE(client.waitForConnected(5000));
        client.write(junk);
        client.flush();
        QByteArray answer;
        EXPECT_TRUE(processUntil([&] {
            answer += client.readAll();
            return client.state() == QLocalSocket::UnconnectedState;
        })) << "the studio hangs up";
        EXPECT_EQ(answer, "r") << "after saying no";
    }
    EXPECT_EQ(received.count(), 0);
}

TEST_F(SingleInstanceTest, AListTooLongForOneMessageArrivesWholeInOneHandOver) {
    std::vector<std::filesystem::path> songs;
    const std::string folder = "/Music/" + std::string(200, 'x') + "/";
    // More paths, and more bytes, than one message holds.
    for (int i = 0; i < 5000; ++i) songs.emplace_back(folder + std::to_string(i) + ".mp3");
    SingleInstance running(socket(), executor);
    ASSERT_TRUE(running.listen());
    std::vector<std::vector<std::filesystem::path>> received;
    QObject::connect(&running, &SingleInstance::documentsReceived,
                     [&](const std::vector<std::filesystem::path>& paths) { received.push_back(paths); });
    EXPECT_EQ(launch(socket(), songs), HandOver::delivered);
    ASSERT_TRUE(processUntil([&] { return !received.empty(); }));
    QCoreApplication::processEvents();
    ASSERT_EQ(received.size(), 1u) << "one list, opened in one go";
    EXPECT_EQ(received[0], songs);
}

TEST_F(SingleInstanceTest, ALaunchLearnsThatAStudioTurnedItDownOrDidNotAnswer) {
    QLocalServer studio;
    ASSERT_TRUE(studio.listen(socket()));
    bool answers = true;
    QObject::connect(&studio, &QLocalServer::newConnection, [&] {
        QLocalSocket* connection = studio.nextPendingConnection();
        QObject::connect(connection, &QLocalSocket::readyRead, [&answers, connection] {
            connection->readAll();
            if (answers) connection->write("r");
        });
    });
    EXPECT_EQ(launch(socket(), {"/a.mp3"}), HandOver::refused);
    answers = false;
    EXPECT_EQ(launch(socket(), {"/a.mp3"}, 200), HandOver::unanswered);
}

TEST_F(SingleInstanceTest, IdleConnectionsAreTakenAFewAtATimeAndCutOffWhileTheSocketStaysOpen) {
    SingleInstance running(socket(), executor);
    ASSERT_TRUE(running.listen());
    const int before = openDescriptors();
    constexpr int idleCount = 100;
    std::vector<std::unique_ptr<QLocalSocket>> idle;
    for (int i = 0; i < idleCount; ++i) {
        idle.push_back(std::make_unique<QLocalSocket>());
        idle.back()->connectToServer(socket());
    }
    // One starts a message and stops.
    ASSERT_TRUE(idle[0]->waitForConnected(1000));
    idle[0]->write(QByteArray("\0\0\0\x40NVS2", 8));
    // Until the studio has taken all it will.
    int last = -1, steady = 0;
    processUntil([&] {
        const int now = openDescriptors();
        steady = now == last ? steady + 1 : 0;
        last = now;
        return steady >= 50;
    });
    EXPECT_LE(openDescriptors() - before - idleCount, 16) << "the studio's side of the connections";

    const auto cut = [&] {
        return int(std::count_if(idle.begin(), idle.end(),
                                 [](const auto& client) { return client->state() == QLocalSocket::UnconnectedState; }));
    };
    executor.advance(SingleInstance::deliverySeconds - 0.5);
    processUntil([] { return false; }, 100);
    EXPECT_EQ(cut(), 0) << "a few seconds to deliver";
    for (int round = 0; round < 40 && cut() < idleCount; ++round) {
        executor.advance(SingleInstance::deliverySeconds);
        processUntil([&] { return false; }, 50);
    }
    EXPECT_EQ(cut(), idleCount) << "each is cut off in its turn";

    QSignalSpy received(&running, &SingleInstance::documentsReceived);
    EXPECT_EQ(launch(socket(), {"/after.mp3"}), HandOver::delivered) << "the socket is still there";
    EXPECT_TRUE(processUntil([&] { return received.count() == 1; }));
}

TEST_F(SingleInstanceTest, ALaunchThatGaveUpWaitingDuringAFloodHasNothingOpened) {
    SingleInstance running(socket(), executor);
    ASSERT_TRUE(running.listen());
    std::vector<std::vector<std::filesystem::path>> opened;
    QObject::connect(&running, &SingleInstance::documentsReceived,
                     [&](const std::vector<std::filesystem::path>& paths) { opened.push_back(paths); });
    // Launches that say nothing take every place the studio reads from.
    std::vector<std::unique_ptr<QLocalSocket>> idle;
    for (int i = 0; i < SingleInstance::connectionsAtOnce; ++i) {
        idle.push_back(std::make_unique<QLocalSocket>());
        idle.back()->connectToServer(socket());
    }
    processUntil([] { return false; }, 200);
    EXPECT_EQ(launch(socket(), {"/gave-up.mp3"}, 300), HandOver::unanswered) << "and it says nothing was opened";
    // The idle ones are cut off; the studio then finds the list of the launch that gave up.
    executor.advance(SingleInstance::deliverySeconds);
    EXPECT_EQ(launch(socket(), {"/waited.mp3"}), HandOver::delivered);
    processUntil([&] { return !opened.empty(); });
    processUntil([] { return false; }, 100);
    EXPECT_EQ(opened, (std::vector<std::vector<std::filesystem::path>>{{"/waited.mp3"}}));
}

TEST_F(SingleInstanceTest, TheStudioOpensAListOnlyOnTheLaunchsWordThatItHeardTheReceipt) {
    SingleInstance running(socket(), executor);
    ASSERT_TRUE(running.listen());
    std::vector<std::filesystem::path> opened;
    QObject::connect(&running, &SingleInstance::documentsReceived,
                     [&](const std::vector<std::filesystem::path>& paths) { opened = paths; });
    for (const bool says : {false, true}) {
        opened.clear();
        QLocalSocket launcher;
        launcher.connectToServer(socket());
        ASSERT_TRUE(launcher.waitForConnected(5000));
        launcher.write(framed(SingleInstance::encode({"/a.mp3"}).front()));
        QByteArray answer;
        ASSERT_TRUE(processUntil([&] {
            answer += launcher.readAll();
            return !answer.isEmpty();
        }));
        EXPECT_EQ(answer, "k");
        if (says) {
            // Its word arrives as the studio's time for it runs out.
            launcher.putChar('y');
            launcher.flush();
            executor.advance(SingleInstance::deliverySeconds);
        } else {
            launcher.abort();  // gone, as a launch that gave up a moment too soon
        }
        processUntil([] { return false; }, 200);
        EXPECT_EQ(opened, says ? std::vector<std::filesystem::path>{"/a.mp3"} : std::vector<std::filesystem::path>{})
            << (says ? "the launch has said its documents open" : "the launch has said they were not opened");
    }
}

TEST_F(SingleInstanceTest, APathTooLongToOpenIsLeftOutAndTheRestHandedOver) {
    const std::filesystem::path tooLong = "/" + std::string(SingleInstance::longestPath, 'x');
    const std::filesystem::path longest = "/" + std::string(SingleInstance::longestPath - 1, 'y');
    const std::vector<std::filesystem::path> given{"/a.mp3", tooLong, longest, "/b.mp3"};
    EXPECT_EQ(SingleInstance::leftOut(given), std::vector<std::filesystem::path>{tooLong});
    SingleInstance running(socket(), executor);
    ASSERT_TRUE(running.listen());
    std::vector<std::filesystem::path> opened;
    QObject::connect(&running, &SingleInstance::documentsReceived,
                     [&](const std::vector<std::filesystem::path>& paths) { opened = paths; });
    EXPECT_EQ(launch(socket(), given), HandOver::delivered);
    EXPECT_TRUE(processUntil([&] { return !opened.empty(); }));
    EXPECT_EQ(opened, (std::vector<std::filesystem::path>{"/a.mp3", longest, "/b.mp3"}));
}

TEST_F(SingleInstanceTest, WhatTheStudioHoldsOfListsUnderWayCountsAllLaunchesTogether) {
    SingleInstance running(socket(), executor);
    ASSERT_TRUE(running.listen());
    QSignalSpy received(&running, &SingleInstance::documentsReceived);
    // One launch has sent more than half of what the studio holds, and not its end.
    const std::vector<std::filesystem::path> half(SingleInstance::heldPathsAtMost / 2 + 1, "/a.mp3");
    std::vector<std::filesystem::path> more = half;
    more.emplace_back("/last.mp3");
    std::vector<QByteArray> parts = SingleInstance::encode(more);
    parts.pop_back();
    auto slow = std::make_unique<QLocalSocket>();
    slow->connectToServer(socket());
    ASSERT_TRUE(slow->waitForConnected(5000));
    for (const QByteArray& part : parts) slow->write(framed(part));
    QByteArray receipts;
    ASSERT_TRUE(processUntil([&] {
        receipts += slow->readAll();
        return receipts.size() == qsizetype(parts.size());
    }));
    EXPECT_EQ(launch(socket(), half), HandOver::refused) << "another half is more than the studio holds";
    slow.reset();
    processUntil([] { return false; }, 100);
    EXPECT_EQ(launch(socket(), half), HandOver::delivered) << "what the launch that went held is let go";
    EXPECT_TRUE(processUntil([&] { return received.count() == 1; }));
}

TEST_F(SingleInstanceTest, APromptForHandedOverDocumentsSurvivesTheLaunchHangingUp) {
    SingleInstance running(socket(), executor);
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
    std::atomic<HandOver> handed{HandOver::noStudio};
    // A name that is not UTF-8 travels as its bytes.
    const std::vector<std::filesystem::path> handedOver{"/m/caf\xe9.norvo", "/m/\xff\xfe mix.mp3"};
    std::thread launch([&] { handed = SingleInstance::handOver(socket(), handedOver, 5000); });
    QElapsedTimer waited;
    waited.start();
    while (opened.empty() && waited.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    launch.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(handed, HandOver::delivered);
    EXPECT_EQ(opened, handedOver);
}

TEST(SingleInstanceMessage, OnlyOneWellFormedListOfAbsolutePathsIsRead) {
    const std::vector<std::filesystem::path> paths{"/m/caf\xe9.norvo", "/m/song.mp3"};
    const auto one = [](const std::vector<std::filesystem::path>& list) {
        const auto messages = SingleInstance::encode(list);
        EXPECT_EQ(messages.size(), 1u);
        return messages.front();
    };
    EXPECT_EQ(SingleInstance::decode(one(paths)), (SingleInstance::Part{paths, true}));
    EXPECT_EQ(SingleInstance::decode(one({})), (SingleInstance::Part{{}, true}));

    const QByteArray good = one(paths);
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
