#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>

#include "AudioEngine/TapeSide.hpp"

namespace norvo {

class TapeMedia;

// The encoded audio of a workspace's sides, kept in the workspace beside the side
// files (and removed with it). A side whose write generation and length are those the
// encoded file was made from is saved by copying that file: no second encode, no
// generation loss, and saving an unchanged cassette is fast.
class EncodedSideCache {
public:
    explicit EncodedSideCache(const TapeMedia& media);

    // The encoded file when it holds exactly the side's audio of that generation and length.
    std::optional<std::filesystem::path> lookup(TapeSide side, uint64_t generation, int64_t frames) const;
    // Where audio extracted from an opened file is written before commit().
    std::filesystem::path stagingFile(TapeSide side) const;
    // Makes the staging file the side's encoded audio. Throws CassetteFileError (writeFailed).
    std::filesystem::path commit(TapeSide side, uint64_t generation, int64_t frames) const;
    // Takes an encoded file made elsewhere (beside a saved cassette) as the side's encoded
    // audio: moved when it is on the workspace's disk, else copied. Only saves time later:
    // when the workspace cannot take it, nothing is kept and nothing fails.
    void adopt(TapeSide side, uint64_t generation, int64_t frames, const std::filesystem::path& encoded) const;
    void discard(TapeSide side) const;

private:
    // Declares the encoded file to be the side's audio of that generation and length.
    void markCurrent(TapeSide side, uint64_t generation, int64_t frames) const;
    std::filesystem::path encodedFile(TapeSide side) const;
    std::filesystem::path stateFile(TapeSide side) const;
    bool writeState(TapeSide side, uint64_t generation, int64_t frames, uint64_t bytes) const;

    std::filesystem::path directory_;
};

}  // namespace norvo
