#include "tools/memory_saver.h"

#include "chip/chip_state.h"
#include "common/hex_field.h"
#include "common/hex_text.h"
#include "common/save_target.h"
#include "tools/file_loader.h"

#include <array>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {

constexpr uint32_t kBlock = 16;
UserMessage unableToWrite() { return errorMessage("ERROR", "Unable to Write the file"); }

} // namespace

bool acceptSaveFields(std::string_view startText, std::string_view endText, SaveSettings& settings) {
    auto start = parseHexField(startText);
    auto end = parseHexField(endText);
    if (!start || !end) return false;
    settings.start = *start;
    settings.end = *end;
    return true;
}

Validation checkSaveRange(const SaveSettings& settings, const ChipState& chip) {
    if (settings.start > settings.end)
        return errorMessage("Address Error", "Starting Address is Greater than Ending Address!");
    const bool program = settings.memory == SaveMemory::Program;
    if ((program && settings.end > chip.codeLimit) ||
        (!program && (!chip.hasXdata() || settings.end > chip.xdataLimit)))
        return errorMessage("Error", "Address out of Range");
    return std::nullopt;
}

std::string hexDataRecord(uint16_t address, std::span<const uint8_t> data) {
    std::string record = ":";
    unsigned sum = unsigned(data.size()) + (address >> 8) + (address & 0xFF);
    record += hexText(uint8_t(data.size()), 2);
    record += hexText(uint8_t(address >> 8), 2);
    record += hexText(uint8_t(address), 2);
    record += hexText(0x00, 2);
    for (uint8_t b : data) {
        record += hexText(b, 2);
        sum += b;
    }
    record += hexText(uint8_t(-sum), 2);
    return record + "\r\n";
}

MemorySaver::~MemorySaver() { discard(); }

std::optional<MemorySaver::OpenError> MemorySaver::begin(const std::filesystem::path& target,
                                                         const SaveSettings& settings) {
    namespace fs = std::filesystem;
    discard();
    settings_ = settings;
    current_ = settings.start;
    written_ = 0;
    finished_ = succeeded_ = false;
    outcome_ = {};
    label_ = "Saving to: " + shortenPathForLabel(target.string());

    // Saving through a symbolic link replaces the file it points to; a
    // folder, a device or FIFO, or a file the user may not write is not
    // replaced.
    // A read-only medium is said the same way whether the file exists yet or
    // not, with Retry (the user may make it writable and try again).
    const auto writeProtected = [] {
        return OpenError{{"ERROR", "Disk is Write Protected", UserMessage::Icon::Warning}, true};
    };
    std::error_code ec;
    if (resolveSaveTarget(target, target_) != SaveTarget::Ok) return OpenError{unableToWrite(), false};
    if (fs::exists(target_, ec) && ::access(target_.c_str(), W_OK) != 0)
        return errno == EROFS ? writeProtected() : OpenError{unableToWrite(), false};

    const SaveTemporary created = createSaveTemporary(target_);
    if (created.fd < 0)
        return created.error == EROFS ? writeProtected() : OpenError{unableToWrite(), false};
    fd_ = created.fd;
    temp_ = created.path;
    // The new file keeps the permissions of the one it replaces.
    struct stat old;
    if (::stat(target_.c_str(), &old) == 0) ::fchmod(fd_, old.st_mode & 07777);
    return std::nullopt;
}

std::string MemorySaver::label() const { return label_; }

bool MemorySaver::step(const ChipState& chip) {
    if (finished_ || fd_ < 0) return false;
    const uint32_t remaining = settings_.end - current_;
    const bool last = remaining <= kBlock;
    const uint32_t count = last ? remaining + 1 : kBlock;
    std::array<uint8_t, kBlock + 1> block{};
    for (uint32_t i = 0; i < count; ++i) {
        const uint16_t address = uint16_t(current_ + i);
        block[i] = settings_.memory == SaveMemory::Program ? chip.readCode(address) : chip.readXdata(address);
    }
    written_ += count;
    std::string out;
    if (settings_.format == SaveFormat::IntelHex) {
        out = hexDataRecord(uint16_t(current_), std::span(block.data(), count));
        if (last) out += kHexEndRecord;
    } else {
        out.assign(block.begin(), block.begin() + count);
    }
    if (!writeAll(out)) {
        fail();
        return false;
    }
    current_ += count;
    if (!last) return true;

    const bool flushed = ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!flushed || !closed || ::rename(temp_.c_str(), target_.c_str()) != 0) {
        fail();
        return false;
    }
    temp_.clear();
    finished_ = succeeded_ = true;
    outcome_ = {"Save Memory", "Operation Completed Successfully.", UserMessage::Icon::Information};
    return false;
}

void MemorySaver::cancel() {
    if (finished_) return;
    discard();
    finished_ = true;
    outcome_ = {"Error", "Storing Operation is Cancelled by User!", UserMessage::Icon::Information};
}

bool MemorySaver::writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(size_t(n));
    }
    return true;
}

void MemorySaver::fail() {
    discard();
    finished_ = true;
    outcome_ = unableToWrite();
}

void MemorySaver::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

} // namespace quorvel
