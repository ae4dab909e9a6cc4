// The small values of the engine: the tape clock, sides, modes, inputs and errors.
#include <gtest/gtest.h>

#include "AudioEngine/DeckInput.hpp"
#include "AudioEngine/NorvoAudioError.hpp"
#include "AudioEngine/TapeClock.hpp"
#include "AudioEngine/TapeSide.hpp"
#include "AudioEngine/TransportMode.hpp"

namespace norvo {
namespace {

TEST(TapeClock, FramesRoundHalvesAwayFromZero) {
    EXPECT_EQ(TapeClock::frames(0.05), 2205);
    EXPECT_EQ(TapeClock::frames(1.0), 44100);
    EXPECT_EQ(TapeClock::frames(0), 0);
    // (2n + 1) / 88200 s is exactly n + 0.5 frames for these n.
    EXPECT_EQ(TapeClock::frames(1 / 88200.0), 1);
    EXPECT_EQ(TapeClock::frames(5 / 88200.0), 3);
    EXPECT_EQ(TapeClock::frames(-5 / 88200.0), -3);
    EXPECT_EQ(TapeClock::frames(21 / 88200.0), 11);
    EXPECT_EQ(TapeClock::frames(1.4 / 44100.0), 1);
    EXPECT_EQ(TapeClock::frames(5400.0), 5400 * 44100);
    EXPECT_DOUBLE_EQ(TapeClock::seconds(2205), 0.05);
}

TEST(TapeSide, RawValuesAndLetters) {
    EXPECT_EQ(allTapeSides[0], TapeSide::a);
    EXPECT_EQ(allTapeSides[1], TapeSide::b);
    for (TapeSide side : allTapeSides) {
        EXPECT_EQ(tapeSideFromRaw(rawValue(side)), side);
        EXPECT_EQ(tapeSideFromLetter(letter(side)), side);
        EXPECT_EQ(other(other(side)), side);
        EXPECT_NE(other(side), side);
    }
    EXPECT_EQ(letter(TapeSide::a), "A");
    EXPECT_EQ(letter(TapeSide::b), "B");
    EXPECT_EQ(rawValue(TapeSide::b), 1);
    EXPECT_EQ(tapeSideFromRaw(2), std::nullopt);
    EXPECT_EQ(tapeSideFromLetter("C"), std::nullopt);
}

TEST(TransportMode, RawStringsAreTheCaseNames) {
    const std::pair<TransportMode, const char*> modes[] = {
        {TransportMode::stopped, "stopped"},         {TransportMode::playing, "playing"},
        {TransportMode::recordArmed, "recordArmed"}, {TransportMode::recording, "recording"},
        {TransportMode::fastForward, "fastForward"}, {TransportMode::rewinding, "rewinding"}};
    for (const auto& [mode, raw] : modes) {
        EXPECT_EQ(rawValue(mode), raw);
        EXPECT_EQ(transportModeFromRaw(raw), mode);
        EXPECT_EQ(isRecordingOrArmed(mode), mode == TransportMode::recording || mode == TransportMode::recordArmed)
            << raw;
    }
    EXPECT_EQ(transportModeFromRaw("Playing"), std::nullopt);
}

TEST(DeckInput, RawValues) {
    EXPECT_EQ(rawValue(DeckInput::sourcePlayer), "sourcePlayer");
    EXPECT_EQ(rawValue(DeckInput::tuner), "tuner");
    EXPECT_EQ(deckInputFromRaw("tuner"), DeckInput::tuner);
    EXPECT_EQ(deckInputFromRaw("sourcePlayer"), DeckInput::sourcePlayer);
    EXPECT_EQ(deckInputFromRaw("radio"), std::nullopt);
}

TEST(NorvoAudioError, EachKindPrefixesItsDetail) {
    const auto unsupported = NorvoAudioError::unsupportedFormat("song.ogg");
    const auto conversion = NorvoAudioError::conversionFailed("bad packet");
    const auto storage = NorvoAudioError::storage("disk full");
    EXPECT_STREQ(unsupported.what(), "Unsupported audio format: song.ogg");
    EXPECT_STREQ(conversion.what(), "Audio conversion failed: bad packet");
    EXPECT_STREQ(storage.what(), "Tape storage error: disk full");
    EXPECT_EQ(unsupported.kind(), NorvoAudioError::Kind::unsupportedFormat);
    EXPECT_EQ(conversion.kind(), NorvoAudioError::Kind::conversionFailed);
    EXPECT_EQ(storage.kind(), NorvoAudioError::Kind::storage);
    EXPECT_EQ(storage.detail(), "disk full");

    const auto unavailable = NorvoAudioError::fileUnavailable("song.mp3 cannot be found.");
    EXPECT_STREQ(unavailable.what(), "song.mp3 cannot be found.") << "a whole sentence, no format to blame";
    EXPECT_EQ(unavailable.kind(), NorvoAudioError::Kind::fileUnavailable);
}

}  // namespace
}  // namespace norvo
