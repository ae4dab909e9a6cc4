// Files the studio reads that cannot be read to their end: the settings, the desktop's
// recently-used list and its list of user folders.
//
// A FIFO nobody writes to in the place of each: an open or a read of it would wait forever,
// but the studio opens them without waiting and reads only regular files, so it refuses
// each at once. It opens a cassette (which it notes in the list), shows the Add Music panel
// (which looks for the music folder) and quits promptly.
//
// A list whose open really hangs, as on a share that does not answer: strace holds the
// studio's open of its recently-used list for 20 s. The note of the cassette is then stuck
// in the open; quitting waits for it a moment and leaves it behind, so the window goes
// within 3 s of Ctrl+Q (the process itself ends when the open is let go).
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include "DesktopSession.hpp"
#include "Support/Fifo.hpp"

namespace norvo {
namespace {

const char* const sessionScript = R"SH(
set -u
"$APP" "$CASSETTE" &
app=$!
win=$(timeout 20 xdotool search --sync --onlyvisible --name '^Mix$' | head -n 1)
# The settings file could not be read: the studio says so first, then that it has no audio output.
notice=$(timeout 10 xdotool search --sync --onlyvisible --all --pid "$app" --name '^Settings were reset$' | head -n 1)
[ -n "$notice" ] && xdotool windowfocus --sync "$notice" key Return
acknowledge_audio
xdotool windowfocus --sync "$win" key --clearmodifiers ctrl+shift+o
# xdotool gives up on an X error when a window goes while it searches (the alerts just closed).
panel=
for _ in 1 2 3; do
  panel=$(timeout 10 xdotool search --sync --onlyvisible --name '^Add MP3 or WAV files to the player$' | head -n 1)
  [ -n "$panel" ] && break
done
if [ -n "$panel" ]; then
  echo "panel shown"
  xdotool windowfocus --sync "$panel" key Escape
fi
xdotool windowfocus --sync "$win" key --clearmodifiers ctrl+q
asked=$(date +%s%N)
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.05; done
if kill -0 "$app" 2>/dev/null; then echo "still running after Ctrl+Q"; kill -9 "$app"; fi
wait "$app"
echo "exit: $? after $(( ($(date +%s%N) - asked) / 1000000 )) ms"
)SH";

using FilesThatNeverEndSessionTest = test::DesktopSession;

TEST_F(FilesThatNeverEndSessionTest, FifosInTheirPlaceAreRefusedAtOnceAndTheStudioQuitsWithinThreeSeconds) {
    makeCassette("Mix");
    std::filesystem::create_directories(settingsFile().parent_path());
    const test::Fifo settings(settingsFile());
    const test::Fifo recent(dir("data") / "recently-used.xbel");
    const test::Fifo userDirs(dir("config") / "user-dirs.dirs");

    QProcessEnvironment environment = this->environment();
    environment.insert(QStringLiteral("CASSETTE"), qdir("music") + QStringLiteral("/Mix.norvo"));
    const Run run = runScript(QString::fromUtf8(sessionScript), environment);
    const std::string output = run.output.toStdString();
    ASSERT_TRUE(run.finished) << "the session did not end:\n" << output;
    EXPECT_TRUE(run.output.contains(QStringLiteral("panel shown\n"))) << output;
    const auto exit = QRegularExpression(QStringLiteral("exit: 0 after (\\d+) ms\n")).match(run.output);
    ASSERT_TRUE(exit.hasMatch()) << output;
    EXPECT_LT(exit.captured(1).toInt(), 3000) << output;
    EXPECT_TRUE(std::filesystem::is_fifo(recent.path())) << "a list that cannot be read is left as it is";
}

// The studio under strace, which delays each open of the list by 20 s: the tracer's pid is
// "$tracer", the studio's own "$app" (the window's). The window's end is watched, and the
// tracer's exit (the studio's status) only once the open was let go.
const char* const hangingListScript = R"SH(
set -u
strace -f -qq --seccomp-bpf -e trace=openat -P "$LIST" -e inject=openat:delay_enter=20s -o "$TRACE" \
  "$APP" "$CASSETTE" &
tracer=$!
win=$(timeout 20 xdotool search --sync --onlyvisible --name '^Mix$' | head -n 1)
app=$(xdotool getwindowpid "$win")
acknowledge_audio
# The note of the cassette is in the open of the list by now.
for _ in $(seq 100); do grep -q 'recently-used.xbel' "$TRACE" && break; sleep 0.05; done
grep -q 'recently-used.xbel' "$TRACE" && echo "the open of the list hangs"
xdotool windowfocus --sync "$win" key --clearmodifiers ctrl+q
asked=$(date +%s%N)
for _ in $(seq 100); do xdotool search --onlyvisible --pid "$app" --name '^Mix$' >/dev/null || break; sleep 0.05; done
if xdotool search --onlyvisible --pid "$app" --name '^Mix$' >/dev/null; then
  echo "the window is still there after Ctrl+Q"
else
  echo "window gone after $(( ($(date +%s%N) - asked) / 1000000 )) ms"
fi
wait "$tracer"
echo "exit: $?"
)SH";

TEST_F(FilesThatNeverEndSessionTest, ARecentListWhoseOpenHangsIsLeftBehindAndTheWindowGoesWithinThreeSeconds) {
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty())
        << "strace is not installed (scripts/setup-deps installs it)";
    makeCassette("Mix");
    const QString list = qdir("data") + QStringLiteral("/recently-used.xbel");
    const QByteArray before = "<?xml version=\"1.0\"?>\n<xbel version=\"1.0\"/>\n";
    {
        QFile file(list);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(before);
    }

    QProcessEnvironment environment = this->environment();
    environment.insert(QStringLiteral("CASSETTE"), qdir("music") + QStringLiteral("/Mix.norvo"));
    environment.insert(QStringLiteral("LIST"), list);
    environment.insert(QStringLiteral("TRACE"), qdir("home") + QStringLiteral("/trace"));
    const Run run = runScript(QString::fromUtf8(hangingListScript), environment);
    const std::string output = run.output.toStdString();
    ASSERT_TRUE(run.finished) << "the session did not end:\n" << output;
    ASSERT_TRUE(run.output.contains(QStringLiteral("the open of the list hangs\n"))) << output;
    const auto gone = QRegularExpression(QStringLiteral("window gone after (\\d+) ms\n")).match(run.output);
    ASSERT_TRUE(gone.hasMatch()) << output;
    EXPECT_LT(gone.captured(1).toInt(), 3000) << output;
    EXPECT_TRUE(run.output.contains(QStringLiteral("exit: 0\n"))) << output;
    QFile file(list);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before) << "the note never got past the open";
}

}  // namespace
}  // namespace norvo
