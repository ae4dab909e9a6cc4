#include "AudioEngine/CassetteTransport.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <ostream>

#include "AudioEngine/TapeClock.hpp"

namespace norvo {
namespace {

// Ten seconds a side keeps the ends of the tape a few buffers away.
const CassetteType shortType = CassetteType::custom(10);
const int64_t sideEnd = 10 * TapeClock::framesPerSecond;

enum class Head { start, middle, end };
enum Setup : unsigned {
    plain = 0,
    noCassette = 1 << 0,
    headSideProtected = 1 << 1,
    otherSideProtected = 1 << 2,
    locked = 1 << 3,
    resume = 1 << 4,
};

struct CommandCase {
    const char* name;
    TransportMode from;
    Head head;
    unsigned setup;
    TransportCommand command;
    bool accepted;
    TransportMode to;
};

std::ostream& operator<<(std::ostream& out, const CommandCase& c) { return out << c.name; }

int64_t headFrame(Head head) {
    switch (head) {
    case Head::start: return 0;
    case Head::middle: return sideEnd / 2;
    case Head::end: return sideEnd;
    }
    return 0;
}

CassetteTransport makeTransport(const CommandCase& c) {
    CassetteTransport transport;
    if (!(c.setup & noCassette)) {
        CassetteTransport::Cassette cassette{.type = shortType, .side = TapeSide::b};
        cassette.protectedB = (c.setup & headSideProtected) != 0;
        cassette.protectedA = (c.setup & otherSideProtected) != 0;
        transport.load(cassette, headFrame(c.head));
    }
    transport.mode = c.from;
    transport.recordingLocked = (c.setup & locked) != 0;
    if (isWinding(c.from)) {
        transport.windSpeed = 7;
        transport.windRemainder = 0.25;
        transport.resumeAfterWind = (c.setup & resume) != 0;
    }
    return transport;
}

class TransportCommandTable : public ::testing::TestWithParam<CommandCase> {};

TEST_P(TransportCommandTable, AcceptsOrRefusesAndSetsTheMode) {
    const CommandCase& c = GetParam();
    CassetteTransport transport = makeTransport(c);
    const CassetteTransport before = transport;

    EXPECT_EQ(transport.handle(c.command), c.accepted);
    EXPECT_EQ(transport.mode, c.to);
    if (!c.accepted) {
        EXPECT_EQ(transport, before) << "a refused command changes nothing";
    }
    if (c.command != TransportCommand::flip) {
        EXPECT_EQ(transport.head, before.head);
    }
    if (c.accepted && !isWinding(transport.mode) && transport.mode != before.mode) {
        EXPECT_EQ(transport.windSpeed, 0);
        EXPECT_EQ(transport.windRemainder, 0);
        EXPECT_FALSE(transport.resumeAfterWind);
    }
}

using M = TransportMode;
using C = TransportCommand;

const CommandCase commandCases[] = {
    // Without a cassette only stop is accepted.
    {"NoCassettePlay", M::stopped, Head::start, noCassette, C::play, false, M::stopped},
    {"NoCassetteRecord", M::stopped, Head::start, noCassette, C::record, false, M::stopped},
    {"NoCassetteFastForward", M::stopped, Head::start, noCassette, C::beginFastForward, false, M::stopped},
    {"NoCassetteRewind", M::stopped, Head::start, noCassette, C::beginRewind, false, M::stopped},
    {"NoCassetteEndWind", M::stopped, Head::start, noCassette, C::endWind, false, M::stopped},
    {"NoCassetteFlip", M::stopped, Head::start, noCassette, C::flip, false, M::stopped},
    {"NoCassetteStop", M::stopped, Head::start, noCassette, C::stop, true, M::stopped},

    {"PlayFromStopped", M::stopped, Head::middle, plain, C::play, true, M::playing},
    {"PlayFromStart", M::stopped, Head::start, plain, C::play, true, M::playing},
    {"PlayAtEnd", M::stopped, Head::end, plain, C::play, false, M::stopped},
    {"PlayWhilePlaying", M::playing, Head::middle, plain, C::play, true, M::playing},
    {"PlayWhileFastForward", M::fastForward, Head::middle, plain, C::play, true, M::playing},
    {"PlayWhileRewinding", M::rewinding, Head::middle, plain, C::play, true, M::playing},
    {"PlayWhileArmed", M::recordArmed, Head::middle, plain, C::play, false, M::recordArmed},
    {"PlayWhileRecording", M::recording, Head::middle, plain, C::play, false, M::recording},

    {"StopWhileStopped", M::stopped, Head::middle, plain, C::stop, true, M::stopped},
    {"StopWhilePlaying", M::playing, Head::middle, plain, C::stop, true, M::stopped},
    {"StopWhileArmed", M::recordArmed, Head::middle, plain, C::stop, true, M::stopped},
    {"StopWhileRecording", M::recording, Head::middle, plain, C::stop, true, M::stopped},
    {"StopWhileFastForward", M::fastForward, Head::middle, resume, C::stop, true, M::stopped},
    {"StopWhileRewinding", M::rewinding, Head::middle, resume, C::stop, true, M::stopped},

    {"RecordFromStopped", M::stopped, Head::middle, plain, C::record, true, M::recordArmed},
    {"RecordFromStart", M::stopped, Head::start, plain, C::record, true, M::recordArmed},
    {"RecordWhilePlaying", M::playing, Head::middle, plain, C::record, true, M::recordArmed},
    {"RecordWhileArmed", M::recordArmed, Head::middle, plain, C::record, true, M::recordArmed},
    {"RecordWhileRecording", M::recording, Head::middle, plain, C::record, true, M::recording},
    {"RecordWhileLocked", M::stopped, Head::middle, locked, C::record, false, M::stopped},
    {"RecordWhilePlayingLocked", M::playing, Head::middle, locked, C::record, false, M::playing},
    {"RecordOnProtectedSide", M::stopped, Head::middle, headSideProtected, C::record, false, M::stopped},
    {"RecordWhenOnlyOtherSideProtected", M::stopped, Head::middle, otherSideProtected, C::record, true, M::recordArmed},
    {"RecordAtEnd", M::stopped, Head::end, plain, C::record, false, M::stopped},
    {"RecordWhileFastForward", M::fastForward, Head::middle, plain, C::record, false, M::fastForward},
    {"RecordWhileRewinding", M::rewinding, Head::middle, plain, C::record, false, M::rewinding},

    {"FastForwardFromStopped", M::stopped, Head::middle, plain, C::beginFastForward, true, M::fastForward},
    {"FastForwardFromStart", M::stopped, Head::start, plain, C::beginFastForward, true, M::fastForward},
    {"FastForwardAtEnd", M::stopped, Head::end, plain, C::beginFastForward, false, M::stopped},
    {"FastForwardWhilePlaying", M::playing, Head::middle, plain, C::beginFastForward, true, M::fastForward},
    {"FastForwardWhileRewinding", M::rewinding, Head::middle, plain, C::beginFastForward, true, M::fastForward},
    {"FastForwardWhileArmed", M::recordArmed, Head::middle, plain, C::beginFastForward, false, M::recordArmed},
    {"FastForwardWhileRecording", M::recording, Head::middle, plain, C::beginFastForward, false, M::recording},

    {"RewindFromStopped", M::stopped, Head::middle, plain, C::beginRewind, true, M::rewinding},
    {"RewindAtStart", M::stopped, Head::start, plain, C::beginRewind, false, M::stopped},
    {"RewindFromEnd", M::stopped, Head::end, plain, C::beginRewind, true, M::rewinding},
    {"RewindWhilePlaying", M::playing, Head::middle, plain, C::beginRewind, true, M::rewinding},
    {"RewindWhileFastForward", M::fastForward, Head::middle, plain, C::beginRewind, true, M::rewinding},
    {"RewindWhileArmed", M::recordArmed, Head::middle, plain, C::beginRewind, false, M::recordArmed},
    {"RewindWhileRecording", M::recording, Head::middle, plain, C::beginRewind, false, M::recording},

    {"EndFastForwardResuming", M::fastForward, Head::middle, resume, C::endWind, true, M::playing},
    {"EndFastForwardNotResuming", M::fastForward, Head::middle, plain, C::endWind, true, M::stopped},
    {"EndFastForwardResumingAtEnd", M::fastForward, Head::end, resume, C::endWind, true, M::stopped},
    {"EndRewindResuming", M::rewinding, Head::middle, resume, C::endWind, true, M::playing},
    {"EndRewindNotResuming", M::rewinding, Head::start, plain, C::endWind, true, M::stopped},
    {"EndWindWhileStopped", M::stopped, Head::middle, plain, C::endWind, false, M::stopped},
    {"EndWindWhilePlaying", M::playing, Head::middle, plain, C::endWind, false, M::playing},
    {"EndWindWhileRecording", M::recording, Head::middle, plain, C::endWind, false, M::recording},

    {"FlipWhileStopped", M::stopped, Head::middle, plain, C::flip, true, M::stopped},
    {"FlipWhilePlaying", M::playing, Head::middle, plain, C::flip, true, M::stopped},
    {"FlipWhileRecording", M::recording, Head::middle, plain, C::flip, true, M::stopped},
    {"FlipWhileWinding", M::fastForward, Head::middle, resume, C::flip, true, M::stopped},
};

INSTANTIATE_TEST_SUITE_P(CassetteTransport, TransportCommandTable, ::testing::ValuesIn(commandCases),
                         [](const auto& info) { return std::string(info.param.name); });

CassetteTransport loaded(int64_t head, TapeSide side = TapeSide::a) {
    CassetteTransport transport;
    transport.load({.type = shortType, .side = side}, head);
    return transport;
}

TEST(CassetteTransport, LoadClampsTheHeadAndStops) {
    CassetteTransport transport = loaded(sideEnd + 500);
    EXPECT_EQ(transport.head, sideEnd);
    EXPECT_EQ(transport.sideEnd(), sideEnd);
    transport = loaded(-20);
    EXPECT_EQ(transport.head, 0);

    transport.mode = TransportMode::recording;
    transport.windSpeed = 3;
    transport.load({.type = CassetteType::c60(), .side = TapeSide::b, .protectedA = true}, 1000);
    EXPECT_EQ(transport.mode, TransportMode::stopped);
    EXPECT_EQ(transport.windSpeed, 0);
    EXPECT_EQ(transport.head, 1000);
    EXPECT_EQ(transport.cassette->side, TapeSide::b);
}

TEST(CassetteTransport, EjectLeavesNoCassetteAtZero) {
    CassetteTransport transport = loaded(5000);
    transport.handle(TransportCommand::beginFastForward);
    transport.eject();
    EXPECT_FALSE(transport.cassette.has_value());
    EXPECT_EQ(transport.mode, TransportMode::stopped);
    EXPECT_EQ(transport.head, 0);
    EXPECT_EQ(transport.windSpeed, 0);
    EXPECT_EQ(transport.sideEnd(), 0);
    transport.advance(512);
    EXPECT_EQ(transport.head, 0);
}

TEST(CassetteTransport, WindStartsAtTwiceSpeedAndRemembersWhetherToResume) {
    CassetteTransport transport = loaded(sideEnd / 2);
    ASSERT_TRUE(transport.handle(TransportCommand::play));
    ASSERT_TRUE(transport.handle(TransportCommand::beginFastForward));
    EXPECT_EQ(transport.windSpeed, CassetteTransport::initialWindSpeed);
    EXPECT_EQ(transport.windRemainder, 0);
    EXPECT_TRUE(transport.resumeAfterWind);

    transport.advance(44100);
    ASSERT_GT(transport.windSpeed, 2);
    // Switching direction restarts the speed but keeps the resume.
    ASSERT_TRUE(transport.handle(TransportCommand::beginRewind));
    EXPECT_EQ(transport.windSpeed, 2);
    EXPECT_TRUE(transport.resumeAfterWind);
    ASSERT_TRUE(transport.handle(TransportCommand::endWind));
    EXPECT_EQ(transport.mode, TransportMode::playing);

    transport.handle(TransportCommand::stop);
    ASSERT_TRUE(transport.handle(TransportCommand::beginRewind));
    EXPECT_FALSE(transport.resumeAfterWind);
}

TEST(CassetteTransport, PlayingAndRecordingMoveTheHeadAndStopExactlyAtTheEnd) {
    for (TransportMode mode : {TransportMode::playing, TransportMode::recording}) {
        CassetteTransport transport = loaded(sideEnd - 1000);
        transport.mode = mode;
        transport.advance(512);
        EXPECT_EQ(transport.head, sideEnd - 488);
        EXPECT_EQ(transport.mode, mode);
        transport.advance(512);
        EXPECT_EQ(transport.head, sideEnd);
        EXPECT_EQ(transport.mode, TransportMode::stopped);
    }
}

TEST(CassetteTransport, ArmedAndStoppedDecksDoNotMoveTheTape) {
    for (TransportMode mode : {TransportMode::stopped, TransportMode::recordArmed}) {
        CassetteTransport transport = loaded(4000);
        transport.mode = mode;
        transport.advance(4096);
        EXPECT_EQ(transport.head, 4000);
        EXPECT_EQ(transport.mode, mode);
    }
}

TEST(CassetteTransport, WindSpeedRampsByTenPerSecondUpToThirtyTwo) {
    CassetteTransport transport;
    transport.load({.type = CassetteType::c60(), .side = TapeSide::a}, 0);
    ASSERT_TRUE(transport.handle(TransportCommand::beginFastForward));

    transport.advance(44100);
    EXPECT_EQ(transport.head, 2 * 44100) << "the first buffer runs at the starting speed";
    EXPECT_DOUBLE_EQ(transport.windSpeed, 12);
    transport.advance(44100);
    EXPECT_DOUBLE_EQ(transport.windSpeed, 22);
    transport.advance(44100);
    EXPECT_DOUBLE_EQ(transport.windSpeed, 32);
    const int64_t before = transport.head;
    transport.advance(44100);
    EXPECT_DOUBLE_EQ(transport.windSpeed, 32);
    EXPECT_EQ(transport.head - before, 32 * 44100);
}

TEST(CassetteTransport, WindInSmallBuffersCoversTheSameGround) {
    CassetteTransport transport;
    transport.load({.type = CassetteType::c60(), .side = TapeSide::a}, 0);
    ASSERT_TRUE(transport.handle(TransportCommand::beginFastForward));
    double maximum = 0;
    for (int i = 0; i < 600; ++i) {
        transport.advance(512);
        maximum = std::max(maximum, transport.windSpeed);
    }
    EXPECT_EQ(maximum, 32);
    // From 2 to 32 over 3 s averages 17, then 32 for the rest of the 600 buffers.
    const double seconds = 600 * 512 / 44100.0;
    const double expected = (3 * 17 + (seconds - 3) * 32) * 44100;
    EXPECT_NEAR(static_cast<double>(transport.head), expected, expected * 0.01);
}

TEST(CassetteTransport, WindCarriesTheFractionalRemainder) {
    CassetteTransport transport = loaded(1000);
    ASSERT_TRUE(transport.handle(TransportCommand::beginFastForward));
    transport.windSpeed = 2.5;
    for (int i = 0; i < 4; ++i) transport.advance(1);
    EXPECT_EQ(transport.head, 1010);
    EXPECT_LT(transport.windRemainder, 1);
}

TEST(CassetteTransport, WindingStopsAtBothEnds) {
    CassetteTransport transport = loaded(sideEnd - 300);
    transport.mode = TransportMode::playing;
    ASSERT_TRUE(transport.handle(TransportCommand::beginFastForward));
    transport.advance(512);
    EXPECT_EQ(transport.head, sideEnd);
    EXPECT_EQ(transport.mode, TransportMode::stopped) << "the end stops the deck even when play would resume";
    EXPECT_EQ(transport.windSpeed, 0);
    EXPECT_FALSE(transport.resumeAfterWind);

    transport = loaded(300);
    ASSERT_TRUE(transport.handle(TransportCommand::beginRewind));
    transport.advance(512);
    EXPECT_EQ(transport.head, 0);
    EXPECT_EQ(transport.mode, TransportMode::stopped);
    EXPECT_FALSE(transport.handle(TransportCommand::endWind));
}

TEST(CassetteTransport, FlipTurnsTheCassetteAndMirrorsTheHead) {
    CassetteTransport transport = loaded(sideEnd / 4, TapeSide::a);
    transport.mode = TransportMode::playing;
    ASSERT_TRUE(transport.handle(TransportCommand::flip));
    EXPECT_EQ(transport.cassette->side, TapeSide::b);
    EXPECT_EQ(transport.head, sideEnd - sideEnd / 4);
    EXPECT_EQ(transport.mode, TransportMode::stopped);

    ASSERT_TRUE(transport.handle(TransportCommand::flip));
    EXPECT_EQ(transport.cassette->side, TapeSide::a);
    EXPECT_EQ(transport.head, sideEnd / 4);

    transport = loaded(sideEnd);
    transport.handle(TransportCommand::flip);
    EXPECT_EQ(transport.head, 0);
    EXPECT_TRUE(transport.handle(TransportCommand::play)) << "a finished side turned over plays from its start";
}

TEST(CassetteTransport, ProtectingTheSideUnderTheHeadStopsRecording) {
    for (TransportMode mode : {TransportMode::recording, TransportMode::recordArmed}) {
        CassetteTransport transport = loaded(2000, TapeSide::a);
        transport.mode = mode;
        transport.setProtected(TapeSide::b, true);
        EXPECT_EQ(transport.mode, mode) << "the other side's tab does not matter";
        EXPECT_TRUE(transport.cassette->protectedB);
        transport.setProtected(TapeSide::a, true);
        EXPECT_EQ(transport.mode, TransportMode::stopped);
        EXPECT_TRUE(transport.headSideProtected());
    }

    CassetteTransport playing = loaded(2000, TapeSide::a);
    playing.mode = TransportMode::playing;
    playing.setProtected(TapeSide::a, true);
    EXPECT_EQ(playing.mode, TransportMode::playing);
    playing.setProtected(TapeSide::a, false);
    EXPECT_TRUE(playing.handle(TransportCommand::record));

    CassetteTransport empty;
    empty.setProtected(TapeSide::a, true);
    EXPECT_FALSE(empty.cassette.has_value());
}

TEST(CassetteTransport, RecordingLockRefusesRecordUntilCleared) {
    CassetteTransport transport = loaded(0);
    transport.recordingLocked = true;
    EXPECT_FALSE(transport.handle(TransportCommand::record));
    EXPECT_TRUE(transport.handle(TransportCommand::play)) << "the lock only refuses recording";
    transport.recordingLocked = false;
    EXPECT_TRUE(transport.handle(TransportCommand::record));
    EXPECT_EQ(transport.mode, TransportMode::recordArmed);
}

}  // namespace
}  // namespace norvo
