#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "Radio/RadioStream.hpp"
#include "Support/LoopbackHttpServer.hpp"

namespace norvo {

struct RadioJoinTesting {
    static void received(RadioJoin& join, const float* left, const float* right, std::size_t frames, double now) {
        join.received(left, right, frames, now);
    }
    static void hold(RadioJoin& join) { join.hold_ = RadioJoin::Hold::probing; }
    static void joinHeld(RadioJoin& join, const std::vector<float>& held, int64_t origin, int64_t resume, double now) {
        join.held_.release();
        join.held_.append(held.data(), held.data(), held.size());
        join.joinAt(origin, now, RadioJoin::Unmatched::trimBacklog, resume);
    }
};

// Drives the audio half of a stream that was never started: frames and metadata go in
// as a decoder and the demuxer would hand them over on the loop thread.
struct RadioStreamTesting {
    static void beginConnection(RadioStream& stream) {
        stream.connectionStartFrame_ = stream.pushedFrames_;
        stream.awaitingFirstTitle_ = true;
        stream.framesThisConnection_ = 0;
    }
    static void push(RadioStream& stream, std::size_t frames, float value = 0.5f) {
        std::vector<float> left(frames, value), right(frames, -value);
        pushFrames(stream, left.data(), right.data(), frames);
    }
    static void pushRamp(RadioStream& stream, std::size_t frames, float start) {
        std::vector<float> left(frames), right(frames);
        for (std::size_t i = 0; i < frames; ++i) left[i] = right[i] = start + static_cast<float>(i);
        pushFrames(stream, left.data(), right.data(), frames);
    }
    static void metadata(RadioStream& stream, const std::string& text) {
        const std::string block = test::LoopbackHttpServer::icyBlock(text).substr(1);
        stream.handleMetadataBlock(reinterpret_cast<const uint8_t*>(block.data()), block.size());
    }
    static void setTitleKnown(RadioStream& stream) {
        std::lock_guard lock(stream.statusLock_);
        stream.status_.titleKnown = true;
    }
    static UnfairLock& renderLock(RadioStream& stream) { return stream.lock_; }
    // As the join hands frames on: what was received is kept for matching.
    static void pushFrames(RadioStream& stream, const float* left, const float* right, std::size_t frames) {
        RadioJoinTesting::received(stream.join_, left, right, frames, stream.loop_->now());
    }
    static void decoderReady(RadioStream& stream, const RadioStreamDecoder::Format& format) {
        stream.decoderReady(format);
    }
    // Loop thread.
    // Silence written for gaps that the render handed on as audio: what played out while the
    // prebuffer filled again was never handed on.
    static int64_t gapFilledFrames(RadioStream& stream) {
        std::lock_guard lock(stream.lock_);
        return stream.gapFilledFrames_ - stream.gapSilencePassed_;
    }
    static void joinHeld(RadioStream& stream, const std::vector<float>& held, int64_t origin, int64_t resume) {
        RadioJoinTesting::joinHeld(stream.join_, held, origin, resume, stream.loop_->now());
    }
    // The connection's frames are held for a join from now on.
    static void holdFrames(RadioStream& stream) { RadioJoinTesting::hold(stream.join_); }
    static std::size_t heldTitleCount(RadioStream& stream) { return stream.heldTitles_.size(); }
    // Loop thread: a join's comparisons are under way off the loop.
    static bool comparing(RadioStream& stream) { return stream.join_.comparing(); }
    static double longestJoinStep(RadioStream& stream) { return stream.join_.longestStep(); }
    static std::size_t pendingTitleCount(RadioStream& stream) {
        std::lock_guard lock(stream.statusLock_);
        return stream.pendingTitles_.size();
    }
};

}  // namespace norvo
