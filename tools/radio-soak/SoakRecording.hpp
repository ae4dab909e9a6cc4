#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Radio/RadioStream.hpp"

namespace norvo::soak {

constexpr double rate = RadioStream::frameRate;

// Seconds on the steady clock, which the proxy's log and the script share.
double now();

// A fault the player makes on purpose, to show that the comparison finds it.
enum class Fault { none, skip, repeat };

// What one response delivered to its decoder and what the decoder made of it.
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
    double timingError = 0;  // s the timing put its end off from where its bytes lie
};

// The stream's loop thread records under the lock; the player reads once the stream stopped.
struct Recording {
    std::mutex lock;
    std::vector<std::unique_ptr<Connection>> connections;
    Fault fault = Fault::none;
    int64_t faultFrames = 0;
};

// Decoders for a RadioStream that record into `recording`.
RadioStream::DecoderFactory recordingDecoders(Recording& recording);

}  // namespace norvo::soak
