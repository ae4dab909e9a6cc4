#pragma once
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "AudioEngine/TapeSide.hpp"

namespace norvo {

// How much of each side is recorded, kept in a small file of the workspace beside the
// side files and mapped shared, so that the render can store a side's length after
// every buffer it records: when the studio is killed, the length survives with the
// frames, which the recovery copy, written only now and then, would leave behind.
// The page is written and locked when the file is mapped, and the head follower makes
// it writable again should writeback have protected it meanwhile, so that a store is
// one atomic write to resident memory: no system call, no allocation.
class RecordedLengths {
public:
    static constexpr const char* fileName = "recorded-lengths";

    // Maps the workspace's file, creating it (all sides empty) when it is missing or
    // not one of ours, as in a workspace of an earlier version. Throws
    // NorvoAudioError (storage) on failure.
    explicit RecordedLengths(const std::filesystem::path& workspace);
    ~RecordedLengths();
    RecordedLengths(const RecordedLengths&) = delete;
    RecordedLengths& operator=(const RecordedLengths&) = delete;

    // Real-time safe.
    void store(TapeSide side, int64_t frames) noexcept;
    int64_t load(TapeSide side) const noexcept;

    // Off the render thread: faults the page in writable (again).
    void prepare() const;

    // The lengths a workspace holds, without taking it over; nothing when it holds none.
    static std::optional<std::array<int64_t, 2>> read(const std::filesystem::path& workspace);

private:
    int fd_ = -1;
    int64_t* slots_ = nullptr;
};

}  // namespace norvo
