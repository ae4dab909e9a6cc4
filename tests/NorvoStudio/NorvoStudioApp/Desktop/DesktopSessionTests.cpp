// The studio as a user runs it: the real binary on a real X server (xvfb-run), driven by
// real key events (xdotool), with documents given on the command line and handed over
// by a second launch.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "AudioEngine/TapeMedia.hpp"
#include "Cassette/CassetteStyleCatalog.hpp"
#include "Cassette/TapeFileCodec.hpp"
#include "Cassette/TapePositionStore.hpp"
#include "Platform/DefaultsStore.hpp"
#include "Support/TemporaryDirectory.hpp"

#ifndef NORVO_STUDIO_BINARY
#error "NORVO_STUDIO_BINARY names the application under test"
#endif

namespace norvo {
namespace {

// The session: start with a cassette, read the title, hand a second cassette over from
// a second launch, read the new title, quit with Ctrl+Q. Every wait is xdotool's own
// --sync, bounded by the timeout of the whole run.
const char* const sessionScript = R"SH(
set -u
# Without a sound device the studio says "No audio output": acknowledge such alerts.
acknowledge() {
  for other in $(xdotool search --onlyvisible --pid "$app"); do
    if [ "$other" != "$win" ]; then xdotool windowfocus --sync "$other" key Return; fi
  done
}
"$APP" "$FIRST" &
app=$!
win=$(xdotool search --sync --onlyvisible --name "^$FIRST_TITLE\$" | head -n 1)
echo "title: $(xdotool getwindowname "$win")"
acknowledge
"$APP" "$SECOND"
echo "second launch: $?"
xdotool search --sync --onlyvisible --name "^$SECOND_TITLE\$" >/dev/null
echo "title: $(xdotool getwindowname "$win")"
acknowledge
xdotool windowfocus --sync "$win"
xdotool key --clearmodifiers ctrl+q
wait "$app"
echo "exit: $?"
)SH";

class DesktopSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
        if (xvfbRun.isEmpty()) GTEST_SKIP() << "xvfb-run is not installed: this test needs a real X server";
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            << "xdotool is not installed (scripts/setup-deps installs it)";
        for (const char* dir : {"home", "config", "data", "cache", "runtime", "music"})
            std::filesystem::create_directories(root.path() / dir);
        std::filesystem::permissions(root.path() / "runtime", std::filesystem::perms::owner_all);
    }

    std::filesystem::path dir(const char* name) const { return root.path() / name; }
    QString qdir(const char* name) const { return QString::fromStdString(dir(name).string()); }

    // A blank cassette saved where a user keeps music.
    CassetteDocument makeCassette(const std::string& name) {
        CassetteDocument document(CassetteType::c60(), name, CassetteStyleCatalog::defaultStyle().design);
        TapeMedia media(CassetteType::c60(), dir("cache") / "maker");
        TapeFileCodec::write(document, media, dir("music") / (name + ".norvo"));
        return document;
    }

    std::filesystem::path settingsFile() const { return dir("config") / "norvo-studio" / "defaults.json"; }

    test::TemporaryDirectory root;
    QString xvfbRun;
};

TEST_F(DesktopSessionTest, StartsWithACassetteTakesASecondFromAnotherLaunchAndQuitsWithCtrlQ) {
    const CassetteDocument first = makeCassette("Road Trip Mix");
    const CassetteDocument second = makeCassette("Second Side");
    const Date longAgo = Date{} + std::chrono::hours(24 * 365 * 40);
    {
        // Where the first cassette was left last time: the deck puts it back there.
        FileDefaultsStore settings(settingsFile());
        TapePositionStore(settings).save({TapeSide::b, 441000, longAgo}, first.id);
    }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), qdir("home"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), qdir("config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), qdir("data"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), qdir("cache"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), qdir("runtime"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("APP"), QStringLiteral(NORVO_STUDIO_BINARY));
    environment.insert(QStringLiteral("FIRST"), qdir("music") + QStringLiteral("/Road Trip Mix.norvo"));
    environment.insert(QStringLiteral("FIRST_TITLE"), QStringLiteral("Road Trip Mix"));
    environment.insert(QStringLiteral("SECOND"), qdir("music") + QStringLiteral("/Second Side.norvo"));
    environment.insert(QStringLiteral("SECOND_TITLE"), QStringLiteral("Second Side"));

    QProcess session;
    session.setProcessEnvironment(environment);
    session.setProcessChannelMode(QProcess::MergedChannels);
    session.setWorkingDirectory(qdir("home"));
    session.start(xvfbRun, {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1600x1200x24"),
                            QStringLiteral("bash"), QStringLiteral("-c"), QString::fromUtf8(sessionScript)});
    ASSERT_TRUE(session.waitForStarted(10000));
    const bool finished = session.waitForFinished(90000);
    if (!finished) session.kill();
    session.waitForFinished(5000);
    const QString output = QString::fromUtf8(session.readAll());
    ASSERT_TRUE(finished) << "the session did not end:\n" << output.toStdString();

    EXPECT_TRUE(output.contains(QStringLiteral("title: Road Trip Mix\n"))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("second launch: 0\n"))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("title: Second Side\n"))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("exit: 0\n"))) << output.toStdString();

    FileDefaultsStore settings(settingsFile());
    TapePositionStore positions(settings);
    const auto firstPosition = positions.load(first.id);
    ASSERT_TRUE(firstPosition.has_value());
    EXPECT_EQ(firstPosition->side, TapeSide::b) << "the cassette went in where it was left";
    EXPECT_EQ(firstPosition->head, 441000);
    EXPECT_GT(firstPosition->savedAt, longAgo) << "and its position was stored when it left the deck";
    const auto secondPosition = positions.load(second.id);
    ASSERT_TRUE(secondPosition.has_value()) << "quitting stores the position of the cassette in the deck";
    EXPECT_EQ(secondPosition->side, TapeSide::a);

    QFile recent(qdir("data") + QStringLiteral("/recently-used.xbel"));
    ASSERT_TRUE(recent.open(QIODevice::ReadOnly)) << "opened cassettes are noted for the desktop";
    const QByteArray list = recent.readAll();
    EXPECT_TRUE(list.contains("Road%20Trip%20Mix.norvo"));
    EXPECT_TRUE(list.contains("Second%20Side.norvo"));
}

}  // namespace
}  // namespace norvo

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
