#include "Cassette/AacSideEncoder.hpp"

#include <algorithm>

#include "AudioEngine/NorvoAudioError.hpp"
#include "AudioEngine/TapeClock.hpp"
#include "Cassette/CassetteFileError.hpp"
#include "Cassette/FFmpegSupport.hpp"

namespace norvo {

namespace {

using namespace ffmpeg;

[[noreturn]] void fail(const std::string& what, int error) {
    throw NorvoAudioError::conversionFailed(what + ": " + describe(error));
}

// The file cannot be written: a failure of the cassette's writing, not of the encoding.
// A full disk is named, so the user knows which one to make room on.
[[noreturn]] void failWriting(const std::filesystem::path& file, int error) {
    if (CassetteFileError::meansNoSpace(AVUNERROR(error))) throw CassetteFileError::noSpace(file.parent_path());
    throw CassetteFileError::writeFailed(describe(error));
}

// The output file; closes it, and when the encode did not finish removes it.
class Output {
public:
    explicit Output(const std::filesystem::path& file) : file_(file) {
        const int error = avformat_alloc_output_context2(&context_, nullptr, "ipod", file.c_str());
        if (error < 0 || !context_) fail("Cannot create an M4A container", error < 0 ? error : AVERROR(ENOMEM));
    }
    ~Output() {
        if (context_ && context_->pb) avio_closep(&context_->pb);
        avformat_free_context(context_);
        if (!finished_) {
            std::error_code ec;
            std::filesystem::remove(file_, ec);
        }
    }
    AVFormatContext* get() const { return context_; }
    void open() {
        const int error = avio_open(&context_->pb, file_.c_str(), AVIO_FLAG_WRITE);
        if (error < 0) failWriting(file_, error);
    }
    void finish() {
        int error = av_write_trailer(context_);
        if (error < 0) failWriting(file_, error);
        error = context_->pb->error;
        const int closeError = avio_closep(&context_->pb);
        if (error < 0 || closeError < 0) failWriting(file_, error < 0 ? error : closeError);
        finished_ = true;
    }
    // A write failed: the container's own error says why.
    [[noreturn]] void failWrite(int error) {
        failWriting(file_, context_->pb && context_->pb->error < 0 ? context_->pb->error : error);
    }

private:
    std::filesystem::path file_;
    AVFormatContext* context_ = nullptr;
    bool finished_ = false;
};

void drain(AVCodecContext* encoder, Output& output, AVStream* stream, AVPacket* packet) {
    for (;;) {
        int error = avcodec_receive_packet(encoder, packet);
        if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return;
        if (error < 0) fail("The AAC encoder failed", error);
        av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
        packet->stream_index = stream->index;
        error = av_write_frame(output.get(), packet);
        av_packet_unref(packet);
        if (error < 0) output.failWrite(error);
    }
}

}  // namespace

void AacSideEncoder::encode(const int16_t* frames, int64_t count, const std::filesystem::path& file,
                            const std::function<void(int64_t)>& progress, const std::atomic<bool>* cancelled) {
    quietLogging();
    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (!codec) throw NorvoAudioError::conversionFailed("FFmpeg has no AAC encoder");

    Output output(file);
    CodecContext encoder(avcodec_alloc_context3(codec));
    if (!encoder) fail("Cannot set up the AAC encoder", AVERROR(ENOMEM));
    encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
    encoder->sample_rate = static_cast<int>(TapeClock::framesPerSecond);
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_copy(&encoder->ch_layout, &stereo);
    encoder->bit_rate = bitRate;
    encoder->profile = FF_PROFILE_AAC_LOW;
    encoder->time_base = AVRational{1, encoder->sample_rate};
    if (output.get()->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int error = avcodec_open2(encoder.get(), codec, nullptr);
    if (error < 0) fail("Cannot open the AAC encoder", error);

    AVStream* stream = avformat_new_stream(output.get(), nullptr);
    if (!stream) fail("Cannot set up the M4A container", AVERROR(ENOMEM));
    error = avcodec_parameters_from_context(stream->codecpar, encoder.get());
    if (error < 0) fail("Cannot set up the M4A container", error);
    stream->time_base = encoder->time_base;
    output.open();
    error = avformat_write_header(output.get(), nullptr);
    if (error < 0) output.failWrite(error);

    const int blockFrames = encoder->frame_size > 0 ? encoder->frame_size : 1024;
    Frame frame(av_frame_alloc());
    Packet packet(av_packet_alloc());
    if (!frame || !packet) fail("Cannot set up the AAC encoder", AVERROR(ENOMEM));
    frame->format = encoder->sample_fmt;
    frame->sample_rate = encoder->sample_rate;
    av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout);
    frame->nb_samples = blockFrames;
    error = av_frame_get_buffer(frame.get(), 0);
    if (error < 0) fail("Cannot set up the AAC encoder", error);

    constexpr float scale = 1.0f / 32768.0f;
    for (int64_t at = 0; at < count; at += blockFrames) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            throw NorvoAudioError::conversionFailed("The encoding was cancelled");
        error = av_frame_make_writable(frame.get());
        if (error < 0) fail("The AAC encoder failed", error);
        const int n = static_cast<int>(std::min<int64_t>(blockFrames, count - at));
        frame->nb_samples = n;  // the last block may be short; the encoder pads it
        frame->pts = at;
        auto* left = reinterpret_cast<float*>(frame->data[0]);
        auto* right = reinterpret_cast<float*>(frame->data[1]);
        const int16_t* in = frames + at * 2;
        for (int i = 0; i < n; ++i) {
            left[i] = static_cast<float>(in[2 * i]) * scale;
            right[i] = static_cast<float>(in[2 * i + 1]) * scale;
        }
        error = avcodec_send_frame(encoder.get(), frame.get());
        if (error < 0) fail("The AAC encoder failed", error);
        drain(encoder.get(), output, stream, packet.get());
        if (progress) progress(at + n);
    }
    error = avcodec_send_frame(encoder.get(), nullptr);
    if (error < 0) fail("The AAC encoder failed", error);
    drain(encoder.get(), output, stream, packet.get());
    output.finish();
}

}  // namespace norvo
