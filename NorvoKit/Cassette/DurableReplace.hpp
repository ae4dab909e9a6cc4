#pragma once
#include <filesystem>

namespace norvo {

// Puts a finished file in the place of `target` so that after a crash either the old
// or the new file is there, never a mix: flushes the file, renames it over the target
// and flushes the folder that holds both. Takes over the old target's permissions.
// Throws CassetteFileError (writeFailed); the temporary file is then still there.
void durablyReplace(const std::filesystem::path& temporary, const std::filesystem::path& target);

}  // namespace norvo
