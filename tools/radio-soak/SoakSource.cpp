#include "SoakSource.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "Radio/RadioStreamDecoder.hpp"

namespace norvo::soak {

namespace {

// Frame boundaries of an MP3 (MPEG audio layer III) or ADTS stream without tags.
void parseFrames(Source& source) {
    static constexpr int mpeg1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static constexpr int mpeg2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    static constexpr int mpegRates[] = {44100, 48000, 32000, 0};
    static constexpr int adtsRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050,
                                        16000, 12000, 11025, 8000,  7350,  0,     0,     0};
    const auto* p = reinterpret_cast<const uint8_t*>(source.bytes.data());
    const std::size_t size = source.bytes.size();
    int64_t sample = 0;
    for (std::size_t at = 0; at + 7 <= size;) {
        const uint8_t* h = p + at;
        if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) throw std::runtime_error("no frame at byte " + std::to_string(at));
        std::size_t length = 0;
        int frameRate = 0, samples = 0;
        if ((h[1] & 0xF6) == 0xF0) {  // ADTS
            source.adts = true;
            frameRate = adtsRates[(h[2] >> 2) & 0xF];
            length = (std::size_t(h[3] & 3) << 11) | (std::size_t(h[4]) << 3) | (h[5] >> 5);
            samples = 1024 * ((h[6] & 3) + 1);
        } else {
            const bool v1 = (h[1] & 0x18) == 0x18;
            const int base = mpegRates[(h[2] >> 2) & 3];
            frameRate = v1 ? base : ((h[1] & 0x18) == 0x10 ? base / 2 : base / 4);
            const int kbps = (v1 ? mpeg1 : mpeg2)[h[2] >> 4];
            samples = v1 ? 1152 : 576;
            length = std::size_t(samples / 8 * 1000 * kbps / std::max(1, frameRate) + ((h[2] >> 1) & 1));
        }
        if (length < 7 || frameRate == 0) throw std::runtime_error("bad frame at byte " + std::to_string(at));
        source.sampleRate = frameRate;
        source.samplesPerFrame = samples;
        source.frames.push_back({at, sample});
        sample += samples;
        at += length;
    }
}

void decodeSource(Source& source) {
    struct Collector final : RadioStreamDecoder::Client {
        Source* source = nullptr;
        void decoderReady(const RadioStreamDecoder::Format&) override {}
        void decodedFrames(const float* l, const float* r, int n) override {
            source->left.insert(source->left.end(), l, l + n);
            source->right.insert(source->right.end(), r, r + n);
        }
        void decoderFailed(const std::string& message) override {
            throw std::runtime_error("the source does not decode: " + message);
        }
    } collector;
    collector.source = &source;
    RadioStreamDecoder decoder(source.adts ? RadioStreamDecoder::Hint::adts : RadioStreamDecoder::Hint::mpegLayer3,
                               collector);
    decoder.feed(reinterpret_cast<const uint8_t*>(source.bytes.data()), source.bytes.size());
}

}  // namespace

Source readSource(const std::filesystem::path& path) {
    Source source;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    source.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    parseFrames(source);
    decodeSource(source);
    return source;
}

std::vector<std::size_t> findAll(const std::string& source, const std::string& bytes) {
    std::vector<std::size_t> places;
    if (bytes.empty()) return places;
    const std::size_t probe = std::min<std::size_t>(bytes.size(), 4096);
    for (std::size_t at = source.find(bytes.data(), 0, probe); at != std::string::npos;
         at = source.find(bytes.data(), at + 1, probe))
        if (source.compare(at, bytes.size(), bytes) == 0) places.push_back(at);
    return places;
}

std::size_t frameEnd(const Source& source, int64_t sample) {
    const auto next = std::upper_bound(source.frames.begin(), source.frames.end(), sample,
                                       [](int64_t s, const CodecFrame& f) { return s < f.firstSample; });
    return next == source.frames.end() ? source.bytes.size() : next->offset;
}

std::size_t liveOffset(const Source& source, double seconds) {
    return frameEnd(source, static_cast<int64_t>(std::floor(seconds * source.sampleRate)));
}

// Places a connection's decoded frames on the reference: where its first whole codec frame
// puts them, or a whole codec frame either side (a decoder may let a frame it cannot use
// go), each give or take a few frames of rounding, where they differ least. Only whole
// codec frames: a tone resampled from another rate looks alike a period away, and may
// even look more alike there. Of places nearly as good, the nearest wins.
void align(Connection& c, const Source& source) {
    if (!c.sourceOffset) return;
    const auto frame = std::lower_bound(source.frames.begin(), source.frames.end(), *c.sourceOffset,
                                        [](const CodecFrame& f, std::size_t at) { return f.offset < at; });
    if (frame == source.frames.end()) return;
    const int64_t predicted = std::llround(double(frame->firstSample) * rate / source.sampleRate);
    const double codecFrame = double(source.samplesPerFrame) * rate / source.sampleRate;
    // Past what a decoder joining mid-stream garbles: an MP3 frame may draw on up to 511
    // bytes of the frames before it (many frames at a low bitrate), and frames overlap.
    auto clean = frame;
    while (!source.adts && clean != source.frames.end() && clean->offset < frame->offset + 512) ++clean;
    const auto skip = int64_t(std::ceil(double(clean - frame + 3) * codecFrame));
    const int64_t window = std::min<int64_t>(8192, int64_t(c.left.size()) - skip);
    if (window < 1024) return;
    constexpr int64_t rounding = 8;
    std::vector<int64_t> shifts;
    for (int whole = -1; whole <= 1; ++whole)
        for (int64_t off = -rounding; off <= rounding; ++off) shifts.push_back(std::llround(whole * codecFrame) + off);
    std::vector<std::pair<int64_t, double>> errors;
    for (const int64_t shift : shifts) {
        const int64_t base = predicted + shift + skip;
        if (base < 0 || base + window > int64_t(source.left.size())) continue;
        double difference = 0, energy = 1e-9;
        for (int64_t i = 0; i < window; ++i) {
            const double dl = c.left[std::size_t(skip + i)] - source.left[std::size_t(base + i)];
            const double dr = c.right[std::size_t(skip + i)] - source.right[std::size_t(base + i)];
            difference += dl * dl + dr * dr;
            energy += double(source.left[std::size_t(base + i)]) * source.left[std::size_t(base + i)] +
                      double(source.right[std::size_t(base + i)]) * source.right[std::size_t(base + i)];
        }
        errors.emplace_back(shift, difference / energy);
    }
    if (errors.empty()) return;
    const double least =
        std::min_element(errors.begin(), errors.end(), [](auto& a, auto& b) { return a.second < b.second; })->second;
    std::optional<std::pair<int64_t, double>> chosen;
    for (const auto& e : errors)
        if (e.second <= least * 1.5 + 1e-7 && (!chosen || std::abs(e.first) < std::abs(chosen->first))) chosen = e;
    c.position = predicted + chosen->first;
    c.alignShift = chosen->first;
    c.alignError = chosen->second;
}

}  // namespace norvo::soak
