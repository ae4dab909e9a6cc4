#include <gtest/gtest.h>

#include "NorvoStudio/Support/StudioFixture.hpp"

namespace norvo {
namespace {

using test::StudioFixture;

const HistoryEvent& lastRecorded(const CassetteDocument& document) {
    for (auto it = document.history.rbegin(); it != document.history.rend(); ++it)
        if (it->type == "recorded") return *it;
    throw std::runtime_error("no recorded event");
}

std::vector<std::string> titles(const std::vector<TrackMarker>& markers) {
    std::vector<std::string> result;
    for (const auto& marker : markers) result.push_back(marker.title);
    return result;
}

class StudioPassTest : public ::testing::Test {
protected:
    void SetUp() override {
        f.start();
        f.insertBlank();
    }
    int64_t head() const { return f.model->live().snapshot().transport.head; }

    StudioFixture f;
};

TEST_F(StudioPassTest, TwoFilesBackToBackGiveTwoMarkersBeforeTheHeadAndBothTitles) {
    const auto first = f.makeSong("First.wav", 0.5);
    const auto second = f.directory / "Second.FLAC";
    std::filesystem::rename(f.makeSong("Second.flac", 3.0), second);
    f->source().add({first, second});
    f->source().togglePlayPause();
    ASSERT_TRUE(f.waitForPlayback());
    f->transport(TransportCommand::record);
    f.run(0.2);
    int64_t secondSeen = -1;
    for (int i = 0; i < 120 && secondSeen < 0; ++i) {
        f.render(735);
        f.tick();
        if (f->source().currentTrack() && f->source().currentTrack()->title == "Second") secondSeen = head();
    }
    ASSERT_GE(secondSeen, 0);
    f.run(0.2);
    f->transport(TransportCommand::stop);
    f.tick();

    const auto& side = f->editor().document()->sideA;
    ASSERT_EQ(titles(side.markers), (std::vector<std::string>{"First", "Second"}));
    EXPECT_EQ(side.markers[0].frame, 0);  // never before the pass
    EXPECT_EQ(side.markers[1].frame, secondSeen - 2205);
    EXPECT_EQ(f->editor().document()->jcard.sideATracks, (std::vector<std::string>{"First", "Second"}));
    EXPECT_EQ(lastRecorded(*f->editor().document()).sourceFormat, "flac");
    EXPECT_EQ(lastRecorded(*f->editor().document()).source, "file");
}

TEST_F(StudioPassTest, RecordingAgainLogsTheCurrentTrackAnew) {
    ASSERT_TRUE(f.playSong(f.makeSong("Loop.wav", 4.0)));
    f->transport(TransportCommand::record);
    f.run(0.5);
    f->transport(TransportCommand::stop);
    f.tick();
    f->transport(TransportCommand::record);
    f.run(0.5);
    f->transport(TransportCommand::stop);
    f.tick();
    EXPECT_EQ(titles(f->editor().document()->sideA.markers), (std::vector<std::string>{"Loop", "Loop"}));
    EXPECT_EQ(f->editor().document()->jcard.sideATracks, std::vector<std::string>{"Loop"});
}

TEST_F(StudioPassTest, ANewPassBeforeAnyTickSawTheStopCommitsTheOldOneFirst) {
    ASSERT_TRUE(f.playSong(f.makeSong("Song.wav", 4.0)));
    f->transport(TransportCommand::record);
    f.run(0.3);
    f->transport(TransportCommand::stop);
    f->transport(TransportCommand::record);
    f.render(2048);
    f.tick();
    int recorded = 0;
    for (const auto& event : f->editor().document()->history) recorded += event.type == "recorded";
    EXPECT_EQ(recorded, 1);
    f->transport(TransportCommand::stop);
    f.tick();
    recorded = 0;
    for (const auto& event : f->editor().document()->history) recorded += event.type == "recorded";
    EXPECT_EQ(recorded, 2);
}

TEST_F(StudioPassTest, RadioMarkersArePlacedByTheStationLock) {
    const RadioStation one = f.station("one", "One FM"), two = f.station("two", "Two FM", "AAC+");
    f.tuneTo(one, "First");
    f.tick();
    ASSERT_EQ(f->deckInput(), DeckInput::tuner);
    f->transport(TransportCommand::record);
    f.run(1.0);
    ASSERT_EQ(f->live().snapshot().transport.mode, TransportMode::recording);

    // The new station locks now; its title is known 2 s later.
    auto stream = f.tuneTo(two, std::nullopt);
    f.render(735);
    f.tick();
    const auto lock = f->recordingLog().stationLockedAt();
    ASSERT_TRUE(lock);
    f.run(2.0);
    stream->play("Second");
    f.run(0.5);
    stream->play("Third");
    f.render(735);
    f.tick();
    const int64_t third = head();
    stream->play("Third");
    f.run(0.2);
    f->transport(TransportCommand::stop);
    f.tick();

    const auto& markers = f->editor().document()->sideA.markers;
    ASSERT_EQ(titles(markers), (std::vector<std::string>{"First", "Second", "Third"}));
    EXPECT_EQ(markers[1].frame, *lock);
    EXPECT_EQ(markers[2].frame, third - 2205);
    const auto& event = lastRecorded(*f->editor().document());
    EXPECT_EQ(event.source, "radio");
    EXPECT_EQ(event.sourceFormat, "aac");
    EXPECT_EQ(f->editor().document()->jcard.sideATracks, (std::vector<std::string>{"First", "Second", "Third"}));
}

TEST_F(StudioPassTest, AStationFirstLoggedOutsideTheSettleWindowUsesTheHead) {
    const RadioStation one = f.station("one", "One FM");
    f->setDeckInput(DeckInput::tuner);
    auto stream = f.tuneTo(one, std::nullopt);
    f->transport(TransportCommand::record);
    f.run(6.0);
    stream->play("Late");
    f.render(735);
    f.tick();
    const int64_t seen = head();
    f->transport(TransportCommand::stop);
    f.tick();
    ASSERT_EQ(f->editor().document()->sideA.markers.size(), 1u);
    EXPECT_EQ(f->editor().document()->sideA.markers[0].frame, seen - 2205);
    EXPECT_EQ(lastRecorded(*f->editor().document()).sourceFormat, "mp3");
}

// MARK: - The station lock

class StationLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        f.start();
        f.insertBlank();
    }
    StudioFixture f;
    RadioStation one = f.station("one", "One FM");
    RadioStation two = f.station("two", "Two FM", "AAC+");
};

TEST_F(StationLockTest, RetuningMovesTheLockAndLosingTheSignalClearsIt) {
    f->transport(TransportCommand::play);
    f.tuneTo(one, "Song");
    f.render(4410);
    f.tick();
    ASSERT_EQ(f->recordingLog().lockedStation(), "one");
    const auto firstLock = f->recordingLog().stationLockedAt();
    ASSERT_TRUE(firstLock);
    f.render(44100);
    f.tick();
    EXPECT_EQ(f->recordingLog().stationLockedAt(), firstLock);

    f.tuneTo(two, "Other");
    f.tick();
    EXPECT_EQ(f->recordingLog().lockedStation(), "two");
    EXPECT_EQ(f->recordingLog().stationLockedAt(), f->live().snapshot().transport.head);
    EXPECT_GT(*f->recordingLog().stationLockedAt(), *firstLock);

    f.tunerStreams.last()->loseSignal("The station is gone");
    f.tick();
    EXPECT_FALSE(f->recordingLog().lockedStation());
    EXPECT_FALSE(f->recordingLog().stationLockedAt());
}

}  // namespace
}  // namespace norvo
