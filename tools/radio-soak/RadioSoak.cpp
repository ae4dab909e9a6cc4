// Plays a station through a RadioStream as a sound card would, records what each connection
// delivered, and then tells for every reconnection what was heard twice, what was lost beyond
// what no connection carried, how far behind live the listener moved and how long the stream
// took to say "streaming" again (scripts/soak-radio runs it against a real server).
//
//   norvo-radio-soak --url URL --source FILE --seconds N [--label TEXT] [--out DIR]
//                    [--on-air T] [--fault skip|repeat] [--fault-ms MS]
//
// FILE holds exactly the bytes the server was fed (MP3 or AAC in ADTS), in real time from
// T on the steady clock (seconds). A fault makes the
// tool itself drop or repeat a piece of every connection after the first, two seconds into
// it, so that a run can show the comparison finds what it looks for.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Radio/RadioStream.hpp"
#include "Radio/RadioStreamDecoder.hpp"

namespace {

using norvo::RadioStream;
using norvo::RadioStreamDecoder;

constexpr double rate = RadioStream::frameRate;
constexpr int pull = 512;  // frames per render, as a sound card asks

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

enum class Fault { none, skip, repeat };

struct Connection {
    double firstByte = -1;
    double lastByte = -1;
    std::string bytes;
    std::vector<std::pair<double, std::size_t>> arrivals;  // (time, bytes so far)
    std::vector<float> left, right;                        // the decoder's own output
    std::vector<std::pair<double, std::size_t>> decoded;   // (time, frames so far)
    // Found afterwards.
    std::optional<std::size_t> sourceOffset;
    std::optional<int64_t> position;  // reference frame of its first decoded frame
    double alignError = 0;
    int64_t alignShift = 0;  // frames off the position its bytes predict
    double lag = 0;          // s its last byte came after that byte went on the air
};

struct Recording {
    std::mutex lock;
    std::vector<std::unique_ptr<Connection>> connections;
    Fault fault = Fault::none;
    int64_t faultFrames = 0;
};

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

// --- the source --------------------------------------------------------------------------

struct CodecFrame {
    std::size_t offset;
    int64_t firstSample;  // at the stream's own rate
};

struct Source {
    std::string bytes;
    std::vector<CodecFrame> frames;
    int sampleRate = 0;
    int samplesPerFrame = 0;
    bool adts = false;
    std::vector<float> left, right;  // decoded by the receiver's decoder, at 44.1 kHz
};

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

// Where a connection's bytes lie in the source. A tone or a loop may encode to the same
// bytes every few seconds, so of the places they match whole the one whose end lies nearest
// `end` (where the source was live when the last of them came) wins.
std::optional<std::size_t> locate(const std::string& source, const std::string& bytes, double end) {
    if (bytes.empty()) return std::nullopt;
    const std::size_t probe = std::min<std::size_t>(bytes.size(), 4096);
    std::optional<std::size_t> best;
    const auto distance = [&](std::size_t at) { return std::fabs(double(at + bytes.size()) - end); };
    for (std::size_t at = source.find(bytes.data(), 0, probe); at != std::string::npos;
         at = source.find(bytes.data(), at + 1, probe)) {
        if (source.compare(at, bytes.size(), bytes) != 0) continue;
        if (!best || distance(at) < distance(*best)) best = at;
    }
    return best;
}

// Places a connection's decoded frames on the reference: where its first whole codec frame
// puts them, moved by at most a codec frame and a half to where they differ least (a
// decoder may let a frame it cannot use go). Of places nearly as good, the nearest wins:
// a tone or a loop looks alike a period away.
void align(Connection& c, const Source& source) {
    if (!c.sourceOffset) return;
    const auto frame = std::lower_bound(source.frames.begin(), source.frames.end(), *c.sourceOffset,
                                        [](const CodecFrame& f, std::size_t at) { return f.offset < at; });
    if (frame == source.frames.end()) return;
    const int64_t predicted = std::llround(double(frame->firstSample) * rate / source.sampleRate);
    const int64_t skip = 3 * source.samplesPerFrame;  // past what a decoder joining mid-stream garbles
    const int64_t window = std::min<int64_t>(8192, int64_t(c.left.size()) - skip);
    if (window < 1024) return;
    const int64_t reach = 3 * source.samplesPerFrame / 2;
    std::vector<std::pair<int64_t, double>> errors;
    for (int64_t shift = -reach; shift <= reach; ++shift) {
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

// --- what was heard ------------------------------------------------------------------------

struct Heard {
    std::vector<float> left, right;
    std::vector<uint8_t> delivered;  // per frame: the stream gave it (else the card played silence)
    std::vector<double> pulled;      // per render: when
    double at(int64_t o) const { return pulled[std::size_t(o / pull)]; }
};

// When a connection's decoder made frame j.
double madeAt(const Connection& c, int64_t j) {
    const auto it = std::upper_bound(c.decoded.begin(), c.decoded.end(), std::size_t(j),
                                     [](std::size_t x, const auto& d) { return x < d.second; });
    return it == c.decoded.end() ? 1e300 : it->first;
}

struct Stretch {  // consecutive heard frames that follow one connection's frames one by one
    int connection;
    int64_t firstOutput, lastOutput;
    int64_t firstFrame;  // in the connection's decoded frames
};

bool same(const Heard& h, int64_t o, const Connection& c, int64_t j) {
    return j >= 0 && j < int64_t(c.left.size()) && h.delivered[std::size_t(o)] &&
           std::memcmp(&h.left[std::size_t(o)], &c.left[std::size_t(j)], sizeof(float)) == 0 &&
           std::memcmp(&h.right[std::size_t(o)], &c.right[std::size_t(j)], sizeof(float)) == 0;
}

constexpr int keyFrames = 8;
uint64_t key(const float* left, const float* right) {
    uint64_t hash = 1469598103934665603ull;
    for (int i = 0; i < keyFrames; ++i) {
        uint32_t a, b;
        std::memcpy(&a, left + i, 4);
        std::memcpy(&b, right + i, 4);
        hash = (hash ^ a) * 1099511628211ull;
        hash = (hash ^ b) * 1099511628211ull;
    }
    return hash;
}

// Finds, for every heard frame, the connection frame it is a copy of: the stream passes the
// decoders' frames on bit for bit, but at a cut (a short crossfade) and in silence.
std::vector<Stretch> identify(const Heard& heard, const std::vector<std::unique_ptr<Connection>>& connections) {
    std::vector<std::pair<uint64_t, uint64_t>> index;  // (key, connection << 32 | frame)
    for (std::size_t c = 0; c < connections.size(); ++c) {
        const auto& l = connections[c]->left;
        const auto& r = connections[c]->right;
        for (std::size_t j = 0; j + keyFrames <= l.size(); j += keyFrames) {
            if (std::all_of(l.begin() + long(j), l.begin() + long(j + keyFrames), [](float x) { return x == 0; }))
                continue;
            index.emplace_back(key(&l[j], &r[j]), (uint64_t(c) << 32) | j);
        }
    }
    std::sort(index.begin(), index.end());

    std::vector<Stretch> stretches;
    const int64_t total = int64_t(heard.left.size());
    int current = -1;
    int64_t next = 0;  // the frame of `current` expected next
    for (int64_t o = 0; o < total; ++o) {
        if (current >= 0 && same(heard, o, *connections[std::size_t(current)], next)) {
            stretches.back().lastOutput = o;
            ++next;
            continue;
        }
        if (o + keyFrames > total || !heard.delivered[std::size_t(o)]) continue;
        const uint64_t k = key(&heard.left[std::size_t(o)], &heard.right[std::size_t(o)]);
        auto [from, to] = std::equal_range(index.begin(), index.end(), std::pair<uint64_t, uint64_t>(k, 0),
                                           [](auto& a, auto& b) { return a.first < b.first; });
        // Of copies that go on for the next 256 frames (or to the end) and had been made
        // when they were heard: the one that moves least from where the last one left off,
        // then the newest connection. Only where a stretch of decoded audio is the same to
        // the bit in several places can this choice hide a jump.
        std::optional<std::pair<int, int64_t>> chosen;
        std::optional<int64_t> expected;
        if (current >= 0 && connections[std::size_t(current)]->position) {
            // Silence the card played in between moved nothing on.
            int64_t moved = 0;
            for (int64_t b = stretches.back().lastOutput + 1; b < o; ++b) moved += heard.delivered[std::size_t(b)];
            expected = *connections[std::size_t(current)]->position + next + moved;
        }
        auto rank = [&](int c, int64_t j) {
            const auto& position = connections[std::size_t(c)]->position;
            const int64_t moved = !position ? INT64_MAX : expected ? std::llabs(*position + j - *expected) : 0;
            return std::make_tuple(moved, -c);
        };
        for (auto it = from; it != to; ++it) {
            const int c = int(it->second >> 32);
            const int64_t j = int64_t(it->second & 0xFFFFFFFFu);
            const Connection& x = *connections[std::size_t(c)];
            if (madeAt(x, j) > heard.at(o) + 0.001) continue;
            bool goes = true;
            for (int64_t i = 0; i < 256 && o + i < total && goes; ++i)
                goes = same(heard, o + i, x, j + i) || (j + i >= int64_t(x.left.size()));
            if (!goes) continue;
            if (!chosen || rank(c, j) < rank(chosen->first, chosen->second)) chosen = {c, j};
        }
        if (!chosen) continue;
        current = chosen->first;
        next = chosen->second + 1;
        stretches.push_back({current, o, o, chosen->second});
    }
    return stretches;
}

// --- the run ---------------------------------------------------------------------------------

struct StatusPoint {
    double time;
    RadioStream::Status::Network::State state;
    double buffered;
};

const char* stateName(RadioStream::Status::Network::State s) {
    switch (s) {
    case RadioStream::Status::Network::State::connecting: return "connecting";
    case RadioStream::Status::Network::State::streaming: return "streaming";
    case RadioStream::Status::Network::State::reconnecting: return "reconnecting";
    case RadioStream::Status::Network::State::failed: return "failed";
    }
    return "?";
}

struct Arguments {
    std::string url, source, label = "run", out;
    double seconds = 60;
    Fault fault = Fault::none;
    double faultMs = 100;
    std::optional<double> onAir;  // steady clock, s: when the source began to play
};

Arguments parse(int argc, char** argv) {
    Arguments a;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i], value = argv[i + 1];
        if (name == "--url") a.url = value;
        else if (name == "--source") a.source = value;
        else if (name == "--seconds") a.seconds = std::stod(value);
        else if (name == "--label") a.label = value;
        else if (name == "--out") a.out = value;
        else if (name == "--on-air") a.onAir = std::stod(value);
        else if (name == "--fault-ms") a.faultMs = std::stod(value);
        else if (name == "--fault")
            a.fault = value == "skip" ? Fault::skip : value == "repeat" ? Fault::repeat : Fault::none;
        else throw std::runtime_error("unknown option " + name);
    }
    if (a.url.empty() || a.source.empty()) throw std::runtime_error("--url and --source are needed");
    return a;
}

struct Join {
    int connection = 0;
    double outage = 0;                  // s, last byte of the one before to the first byte of this one
    double burst = 0;                   // s of audio that came within 0.3 s of the first byte
    double uncovered = 0;               // ms of the source that neither connection carried
    double repeated = 0;                // ms heard twice
    double lost = 0;                    // ms skipped
    double beyond = 0;                  // ms skipped that some connection had carried
    double distance = 0;                // ms further behind live than before
    std::optional<double> toStreaming;  // s from the first byte to "streaming"
    bool heard = false;                 // the connection's audio was heard
};

int run(const Arguments& args) {
    Source source;
    {
        std::ifstream in(args.source, std::ios::binary);
        if (!in) throw std::runtime_error("cannot read " + args.source);
        source.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    parseFrames(source);
    const double bytesPerSecond =
        double(source.bytes.size()) / (double(source.frames.size() * source.samplesPerFrame) / source.sampleRate);

    Recording recording;
    recording.fault = args.fault;
    recording.faultFrames = std::llround(args.faultMs * rate / 1000);
    RadioStream::Options options;
    options.decoderFactory = [&recording](RadioStreamDecoder::Hint hint, RadioStreamDecoder::Client& client) {
        return std::make_unique<RecordingDecoder>(hint, client, recording);
    };
    const auto stream = std::make_unique<RadioStream>(args.url, "NorvoStudio-soak/1.0", 2.0, options);

    const std::size_t capacity = std::size_t((args.seconds + 1) * rate);
    Heard heard;
    heard.left.assign(capacity, 0);
    heard.right.assign(capacity, 0);
    heard.delivered.assign(capacity, 0);
    heard.pulled.reserve(capacity / pull + 1);
    std::vector<StatusPoint> statuses;
    std::atomic<bool> playing{true};
    std::thread watcher([&] {
        while (playing) {
            const auto status = stream->currentStatus();
            const double t = now();
            if (statuses.empty() || statuses.back().state != status.network.state)
                statuses.push_back({t, status.network.state, status.bufferedSeconds});
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });

    stream->start();
    // The sound card: 512 frames at a time at the pace of the steady clock.
    const double start = now();
    const auto origin = std::chrono::steady_clock::now();
    std::size_t done = 0;
    for (; done + pull <= capacity && double(done) < args.seconds * rate; done += pull) {
        std::this_thread::sleep_until(origin + std::chrono::duration<double>(double(done) / rate));
        heard.pulled.push_back(now());
        const int got = stream->render(pull, &heard.left[done], &heard.right[done]);
        std::fill(heard.delivered.begin() + long(done), heard.delivered.begin() + long(done) + got, 1);
    }
    playing = false;
    watcher.join();
    stream->stop();
    heard.left.resize(done);
    heard.right.resize(done);
    heard.delivered.resize(done);

    decodeSource(source);
    std::lock_guard lock(recording.lock);
    auto& connections = recording.connections;
    std::size_t near = 0;
    for (auto& c : connections) {
        // Without the time the source went on the air: near where the one before ended.
        const double end = args.onAir ? (c->lastByte - *args.onAir) * bytesPerSecond : double(near + c->bytes.size());
        c->sourceOffset = locate(source.bytes, c->bytes, end);
        if (c->sourceOffset) {
            near = *c->sourceOffset + c->bytes.size();
            c->lag = (end - double(near)) / bytesPerSecond;
        }
        align(*c, source);
    }
    const auto stretches = identify(heard, connections);

    // Jumps between stretches, each charged to the connection heard after it.
    std::vector<Join> joins(connections.size());
    for (std::size_t c = 0; c < connections.size(); ++c) {
        Join& j = joins[c];
        const Connection& x = *connections[c];
        j.connection = int(c);
        if (c > 0 && x.firstByte >= 0 && connections[c - 1]->lastByte >= 0)
            j.outage = x.firstByte - connections[c - 1]->lastByte;
        for (const auto& [t, bytes] : x.arrivals)
            if (t <= x.firstByte + 0.3) j.burst = double(bytes) / bytesPerSecond;
        for (std::size_t b = c; b-- > 0 && x.position;)
            if (const auto& before = *connections[b]; before.position) {
                const int64_t end = *before.position + int64_t(before.left.size());
                j.uncovered = double(std::max<int64_t>(0, *x.position - end)) * 1000 / rate;
                break;
            }
        for (const auto& s : statuses)
            if (x.firstByte >= 0 && s.time >= x.firstByte &&
                s.state == RadioStream::Status::Network::State::streaming) {
                j.toStreaming = s.time - x.firstByte;
                break;
            }
        // Streaming already (the stream never said otherwise) when the first byte came.
        if (!j.toStreaming && x.firstByte >= 0) {
            const StatusPoint* last = nullptr;
            for (const auto& s : statuses)
                if (s.time <= x.firstByte) last = &s;
            if (last && last->state == RadioStream::Status::Network::State::streaming) j.toStreaming = 0.0;
        }
    }
    // What the connections carried, on the reference, merged.
    std::vector<std::pair<int64_t, int64_t>> carried;
    for (const auto& c : connections)
        if (c->position) carried.emplace_back(*c->position, *c->position + int64_t(c->left.size()));
    std::sort(carried.begin(), carried.end());
    const auto uncarried = [&](int64_t from, int64_t to) {  // frames of [from, to) no connection carried
        int64_t covered = 0;
        for (const auto& [a, b] : carried) covered += std::max<int64_t>(0, std::min(b, to) - std::max(a, from));
        return std::max<int64_t>(0, to - from - covered);
    };
    std::vector<std::pair<int64_t, int64_t>> merged;
    for (const auto& span : carried)
        if (!merged.empty() && span.first <= merged.back().second)
            merged.back().second = std::max(merged.back().second, span.second);
        else merged.push_back(span);
    carried = merged;

    int unplaced = 0;
    for (std::size_t i = 0; i < stretches.size(); ++i) {
        const Stretch& s = stretches[i];
        const Connection& c = *connections[std::size_t(s.connection)];
        if (!c.position) {
            ++unplaced;
            continue;
        }
        joins[std::size_t(s.connection)].heard = true;
        if (i == 0) continue;
        const Stretch& p = stretches[i - 1];
        const Connection& pc = *connections[std::size_t(p.connection)];
        if (!pc.position) continue;
        const int64_t lastHeard = *pc.position + p.firstFrame + (p.lastOutput - p.firstOutput);
        const int64_t firstHeard = *c.position + s.firstFrame;
        int64_t silent = 0;
        for (int64_t o = p.lastOutput + 1; o < s.firstOutput; ++o) silent += !heard.delivered[std::size_t(o)];
        const int64_t between = s.firstOutput - p.lastOutput - 1 - silent;  // frames heard but not placed
        const int64_t jump = firstHeard - lastHeard - 1 - between;          // > 0: skipped, < 0: heard twice
        Join& j = joins[std::size_t(s.connection)];
        if (jump > 0) {
            j.lost += double(jump) * 1000 / rate;
            j.beyond += double(jump - uncarried(lastHeard + 1, firstHeard)) * 1000 / rate;
        }
        if (jump < 0) j.repeated += double(-jump) * 1000 / rate;
        j.distance += double(silent - jump) * 1000 / rate;
    }

    // The table.
    std::printf("run %s: %zu connections, %.1f s heard, %zu stretches%s\n", args.label.c_str(), connections.size(),
                double(done) / rate, stretches.size(), unplaced ? " (some not placed)" : "");
    std::printf("  %-4s %8s %7s %8s %9s %11s %8s %8s %9s %9s %s\n", "conn", "bytes", "at", "outage_s", "burst_s",
                "uncovered_ms", "twice_ms", "lost_ms", "beyond_ms", "behind_ms", "streaming_s");
    int repeating = 0, losing = 0, measured = 0;
    double distanceMax = 0, slowest = 0;
    std::vector<double> distances;
    for (const Join& j : joins) {
        const Connection& c = *connections[std::size_t(j.connection)];
        const double beyond = j.beyond;
        char where[32] = "-";
        if (c.sourceOffset) std::snprintf(where, sizeof where, "%.2f", double(*c.sourceOffset) / bytesPerSecond);
        char streaming[32] = "-";
        if (j.toStreaming) std::snprintf(streaming, sizeof streaming, "%.2f", *j.toStreaming);
        std::printf("  %-4d %8zu %7s %8.2f %9.2f %11.1f %8.1f %8.1f %9.1f %9.1f %s%s%s\n", j.connection, c.bytes.size(),
                    where, j.outage, j.burst, j.uncovered, j.repeated, j.lost, beyond, j.distance, streaming,
                    c.position ? "" : " unplaced", j.heard ? "" : " unheard");
        if (j.connection == 0 || !j.heard) continue;
        ++measured;
        repeating += j.repeated > 2.0;
        losing += beyond > 20.0;
        distanceMax = std::max(distanceMax, std::fabs(j.distance));
        distances.push_back(j.distance);
        slowest = std::max(slowest, j.toStreaming.value_or(args.seconds));
    }
    double mean = 0;
    for (double d : distances) mean += d / double(distances.size());
    int connecting = 0;
    for (const auto& s : statuses) connecting += s.state == RadioStream::Status::Network::State::failed;
    std::printf("RESULT %s joins=%d repeating=%d losing-covered=%d distance-max-ms=%.1f distance-mean-ms=%.1f "
                "streaming-max-s=%.2f unplaced=%d failed=%d\n",
                args.label.c_str(), measured, repeating, losing, distanceMax, mean, slowest, unplaced, connecting);

    if (!args.out.empty()) {
        std::filesystem::create_directories(args.out);
        std::ofstream status(std::filesystem::path(args.out) / "status.tsv");
        for (const auto& s : statuses)
            status << s.time - start << '\t' << stateName(s.state) << '\t' << s.buffered << '\n';
        std::ofstream list(std::filesystem::path(args.out) / "connections.tsv");
        for (const auto& c : connections)
            list << c->firstByte - start << '\t' << c->lastByte - start << '\t' << c->bytes.size() << '\t'
                 << (c->sourceOffset ? std::to_string(*c->sourceOffset) : "-") << '\t'
                 << (c->position ? std::to_string(*c->position) : "-") << '\t' << c->alignShift << '\t' << c->alignError
                 << '\t' << c->lag << '\n';
        std::ofstream pieces(std::filesystem::path(args.out) / "stretches.tsv");
        for (const auto& s : stretches)
            pieces << s.connection << '\t' << s.firstOutput << '\t' << s.lastOutput << '\t' << s.firstFrame << '\n';
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(parse(argc, argv));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "norvo-radio-soak: %s\n", e.what());
        return 1;
    }
}
