#pragma once
#include <cstdint>
#include <filesystem>

namespace norvo {

// One side file of the workspace: interleaved 16-bit stereo frames, memory-mapped
// shared read/write. Reading and writing touch only mapped memory, but a page the render
// touches first, or one the system evicted, costs a page fault and possibly a disk read
// on the render thread: the render may call them only on a stretch that prepare() has
// made resident (the workspace's head follower keeps that stretch ahead of the head).
class TapeSideStorage {
public:
    // Two 16-bit samples a frame; the file holds capacity × bytesPerFrame bytes.
    static constexpr int64_t bytesPerFrame = 2 * static_cast<int64_t>(sizeof(int16_t));

    // Creates (or reuses) the file, reserves the disk space and maps it.
    // Throws NorvoAudioError (storage) on failure.
    TapeSideStorage(const std::filesystem::path& file, int64_t capacityFrames);
    ~TapeSideStorage();
    TapeSideStorage(const TapeSideStorage&) = delete;
    TapeSideStorage& operator=(const TapeSideStorage&) = delete;

    int64_t capacity() const { return capacity_; }
    const std::filesystem::path& file() const { return file_; }

    // Float to 16-bit: scaled by 32767, rounded to nearest, clamped; NaN is silence. Frames past the capacity are
    // dropped. Returns the frames written.
    int64_t write(int64_t at, const float* left, const float* right, int64_t frames);
    // Reads into float (sample / 32768); frames past the capacity read as silence.
    void read(int64_t at, float* left, float* right, int64_t frames) const;
    // Raw interleaved frames, for the container writer and reader.
    int16_t* frames() { return data_; }
    const int16_t* frames() const { return data_; }

    // Tells the system this stretch will be read soon (page-aligned; empty does nothing).
    void advise(int64_t startFrame, int64_t frameCount) const;

    enum class Access { read, write };
    // Off the render thread: faults the stretch in now (page-aligned, clamped to the
    // side), writable too for `Access::write`, so that touching it later costs nothing.
    void prepare(int64_t startFrame, int64_t frameCount, Access access) const;

private:
    // Byte offsets into the mapping, [first, last).
    struct ByteRange {
        int64_t first = 0;
        int64_t last = 0;
        bool empty() const { return last <= first; }
    };
    // The stretch clamped to the side, its start moved back to a page boundary; empty
    // when nothing of it lies in the side (or nothing is mapped).
    ByteRange pageAlignedBytes(int64_t startFrame, int64_t frameCount) const;

    std::filesystem::path file_;
    int64_t capacity_ = 0;
    int fd_ = -1;
    int16_t* data_ = nullptr;
    std::size_t mappedBytes_ = 0;
};

}  // namespace norvo
