// Feeds arbitrary bytes through the ICY demuxer in arbitrary chunks and reads every
// metadata block as a title. Checks that every byte is accounted for exactly once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Radio/IcyDemuxer.hpp"
#include "Radio/IcyMetadata.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    // First two bytes: the interval (0 means no metadata); third: the chunk size seed.
    const int64_t interval = (data[0] << 8 | data[1]) % 20000;
    const std::size_t chunkSeed = data[2];
    data += 3;
    size -= 3;

    norvo::IcyDemuxer demuxer(interval);
    std::size_t audioBytes = 0, metadataBytes = 0, lengthBytes = 0;
    auto onAudio = [&](const uint8_t*, std::size_t count) { audioBytes += count; };
    auto onBlock = [&](const std::vector<uint8_t>& block) {
        if (block.size() > 16 * 255 || block.size() % 16 != 0) std::abort();
        metadataBytes += block.size();
        ++lengthBytes;
        if (!block.empty()) (void)norvo::IcyMetadata::title(block.data(), block.size());
    };
    std::size_t position = 0, round = 0;
    while (position < size) {
        const std::size_t chunk = std::min(size - position, 1 + (chunkSeed * 31 + round * 17) % 5000);
        demuxer.feed(data + position, chunk, onAudio, onBlock);
        position += chunk;
        ++round;
    }
    std::size_t accounted = audioBytes + metadataBytes + lengthBytes;
    // An unfinished block: its length byte and what it has collected so far.
    if (demuxer.phase.kind == norvo::IcyDemuxer::Phase::Kind::metadata) accounted += 1 + demuxer.block.size();
    if (accounted != size) std::abort();
    return 0;
}
