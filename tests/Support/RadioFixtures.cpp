#include "Support/RadioFixtures.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "Support/AudioFixtures.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo::test {

std::vector<std::string> RadioCodec::mp3Cbr(int kbps) {
    return {"-c:a", "libmp3lame", "-b:a", std::to_string(kbps) + "k", "-f", "mp3"};
}

std::vector<std::string> RadioCodec::mp3Vbr() { return {"-c:a", "libmp3lame", "-q:a", "4", "-f", "mp3"}; }

std::vector<std::string> RadioCodec::mp2(int kbps) {
    return {"-c:a", "mp2", "-b:a", std::to_string(kbps) + "k", "-f", "mp2"};
}

std::vector<std::string> RadioCodec::aacAdts(int kbps) {
    return {"-c:a", "aac", "-b:a", std::to_string(kbps) + "k", "-f", "adts"};
}

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string encodedTone(const std::string& extension, const std::vector<std::string>& codecArgs, double seconds,
                        int sampleRate, int channels, double left, double right) {
    TemporaryDirectory scratch;
    const std::filesystem::path file = scratch / ("tone." + extension);
    generateTone(file, seconds, left, right, sampleRate, channels, codecArgs);
    return readBytes(file);
}

std::filesystem::path committedFixture(const std::string& name) {
    return std::filesystem::path(NORVO_TEST_FIXTURES_DIR) / name;
}

std::string randomBytes(std::size_t count, uint32_t seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

StereoSamples decodedStation(const std::string& bytes, RadioStreamDecoder::Hint hint) {
    struct Collector final : RadioStreamDecoder::Client {
        StereoSamples samples;
        void decoderReady(const RadioStreamDecoder::Format&) override {}
        void decodedFrames(const float* l, const float* r, int n) override {
            samples.left.insert(samples.left.end(), l, l + n);
            samples.right.insert(samples.right.end(), r, r + n);
        }
        void decoderFailed(const std::string&) override {}
    } collector;
    RadioStreamDecoder decoder(hint, collector);
    decoder.feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return collector.samples;
}

std::vector<std::size_t> codecFrameEnds(const std::string& bytes) {
    static constexpr int kbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static constexpr int rates[] = {44100, 48000, 32000, 0};
    // MPEG-2 layer III, at half the rates, with half as long frames.
    static constexpr int kbps2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    std::vector<std::size_t> ends;
    for (std::size_t at = 0; at + 7 <= bytes.size();) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + at);
        if (p[0] != 0xFF || (p[1] & 0xF0) != 0xF0) break;
        const bool adts = (p[1] & 0x06) == 0;
        const bool mpeg1 = (p[1] & 0x08) != 0;
        const int rate = rates[(p[2] >> 2) & 3] / (mpeg1 ? 1 : 2);
        const std::size_t length = adts ? (std::size_t(p[3] & 3) << 11) | (std::size_t(p[4]) << 3) | (p[5] >> 5)
                                   : mpeg1
                                       ? std::size_t(144000 * kbps[p[2] >> 4] / std::max(1, rate) + ((p[2] >> 1) & 1))
                                       : std::size_t(72000 * kbps2[p[2] >> 4] / std::max(1, rate) + ((p[2] >> 1) & 1));
        if (length == 0) break;
        at = std::min(bytes.size(), at + length);
        ends.push_back(at);
    }
    return ends;
}

RadioStream::DecoderFactory countingDecoders(std::shared_ptr<std::atomic<uint64_t>> fed) {
    class Counting final : public RadioStream::Decoder {
    public:
        Counting(RadioStreamDecoder::Hint hint, RadioStreamDecoder::Client& client,
                 std::shared_ptr<std::atomic<uint64_t>> fed)
            : decoder_(hint, client), fed_(std::move(fed)) {}
        void feed(const uint8_t* bytes, std::size_t count) override {
            decoder_.feed(bytes, count);
            *fed_ += count;
        }

    private:
        RadioStreamDecoder decoder_;
        std::shared_ptr<std::atomic<uint64_t>> fed_;
    };
    return [fed](RadioStreamDecoder::Hint hint, RadioStreamDecoder::Client& client) {
        return std::make_unique<Counting>(hint, client, fed);
    };
}

}  // namespace norvo::test
