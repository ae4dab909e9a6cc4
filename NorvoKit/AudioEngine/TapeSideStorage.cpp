#include "AudioEngine/TapeSideStorage.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "AudioEngine/NorvoAudioError.hpp"
#include "Platform/ShownName.hpp"

namespace norvo {

namespace {

std::string reason(int error) { return std::generic_category().message(error); }

std::string megabytes(int64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB"; }

// Scaled by 32767, rounded to nearest (ties to even), clamped; NaN is silence.
// Adding and taking away 1.5 * 2^23 rounds exactly in float arithmetic, as the
// vector path's conversion does under the default rounding mode.
inline int16_t toSample(float value) {
    constexpr float roundingBias = 12582912.0f;
    float s = value * 32767.0f;
    s = (s + roundingBias) - roundingBias;
    s = s == s ? s : 0.0f;
    s = std::min(std::max(-32768.0f, s), 32767.0f);
    return static_cast<int16_t>(static_cast<int32_t>(s));
}

// Converts and interleaves `frames` frames; returns how many it did (a multiple of 4).
// GCC does not vectorise the clamping selects of the scalar form, and this runs for
// every recorded buffer on the render thread.
int64_t interleaveVector(int16_t* out, const float* left, const float* right, int64_t frames) {
#if defined(__SSE2__)
    const __m128 scale = _mm_set1_ps(32767.0f);
    const __m128 low = _mm_set1_ps(-32768.0f);
    const __m128 high = _mm_set1_ps(32767.0f);
    auto convert = [&](__m128 v) {
        v = _mm_mul_ps(v, scale);
        v = _mm_and_ps(v, _mm_cmpord_ps(v, v));  // NaN becomes 0
        v = _mm_min_ps(_mm_max_ps(v, low), high);
        return _mm_cvtps_epi32(v);
    };
    int64_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        const __m128i packed = _mm_packs_epi32(convert(_mm_loadu_ps(left + i)), convert(_mm_loadu_ps(right + i)));
        const __m128i interleaved = _mm_unpacklo_epi16(packed, _mm_srli_si128(packed, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), interleaved);
    }
    return i;
#else
    (void)out;
    (void)left;
    (void)right;
    (void)frames;
    return 0;
#endif
}

}  // namespace

TapeSideStorage::TapeSideStorage(const std::filesystem::path& file, int64_t capacityFrames)
    : file_(file), capacity_(std::max<int64_t>(capacityFrames, 0)) {
    const std::string name = file_.filename().string();
    bool created = true;
    fd_ = ::open(file_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0 && errno == EEXIST) {
        created = false;
        fd_ = ::open(file_.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    }
    if (fd_ < 0)
        throw NorvoAudioError::storage("Cannot create the side file " + ShownName::inSentence(file_.string()) + ": " +
                                       reason(errno));

    const int64_t bytes = capacity_ * bytesPerFrame;
    auto fail = [&](const std::string& what, int error) {
        if (data_) ::munmap(data_, mappedBytes_);
        data_ = nullptr;
        ::close(fd_);
        fd_ = -1;
        if (created) ::unlink(file_.c_str());
        throw NorvoAudioError::storage(what + ": " + reason(error));
    };

    struct stat info {};
    if (::fstat(fd_, &info) == 0 && info.st_size > bytes && ::ftruncate(fd_, bytes) != 0)
        fail("Cannot resize the side file " + name, errno);

    // Reserve the blocks now, so a full disk is an error here and never a fault on
    // the render thread when it first touches a page.
    if (bytes > 0) {
        int error = ::posix_fallocate(fd_, 0, bytes);
        if (error == EOPNOTSUPP && ::ftruncate(fd_, bytes) != 0) error = errno;
        else if (error == EOPNOTSUPP) error = 0;
        if (error != 0) fail("Cannot reserve " + megabytes(bytes) + " on disk for " + name, error);

        void* mapped = ::mmap(nullptr, static_cast<std::size_t>(bytes), PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
        if (mapped == MAP_FAILED) fail("Cannot map the side file " + name, errno);
        data_ = static_cast<int16_t*>(mapped);
        mappedBytes_ = static_cast<std::size_t>(bytes);
    }
}

TapeSideStorage::~TapeSideStorage() {
    if (data_) ::munmap(data_, mappedBytes_);
    if (fd_ >= 0) ::close(fd_);
}

int64_t TapeSideStorage::write(int64_t at, const float* left, const float* right, int64_t frames) {
    if (at < 0 || at >= capacity_ || frames <= 0) return 0;
    const int64_t n = std::min(frames, capacity_ - at);
    int16_t* out = data_ + at * 2;
    for (int64_t i = interleaveVector(out, left, right, n); i < n; ++i) {
        out[2 * i] = toSample(left[i]);
        out[2 * i + 1] = toSample(right[i]);
    }
    return n;
}

void TapeSideStorage::read(int64_t at, float* left, float* right, int64_t frames) const {
    if (frames <= 0) return;
    // Frames before the start or past the end of the side are silence.
    const int64_t lead = std::clamp<int64_t>(-at, 0, frames);
    const int64_t first = at + lead;
    const int64_t available = first < capacity_ ? capacity_ - first : 0;
    const int64_t n = std::min(frames - lead, available);
    std::fill(left, left + lead, 0.0f);
    std::fill(right, right + lead, 0.0f);
    const int16_t* in = n > 0 ? data_ + first * 2 : nullptr;
    constexpr float scale = 1.0f / 32768.0f;
    for (int64_t i = 0; i < n; ++i) {
        left[lead + i] = static_cast<float>(in[2 * i]) * scale;
        right[lead + i] = static_cast<float>(in[2 * i + 1]) * scale;
    }
    std::fill(left + lead + n, left + frames, 0.0f);
    std::fill(right + lead + n, right + frames, 0.0f);
}

TapeSideStorage::ByteRange TapeSideStorage::pageAlignedBytes(int64_t startFrame, int64_t frameCount) const {
    if (!data_ || frameCount <= 0) return {};
    const int64_t start = std::clamp<int64_t>(startFrame, 0, capacity_);
    const int64_t end = start + std::min(frameCount, capacity_ - start);
    if (end <= start) return {};
    const auto page = static_cast<int64_t>(::getpagesize());
    return {start * bytesPerFrame / page * page, end * bytesPerFrame};
}

void TapeSideStorage::advise(int64_t startFrame, int64_t frameCount) const {
    const ByteRange bytes = pageAlignedBytes(startFrame, frameCount);
    if (bytes.empty()) return;
    // Only a hint: a failure changes nothing the caller could act on.
    ::madvise(reinterpret_cast<char*>(data_) + bytes.first, static_cast<std::size_t>(bytes.last - bytes.first),
              MADV_WILLNEED);
}

void TapeSideStorage::prepare(int64_t startFrame, int64_t frameCount, Access access) const {
    const ByteRange bytes = pageAlignedBytes(startFrame, frameCount);
    if (bytes.empty()) return;
    const int64_t firstByte = bytes.first, lastByte = bytes.last;
    char* const base = reinterpret_cast<char*>(data_);
    const auto length = static_cast<std::size_t>(lastByte - firstByte);
#if defined(MADV_POPULATE_WRITE)
    if (::madvise(base + firstByte, length, access == Access::write ? MADV_POPULATE_WRITE : MADV_POPULATE_READ) == 0)
        return;
#endif
    // Kernels before 5.14: touch one word per page. An atomic add of zero makes the page
    // writable without racing the render's own writes to it.
    const auto page = static_cast<int64_t>(::getpagesize());
    for (int64_t offset = firstByte; offset < lastByte; offset += page) {
        auto* word = reinterpret_cast<int32_t*>(base + offset);
        if (access == Access::write) __atomic_fetch_add(word, 0, __ATOMIC_RELAXED);
        else (void)__atomic_load_n(word, __ATOMIC_RELAXED);
    }
}

}  // namespace norvo
