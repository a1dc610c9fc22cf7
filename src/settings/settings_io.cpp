#include "settings/settings_io.h"

#include "common/save_target.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

uint8_t ByteReader::u8() {
    auto b = bytes(1);
    return b.empty() ? 0 : b[0];
}

uint16_t ByteReader::u16() {
    auto b = bytes(2);
    return b.empty() ? 0 : uint16_t(b[0] << 8 | b[1]);
}

uint32_t ByteReader::u32() {
    auto b = bytes(4);
    return b.empty() ? 0 : uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

std::span<const uint8_t> ByteReader::bytes(size_t count) {
    if (!has(count)) {
        ok_ = false;
        return {};
    }
    auto result = data_.subspan(position_, count);
    position_ += count;
    return result;
}

std::optional<std::vector<uint8_t>> readWholeFile(const std::filesystem::path& path, size_t maxSize,
                                                  std::string* why) {
    auto failed = [why](std::string reason) -> std::optional<std::vector<uint8_t>> {
        if (why) *why = std::move(reason);
        return std::nullopt;
    };
    // Only a regular file: opening a FIFO would wait for a writer for ever,
    // and a device may never end.
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return failed("no such file");
    if (fs::is_directory(status)) return failed("a folder, not a file");
    if (fs::is_fifo(status)) return failed("a FIFO, not a file");
    if (!fs::is_regular_file(status)) return failed("not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in) return failed(std::strerror(errno));
    std::vector<uint8_t> data;
    char buffer[8192];
    while (in) {
        in.read(buffer, sizeof buffer);
        const auto got = size_t(in.gcount());
        if (data.size() + got > maxSize) return failed("larger than " + std::to_string(maxSize) + " bytes");
        data.insert(data.end(), buffer, buffer + got);
    }
    if (in.bad()) return failed("read error");
    return data;
}

namespace {

// Writes everything or fails; retries short writes and interrupted calls.
bool writeAll(int fd, std::span<const uint8_t> data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

} // namespace

bool writeFileAtomically(const std::filesystem::path& target, std::span<const uint8_t> data) {
    std::filesystem::path path;
    if (resolveSaveTarget(target, path) != SaveTarget::Ok) return false;
    if (path.filename().empty()) return false;
    const SaveTemporary created = createSaveTemporary(path);
    if (created.fd < 0) return false;
    const int fd = created.fd;
    const std::filesystem::path& temporary = created.path;
    bool ok = writeAll(fd, data) && ::fsync(fd) == 0;
    // A replaced file keeps its permissions.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) ok = ::fchmod(fd, old.st_mode & 07777) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok) {
        std::error_code error;
        std::filesystem::rename(temporary, path, error);
        ok = !error;
    }
    if (!ok) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
    }
    return ok;
}

} // namespace quorvel
