#include "AudioEngine/TapeSideStorage.hpp"

#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <sys/stat.h>
#include <vector>

#include "AudioEngine/NorvoAudioError.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

constexpr int64_t capacity = 1000;

TEST(TapeSideStorage, ReservesTheWholeFileUpFront) {
    test::TemporaryDirectory dir;
    TapeSideStorage storage(dir / "side-a.pcm", 44100);
    struct stat info {};
    ASSERT_EQ(::stat(storage.file().c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 44100 * 4);
    EXPECT_GE(static_cast<int64_t>(info.st_blocks) * 512, 44100 * 4) << "blocks are allocated, not a sparse file";
    EXPECT_EQ(storage.capacity(), 44100);
}

TEST(TapeSideStorage, WritesScaledRoundedAndClampedSamples) {
    test::TemporaryDirectory dir;
    TapeSideStorage storage(dir / "side.pcm", capacity);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> left{0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 1.5f, -1.5f, nan, inf, 1e-5f};
    const std::vector<float> right{1.0f, -1.0f, 0.25f, 0.0f, 2.0f, -2.0f, 0.1f, 0.0f, -inf, -1e-5f};
    ASSERT_EQ(storage.write(10, left.data(), right.data(), 10), 10);

    const std::vector<int16_t> expected{0,     32767,  16384,  -32767, -16384, 8192, 32767, 0,      -32767, 32767,
                                        32767, -32768, -32768, 3277,   0,      0,    32767, -32768, 0,      0};
    const int16_t* raw = storage.frames() + 20;
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(raw[i], expected[i]) << "sample " << i;
}

// Long writes go through the vector path, single frames through the scalar one.
TEST(TapeSideStorage, LongAndSingleFrameWritesStoreTheSameSamples) {
    test::TemporaryDirectory dir;
    TapeSideStorage storage(dir / "side.pcm", capacity);
    std::vector<float> left, right;
    const float specials[] = {0.0f,
                              -0.0f,
                              0.5f,
                              -0.5f,
                              1.0f,
                              -1.0f,
                              1.0001f,
                              -1.0001f,
                              3e9f,
                              -3e9f,
                              std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              2.5f / 32767.0f,
                              1.5f / 32767.0f};
    for (float s : specials) {
        left.push_back(s);
        right.push_back(-s);
    }
    for (int i = 0; i < 200; ++i) {
        left.push_back(std::sin(i * 0.37f) * 1.2f);
        right.push_back(std::cos(i * 0.11f) * 0.9f);
    }
    const auto frames = static_cast<int64_t>(left.size());
    ASSERT_EQ(storage.write(0, left.data(), right.data(), frames), frames);
    for (int64_t i = 0; i < frames; ++i) storage.write(500 + i, &left[i], &right[i], 1);
    for (int64_t i = 0; i < 2 * frames; ++i)
        ASSERT_EQ(storage.frames()[i], storage.frames()[1000 + i]) << "sample " << i;
}

TEST(TapeSideStorage, ReadsSamplesOver32768AndSilenceOutsideTheSide) {
    test::TemporaryDirectory dir;
    TapeSideStorage storage(dir / "side.pcm", capacity);
    int16_t* raw = storage.frames();
    raw[0] = 16384;
    raw[1] = -32768;
    raw[2 * (capacity - 1)] = 32767;
    raw[2 * (capacity - 1) + 1] = -1;

    std::vector<float> left(4, 9.0f), right(4, 9.0f);
    storage.read(-1, left.data(), right.data(), 4);
    EXPECT_EQ(left, (std::vector<float>{0.0f, 0.5f, 0.0f, 0.0f}));
    EXPECT_EQ(right, (std::vector<float>{0.0f, -1.0f, 0.0f, 0.0f}));

    std::fill(left.begin(), left.end(), 9.0f);
    std::fill(right.begin(), right.end(), 9.0f);
    storage.read(capacity - 1, left.data(), right.data(), 4);
    EXPECT_EQ(left, (std::vector<float>{32767.0f / 32768.0f, 0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(right, (std::vector<float>{-1.0f / 32768.0f, 0.0f, 0.0f, 0.0f}));

    std::fill(left.begin(), left.end(), 9.0f);
    storage.read(capacity + 50, left.data(), right.data(), 4);
    EXPECT_EQ(left, std::vector<float>(4, 0.0f));
}

TEST(TapeSideStorage, DropsFramesPastTheCapacity) {
    test::TemporaryDirectory dir;
    TapeSideStorage storage(dir / "side.pcm", capacity);
    const std::vector<float> ones(8, 1.0f);
    EXPECT_EQ(storage.write(capacity - 3, ones.data(), ones.data(), 8), 3);
    EXPECT_EQ(storage.write(capacity, ones.data(), ones.data(), 8), 0);
    EXPECT_EQ(storage.write(-1, ones.data(), ones.data(), 8), 0);
    EXPECT_EQ(storage.frames()[2 * (capacity - 1)], 32767);
}

TEST(TapeSideStorage, WrittenAudioSurvivesReopeningTheFile) {
    test::TemporaryDirectory dir;
    const float left[] = {0.25f, -0.75f};
    const float right[] = {-0.25f, 0.75f};
    {
        TapeSideStorage storage(dir / "side.pcm", capacity);
        storage.write(500, left, right, 2);
    }
    TapeSideStorage again(dir / "side.pcm", capacity);
    float l[2], r[2];
    again.read(500, l, r, 2);
    EXPECT_NEAR(l[0], 0.25f, 1e-4);
    EXPECT_NEAR(l[1], -0.75f, 1e-4);
    EXPECT_NEAR(r[0], -0.25f, 1e-4);
    EXPECT_NEAR(r[1], 0.75f, 1e-4);
}

TEST(TapeSideStorage, ReusedLargerFileIsCutToTheCapacity) {
    test::TemporaryDirectory dir;
    { std::ofstream(dir / "side.pcm") << std::string(capacity * 4 + 4096, 'x'); }
    TapeSideStorage storage(dir / "side.pcm", capacity);
    EXPECT_EQ(std::filesystem::file_size(dir / "side.pcm"), static_cast<uintmax_t>(capacity * 4));
}

TEST(TapeSideStorage, AdviceOutsideTheSideLeavesTheAudioAlone) {
    test::TemporaryDirectory dir;
    TapeSideStorage storage(dir / "side.pcm", capacity);
    const float value = 0.5f;
    storage.write(capacity - 1, &value, &value, 1);
    storage.advise(-5000, 10);
    storage.advise(capacity - 1, std::numeric_limits<int64_t>::max());
    storage.advise(capacity + 10, 100);
    storage.advise(10, 0);
    EXPECT_EQ(storage.frames()[2 * (capacity - 1)], 16384);
}

TEST(TapeSideStorage, UncreatableFileIsAStorageError) {
    test::TemporaryDirectory dir;
    try {
        TapeSideStorage storage(dir / "missing" / "side-a.pcm", capacity);
        FAIL() << "created a side file in a folder that does not exist";
    } catch (const NorvoAudioError& error) {
        EXPECT_EQ(error.kind(), NorvoAudioError::Kind::storage);
        EXPECT_EQ(std::string(error.what()).rfind("Tape storage error: ", 0), 0u);
    }
}

}  // namespace
}  // namespace norvo
