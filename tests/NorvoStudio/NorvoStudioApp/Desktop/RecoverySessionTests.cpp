// A studio killed while it records gives the recording back at its next start: the real
// binary on a real X server, recording from the player, killed with SIGKILL, started
// again, the cassette recovered, saved, and played back from its start.
#include <algorithm>
#include <cmath>

#include "AudioEngine/TapeMedia.hpp"
#include "Cassette/TapeFileCodec.hpp"
#include "Cassette/TapePositionStore.hpp"
#include "DesktopSession.hpp"
#include "Platform/DefaultsStore.hpp"
#include "Support/AudioFixtures.hpp"

namespace norvo {
namespace {

// Record: a song for the player, a new C60 (Ctrl+N), the player playing (Space), RECORD
// (Ctrl+Alt+R); the title gains " — Edited" once the first frames are on the tape. A few
// seconds later, kill -9. Then start again, accept the offer, and quit saving the cassette.
const char* const recordAndRecoverScript = R"SH(
set -u
"$APP" "$SONG" &
app=$!
win=$(xdotool search --sync --onlyvisible --name "^Norvo Studio\$" | head -n 1)
acknowledge_audio
xdotool windowfocus --sync "$win"
xdotool key --clearmodifiers ctrl+n
xdotool search --sync --onlyvisible --name "^Untitled C60\$" >/dev/null
xdotool key --clearmodifiers space
xdotool key --clearmodifiers ctrl+alt+r
xdotool search --sync --onlyvisible --name "^Untitled C60 — Edited\$" >/dev/null
echo "recording: $(xdotool getwindowname "$win")"
sleep 3
kill -9 "$app"
wait "$app"
echo "killed: $?"
echo "kept: $(ls "$WORKSPACES" | wc -l)"

"$APP" &
app=$!
prompt=$(xdotool search --sync --onlyvisible --name "^Recover Cassette\$" | head -n 1)
echo "offered: $(xdotool getwindowname "$prompt")"
xdotool windowfocus --sync "$prompt" key Return
win=$(xdotool search --sync --onlyvisible --name "^Untitled C60 — Edited\$" | head -n 1)
echo "recovered: $(xdotool getwindowname "$win")"
acknowledge_audio
xdotool windowfocus --sync "$win"
xdotool key --clearmodifiers ctrl+q
# "Save the cassette …?": Save… is the default answer; then the save panel.
prompt=$(xdotool search --sync --onlyvisible --all --pid "$app" --name "^Norvo Studio\$" | head -n 1)
xdotool windowfocus --sync "$prompt" key Return
xdotool search --sync --onlyvisible --name "^Save As\$" >/dev/null
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 5 "$SAVED"
xdotool key Return
wait "$app"
echo "saved: $?"
)SH";

// Play: the saved cassette, put in from its start, PLAY (Ctrl+Alt+P) for a while, quit.
const char* const playBackScript = R"SH(
set -u
"$APP" "$SAVED" &
app=$!
win=$(xdotool search --sync --onlyvisible --name "^Recovered\$" | head -n 1)
acknowledge_audio
xdotool windowfocus --sync "$win"
xdotool key --clearmodifiers ctrl+alt+p
sleep 1
xdotool key --clearmodifiers ctrl+q
wait "$app"
echo "played: $?"
)SH";

using RecoverySessionTest = test::DesktopSession;

TEST_F(RecoverySessionTest, ARecordingKilledWithSigkillIsOfferedBackAtTheNextStartAndPlays) {
    const auto song = dir("music") / "Tone.wav";
    test::generateTone(song, 30.0, 440, 660, 44100, 2, {}, 0.3);
    const auto saved = dir("music") / "Recovered.norvo";
    const auto workspaces = dir("cache") / "Norvo Studio" / "Workspaces";

    QProcessEnvironment environment = this->environment();
    environment.insert(QStringLiteral("SONG"), QString::fromStdString(song.string()));
    environment.insert(QStringLiteral("SAVED"), QString::fromStdString(saved.string()));
    environment.insert(QStringLiteral("WORKSPACES"), QString::fromStdString(workspaces.string()));

    const Run recovery = runScript(QString::fromUtf8(recordAndRecoverScript), environment);
    const std::string output = recovery.output.toStdString();
    ASSERT_TRUE(recovery.finished) << "the session did not end:\n" << output;
    EXPECT_TRUE(recovery.output.contains(QStringLiteral("recording: Untitled C60 \u2014 Edited\n"))) << output;
    EXPECT_TRUE(recovery.output.contains(QStringLiteral("killed: 137\n"))) << output;
    EXPECT_TRUE(recovery.output.contains(QStringLiteral("kept: 1\n"))) << output;
    EXPECT_TRUE(recovery.output.contains(QStringLiteral("offered: Recover Cassette\n"))) << output;
    EXPECT_TRUE(recovery.output.contains(QStringLiteral("recovered: Untitled C60 \u2014 Edited\n"))) << output;
    EXPECT_TRUE(recovery.output.contains(QStringLiteral("saved: 0\n"))) << output;
    ASSERT_TRUE(std::filesystem::is_regular_file(saved)) << output;

    // What was recorded up to the last copy before the kill: seconds of the tone, level
    // to its last frame.
    const auto read = TapeFileCodec::read(saved, {}, [&](const CassetteType& type) {
        return std::make_shared<TapeMedia>(type, dir("cache") / "check");
    });
    const int64_t recorded = read.media->used(TapeSide::a);
    EXPECT_GE(recorded, 44100) << output;
    EXPECT_LE(recorded, 5 * 44100) << output;
    auto peak = [&](int64_t from, int64_t to) {
        const int16_t* frames = read.media->storage(TapeSide::a).frames();
        int loudest = 0;
        for (int64_t i = std::max<int64_t>(from, 0) * 2; i < to * 2; ++i)
            loudest = std::max(loudest, std::abs(int(frames[i])));
        return double(loudest) / 32768.0;
    };
    EXPECT_NEAR(peak(4410, 44100), 0.3, 0.05) << "the tone from the start";
    EXPECT_NEAR(peak(recorded - 4410, recorded - 441), 0.3, 0.05) << "and up to the end";
    EXPECT_EQ(read.document.history.size(), 2u) << "created, recorded";
    EXPECT_TRUE(std::filesystem::is_empty(workspaces)) << "the recovered workspace went with the saved cassette";

    {
        // Put in from its start, as if rewound.
        FileDefaultsStore settings(settingsFile());
        TapePositionStore(settings).save({TapeSide::a, 0, Date{}}, read.document.id);
    }
    const Run playBack = runScript(QString::fromUtf8(playBackScript), environment);
    ASSERT_TRUE(playBack.finished) << "the session did not end:\n" << playBack.output.toStdString();
    EXPECT_TRUE(playBack.output.contains(QStringLiteral("played: 0\n"))) << playBack.output.toStdString();
    FileDefaultsStore settings(settingsFile());
    const auto position = TapePositionStore(settings).load(read.document.id);
    ASSERT_TRUE(position.has_value());
    EXPECT_EQ(position->side, TapeSide::a);
    EXPECT_GT(position->head, 44100 / 2) << "the tape moved under the head, over the recording";
}

}  // namespace
}  // namespace norvo
