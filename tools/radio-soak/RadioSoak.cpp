// Plays a station through a RadioStream as a sound card would, records what each connection
// delivered, and then tells for every reconnection what was heard twice, what was lost beyond
// what no connection carried, how far behind live the listener moved and how long the stream
// took to say "streaming" again (scripts/soak-radio runs it against a real server).
//
//   norvo-radio-soak --url URL --source FILE --seconds N [--label TEXT] [--out DIR]
//                    [--on-air T] [--link-log LOG] [--fault skip|repeat] [--fault-ms MS]
//
// FILE holds exactly the bytes the server was fed (MP3 or AAC in ADTS), in real time from
// T on the steady clock (seconds). LOG is the proxy's, which tells when the server sent each
// connection's bytes and when the link brought them. A fault makes the tool itself drop or
// repeat a piece of every connection after the first, two seconds into it, so that a run
// can show the comparison finds what it looks for.
//
// Each heard frame is a copy of one connection's decoded frame, and each connection is
// placed on the source decoded whole, so each heard frame has a place in the source. Where
// the place jumps between two heard frames more or less than the frames heard between them,
// the difference was skipped or heard twice; the silence played between them (the card's,
// and the stream's for a gap), less the jump, is how much further behind live the listener
// fell. Every jump counts against the connection heard after it. The card's silence is the
// join's to answer for unless the underrun was forced: the card ran dry before the link
// brought the frame the join resumes on (the first no earlier connection delivered, or the
// connection's first if it begins after that); then the wait and the refill after it are
// not, and only a move nearer live counts. A join repeats when over 2 ms are heard twice,
// and loses beyond what was sent when over 20 ms are skipped that some connection had
// carried. It is late when the stream did not say "streaming" within a second of its first
// byte, or 0.3 s after the link brought the first audio no connection before had carried,
// whichever is later, while the link was still bringing bytes.
// A connection whose bytes cannot be placed on the source for sure is counted: what it
// carried is then unknown, and so are the joins next to it.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "HeardAudio.hpp"
#include "Radio/RadioStream.hpp"
#include "SoakLink.hpp"
#include "SoakRecording.hpp"
#include "SoakSource.hpp"

namespace {

using namespace norvo;
using namespace norvo::soak;

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
    std::string url, source, label = "run", out, linkLog;
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
        else if (name == "--link-log") a.linkLog = value;
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
    std::optional<double> due;          // s from the first byte by which "streaming" was due
    bool late = false;
    bool heard = false;  // the connection's audio was heard
    // At a forced underrun (the card ran dry before the link brought the resume frame):
    bool forced = false;
    double forcedDistance = 0;      // ms of `distance` that came then
    std::optional<double> waited;   // ms from running dry until the resume frame came (< 0: before)
    std::optional<double> resumed;  // when the link brought the frame the join resumes on
};

int run(const Arguments& args) {
    // Decoded before the stream starts, so that the playing has the machine to itself.
    const Source source = readSource(args.source);
    const double bytesPerSecond =
        double(source.bytes.size()) / (double(source.frames.size() * source.samplesPerFrame) / source.sampleRate);

    Recording recording;
    recording.fault = args.fault;
    recording.faultFrames = std::llround(args.faultMs * rate / 1000);
    RadioStream::Options options;
    options.decoderFactory = recordingDecoders(recording);
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

    std::lock_guard lock(recording.lock);
    auto& connections = recording.connections;
    const std::vector<LinkConnection> links =
        args.linkLog.empty() ? std::vector<LinkConnection>{} : readLinkLog(args.linkLog);
    std::vector<const LinkConnection*> linkOf(connections.size(), nullptr);
    std::vector<const char*> unplacedWhy(connections.size(), nullptr);
    std::size_t near = 0;
    for (std::size_t i = 0; i < connections.size(); ++i) {
        Connection& c = *connections[i];
        linkOf[i] = findLink(links, c);
        if (c.bytes.empty()) continue;
        // Where its bytes end in the source: by when the server sent them; without the
        // proxy's log by when they came, which a slow link makes late; without the time the
        // source went on the air, near where the one before ended.
        double end = double(near + c.bytes.size());
        if (args.onAir && linkOf[i])
            end = double(serverStart(*linkOf[i], source, *args.onAir) + int64_t(c.bytes.size()));
        else if (args.onAir) end = double(liveOffset(source, c.lastByte - *args.onAir));
        const auto places = findAll(source.bytes, c.bytes);
        const auto away = [&](std::size_t at) { return std::fabs(double(at + c.bytes.size()) - end); };
        const auto best = std::min_element(places.begin(), places.end(),
                                           [&](std::size_t a, std::size_t b) { return away(a) < away(b); });
        if (best == places.end()) {
            unplacedWhy[i] = "not in the source";
            continue;
        }
        // The timing is good to some tens of milliseconds: a copy nearly as near may be it.
        if (std::any_of(places.begin(), places.end(), [&](std::size_t at) {
                return at != *best && away(at) < away(*best) + 0.25 * bytesPerSecond;
            })) {
            unplacedWhy[i] = "copies alike";
            continue;
        }
        c.sourceOffset = *best;
        near = *best + c.bytes.size();
        c.timingError = (end - double(near)) / bytesPerSecond;
        if (args.onAir) c.lag = (double(liveOffset(source, c.lastByte - *args.onAir)) - double(near)) / bytesPerSecond;
        align(c, source);
        if (!c.position) unplacedWhy[i] = "too short to align";
    }
    const auto stretches = identify(heard, connections);
    // A connection too short to align matters once it was heard (the last of a run may be).
    std::vector<bool> heardAny(connections.size());
    for (const Stretch& s : stretches) heardAny[std::size_t(s.connection)] = true;
    int unplaced = 0;
    for (std::size_t i = 0; i < connections.size(); ++i)
        unplaced += unplacedWhy[i] && (connections[i]->sourceOffset == std::nullopt || heardAny[i]);

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
        // From the first byte the link brought, until the next connection's.
        const double first = linkOf[c] ? linkOf[c]->firstAudio : x.firstByte;
        const double until = c + 1 < connections.size() && connections[c + 1]->firstByte >= 0
                                 ? connections[c + 1]->firstByte
                             : heard.pulled.empty() ? first
                                                    : heard.pulled.back();
        for (const auto& s : statuses)
            if (x.firstByte >= 0 && s.time >= first && s.time < until &&
                s.state == RadioStream::Status::Network::State::streaming) {
                j.toStreaming = s.time - first;
                break;
            }
        // Streaming already (the stream never said otherwise) when the first byte came.
        if (!j.toStreaming && x.firstByte >= 0) {
            const StatusPoint* last = nullptr;
            for (const auto& s : statuses)
                if (s.time <= first) last = &s;
            if (last && last->state == RadioStream::Status::Network::State::streaming) j.toStreaming = 0.0;
        }
        // When "streaming" was due: the link's own times, not the receiver's.
        if (c > 0 && linkOf[c] && x.position && x.sourceOffset) {
            int64_t carried = INT64_MIN;
            for (std::size_t b = 0; b < c; ++b)
                if (connections[b]->position)
                    carried = std::max(carried, *connections[b]->position + int64_t(connections[b]->left.size()));
            const int64_t fresh = std::max(carried, *x.position);
            if (fresh < *x.position + int64_t(x.left.size())) {
                const auto sample = int64_t(double(fresh) * source.sampleRate / rate);
                const std::size_t end = frameEnd(source, sample);
                const std::size_t bytes = end > *x.sourceOffset ? end - *x.sourceOffset : 1;
                j.resumed = linkOf[c]->passedOn(bytes);
                if (const auto came = j.resumed) {
                    j.due = std::max(1.0, *came + 0.3 - first);
                    const double at = first + *j.due;
                    // Judged only while the link still brought bytes, and the run went on.
                    if (linkOf[c]->sent.back().first >= at && until >= at)
                        j.late = !j.toStreaming || *j.toStreaming > *j.due;
                }
            }
        }
    }
    // What the connections carried, on the reference, merged.
    std::vector<std::pair<int64_t, int64_t>> carried;
    for (const auto& c : connections)
        if (c->position) {
            // A decoder's first frames of a connection may be zeros where it had nothing to
            // build on (an MP3 frame's reservoir): that audio came to no one.
            std::size_t primed = 0;
            while (primed < c->left.size() && c->left[primed] == 0.0f && c->right[primed] == 0.0f) ++primed;
            carried.emplace_back(*c->position + int64_t(primed), *c->position + int64_t(c->left.size()));
        }
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

    for (std::size_t i = 0; i < stretches.size(); ++i) {
        const Stretch& s = stretches[i];
        const Connection& c = *connections[std::size_t(s.connection)];
        if (!c.position) continue;
        joins[std::size_t(s.connection)].heard = true;
        if (i == 0) continue;
        const Stretch& p = stretches[i - 1];
        const Connection& pc = *connections[std::size_t(p.connection)];
        if (!pc.position) continue;
        const int64_t lastHeard = *pc.position + p.firstFrame + (p.lastOutput - p.firstOutput);
        const int64_t firstHeard = *c.position + s.firstFrame;
        int64_t silent = 0;
        // The card's silence, and the stream's own for a gap (digital zeros): neither was
        // heard twice.
        for (int64_t o = p.lastOutput + 1; o < s.firstOutput; ++o) {
            const auto at = std::size_t(o);
            silent += !heard.delivered[at] || (heard.left[at] == 0.0f && heard.right[at] == 0.0f);
        }
        const int64_t between = s.firstOutput - p.lastOutput - 1 - silent;  // frames heard but not placed
        const int64_t jump = firstHeard - lastHeard - 1 - between;          // > 0: skipped, < 0: heard twice
        Join& j = joins[std::size_t(s.connection)];
        if (jump > 0) {
            j.lost += double(jump) * 1000 / rate;
            j.beyond += double(jump - uncarried(lastHeard + 1, firstHeard)) * 1000 / rate;
        }
        if (jump < 0) j.repeated += double(-jump) * 1000 / rate;
        const double moved = double(silent - jump) * 1000 / rate;
        j.distance += moved;
        // The render that first came up short after the old audio: the listener ran dry then.
        std::optional<int64_t> dry;
        for (int64_t o = p.lastOutput + 1; o < s.firstOutput && !dry; ++o)
            if (!heard.delivered[std::size_t(o)]) dry = o;
        if (dry && j.resumed) {
            j.waited = (*j.resumed - heard.at(*dry)) * 1000;
            if (*j.waited > 0) {
                j.forced = true;
                j.forcedDistance += moved;
            }
        }
    }

    // The table.
    std::printf("run %s: %zu connections, %.1f s heard, %zu stretches%s\n", args.label.c_str(), connections.size(),
                double(done) / rate, stretches.size(), unplaced ? " (some not placed)" : "");
    std::printf("  %-4s %8s %7s %8s %9s %11s %8s %8s %9s %9s %9s %11s %s\n", "conn", "bytes", "at", "outage_s",
                "burst_s", "uncovered_ms", "twice_ms", "lost_ms", "beyond_ms", "behind_ms", "waited_ms", "streaming_s",
                "due_s");
    int repeating = 0, losing = 0, measured = 0, late = 0, forced = 0;
    double distanceMax = 0, forcedMax = 0, slowest = 0;
    std::vector<double> distances;
    for (const Join& j : joins) {
        const Connection& c = *connections[std::size_t(j.connection)];
        const double beyond = j.beyond;
        char where[32] = "-";
        if (c.sourceOffset) std::snprintf(where, sizeof where, "%.2f", double(*c.sourceOffset) / bytesPerSecond);
        char streaming[32] = "-", due[32] = "-";
        if (j.toStreaming) std::snprintf(streaming, sizeof streaming, "%.2f", *j.toStreaming);
        if (j.due) std::snprintf(due, sizeof due, "%.2f", *j.due);
        char waited[32] = "-";
        if (j.waited) std::snprintf(waited, sizeof waited, "%.1f", *j.waited);
        const char* why = unplacedWhy[std::size_t(j.connection)];
        // Without the proxy's times it was placed by when its bytes came, and not judged late.
        const bool unmatched = !args.linkLog.empty() && !c.bytes.empty() && !linkOf[std::size_t(j.connection)];
        std::printf("  %-4d %8zu %7s %8.2f %9.2f %11.1f %8.1f %8.1f %9.1f %9.1f %9s %11s %s%s%s%s%s%s%s\n",
                    j.connection, c.bytes.size(), where, j.outage, j.burst, j.uncovered, j.repeated, j.lost, beyond,
                    j.distance, waited, streaming, due, why ? " unplaced: " : "", why ? why : "",
                    j.heard ? "" : " unheard", j.forced ? " forced" : "", j.late ? " late" : "",
                    unmatched ? " not in the proxy's log" : "");
        late += j.late;
        if (j.connection == 0 || !j.heard) continue;
        ++measured;
        repeating += j.repeated > 2.0;
        losing += beyond > 20.0;
        // A forced underrun's wait is not the join's: only moving nearer live counts there.
        const double unforced = j.distance - j.forcedDistance;
        distanceMax = std::max({distanceMax, std::fabs(unforced), -j.forcedDistance});
        distances.push_back(unforced);
        forced += j.forced;
        if (j.forced) forcedMax = std::max(forcedMax, std::fabs(j.forcedDistance));
        slowest = std::max(slowest, j.toStreaming.value_or(args.seconds));
    }
    double mean = 0;
    for (double d : distances) mean += d / double(distances.size());
    int connecting = 0;
    for (const auto& s : statuses) connecting += s.state == RadioStream::Status::Network::State::failed;
    std::printf("RESULT %s joins=%d repeating=%d losing-covered=%d distance-max-ms=%.1f distance-mean-ms=%.1f "
                "distance-forced-max-ms=%.1f forced=%d streaming-max-s=%.2f streaming-late=%d unplaced=%d failed=%d\n",
                args.label.c_str(), measured, repeating, losing, distanceMax, mean, forcedMax, forced, slowest, late,
                unplaced, connecting);

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
                 << '\t' << c->lag << '\t' << c->timingError << '\n';
        // When each connection's frames came, on the reference: how the timing saw the station.
        std::ofstream came(std::filesystem::path(args.out) / "decoded.tsv");
        for (std::size_t c = 0; c < connections.size(); ++c)
            if (connections[c]->position)
                for (const auto& [t, frames] : connections[c]->decoded)
                    came << c << '\t' << t - args.onAir.value_or(0) << '\t'
                         << *connections[c]->position + int64_t(frames) << '\n';
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
