#include "common/save_target.h"

#include <cerrno>
#include <charconv>
#include <optional>
#include <random>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace quorvel {

namespace {

namespace fs = std::filesystem;

// The process that made a temporary of `prefix` ("." + name + "."), read
// from "<prefix><process>-<random>.tmp"; nothing for any other name.
std::optional<pid_t> temporaryOwner(const std::string& file, const std::string& prefix) {
    if (!file.starts_with(prefix) || !file.ends_with(".tmp")) return std::nullopt;
    const char* first = file.data() + prefix.size();
    const char* last = file.data() + file.size() - 4;
    long pid = 0;
    const auto [end, ec] = std::from_chars(first, last, pid);
    if (ec != std::errc() || end == first || end == last || *end != '-' || pid <= 0)
        return std::nullopt;
    return pid_t(pid);
}

void removeAbandonedTemporaries(const fs::path& folder, const std::string& prefix) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const auto owner = temporaryOwner(it->path().filename().string(), prefix);
        if (!owner || *owner == ::getpid()) continue;
        if (::kill(*owner, 0) == 0 || errno != ESRCH) continue; // still running
        std::error_code ignored;
        if (it->symlink_status(ignored).type() == fs::file_type::regular)
            fs::remove(it->path(), ignored);
    }
}

} // namespace

SaveTemporary createSaveTemporary(const fs::path& real) {
    const fs::path folder = real.has_parent_path() ? real.parent_path() : fs::path(".");
    const std::string prefix = "." + real.filename().string() + ".";
    removeAbandonedTemporaries(folder, prefix);

    SaveTemporary temporary;
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const fs::path path = folder / (prefix + std::to_string(::getpid()) + "-" +
                                        std::to_string(random()) + ".tmp");
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return {fd, path, 0};
        temporary.error = errno;
        if (temporary.error != EEXIST) break;
    }
    return temporary;
}

} // namespace quorvel
