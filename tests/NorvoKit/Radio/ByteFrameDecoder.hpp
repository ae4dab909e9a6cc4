#pragma once
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Radio/RadioStream.hpp"

namespace norvo::test {

// Stands in for the codec in receiver tests: every audio byte becomes one frame whose
// left sample is byte / 255 and right sample its negation, so byte offsets map to
// frame positions exactly. Bytes starting with "<html" fail as a codec would, with the
// log's failure text.
class ByteFrameDecoder final : public RadioStream::Decoder {
public:
    struct Log {
        std::vector<RadioStreamDecoder::Hint> hints;
        std::string failure = "Unsupported stream format";
        std::size_t fed = 0;  // audio bytes, on the loop thread
    };

    ByteFrameDecoder(RadioStreamDecoder::Client& client, std::shared_ptr<Log> log)
        : client_(client), log_(std::move(log)) {}

    static RadioStream::DecoderFactory factory(std::shared_ptr<Log> log = std::make_shared<Log>()) {
        return [log](RadioStreamDecoder::Hint hint, RadioStreamDecoder::Client& client) {
            log->hints.push_back(hint);
            return std::make_unique<ByteFrameDecoder>(client, log);
        };
    }

    void feed(const uint8_t* bytes, std::size_t count) override {
        if (failed_) return;
        log_->fed += count;
        if (!ready_) {
            if (std::string_view(reinterpret_cast<const char*>(bytes), std::min<std::size_t>(count, 5)) == "<html") {
                failed_ = true;
                client_.decoderFailed(log_->failure);
                return;
            }
            ready_ = true;
            client_.decoderReady({"MP3", 2, 48000});
        }
        while (count > 0) {
            const std::size_t batch = std::min<std::size_t>(count, RadioStreamDecoder::maximumBatch);
            for (std::size_t i = 0; i < batch; ++i) {
                left_[i] = static_cast<float>(bytes[i]) / 255.0f;
                right_[i] = -left_[i];
            }
            client_.decodedFrames(left_.data(), right_.data(), static_cast<int>(batch));
            if (failed_) return;
            bytes += batch;
            count -= batch;
        }
    }

private:
    RadioStreamDecoder::Client& client_;
    std::shared_ptr<Log> log_;
    bool ready_ = false;
    bool failed_ = false;
    std::vector<float> left_ = std::vector<float>(RadioStreamDecoder::maximumBatch);
    std::vector<float> right_ = std::vector<float>(RadioStreamDecoder::maximumBatch);
};

}  // namespace norvo::test
