#include "Cassette/AacSideDecoder.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "AudioEngine/NorvoAudioError.hpp"
#include "AudioEngine/TapeClock.hpp"
#include "Cassette/FFmpegSupport.hpp"

namespace norvo {

namespace {

using namespace ffmpeg;

[[noreturn]] void fail(const std::string& detail) { throw NorvoAudioError::conversionFailed(detail); }

// The sentence in our words; FFmpeg's own text for the code goes to the log only.
[[noreturn]] void fail(const std::string& detail, int error) {
    std::fprintf(stderr, "norvo: side audio: %s: %s\n", detail.c_str(), describe(error).c_str());
    fail(detail);
}

// The demuxer reads from the bytes in memory through this.
struct MemoryReader {
    const uint8_t* data = nullptr;
    int64_t size = 0;
    int64_t position = 0;

    static int read(void* opaque, uint8_t* buffer, int capacity) {
        auto* self = static_cast<MemoryReader*>(opaque);
        const int64_t left = self->size - self->position;
        if (left <= 0) return AVERROR_EOF;
        const int n = static_cast<int>(std::min<int64_t>(left, capacity));
        std::memcpy(buffer, self->data + self->position, static_cast<std::size_t>(n));
        self->position += n;
        return n;
    }

    static int64_t seek(void* opaque, int64_t offset, int whence) {
        auto* self = static_cast<MemoryReader*>(opaque);
        int64_t target = 0;
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE: return self->size;
        case SEEK_SET: target = offset; break;
        case SEEK_CUR: target = self->position + offset; break;
        case SEEK_END: target = self->size + offset; break;
        default: return AVERROR(EINVAL);
        }
        if (target < 0 || target > self->size) return AVERROR(EINVAL);
        self->position = target;
        return target;
    }
};

// The demuxer over the memory reader, freed in the right order.
class Input {
public:
    explicit Input(std::span<const uint8_t> bytes) : reader_{bytes.data(), static_cast<int64_t>(bytes.size()), 0} {
        try {
            open();
        } catch (...) {
            release();
            throw;
        }
    }
    ~Input() { release(); }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;
    AVFormatContext* get() const { return context_; }

private:
    void open() {
        constexpr int bufferSize = 1 << 16;
        auto* buffer = static_cast<uint8_t*>(av_malloc(bufferSize));
        if (!buffer) fail("out of memory");
        io_ = avio_alloc_context(buffer, bufferSize, 0, &reader_, &MemoryReader::read, nullptr, &MemoryReader::seek);
        if (!io_) {
            av_free(buffer);
            fail("out of memory");
        }
        context_ = avformat_alloc_context();
        if (!context_) fail("out of memory");
        context_->pb = io_;
        context_->flags |= AVFMT_FLAG_CUSTOM_IO;
        const AVInputFormat* mp4 = av_find_input_format("mov");
        if (!mp4) fail("FFmpeg has no MP4 demuxer");
        // On failure FFmpeg frees the context (not our reader) and clears the pointer.
        const int error = avformat_open_input(&context_, nullptr, mp4, nullptr);
        if (error < 0) fail("it is not an M4A file", error);
    }
    void release() {
        avformat_close_input(&context_);
        if (io_) av_freep(&io_->buffer);
        avio_context_free(&io_);
    }

    MemoryReader reader_;
    AVIOContext* io_ = nullptr;
    AVFormatContext* context_ = nullptr;
};

// Converts decoded frames to interleaved 16-bit stereo at 44.1 kHz, whatever they came as.
class Converter {
public:
    void convert(const AVFrame* frame, int16_t* out, int64_t& written, int64_t capacity) {
        if (!resampler_ || frame->format != format_ || frame->sample_rate != rate_ ||
            av_channel_layout_compare(&frame->ch_layout, &sourceLayout_) != 0) {
            flush(out, written, capacity);
            setUp(frame);
        }
        push(frame->extended_data, frame->nb_samples, out, written, capacity);
    }
    void flush(int16_t* out, int64_t& written, int64_t capacity) {
        if (resampler_) push(nullptr, 0, out, written, capacity);
    }
    ~Converter() {
        av_channel_layout_uninit(&layout_);
        av_channel_layout_uninit(&sourceLayout_);
    }

private:
    void setUp(const AVFrame* frame) {
        av_channel_layout_uninit(&layout_);
        av_channel_layout_uninit(&sourceLayout_);
        if (av_channel_layout_copy(&sourceLayout_, &frame->ch_layout) < 0) fail("out of memory");
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels <= 0)
            av_channel_layout_default(&layout_, std::max(frame->ch_layout.nb_channels, 1));
        else if (av_channel_layout_copy(&layout_, &frame->ch_layout) < 0) fail("out of memory");
        format_ = frame->format;
        rate_ = frame->sample_rate;
        if (rate_ <= 0) fail("the audio has no sample rate");
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        SwrContext* raw = nullptr;
        int error = swr_alloc_set_opts2(&raw, &stereo, AV_SAMPLE_FMT_S16, static_cast<int>(TapeClock::framesPerSecond),
                                        &layout_, static_cast<AVSampleFormat>(format_), rate_, 0, nullptr);
        resampler_.reset(raw);
        if (error >= 0) error = swr_init(resampler_.get());
        if (error < 0) fail("its format cannot be converted", error);
    }
    void push(const uint8_t* const* input, int frames, int16_t* out, int64_t& written, int64_t capacity) {
        for (;;) {
            const int room = static_cast<int>(std::min<int64_t>(capacity - written, 1 << 20));
            if (room <= 0) return;  // the side is full; the rest is cut
            uint8_t* target = reinterpret_cast<uint8_t*>(out + written * 2);
            const int n = swr_convert(resampler_.get(), &target, room, const_cast<const uint8_t**>(input), frames);
            if (n < 0) fail("its format cannot be converted", n);
            written += n;
            if (input || n == 0) return;  // flushing goes on until nothing is left
        }
    }

    Resampler resampler_;
    AVChannelLayout sourceLayout_{};  // as the frames announce it
    AVChannelLayout layout_{};        // as the resampler takes it (a count alone becomes the default layout)
    int format_ = -1;
    int rate_ = 0;
};

}  // namespace

int64_t AacSideDecoder::decode(const FileData& m4a, int16_t* out, int64_t capacity,
                               const std::function<void(int64_t)>& progress) {
    return decode(m4a.span(), out, capacity, progress);
}

int64_t AacSideDecoder::decode(std::span<const uint8_t> m4a, int16_t* out, int64_t capacity,
                               const std::function<void(int64_t)>& progress) {
    quietLogging();
    if (m4a.empty()) fail("the audio entry is empty");
    Input input(m4a);
    AVFormatContext* container = input.get();
    const int streamIndex = av_find_best_stream(container, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (streamIndex < 0) fail("there is no audio in it");
    const AVStream* stream = container->streams[streamIndex];
    if (stream->codecpar->codec_id != AV_CODEC_ID_AAC) fail("the audio is not AAC");
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_AAC);
    if (!codec) fail("FFmpeg has no AAC decoder");
    CodecContext decoder(avcodec_alloc_context3(codec));
    if (!decoder) fail("out of memory");
    int error = avcodec_parameters_to_context(decoder.get(), stream->codecpar);
    if (error < 0) fail("its AAC audio cannot be decoded", error);
    decoder->pkt_timebase = stream->time_base;
    error = avcodec_open2(decoder.get(), codec, nullptr);
    if (error < 0) fail("its AAC audio cannot be decoded", error);
    // Keep what the stream's lists announce for the decoder alone.
    for (unsigned i = 0; i < container->nb_streams; ++i)
        if (static_cast<int>(i) != streamIndex) container->streams[i]->discard = AVDISCARD_ALL;

    Packet packet(av_packet_alloc());
    Frame frame(av_frame_alloc());
    if (!packet || !frame) fail("out of memory");
    Converter converter;
    int64_t written = 0;
    int lastError = 0;
    bool decodedAny = false;

    auto receive = [&] {
        for (;;) {
            const int result = avcodec_receive_frame(decoder.get(), frame.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
            if (result < 0) {
                lastError = result;
                return;
            }
            decodedAny = true;
            converter.convert(frame.get(), out, written, capacity);
            av_frame_unref(frame.get());
        }
    };

    while (written < capacity) {
        error = av_read_frame(container, packet.get());
        if (error == AVERROR_EOF) break;
        if (error < 0) {
            // A damaged stretch after good audio keeps what was decoded; nothing decoded fails below.
            lastError = error;
            break;
        }
        if (packet->stream_index == streamIndex) {
            // A damaged packet is skipped like a dropout; the rest of the side still plays.
            const int sent = avcodec_send_packet(decoder.get(), packet.get());
            if (sent < 0 && sent != AVERROR(EAGAIN)) lastError = sent;
            else receive();
        }
        av_packet_unref(packet.get());
        if (progress) progress(written);
    }
    if (avcodec_send_packet(decoder.get(), nullptr) >= 0) receive();
    converter.flush(out, written, capacity);
    if (!decodedAny) {
        if (lastError < 0) fail("its audio data is damaged", lastError);
        fail("there is no audio in it");
    }
    return written;
}

}  // namespace norvo
