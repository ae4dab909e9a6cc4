#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace norvo {

// Splits one connection's body into audio bytes and ICY metadata blocks. After every
// `metaInterval` audio bytes comes a length byte L and 16 × L bytes of metadata. The
// phase carries across chunks, so blocks and runs may be split anywhere.
struct IcyDemuxer {
    struct Phase {
        enum class Kind { audio, metadata, length };
        Kind kind = Kind::audio;
        int64_t remaining = 0;  // bytes still due in this phase (unused for `length`)
        bool operator==(const Phase&) const = default;
    };

    int64_t metaInterval = 0;  // 0 or less: the stream carries no metadata
    Phase phase;
    std::vector<uint8_t> block;  // the metadata block being collected

    IcyDemuxer() = default;
    explicit IcyDemuxer(int64_t interval) : metaInterval(interval), phase{Phase::Kind::audio, interval} {
        block.reserve(16 * 255);
    }

    // Calls audio(const uint8_t*, size_t) with each run of audio bytes (pointing into
    // the chunk, not copied) and metadata(const std::vector<uint8_t>&) with each
    // completed block (empty for a length byte of 0), synchronously and in order.
    template <class Audio, class Metadata>
    void feed(const uint8_t* bytes, std::size_t count, Audio&& audio, Metadata&& metadata) {
        if (metaInterval < 1) {
            if (count > 0) audio(bytes, count);
            return;
        }
        std::size_t position = 0;
        while (position < count) {
            const std::size_t left = count - position;
            switch (phase.kind) {
            case Phase::Kind::audio: {
                const std::size_t take =
                    static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(left), phase.remaining));
                audio(bytes + position, take);
                position += take;
                phase.remaining -= static_cast<int64_t>(take);
                if (phase.remaining == 0) phase = {Phase::Kind::length, 0};
                break;
            }
            case Phase::Kind::length: {
                const int length = bytes[position++];
                block.clear();
                if (length > 0) {
                    phase = {Phase::Kind::metadata, 16 * static_cast<int64_t>(length)};
                } else {
                    metadata(static_cast<const std::vector<uint8_t>&>(block));
                    phase = {Phase::Kind::audio, metaInterval};
                }
                break;
            }
            case Phase::Kind::metadata: {
                const std::size_t take =
                    static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(left), phase.remaining));
                block.insert(block.end(), bytes + position, bytes + position + take);
                position += take;
                phase.remaining -= static_cast<int64_t>(take);
                if (phase.remaining == 0) {
                    metadata(static_cast<const std::vector<uint8_t>&>(block));
                    phase = {Phase::Kind::audio, metaInterval};
                }
                break;
            }
            }
        }
    }

    bool operator==(const IcyDemuxer&) const = default;
};

}  // namespace norvo
