#include "AudioEngine/AudioFileDecoder.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "AudioEngine/FFmpegLog.hpp"
#include "AudioEngine/NorvoAudioError.hpp"
#include "Platform/RegularFile.hpp"
#include "Platform/ShownName.hpp"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace norvo {

namespace {

// Containers the player accepts. Restricting the demuxers keeps hostile files away
// from the rarely used parsers FFmpeg would otherwise probe them with.
constexpr const char* allowedFormats = "mp3,wav,aiff,mov,flac,caf";

// Decoded before a seek target so that decoders with inter-frame state (MP3's bit
// reservoir, AAC's overlap) are settled when the first kept frame comes out.
constexpr int64_t seekPrerollSeconds = 1;
constexpr int maximumDamagedPackets = 64;
// A decoded packet is resampled whole, into 44100 / rate times as many frames: a header
// claiming a rate of a few hertz would turn one packet of a tiny file into gigabytes.
// No real recording runs this slow.
constexpr int minimumSampleRate = 1000;

std::string errorText(int code) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buffer, sizeof buffer);
    return buffer;
}

// The file's name as it stands in a sentence: its bytes escaped where they are not plain text.
std::string displayName(const std::filesystem::path& file) { return ShownName::inSentence(file.filename().string()); }

// The library's own words stay out of the sentence a user reads; they go to the log.
void logDetail(const std::string& sentence, int code) {
    std::fprintf(stderr, "norvo: %s: %s\n", sentence.c_str(), errorText(code).c_str());
}

NorvoAudioError unreadable(const std::filesystem::path& file, int code) {
    const std::string sentence = displayName(file) + " cannot be read as audio";
    logDetail(sentence, code);
    return NorvoAudioError::unsupportedFormat(sentence);
}

// The demuxer reads through the descriptor that was checked to be a regular file, never
// by opening the path again: whatever is at the path by then is not what was checked.
class FormatHandle {
public:
    FormatHandle() = default;
    explicit FormatHandle(RegularFile file) : file_(std::move(file)) {}

    AVFormatContext* get() const { return format_.get(); }
    AVFormatContext* operator->() const { return format_.get(); }

    // Opens the demuxer on the file; FFmpeg's error code on failure.
    int open(const std::string& url, AVDictionary** options) {
        constexpr int bufferSize = 1 << 16;
        auto* buffer = static_cast<unsigned char*>(av_malloc(bufferSize));
        if (!buffer) return AVERROR(ENOMEM);
        // The descriptor itself is the opaque value: it stays the same when this moves.
        void* opaque = reinterpret_cast<void*>(static_cast<intptr_t>(file_.descriptor()));
        io_.reset(avio_alloc_context(buffer, bufferSize, 0, opaque, &readPacket, nullptr, &seek));
        if (!io_) {
            av_free(buffer);
            return AVERROR(ENOMEM);
        }
        format_.reset(avformat_alloc_context());
        if (!format_) return AVERROR(ENOMEM);
        format_->pb = io_.get();
        format_->flags |= AVFMT_FLAG_CUSTOM_IO;
        // The name only guides the probe by its extension; nothing opens it. On failure
        // FFmpeg frees the context itself.
        AVFormatContext* format = format_.release();
        const int opened = avformat_open_input(&format, url.c_str(), nullptr, options);
        if (opened >= 0) format_.reset(format);
        return opened;
    }

private:
    static int descriptor(void* opaque) { return static_cast<int>(reinterpret_cast<intptr_t>(opaque)); }

    static int readPacket(void* opaque, uint8_t* buffer, int size) {
        for (;;) {
            const ssize_t n = ::read(descriptor(opaque), buffer, static_cast<std::size_t>(size));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return AVERROR(errno);
            if (n == 0) return AVERROR_EOF;
            return static_cast<int>(n);
        }
    }

    static int64_t seek(void* opaque, int64_t offset, int whence) {
        const int fd = descriptor(opaque);
        if (whence & AVSEEK_SIZE) {
            struct stat info {};
            return ::fstat(fd, &info) == 0 ? static_cast<int64_t>(info.st_size) : AVERROR(errno);
        }
        const off_t at = ::lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
        return at < 0 ? AVERROR(errno) : static_cast<int64_t>(at);
    }

    struct CloseIO {
        void operator()(AVIOContext* io) const {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    };
    struct CloseFormat {
        void operator()(AVFormatContext* format) const { avformat_close_input(&format); }
    };

    // Destroyed in reverse: the demuxer, then its reader, then the file FFmpeg let go of.
    RegularFile file_;
    std::unique_ptr<AVIOContext, CloseIO> io_;
    std::unique_ptr<AVFormatContext, CloseFormat> format_;
};

FormatHandle openFormat(const std::filesystem::path& file) {
    // Only a regular file: a FIFO or a device would hold the opening thread forever.
    RegularFile opened(file);
    if (!opened.isOpen()) throw NorvoAudioError::fileUnavailable(displayName(file) + " " + opened.reason() + ".");
    FormatHandle format(std::move(opened));
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", allowedFormats, 0);
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    // "file:" keeps a colon in a relative name from being read as a protocol.
    const std::string url = "file:" + std::filesystem::absolute(file).string();
    const int result = format.open(url, &options);
    av_dict_free(&options);
    if (result < 0) throw unreadable(file, result);
    const int found = avformat_find_stream_info(format.get(), nullptr);
    if (found < 0) throw unreadable(file, found);
    return format;
}

int findAudioStream(AVFormatContext* format, const std::filesystem::path& file) {
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0) throw NorvoAudioError::unsupportedFormat(displayName(file) + " holds no audio");
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (static_cast<int>(i) != index) format->streams[i]->discard = AVDISCARD_ALL;
    return index;
}

int64_t streamStart(const AVStream* stream) { return stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time; }

// Source samples as the container declares them; nothing when it does not.
std::optional<int64_t> declaredSamples(const AVFormatContext* format, const AVStream* stream, int rate) {
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        // An MP3's stream duration counts the encoder delay that start_time skips.
        const int64_t ticks = stream->duration - std::max<int64_t>(0, streamStart(stream));
        return av_rescale_q(ticks, stream->time_base, AVRational{1, rate});
    }
    if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        return av_rescale(format->duration, rate, AV_TIME_BASE);
    return std::nullopt;
}

// MP3 headers give the length with the encoder's padding (or only a bitrate estimate);
// the packets themselves, with the demuxer's gapless trimming, give it exactly.
// Reads headers only, no decoding.
std::optional<int64_t> scannedSamples(AVFormatContext* format, int streamIndex, int rate,
                                      const std::atomic<bool>* cancelled) {
    const AVStream* stream = format->streams[streamIndex];
    AVPacket* packet = av_packet_alloc();
    if (!packet) return std::nullopt;
    int64_t ticks = 0;
    int64_t trimmed = 0;
    bool complete = true;
    while (av_read_frame(format, packet) >= 0) {
        // A long file takes a while to read through; whoever asked may stop waiting.
        if (cancelled && cancelled->load(std::memory_order_relaxed)) {
            av_packet_unref(packet);
            complete = false;
            break;
        }
        if (packet->stream_index == streamIndex) {
            if (packet->duration <= 0) complete = false;
            ticks += packet->duration;
            size_t size = 0;
            const uint8_t* skip = av_packet_get_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
            if (skip && size >= 8) trimmed += int64_t(AV_RL32(skip)) + int64_t(AV_RL32(skip + 4));
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    if (!complete || ticks <= 0) return std::nullopt;
    return std::max<int64_t>(0, av_rescale_q(ticks, stream->time_base, AVRational{1, rate}) - trimmed);
}

int64_t toOutputFrames(int64_t sourceSamples, int rate) {
    return av_rescale_rnd(sourceSamples, AudioFileDecoder::outputRate, rate, AV_ROUND_NEAR_INF);
}

bool isMP3(const AVFormatContext* format) { return std::strcmp(format->iformat->name, "mp3") == 0; }

struct Duration {
    int64_t frames = 0;
    bool exact = false;  // counted or declared by the container, not estimated
};

// What the headers say, without reading the file through.
std::optional<Duration> declaredDuration(const AVFormatContext* format, int streamIndex) {
    const AVStream* stream = format->streams[streamIndex];
    const int rate = stream->codecpar->sample_rate;
    if (rate <= 0) return std::nullopt;
    const auto samples = declaredSamples(format, stream, rate);
    if (!samples) return std::nullopt;
    // An MP3 header counts the encoder's padding, or guesses from the bitrate; a CAF's
    // packet table may count whole packets of a compressed codec.
    const bool exact = !isMP3(format) && std::strcmp(format->iformat->name, "caf") != 0 &&
                       format->duration_estimation_method == AVFMT_DURATION_FROM_STREAM;
    return Duration{toOutputFrames(*samples, rate), exact};
}

}  // namespace

struct AudioFileDecoder::Context {
    std::filesystem::path file;
    FormatHandle format;
    AVStream* stream = nullptr;
    int streamIndex = -1;
    AVCodecContext* codec = nullptr;
    SwrContext* resampler = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;

    // What the resampler was set up for; a stream that changes format mid-way rebuilds it.
    int inputRate = 0;
    int inputFormat = -1;
    AVChannelLayout inputLayout{};  // as the decoder reports it, possibly unspecified
    bool rateChanged = false;
    std::vector<const uint8_t*> inputPlanes;

    int64_t duration = 0;
    bool durationExact = false;
    // Decoders that leave the encoder's trailing padding in (AAC in MP4) stop here.
    std::optional<int64_t> endLimit;

    // Converted frames not yet read (at most one decoded frame's worth plus the flush).
    std::vector<float> pendingLeft, pendingRight;
    std::size_t pendingStart = 0, pendingCount = 0;

    int64_t position = 0;                  // output frame the next read delivers
    int64_t outputBase = 0;                // output frame where the resampler's current run began
    int64_t outputProduced = 0;            // output frames produced since outputBase
    int64_t outputSkip = 0;                // produced frames still to drop before the seek target
    int64_t sourceBase = 0;                // source sample matching outputBase
    int64_t sourceFed = 0;                 // source samples given to the resampler since sourceBase
    std::optional<int64_t> discardBefore;  // source sample to discard up to after a seek
    int64_t nextSourceIndex = 0;           // for frames that carry no timestamp
    bool demuxEnded = false;
    bool finished = false;
    bool decodedAnything = false;
    int damagedPackets = 0;

    ~Context() {
        av_frame_free(&frame);
        av_packet_free(&packet);
        swr_free(&resampler);
        avcodec_free_context(&codec);
        av_channel_layout_uninit(&inputLayout);
    }

    std::string name() const { return displayName(file); }

    void open() {
        format = openFormat(file);
        streamIndex = findAudioStream(format.get(), file);
        stream = format->streams[streamIndex];
        const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
        if (!decoder) {
            const std::string sentence = "the audio in " + name() + " is in a format that cannot be decoded";
            std::fprintf(stderr, "norvo: %s: no decoder for %s\n", sentence.c_str(),
                         avcodec_get_name(stream->codecpar->codec_id));
            throw NorvoAudioError::unsupportedFormat(sentence);
        }
        codec = avcodec_alloc_context3(decoder);
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        if (!codec || !packet || !frame) throw NorvoAudioError::conversionFailed("out of memory");
        if (avcodec_parameters_to_context(codec, stream->codecpar) < 0)
            throw NorvoAudioError::unsupportedFormat("the audio in " + name() + " cannot be decoded");
        codec->pkt_timebase = stream->time_base;
        // Lossless decoders are heavy per frame and decode frames independently: one frame
        // thread per core keeps the stream ahead of the render even on a loaded machine,
        // bounded so that a many-core machine does not start dozens per stream.
        if (decoder->capabilities & AV_CODEC_CAP_FRAME_THREADS) {
            codec->thread_type = FF_THREAD_FRAME;
            codec->thread_count = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 16u));
        } else {
            codec->thread_count = 1;
        }
        const int opened = avcodec_open2(codec, decoder, nullptr);
        if (opened < 0) {
            const std::string sentence = "the audio in " + name() + " cannot be decoded";
            logDetail(sentence, opened);
            throw NorvoAudioError::unsupportedFormat(sentence);
        }
        if (codec->sample_rate <= 0 || codec->ch_layout.nb_channels <= 0)
            throw NorvoAudioError::unsupportedFormat(name() + " declares no sample rate or channels");
        if (codec->sample_rate < minimumSampleRate)
            throw NorvoAudioError::unsupportedFormat(name() + " declares a sample rate of " +
                                                     std::to_string(codec->sample_rate) + " Hz");
        setUpResampler(codec->sample_rate, codec->sample_fmt, codec->ch_layout);
        if (const auto known = declaredDuration(format.get(), streamIndex)) {
            duration = known->frames;
            durationExact = known->exact;
            if (known->exact) endLimit = known->frames;
        }
    }

    void setUpResampler(int rate, int sampleFormat, const AVChannelLayout& reported) {
        if (rate < minimumSampleRate)
            throw NorvoAudioError::conversionFailed("the audio of " + name() + " changes to a sample rate of " +
                                                    std::to_string(rate) + " Hz");
        AVChannelLayout layout{};
        av_channel_layout_copy(&layout, &reported);
        av_channel_layout_uninit(&inputLayout);
        inputLayout = layout;
        AVChannelLayout input{};
        if (layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&layout) == 0)
            av_channel_layout_default(&input, layout.nb_channels);
        else av_channel_layout_copy(&input, &layout);
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        swr_free(&resampler);
        int status = swr_alloc_set_opts2(&resampler, &stereo, AV_SAMPLE_FMT_FLTP, outputRate, &input,
                                         static_cast<AVSampleFormat>(sampleFormat), rate, 0, nullptr);
        if (status >= 0 && input.nb_channels == 1) {
            // The default mono mix puts each side 3 dB down; mono should sound as loud as it is.
            const double matrix[2] = {1.0, 1.0};
            status = swr_set_matrix(resampler, matrix, 1);
        }
        if (status >= 0) status = swr_init(resampler);
        if (status < 0) {
            av_channel_layout_uninit(&input);
            throw NorvoAudioError::conversionFailed("cannot convert " + std::to_string(rate) + " Hz " +
                                                    std::to_string(layout.nb_channels) +
                                                    "-channel audio to 44100 Hz stereo");
        }
        av_channel_layout_uninit(&input);
        if (inputRate != 0 && inputRate != rate) rateChanged = true;
        inputRate = rate;
        inputFormat = sampleFormat;
    }

    void reserve(std::size_t frames) {
        if (pendingLeft.size() < frames) {
            pendingLeft.resize(frames);
            pendingRight.resize(frames);
        }
    }

    // Runs the resampler and appends its output to the (empty) pending buffer.
    void convert(const uint8_t** input, int count) {
        const int capacity = swr_get_out_samples(resampler, count);
        if (capacity < 0) throw NorvoAudioError::conversionFailed("the resampler failed on " + name());
        reserve(pendingStart + pendingCount + static_cast<std::size_t>(capacity));
        uint8_t* output[2] = {reinterpret_cast<uint8_t*>(pendingLeft.data() + pendingStart + pendingCount),
                              reinterpret_cast<uint8_t*>(pendingRight.data() + pendingStart + pendingCount)};
        const int produced = swr_convert(resampler, output, capacity, input, count);
        if (produced < 0) throw NorvoAudioError::conversionFailed("the resampler failed on " + name());
        silenceNonFinite(reinterpret_cast<float*>(output[0]), produced);
        silenceNonFinite(reinterpret_cast<float*>(output[1]), produced);
        pendingCount += static_cast<std::size_t>(produced);
        outputProduced += produced;
        dropSkipped();
    }

    // A float file can hold NaN or infinity; past the decoder they would reach the
    // device as full-scale noise (and turn the crossfade's zero gain into NaN).
    static void silenceNonFinite(float* samples, int count) {
        for (int i = 0; i < count; ++i)
            if (!std::isfinite(samples[i])) samples[i] = 0.0f;
    }

    void dropSkipped() {
        const auto dropped = std::min<std::size_t>(pendingCount, std::size_t(outputSkip));
        pendingStart += dropped;
        pendingCount -= dropped;
        outputSkip -= int64_t(dropped);
    }

    bool atEnd() const { return (finished && pendingCount == 0) || (endLimit && position >= *endLimit); }

    void takeFrame() {
        decodedAnything = true;
        if (frame->sample_rate != inputRate || frame->format != inputFormat ||
            av_channel_layout_compare(&frame->ch_layout, &inputLayout) != 0)
            setUpResampler(frame->sample_rate, frame->format, frame->ch_layout);
        const int count = frame->nb_samples;
        int64_t index = nextSourceIndex;
        if (frame->best_effort_timestamp != AV_NOPTS_VALUE)
            index = av_rescale_q(frame->best_effort_timestamp - streamStart(stream), stream->time_base,
                                 AVRational{1, inputRate});
        nextSourceIndex = index + count;

        int skip = 0;
        if (discardBefore) {
            if (index + count <= *discardBefore) return;
            skip = static_cast<int>(std::clamp<int64_t>(*discardBefore - index, 0, count));
            discardBefore.reset();
        }
        const int bytes = av_get_bytes_per_sample(static_cast<AVSampleFormat>(frame->format));
        const int channels = frame->ch_layout.nb_channels;
        const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame->format));
        inputPlanes.resize(planar ? std::size_t(channels) : 1);
        for (std::size_t c = 0; c < inputPlanes.size(); ++c)
            inputPlanes[c] = frame->extended_data[c] + std::size_t(skip) * bytes * (planar ? 1 : channels);
        convert(inputPlanes.data(), count - skip);
        sourceFed += count - skip;
    }

    // Flushes the resampler and makes the total exactly what the source length gives,
    // so a file decodes to the same frame count however it is resampled.
    void finish() {
        convert(nullptr, 0);
        if (!rateChanged) {
            const int64_t expectedEnd = toOutputFrames(sourceBase + sourceFed, inputRate);
            const int64_t difference = expectedEnd - (outputBase + outputProduced);
            if (difference < 0) {
                const int64_t trim = std::min<int64_t>(-difference, int64_t(pendingCount));
                pendingCount -= std::size_t(trim);
                outputProduced -= trim;
            } else if (difference > 0 && difference <= outputRate) {
                reserve(pendingStart + pendingCount + std::size_t(difference));
                std::fill_n(pendingLeft.begin() + std::ptrdiff_t(pendingStart + pendingCount), difference, 0.0f);
                std::fill_n(pendingRight.begin() + std::ptrdiff_t(pendingStart + pendingCount), difference, 0.0f);
                pendingCount += std::size_t(difference);
                outputProduced += difference;
            }
        }
        dropSkipped();
        finished = true;
    }

    // Decodes until the pending buffer holds frames or the file ends.
    void decodeMore() {
        pendingStart = 0;
        while (pendingCount == 0 && !finished) {
            const int received = avcodec_receive_frame(codec, frame);
            if (received == 0) {
                damagedPackets = 0;
                takeFrame();
                av_frame_unref(frame);
                continue;
            }
            if (received == AVERROR_EOF) {
                if (!decodedAnything) throw NorvoAudioError::conversionFailed(name() + " holds no decodable audio");
                finish();
                continue;
            }
            if (received == AVERROR_INVALIDDATA) {
                // A damaged packet (often the torn last one of a cut file): skip it.
                if (++damagedPackets > maximumDamagedPackets)
                    throw NorvoAudioError::conversionFailed("the audio data of " + name() + " is damaged");
                continue;
            }
            if (received != AVERROR(EAGAIN)) {
                const std::string sentence = "the audio of " + name() + " cannot be decoded";
                logDetail(sentence, received);
                throw NorvoAudioError::conversionFailed(sentence);
            }
            if (demuxEnded) {
                // The decoder wants input that will not come; treat it as the end.
                avcodec_send_packet(codec, nullptr);
                continue;
            }
            const int read = av_read_frame(format.get(), packet);
            if (read < 0) {
                // End of file, or a truncated one: play what could be read.
                demuxEnded = true;
                avcodec_send_packet(codec, nullptr);
                continue;
            }
            if (packet->stream_index == streamIndex) {
                const int sent = avcodec_send_packet(codec, packet);
                if (sent < 0 && sent != AVERROR(EAGAIN) && ++damagedPackets > maximumDamagedPackets)
                    throw NorvoAudioError::conversionFailed("the audio data of " + name() + " is damaged");
            }
            av_packet_unref(packet);
        }
    }

    void seek(int64_t target) {
        target = std::max<int64_t>(0, target);
        // The resampler restarts on a source sample where its phase is zero, a little
        // before the target, and the frames up to the target are dropped: the kept frames
        // then come out exactly as in a decode from the start.
        const int64_t common = std::gcd<int64_t>(inputRate, outputRate);
        const int64_t sourcePeriod = inputRate / common;
        const int64_t outputPeriod = outputRate / common;
        const int64_t settle = inputRate == outputRate ? 0 : 64;
        const int64_t wanted =
            std::max<int64_t>(0, av_rescale_rnd(target, inputRate, outputRate, AV_ROUND_DOWN) - settle);
        const int64_t runStart = wanted / sourcePeriod * sourcePeriod;

        const int64_t seekSample = std::max<int64_t>(0, runStart - seekPrerollSeconds * inputRate);
        const int64_t seekTicks =
            av_rescale_q(seekSample, AVRational{1, inputRate}, stream->time_base) + streamStart(stream);
        int sought = avformat_seek_file(format.get(), streamIndex, INT64_MIN, seekTicks, seekTicks, 0);
        if (sought < 0) sought = avformat_seek_file(format.get(), streamIndex, INT64_MIN, 0, 0, AVSEEK_FLAG_BYTE);
        if (sought < 0) {
            const std::string sentence = name() + " cannot be positioned";
            logDetail(sentence, sought);
            throw NorvoAudioError::conversionFailed(sentence);
        }
        avcodec_flush_buffers(codec);
        AVChannelLayout layout{};
        av_channel_layout_copy(&layout, &inputLayout);
        setUpResampler(inputRate, inputFormat, layout);
        av_channel_layout_uninit(&layout);
        rateChanged = false;
        pendingStart = pendingCount = 0;
        position = target;
        outputBase = runStart / sourcePeriod * outputPeriod;
        outputProduced = 0;
        outputSkip = target - outputBase;
        sourceBase = runStart;
        sourceFed = 0;
        discardBefore = runStart;
        nextSourceIndex = seekSample;
        demuxEnded = finished = false;
        damagedPackets = 0;
    }
};

AudioFileDecoder::AudioFileDecoder(const std::filesystem::path& file) : context_(std::make_unique<Context>()) {
    FFmpegLog::quiet();
    context_->file = file;
    context_->open();
}

AudioFileDecoder::~AudioFileDecoder() = default;

std::optional<int64_t> AudioFileDecoder::probeDuration(const std::filesystem::path& file) {
    return probeDuration(file, nullptr);
}

std::optional<int64_t> AudioFileDecoder::probeDuration(const std::filesystem::path& file,
                                                       const std::atomic<bool>* cancelled) {
    FFmpegLog::quiet();
    try {
        FormatHandle format = openFormat(file);
        const int index = findAudioStream(format.get(), file);
        const int rate = format->streams[index]->codecpar->sample_rate;
        if (rate < minimumSampleRate) return std::nullopt;  // the decoder refuses it too
        if (isMP3(format.get())) {
            if (const auto samples = scannedSamples(format.get(), index, rate, cancelled))
                return toOutputFrames(*samples, rate);
            if (cancelled && cancelled->load(std::memory_order_relaxed)) return std::nullopt;
        }
        if (const auto known = declaredDuration(format.get(), index)) return known->frames;
        return std::nullopt;
    } catch (const NorvoAudioError&) {
        return std::nullopt;
    }
}

int64_t AudioFileDecoder::durationFrames() const { return context_->duration; }
bool AudioFileDecoder::isDurationExact() const { return context_->durationExact; }
int AudioFileDecoder::sourceSampleRate() const { return context_->codec->sample_rate; }
int AudioFileDecoder::sourceChannels() const { return context_->codec->ch_layout.nb_channels; }
int64_t AudioFileDecoder::position() const { return context_->position; }
void AudioFileDecoder::seek(int64_t frame) { context_->seek(frame); }
bool AudioFileDecoder::isAtEnd() const { return context_->atEnd(); }

int AudioFileDecoder::read(float* left, float* right, int frames) {
    Context& c = *context_;
    if (c.endLimit) frames = static_cast<int>(std::clamp<int64_t>(*c.endLimit - c.position, 0, frames));
    int delivered = 0;
    while (delivered < frames) {
        if (c.pendingCount == 0) {
            if (c.finished) break;
            c.decodeMore();
            continue;
        }
        const int n = static_cast<int>(std::min<std::size_t>(c.pendingCount, std::size_t(frames - delivered)));
        std::memcpy(left + delivered, c.pendingLeft.data() + c.pendingStart, std::size_t(n) * sizeof(float));
        std::memcpy(right + delivered, c.pendingRight.data() + c.pendingStart, std::size_t(n) * sizeof(float));
        c.pendingStart += std::size_t(n);
        c.pendingCount -= std::size_t(n);
        delivered += n;
    }
    c.position += delivered;
    return delivered;
}

}  // namespace norvo
