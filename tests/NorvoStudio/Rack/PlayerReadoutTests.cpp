#include <gtest/gtest.h>

#include <QUrl>
#include <cmath>
#include <fstream>
#include <limits>

#include "Rack/PlayerDrop.hpp"
#include "Rack/PlayerReadout.hpp"
#include "Rack/PlayerReorder.hpp"
#include "Rack/PlayerScrub.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

using State = SourcePlayerEngine::State;

SourceTrack track(const std::string& title, std::optional<int64_t> frames = std::nullopt) {
    return SourceTrack{Uuid::random(), "/music/" + title + ".mp3", title, frames};
}

std::vector<SourceTrack> songs(std::size_t count) {
    std::vector<SourceTrack> list;
    for (std::size_t i = 0; i < count; ++i) list.push_back(track("Song " + std::to_string(i + 1)));
    return list;
}

PlayerReadout::Inputs inputsFor(const std::vector<SourceTrack>& list) {
    PlayerReadout::Inputs in;
    in.tracks = list;
    return in;
}

TEST(PlayerDisplay, EmptyPlayerIsDarkWithTheDropHint) {
    const PlayerReadout r = PlayerReadout::make(PlayerReadout::Inputs{});
    EXPECT_EQ(r.trackNumber, "--");
    EXPECT_EQ(r.time, "-:--");
    EXPECT_EQ(r.status, "NO DISC — DROP MP3 / WAV FILES");
    EXPECT_FALSE(r.statusLit);
    EXPECT_FALSE(r.figuresLit);
    EXPECT_FALSE(r.playing);
    EXPECT_EQ(r.discDegrees, 0);
    EXPECT_EQ(r.progress, 0);
    EXPECT_FALSE(r.progressEnabled);
    EXPECT_EQ(r.progressTotal, 1);
    EXPECT_EQ(r.durationText, "");
    EXPECT_FALSE(r.error.has_value());
}

TEST(PlayerDisplay, TrackNumberAndStatusFollowCurrentThenSelection) {
    std::vector<SourceTrack> list = songs(120);
    PlayerReadout::Inputs in = inputsFor(list);
    PlayerReadout r = PlayerReadout::make(in);
    EXPECT_EQ(r.trackNumber, "--");
    EXPECT_EQ(r.status, "120 TRACKS  ·  READY");
    EXPECT_TRUE(r.statusLit);
    EXPECT_TRUE(r.figuresLit);

    in.selection = in.tracks[8].id;
    r = PlayerReadout::make(in);
    EXPECT_EQ(r.trackNumber, "09");
    EXPECT_EQ(r.status, "120 TRACKS  ·  READY");

    in.currentTrackID = in.tracks[99].id;
    list[99].title = "Mixed Case ünïcode";
    r = PlayerReadout::make(in);
    EXPECT_EQ(r.trackNumber, "100");
    EXPECT_EQ(r.status, QStringLiteral("\u2068MIXED CASE ÜNÏCODE\u2069"));

    // A name that would turn the line round or break it: controls replaced, direction kept inside.
    list[99].title = "evil\u202Egnp\nmp3";
    EXPECT_EQ(PlayerReadout::make(in).status, QStringLiteral("\u2068EVIL\uFFFDGNP\uFFFDMP3\u2069"));

    // A current id that left the list shows dashes, not the selection.
    in.currentTrackID = Uuid::random();
    r = PlayerReadout::make(in);
    EXPECT_EQ(r.trackNumber, "--");
    EXPECT_EQ(r.status, "120 TRACKS  ·  READY");
}

TEST(PlayerDisplay, TimeDiscAndBarByState) {
    const std::vector<SourceTrack> list = songs(1);
    PlayerReadout::Inputs in = inputsFor(list);
    in.currentTrackID = in.tracks[0].id;
    in.duration = 44100 * 200;
    in.position = static_cast<int64_t>(61.5 * 44100);

    in.state = State::playing;
    PlayerReadout r = PlayerReadout::make(in);
    EXPECT_EQ(r.time, "1:01");
    EXPECT_TRUE(r.playing);
    EXPECT_DOUBLE_EQ(r.discDegrees, 180.0);
    EXPECT_DOUBLE_EQ(r.progress, 61.5 / 200);
    EXPECT_TRUE(r.progressEnabled);
    EXPECT_EQ(r.durationText, "3:20");

    in.state = State::paused;
    r = PlayerReadout::make(in);
    EXPECT_EQ(r.time, "1:01");
    EXPECT_FALSE(r.playing);
    EXPECT_EQ(r.discDegrees, 0);
    EXPECT_DOUBLE_EQ(r.progress, 61.5 / 200);
    EXPECT_TRUE(r.progressEnabled);

    in.state = State::stopped;
    r = PlayerReadout::make(in);
    EXPECT_EQ(r.time, "-:--");
    EXPECT_EQ(r.progress, 0);
    EXPECT_FALSE(r.progressEnabled);

    // Long positions and a position past the length keep the bar inside its groove.
    in.state = State::playing;
    in.position = (3600 + 2 * 60 + 3) * 44100LL;
    r = PlayerReadout::make(in);
    EXPECT_EQ(r.time, "1:02:03");
    EXPECT_EQ(r.progress, 1.0);

    // A scrub in progress moves the fill, not the time.
    in.scrubbing = 0.25;
    r = PlayerReadout::make(in);
    EXPECT_EQ(r.progress, 0.25);
    EXPECT_EQ(r.time, "1:02:03");

    in.duration = 0;
    in.scrubbing.reset();
    r = PlayerReadout::make(in);
    EXPECT_EQ(r.progressTotal, 1);
    EXPECT_EQ(r.durationText, "");
}

TEST(PlayerDisplay, ErrorLineAndRowTexts) {
    const std::vector<SourceTrack> list = songs(1);
    PlayerReadout::Inputs in = inputsFor(list);
    in.lastError = "Cannot play Gone: the file is missing";
    EXPECT_EQ(PlayerReadout::make(in).error, QString("Cannot play Gone: the file is missing"));

    EXPECT_EQ(PlayerReadout::rowNumber(0), "01");
    EXPECT_EQ(PlayerReadout::rowNumber(99), "100");
    EXPECT_EQ(PlayerReadout::lengthText(std::nullopt), "");
    EXPECT_EQ(PlayerReadout::lengthText(3599 * 44100LL), "59:59");
    EXPECT_EQ(PlayerReadout::lengthText(3600 * 44100LL), "1:00:00");
}

TEST(PlayerScrubbing, FractionIsClampedAndSeekHappensOnceOnRelease) {
    EXPECT_EQ(PlayerScrub::fraction(50, 200), 0.25);
    EXPECT_EQ(PlayerScrub::fraction(-30, 200), 0.0);
    EXPECT_EQ(PlayerScrub::fraction(260, 200), 1.0);
    EXPECT_EQ(PlayerScrub::fraction(0, 0), 0.0);
    EXPECT_EQ(PlayerScrub::fraction(5, 0), 1.0);
    EXPECT_EQ(PlayerScrub::fraction(-5, 0), 0.0);
    EXPECT_EQ(PlayerScrub::fraction(std::numeric_limits<double>::quiet_NaN(), 100), 0.0);

    PlayerScrub scrub;
    EXPECT_FALSE(scrub.release(1000).has_value());  // a release without a press seeks nowhere

    scrub.move(10, 200);
    scrub.move(500, 200);  // dragged beyond the right end
    EXPECT_EQ(scrub.value(), 1.0);
    EXPECT_EQ(scrub.release(44100.0 * 200), 44100 * 200);
    EXPECT_FALSE(scrub.value().has_value());

    scrub.move(50, 200);
    EXPECT_EQ(scrub.release(1001), 250);  // truncated

    scrub.move(100, 200);
    scrub.cancel();
    EXPECT_FALSE(scrub.release(1000).has_value());
}

TEST(PlayerReordering, GapIsTheNearestRowBoundary) {
    EXPECT_EQ(PlayerReorder::gap(-4, 20, 5), 0u);
    EXPECT_EQ(PlayerReorder::gap(9, 20, 5), 0u);
    EXPECT_EQ(PlayerReorder::gap(11, 20, 5), 1u);
    EXPECT_EQ(PlayerReorder::gap(95, 20, 5), 5u);
    EXPECT_EQ(PlayerReorder::gap(5000, 20, 5), 5u);
    EXPECT_EQ(PlayerReorder::gap(40, 0, 5), 0u);
}

TEST(PlayerReordering, DropFindsTheDraggedTrackInTheListAsItIsNow) {
    std::vector<SourceTrack> tracks{track("a"), track("b"), track("c"), track("d")};
    PlayerReorder drag;
    EXPECT_FALSE(drag.drop(tracks, 2).has_value());  // nothing dragged

    drag.begin(tracks[0].id);
    const auto down = drag.drop(tracks, 3);
    ASSERT_TRUE(down.has_value());
    EXPECT_EQ(*down, (PlayerReorder::Move{{0}, 3}));
    EXPECT_FALSE(drag.active());

    // The list was rebuilt during the drag: the track is found where it now is.
    drag.begin(tracks[2].id);
    tracks.insert(tracks.begin(), track("new"));
    EXPECT_EQ(drag.drop(tracks, 0), (PlayerReorder::Move{{3}, 0}));

    // Dropping next to itself, or after the track went away, moves nothing.
    drag.begin(tracks[1].id);
    EXPECT_FALSE(drag.drop(tracks, 1).has_value());
    drag.begin(tracks[1].id);
    EXPECT_FALSE(drag.drop(tracks, 2).has_value());
    drag.begin(tracks[1].id);
    tracks.erase(tracks.begin() + 1);
    EXPECT_FALSE(drag.drop(tracks, 0).has_value());
}

TEST(PlayerFileDrop, TakesPlayableLocalFilesAndSkipsFolders) {
    test::TemporaryDirectory dir;
    for (const char* name : {"one.mp3", "two.FLAC", "notes.txt"}) std::ofstream(dir / name) << "x";
    std::filesystem::create_directory(dir / "album.mp3");
    std::filesystem::create_directory(dir / "folder");
    const auto url = [&](const char* name) {
        return QUrl::fromLocalFile(QString::fromStdString((dir / name).string()));
    };

    const auto files = PlayerDrop::playableFiles({url("notes.txt"), url("one.mp3"), url("album.mp3"), url("folder"),
                                                  QUrl("https://example.org/remote.mp3"), url("two.FLAC")});
    EXPECT_EQ(files, (std::vector<std::filesystem::path>{dir / "one.mp3", dir / "two.FLAC"}));
    EXPECT_TRUE(PlayerDrop::playableFiles({url("notes.txt"), url("folder")}).empty());

    // A Latin-1 name arrives percent-encoded; the file is taken by its real bytes.
    const std::string latin1 = "caf\xe9.mp3";
    std::ofstream(dir / latin1) << "x";
    const QUrl dropped =
        QUrl::fromEncoded("file://" + QByteArray::fromStdString((dir / latin1).string()).toPercentEncoding("/"));
    EXPECT_EQ(PlayerDrop::playableFiles({dropped}), std::vector<std::filesystem::path>{dir / latin1});
}

}  // namespace
}  // namespace norvo
