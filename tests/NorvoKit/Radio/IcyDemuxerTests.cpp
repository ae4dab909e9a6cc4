#include "Radio/IcyDemuxer.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Radio/IcyMetadata.hpp"
#include "Support/LoopbackHttpServer.hpp"

namespace norvo {
namespace {

using test::LoopbackHttpServer;

struct Split {
    std::string audio;
    std::vector<std::string> blocks;
    std::vector<std::optional<std::string>> titles;  // of the non-empty blocks
};

// Feeds `wire` to a demuxer in chunks ending at the given offsets (plus the end).
Split demux(const std::string& wire, int64_t interval, const std::vector<std::size_t>& cuts) {
    IcyDemuxer demuxer(interval);
    Split split;
    std::size_t start = 0;
    auto feedTo = [&](std::size_t end) {
        demuxer.feed(
            reinterpret_cast<const uint8_t*>(wire.data()) + start, end - start,
            [&](const uint8_t* bytes, std::size_t count) {
                split.audio.append(reinterpret_cast<const char*>(bytes), count);
            },
            [&](const std::vector<uint8_t>& block) {
                split.blocks.emplace_back(block.begin(), block.end());
                if (!block.empty()) split.titles.push_back(IcyMetadata::title(block.data(), block.size()));
            });
        start = end;
    };
    for (std::size_t cut : cuts) feedTo(cut);
    feedTo(wire.size());
    return split;
}

std::string randomBytes(std::size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
    return bytes;
}

std::vector<std::string> titleBlocks(std::size_t count) {
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < count; ++i) {
        // Every third block is empty (length byte 0); the lengths of the others vary.
        texts.push_back(i % 3 == 2 ? "" : "StreamTitle='Song " + std::to_string(i) + std::string(i % 40, '~') + "';");
    }
    return texts;
}

TEST(IcyDemuxer, WithoutIntervalEverythingIsAudio) {
    const std::string wire = "\x00\x01StreamTitle='x';" + std::string(100, 'a');
    const Split split = demux(wire, 0, {1, 7});
    EXPECT_EQ(split.audio, wire);
    EXPECT_TRUE(split.blocks.empty());
    EXPECT_EQ(demux(wire, -5, {}).audio, wire);
}

TEST(IcyDemuxer, BlockSplitAcrossChunksArrivesOnce) {
    const std::string audio = randomBytes(32000, 1);
    const std::string wire = LoopbackHttpServer::icyInterleave(audio, 16000, {"StreamTitle='One';"});
    // Cut inside the first metadata block (which starts at 16001).
    const Split split = demux(wire, 16000, {16005});
    ASSERT_EQ(split.blocks.size(), 2u);
    EXPECT_EQ(split.titles, (std::vector<std::optional<std::string>>{"One"}));
    EXPECT_EQ(split.audio, audio);
}

TEST(IcyDemuxer, ChunkEndingAfterTheAudioRunReadsTheNextByteAsLength) {
    const std::string audio(20, 'a');
    const std::string wire = audio.substr(0, 10) + LoopbackHttpServer::icyBlock("StreamTitle='Ab';") + audio.substr(10);
    IcyDemuxer demuxer(10);
    std::string heard;
    int blocks = 0;
    auto onAudio = [&](const uint8_t* bytes, std::size_t count) {
        heard.append(reinterpret_cast<const char*>(bytes), count);
    };
    auto onBlock = [&](const std::vector<uint8_t>&) { ++blocks; };
    demuxer.feed(reinterpret_cast<const uint8_t*>(wire.data()), 10, onAudio, onBlock);
    EXPECT_EQ(demuxer.phase, (IcyDemuxer::Phase{IcyDemuxer::Phase::Kind::length, 0}));
    demuxer.feed(reinterpret_cast<const uint8_t*>(wire.data()) + 10, wire.size() - 10, onAudio, onBlock);
    EXPECT_EQ(blocks, 1);
    EXPECT_EQ(heard, audio);
}

TEST(IcyDemuxer, LengthByteTwoTakesThirtyTwoBytes) {
    std::string block = std::string(1, '\x02') + "StreamTitle='Thirty-two bytes!';";
    ASSERT_EQ(block.size(), 33u);
    const std::string wire = std::string(8, 'a') + block + std::string(8, 'b') + std::string(1, '\0') + "c";
    const Split split = demux(wire, 8, {});
    EXPECT_EQ(split.audio, std::string(8, 'a') + std::string(8, 'b') + "c");
    ASSERT_EQ(split.blocks.size(), 2u);
    EXPECT_EQ(split.blocks[0].size(), 32u);
    EXPECT_TRUE(split.blocks[1].empty());
    EXPECT_EQ(split.titles, (std::vector<std::optional<std::string>>{"Thirty-two bytes!"}));
}

TEST(IcyDemuxer, EverySplitPositionGivesTheSameResult) {
    const int64_t interval = 300;
    const std::string audio = randomBytes(1500, 2);
    const std::string wire = LoopbackHttpServer::icyInterleave(audio, interval, titleBlocks(5));
    const Split whole = demux(wire, interval, {});
    ASSERT_EQ(whole.audio, audio);
    ASSERT_EQ(whole.titles.size(), 4u);
    for (std::size_t first = 0; first <= wire.size(); ++first) {
        for (std::size_t second = first; second <= std::min(wire.size(), first + 40); ++second) {
            const Split split = demux(wire, interval, {first, second});
            ASSERT_EQ(split.audio, whole.audio) << first << "/" << second;
            ASSERT_EQ(split.blocks, whole.blocks) << first << "/" << second;
        }
    }
}

TEST(IcyDemuxer, TenMegabyteStreamInRandomChunksMatchesTheUnsplitOne) {
    const int64_t interval = 16000;
    const std::string audio = randomBytes(10'000'000, 3);
    const std::string wire = LoopbackHttpServer::icyInterleave(audio, interval, titleBlocks(audio.size() / interval));
    const Split whole = demux(wire, interval, {});
    ASSERT_EQ(whole.audio, audio);
    ASSERT_GT(whole.titles.size(), 400u);

    std::mt19937 random(4);
    // Chunk sizes from 1 byte to just over one interval, so that cuts land at every
    // kind of position: inside audio runs, on length bytes, inside blocks.
    std::uniform_int_distribution<std::size_t> size(1, 17000);
    std::vector<std::size_t> cuts;
    for (std::size_t at = size(random); at < wire.size(); at += size(random)) cuts.push_back(at);
    const Split chunked = demux(wire, interval, cuts);
    EXPECT_EQ(chunked.audio, whole.audio);
    EXPECT_EQ(chunked.titles, whole.titles);
    EXPECT_EQ(chunked.blocks, whole.blocks);

    // And a cut at every byte position around each of the first blocks: the last audio
    // bytes before it, its length byte, its text and the first audio bytes after it.
    const std::vector<std::string> texts = titleBlocks(3);
    const std::string prefix = LoopbackHttpServer::icyInterleave(audio.substr(0, 3 * interval + 100), interval, texts);
    const Split prefixWhole = demux(prefix, interval, {});
    std::size_t blockStart = static_cast<std::size_t>(interval);
    for (int block = 0; block < 3; ++block) {
        const std::size_t blockEnd = blockStart + 1 + 16 * static_cast<uint8_t>(prefix[blockStart]);
        for (std::size_t cut = blockStart - 3; cut <= blockEnd + 3; ++cut) {
            const Split split = demux(prefix, interval, {cut});
            ASSERT_EQ(split.titles, prefixWhole.titles) << cut;
            ASSERT_EQ(split.audio, prefixWhole.audio) << cut;
        }
        blockStart = blockEnd + static_cast<std::size_t>(interval);
    }
}

}  // namespace
}  // namespace norvo
