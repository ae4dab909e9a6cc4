#pragma once
#include <filesystem>
#include <string_view>
#include <sys/types.h>

namespace norvo {

// How a whole small file is replaced: the bytes go to a temporary file in the target's
// folder that is then renamed over the target, so whoever reads the target finds the
// old bytes or the new ones, never a part, and a failed write leaves what was there.
struct FileReplacement {
    // Where the bytes are written first; in the target's folder, so the rename stays
    // within one file system.
    std::filesystem::path temporary;
    // The new file's permission bits (less the umask).
    mode_t mode = 0644;
    // The new file takes the permission bits of the file it replaces, when there is one.
    bool keepsTargetMode = false;
    // A temporary that exists already is a failure rather than overwritten.
    bool exclusive = false;
    // A temporary that is a symbolic link is a failure rather than followed.
    bool refusesLink = false;
    // Flushed to the disk before the rename, for a file that has to outlive the machine
    // and not only the process.
    bool durable = true;

    // Writes `bytes` to `file`: 0, or the system's error number of the step that failed
    // (the temporary is then removed, unless it could not be created).
    int write(const std::filesystem::path& file, std::string_view bytes) const;
};

}  // namespace norvo
