#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace norvo {

// Turns a station's compressed audio bytes (MP3, MP2, AAC and HE-AAC in ADTS) into
// float frames at 44100 Hz. Lives on the stream queue of one connection: a new decoder
// for every response, dropped at teardown. Everything it reports reaches its client
// from inside feed().
class RadioStreamDecoder {
public:
    enum class Hint { none, mpegLayer3, adts };

    struct Format {
        std::string label;      // "MP3", "MP2", "AAC" or "AAC+"
        int channels = 0;       // the stream's own channel count, at least 1
        double sampleRate = 0;  // the stream's own rate

        bool operator==(const Format&) const = default;
    };

    class Client {
    public:
        virtual ~Client() = default;
        // Once per decoder, before the first frames.
        virtual void decoderReady(const Format& format) = 0;
        // At most maximumBatch frames at 44100 Hz; a mono stream gives the same
        // buffer as left and right.
        virtual void decodedFrames(const float* left, const float* right, int frames) = 0;
        // Final: "Unsupported stream format", "Unreadable stream format" or
        // "Cannot decode this stream". The decoder does nothing afterwards, and touches
        // nothing of its own once this returns: the client may destroy it from here.
        virtual void decoderFailed(const std::string& message) = 0;
    };

    static constexpr int maximumBatch = 8192;

    // The parser to try first, from the response's MIME type (lower-cased, exact) and
    // then the URL path's extension.
    static Hint fileTypeHint(std::string_view mimeType, std::string_view urlPath);

    RadioStreamDecoder(Hint hint, Client& client);
    ~RadioStreamDecoder();
    RadioStreamDecoder(const RadioStreamDecoder&) = delete;
    RadioStreamDecoder& operator=(const RadioStreamDecoder&) = delete;

    // Feeds audio bytes (ICY metadata already removed); decodes what it can.
    void feed(const uint8_t* bytes, std::size_t count);
    bool hasFailed() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace norvo
