#include "Cassette/EncodedSideCache.hpp"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include "AudioEngine/TapeMedia.hpp"
#include "Cassette/CassetteFileError.hpp"
#include "Platform/RegularFile.hpp"

namespace norvo {

namespace {

std::string stem(TapeSide side) { return side == TapeSide::a ? "encoded-side-a" : "encoded-side-b"; }

}  // namespace

EncodedSideCache::EncodedSideCache(const TapeMedia& media) : directory_(media.directory()) {}

std::filesystem::path EncodedSideCache::encodedFile(TapeSide side) const { return directory_ / (stem(side) + ".m4a"); }

std::filesystem::path EncodedSideCache::stateFile(TapeSide side) const { return directory_ / (stem(side) + ".state"); }

std::filesystem::path EncodedSideCache::stagingFile(TapeSide side) const {
    return directory_ / (stem(side) + ".m4a.partial");
}

std::optional<std::filesystem::path> EncodedSideCache::lookup(TapeSide side, uint64_t generation,
                                                              int64_t frames) const {
    // Read only when it is a regular file: a workspace taken over from an earlier run may
    // hold anything, and a save must not wait for good on what cannot end.
    const auto text = RegularFile(stateFile(side)).read(256);
    if (!text || text->size() > 256) return std::nullopt;
    std::istringstream in(*text);
    unsigned long long storedGeneration = 0;
    long long storedFrames = 0;
    unsigned long long storedBytes = 0;
    if (!(in >> storedGeneration >> storedFrames >> storedBytes)) return std::nullopt;
    if (storedGeneration != generation || storedFrames != frames) return std::nullopt;
    std::error_code ec;
    const auto size = std::filesystem::file_size(encodedFile(side), ec);
    if (ec || size != storedBytes) return std::nullopt;
    return encodedFile(side);
}

bool EncodedSideCache::writeState(TapeSide side, uint64_t generation, int64_t frames, uint64_t bytes) const {
    // Written aside and renamed, so a lookup never sees half a state.
    const auto partial = directory_ / (stem(side) + ".state.partial");
    {
        std::ofstream out(partial, std::ios::trunc);
        out << generation << ' ' << frames << ' ' << bytes << '\n';
        out.flush();
        if (!out) return false;
    }
    std::error_code ec;
    std::filesystem::rename(partial, stateFile(side), ec);
    return !ec;
}

std::filesystem::path EncodedSideCache::commit(TapeSide side, uint64_t generation, int64_t frames) const {
    discard(side);
    std::error_code ec;
    std::filesystem::rename(stagingFile(side), encodedFile(side), ec);
    if (ec) throw CassetteFileError::writeFailed(ec.message());
    // Without its state the file is still usable for this save; the next one encodes again.
    markCurrent(side, generation, frames);
    return encodedFile(side);
}

void EncodedSideCache::adopt(TapeSide side, uint64_t generation, int64_t frames,
                             const std::filesystem::path& encoded) const {
    discard(side);
    std::error_code ec;
    std::filesystem::rename(encoded, encodedFile(side), ec);
    if (ec) {
        // Another disk: copied under the staging name, so that half a copy is never taken
        // for the side's audio.
        ec.clear();
        std::filesystem::copy_file(encoded, stagingFile(side), std::filesystem::copy_options::overwrite_existing, ec);
        if (!ec) std::filesystem::rename(stagingFile(side), encodedFile(side), ec);
        if (ec) {
            std::filesystem::remove(stagingFile(side), ec);
            return;
        }
    }
    markCurrent(side, generation, frames);
}

void EncodedSideCache::markCurrent(TapeSide side, uint64_t generation, int64_t frames) const {
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(encodedFile(side), ec);
    if (ec || !writeState(side, generation, frames, bytes)) discard(side);
}

void EncodedSideCache::discard(TapeSide side) const {
    std::error_code ec;
    std::filesystem::remove(stateFile(side), ec);
    std::filesystem::remove(encodedFile(side), ec);
}

}  // namespace norvo
