#pragma once
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "AudioEngine/TapeSide.hpp"
#include "Cassette/CassetteDocument.hpp"
#include "Platform/Clock.hpp"

namespace norvo {

// What a workspace holds of its cassette while the cassette has changes not saved, so
// that a studio that ended without saving (a crash, kill -9, a logout) can offer the
// cassette back at its next start: the document with its edits, how much of each side
// is recorded, where the head was and the file the cassette belongs to. The audio is in
// the side files beside it, and the images and carried entries in a folder of their own.
// A workspace holds a copy exactly while its cassette is unsaved.
struct RecoveryCopy {
    CassetteDocument document;
    std::array<int64_t, 2> used{};  // frames recorded, by TapeSide raw value
    std::array<bool, 2> dirty{};    // holds audio that is in no file yet
    TapeSide side = TapeSide::a;    // under the head
    int64_t head = 0;
    std::optional<std::filesystem::path> file;  // where the cassette was opened or saved
    Date savedAt{};                             // when the copy was written

    bool operator==(const RecoveryCopy&) const = default;

    static constexpr const char* fileName = "recovery.json";
    static constexpr const char* folderName = "recovery";
    static constexpr int version = 1;

    // The copy's text. `storedAs` gives the name, inside folderName, of the file that
    // holds an image's or a carried entry's bytes.
    static std::string encode(const RecoveryCopy& copy, const std::function<std::string(const FileData&)>& storedAs);

    enum class Images { skipped, loaded };
    // The copy in `workspace`, nothing when it holds none; a side the workspace kept
    // longer than the copy says (recorded after it was written) comes at that length.
    // With Images::skipped the document comes without its images and carried entries
    // (enough to offer it back).
    // Throws std::runtime_error, with the sentence for the user, when it cannot be read.
    static std::optional<RecoveryCopy> read(const std::filesystem::path& workspace, Images images);
    // The recorded frames of both sides together.
    int64_t recordedFrames() const { return used[0] + used[1]; }
};

}  // namespace norvo
