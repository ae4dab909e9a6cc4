// A cassette and a song whose file names are Latin-1, as an old disk names them, given on
// the command line of the real studio: the cassette opens by its real name and the song
// plays from the player without an error. Nothing here needs a sound device, nor audio
// time to move: the player's LINE OUT lamp lights as soon as it plays, and an error
// would stand in red on its display.
#include <QFile>

#include "AudioEngine/TapeMedia.hpp"
#include "Cassette/CassetteStyleCatalog.hpp"
#include "Cassette/TapeFileCodec.hpp"
#include "DesktopSession.hpp"
#include "Support/AudioFixtures.hpp"

namespace norvo {
namespace {

// Start with both files, note the title, grab the window before and after SPACE (the
// player's play key) and quit with Ctrl+Q. The grabs are raw RGB, the window's size
// printed beside them.
const char* const sessionScript = R"SH(
set -u
grab() {
  ffmpeg -hide_banner -loglevel error -nostdin -f x11grab -window_id "$win" -i "$DISPLAY" \
    -frames:v 1 -f rawvideo -pix_fmt rgb24 -y "$1"
}
"$APP" "$CASSETTE" "$SONG" &
app=$!
win=$(timeout 20 xdotool search --sync --onlyvisible --name "^$TITLE\$" | head -n 1)
if [ -z "$win" ]; then
  # The cassette did not open: say what the studio shows instead, and end it.
  for other in $(xdotool search --onlyvisible --pid "$app"); do echo "window: $(xdotool getwindowname "$other")"; done
  kill "$app"
  exit 1
fi
echo "title: $(xdotool getwindowname "$win")"
# A moment for the alert to go and the face to be drawn again.
acknowledge_audio
sleep 1
eval "$(xdotool getwindowgeometry --shell "$win")"
echo "size: ${WIDTH}x${HEIGHT}"
xdotool windowfocus --sync "$win"
grab "$HOME/before.rgb"
xdotool key --clearmodifiers space
sleep 1
grab "$HOME/after.rgb"
xdotool key --clearmodifiers ctrl+q
# A studio that does not quit is ended here rather than left running.
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then echo "still running after Ctrl+Q"; kill "$app"; fi
wait "$app"
echo "exit: $?"
)SH";

struct Glow {
    int green = 0;  // the lit LINE OUT lamp
    int red = 0;    // the error line's lettering
};

Glow glowIn(const QByteArray& rgb) {
    Glow glow;
    for (qsizetype i = 0; i + 2 < rgb.size(); i += 3) {
        const int r = static_cast<unsigned char>(rgb[i]);
        const int g = static_cast<unsigned char>(rgb[i + 1]);
        const int b = static_cast<unsigned char>(rgb[i + 2]);
        if (g > 150 && g - r > 60 && g - b > 40) ++glow.green;
        if (r > 200 && r - g > 120 && r - b > 120) ++glow.red;
    }
    return glow;
}

// $'...' with every byte outside printable ASCII (and the quote and backslash) as \xHH.
QString bashBytes(const std::string& bytes) {
    QString quoted = QStringLiteral("$'");
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\'' && c != '\\') quoted += QLatin1Char(c);
        else quoted += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
    }
    return quoted + QLatin1Char('\'');
}

using NamesNotInUtf8SessionTest = test::DesktopSession;

TEST_F(NamesNotInUtf8SessionTest, ACassetteAndASongNamedInLatin1OpenAndPlayFromTheCommandLine) {
    const std::filesystem::path cassette = dir("music") / "Caf\xe9 Mix.norvo";
    {
        const CassetteDocument document(CassetteType::c60(), "", CassetteStyleCatalog::defaultStyle().design);
        TapeMedia media(CassetteType::c60(), dir("cache") / "maker");
        TapeFileCodec::write(document, media, cassette);
    }
    const std::filesystem::path song = dir("music") / "Ol\xe9 \xe0 la plage.wav";
    test::generateTone(dir("music") / "tone.wav", 20, 440, 440);
    std::filesystem::rename(dir("music") / "tone.wav", song);

    QProcessEnvironment environment = this->environment();
    environment.insert(QStringLiteral("TITLE"), QStringLiteral("Caf\uFFFD Mix"));
    // The names reach the script as bytes written out in bash's $'...' quoting: the
    // environment and the script pass through QStrings, which would decode them as text.
    const QString script = QStringLiteral("CASSETTE=") + bashBytes(cassette.string()) + QStringLiteral("\nSONG=") +
                           bashBytes(song.string()) + QStringLiteral("\n") + QString::fromUtf8(sessionScript);
    const Run run = runScript(script, environment);
    const QString& output = run.output;
    ASSERT_TRUE(run.finished) << "the session did not end:\n" << output.toStdString();

    EXPECT_TRUE(output.contains(QStringLiteral("title: Caf\uFFFD Mix\n"))) << "the cassette opened:\n"
                                                                           << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("exit: 0\n"))) << output.toStdString();

    QFile before(qdir("home") + QStringLiteral("/before.rgb"));
    QFile after(qdir("home") + QStringLiteral("/after.rgb"));
    ASSERT_TRUE(before.open(QIODevice::ReadOnly) && after.open(QIODevice::ReadOnly)) << output.toStdString();
    const Glow stopped = glowIn(before.readAll());
    const Glow played = glowIn(after.readAll());
    EXPECT_GT(played.green, stopped.green + 10)
        << "the LINE OUT lamp lit: the song plays (" << stopped.green << " -> " << played.green << " green pixels)";
    EXPECT_LE(played.red, stopped.red + 5)
        << "no error line under the meters (" << stopped.red << " -> " << played.red << " red pixels)";

    QFile recent(qdir("data") + QStringLiteral("/recently-used.xbel"));
    ASSERT_TRUE(recent.open(QIODevice::ReadOnly));
    EXPECT_TRUE(recent.readAll().contains("Caf%E9%20Mix.norvo")) << "noted by its real name";
}

}  // namespace
}  // namespace norvo
