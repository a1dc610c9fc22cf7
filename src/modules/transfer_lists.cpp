#include "modules/transfer_lists.h"

#include "common/hex_field.h"
#include "common/save_target.h"

#include <array>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {

char shownCharacter(uint8_t value) { return value >= 32 && value <= 126 ? char(value) : '.'; }

template <typename Log, typename Format>
std::string listText(const Log& log, Format format) {
    std::string text;
    for (int i = 0; i < log.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += format(log.at(i));
    }
    return text;
}

constexpr std::array<TransferListTexts, kTransferListCount> kTexts{{
    {"Serial Port Receiver", "SerialPort Receiver Buffer Empty", "Save SerialPort Receiver Buffer",
     "Saving SerialPort Receiver Buffer..."},
    {"Serial Port Transmitter", "SerialPort Transmitter Buffer Empty",
     "Save SerialPort Transmitter Buffer", "Saving SerialPort Transmitter Buffer..."},
    {"SPI Receiver", "SPI Receiver Buffer Empty", "Save SPI Receiver Buffer",
     "Saving SPI Receiver Buffer..."},
    {"SPI Transmitter", "SPI Transmitter Buffer Empty", "Save SPI Receiver Buffer",
     "Saving SPI Receiver Buffer..."},
}};

// Writes all of `text` to `fd`, retrying short writes.
bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

SaveResult failure(int error) {
    if (error == EROFS)
        return {SaveOutcome::WriteProtected,
                UserMessage{"ERROR", "Disk is Write Protected", UserMessage::Icon::Warning}};
    return {SaveOutcome::Failed, errorMessage("ERROR", "Unable to Write the file")};
}

} // namespace

const std::array<FileFilter, 2> kTransferListFilters{{
    {"Data Files (*.DAT)", "*.dat *.DAT"},
    {"All Files (*.*)", "*"},
}};
const char* const kTransferListExtension = "dat";

std::optional<uint8_t> parseByteField(std::string_view text) {
    if (text.empty() || text.size() > 2) return std::nullopt;
    const std::optional<uint16_t> value = parseHexField(text);
    if (!value) return std::nullopt;
    return uint8_t(*value);
}

UserMessage illegalDataMessage() { return errorMessage("ERROR", "Illegal Data"); }

std::string serialEntryText(uint16_t entry) {
    const uint8_t value = uint8_t(entry);
    char text[16];
    if (entry & 0x200)
        std::snprintf(text, sizeof text, "%02X(%c) - %01X", value, shownCharacter(value),
                      (entry >> 8) & 1);
    else
        std::snprintf(text, sizeof text, "%02X(%c)", value, shownCharacter(value));
    return text;
}

std::string spiEntryText(uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X (%c)", value, shownCharacter(value));
    return text;
}

std::string serialListText(const SerialLog& log) { return listText(log, serialEntryText); }
std::string spiListText(const SpiLog& log) { return listText(log, spiEntryText); }

const TransferListTexts& transferListTexts(TransferList list) {
    return kTexts[size_t(list) < kTexts.size() ? size_t(list) : 0];
}

TransferListSnapshot snapshotTransferList(const ChipState& chip, TransferList list) {
    const SerialState& serial = chip.periph.serial;
    const SpiState& spi = chip.periph.spi;
    TransferListSnapshot snapshot;
    bool empty = false;
    switch (list) {
    case TransferList::SerialReceiver:
        empty = serial.rxLog.size() == 0;
        snapshot.text = serialListText(serial.rxLog);
        break;
    case TransferList::SerialTransmitter:
        empty = serial.txLog.size() == 0;
        snapshot.text = serialListText(serial.txLog);
        break;
    case TransferList::SpiReceiver:
        empty = spi.rxLog.size() == 0;
        snapshot.text = spiListText(spi.rxLog);
        break;
    case TransferList::SpiTransmitter:
        empty = spi.txLog.size() == 0;
        snapshot.text = spiListText(spi.txLog);
        break;
    }
    if (empty) snapshot.empty = errorMessage("Error", transferListTexts(list).emptyMessage);
    return snapshot;
}

SaveResult saveTextFile(const std::filesystem::path& target, const std::string& text) {
    if (target.empty() || !target.has_filename()) return failure(ENOENT);
    std::filesystem::path path;
    if (resolveSaveTarget(target, path) != SaveTarget::Ok) return failure(EISDIR);
    // A new file gets the usual permissions (0666 less the umask); a replaced
    // one keeps its own.
    struct stat existing {};
    const bool replacing = ::stat(path.c_str(), &existing) == 0;

    const SaveTemporary created = createSaveTemporary(path);
    if (created.fd < 0) return failure(created.error);
    const int fd = created.fd;
    const std::filesystem::path& temporary = created.path;

    bool ok = writeAll(fd, text);
    int error = ok ? 0 : errno;
    if (ok && replacing && ::fchmod(fd, existing.st_mode & 07777) != 0) {
        ok = false;
        error = errno;
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        error = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return failure(error);
    }
    return {};
}

} // namespace quorvel
