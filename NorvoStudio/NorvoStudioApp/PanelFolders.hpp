#pragma once
#include <filesystem>
#include <string>

#include "Platform/DefaultsStore.hpp"
#include "StudioModel/StudioUi.hpp"

namespace norvo {

// Where the file panels start: the folder in which the user last chose a file of the
// same kind, else the music folder for audio, the pictures folder for artwork and the
// home folder for cassettes and tape sounds. A remembered folder that is gone no longer
// counts. The folders are kept in the defaults store as file URLs, so a folder whose
// name is not UTF-8 is kept byte for byte.
class PanelFolders {
public:
    enum class Kind { audio, cassette, tapeSound, artwork };

    explicit PanelFolders(DefaultsStore& defaults) : defaults_(defaults) {}

    static Kind kindOf(StudioUi::FilePanel::Kind panel);
    static std::string key(Kind kind);

    std::filesystem::path startFolder(Kind kind) const;
    // The file the user chose in a panel of this kind: its folder is where the next starts.
    void chose(Kind kind, const std::filesystem::path& file);

private:
    DefaultsStore& defaults_;
};

}  // namespace norvo
