#include "Radio/RadioStreamDecoder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Support/AudioFixtures.hpp"
#include "Support/RadioFixtures.hpp"
#include "Support/SignalMeasure.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

using test::RadioCodec;
using Hint = RadioStreamDecoder::Hint;

constexpr double rate = 44100.0;

// Everything a decoder reports, with the frames joined up.
struct Recorder final : RadioStreamDecoder::Client {
    std::vector<RadioStreamDecoder::Format> formats;
    std::vector<std::string> failures;
    std::vector<float> left, right;
    int batches = 0;
    int largestBatch = 0;
    bool framesBeforeReady = false;
    bool sharedBuffers = true;  // every batch came as one buffer for both sides

    void decoderReady(const RadioStreamDecoder::Format& format) override { formats.push_back(format); }
    void decodedFrames(const float* l, const float* r, int frames) override {
        framesBeforeReady = framesBeforeReady || formats.empty();
        sharedBuffers = sharedBuffers && l == r;
        ++batches;
        largestBatch = std::max(largestBatch, frames);
        left.insert(left.end(), l, l + frames);
        right.insert(right.end(), r, r + frames);
    }
    void decoderFailed(const std::string& message) override { failures.push_back(message); }

    std::size_t frames() const { return left.size(); }
    // Samples from `from` to `to` seconds of the decoded output.
    std::span<const float> span(const std::vector<float>& side, double from, double to) const {
        const auto first = std::min(side.size(), static_cast<std::size_t>(from * rate));
        const auto last = std::min(side.size(), static_cast<std::size_t>(to * rate));
        return {side.data() + first, last - first};
    }
};

Recorder decodeAll(const std::string& bytes, Hint hint, std::size_t piece = 0) {
    Recorder recorder;
    RadioStreamDecoder decoder(hint, recorder);
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    if (piece == 0) piece = bytes.size();
    for (std::size_t at = 0; at < bytes.size() && !decoder.hasFailed(); at += piece)
        decoder.feed(data + at, std::min(piece, bytes.size() - at));
    return recorder;
}

// --- File type hint --------------------------------------------------------------------

struct HintCase {
    std::string mimeType;
    std::string path;
    Hint expected;
};

class FileTypeHintTest : public testing::TestWithParam<HintCase> {};

TEST_P(FileTypeHintTest, MimeTypeFirstThenExtension) {
    const HintCase& c = GetParam();
    EXPECT_EQ(RadioStreamDecoder::fileTypeHint(c.mimeType, c.path), c.expected) << c.mimeType << " " << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FileTypeHintTest,
    testing::Values(HintCase{"audio/mpeg", "/live", Hint::mpegLayer3}, HintCase{"audio/mp3", "/", Hint::mpegLayer3},
                    HintCase{"audio/mpeg3", "", Hint::mpegLayer3}, HintCase{"audio/x-mpeg", "/a", Hint::mpegLayer3},
                    HintCase{"audio/x-mp3", "/a", Hint::mpegLayer3}, HintCase{"audio/mp4a-latm", "/a", Hint::adts},
                    HintCase{"audio/aac", "/a", Hint::adts}, HintCase{"audio/aacp", "/a", Hint::adts},
                    HintCase{"audio/x-aac", "/a", Hint::adts}, HintCase{"audio/x-aacp", "/a", Hint::adts},
                    // The type decides before the extension.
                    HintCase{"audio/aac", "/stream.mp3", Hint::adts},
                    HintCase{"audio/mpeg", "/stream.aac", Hint::mpegLayer3},
                    // Unknown or missing types fall back to the extension.
                    HintCase{"application/octet-stream", "/stream.mp3", Hint::mpegLayer3},
                    HintCase{"", "/radio/Stream.AAC", Hint::adts}, HintCase{"", "/stream.aacp", Hint::adts},
                    HintCase{"audio/ogg", "/stream.ogg", Hint::none}, HintCase{"", "/mp3/stream", Hint::none},
                    HintCase{"", "/stream.mp3.m3u", Hint::none}, HintCase{"text/html", "/", Hint::none}));

// --- Decoded formats and tones ------------------------------------------------------------

struct FormatCase {
    std::string name;
    std::string extension;
    std::vector<std::string> codecArgs;
    int sampleRate;
    int channels;
    std::string label;
    Hint hint;

    friend void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }
};

class DecodedToneTest : public testing::TestWithParam<FormatCase> {};

TEST_P(DecodedToneTest, ReportsFormatAndDeliversTonesPerChannelAt44100) {
    const FormatCase& c = GetParam();
    constexpr double seconds = 2.0;
    const std::string bytes = test::encodedTone(c.extension, c.codecArgs, seconds, c.sampleRate, c.channels);
    const Recorder out = decodeAll(bytes, c.hint);

    EXPECT_TRUE(out.failures.empty());
    ASSERT_EQ(out.formats.size(), 1u);
    EXPECT_EQ(out.formats[0].label, c.label);
    EXPECT_EQ(out.formats[0].channels, c.channels);
    EXPECT_EQ(out.formats[0].sampleRate, c.sampleRate);
    EXPECT_FALSE(out.framesBeforeReady);
    EXPECT_LE(out.largestBatch, RadioStreamDecoder::maximumBatch);

    // Converted to 44100 Hz: the length in seconds is kept, give or take a few codec
    // frames (encoder delay and padding, a leading info frame, the last frame held back).
    const double codecFrame = 1152.0 / c.sampleRate * rate;
    EXPECT_GE(double(out.frames()), seconds * rate - codecFrame);
    EXPECT_LE(double(out.frames()), seconds * rate + 4 * codecFrame);

    const auto left = out.span(out.left, 0.5, 1.5);
    const auto right = out.span(out.right, 0.5, 1.5);
    if (c.channels == 1) {
        // Mono is heard at full level on both sides.
        EXPECT_TRUE(out.sharedBuffers);
        EXPECT_NEAR(test::toneAmplitude(left, 440.0), 0.5, 0.05);
        EXPECT_NEAR(test::toneAmplitude(right, 440.0), 0.5, 0.05);
    } else {
        EXPECT_NEAR(test::toneAmplitude(left, 440.0), 0.5, 0.05);
        EXPECT_NEAR(test::toneAmplitude(right, 1000.0), 0.5, 0.05);
        EXPECT_LT(test::toneAmplitude(left, 1000.0), 0.01);
        EXPECT_LT(test::toneAmplitude(right, 440.0), 0.01);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DecodedToneTest,
    testing::Values(FormatCase{"Mp3Cbr44k", "mp3", RadioCodec::mp3Cbr(), 44100, 2, "MP3", Hint::mpegLayer3},
                    FormatCase{"Mp3Cbr48k", "mp3", RadioCodec::mp3Cbr(), 48000, 2, "MP3", Hint::mpegLayer3},
                    FormatCase{"Mp3Vbr48k", "mp3", RadioCodec::mp3Vbr(), 48000, 2, "MP3", Hint::none},
                    FormatCase{"Mp3Mono22k", "mp3", RadioCodec::mp3Cbr(64), 22050, 1, "MP3", Hint::mpegLayer3},
                    FormatCase{"Mp3Stereo22k", "mp3", RadioCodec::mp3Cbr(64), 22050, 2, "MP3", Hint::none},
                    FormatCase{"Mp2Stereo48k", "mp2", RadioCodec::mp2(), 48000, 2, "MP2", Hint::none},
                    FormatCase{"Mp2Mono44k", "mp2", RadioCodec::mp2(96), 44100, 1, "MP2", Hint::mpegLayer3},
                    FormatCase{"AacStereo44k", "aac", RadioCodec::aacAdts(), 44100, 2, "AAC", Hint::adts},
                    FormatCase{"AacStereo48k", "aac", RadioCodec::aacAdts(), 48000, 2, "AAC", Hint::none},
                    FormatCase{"AacMono22k", "aac", RadioCodec::aacAdts(48), 22050, 1, "AAC", Hint::adts},
                    FormatCase{"Aac51At48k", "aac", RadioCodec::aacAdts(256), 48000, 6, "AAC", Hint::adts},
                    // Stations mislabel their streams: the hint only decides what is tried first.
                    FormatCase{"AacSentAsMp3", "aac", RadioCodec::aacAdts(), 44100, 2, "AAC", Hint::mpegLayer3},
                    FormatCase{"Mp3SentAsAac", "mp3", RadioCodec::mp3Cbr(), 44100, 2, "MP3", Hint::adts}),
    [](const testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

TEST(RadioStreamDecoderTest, FiveOneIsMixedDownWithTheCentreOnBothSides) {
    test::TemporaryDirectory scratch;
    const auto file = scratch / "surround.aac";
    test::generateSignal(file, {"0.5*sin(2*PI*440*t)", "0.5*sin(2*PI*1000*t)", "0.5*sin(2*PI*2500*t)", "0", "0", "0"},
                         2.0, 48000, RadioCodec::aacAdts(256));
    const Recorder out = decodeAll(test::readBytes(file), Hint::adts);

    ASSERT_EQ(out.formats.size(), 1u);
    EXPECT_EQ(out.formats[0].channels, 6);
    const auto left = out.span(out.left, 0.5, 1.5);
    const auto right = out.span(out.right, 0.5, 1.5);
    EXPECT_NEAR(test::toneAmplitude(left, 440.0), 0.5, 0.05);
    EXPECT_NEAR(test::toneAmplitude(right, 1000.0), 0.5, 0.05);
    // The centre is heard on both sides, 3 dB down.
    EXPECT_NEAR(test::toneAmplitude(left, 2500.0), 0.5 * 0.7071, 0.05);
    EXPECT_NEAR(test::toneAmplitude(right, 2500.0), 0.5 * 0.7071, 0.05);
}

TEST(RadioStreamDecoderTest, HeAacIsLabelledAacPlusAtItsBandReplicatedRate) {
    const std::string bytes = test::readBytes(test::committedFixture("tone-he-aac.aac"));
    const Recorder out = decodeAll(bytes, Hint::adts);

    EXPECT_TRUE(out.failures.empty());
    ASSERT_EQ(out.formats.size(), 1u);
    EXPECT_EQ(out.formats[0].label, "AAC+");
    EXPECT_EQ(out.formats[0].sampleRate, 44100);  // the core runs at 22050 Hz
    EXPECT_EQ(out.formats[0].channels, 2);
    EXPECT_NEAR(double(out.frames()), 3.0 * rate, 0.1 * rate);
    const auto left = out.span(out.left, 0.5, 2.5);
    const auto right = out.span(out.right, 0.5, 2.5);
    EXPECT_NEAR(test::toneAmplitude(left, 440.0), 0.5, 0.05);
    EXPECT_NEAR(test::toneAmplitude(right, 1000.0), 0.5, 0.05);
    EXPECT_LT(test::toneAmplitude(left, 1000.0), 0.01);
    EXPECT_LT(test::toneAmplitude(right, 440.0), 0.01);
}

TEST(RadioStreamDecoderTest, MatchesFFmpegsOwnDecodeSampleForSample) {
    test::TemporaryDirectory scratch;
    const auto file = scratch / "noise.mp3";
    test::generateNoise(file, 1.0, 44100, 2, RadioCodec::mp3Cbr());
    const Recorder out = decodeAll(test::readBytes(file), Hint::mpegLayer3);
    const test::StereoSamples reference = test::decodeWithFFmpeg(file);

    // ffmpeg drops the encoder delay that the stream carries; find it, then compare.
    constexpr std::size_t from = 10000, length = 30000;
    ASSERT_GE(reference.frames(), from + length);
    ASSERT_GE(out.frames(), from + 4096);
    const int delay = test::bestLag(std::span<const float>(reference.left.data() + from, 4096),
                                    std::span<const float>(out.left.data() + from, out.frames() - from), 4000);
    ASSERT_GE(delay, 0);
    ASSERT_GE(out.frames(), from + std::size_t(delay) + length);
    for (const auto* side : {&reference.left, &reference.right}) {
        const auto& ours = side == &reference.left ? out.left : out.right;
        EXPECT_LT(test::maximumDifference(std::span<const float>(side->data() + from, length),
                                          std::span<const float>(ours.data() + from + std::size_t(delay), length)),
                  1e-6f);
    }
}

// --- How the bytes arrive ------------------------------------------------------------------

class FeedingTest : public testing::TestWithParam<FormatCase> {};

TEST_P(FeedingTest, OneBytePiecesGiveTheSameFramesAsOneBlock) {
    const FormatCase& c = GetParam();
    const std::string bytes = test::encodedTone(c.extension, c.codecArgs, 0.5, c.sampleRate, c.channels);
    const Recorder whole = decodeAll(bytes, c.hint);
    const Recorder bytewise = decodeAll(bytes, c.hint, 1);
    const Recorder odd = decodeAll(bytes, c.hint, 997);

    ASSERT_GT(whole.frames(), 0u);
    EXPECT_EQ(bytewise.formats, whole.formats);
    EXPECT_EQ(bytewise.left, whole.left);
    EXPECT_EQ(bytewise.right, whole.right);
    EXPECT_EQ(odd.left, whole.left);
    EXPECT_EQ(odd.right, whole.right);
}

INSTANTIATE_TEST_SUITE_P(Formats, FeedingTest,
                         testing::Values(FormatCase{"Mp3", "mp3", RadioCodec::mp3Cbr(), 48000, 2, "MP3", Hint::none},
                                         FormatCase{"Aac", "aac", RadioCodec::aacAdts(), 22050, 2, "AAC", Hint::adts}),
                         [](const testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

TEST(RadioStreamDecoderTest, JoiningInTheMiddleOfAFrameFindsTheNextOne) {
    const std::string bytes = test::encodedTone("mp3", RadioCodec::mp3Cbr(), 2.0, 44100, 2);
    const Recorder out = decodeAll(bytes.substr(bytes.size() / 3), Hint::mpegLayer3);
    ASSERT_EQ(out.formats.size(), 1u);
    EXPECT_EQ(out.formats[0].label, "MP3");
    EXPECT_NEAR(test::toneAmplitude(out.span(out.left, 0.2, 1.0), 440.0), 0.5, 0.05);
}

TEST(RadioStreamDecoderTest, SkipsAnId3TagLongerThanTheFrameSearch) {
    // A tag of 100 000 bytes full of sync-like bytes, then the stream.
    std::string tag = "ID3";
    tag += std::string{'\x04', '\x00', '\x00'};
    const uint32_t size = 100000;
    for (int shift : {21, 14, 7, 0}) tag += static_cast<char>((size >> shift) & 0x7F);
    tag += std::string(size, '\xFF');
    const std::string audio = test::encodedTone("aac", RadioCodec::aacAdts(), 1.0, 44100, 2);
    const Recorder out = decodeAll(tag + audio, Hint::none, 4096);

    EXPECT_TRUE(out.failures.empty());
    ASSERT_EQ(out.formats.size(), 1u);
    EXPECT_EQ(out.formats[0].label, "AAC");
    EXPECT_NEAR(double(out.frames()), rate, 0.06 * rate);
}

TEST(RadioStreamDecoderTest, ARateChangeMidStreamRebuildsTheConversion) {
    const std::string first = test::encodedTone("mp3", RadioCodec::mp3Cbr(), 1.5, 48000, 2);
    const std::string second = test::encodedTone("mp3", RadioCodec::mp3Cbr(), 1.5, 44100, 2, 880.0, 2000.0);
    const Recorder out = decodeAll(first + second, Hint::mpegLayer3, 1500);

    EXPECT_TRUE(out.failures.empty());
    ASSERT_EQ(out.formats.size(), 1u);  // the format is reported once, as it began
    EXPECT_EQ(out.formats[0].sampleRate, 48000);
    EXPECT_NEAR(double(out.frames()), 3.0 * rate, 0.1 * rate);
    // Both parts play at their own pitch: nothing is resampled with the wrong ratio.
    EXPECT_NEAR(test::toneAmplitude(out.span(out.left, 0.3, 1.2), 440.0), 0.5, 0.05);
    EXPECT_NEAR(test::toneAmplitude(out.span(out.right, 0.3, 1.2), 1000.0), 0.5, 0.05);
    EXPECT_NEAR(test::toneAmplitude(out.span(out.left, 1.9, 2.8), 880.0), 0.5, 0.05);
    EXPECT_NEAR(test::toneAmplitude(out.span(out.right, 1.9, 2.8), 2000.0), 0.5, 0.05);
}

// --- Faults -------------------------------------------------------------------------------

struct FaultCase {
    std::string name;
    std::string bytes;
    std::size_t mostBytesBeforeFailure;

    friend void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }
};

class UnsupportedStreamTest : public testing::TestWithParam<FaultCase> {};

TEST_P(UnsupportedStreamTest, FailsOnceWithTheUserText) {
    const FaultCase& c = GetParam();
    Recorder recorder;
    RadioStreamDecoder decoder(Hint::none, recorder);
    std::size_t fed = 0;
    for (; fed < c.bytes.size() && !decoder.hasFailed(); fed += 512)
        decoder.feed(reinterpret_cast<const uint8_t*>(c.bytes.data()) + fed,
                     std::min<std::size_t>(512, c.bytes.size() - fed));
    EXPECT_TRUE(decoder.hasFailed());
    EXPECT_LE(fed, c.mostBytesBeforeFailure);
    ASSERT_EQ(recorder.failures, std::vector<std::string>{"Unsupported stream format"});
    EXPECT_TRUE(recorder.formats.empty());
    EXPECT_EQ(recorder.frames(), 0u);

    // Nothing more happens after the failure.
    decoder.feed(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size());
    EXPECT_EQ(recorder.failures.size(), 1u);
}

std::string oggStream() {
    test::TemporaryDirectory scratch;
    test::generateTone(scratch / "tone.ogg", 1.0, 440, 1000, 44100, 2, {"-c:a", "libvorbis", "-f", "ogg"});
    return test::readBytes(scratch / "tone.ogg");
}

std::string htmlPage() {
    std::string page = "\r\n<!DOCTYPE html>\n<html><head><title>Station</title></head><body>";
    while (page.size() < 200000) page += "<p>Listen live on our website.</p>\n";
    return page + "</body></html>\n";
}

INSTANTIATE_TEST_SUITE_P(Faults, UnsupportedStreamTest,
                         testing::Values(FaultCase{"HtmlPage", htmlPage(), 512},
                                         FaultCase{"HtmlWithoutDoctype", "<html><body>" + std::string(200000, 'x'),
                                                   512},
                                         FaultCase{"OggStream", oggStream(), 512},
                                         FaultCase{"RandomBytes", test::randomBytes(300000, 7), 64 * 1024 + 4096 + 512},
                                         FaultCase{"Silence", std::string(300000, '\0'), 64 * 1024 + 4096 + 512}),
                         [](const testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

struct InterruptionCase {
    std::string name;
    std::string extension;
    std::vector<std::string> codecArgs;
    std::string junk;

    friend void PrintTo(const InterruptionCase& c, std::ostream* os) { *os << c.name; }
};

class InterruptionTest : public testing::TestWithParam<InterruptionCase> {};

TEST_P(InterruptionTest, JunkAfterTheStreamStartedIsSkippedAndTheAudioFoundAgain) {
    const InterruptionCase& c = GetParam();
    const std::string audio = test::encodedTone(c.extension, c.codecArgs, 1.0, 44100, 2);
    const Recorder out = decodeAll(audio + c.junk + audio, Hint::none, 4096);

    EXPECT_TRUE(out.failures.empty());
    ASSERT_EQ(out.formats.size(), 1u);
    const double end = double(out.frames()) / rate;
    EXPECT_NEAR(test::toneAmplitude(out.span(out.left, end - 0.8, end - 0.2), 440.0), 0.5, 0.05);
    EXPECT_NEAR(test::toneAmplitude(out.span(out.right, end - 0.8, end - 0.2), 1000.0), 0.5, 0.05);
}

INSTANTIATE_TEST_SUITE_P(
    Junk, InterruptionTest,
    testing::Values(InterruptionCase{"Mp3RandomBytes", "mp3", RadioCodec::mp3Cbr(), test::randomBytes(400000, 11)},
                    InterruptionCase{"Mp3Zeros", "mp3", RadioCodec::mp3Cbr(), std::string(1 << 20, '\0')},
                    InterruptionCase{"AacRandomBytes", "aac", RadioCodec::aacAdts(), test::randomBytes(400000, 12)},
                    InterruptionCase{"AacZeros", "aac", RadioCodec::aacAdts(), std::string(1 << 20, '\0')}),
    [](const testing::TestParamInfo<InterruptionCase>& info) { return info.param.name; });

// ADTS headers in a row around payloads no decoder accepts.
std::string adtsHeadersAroundNoise(std::size_t bytes) {
    std::string stream;
    const std::string noise = test::randomBytes(bytes, 3);
    for (std::size_t at = 0; stream.size() < bytes; at += 393) {
        constexpr std::size_t length = 400;  // 7 header bytes and 393 of noise
        const char header[7] = {'\xFF',
                                '\xF1',
                                '\x50',
                                char(0x80 | (length >> 11)),
                                char((length >> 3) & 0xFF),
                                char(((length & 7) << 5) | 0x1F),
                                '\xFC'};
        stream.append(header, 7);
        stream.append(noise, at % (bytes - 393), 393);
    }
    return stream;
}

TEST(RadioStreamDecoderTest, FramesThatNeverDecodeAreAnUnsupportedFormat) {
    const Recorder out = decodeAll(adtsHeadersAroundNoise(200000), Hint::adts, 1024);
    EXPECT_EQ(out.failures, std::vector<std::string>{"Unsupported stream format"});
    EXPECT_TRUE(out.formats.empty());
}

// A client that lets go of the decoder as soon as it fails, as a receiver tearing down
// its connection would.
struct DroppingClient final : RadioStreamDecoder::Client {
    std::unique_ptr<RadioStreamDecoder> decoder;
    std::string failure;
    void decoderReady(const RadioStreamDecoder::Format&) override {}
    void decodedFrames(const float*, const float*, int) override {}
    void decoderFailed(const std::string& message) override {
        failure = message;
        decoder.reset();
    }
};

class DroppedOnFailureTest : public testing::TestWithParam<FaultCase> {};

TEST_P(DroppedOnFailureTest, TheClientMayDestroyTheDecoderFromItsFailure) {
    const std::string& bytes = GetParam().bytes;
    DroppingClient client;
    client.decoder = std::make_unique<RadioStreamDecoder>(Hint::none, client);
    for (std::size_t at = 0; at < bytes.size() && client.decoder; at += 8192)
        client.decoder->feed(reinterpret_cast<const uint8_t*>(bytes.data()) + at,
                             std::min<std::size_t>(8192, bytes.size() - at));
    EXPECT_EQ(client.decoder, nullptr);
    EXPECT_EQ(client.failure, "Unsupported stream format");
}

INSTANTIATE_TEST_SUITE_P(Faults, DroppedOnFailureTest,
                         testing::Values(FaultCase{"HtmlPage", htmlPage(), 0},
                                         FaultCase{"RandomBytes", test::randomBytes(300000, 5), 0},
                                         FaultCase{"UndecodableFrames", adtsHeadersAroundNoise(200000), 0}),
                         [](const testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

}  // namespace
}  // namespace norvo
