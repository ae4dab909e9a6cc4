// Files the studio reads that can never be read to their end (a FIFO nobody writes to,
// standing in for a share that hangs): the settings, the desktop's recently-used list and
// its list of user folders. The real studio opens a cassette (which it notes in the
// list), shows the Add Music panel (which looks for the music folder) and quits promptly.
#include <QRegularExpression>

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
panel=$(timeout 10 xdotool search --sync --onlyvisible --name '^Add MP3 or WAV files to the player$' | head -n 1)
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

TEST_F(FilesThatNeverEndSessionTest, TheStudioShowsItsPanelsAndQuitsWithinThreeSeconds) {
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

}  // namespace
}  // namespace norvo
