#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AudioEngine/TapeSound/SoundProfile.hpp"
#include "Platform/DefaultsStore.hpp"

namespace norvo {

// The built-in and imported tape sounds and the one selected ("clean" for none). A value:
// the studio model changes a copy and assigns it back whole. Every change is persisted at
// once to the defaults store, which the library points to but does not own.
class TapeSoundLibrary {
public:
    static constexpr std::string_view defaultProfileID = "clean";
    static constexpr std::string_view selectedKey = "NorvoStudio.tapeSound.selected";
    static constexpr std::string_view importedKey = "NorvoStudio.tapeSound.imported";
    static constexpr std::size_t maximumImported = 20;
    // Arrays and objects within one another, the profile's own object counted. Deeper
    // than this, the indentation alone of the export would approach its 64 KiB.
    static constexpr int maximumNesting = 128;

    // Reads the imported profiles and the selection. Stored profiles that no longer parse,
    // or whose id is now a built-in one, are dropped without a word.
    explicit TapeSoundLibrary(DefaultsStore& defaults);

    // The six built-in profiles, in their fixed order.
    static const std::vector<SoundProfile>& builtIns();

    // The selected profile's id, or "clean".
    std::string selectedID() const;

    // Selects the first built-in, then imported, profile with this id; "clean" or an
    // unknown id selects none. The resulting id is stored.
    void select(const std::string& id);

    // Parses the bytes, puts the profile first in `imported` (replacing one with the same
    // id, keeping at most 20) and selects it. Throws SoundProfileError, changing nothing,
    // for a profile that does not parse, has a built-in's id, is nested deeper than
    // maximumNesting or would not export within the size limit.
    SoundProfile::ParseResult importProfile(std::string_view data);

    // Removes every imported profile with this id; selects "clean" when it was selected.
    void remove(const std::string& id);

    DefaultsStore* defaults;
    std::vector<SoundProfile> imported;  // newest first
    std::optional<SoundProfile> selected;

    // The store is where the library lives, not part of its value.
    bool operator==(const TapeSoundLibrary& other) const {
        return imported == other.imported && selected == other.selected;
    }

private:
    void storeImported();
};

}  // namespace norvo
