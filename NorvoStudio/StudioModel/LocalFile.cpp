#include "StudioModel/LocalFile.hpp"

#include <system_error>

#include "Platform/FileReplacement.hpp"
#include "Platform/Uuid.hpp"

namespace norvo {

QString LocalFile::replace(const std::filesystem::path& file, std::string_view bytes) {
    // A name of its own, beside the target; a file that is replaced keeps who may read it.
    const FileReplacement replacement{
        .temporary = file.parent_path() / ("." + file.filename().native() + "." + Uuid::random().text() + ".tmp"),
        .mode = 0666,
        .keepsTargetMode = true,
        .exclusive = true,
    };
    if (const int error = replacement.write(file, bytes); error != 0)
        return QString::fromStdString(std::generic_category().message(error));
    return {};
}

}  // namespace norvo
