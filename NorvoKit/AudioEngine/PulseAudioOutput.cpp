#include "AudioEngine/PulseAudioOutput.hpp"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "AudioEngine/AudioRenderer.hpp"
#include "AudioEngine/RealTimeThread.hpp"
#include "AudioEngine/TapeClock.hpp"

namespace norvo {

namespace {

constexpr pa_sample_spec sampleSpec{PA_SAMPLE_FLOAT32NE, uint32_t(TapeClock::sampleRate), 2};
constexpr size_t frameBytes = 2 * sizeof(float);

pa_usec_t microseconds(std::chrono::milliseconds span) {
    return pa_usec_t(std::chrono::duration_cast<std::chrono::microseconds>(span).count());
}

std::string reason(pa_context* context) { return pa_strerror(pa_context_errno(context)); }

// A deadline on the client library's thread, for waits on it that have none of their own.
struct Deadline {
    Deadline(pa_threaded_mainloop* mainloop, pa_context* context, std::chrono::milliseconds span)
        : mainloop(mainloop), api(pa_threaded_mainloop_get_api(mainloop)) {
        event = pa_context_rttime_new(context, pa_rtclock_now() + microseconds(span), &Deadline::due, this);
    }
    ~Deadline() {
        if (event) api->time_free(event);
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

    static void due(pa_mainloop_api*, pa_time_event*, const timeval*, void* user) {
        auto* self = static_cast<Deadline*>(user);
        self->passed = true;
        pa_threaded_mainloop_signal(self->mainloop, 0);
    }

    pa_threaded_mainloop* mainloop;
    pa_mainloop_api* api;
    pa_time_event* event = nullptr;
    bool passed = false;
};

}  // namespace

PulseAudioOutput::PulseAudioOutput(AudioRenderer& renderer) : renderer_(renderer) {}

PulseAudioOutput::~PulseAudioOutput() { stop(); }

bool PulseAudioOutput::isRunning() const {
    std::lock_guard guard(control_);
    return running_ && !ended_.load(std::memory_order_acquire);
}

void PulseAudioOutput::start() {
    std::lock_guard guard(control_);
    if (running_) return;
    try {
        connect();
    } catch (...) {
        close();
        throw;
    }
    running_ = true;
}

void PulseAudioOutput::stop() {
    std::lock_guard guard(control_);
    running_ = false;
    close();
}

PulseAudioOutput::Server PulseAudioOutput::probe(std::chrono::milliseconds timeout) {
    pa_mainloop* loop = pa_mainloop_new();
    if (!loop) return Server::none;
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Norvo Studio");
    Server server = Server::none;
    if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        server = Server::silent;
        for (;;) {
            const pa_context_state_t state = pa_context_get_state(context);
            if (state == PA_CONTEXT_READY) {
                server = Server::answers;
                break;
            }
            if (!PA_CONTEXT_IS_GOOD(state)) {
                server = Server::none;
                break;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            if (pa_mainloop_prepare(loop, int(microseconds(left))) < 0 || pa_mainloop_poll(loop) < 0 ||
                pa_mainloop_dispatch(loop) < 0)
                break;
        }
        pa_context_disconnect(context);
    }
    if (context) pa_context_unref(context);
    pa_mainloop_free(loop);
    return server;
}

void PulseAudioOutput::connect() {
    ended_ = false;
    threadPrepared_ = false;
    mainloop_ = pa_threaded_mainloop_new();
    if (!mainloop_) throw std::runtime_error("The sound server could not be reached.");
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Norvo Studio");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "org.norvo.Studio");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "org.norvo.Studio");
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
    context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(mainloop_), "Norvo Studio", properties);
    pa_proplist_free(properties);
    if (!context_) throw std::runtime_error("The sound server could not be reached.");
    pa_context_set_state_callback(context_, &PulseAudioOutput::contextChanged, this);
    // Never start a server of our own: without one, PortAudio plays.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        throw std::runtime_error("No sound server answers (" + reason(context_) + ").");
    if (pa_threaded_mainloop_start(mainloop_) < 0) throw std::runtime_error("The sound server could not be reached.");

    pa_threaded_mainloop_lock(mainloop_);
    // Unlocks the client library's thread on every way out.
    struct Unlock {
        pa_threaded_mainloop* mainloop;
        ~Unlock() { pa_threaded_mainloop_unlock(mainloop); }
    } unlock{mainloop_};
    Deadline deadline(mainloop_, context_, connectTimeout);

    pa_context_state_t state;
    while ((state = pa_context_get_state(context_)) != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(state) &&
           !deadline.passed)
        pa_threaded_mainloop_wait(mainloop_);
    if (state != PA_CONTEXT_READY) {
        if (deadline.passed) throw std::runtime_error("The sound server does not answer.");
        throw std::runtime_error("No sound server answers (" + reason(context_) + ").");
    }

    pa_channel_map channels;
    pa_channel_map_init_stereo(&channels);
    stream_ = pa_stream_new(context_, "Norvo Studio", &sampleSpec, &channels);
    if (!stream_) throw std::runtime_error("The sound server refused the stream (" + reason(context_) + ").");
    pa_stream_set_state_callback(stream_, &PulseAudioOutput::streamChanged, this);
    pa_stream_set_write_callback(stream_, &PulseAudioOutput::requested, this);
    pa_stream_set_underflow_callback(stream_, &PulseAudioOutput::underflowed, this);
    pa_buffer_attr buffer{};
    buffer.maxlength = uint32_t(-1);
    buffer.tlength = uint32_t(pa_usec_to_bytes(microseconds(targetLatency), &sampleSpec));
    buffer.prebuf = uint32_t(-1);
    buffer.minreq = uint32_t(-1);
    buffer.fragsize = uint32_t(-1);
    // The latency asked for is the whole way to the sound card, the server's buffer
    // included, so that a key or a knob is heard at once.
    if (pa_stream_connect_playback(stream_, nullptr, &buffer, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0)
        throw std::runtime_error("The sound server refused the stream (" + reason(context_) + ").");
    pa_stream_state_t streamState;
    while ((streamState = pa_stream_get_state(stream_)) != PA_STREAM_READY && PA_STREAM_IS_GOOD(streamState) &&
           !deadline.passed)
        pa_threaded_mainloop_wait(mainloop_);
    if (streamState != PA_STREAM_READY) {
        if (deadline.passed) throw std::runtime_error("The sound server does not answer.");
        throw std::runtime_error("The sound server refused the stream (" + reason(context_) + ").");
    }
}

void PulseAudioOutput::close() {
    if (!mainloop_) return;
    closing_ = true;
    pa_threaded_mainloop_lock(mainloop_);
    if (stream_) {
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
        // Tells a server that is there; one that has stopped learns when it wakes.
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    pa_threaded_mainloop_unlock(mainloop_);
    pa_threaded_mainloop_stop(mainloop_);
    pa_threaded_mainloop_free(mainloop_);
    mainloop_ = nullptr;
    closing_ = false;
}

// MARK: - The client library's thread

void PulseAudioOutput::contextChanged(pa_context* context, void* user) {
    auto* self = static_cast<PulseAudioOutput*>(user);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) self->ended();
    pa_threaded_mainloop_signal(self->mainloop_, 0);
}

void PulseAudioOutput::streamChanged(pa_stream* stream, void* user) {
    auto* self = static_cast<PulseAudioOutput*>(user);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) self->ended();
    pa_threaded_mainloop_signal(self->mainloop_, 0);
}

void PulseAudioOutput::ended() {
    // One that ends while it starts fails the start too; the renderer is told all the same.
    if (closing_.load(std::memory_order_acquire) || ended_.exchange(true, std::memory_order_acq_rel)) return;
    renderer_.noteOutputEnded();
}

void PulseAudioOutput::requested(pa_stream* stream, size_t bytes, void* user) {
    // Real-time: renders into the buffers made with the output and writes into the
    // server's shared memory; nothing here allocates, waits for a lock held elsewhere or
    // logs.
    auto* self = static_cast<PulseAudioOutput*>(user);
    if (!self->threadPrepared_) {
        self->threadPrepared_ = true;
        prepareRealTimeThread();
    }
    while (bytes >= frameBytes) {
        void* data = nullptr;
        size_t size = std::min(bytes, chunkFrames * frameBytes);
        if (pa_stream_begin_write(stream, &data, &size) < 0 || !data) return;
        const int frames = int(std::min({size, bytes, chunkFrames * frameBytes}) / frameBytes);
        if (frames == 0) {
            pa_stream_cancel_write(stream);
            return;
        }
        self->renderer_.render(frames, self->left_.data(), self->right_.data());
        auto* out = static_cast<float*>(data);
        for (int i = 0; i < frames; ++i) {
            out[2 * i] = self->left_[size_t(i)];
            out[2 * i + 1] = self->right_[size_t(i)];
        }
        if (pa_stream_write(stream, data, size_t(frames) * frameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
        bytes -= size_t(frames) * frameBytes;
    }
}

void PulseAudioOutput::underflowed(pa_stream*, void* user) {
    static_cast<PulseAudioOutput*>(user)->renderer_.noteOutputStatus({.underflow = true});
}

}  // namespace norvo
