#include "AudioEngine/AudioFileDecoder.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <future>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "AudioEngine/NorvoAudioError.hpp"
#include "Support/AudioFixtures.hpp"
#include "Support/Fifo.hpp"
#include "Support/SignalMeasure.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

using test::StereoSamples;

constexpr double toneSeconds = 1.5;
constexpr int64_t toneFrames = 66150;

StereoSamples decodeAll(AudioFileDecoder& decoder) {
    StereoSamples out;
    std::vector<float> left(3000), right(3000);
    for (;;) {
        // An odd request size crosses every decoded frame boundary at some point.
        const int n = decoder.read(left.data(), right.data(), 2999);
        out.left.insert(out.left.end(), left.begin(), left.begin() + n);
        out.right.insert(out.right.end(), right.begin(), right.begin() + n);
        if (n < 2999) break;
    }
    return out;
}

std::span<const float> slice(const std::vector<float>& samples, std::size_t start, std::size_t count) {
    return std::span<const float>(samples).subspan(start, count);
}

struct FormatCase {
    std::string name;
    std::string extension;
    std::vector<std::string> codecArgs;  // empty: the fixture's default for the extension
    bool lossless;
    // How far the headers may overstate the length: an MP3's counts the encoder's
    // padding; FFmpeg's CAF writer counts whole ALAC packets.
    int64_t headerSlack = 0;
    bool exactProbe = true;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class DecoderFormatTest : public ::testing::TestWithParam<FormatCase> {
protected:
    static void SetUpTestSuite() { directory_ = std::make_unique<test::TemporaryDirectory>(); }
    static void TearDownTestSuite() { directory_.reset(); }

    std::filesystem::path tone() {
        const auto path = *directory_ / ("tone-" + GetParam().name + GetParam().extension);
        if (!std::filesystem::exists(path))
            test::generateTone(path, toneSeconds, 440, 660, 44100, 2, GetParam().codecArgs);
        return path;
    }
    std::filesystem::path noise() {
        const auto path = *directory_ / ("noise-" + GetParam().name + GetParam().extension);
        if (!std::filesystem::exists(path)) test::generateNoise(path, 3.0, 44100, 2, GetParam().codecArgs);
        return path;
    }

    static inline std::unique_ptr<test::TemporaryDirectory> directory_;
};

TEST_P(DecoderFormatTest, DecodesExactlyTheFramesTheFileHoldsAndReportsThemAsItsDuration) {
    AudioFileDecoder decoder(tone());
    EXPECT_GE(decoder.durationFrames(), toneFrames);
    EXPECT_LE(decoder.durationFrames(), toneFrames + GetParam().headerSlack);
    if (decoder.isDurationExact()) {
        EXPECT_EQ(decoder.durationFrames(), toneFrames);
    }
    const std::optional<int64_t> probed = AudioFileDecoder::probeDuration(tone());
    ASSERT_TRUE(probed.has_value());
    if (GetParam().exactProbe) {
        EXPECT_EQ(*probed, toneFrames);
    }
    EXPECT_LE(*probed, decoder.durationFrames());

    const StereoSamples decoded = decodeAll(decoder);
    EXPECT_EQ(int64_t(decoded.frames()), toneFrames);
    EXPECT_TRUE(decoder.isAtEnd());
    EXPECT_EQ(decoder.position(), toneFrames);
    float left[16], right[16];
    EXPECT_EQ(decoder.read(left, right, 16), 0);
}

TEST_P(DecoderFormatTest, KeepsEachChannelOnItsSideAtItsLevel) {
    AudioFileDecoder decoder(tone());
    const StereoSamples decoded = decodeAll(decoder);
    ASSERT_GT(decoded.frames(), 44100u);
    const auto left = slice(decoded.left, 4410, 44100);
    const auto right = slice(decoded.right, 4410, 44100);
    // LAME and AAC encoders trim the level by a few tenths of a dB.
    const double tolerance = GetParam().lossless ? 0.001 : 0.02;
    EXPECT_NEAR(test::toneAmplitude(left, 440), 0.5, tolerance);
    EXPECT_NEAR(test::toneAmplitude(right, 660), 0.5, tolerance);
    EXPECT_LT(test::toneAmplitude(left, 660), 0.005);
    EXPECT_LT(test::toneAmplitude(right, 440), 0.005);
}

TEST_P(DecoderFormatTest, SeekingLandsOnTheExactFrame) {
    AudioFileDecoder whole(noise());
    const StereoSamples reference = decodeAll(whole);
    const int64_t total = int64_t(reference.frames());

    for (const int64_t start : {int64_t(1), int64_t(1000), int64_t(44100 + 7), int64_t(2 * 44100 + 1234)}) {
        SCOPED_TRACE("start frame " + std::to_string(start));
        AudioFileDecoder decoder(noise());
        decoder.seek(start);
        EXPECT_EQ(decoder.position(), start);
        const StereoSamples rest = decodeAll(decoder);
        ASSERT_EQ(int64_t(rest.frames()), total - start);

        const std::size_t compared = 4096;
        const auto expected = slice(reference.left, std::size_t(start), compared);
        const auto actual = slice(rest.left, 0, compared);
        if (GetParam().lossless) {
            EXPECT_EQ(test::maximumDifference(expected, actual), 0.0f);
            EXPECT_EQ(test::maximumDifference(slice(reference.right, std::size_t(start), compared),
                                              slice(rest.right, 0, compared)),
                      0.0f);
        } else {
            // Lossy decoders may synthesise noise bands differently after a seek; the timing must agree.
            EXPECT_EQ(test::bestLag(expected, actual, 256), 0);
        }
    }
}

TEST_P(DecoderFormatTest, ASeekDecodesTheSameSamplesAsAWholeRunOnceSettled) {
    AudioFileDecoder whole(tone());
    const StereoSamples reference = decodeAll(whole);
    const int64_t start = 30011;
    AudioFileDecoder decoder(tone());
    decoder.seek(start);
    const StereoSamples rest = decodeAll(decoder);
    ASSERT_EQ(rest.frames(), reference.frames() - std::size_t(start));
    const float tolerance = GetParam().lossless ? 0.0f : 0.001f;
    EXPECT_LE(test::maximumDifference(slice(reference.left, std::size_t(start), 8192), slice(rest.left, 0, 8192)),
              tolerance);
    EXPECT_LE(test::maximumDifference(slice(reference.right, std::size_t(start), 8192), slice(rest.right, 0, 8192)),
              tolerance);
}

TEST_P(DecoderFormatTest, SeekingToTheEndOrBeyondDeliversNothing) {
    AudioFileDecoder decoder(tone());
    decoder.seek(toneFrames + 5000);
    float left[64], right[64];
    EXPECT_EQ(decoder.read(left, right, 64), 0);
    EXPECT_TRUE(decoder.isAtEnd());
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DecoderFormatTest,
    ::testing::Values(FormatCase{"wav", ".wav", {}, true}, FormatCase{"mp3", ".mp3", {}, false, 2304},
                      FormatCase{"flac", ".flac", {}, true}, FormatCase{"aiff", ".aiff", {}, true},
                      FormatCase{"alac", ".m4a", {}, true}, FormatCase{"caf", ".caf", {}, true},
                      FormatCase{"aac", ".m4a", {"-c:a", "aac", "-b:a", "192k"}, false},
                      FormatCase{"float_wav", ".wav", {"-c:a", "pcm_f32le"}, true},
                      FormatCase{"mp3_vbr", ".mp3", {"-c:a", "libmp3lame", "-q:a", "2"}, false, 2304},
                      FormatCase{"wave", ".wave", {}, true}, FormatCase{"aif", ".aif", {}, true},
                      FormatCase{"caf_alac", ".caf", {"-c:a", "alac"}, true, 4096, false}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

class DecoderConversionTest : public ::testing::Test {
protected:
    test::TemporaryDirectory directory_;
};

TEST_F(DecoderConversionTest, MonoPlaysAtFullLevelOnBothSides) {
    for (const char* extension : {".wav", ".mp3", ".flac"}) {
        SCOPED_TRACE(extension);
        const auto path = directory_ / (std::string("mono") + extension);
        test::generateTone(path, 1.0, 1000, 0, 44100, 1);
        AudioFileDecoder decoder(path);
        const StereoSamples decoded = decodeAll(decoder);
        ASSERT_EQ(decoded.frames(), 44100u);
        // 0.354 here would be the 3 dB loss of a default mono mix.
        EXPECT_NEAR(test::toneAmplitude(slice(decoded.left, 2205, 39690), 1000), 0.5, 0.02);
        EXPECT_NEAR(test::toneAmplitude(slice(decoded.right, 2205, 39690), 1000), 0.5, 0.02);
        EXPECT_EQ(test::maximumDifference(decoded.left, decoded.right), 0.0f);
    }
}

TEST_F(DecoderConversionTest, SurroundIsMixedDownToStereo) {
    const auto path = directory_ / "surround.wav";
    // Front left and right carry their tones, the centre a third one; the rest is silent.
    test::generateSignal(path, {"0.4*sin(2*PI*440*t)", "0.4*sin(2*PI*660*t)", "0.4*sin(2*PI*880*t)", "0", "0", "0"},
                         1.0);
    AudioFileDecoder decoder(path);
    EXPECT_EQ(decoder.sourceChannels(), 6);
    const StereoSamples decoded = decodeAll(decoder);
    ASSERT_EQ(decoded.frames(), 44100u);
    const auto left = slice(decoded.left, 2205, 39690);
    const auto right = slice(decoded.right, 2205, 39690);
    EXPECT_GT(test::toneAmplitude(left, 440), 0.2);
    EXPECT_LT(test::toneAmplitude(left, 660), 0.005);
    EXPECT_GT(test::toneAmplitude(right, 660), 0.2);
    EXPECT_LT(test::toneAmplitude(right, 440), 0.005);
    // The centre reaches both sides equally.
    EXPECT_GT(test::toneAmplitude(left, 880), 0.1);
    EXPECT_NEAR(test::toneAmplitude(left, 880), test::toneAmplitude(right, 880), 0.001);
}

TEST_F(DecoderConversionTest, OtherSampleRatesAreResampledToTheExactLength) {
    struct Case {
        int rate;
        const char* extension;
        int64_t expectedFrames;
    };
    for (const Case& c : {Case{48000, ".wav", 66150}, Case{22050, ".flac", 66150}, Case{48000, ".mp3", 66150},
                          Case{8000, ".wav", 66150}}) {
        SCOPED_TRACE(std::to_string(c.rate) + c.extension);
        const auto path = directory_ / (std::to_string(c.rate) + c.extension);
        test::generateTone(path, toneSeconds, 440, 1000, c.rate, 2);
        AudioFileDecoder decoder(path);
        EXPECT_EQ(decoder.sourceSampleRate(), c.rate);
        EXPECT_EQ(AudioFileDecoder::probeDuration(path), std::optional<int64_t>(c.expectedFrames));
        const StereoSamples decoded = decodeAll(decoder);
        EXPECT_EQ(int64_t(decoded.frames()), c.expectedFrames);
        EXPECT_NEAR(test::toneAmplitude(slice(decoded.left, 4410, 44100), 440), 0.5, 0.02);
        EXPECT_NEAR(test::toneAmplitude(slice(decoded.right, 4410, 44100), 1000), 0.5, 0.02);
    }
}

TEST_F(DecoderConversionTest, AnMP3WithoutGaplessInformationDecodesToItsProbedLength) {
    const auto path = directory_ / "plain.mp3";
    test::generateTone(path, 1.0, 440, 660, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0"});
    AudioFileDecoder decoder(path);
    const StereoSamples decoded = decodeAll(decoder);
    EXPECT_EQ(AudioFileDecoder::probeDuration(path), std::optional<int64_t>(decoded.frames()));
    // Without the encoder's note of its delay and padding, those stay in.
    EXPECT_GE(decoded.frames(), 44100u);
    EXPECT_LT(decoded.frames(), 44100u + 2 * 1152u);
}

TEST_F(DecoderConversionTest, ResampledSeeksMatchTheWholeDecodeExactly) {
    const auto path = directory_ / "48k.wav";
    test::generateNoise(path, 2.0, 48000, 2);
    AudioFileDecoder whole(path);
    const StereoSamples reference = decodeAll(whole);
    ASSERT_EQ(reference.frames(), 88200u);
    for (const int64_t start : {int64_t(1), int64_t(147), int64_t(30000), int64_t(60001)}) {
        SCOPED_TRACE("start frame " + std::to_string(start));
        AudioFileDecoder decoder(path);
        decoder.seek(start);
        const StereoSamples rest = decodeAll(decoder);
        ASSERT_EQ(rest.frames(), reference.frames() - std::size_t(start));
        EXPECT_EQ(test::maximumDifference(slice(reference.left, std::size_t(start), 4096), slice(rest.left, 0, 4096)),
                  0.0f);
    }
}

class DecoderErrorTest : public ::testing::Test {
protected:
    void write(const std::filesystem::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    // A WAV file written byte by byte, headers and all, so it can say what no encoder would.
    template <typename Sample>
    void writeWav(const std::filesystem::path& path, uint32_t rate, uint16_t channels, uint16_t formatTag,
                  const std::vector<Sample>& samples) {
        std::string bytes;
        auto put = [&](auto value) { bytes.append(reinterpret_cast<const char*>(&value), sizeof value); };
        const auto dataBytes = uint32_t(samples.size() * sizeof(Sample));
        const auto blockAlign = uint16_t(channels * sizeof(Sample));
        bytes += "RIFF";
        put(uint32_t(36 + dataBytes));
        bytes += "WAVEfmt ";
        put(uint32_t(16));
        put(formatTag);
        put(channels);
        put(rate);
        put(uint32_t(rate * blockAlign));
        put(blockAlign);
        put(uint16_t(8 * sizeof(Sample)));
        bytes += "data";
        put(dataBytes);
        bytes.append(reinterpret_cast<const char*>(samples.data()), dataBytes);
        write(path, bytes);
    }
    test::TemporaryDirectory directory_;
};

TEST_F(DecoderErrorTest, NonFiniteSamplesOfAFloatFileBecomeSilence) {
    constexpr uint16_t ieeeFloat = 3;
    std::vector<float> samples(2 * 20000, 0.25f);
    samples[2 * 100] = std::numeric_limits<float>::quiet_NaN();
    samples[2 * 200 + 1] = std::numeric_limits<float>::infinity();
    samples[2 * 300] = -std::numeric_limits<float>::infinity();
    for (const uint32_t rate : {44100u, 48000u}) {
        SCOPED_TRACE(rate);
        const auto path = directory_ / ("float-" + std::to_string(rate) + ".wav");
        writeWav(path, rate, 2, ieeeFloat, samples);
        AudioFileDecoder decoder(path);
        const StereoSamples decoded = decodeAll(decoder);
        ASSERT_GT(decoded.frames(), 18000u);
        for (std::size_t i = 0; i < decoded.frames(); ++i) {
            ASSERT_TRUE(std::isfinite(decoded.left[i]) && std::isfinite(decoded.right[i])) << "frame " << i;
        }
        if (rate == 44100) {
            EXPECT_EQ(decoded.left[100], 0.0f);
            EXPECT_EQ(decoded.right[200], 0.0f);
            EXPECT_EQ(decoded.left[300], 0.0f);
            EXPECT_EQ(decoded.right[100], 0.25f) << "the other channel keeps its sample";
            EXPECT_EQ(decoded.left[101], 0.25f);
        }
    }
}

TEST_F(DecoderErrorTest, AnAbsurdlyLowSampleRateIsRefusedRatherThanBlownUp) {
    // 800 KB claiming one sample a second: 44100 output frames for every sample.
    const auto path = directory_ / "slow.wav";
    writeWav(path, 1, 2, 1, std::vector<int16_t>(2 * 200000, 1000));
    try {
        AudioFileDecoder decoder(path);
        FAIL() << "opened";
    } catch (const NorvoAudioError& error) {
        EXPECT_EQ(error.kind(), NorvoAudioError::Kind::unsupportedFormat);
        EXPECT_STREQ(error.what(), "Unsupported audio format: slow.wav declares a sample rate of 1 Hz");
    }
    EXPECT_EQ(AudioFileDecoder::probeDuration(path), std::nullopt);

    const auto telephone = directory_ / "telephone.wav";
    writeWav(telephone, 8000, 1, 1, std::vector<int16_t>(8000, 1000));
    EXPECT_EQ(AudioFileDecoder::probeDuration(telephone), std::optional<int64_t>(44100));
}

TEST_F(DecoderErrorTest, FilesThatAreNotAudioAreRefusedWithASentence) {
    write(directory_ / "notes.mp3", "These are my notes, not a song.\n");
    write(directory_ / "empty.mp3", "");
    write(directory_ / "empty.wav", "");
    write(directory_ / "picture.flac", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(200, '\0'));
    const auto header = directory_ / "header.wav";
    test::generateTone(header, 0.5, 440, 440);
    test::truncateFile(header, 30);

    for (const char* name : {"notes.mp3", "empty.mp3", "empty.wav", "picture.flac", "header.wav"}) {
        SCOPED_TRACE(name);
        try {
            AudioFileDecoder decoder(directory_ / name);
            FAIL() << "opened";
        } catch (const NorvoAudioError& error) {
            EXPECT_EQ(error.kind(), NorvoAudioError::Kind::unsupportedFormat);
            const std::string sentence = error.what();
            EXPECT_TRUE(sentence.starts_with("Unsupported audio format: " + std::string(name))) << sentence;
            // Our own words only: the decoding library's error text goes to the log.
            EXPECT_EQ(sentence.find('('), std::string::npos) << sentence;
            if (std::string_view(name).starts_with("empty") || std::string_view(name) == "notes.mp3") {
                EXPECT_EQ(sentence, "Unsupported audio format: " + std::string(name) + " cannot be read as audio");
            }
        }
        EXPECT_EQ(AudioFileDecoder::probeDuration(directory_ / name), std::nullopt);
    }
}

TEST_F(DecoderErrorTest, AFileThatIsMissingOrNotARegularFileIsSaidSoWithoutWaiting) {
    const test::Fifo fifo(directory_ / "fifo.mp3");
    std::filesystem::create_directory(directory_ / "folder.flac");
    const std::vector<std::pair<std::string, std::string>> cases{{"missing.wav", "missing.wav cannot be found."},
                                                                 {"fifo.mp3", "fifo.mp3 is not a regular file."},
                                                                 {"folder.flac", "folder.flac is not a regular file."}};
    for (const auto& [name, sentence] : cases) {
        SCOPED_TRACE(name);
        const auto path = directory_ / name;
        ASSERT_TRUE(fifo.returnsPromptly([&] {
            try {
                AudioFileDecoder decoder(path);
                ADD_FAILURE() << "opened";
            } catch (const NorvoAudioError& error) {
                EXPECT_EQ(error.kind(), NorvoAudioError::Kind::fileUnavailable);
                EXPECT_EQ(std::string(error.what()), sentence);
            }
            EXPECT_EQ(AudioFileDecoder::probeDuration(path), std::nullopt);
        }));
    }
}

TEST_F(DecoderErrorTest, TheFileNameInTheSentenceCannotBreakOrReorderIt) {
    const std::string name = "caf\xe9\u202E\n.mp3";
    write(directory_ / name, "These are my notes, not a song.\n");
    for (const char* present : {"present", "missing"}) {
        SCOPED_TRACE(present);
        const bool exists = std::string_view(present) == "present";
        const auto file = exists ? directory_ / name : directory_ / ("gone " + name);
        try {
            AudioFileDecoder decoder(file);
            FAIL() << "opened";
        } catch (const NorvoAudioError& error) {
            EXPECT_EQ(std::string(error.what()),
                      exists ? "Unsupported audio format: caf\\xE9\\u202E\\x0A.mp3 cannot be read as audio"
                             : "gone caf\\xE9\\u202E\\x0A.mp3 cannot be found.");
        }
    }
}

TEST_F(DecoderErrorTest, ContainersOutsideTheSupportedSetAreRefused) {
    const auto path = directory_ / "song.ogg";
    test::generateTone(path, 0.5, 440, 440, 44100, 2, {"-c:a", "libvorbis"});
    EXPECT_THROW(AudioFileDecoder decoder(path), NorvoAudioError);
}

TEST_F(DecoderErrorTest, ATruncatedFileDecodesWhatItHolds) {
    for (const char* extension : {".wav", ".flac", ".mp3"}) {
        SCOPED_TRACE(extension);
        const auto path = directory_ / (std::string("cut") + extension);
        test::generateTone(path, 2.0, 440, 660);
        AudioFileDecoder whole(path);
        const StereoSamples complete = decodeAll(whole);
        test::truncateFile(path, std::filesystem::file_size(path) / 2);

        AudioFileDecoder decoder(path);
        const StereoSamples decoded = decodeAll(decoder);
        EXPECT_GT(decoded.frames(), 30000u);
        EXPECT_LT(decoded.frames(), 60000u);
        if (std::string(extension) != ".mp3") {
            EXPECT_EQ(test::maximumDifference(decoded.left, std::span(complete.left).first(decoded.frames())), 0.0f);
        }
    }
}

TEST_F(DecoderErrorTest, AnM4AWithoutItsIndexIsRefusedWithASentence) {
    const auto path = directory_ / "cut.m4a";
    test::generateTone(path, 2.0, 440, 660);
    // The muxer writes the index last; cutting the file loses it.
    test::truncateFile(path, std::filesystem::file_size(path) / 2);
    try {
        AudioFileDecoder decoder(path);
        FAIL() << "opened";
    } catch (const NorvoAudioError& error) {
        EXPECT_TRUE(std::string(error.what()).starts_with("Unsupported audio format: cut.m4a cannot be read as audio"))
            << error.what();
    }
}

TEST_F(DecoderErrorTest, DurationsCanBeProbedFromManyThreadsAtOnce) {
    const auto path = directory_ / "probe.mp3";
    test::generateTone(path, 1.0, 440, 660);
    std::vector<std::future<std::optional<int64_t>>> probes;
    for (int i = 0; i < 8; ++i)
        probes.push_back(std::async(std::launch::async, [&] { return AudioFileDecoder::probeDuration(path); }));
    for (auto& probe : probes) EXPECT_EQ(probe.get(), std::optional<int64_t>(44100));
}

}  // namespace
}  // namespace norvo
