#include <gtest/gtest.h>

#include <QUrl>
#include <cmath>

#include "AudioEngine/ReelGeometry.hpp"
#include "Kit/GlowText.hpp"
#include "Rack/DeckDrop.hpp"
#include "Rack/DeckLayout.hpp"
#include "Rack/DeckReadout.hpp"

namespace norvo {
namespace {

CassetteTransport loaded(const CassetteType& type, TransportMode mode, int64_t head, TapeSide side = TapeSide::a) {
    CassetteTransport t;
    t.cassette = CassetteTransport::Cassette{type, side};
    t.mode = mode;
    t.head = head;
    return t;
}

DeckReadout::Inputs blankC60(TransportMode mode = TransportMode::stopped, int64_t head = 0) {
    DeckReadout::Inputs in;
    in.transport = loaded(CassetteType::c60(), mode, head);
    in.documentType = CassetteType::c60();
    in.tabA = WriteProtect::intact;
    in.tabB = WriteProtect::intact;
    in.usedOnSide = 0;
    return in;
}

// The frame at which the take-up reel has wound `turns` turns (found by bisection).
int64_t frameAtTurns(const CassetteType& type, double turns) {
    int64_t lo = 0, hi = type.sideFrames();
    const ReelGeometry reel{type};
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (reel.turns(mid) < turns) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

TEST(DeckCounter, CountsTakeUpTurnsFromTheResetPointAndWrapsInThreeDigits) {
    const CassetteType c60 = CassetteType::c60();
    const ReelGeometry reel{c60};
    const int64_t resetAt = frameAtTurns(c60, 250.5);
    const double offset = reel.turns(resetAt);
    EXPECT_EQ(DeckReadout::counterText(std::nullopt, 123456, 0), "---");
    EXPECT_EQ(DeckReadout::counterText(c60, 0, 0), "000");
    EXPECT_EQ(DeckReadout::counterText(c60, resetAt, offset), "000");
    EXPECT_EQ(DeckReadout::counterText(c60, frameAtTurns(c60, 250.5 + 7.2), offset), "007");
    // Winding back past the reset point counts down from 999.
    EXPECT_EQ(DeckReadout::counterText(c60, frameAtTurns(c60, 250.5 - 0.5), offset), "999");
    EXPECT_EQ(DeckReadout::counterText(c60, frameAtTurns(c60, 250.5 - 1.5), offset), "998");
    // A thousand turns and more wrap to 000 again.
    EXPECT_EQ(DeckReadout::counterText(c60, resetAt, offset - 1000.0), "000");
    EXPECT_EQ(DeckReadout::counterText(c60, resetAt, offset - 1012.0), "012");
    // A broken offset shows a number, never garbage.
    EXPECT_EQ(DeckReadout::counterText(c60, 0, std::nan("")), "000");
}

struct StatusCase {
    TransportMode mode;
    int64_t head;
    double windSpeed;
    DeckInput input;
    const char* text;
    DeckReadout::Tint tint;
};

class DeckStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(DeckStatus, NamesWhatTheTransportDoes) {
    const StatusCase& c = GetParam();
    DeckReadout::Inputs in = blankC60(c.mode, c.head);
    in.transport.windSpeed = c.windSpeed;
    in.deckInput = c.input;
    const DeckReadout r = DeckReadout::make(in);
    EXPECT_EQ(r.status, QString::fromUtf8(c.text));
    EXPECT_EQ(r.statusTint, c.tint);
}

// With sound and without, every line of the status reads whole in the display: nothing is cut.
TEST_P(DeckStatus, ReadsWholeWithSoundAndWithout) {
    const StatusCase& c = GetParam();
    for (const bool lost : {false, true}) {
        DeckReadout::Inputs in = blankC60(c.mode, c.head);
        in.transport.windSpeed = c.windSpeed;
        in.deckInput = c.input;
        in.outputLost = lost;
        const DeckReadout r = DeckReadout::make(in);
        const DeckLayout l(DeckLayout::BusyLine::hidden,
                           lost ? DeckLayout::NoSoundLine::shown : DeckLayout::NoSoundLine::hidden);
        const auto width = [](const QString& text) { return GlowText{text, 12, QColor()}.sizeHint().width(); };
        EXPECT_LE(width(r.status), l.status.width()) << r.status.toStdString();
        EXPECT_LE(width(r.soundNote), l.noSound.width()) << r.soundNote.toStdString();
    }
}

const int64_t c60End = CassetteType::c60().sideFrames();
using M = TransportMode;
using T = DeckReadout::Tint;
INSTANTIATE_TEST_SUITE_P(
    EveryMode, DeckStatus,
    ::testing::Values(
        StatusCase{M::stopped, 0, 0, DeckInput::sourcePlayer, "■ STOP  ·  BEGINNING OF SIDE", T::cyan},
        StatusCase{M::stopped, 44100, 0, DeckInput::sourcePlayer, "■ STOP", T::cyan},
        StatusCase{M::stopped, c60End, 0, DeckInput::sourcePlayer, "■ END OF SIDE — FLIP CASSETTE", T::cyan},
        StatusCase{M::stopped, c60End + 5, 0, DeckInput::tuner, "■ END OF SIDE — FLIP CASSETTE", T::cyan},
        StatusCase{M::playing, 10, 0, DeckInput::sourcePlayer, "▶ PLAY", T::green},
        StatusCase{M::recordArmed, 10, 0, DeckInput::sourcePlayer, "● REC PAUSE — WAITING FOR CD", T::red},
        StatusCase{M::recordArmed, 10, 0, DeckInput::tuner, "● REC PAUSE — WAITING FOR TUNER", T::red},
        StatusCase{M::recording, 10, 0, DeckInput::sourcePlayer, "● RECORDING · CD", T::red},
        StatusCase{M::recording, 10, 0, DeckInput::tuner, "● RECORDING · TUNER", T::red},
        StatusCase{M::fastForward, 10, 8.4, DeckInput::sourcePlayer, "▶▶ FAST FORWARD  ×8", T::cyan},
        StatusCase{M::rewinding, 10, 32, DeckInput::sourcePlayer, "◀◀ REWIND  ×32", T::cyan}));

TEST(DeckStatus, WithoutACassetteSaysSoWhateverTheDocument) {
    DeckReadout::Inputs in;
    in.documentType = CassetteType::c60();  // a document while the transport holds nothing
    const DeckReadout r = DeckReadout::make(in);
    EXPECT_EQ(r.status, "NO CASSETTE");
    EXPECT_EQ(r.statusTint, T::cyan);
}

TEST(DeckStatus, SaysOnALineOfItsOwnThatNothingIsHeardWhileTheOutputHasLostItsDevice) {
    DeckReadout::Inputs in = blankC60(TransportMode::recordArmed, 10);
    in.deckInput = DeckInput::tuner;
    EXPECT_EQ(DeckReadout::make(in).soundNote, "");
    in.outputLost = true;
    DeckReadout r = DeckReadout::make(in);
    EXPECT_EQ(r.soundNote, "NO SOUND");
    EXPECT_EQ(r.status, "● REC PAUSE — WAITING FOR TUNER") << "the transport's status stays whole";
    EXPECT_EQ(r.statusTint, T::red) << "the transport's colour stays";
    in.transport = {};
    EXPECT_EQ(DeckReadout::make(in).status, "NO CASSETTE");
}

TEST(DeckTimeWindow, EmptyDeckFallsBackToDashesAndDarkFigures) {
    const DeckReadout r = DeckReadout::make(DeckReadout::Inputs{});
    EXPECT_EQ(r.counter, "---");
    EXPECT_EQ(r.time, "-:--");
    EXPECT_EQ(r.remain, "-:--");
    EXPECT_EQ(r.tape, "---");
    EXPECT_FALSE(r.sideALit);
    EXPECT_FALSE(r.sideBLit);
    EXPECT_FALSE(r.cassetteLoaded);
    EXPECT_EQ(r.recordedFraction, 0);
    EXPECT_EQ(r.headFraction, 0);
    EXPECT_FALSE(r.tab.has_value());
}

TEST(DeckTimeWindow, BlankC60AtTheStartAndCustomSidesOverAnHour) {
    DeckReadout r = DeckReadout::make(blankC60());
    EXPECT_EQ(r.time, "0:00");
    EXPECT_EQ(r.remain, "-30:00");
    EXPECT_EQ(r.tape, "C60");
    EXPECT_TRUE(r.sideALit);
    EXPECT_FALSE(r.sideBLit);
    EXPECT_EQ(r.recordedFraction, 0);
    EXPECT_EQ(r.headFraction, 0);

    DeckReadout::Inputs custom = blankC60();
    custom.transport.cassette->type = CassetteType::custom(5400);
    custom.documentType = CassetteType::custom(5400);
    r = DeckReadout::make(custom);
    EXPECT_EQ(r.remain, "-1:30:00");
    EXPECT_EQ(r.tape, "C180");

    // Beyond the end of the side REMAIN stays at minus zero.
    r = DeckReadout::make(blankC60(M::stopped, c60End + 44100));
    EXPECT_EQ(r.remain, "-0:00");
    EXPECT_EQ(r.time, "30:01");
}

TEST(DeckTapeMap, FractionsFollowTheSideAndStayInsideTheStrip) {
    DeckReadout::Inputs in = blankC60(M::fastForward, c60End / 2);
    in.usedOnSide = c60End / 4;
    DeckReadout r = DeckReadout::make(in);
    EXPECT_DOUBLE_EQ(r.headFraction, 0.5);
    EXPECT_DOUBLE_EQ(r.recordedFraction, 0.25);

    // A head or a high-water mark beyond the side would draw outside the strip.
    in.transport.head = c60End * 2;
    in.usedOnSide = c60End * 3;
    r = DeckReadout::make(in);
    EXPECT_EQ(r.headFraction, 1.0);
    EXPECT_EQ(r.recordedFraction, 1.0);
    in.transport.head = -500;
    r = DeckReadout::make(in);
    EXPECT_EQ(r.headFraction, 0.0);

    // Side B after a flip shows its own recorded length and lights B.
    in = blankC60(M::stopped, 0);
    in.transport.cassette->side = TapeSide::b;
    in.usedOnSide = c60End / 10;
    r = DeckReadout::make(in);
    EXPECT_TRUE(r.sideBLit);
    EXPECT_FALSE(r.sideALit);
    EXPECT_DOUBLE_EQ(r.recordedFraction, 0.1);
}

struct LampCase {
    TransportMode mode;
    bool blinkOn;
    bool rec, tapeRun;
    bool recKey, playKey, rewKey, ffKey;
};

class DeckLamps : public ::testing::TestWithParam<LampCase> {};

TEST_P(DeckLamps, LampsAndLatchedKeysFollowTheTransportMode) {
    const LampCase& c = GetParam();
    DeckReadout::Inputs in = blankC60(c.mode, 100);
    in.blinkOn = c.blinkOn;
    const DeckReadout r = DeckReadout::make(in);
    EXPECT_EQ(r.recLamp, c.rec);
    EXPECT_EQ(r.tapeRunLamp, c.tapeRun);
    EXPECT_EQ(r.recLatched, c.recKey);
    EXPECT_EQ(r.playLatched, c.playKey);
    EXPECT_EQ(r.rewindLatched, c.rewKey);
    EXPECT_EQ(r.forwardLatched, c.ffKey);
}

INSTANTIATE_TEST_SUITE_P(EveryMode, DeckLamps,
                         ::testing::Values(LampCase{M::stopped, true, false, false, false, false, false, false},
                                           LampCase{M::playing, true, false, true, false, true, false, false},
                                           LampCase{M::recordArmed, true, true, false, true, false, false, false},
                                           LampCase{M::recordArmed, false, false, false, true, false, false, false},
                                           LampCase{M::recording, false, true, true, true, true, false, false},
                                           LampCase{M::fastForward, true, false, true, false, false, false, true},
                                           LampCase{M::rewinding, true, false, true, false, false, true, false}));

TEST(DeckLamps, ArmedRecLampBlinksInHalfSecondsOfTheWallClock) {
    EXPECT_TRUE(DeckReadout::blinkPhase(1'700'000'000.0));
    EXPECT_TRUE(DeckReadout::blinkPhase(1'700'000'000.49));
    EXPECT_FALSE(DeckReadout::blinkPhase(1'700'000'000.5));
    EXPECT_FALSE(DeckReadout::blinkPhase(1'700'000'000.99));
    EXPECT_TRUE(DeckReadout::blinkPhase(1'700'000'001.0));
}

TEST(DeckTab, IndicatorShowsTheTabOfTheSideUnderTheHead) {
    DeckReadout::Inputs in = blankC60();
    in.tabA = WriteProtect::broken;
    in.tabB = WriteProtect::tapedOver;
    EXPECT_EQ(DeckReadout::make(in).tab, WriteProtect::broken);
    in.transport.cassette->side = TapeSide::b;
    EXPECT_EQ(DeckReadout::make(in).tab, WriteProtect::tapedOver);
    in.documentType.reset();
    EXPECT_FALSE(DeckReadout::make(in).tab.has_value());

    EXPECT_EQ(DeckReadout::tabBadgeText(WriteProtect::broken), "PROTECTED");
    EXPECT_EQ(DeckReadout::tabBadgeText(WriteProtect::tapedOver), "TAPED OVER");
    EXPECT_EQ(DeckReadout::tabBadgeText(WriteProtect::intact), "");
    EXPECT_EQ(DeckReadout::tabHelpText(WriteProtect::broken), "Tab broken off");
    EXPECT_EQ(DeckReadout::tabMenuText(TapeSide::a, WriteProtect::intact), "Side A: Break off record tab");
    EXPECT_EQ(DeckReadout::tabMenuText(TapeSide::b, WriteProtect::broken), "Side B: Cover tab hole with tape");
    EXPECT_EQ(DeckReadout::tabMenuText(TapeSide::b, WriteProtect::tapedOver), "Side B: Remove the tape");
}

struct DropCase {
    std::vector<const char*> urls;
    const char* opened;  // the path opened, byte for byte; empty: refused
};

class DeckDropRouting : public ::testing::TestWithParam<DropCase> {};

TEST_P(DeckDropRouting, OpensTheFirstCassetteOrSoundProfile) {
    QList<QUrl> urls;
    for (const char* u : GetParam().urls) urls << QUrl(QString::fromUtf8(u));
    const auto picked = DeckDrop::fileToOpen(urls);
    if (*GetParam().opened == '\0') {
        EXPECT_FALSE(picked.has_value());
    } else {
        ASSERT_TRUE(picked.has_value());
        EXPECT_EQ(*picked, std::filesystem::path(GetParam().opened));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Drops, DeckDropRouting,
    ::testing::Values(DropCase{{"file:///music/a.norvo"}, "/music/a.norvo"},
                      DropCase{{"file:///music/LOUD.NORVO"}, "/music/LOUD.NORVO"},
                      DropCase{{"file:///music/warm.nvsound"}, "/music/warm.nvsound"},
                      DropCase{{"file:///music/song.mp3", "file:///music/b.norvo"}, "/music/b.norvo"},
                      DropCase{{"file:///music/b.norvo", "file:///music/warm.nvsound"}, "/music/b.norvo"},
                      // A Latin-1 name, as a file manager puts it on the drag.
                      DropCase{{"file:///music/caf%E9%20mix.norvo"}, "/music/caf\xe9 mix.norvo"},
                      DropCase{{"file:///music/song.mp3", "file:///music/notes.txt"}, ""},
                      DropCase{{"https://example.org/c.norvo"}, ""}, DropCase{{}, ""}));

}  // namespace
}  // namespace norvo
