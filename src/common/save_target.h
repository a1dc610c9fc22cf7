// Where a save really writes. Every saver (settings files, Save Memory, the
// assembler's outputs) writes a temporary file beside the target and renames
// it over the target, so a failed save never leaves half a file. That is
// right only for a regular file: renaming over a device node or a FIFO would
// replace the node (saving to /dev/null as root would destroy it), and a
// folder cannot be replaced. A symbolic link is followed, so the file it
// points to is replaced and the link stays.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

namespace quorvel {

enum class SaveTarget { Ok, NotRegularFile };

// Resolves `target` through symbolic links into `real` (the path to write
// and rename over) and says whether a save may replace it: a missing file
// or a regular file may be, anything else not.
inline SaveTarget resolveSaveTarget(const std::filesystem::path& target,
                                    std::filesystem::path& real) {
    namespace fs = std::filesystem;
    std::error_code ec;
    real = target;
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) real = resolved;
    }
    const fs::file_status status = fs::status(real, ec);
    if (ec || status.type() == fs::file_type::not_found) return SaveTarget::Ok;
    return status.type() == fs::file_type::regular ? SaveTarget::Ok : SaveTarget::NotRegularFile;
}

// A temporary file for a save of `real` (a resolved target), opened for
// writing. Its name, ".<name>.<process>-<random>.tmp" beside the target,
// keeps the rename on one file system and says which process made it.
struct SaveTemporary {
    int fd = -1;                 // -1 when it could not be created
    std::filesystem::path path;  // empty then
    int error = 0;               // errno of the failure (EROFS: read-only medium)
};

// Creates the temporary exclusively (a file or link planted under the name
// is never followed) with the usual 0666 less the umask; a save that
// replaces a file gives it the old file's mode itself. Temporaries of the
// same target left by saves whose process has gone (killed halfway) are
// removed first, so they do not pile up beside the user's files.
SaveTemporary createSaveTemporary(const std::filesystem::path& real);

} // namespace quorvel
