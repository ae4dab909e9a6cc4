#include "SoakRecording.hpp"

#include <algorithm>
#include <chrono>

namespace norvo::soak {

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

namespace {

// Wraps the real decoder: keeps the bytes it is fed and the frames it makes, and hands the
// frames on to the stream (through the fault, if one is asked for).
class RecordingDecoder final : public RadioStream::Decoder, private RadioStreamDecoder::Client {
public:
    RecordingDecoder(RadioStreamDecoder::Hint hint, RadioStreamDecoder::Client& client, Recording& recording)
        : client_(client), recording_(recording), decoder_(hint, *this) {
        std::lock_guard lock(recording_.lock);
        recording_.connections.push_back(std::make_unique<Connection>());
        connection_ = recording_.connections.back().get();
        faulty_ = recording_.connections.size() > 1 && recording_.fault != Fault::none;
    }

    void feed(const uint8_t* bytes, std::size_t count) override {
        {
            const double t = now();
            std::lock_guard lock(recording_.lock);
            if (connection_->firstByte < 0) connection_->firstByte = t;
            connection_->lastByte = t;
            connection_->bytes.append(reinterpret_cast<const char*>(bytes), count);
            connection_->arrivals.emplace_back(t, connection_->bytes.size());
        }
        decoder_.feed(bytes, count);
    }

private:
    void decoderReady(const RadioStreamDecoder::Format& format) override { client_.decoderReady(format); }
    void decoderFailed(const std::string& message) override { client_.decoderFailed(message); }
    void decodedFrames(const float* left, const float* right, int frames) override {
        double firstByte = 0;
        {
            std::lock_guard lock(recording_.lock);
            connection_->left.insert(connection_->left.end(), left, left + frames);
            connection_->right.insert(connection_->right.end(), right, right + frames);
            connection_->decoded.emplace_back(now(), connection_->left.size());
            firstByte = connection_->firstByte;
        }
        if (!faulty_ || faultDone_ || now() < firstByte + 2.0) {
            client_.decodedFrames(left, right, frames);
            return;
        }
        if (recording_.fault == Fault::skip) {
            const int64_t dropped = std::min<int64_t>(frames, recording_.faultFrames - faultCount_);
            faultCount_ += dropped;
            faultDone_ = faultCount_ >= recording_.faultFrames;
            if (dropped < frames) client_.decodedFrames(left + dropped, right + dropped, frames - int(dropped));
            return;
        }
        // Repeat: the frames just before these, once more, then these.
        const auto& l = connection_->left;
        const auto& r = connection_->right;
        const std::size_t end = l.size() - std::size_t(frames);
        const std::size_t from = end - std::min<std::size_t>(end, std::size_t(recording_.faultFrames));
        for (std::size_t at = from; at < end; at += RadioStreamDecoder::maximumBatch) {
            const int n = int(std::min<std::size_t>(RadioStreamDecoder::maximumBatch, end - at));
            client_.decodedFrames(l.data() + at, r.data() + at, n);
        }
        faultDone_ = true;
        client_.decodedFrames(left, right, frames);
    }

    RadioStreamDecoder::Client& client_;
    Recording& recording_;
    Connection* connection_ = nullptr;
    bool faulty_ = false;
    bool faultDone_ = false;
    int64_t faultCount_ = 0;
    RadioStreamDecoder decoder_;
};

}  // namespace

RadioStream::DecoderFactory recordingDecoders(Recording& recording) {
    return [&recording](RadioStreamDecoder::Hint hint, RadioStreamDecoder::Client& client) {
        return std::make_unique<RecordingDecoder>(hint, client, recording);
    };
}

}  // namespace norvo::soak
