// The studio as a user runs it: the real binary on a real X server (xvfb-run), driven by
// real key events (xdotool), with documents given on the command line and handed over
// by a second launch.
#include <QFile>

#include "Cassette/TapePositionStore.hpp"
#include "DesktopSession.hpp"
#include "Platform/DefaultsStore.hpp"

namespace norvo {
namespace {

// The session: start with a cassette, read the title, hand a second cassette over from
// a second launch, read the new title, quit with Ctrl+Q. Every wait is xdotool's own
// --sync, bounded by the timeout of the whole run.
const char* const sessionScript = R"SH(
set -u
"$APP" "$FIRST" &
app=$!
win=$(xdotool search --sync --onlyvisible --name "^$FIRST_TITLE\$" | head -n 1)
echo "title: $(xdotool getwindowname "$win")"
acknowledge_audio
"$APP" "$SECOND"
echo "second launch: $?"
xdotool search --sync --onlyvisible --name "^$SECOND_TITLE\$" >/dev/null
echo "title: $(xdotool getwindowname "$win")"
xdotool windowfocus --sync "$win"
xdotool key --clearmodifiers ctrl+q
wait "$app"
echo "exit: $?"
)SH";

using DesktopSessionTest = test::DesktopSession;

TEST_F(DesktopSessionTest, StartsWithACassetteTakesASecondFromAnotherLaunchAndQuitsWithCtrlQ) {
    const CassetteDocument first = makeCassette("Road Trip Mix");
    const CassetteDocument second = makeCassette("Second Side");
    const Date longAgo = Date{} + std::chrono::hours(24 * 365 * 40);
    {
        // Where the first cassette was left last time: the deck puts it back there.
        FileDefaultsStore settings(settingsFile());
        TapePositionStore(settings).save({TapeSide::b, 441000, longAgo}, first.id);
    }

    QProcessEnvironment environment = this->environment();
    environment.insert(QStringLiteral("FIRST"), qdir("music") + QStringLiteral("/Road Trip Mix.norvo"));
    environment.insert(QStringLiteral("FIRST_TITLE"), QStringLiteral("Road Trip Mix"));
    environment.insert(QStringLiteral("SECOND"), qdir("music") + QStringLiteral("/Second Side.norvo"));
    environment.insert(QStringLiteral("SECOND_TITLE"), QStringLiteral("Second Side"));

    const Run run = runScript(QString::fromUtf8(sessionScript), environment);
    const QString& output = run.output;
    ASSERT_TRUE(run.finished) << "the session did not end:\n" << output.toStdString();

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
