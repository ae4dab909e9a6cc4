#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "SoakRecording.hpp"

namespace norvo::soak {

constexpr int pull = 512;  // frames per render, as a sound card asks

// What the sound card played.
struct Heard {
    std::vector<float> left, right;
    std::vector<uint8_t> delivered;  // per frame: the stream gave it (else the card played silence)
    std::vector<double> pulled;      // per render: when
    double at(int64_t o) const { return pulled[std::size_t(o / pull)]; }
};

struct Stretch {  // consecutive heard frames that follow one connection's frames one by one
    int connection;
    int64_t firstOutput, lastOutput;
    int64_t firstFrame;  // in the connection's decoded frames
};

// Finds, for every heard frame, the connection frame it is a copy of: the stream passes the
// decoders' frames on bit for bit, but at a cut (a short crossfade) and in silence.
std::vector<Stretch> identify(const Heard& heard, const std::vector<std::unique_ptr<Connection>>& connections);

}  // namespace norvo::soak
