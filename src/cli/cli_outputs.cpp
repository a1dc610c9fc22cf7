#include "cli/cli_outputs.h"

#include "common/save_target.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::cli {

namespace fs = std::filesystem;

namespace {

std::string failure(const std::string& name, int error) {
    return outputLabel(name) + ": " + std::strerror(error);
}

// "/dev/fd/3" with prefix "/dev/fd/" to 3.
std::optional<int> descriptorAfter(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix)) return std::nullopt;
    name.remove_prefix(prefix.size());
    int fd = -1;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), fd);
    if (ec != std::errc() || end != name.data() + name.size() || name.empty() || fd < 0)
        return std::nullopt;
    return fd;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens a FIFO, a device or a file to write as it is, without ever waiting
// silently: a FIFO nobody reads yet is said before the open waits for one.
int openForWriting(const std::string& name, int flags, const std::function<void()>& beforeWaiting) {
    const int base = O_WRONLY | O_NOCTTY | O_CLOEXEC | flags;
    int fd = ::open(name.c_str(), base | O_NONBLOCK, 0666);
    if (fd < 0 && errno == ENXIO) {
        if (beforeWaiting) beforeWaiting();
        std::fprintf(stderr, "quorvel-cli: %s: waiting for a reader of the FIFO\n", name.c_str());
        std::fflush(stderr);
        do fd = ::open(name.c_str(), base, 0666);
        while (fd < 0 && errno == EINTR);
        return fd;
    }
    // Writes then wait for a slow reader as they would on a blocking open.
    if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::FILE* fileOf(int fd) {
    std::FILE* file = fd < 0 ? nullptr : ::fdopen(fd, "w");
    if (!file && fd >= 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return file;
}

} // namespace

std::string outputLabel(const std::string& name) { return name == "-" ? "standard output" : name; }

std::optional<int> streamDescriptor(const std::string& name) {
    if (name == "-" || name == "/dev/stdout") return 1;
    if (name == "/dev/stderr") return 2;
    if (name == "/dev/stdin") return 0;
    const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
    for (std::string_view prefix : {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"),
                                    std::string_view(own)}) {
        if (auto fd = descriptorAfter(name, prefix)) return fd;
    }
    struct stat named {};
    if (::stat(name.c_str(), &named) != 0 || S_ISDIR(named.st_mode)) return std::nullopt;
    for (int fd : {1, 2}) {
        struct stat stream {};
        if (::fstat(fd, &stream) == 0 && sameFile(named, stream)) return fd;
    }
    return std::nullopt;
}

std::optional<std::string> outputsSharingAFile(
    const std::vector<std::pair<std::string, std::string>>& outputs) {
    // A file that exists is known by its device and inode, one still to be
    // made by its full path.
    auto identity = [](const std::string& name) -> std::optional<std::string> {
        if (name.empty() || streamDescriptor(name)) return std::nullopt;
        struct stat status {};
        if (::stat(name.c_str(), &status) == 0) {
            if (S_ISCHR(status.st_mode)) return std::nullopt;
            return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
        }
        std::error_code ec;
        return fs::weakly_canonical(fs::absolute(name, ec), ec).string();
    };
    std::vector<std::optional<std::string>> ids;
    for (const auto& [option, name] : outputs) ids.push_back(identity(name));
    for (size_t i = 0; i < outputs.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            if (ids[i] && ids[i] == ids[j])
                return outputs[j].first + " and " + outputs[i].first + " name the same file ('" +
                       outputs[i].second + "'): their contents would be mixed";
        }
    }
    return std::nullopt;
}

Output::~Output() {
    if (file_ && file_ != stdout) std::fclose(file_);
    std::error_code ec;
    if (!temporary_.empty()) fs::remove(temporary_, ec);
}

std::optional<std::string> Output::open(const std::string& name, bool save,
                                        const std::function<void()>& beforeWaiting) {
    name_ = name;
    if (const auto fd = streamDescriptor(name)) {
        // Through the stream itself: what the shell opened (and perhaps
        // appends to) is never opened again or emptied.
        if (*fd == 1) {
            file_ = stdout;
            return std::nullopt;
        }
        file_ = fileOf(::fcntl(*fd, F_DUPFD_CLOEXEC, 3));
        if (!file_) return failure(name, errno);
        return std::nullopt;
    }
    fs::path real;
    const bool replaceable = resolveSaveTarget(name, real) == SaveTarget::Ok;
    if (save && replaceable) {
        std::error_code ec;
        if (fs::exists(real, ec) && ::access(real.c_str(), W_OK) != 0) return failure(name, errno);
        const SaveTemporary created = createSaveTemporary(real);
        if (created.fd < 0) return failure(name, created.error);
        // The new file keeps the permissions of the one it replaces.
        struct stat old {};
        if (::stat(real.c_str(), &old) == 0) ::fchmod(created.fd, old.st_mode & 07777);
        temporary_ = created.path;
        target_ = real;
        file_ = fileOf(created.fd);
        return file_ ? std::nullopt : std::optional(failure(name, errno));
    }
    // A file written as the run goes is emptied once every output is open;
    // a FIFO or device is written as it is.
    struct stat status {};
    emptyAtStart_ = ::stat(name.c_str(), &status) != 0 || S_ISREG(status.st_mode);
    file_ = fileOf(openForWriting(name, emptyAtStart_ ? O_CREAT | O_APPEND : 0, beforeWaiting));
    return file_ ? std::nullopt : std::optional(failure(name, errno));
}

bool Output::start() {
    if (!file_ || !emptyAtStart_) return true;
    struct stat status {};
    if (::fstat(::fileno(file_), &status) != 0 || !S_ISREG(status.st_mode)) return true;
    return ::ftruncate(::fileno(file_), 0) == 0;
}

std::optional<std::string> Output::finish() {
    if (!file_) return std::nullopt;
    bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
    int error = ok ? 0 : errno;
    if (ok && !temporary_.empty() && ::fsync(::fileno(file_)) != 0) {
        ok = false;
        error = errno;
    }
    if (file_ != stdout && std::fclose(file_) != 0 && ok) {
        ok = false;
        error = errno;
    }
    file_ = nullptr;
    if (ok && !temporary_.empty()) {
        if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
            ok = false;
            error = errno;
        } else {
            temporary_.clear();
        }
    }
    if (ok) return std::nullopt;
    return outputLabel(name_) + ": cannot write: " + std::strerror(error ? error : EIO);
}

} // namespace quorvel::cli
