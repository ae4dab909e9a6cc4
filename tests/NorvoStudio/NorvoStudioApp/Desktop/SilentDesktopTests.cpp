// The studio on a machine without any sound: no sound server, no sound card. The real
// binary records the player onto a cassette and plays it back, keeping time on its own.
#include <QFile>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "AudioEngine/TapeClock.hpp"
#include "AudioEngine/TapeMedia.hpp"
#include "Cassette/TapeFileCodec.hpp"
#include "Cassette/TapePositionStore.hpp"
#include "DesktopSession.hpp"
#include "Platform/DefaultsStore.hpp"
#include "Support/AudioFixtures.hpp"

namespace norvo {
namespace {

// Shared by both sessions: start with the cassette (and the song, when given), wait for
// the window and for the "No audio output" alert, which is acknowledged.
const char* const launch = R"SH(
set -u
"$APP" "$@" &
app=$!
win=$(xdotool search --sync --onlyvisible --name "^$TITLE\$" | head -n 1)
alert=$(timeout 15 xdotool search --sync --onlyvisible --name '^No audio output$' | head -n 1)
if [ -n "$alert" ]; then
  echo "alert: shown"
  xdotool windowfocus --sync "$alert" key Return
fi
xdotool windowfocus --sync "$win"
sleep 0.5
key() { xdotool key --clearmodifiers "$@"; }
finish() {
  key ctrl+q
  wait "$app"
  echo "exit: $?"
}
)SH";

// Play the song, arm REC (it records once the player is heard), stop after a few
// seconds, save into the cassette's file and quit.
const char* const recordSession = R"SH(
key space
sleep 0.5
key ctrl+alt+r
sleep 3
key ctrl+period
sleep 0.5
key ctrl+s
sleep 1
finish
)SH";

// PLAY on the deck for two seconds, STOP, quit.
const char* const playSession = R"SH(
key ctrl+alt+p
sleep 2
key ctrl+period
sleep 0.3
finish
)SH";

class SilentDesktopTest : public test::DesktopSession {
protected:
    // The fixture's environment reaches no sound server.
    QProcessEnvironment silentEnvironment() const {
        QProcessEnvironment environment = this->environment();
        environment.insert(QStringLiteral("TITLE"), QStringLiteral("Silent Sessions"));
        return environment;
    }

    Run session(const char* steps, const QStringList& documents) {
        QString script = QString::fromUtf8(launch) + QString::fromUtf8(steps);
        // The documents become the script's positional parameters.
        QString arguments;
        for (const QString& document : documents) arguments += QStringLiteral(" '") + document + QStringLiteral("'");
        script = QStringLiteral("set --") + arguments + QStringLiteral("\n") + script;
        return runScript(script, silentEnvironment(), 60000);
    }
};

TEST_F(SilentDesktopTest, RecordsThePlayerOntoSideAAndPlaysItBackWithoutAnySoundServer) {
    const CassetteDocument blank = makeCassette("Silent Sessions");
    const auto cassette = dir("music") / "Silent Sessions.norvo";
    const auto song = dir("music") / "Tone.wav";
    test::generateTone(song, 12, 440, 660, 44100, 2, {}, 0.5);

    const Run recording =
        session(recordSession, {QString::fromStdString(cassette.string()), QString::fromStdString(song.string())});
    ASSERT_TRUE(recording.finished) << "the recording session did not end:\n" << recording.output.toStdString();
    EXPECT_TRUE(recording.output.contains(QStringLiteral("exit: 0\n"))) << recording.output.toStdString();
    if (noSoundCard()) {
        EXPECT_TRUE(recording.output.contains(QStringLiteral("alert: shown\n"))) << recording.output.toStdString();
    }

    const int64_t second = TapeClock::sampleRate;
    {
        // Three seconds were recorded while the player played: the head went on with them.
        FileDefaultsStore settings(settingsFile());
        const auto left = TapePositionStore(settings).load(blank.id);
        ASSERT_TRUE(left.has_value()) << recording.output.toStdString();
        EXPECT_EQ(left->side, TapeSide::a);
        EXPECT_GT(left->head, 2 * second) << recording.output.toStdString();
        EXPECT_LT(left->head, 6 * second);
    }
    {
        // The saved side A holds the tone, not silence.
        const auto read = TapeFileCodec::read(cassette, {}, [&](const CassetteType& type) {
            return std::make_shared<TapeMedia>(type, dir("cache") / "reader");
        });
        const int64_t used = read.media->used(TapeSide::a);
        EXPECT_GT(used, 2 * second);
        const int16_t* frames = read.media->storage(TapeSide::a).frames();
        int peak = 0;
        for (int64_t i = 0; i < std::min(used, 2 * second) * 2; ++i) peak = std::max(peak, std::abs(int(frames[i])));
        EXPECT_GT(peak, 3000) << "side A was recorded silent";
        EXPECT_EQ(read.media->used(TapeSide::b), 0);
    }

    // The next session finds the cassette rewound to the start of side A.
    const Date rewoundAt = Date{} + std::chrono::hours(24 * 365 * 40);
    {
        FileDefaultsStore settings(settingsFile());
        TapePositionStore(settings).save({TapeSide::a, 0, rewoundAt}, blank.id);
    }
    const Run playing = session(playSession, {QString::fromStdString(cassette.string())});
    ASSERT_TRUE(playing.finished) << "the playing session did not end:\n" << playing.output.toStdString();
    EXPECT_TRUE(playing.output.contains(QStringLiteral("exit: 0\n"))) << playing.output.toStdString();

    FileDefaultsStore settings(settingsFile());
    const auto played = TapePositionStore(settings).load(blank.id);
    ASSERT_TRUE(played.has_value());
    EXPECT_GT(played->savedAt, rewoundAt);
    EXPECT_EQ(played->side, TapeSide::a);
    // Two seconds of PLAY moved the counter on from the start by about as much.
    EXPECT_GT(played->head, second) << playing.output.toStdString();
    EXPECT_LT(played->head, 4 * second);
}

}  // namespace
}  // namespace norvo
