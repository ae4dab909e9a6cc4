#pragma once
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Radio/RadioStream.hpp"
#include "Support/AudioFixtures.hpp"

namespace norvo::test {

// Codec arguments for the formats radio stations send, for generateTone and friends.
struct RadioCodec {
    static std::vector<std::string> mp3Cbr(int kbps = 128);
    static std::vector<std::string> mp3Vbr();  // LAME quality 4
    static std::vector<std::string> mp2(int kbps = 192);
    static std::vector<std::string> aacAdts(int kbps = 128);  // AAC-LC in ADTS
};

// The whole content of a file.
std::string readBytes(const std::filesystem::path& path);

// A tone file as the bytes a station would send: 440 Hz (or `left`) on channel 0 and
// 1 kHz (or `right`) on channel 1, encoded by ffmpeg into a file of `extension`.
std::string encodedTone(const std::string& extension, const std::vector<std::string>& codecArgs, double seconds,
                        int sampleRate, int channels, double left = 440.0, double right = 1000.0);

// A file committed under tests/Fixtures (tone-he-aac.aac: 3 s of HE-AAC in ADTS,
// 440 Hz left and 1 kHz right, made by tests/Fixtures/make-he-aac-fixture.py).
std::filesystem::path committedFixture(const std::string& name);

// Deterministic bytes that are no audio format at all.
std::string randomBytes(std::size_t count, uint32_t seed);

// Everything the stream's decoder (MP3 unless hinted otherwise) makes of `bytes`, as a stream would hear them.
StereoSamples decodedStation(const std::string& bytes,
                             RadioStreamDecoder::Hint hint = RadioStreamDecoder::Hint::mpegLayer3);

// Where each codec frame of an MPEG-1 layer III or ADTS stream ends, in bytes.
std::vector<std::size_t> codecFrameEnds(const std::string& bytes);

// The stream's own decoders, counting the bytes they are given: on a hand-moved clock a
// test waits until a stream has taken in everything a station sent before it moves on.
RadioStream::DecoderFactory countingDecoders(std::shared_ptr<std::atomic<uint64_t>> fed);

}  // namespace norvo::test
