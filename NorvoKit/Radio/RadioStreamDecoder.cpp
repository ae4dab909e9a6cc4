#include "Radio/RadioStreamDecoder.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "AudioEngine/FFmpegLog.hpp"

namespace norvo {

namespace {

constexpr int outputRate = 44100;
// Bytes after any ID3v2 tag that may pass before the first frame is found, and again
// before the first frame decodes.
constexpr std::size_t frameSearchLimit = 64 * 1024;
// A parser that has swallowed this much without producing a packet is reset, so that a
// stream turning into garbage cannot grow its buffer without bound.
constexpr std::size_t parserBacklogLimit = 256 * 1024;
// Incoming bytes are probed in slices of this size, which bounds the probe buffer.
constexpr std::size_t probeSlice = 4096;
// Headers in a row, each at the position its predecessor's length gives, that identify
// a stream; random bytes or a page of text almost never produce three.
constexpr int headersInARow = 3;

const char* const unsupportedFormat = "Unsupported stream format";
const char* const unreadableFormat = "Unreadable stream format";
const char* const cannotDecode = "Cannot decode this stream";

enum class Kind { mpeg, adts };

struct FrameHeader {
    int layer = 0;      // MPEG audio: 2 or 3; ADTS: 0
    int signature = 0;  // fields that stay fixed from frame to frame
    std::size_t bytes = 0;
};

// An MPEG-1/2/2.5 layer II or III frame header. Free-format and layer I streams are not
// radio formats and are left unrecognised.
std::optional<FrameHeader> mpegHeader(const uint8_t* p) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return std::nullopt;
    const int version = (p[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int layerBits = (p[1] >> 1) & 3;
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    if (version == 1 || (layerBits != 1 && layerBits != 2) || bitrateIndex == 0 || bitrateIndex == 15 ||
        rateIndex == 3 || (p[3] & 3) == 2)
        return std::nullopt;
    static constexpr std::array<int, 15> mpeg1Layer2 = {0,   32,  48,  56,  64,  80,  96, 112,
                                                        128, 160, 192, 224, 256, 320, 384};
    static constexpr std::array<int, 15> mpeg1Layer3 = {0,   32,  40,  48,  56,  64,  80, 96,
                                                        112, 128, 160, 192, 224, 256, 320};
    static constexpr std::array<int, 15> mpeg2 = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static constexpr std::array<int, 3> mpeg1Rates = {44100, 48000, 32000};
    const int layer = layerBits == 1 ? 3 : 2;
    const bool mpeg1 = version == 3;
    const int kbps = mpeg1 ? (layer == 2 ? mpeg1Layer2 : mpeg1Layer3)[bitrateIndex] : mpeg2[bitrateIndex];
    const int rate = mpeg1Rates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    const int slotBytes = (layer == 3 && !mpeg1) ? 72000 : 144000;
    FrameHeader header;
    header.layer = layer;
    header.signature = (version << 8) | (layerBits << 4) | rateIndex;
    header.bytes = static_cast<std::size_t>(slotBytes * kbps / rate + ((p[2] >> 1) & 1));
    return header;
}

std::optional<FrameHeader> adtsHeader(const uint8_t* p) {
    if (p[0] != 0xFF || (p[1] & 0xF6) != 0xF0) return std::nullopt;
    const int profile = p[2] >> 6;
    const int rateIndex = (p[2] >> 2) & 0xF;
    const int channelConfig = ((p[2] & 1) << 2) | (p[3] >> 6);
    const std::size_t length =
        (static_cast<std::size_t>(p[3] & 3) << 11) | (static_cast<std::size_t>(p[4]) << 3) | (p[5] >> 5);
    const std::size_t headerBytes = (p[1] & 1) ? 7 : 9;
    if (rateIndex > 12 || length <= headerBytes) return std::nullopt;
    FrameHeader header;
    header.signature = (profile << 8) | (rateIndex << 3) | channelConfig;
    header.bytes = length;
    return header;
}

enum class Match { no, yes, needMore };

// Whether a stream of `kind` starts at `at`: a run of consistent headers, each where the
// previous frame ends.
Match matchAt(Kind kind, const uint8_t* data, std::size_t size, std::size_t at, FrameHeader& first) {
    const std::size_t headerBytes = kind == Kind::mpeg ? 4 : 7;
    std::size_t position = at;
    for (int n = 0; n < headersInARow; ++n) {
        if (size - position < headerBytes) return Match::needMore;
        const auto header = kind == Kind::mpeg ? mpegHeader(data + position) : adtsHeader(data + position);
        if (!header || (n > 0 && header->signature != first.signature)) return Match::no;
        if (n == 0) first = *header;
        position += header->bytes;
        if (position > size) return Match::needMore;
    }
    return Match::yes;
}

bool startsWithNoCase(const uint8_t* data, std::size_t size, const char* prefix) {
    const std::size_t length = std::strlen(prefix);
    if (size < length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = static_cast<char>(data[i]);
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != prefix[i]) return false;
    }
    return true;
}

enum class Opening { audio, refused, undecided };

// Recognises what is plainly not an MPEG or ADTS stream from its first bytes: an Ogg
// page, or a web page served in place of the stream.
Opening classifyOpening(const uint8_t* data, std::size_t size) {
    static constexpr std::size_t enough = 16;
    if (size >= 4 && std::memcmp(data, "OggS", 4) == 0) return Opening::refused;
    std::size_t i = 0;
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) i = 3;
    while (i < size && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n')) ++i;
    if (i == size) return size >= frameSearchLimit ? Opening::audio : Opening::undecided;
    if (data[i] != '<') return size >= 4 ? Opening::audio : Opening::undecided;
    static constexpr std::array<const char*, 7> markup = {"<!doctype", "<html", "<?xml", "<head",
                                                          "<body",     "<!--",  "<title"};
    for (const char* tag : markup)
        if (startsWithNoCase(data + i, size - i, tag)) return Opening::refused;
    return size - i >= enough ? Opening::audio : Opening::undecided;
}

bool isHeAac(int profile) {
#ifdef AV_PROFILE_AAC_HE
    return profile == AV_PROFILE_AAC_HE || profile == AV_PROFILE_AAC_HE_V2;
#else
    return profile == FF_PROFILE_AAC_HE || profile == FF_PROFILE_AAC_HE_V2;
#endif
}

}  // namespace

struct RadioStreamDecoder::Impl {
    Impl(Hint hint, Client& client) : hint(hint), client(client) {}
    ~Impl() { release(); }

    // Every step returns false once the decoder has failed; the caller then returns at
    // once without touching the decoder, since the client may drop it in decoderFailed.
    bool feed(const uint8_t* bytes, std::size_t count);
    bool probe(const uint8_t* bytes, std::size_t count, std::size_t& used);
    bool lockOn(Kind kind, int layer, std::size_t offset);
    bool parse(const uint8_t* bytes, std::size_t count);
    bool decode(const uint8_t* bytes, int size);
    bool deliver(AVFrame* decoded);
    bool configure(AVFrame* decoded);
    bool drainResampler(const uint8_t** input, int inputFrames);
    bool fail(const char* message);
    void release();

    Hint hint;
    Client& client;
    bool failed = false;

    // Before a stream is recognised.
    std::vector<uint8_t> pending;
    std::size_t scanFrom = 0;
    bool openingChecked = false;
    uint64_t tagBytesToSkip = 0;
    bool locked = false;
    std::string label;

    // Once recognised.
    AVCodecParserContext* parser = nullptr;
    AVCodecContext* context = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    enum AVCodecID codecID = AV_CODEC_ID_NONE;
    std::vector<uint8_t> padded;
    std::size_t parserBacklog = 0;
    std::size_t bytesWithoutFrame = 0;
    bool ready = false;

    // Conversion to 44100 Hz planar float; rebuilt when the decoded format changes.
    SwrContext* resampler = nullptr;
    bool configured = false;
    int inRate = 0;
    int inFormat = AV_SAMPLE_FMT_NONE;
    AVChannelLayout inLayout{};
    int outChannels = 0;
    std::vector<float> outLeft, outRight;
};

RadioStreamDecoder::Hint RadioStreamDecoder::fileTypeHint(std::string_view mimeType, std::string_view urlPath) {
    static constexpr std::array<std::string_view, 5> mp3Types = {"audio/mpeg", "audio/mp3", "audio/mpeg3",
                                                                 "audio/x-mpeg", "audio/x-mp3"};
    static constexpr std::array<std::string_view, 5> aacTypes = {"audio/mp4a-latm", "audio/aac", "audio/aacp",
                                                                 "audio/x-aac", "audio/x-aacp"};
    std::string mime(mimeType);
    for (char& c : mime)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (std::find(mp3Types.begin(), mp3Types.end(), mime) != mp3Types.end()) return Hint::mpegLayer3;
    if (std::find(aacTypes.begin(), aacTypes.end(), mime) != aacTypes.end()) return Hint::adts;

    const std::size_t slash = urlPath.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? urlPath : urlPath.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return Hint::none;
    std::string extension(name.substr(dot + 1));
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (extension == "mp3") return Hint::mpegLayer3;
    if (extension == "aac" || extension == "aacp") return Hint::adts;
    return Hint::none;
}

RadioStreamDecoder::RadioStreamDecoder(Hint hint, Client& client) : impl_(std::make_unique<Impl>(hint, client)) {
    FFmpegLog::quiet();
}

RadioStreamDecoder::~RadioStreamDecoder() = default;

void RadioStreamDecoder::feed(const uint8_t* bytes, std::size_t count) { impl_->feed(bytes, count); }

bool RadioStreamDecoder::hasFailed() const { return impl_->failed; }

void RadioStreamDecoder::Impl::release() {
    if (parser) av_parser_close(parser);
    parser = nullptr;
    avcodec_free_context(&context);
    av_packet_free(&packet);
    av_frame_free(&frame);
    swr_free(&resampler);
    av_channel_layout_uninit(&inLayout);
}

bool RadioStreamDecoder::Impl::fail(const char* message) {
    failed = true;
    release();
    std::vector<uint8_t>().swap(pending);
    client.decoderFailed(message);
    return false;
}

bool RadioStreamDecoder::Impl::feed(const uint8_t* bytes, std::size_t count) {
    if (failed || count == 0) return !failed;
    while (!locked && count > 0) {
        std::size_t used = 0;
        if (!probe(bytes, std::min(count, probeSlice), used)) return false;
        bytes += used;
        count -= used;
    }
    return count == 0 || parse(bytes, count);
}

// Takes up to `count` bytes while the stream is not yet recognised: skips ID3v2 tags,
// refuses what is plainly no MPEG or ADTS stream, and looks for a run of frame headers.
bool RadioStreamDecoder::Impl::probe(const uint8_t* bytes, std::size_t count, std::size_t& used) {
    if (tagBytesToSkip > 0) {
        used = static_cast<std::size_t>(std::min<uint64_t>(tagBytesToSkip, count));
        tagBytesToSkip -= used;
        return true;
    }
    used = count;
    pending.insert(pending.end(), bytes, bytes + count);

    while (!openingChecked) {
        if (pending.size() >= 3 && std::memcmp(pending.data(), "ID3", 3) == 0) {
            if (pending.size() < 10) return true;
            const uint8_t* tag = pending.data();
            if (tag[3] == 0xFF || tag[4] == 0xFF || ((tag[6] | tag[7] | tag[8] | tag[9]) & 0x80)) {
                openingChecked = true;  // not a real tag: leave the bytes to the frame search
                break;
            }
            const uint64_t size =
                (uint64_t(tag[6]) << 21) | (uint64_t(tag[7]) << 14) | (uint64_t(tag[8]) << 7) | tag[9];
            const uint64_t total = 10 + size + ((tag[5] & 0x10) ? 10 : 0);
            const std::size_t here = static_cast<std::size_t>(std::min<uint64_t>(total, pending.size()));
            pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(here));
            tagBytesToSkip = total - here;
            if (tagBytesToSkip > 0) return true;
            continue;  // another tag may follow
        }
        const std::string_view opening(reinterpret_cast<const char*>(pending.data()), pending.size());
        if (opening.size() < 3 && std::string_view("ID3").starts_with(opening)) return true;
        switch (classifyOpening(pending.data(), pending.size())) {
        case Opening::refused: return fail(unsupportedFormat);
        case Opening::undecided: return true;
        case Opening::audio: openingChecked = true; break;
        }
    }

    const Kind preferred = hint == Hint::adts ? Kind::adts : Kind::mpeg;
    const Kind other = preferred == Kind::mpeg ? Kind::adts : Kind::mpeg;
    for (; scanFrom < pending.size(); ++scanFrom) {
        bool waiting = false;
        for (Kind kind : {preferred, other}) {
            FrameHeader first;
            const Match match = matchAt(kind, pending.data(), pending.size(), scanFrom, first);
            if (match == Match::yes) return lockOn(kind, first.layer, scanFrom);
            waiting = waiting || match == Match::needMore;
        }
        if (waiting) break;
    }
    if (pending.size() >= frameSearchLimit) return fail(unsupportedFormat);
    return true;
}

bool RadioStreamDecoder::Impl::lockOn(Kind kind, int layer, std::size_t offset) {
    locked = true;
    codecID = kind == Kind::adts ? AV_CODEC_ID_AAC : layer == 2 ? AV_CODEC_ID_MP2 : AV_CODEC_ID_MP3;
    const char* decoderName = kind == Kind::adts ? "aac" : layer == 2 ? "mp2float" : "mp3float";
    label = kind == Kind::adts ? "AAC" : layer == 2 ? "MP2" : "MP3";

    const AVCodec* decoder = avcodec_find_decoder_by_name(decoderName);
    if (!decoder) decoder = avcodec_find_decoder(codecID);
    parser = av_parser_init(codecID);
    context = decoder ? avcodec_alloc_context3(decoder) : nullptr;
    packet = av_packet_alloc();
    frame = av_frame_alloc();
    if (!decoder || !parser || !context || !packet || !frame || avcodec_open2(context, decoder, nullptr) < 0)
        return fail(cannotDecode);
    outLeft.assign(maximumBatch, 0.0f);
    outRight.assign(maximumBatch, 0.0f);

    std::vector<uint8_t> stream;
    stream.swap(pending);
    return parse(stream.data() + offset, stream.size() - offset);
}

bool RadioStreamDecoder::Impl::parse(const uint8_t* bytes, std::size_t count) {
    // Parsers may look a little past the end of what they are given.
    padded.resize(count + AV_INPUT_BUFFER_PADDING_SIZE);
    std::memcpy(padded.data(), bytes, count);
    std::memset(padded.data() + count, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    const uint8_t* data = padded.data();
    std::size_t left = count;
    while (left > 0) {
        const int chunk = static_cast<int>(std::min<std::size_t>(left, 1 << 20));
        uint8_t* out = nullptr;
        int outSize = 0;
        const int used =
            av_parser_parse2(parser, context, &out, &outSize, data, chunk, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0 || (used == 0 && outSize == 0)) break;
        data += used;
        left -= static_cast<std::size_t>(used);
        parserBacklog += static_cast<std::size_t>(used);
        if (!ready) {
            bytesWithoutFrame += static_cast<std::size_t>(used);
            if (bytesWithoutFrame > frameSearchLimit) return fail(unsupportedFormat);
        }
        if (outSize > 0) {
            parserBacklog = 0;
            if (!decode(out, outSize)) return false;
        } else if (parserBacklog > parserBacklogLimit) {
            av_parser_close(parser);
            parser = av_parser_init(codecID);
            parserBacklog = 0;
            if (!parser) return fail(cannotDecode);
        }
    }
    return true;
}

bool RadioStreamDecoder::Impl::decode(const uint8_t* bytes, int size) {
    packet->data = const_cast<uint8_t*>(bytes);
    packet->size = size;
    // A damaged packet is skipped: once the stream plays, decoding errors are not faults.
    const int sent = avcodec_send_packet(context, packet);
    packet->data = nullptr;
    packet->size = 0;
    if (sent < 0) return true;
    while (avcodec_receive_frame(context, frame) >= 0) {
        const bool ok = deliver(frame);
        if (!ok) return false;
        av_frame_unref(frame);
    }
    return true;
}

bool RadioStreamDecoder::Impl::deliver(AVFrame* decoded) {
    if (decoded->nb_samples <= 0) return true;
    if (decoded->sample_rate <= 0 || decoded->ch_layout.nb_channels <= 0) return ready ? true : fail(unreadableFormat);
    if (!configured || decoded->sample_rate != inRate || decoded->format != inFormat ||
        av_channel_layout_compare(&decoded->ch_layout, &inLayout) != 0) {
        if (!configure(decoded)) return false;
    }
    if (!ready) {
        ready = true;
        Format format;
        format.label = codecID == AV_CODEC_ID_AAC && isHeAac(context->profile) ? "AAC+" : label;
        format.channels = decoded->ch_layout.nb_channels;
        format.sampleRate = decoded->sample_rate;
        client.decoderReady(format);
    }

    if (!resampler) {
        // Already 44100 Hz planar float in one or two channels: hand the planes over.
        const float* left = reinterpret_cast<const float*>(decoded->extended_data[0]);
        const float* right = outChannels == 2 ? reinterpret_cast<const float*>(decoded->extended_data[1]) : left;
        for (int done = 0; done < decoded->nb_samples; done += maximumBatch) {
            const int n = std::min(maximumBatch, decoded->nb_samples - done);
            client.decodedFrames(left + done, right + done, n);
        }
        return true;
    }
    return drainResampler(const_cast<const uint8_t**>(decoded->extended_data), decoded->nb_samples);
}

// Pushes everything the resampler gives for `input` in batches of at most maximumBatch.
// A null input flushes the resampler's tail (before it is replaced).
bool RadioStreamDecoder::Impl::drainResampler(const uint8_t** input, int inputFrames) {
    // A non-null input with no frames asks for buffered output without flushing.
    const uint8_t* none[AV_NUM_DATA_POINTERS] = {};
    for (;;) {
        uint8_t* out[2] = {reinterpret_cast<uint8_t*>(outLeft.data()), reinterpret_cast<uint8_t*>(outRight.data())};
        const int n = swr_convert(resampler, out, maximumBatch, input, inputFrames);
        if (n <= 0) return true;
        client.decodedFrames(outLeft.data(), outChannels == 2 ? outRight.data() : outLeft.data(), n);
        if (n < maximumBatch) return true;
        if (input) input = none;
        inputFrames = 0;
    }
}

bool RadioStreamDecoder::Impl::configure(AVFrame* decoded) {
    if (resampler) {
        drainResampler(nullptr, 0);
        swr_free(&resampler);
    }
    configured = false;
    av_channel_layout_uninit(&inLayout);
    if (av_channel_layout_copy(&inLayout, &decoded->ch_layout) < 0) return fail(cannotDecode);
    inRate = decoded->sample_rate;
    inFormat = decoded->format;

    const int channels = decoded->ch_layout.nb_channels;
    outChannels = channels == 1 ? 1 : 2;
    if (inRate != outputRate || inFormat != AV_SAMPLE_FMT_FLTP || channels > 2) {
        AVChannelLayout source{};
        if (decoded->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) av_channel_layout_default(&source, channels);
        else if (av_channel_layout_copy(&source, &decoded->ch_layout) < 0) return fail(cannotDecode);
        AVChannelLayout target{};
        av_channel_layout_default(&target, outChannels);
        const int made = swr_alloc_set_opts2(&resampler, &target, AV_SAMPLE_FMT_FLTP, outputRate, &source,
                                             static_cast<AVSampleFormat>(inFormat), inRate, 0, nullptr);
        av_channel_layout_uninit(&source);
        av_channel_layout_uninit(&target);
        // Twice the default filter length: high-quality rate conversion at little cost.
        if (made < 0 || !resampler || av_opt_set_int(resampler, "filter_size", 64, 0) < 0 || swr_init(resampler) < 0)
            return fail(cannotDecode);
    }
    configured = true;
    return true;
}

}  // namespace norvo
