// Feeds arbitrary bytes to the radio stream decoder the way a network transfer would:
// the first byte picks the file type hint, the second the size of the pieces.
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "Radio/RadioStreamDecoder.hpp"

namespace {

// Checks the promises the stream receiver relies on; any breach aborts the run.
struct CheckingClient final : norvo::RadioStreamDecoder::Client {
    bool ready = false;
    bool failed = false;

    void decoderReady(const norvo::RadioStreamDecoder::Format& format) override {
        if (ready || failed || format.channels < 1 || format.sampleRate <= 0) __builtin_trap();
        if (format.label != "MP3" && format.label != "MP2" && format.label != "AAC" && format.label != "AAC+")
            __builtin_trap();
        ready = true;
    }
    void decodedFrames(const float* left, const float* right, int frames) override {
        if (!ready || failed || frames < 1 || frames > norvo::RadioStreamDecoder::maximumBatch) __builtin_trap();
        volatile float touch = left[0] + left[frames - 1] + right[0] + right[frames - 1];
        (void)touch;
    }
    void decoderFailed(const std::string& message) override {
        if (failed) __builtin_trap();
        if (message != "Unsupported stream format" && message != "Unreadable stream format" &&
            message != "Cannot decode this stream")
            __builtin_trap();
        failed = true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const auto hint = static_cast<norvo::RadioStreamDecoder::Hint>(data[0] % 3);
    const std::size_t piece = 1 + std::size_t(data[1]) * 64;
    data += 2;
    size -= 2;

    CheckingClient client;
    norvo::RadioStreamDecoder decoder(hint, client);
    for (std::size_t at = 0; at < size; at += piece) {
        const std::size_t count = size - at < piece ? size - at : piece;
        decoder.feed(data + at, count);
        if (decoder.hasFailed() != client.failed) __builtin_trap();
    }
    return 0;
}
