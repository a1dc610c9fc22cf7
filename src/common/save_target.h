// Where a save really writes. Every saver (settings files, Save Memory, the
// assembler's outputs) writes a temporary file beside the target and renames
// it over the target, so a failed save never leaves half a file. That is
// right only for a regular file: renaming over a device node or a FIFO would
// replace the node (saving to /dev/null as root would destroy it), and a
// folder cannot be replaced. A symbolic link is followed, so the file it
// points to is replaced and the link stays.
#pragma once

#include <filesystem>
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

} // namespace quorvel
