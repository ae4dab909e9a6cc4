#include "SourcePlayer/SourcePlayerEngine.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "Support/FakeSourceStreamFactory.hpp"
#include "Support/WaitableExecutor.hpp"

namespace norvo {
namespace {

using State = SourcePlayerEngine::State;
using test::FakeSourceStreamFactory;
using test::FakeStreamRecord;
using test::WaitableExecutor;

constexpr int64_t songFrames = 441000;  // 10 s

class SourcePlayerEngineTest : public ::testing::Test {
protected:
    // Adds `count` songs the factory can open and measures them; returns their ids in list order.
    std::vector<Uuid> addSongs(int count) {
        std::vector<std::filesystem::path> files;
        for (int i = 0; i < count; ++i) {
            files.push_back("/music/Song " + std::to_string(i) + ".mp3");
            factory.addFile(files.back(), songFrames);
        }
        player.add(files);
        // Measured before the test goes on, so no length arrives in the middle of it.
        waitForLengths();
        return ids();
    }
    std::vector<Uuid> ids() const {
        std::vector<Uuid> result;
        for (const auto& track : player.tracks()) result.push_back(track.id);
        return result;
    }
    std::shared_ptr<FakeStreamRecord> lastStream() const { return factory.lastOpened(); }
    // A tick's snapshot as the core would report it for the installed stream.
    CoreSnapshot snapshot(int64_t position) const {
        CoreSnapshot s;
        s.sourceLoaded = core.inputs().sourceStream != nullptr;
        s.sourcePlaying = core.inputs().sourcePlaying;
        s.sourcePosition = position;
        s.sourceDuration = core.inputs().sourceStream ? core.inputs().sourceStream->duration() : 0;
        s.sourceEndCount = endCount;
        s.autoPauseCount = autoPauseCount;
        return s;
    }
    // Waits for the player's worker to stop and free a stream it no longer wants.
    bool retired(const std::shared_ptr<FakeStreamRecord>& record) {
        return executor.runUntil([&] { return record->destroyed.load(); }) && record->cancelled;
    }
    // Runs the length measurements' results until every track has one.
    void waitForLengths() {
        ASSERT_TRUE(executor.runUntil([&] {
            for (const auto& track : player.tracks())
                if (!track.durationFrames) return false;
            return true;
        }));
    }
    // Lets the stream of the newest play or seek open on the player's worker and arrive.
    void settle() {
        ASSERT_TRUE(executor.runUntil([&] { return !player.isOpeningStream(); }));
    }
    // The installed stream ran out: the core counted an end and stopped pulling.
    void finishStream() {
        auto stream = lastStream();
        ASSERT_NE(stream, nullptr);
        stream->drained = true;
        core.setSourcePlaying(false);
        ++endCount;
    }

    AudioCore core;
    FakeSourceStreamFactory factory{core};
    WaitableExecutor executor;
    SourcePlayerEngine player{core, factory, executor};
    uint64_t endCount = 0;
    uint64_t autoPauseCount = 0;
};

// Supported files -------------------------------------------------------------------------

struct SupportCase {
    const char* path;
    bool supported;
};
void PrintTo(const SupportCase& c, std::ostream* out) { *out << c.path; }

class SupportedFileTest : public ::testing::TestWithParam<SupportCase> {};

TEST_P(SupportedFileTest, DecidesByTheExtensionIgnoringCase) {
    EXPECT_EQ(SourcePlayerEngine::isSupported(GetParam().path), GetParam().supported) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(Extensions, SupportedFileTest,
                         ::testing::Values(SupportCase{"/a/song.mp3", true}, SupportCase{"/a/song.MP3", true},
                                           SupportCase{"/a/song.wav", true}, SupportCase{"/a/song.Wave", true},
                                           SupportCase{"/a/song.aif", true}, SupportCase{"/a/song.AIFF", true},
                                           SupportCase{"/a/song.m4a", true}, SupportCase{"/a/song.flac", true},
                                           SupportCase{"/a/song.caf", true}, SupportCase{"/a/song.ogg", false},
                                           SupportCase{"/a/song.mp3.txt", false}, SupportCase{"/a/song", false},
                                           SupportCase{"/a/mp3", false}, SupportCase{"/a.mp3/song", false}));

// Adding ------------------------------------------------------------------------------------

TEST_F(SourcePlayerEngineTest, AddKeepsSupportedFilesInOrderAndSelectsTheFirst) {
    player.add({"/m/B Side.MP3", "/m/notes.txt", "/m/intro.take2.wav", "/m/cover.jpg"});

    ASSERT_EQ(player.tracks().size(), 2u);
    EXPECT_EQ(player.tracks()[0].title, "B Side");
    EXPECT_EQ(player.tracks()[0].url, std::filesystem::path("/m/B Side.MP3"));
    EXPECT_EQ(player.tracks()[1].title, "intro.take2");
    EXPECT_NE(player.tracks()[0].id, player.tracks()[1].id);
    EXPECT_FALSE(player.tracks()[0].durationFrames);
    EXPECT_EQ(player.selection(), player.tracks()[0].id);
    EXPECT_EQ(player.changeCount(), 1u);
}

TEST_F(SourcePlayerEngineTest, AddKeepsAnExistingSelection) {
    auto songs = addSongs(2);
    player.setSelection(songs[1]);
    player.add({"/m/later.flac"});
    EXPECT_EQ(player.tracks().size(), 3u);
    EXPECT_EQ(player.selection(), songs[1]);

    // With the selection cleared, the first newly added track is selected.
    player.setSelection(std::nullopt);
    player.add({"/m/x.txt", "/m/one.caf", "/m/two.caf"});
    EXPECT_EQ(player.selection(), player.tracks()[3].id);
}

TEST_F(SourcePlayerEngineTest, AddingNothingSupportedChangesNothing) {
    player.add({});
    player.add({"/m/readme", "/m/a.pdf"});
    EXPECT_TRUE(player.tracks().empty());
    EXPECT_FALSE(player.selection());
    EXPECT_EQ(player.changeCount(), 0u);
}

// Play, pause, stop ---------------------------------------------------------------------------

TEST_F(SourcePlayerEngineTest, PlayStartsTheSelectedTrackFromTheBeginning) {
    auto songs = addSongs(3);
    player.setSelection(songs[1]);
    const auto before = player.changeCount();

    player.togglePlayPause();

    // Published at once; the stream follows when it has opened.
    EXPECT_EQ(player.state(), State::playing);
    EXPECT_EQ(player.currentTrackID(), songs[1]);
    EXPECT_EQ(player.currentTrack()->title, "Song 1");
    EXPECT_EQ(player.position(), 0);
    EXPECT_EQ(player.duration(), songFrames);
    EXPECT_EQ(player.changeCount(), before + 1);

    settle();
    ASSERT_EQ(factory.opened().size(), 1u);
    EXPECT_EQ(lastStream()->file, player.tracks()[1].url);
    EXPECT_EQ(lastStream()->startFrame, 0);
    EXPECT_EQ(lastStream()->measuredFrames, songFrames) << "a measured file is not measured again";
    EXPECT_NE(core.inputs().sourceStream, nullptr);
    EXPECT_TRUE(core.inputs().sourcePlaying);
    EXPECT_EQ(player.changeCount(), before + 1) << "nothing published changed when the stream arrived";
}

// Opening behind the main thread -----------------------------------------------------------------

TEST_F(SourcePlayerEngineTest, PlayReturnsAtOnceWhileTheStreamOpensBehind) {
    auto songs = addSongs(2);
    factory.holdOpens();  // a slow disk: the open does not finish until the test says so

    player.play(songs[1]);

    EXPECT_EQ(player.state(), State::playing);
    EXPECT_TRUE(player.isOpeningStream());
    EXPECT_EQ(core.inputs().sourceStream, nullptr);
    ASSERT_TRUE(factory.waitForOpensStarted(1));

    factory.releaseOpens();
    settle();
    EXPECT_FALSE(player.isOpeningStream());
    ASSERT_NE(core.inputs().sourceStream, nullptr);
    EXPECT_TRUE(core.inputs().sourcePlaying);
    EXPECT_EQ(lastStream()->file, player.tracks()[1].url);
}

TEST_F(SourcePlayerEngineTest, RapidSeeksEndOnTheLastOne) {
    auto songs = addSongs(1);
    player.play(songs[0]);
    settle();
    factory.holdOpens();

    for (int64_t frame = 1000; frame <= 10000; frame += 1000) player.seek(frame);
    EXPECT_EQ(player.position(), 10000);
    EXPECT_EQ(core.inputs().sourceStream, nullptr) << "the old stream left the core at the first seek";

    ASSERT_TRUE(factory.waitForOpensStarted(2));
    factory.releaseOpens();
    settle();
    ASSERT_NE(core.inputs().sourceStream, nullptr);
    EXPECT_EQ(core.inputs().sourceStream->position(), 10000);
    EXPECT_EQ(player.position(), 10000);
    // The open in flight when the seeks came, and the last seek's: nothing in between.
    const auto opened = factory.opened();
    EXPECT_LE(opened.size(), 3u);
    EXPECT_EQ(opened.back()->startFrame, 10000);
    // Every stream but the installed one is stopped and freed, off the main thread.
    ASSERT_TRUE(executor.runUntil([&] {
        for (std::size_t i = 0; i + 1 < factory.opened().size(); ++i)
            if (!factory.opened()[i]->destroyed) return false;
        return true;
    }));
    for (const auto& record : opened) EXPECT_FALSE(record->touchedUnderCoreLock);
}

TEST_F(SourcePlayerEngineTest, StopOrPauseWhileOpeningIsHonouredWhenTheStreamArrives) {
    auto songs = addSongs(2);
    factory.holdOpens();
    player.play(songs[0]);
    player.togglePlayPause();
    EXPECT_EQ(player.state(), State::paused);
    factory.releaseOpens();
    settle();
    ASSERT_NE(core.inputs().sourceStream, nullptr);
    EXPECT_FALSE(core.inputs().sourcePlaying) << "paused while it opened: installed paused";

    player.togglePlayPause();
    EXPECT_TRUE(core.inputs().sourcePlaying);

    factory.holdOpens();
    player.play(songs[1]);
    ASSERT_TRUE(factory.waitForOpensStarted(2));  // the open is in flight when the user stops
    player.stop();
    EXPECT_FALSE(player.isOpeningStream());
    factory.releaseOpens();
    ASSERT_TRUE(executor.runUntil([&] { return factory.opened().size() == 2 && lastStream()->destroyed; }));
    EXPECT_EQ(core.inputs().sourceStream, nullptr);
    EXPECT_EQ(player.state(), State::stopped);
    EXPECT_EQ(player.position(), 0);
}

class UnusableSelectionTest : public SourcePlayerEngineTest, public ::testing::WithParamInterface<bool> {};

TEST_P(UnusableSelectionTest, PlayStartsTheFirstTrack) {
    auto songs = addSongs(2);
    // No selection, or one whose track is no longer listed.
    player.setSelection(GetParam() ? std::optional<Uuid>(Uuid::random()) : std::nullopt);

    player.togglePlayPause();
    settle();

    EXPECT_EQ(player.currentTrackID(), songs[0]);
    EXPECT_EQ(player.selection(), songs[0]);
    EXPECT_EQ(player.state(), State::playing);
}

INSTANTIATE_TEST_SUITE_P(Selections, UnusableSelectionTest, ::testing::Bool());

TEST_F(SourcePlayerEngineTest, PlayWithAnEmptyListDoesNothing) {
    player.togglePlayPause();
    settle();
    EXPECT_EQ(player.state(), State::stopped);
    EXPECT_TRUE(factory.opened().empty());
    EXPECT_EQ(player.changeCount(), 0u);
}

TEST_F(SourcePlayerEngineTest, PauseKeepsTheStreamAndResumeGoesOnWithIt) {
    addSongs(1);
    player.togglePlayPause();
    settle();
    SourceStream* installed = core.inputs().sourceStream;
    player.poll(snapshot(5000));
    settle();

    player.togglePlayPause();
    settle();
    EXPECT_EQ(player.state(), State::paused);
    EXPECT_FALSE(core.inputs().sourcePlaying);
    EXPECT_EQ(core.inputs().sourceStream, installed);
    EXPECT_FALSE(lastStream()->cancelled);
    EXPECT_EQ(player.position(), 5000);

    const auto before = player.changeCount();
    player.togglePlayPause();
    settle();
    EXPECT_EQ(player.state(), State::playing);
    EXPECT_TRUE(core.inputs().sourcePlaying);
    EXPECT_EQ(core.inputs().sourceStream, installed);
    EXPECT_EQ(factory.opened().size(), 1u);
    EXPECT_EQ(player.changeCount(), before + 1);
}

TEST_F(SourcePlayerEngineTest, StopClosesTheStreamAndKeepsTheTrackCurrent) {
    auto songs = addSongs(2);
    player.play(songs[1]);
    settle();
    player.poll(snapshot(9000));
    settle();

    player.stop();

    EXPECT_EQ(player.state(), State::stopped);
    EXPECT_EQ(player.position(), 0);
    EXPECT_EQ(player.currentTrackID(), songs[1]);
    EXPECT_EQ(core.inputs().sourceStream, nullptr);
    EXPECT_FALSE(core.inputs().sourcePlaying);
    EXPECT_TRUE(retired(lastStream()));

    // Playing again starts the stopped track from its beginning.
    player.togglePlayPause();
    settle();
    EXPECT_EQ(player.currentTrackID(), songs[1]);
    EXPECT_EQ(lastStream()->startFrame, 0);
}

TEST_F(SourcePlayerEngineTest, EveryPlayInstallsANewStreamAndRetiresTheOldOneOutsideTheCoreLock) {
    auto songs = addSongs(2);
    player.play(songs[0]);
    settle();
    auto first = lastStream();
    player.play(songs[1]);
    settle();
    player.play(songs[1]);
    settle();

    ASSERT_EQ(factory.opened().size(), 3u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(retired(factory.opened()[i]));
        EXPECT_FALSE(factory.opened()[i]->touchedUnderCoreLock);
    }
    EXPECT_FALSE(lastStream()->cancelled);
    EXPECT_EQ(core.inputs().sourceStream->duration(), songFrames);
    EXPECT_EQ(player.currentTrackID(), songs[1]);
}

TEST_F(SourcePlayerEngineTest, PlayingAnUnknownIdDoesNothing) {
    addSongs(1);
    player.play(Uuid::random());
    settle();
    EXPECT_EQ(player.state(), State::stopped);
    EXPECT_TRUE(factory.opened().empty());
}

TEST_F(SourcePlayerEngineTest, DestroyingThePlayerTakesItsStreamOutOfTheCore) {
    auto doomed = std::make_unique<SourcePlayerEngine>(core, factory, executor);
    factory.addFile("/m/a.wav", songFrames);
    doomed->add({"/m/a.wav"});
    doomed->togglePlayPause();
    ASSERT_TRUE(executor.runUntil([&] { return !doomed->isOpeningStream(); }));
    ASSERT_NE(core.inputs().sourceStream, nullptr);
    doomed.reset();
    EXPECT_EQ(core.inputs().sourceStream, nullptr);
    EXPECT_TRUE(lastStream()->destroyed) << "the player's worker is gone: freed before it returned";
    EXPECT_FALSE(lastStream()->touchedUnderCoreLock);
}

// Failures --------------------------------------------------------------------------------------

TEST_F(SourcePlayerEngineTest, AFileThatCannotBeOpenedReportsAndStopsButStaysListed) {
    auto songs = addSongs(2);
    player.play(songs[0]);
    settle();
    player.add({"/music/Gone.mp3"});  // never known to the factory

    player.play(player.tracks()[2].id);
    settle();

    EXPECT_EQ(player.lastError(), "Cannot play Gone: Unsupported audio format: Gone.mp3");
    EXPECT_EQ(player.state(), State::stopped);
    EXPECT_EQ(player.position(), 0);
    EXPECT_EQ(player.duration(), 0) << "no length of the track that played before";
    EXPECT_EQ(player.tracks().size(), 3u);
    EXPECT_EQ(core.inputs().sourceStream, nullptr);
    EXPECT_TRUE(retired(factory.opened()[0]));

    // A later successful start clears the report.
    player.play(songs[1]);
    settle();
    EXPECT_FALSE(player.lastError());
    EXPECT_EQ(player.state(), State::playing);
}

TEST_F(SourcePlayerEngineTest, ASeekIntoAVanishedFileReportsAndStops) {
    auto songs = addSongs(1);
    player.play(songs[0]);
    settle();
    factory.removeFile(player.tracks()[0].url);

    player.seek(1000);
    settle();

    EXPECT_EQ(player.lastError(), "Cannot play Song 0: Unsupported audio format: Song 0.mp3");
    EXPECT_EQ(player.state(), State::stopped);
    EXPECT_EQ(core.inputs().sourceStream, nullptr);
    EXPECT_EQ(player.tracks().size(), 1u);
}

TEST_F(SourcePlayerEngineTest, ADecodingFailureInTheMiddleOfAFileIsReportedAndTheListGoesOn) {
    auto songs = addSongs(2);
    player.play(songs[0]);
    settle();
    player.poll(snapshot(1000));
    EXPECT_FALSE(player.lastError());

    lastStream()->failsDecoding = true;
    player.poll(snapshot(2000));
    const std::string expected =
        "Cannot play Song 0: Audio conversion failed: Invalid data found when processing input";
    EXPECT_EQ(player.lastError(), expected);
    EXPECT_EQ(player.state(), State::playing) << "what was decoded still plays out";

    // The stream ends where decoding failed and the next track starts: the report
    // belonged to the track that failed and goes with it.
    finishStream();
    player.poll(snapshot(2000));
    EXPECT_EQ(player.currentTrackID(), songs[1]);
    EXPECT_FALSE(player.lastError());
    settle();
    EXPECT_EQ(player.state(), State::playing);
}

// A report belongs to the track that failed ---------------------------------------------------

enum class Choice {
    selectOther,
    selectNothing,
    selectFailed,
    next,
    previous,
    playOther,
    playFailedAgain,
    removeFailed,
    removeOther,
    stop,
    addMore
};

struct ReportCase {
    const char* name;
    Choice choice;
    bool reportStays;
};
void PrintTo(const ReportCase& c, std::ostream* out) { *out << c.name; }

class FailedTrackReportTest : public SourcePlayerEngineTest, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(FailedTrackReportTest, GoesWhenAnotherTrackIsChosenOrItsTrackLeaves) {
    const auto songs = addSongs(3);
    factory.removeFile(player.tracks()[1].url);  // deleted after it was added
    player.play(songs[1]);
    settle();
    const std::string report = "Cannot play Song 1: Unsupported audio format: Song 1.mp3";
    ASSERT_EQ(player.lastError(), report);

    switch (GetParam().choice) {
    case Choice::selectOther: player.setSelection(songs[2]); break;
    case Choice::selectNothing: player.setSelection(std::nullopt); break;
    case Choice::selectFailed: player.setSelection(songs[1]); break;
    case Choice::next: player.next(); break;
    case Choice::previous: player.previous(); break;
    case Choice::playOther: player.play(songs[0]); break;
    case Choice::playFailedAgain: player.play(songs[1]); break;
    case Choice::removeFailed: player.remove({songs[1]}); break;
    case Choice::removeOther: player.remove({songs[0]}); break;
    case Choice::stop: player.stop(); break;
    case Choice::addMore: player.add({"/music/Later.mp3"}); break;
    }
    const std::optional<std::string> expected =
        GetParam().reportStays ? std::optional<std::string>(report) : std::nullopt;
    EXPECT_EQ(player.lastError(), expected) << "at once, not when a stream opens";
    settle();
    EXPECT_EQ(player.lastError(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, FailedTrackReportTest,
    ::testing::Values(
        ReportCase{"selectOther", Choice::selectOther, false}, ReportCase{"selectNothing", Choice::selectNothing, true},
        ReportCase{"selectFailed", Choice::selectFailed, true}, ReportCase{"next", Choice::next, false},
        ReportCase{"previous", Choice::previous, false}, ReportCase{"playOther", Choice::playOther, false},
        ReportCase{"playFailedAgain", Choice::playFailedAgain, true},
        ReportCase{"removeFailed", Choice::removeFailed, false}, ReportCase{"removeOther", Choice::removeOther, true},
        ReportCase{"stop", Choice::stop, true}, ReportCase{"addMore", Choice::addMore, true}),
    [](const ::testing::TestParamInfo<ReportCase>& info) { return std::string(info.param.name); });

TEST_F(SourcePlayerEngineTest, TheLengthFollowsTheMeasuredOneAndSeeksStopThere) {
    // A file whose headers overstate its length (a VBR MP3 without a length header, or
    // a truncated one): the stream starts with the estimate and then learns better.
    factory.addFile("/m/vbr.mp3", 2 * songFrames);
    player.add({"/m/vbr.mp3"});
    player.togglePlayPause();
    settle();
    ASSERT_EQ(player.duration(), 2 * songFrames);

    lastStream()->duration = songFrames;  // measured while it plays
    player.poll(snapshot(500));
    EXPECT_EQ(player.duration(), songFrames);

    player.seek(songFrames + 44100);
    EXPECT_EQ(player.position(), songFrames);
    settle();
    EXPECT_EQ(lastStream()->startFrame, songFrames);
}

TEST_F(SourcePlayerEngineTest, ANameThatIsNotUtf8ShowsWithReplacementCharacters) {
    const std::filesystem::path latin1 = "/m/Caf\xe9 \xff.mp3";  // as an old disk may name it
    player.add({latin1, "/m/Gone \xe9.mp3"});
    ASSERT_EQ(player.tracks().size(), 2u);
    EXPECT_EQ(player.tracks()[0].title, "Caf\uFFFD \uFFFD");
    EXPECT_EQ(player.tracks()[0].url, latin1) << "the file keeps its real name";

    factory.addFile(latin1, songFrames);
    player.play(player.tracks()[0].id);
    settle();
    EXPECT_EQ(lastStream()->file, latin1);
    EXPECT_NE(core.inputs().sourceStream, nullptr);

    player.play(player.tracks()[1].id);
    settle();
    EXPECT_EQ(player.lastError(), "Cannot play Gone \uFFFD: Unsupported audio format: Gone \uFFFD.mp3");
}

TEST_F(SourcePlayerEngineTest, ANameThatCouldBreakOrReorderTheSentenceIsEscapedInIt) {
    player.add({"/m/Gone\u202E3pm.mp3", "/m/Two\nLines.mp3"});
    ASSERT_EQ(player.tracks().size(), 2u);
    player.play(player.tracks()[0].id);
    settle();
    EXPECT_TRUE(player.lastError()->starts_with("Cannot play Gone\\u202E3pm: ")) << *player.lastError();
    player.play(player.tracks()[1].id);
    settle();
    EXPECT_TRUE(player.lastError()->starts_with("Cannot play Two\\x0ALines: ")) << *player.lastError();
}

// Next and previous -------------------------------------------------------------------------

enum class Setup { noCurrent, playing, paused, stopped };
enum class Step { next, previous };

struct StepCase {
    const char* name;
    Setup setup;
    int current;   // track made current by the setup, -1 for none
    int selected;  // selection after the setup, -1 for none
    Step step;
    int expectedCurrent;
    State expectedState;
    bool expectsNewStream;  // a new stream started at frame 0
};

void PrintTo(const StepCase& c, std::ostream* out) { *out << c.name; }

class NextPreviousTest : public SourcePlayerEngineTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(NextPreviousTest, MovesAlongTheListWithoutWrapping) {
    const StepCase& c = GetParam();
    auto songs = addSongs(3);
    if (c.setup != Setup::noCurrent) player.play(songs[c.current]);
    if (c.setup == Setup::paused) player.togglePlayPause();
    if (c.setup == Setup::stopped) player.stop();
    settle();
    player.setSelection(c.selected < 0 ? std::nullopt : std::optional<Uuid>(songs[c.selected]));
    const auto opens = factory.opened().size();
    const bool hadStream = core.inputs().sourceStream != nullptr;

    c.step == Step::next ? player.next() : player.previous();
    settle();

    const std::optional<Uuid> expected =
        c.expectedCurrent < 0 ? std::nullopt : std::optional<Uuid>(songs[c.expectedCurrent]);
    EXPECT_EQ(player.currentTrackID(), expected);
    EXPECT_EQ(player.state(), c.expectedState);
    EXPECT_EQ(factory.opened().size(), opens + (c.expectsNewStream ? 1 : 0));
    const bool moved = expected != (c.current < 0 ? std::nullopt : std::optional<Uuid>(songs[c.current]));
    if (c.expectsNewStream) {
        EXPECT_EQ(lastStream()->startFrame, 0);
        EXPECT_EQ(lastStream()->file, player.tracks()[c.expectedCurrent].url);
        EXPECT_TRUE(core.inputs().sourcePlaying);
    } else if (moved) {
        // Cued: current and selected at 0, with no stream.
        EXPECT_EQ(player.selection(), expected);
        EXPECT_EQ(player.position(), 0);
        EXPECT_EQ(core.inputs().sourceStream, nullptr);
    } else {
        EXPECT_EQ(core.inputs().sourceStream != nullptr, hadStream);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, NextPreviousTest,
    ::testing::Values(
        StepCase{"NextWhilePlayingStartsTheFollowingTrack", Setup::playing, 0, 0, Step::next, 1, State::playing, true},
        StepCase{"NextAfterTheLastTrackDoesNothing", Setup::playing, 2, 2, Step::next, 2, State::playing, false},
        StepCase{"NextWhileStoppedCuesTheFollowingTrack", Setup::stopped, 0, 0, Step::next, 1, State::stopped, false},
        StepCase{"NextWhilePausedCuesAndStaysPaused", Setup::paused, 1, 1, Step::next, 2, State::paused, false},
        StepCase{"NextWithoutCurrentGoesOnFromTheSelection", Setup::noCurrent, -1, 0, Step::next, 1, State::stopped,
                 false},
        StepCase{"NextWithNeitherDoesNothing", Setup::noCurrent, -1, -1, Step::next, -1, State::stopped, false},
        StepCase{"NextGoesOnFromTheCurrentNotTheSelection", Setup::playing, 0, 2, Step::next, 1, State::playing, true},
        StepCase{"PreviousWhilePlayingStartsTheTrackBefore", Setup::playing, 2, 2, Step::previous, 1, State::playing,
                 true},
        StepCase{"PreviousOnTheFirstTrackWhilePlayingRestartsIt", Setup::playing, 0, 0, Step::previous, 0,
                 State::playing, true},
        StepCase{"PreviousWhileStoppedCuesTheTrackBefore", Setup::stopped, 2, 2, Step::previous, 1, State::stopped,
                 false},
        StepCase{"PreviousWhilePausedCuesAndStaysPaused", Setup::paused, 1, 1, Step::previous, 0, State::paused, false},
        StepCase{"PreviousOnTheFirstTrackWhileStoppedStaysThere", Setup::stopped, 0, 0, Step::previous, 0,
                 State::stopped, false},
        StepCase{"PreviousWithoutCurrentGoesBackFromTheSelection", Setup::noCurrent, -1, 2, Step::previous, 1,
                 State::stopped, false},
        StepCase{"PreviousWithNeitherDoesNothing", Setup::noCurrent, -1, -1, Step::previous, -1, State::stopped,
                 false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SourcePlayerEngineTest, PlayAfterCueingWhilePausedStartsTheCuedTrack) {
    auto songs = addSongs(2);
    player.play(songs[0]);
    settle();
    player.togglePlayPause();
    settle();
    player.next();
    settle();
    ASSERT_EQ(player.state(), State::paused);

    player.togglePlayPause();
    settle();

    EXPECT_EQ(player.state(), State::playing);
    EXPECT_EQ(player.currentTrackID(), songs[1]);
    EXPECT_EQ(lastStream()->file, player.tracks()[1].url);
    EXPECT_TRUE(core.inputs().sourcePlaying);
}

struct ThresholdCase {
    int64_t position;
    bool restarts;
};
void PrintTo(const ThresholdCase& c, std::ostream* out) { *out << "at " << c.position; }

class PreviousThresholdTest : public SourcePlayerEngineTest, public ::testing::WithParamInterface<ThresholdCase> {};

TEST_P(PreviousThresholdTest, RestartsOnlyAfterMoreThanThreeSeconds) {
    auto songs = addSongs(2);
    player.play(songs[1]);
    settle();
    player.poll(snapshot(GetParam().position));
    settle();

    player.previous();
    settle();

    EXPECT_EQ(player.currentTrackID(), GetParam().restarts ? songs[1] : songs[0]);
    EXPECT_EQ(lastStream()->startFrame, 0);
    EXPECT_EQ(player.position(), 0);
    EXPECT_EQ(player.state(), State::playing);
}

INSTANTIATE_TEST_SUITE_P(Frames, PreviousThresholdTest,
                         ::testing::Values(ThresholdCase{0, false}, ThresholdCase{132300, false},
                                           ThresholdCase{132301, true}, ThresholdCase{400000, true}));

TEST_F(SourcePlayerEngineTest, PreviousRestartWhilePausedStaysPaused) {
    auto songs = addSongs(2);
    player.play(songs[1]);
    settle();
    player.poll(snapshot(200000));
    settle();
    player.togglePlayPause();
    settle();

    player.previous();
    settle();

    EXPECT_EQ(player.currentTrackID(), songs[1]);
    EXPECT_EQ(player.state(), State::paused);
    EXPECT_EQ(lastStream()->startFrame, 0);
    EXPECT_FALSE(core.inputs().sourcePlaying);
}

// Seeking --------------------------------------------------------------------------------------

struct SeekCase {
    int64_t requested;
    int64_t expected;
};
void PrintTo(const SeekCase& c, std::ostream* out) { *out << c.requested << " to " << c.expected; }

class SeekClampTest : public SourcePlayerEngineTest, public ::testing::WithParamInterface<SeekCase> {};

TEST_P(SeekClampTest, RestartsTheStreamAtTheClampedFrame) {
    auto songs = addSongs(2);
    player.play(songs[0]);
    settle();
    player.setSelection(songs[1]);

    player.seek(GetParam().requested);
    settle();

    EXPECT_EQ(factory.opened().size(), 2u);
    EXPECT_EQ(lastStream()->startFrame, GetParam().expected);
    EXPECT_EQ(player.position(), GetParam().expected);
    EXPECT_EQ(player.state(), State::playing);
    EXPECT_TRUE(core.inputs().sourcePlaying);
    EXPECT_EQ(player.selection(), songs[1]);  // a seek leaves the selection alone
}

INSTANTIATE_TEST_SUITE_P(Frames, SeekClampTest,
                         ::testing::Values(SeekCase{-500, 0}, SeekCase{0, 0}, SeekCase{123456, 123456},
                                           SeekCase{songFrames, songFrames}, SeekCase{songFrames + 1, songFrames},
                                           SeekCase{INT64_MAX, songFrames}));

TEST_F(SourcePlayerEngineTest, SeekWhilePausedStaysPaused) {
    auto songs = addSongs(1);
    player.play(songs[0]);
    settle();
    player.togglePlayPause();
    settle();

    player.seek(22050);
    settle();

    EXPECT_EQ(player.state(), State::paused);
    EXPECT_FALSE(core.inputs().sourcePlaying);
    EXPECT_EQ(lastStream()->startFrame, 22050);
    EXPECT_EQ(core.inputs().sourceStream->position(), 22050);
}

TEST_F(SourcePlayerEngineTest, SeekDoesNothingWhileStoppedOrWithoutACurrentTrack) {
    auto songs = addSongs(2);
    player.seek(1000);
    settle();
    player.play(songs[0]);
    settle();
    player.stop();
    player.seek(1000);
    settle();
    player.remove({songs[0]});
    player.seek(1000);
    settle();
    EXPECT_EQ(factory.opened().size(), 1u);
    EXPECT_EQ(player.position(), 0);
}

// Removing and moving ------------------------------------------------------------------------

TEST_F(SourcePlayerEngineTest, RemovingTheCurrentTrackStopsItButKeepsItsId) {
    auto songs = addSongs(3);
    player.play(songs[1]);
    settle();
    player.poll(snapshot(8000));
    settle();
    const auto before = player.changeCount();

    player.remove({songs[1], Uuid::random()});

    EXPECT_EQ(ids(), (std::vector<Uuid>{songs[0], songs[2]}));
    EXPECT_EQ(player.state(), State::stopped);
    EXPECT_EQ(player.position(), 0);
    EXPECT_EQ(player.currentTrackID(), songs[1]);
    EXPECT_FALSE(player.currentTrack());
    EXPECT_EQ(player.duration(), 0) << "the removed track's length is not shown any more";
    EXPECT_EQ(core.inputs().sourceStream, nullptr);
    EXPECT_TRUE(retired(lastStream()));
    EXPECT_EQ(player.selection(), songs[0]);
    EXPECT_EQ(player.changeCount(), before + 1);
}

TEST_F(SourcePlayerEngineTest, RemovingTheSelectedTrackSelectsTheFirstRemaining) {
    auto songs = addSongs(3);
    player.play(songs[0]);
    settle();
    player.setSelection(songs[2]);

    player.remove({songs[2]});
    EXPECT_EQ(player.selection(), songs[0]);
    EXPECT_EQ(player.state(), State::playing);  // the current track was not touched

    player.setSelection(songs[1]);
    player.remove({songs[0]});
    EXPECT_EQ(player.selection(), songs[1]);  // an unselected track goes without moving it

    player.remove({songs[1]});
    EXPECT_TRUE(player.tracks().empty());
    EXPECT_FALSE(player.selection());
}

TEST_F(SourcePlayerEngineTest, RemovingUnknownIdsChangesNothing) {
    addSongs(2);
    const auto before = player.changeCount();
    player.remove({Uuid::random()});
    player.remove({});
    EXPECT_EQ(player.tracks().size(), 2u);
    EXPECT_EQ(player.changeCount(), before);
}

struct MoveCase {
    std::set<std::size_t> from;
    std::size_t to;
    std::string expected;  // the order of tracks "ABCD" after the drag
};
void PrintTo(const MoveCase& c, std::ostream* out) {
    for (std::size_t offset : c.from) *out << offset << ",";
    *out << " to " << c.to << " gives " << c.expected;
}

class MoveTest : public SourcePlayerEngineTest, public ::testing::WithParamInterface<MoveCase> {};

// Results as a list reports a drag: the destination is a row boundary counted before the move.
TEST_P(MoveTest, ReordersAsTheListDragged) {
    player.add({"/m/A.mp3", "/m/B.mp3", "/m/C.mp3", "/m/D.mp3"});
    const auto before = ids();
    const auto changes = player.changeCount();

    player.move(GetParam().from, GetParam().to);

    std::string order;
    for (const auto& track : player.tracks()) order += track.title;
    EXPECT_EQ(order, GetParam().expected);
    auto after = ids();
    std::sort(after.begin(), after.end());
    auto sorted = before;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(after, sorted);  // the tracks keep their ids
    EXPECT_EQ(player.changeCount(), changes + (order == "ABCD" ? 0 : 1));
}

INSTANTIATE_TEST_SUITE_P(Drags, MoveTest,
                         ::testing::Values(MoveCase{{0}, 2, "BACD"}, MoveCase{{0}, 4, "BCDA"}, MoveCase{{3}, 0, "DABC"},
                                           MoveCase{{2}, 1, "ACBD"}, MoveCase{{1}, 1, "ABCD"}, MoveCase{{1}, 2, "ABCD"},
                                           MoveCase{{0, 1}, 3, "CABD"}, MoveCase{{1, 3}, 0, "BDAC"},
                                           MoveCase{{0, 2}, 4, "BDAC"}, MoveCase{{0, 3}, 2, "BADC"},
                                           MoveCase{{1}, 99, "ACDB"}, MoveCase{{7}, 0, "ABCD"}));

// The per-tick update --------------------------------------------------------------------------

TEST_F(SourcePlayerEngineTest, PositionFollowsTheSnapshotOnlyWhileAStreamIsLoaded) {
    auto songs = addSongs(1);
    player.play(songs[0]);
    settle();
    player.poll(snapshot(4410));
    settle();
    EXPECT_EQ(player.position(), 4410);

    const auto before = player.changeCount();
    player.poll(snapshot(4410));
    settle();
    EXPECT_EQ(player.changeCount(), before);  // a quiet tick announces nothing

    player.stop();
    CoreSnapshot stale = snapshot(9999);
    stale.sourceLoaded = true;
    player.poll(stale);
    settle();
    EXPECT_EQ(player.position(), 0);
}

TEST_F(SourcePlayerEngineTest, ANewAutoPauseCountPausesAPlayingPlayer) {
    auto songs = addSongs(1);
    ++autoPauseCount;  // counted before anything played: not ours
    player.poll(snapshot(0));
    settle();
    player.play(songs[0]);
    settle();

    ++autoPauseCount;
    core.setSourcePlaying(false);  // the core stopped pulling at the end of the side
    const auto before = player.changeCount();
    player.poll(snapshot(30000));
    settle();

    EXPECT_EQ(player.state(), State::paused);
    EXPECT_EQ(player.position(), 30000);
    EXPECT_NE(core.inputs().sourceStream, nullptr);
    EXPECT_EQ(player.changeCount(), before + 1);

    // Resuming is not undone by the count already seen.
    player.togglePlayPause();
    settle();
    player.poll(snapshot(30000));
    settle();
    EXPECT_EQ(player.state(), State::playing);
}

TEST_F(SourcePlayerEngineTest, TheEndOfATrackStartsTheNextOne) {
    auto songs = addSongs(2);
    player.play(songs[0]);
    settle();
    int observed = 0;
    State seen = State::stopped;
    auto token = player.observe([&] {
        ++observed;
        seen = player.state();
    });

    finishStream();
    player.poll(snapshot(songFrames));
    settle();

    EXPECT_EQ(observed, 1);
    EXPECT_EQ(seen, State::playing);
    EXPECT_EQ(player.currentTrackID(), songs[1]);
    EXPECT_EQ(player.selection(), songs[1]);
    EXPECT_EQ(player.position(), 0);
    EXPECT_EQ(lastStream()->file, player.tracks()[1].url);
    EXPECT_EQ(lastStream()->startFrame, 0);
    EXPECT_TRUE(core.inputs().sourcePlaying);
    EXPECT_TRUE(retired(factory.opened()[0]));
}

TEST_F(SourcePlayerEngineTest, TheEndOfTheLastTrackStopsAtTheStart) {
    auto songs = addSongs(2);
    player.play(songs[1]);
    settle();

    finishStream();
    player.poll(snapshot(songFrames));
    settle();

    EXPECT_EQ(player.state(), State::stopped);
    EXPECT_EQ(player.position(), 0);
    EXPECT_EQ(player.currentTrackID(), songs[1]);
    EXPECT_EQ(core.inputs().sourceStream, nullptr);
    EXPECT_EQ(factory.opened().size(), 1u);
}

TEST_F(SourcePlayerEngineTest, AnEndCountedForAReplacedStreamIsIgnored) {
    auto songs = addSongs(3);
    player.play(songs[0]);
    settle();
    finishStream();
    // The user skipped ahead between the render and the tick.
    player.next();
    settle();
    core.setSourcePlaying(true);

    player.poll(snapshot(100));
    settle();

    EXPECT_EQ(player.currentTrackID(), songs[1]);
    EXPECT_EQ(player.state(), State::playing);
    EXPECT_EQ(factory.opened().size(), 2u);
}

TEST_F(SourcePlayerEngineTest, AnAutoPauseInTheSameTickAsTheEndWins) {
    auto songs = addSongs(2);
    player.play(songs[0]);
    settle();
    finishStream();
    ++autoPauseCount;

    player.poll(snapshot(songFrames));
    settle();

    EXPECT_EQ(player.state(), State::paused);
    EXPECT_EQ(player.currentTrackID(), songs[0]);
    EXPECT_EQ(factory.opened().size(), 1u);
}

TEST_F(SourcePlayerEngineTest, ASourceTheCoreNoLongerPlaysPausesThePlayer) {
    auto songs = addSongs(1);
    player.play(songs[0]);
    settle();
    core.setSourcePlaying(false);

    player.poll(snapshot(700));
    settle();

    EXPECT_EQ(player.state(), State::paused);
    EXPECT_EQ(player.position(), 700);
    EXPECT_NE(core.inputs().sourceStream, nullptr);
}

// Volume -----------------------------------------------------------------------------------------

TEST_F(SourcePlayerEngineTest, VolumeIsStoredAsGivenAndWrittenToTheCore) {
    EXPECT_FLOAT_EQ(player.volume(), 0.8f);
    core.setSourceVolume(0.1f);
    SourcePlayerEngine second{core, factory, executor};
    EXPECT_FLOAT_EQ(core.inputs().sourceVolume, 0.8f);  // a new player sets the core's source volume

    player.setVolume(1.5f);
    EXPECT_FLOAT_EQ(player.volume(), 1.5f);
    EXPECT_FLOAT_EQ(core.inputs().sourceVolume, 1.5f);
    player.setVolume(0.0f);
    EXPECT_FLOAT_EQ(core.inputs().sourceVolume, 0.0f);
    player.setVolume(0.0f);
    EXPECT_EQ(player.changeCount(), 2u);
}

// Lengths measured in the background ----------------------------------------------------------

TEST_F(SourcePlayerEngineTest, MeasuredLengthsReachTheTracksOnTheMainThreadInOneBatch) {
    factory.addFile("/m/a.mp3", 1000);
    factory.addFile("/m/b.mp3", 2000);
    player.add({"/m/a.mp3", "/m/b.mp3", "/m/unreadable.mp3"});
    player.next();  // cue b, whose length is not known yet
    EXPECT_EQ(player.duration(), 0);
    const uint64_t revision = player.lastTracksChange().revision;

    ASSERT_TRUE(executor.waitForPosts(1));
    ASSERT_TRUE(factory.waitForProbes(3));
    EXPECT_FALSE(player.tracks()[0].durationFrames);  // nothing lands off the main thread
    const auto before = player.changeCount();
    executor.runPending();

    EXPECT_EQ(player.tracks()[0].durationFrames, 1000);
    EXPECT_EQ(player.tracks()[1].durationFrames, 2000);
    EXPECT_FALSE(player.tracks()[2].durationFrames);
    EXPECT_EQ(player.duration(), 2000);
    EXPECT_EQ(player.changeCount(), before + 1) << "the lengths found together are published together";
    EXPECT_EQ(player.lastTracksChange(), (SourcePlayerEngine::TracksChange{revision, revision + 1, 0, 2}));
}

TEST_F(SourcePlayerEngineTest, ManyFilesAddedAtOnceCostOnePublicationAndLengthsComeInBatches) {
    std::vector<std::filesystem::path> files;
    for (int i = 0; i < 500; ++i) {
        files.push_back("/music/Many " + std::to_string(i) + ".wav");
        factory.addFile(files.back(), 1000 + i);
    }
    const auto before = player.changeCount();
    player.add(files);
    EXPECT_EQ(player.changeCount(), before + 1);
    EXPECT_EQ(player.tracks().size(), 500u);
    EXPECT_EQ(player.lastTracksChange().firstRow, 0u);
    EXPECT_EQ(player.lastTracksChange().endRow, 500u);

    waitForLengths();
    EXPECT_EQ(player.tracks()[499].durationFrames, 1499);
    // The clock stood still, so nothing was handed over before the last file was measured.
    EXPECT_EQ(player.changeCount(), before + 2);
}

TEST_F(SourcePlayerEngineTest, LengthsWaitingLongerThanTheBatchIntervalAreHandedOverWhileMoreAreMeasured) {
    factory.addFile("/m/a.mp3", 1000);
    factory.addFile("/m/slow.mp3", 2000);
    factory.addFile("/m/c.mp3", 3000);
    factory.gatedFiles = {"/m/slow.mp3"};
    player.add({"/m/a.mp3", "/m/slow.mp3", "/m/c.mp3"});
    ASSERT_TRUE(factory.waitForProbes(2));
    EXPECT_EQ(executor.posts(), 0u) << "a's length waits for company";

    executor.advance(TrackDurationProbe::batchInterval * 2);
    factory.openGate();
    waitForLengths();
    // a and the slow file once the interval had passed, then c when nothing was left.
    EXPECT_EQ(executor.posts(), 2u);
}

TEST_F(SourcePlayerEngineTest, ALengthArrivingForARemovedTrackIsIgnored) {
    factory.addFile("/m/a.mp3", 1000);
    factory.addFile("/m/b.mp3", 2000);
    factory.gatedFiles = {"/m/b.mp3"};
    player.add({"/m/a.mp3", "/m/b.mp3"});
    const Uuid b = player.tracks()[1].id;
    ASSERT_TRUE(factory.waitForProbes(2));

    player.remove({b});
    factory.openGate();
    ASSERT_TRUE(executor.waitForPosts(1));
    const auto before = player.changeCount();
    executor.runPending();

    ASSERT_EQ(player.tracks().size(), 1u);
    EXPECT_EQ(player.tracks()[0].durationFrames, 1000);
    EXPECT_EQ(player.changeCount(), before + 1);
}

TEST_F(SourcePlayerEngineTest, ThePlayerCanGoAwayWhileAFileIsMeasured) {
    factory.addFile("/m/a.mp3", 1000);
    factory.addFile("/m/b.mp3", 2000);
    factory.gatedFiles = {"/m/a.mp3"};
    auto doomed = std::make_unique<SourcePlayerEngine>(core, factory, executor);
    doomed->add({"/m/a.mp3", "/m/b.mp3"});
    ASSERT_TRUE(factory.waitForProbes(1));

    // The measurement in flight finishes while (or just before) the player goes away.
    std::thread opener([&] { factory.openGate(); });
    doomed.reset();
    opener.join();

    // Whatever was posted meanwhile finds no player to write into.
    executor.runPending();
    EXPECT_EQ(core.inputs().sourceStream, nullptr);
}

}  // namespace
}  // namespace norvo
