// The four transfer lists the serial-port and SPI windows show and the File
// menu saves: the UART's receive and transmit logs and the SPI unit's
// receive and transmit logs (kept by the chip's peripheral state; at most
// 256 entries each, the oldest dropped).
//
// Formats, one entry per line, "\r\n" between entries, no line break after
// the last:
// - serial: "%02X(%c)", or "%02X(%c) - %01X" (the ninth bit) for a byte
//   transferred in mode 2 or 3 (log entry bit 9);
// - SPI: "%02X (%c)".
// The character is the byte itself for codes 32 to 126, else a dot.
//
// Saving never destroys an existing file: the text goes to a temporary file
// in the target's folder, which is renamed over the target only once it is
// completely written and flushed.
#pragma once

#include "chip/chip_state.h"
#include "common/user_message.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

std::string serialEntryText(uint16_t entry);
std::string spiEntryText(uint8_t value);
std::string serialListText(const SerialLog& log);
std::string spiListText(const SpiLog& log);

// The two-digit hex byte fields of the serial-port and SPI windows: one or
// two digits 0-9, A-F (either case). Anything else is refused with
// "Illegal Data" titled "ERROR".
std::optional<uint8_t> parseByteField(std::string_view text);
UserMessage illegalDataMessage();

enum class TransferList : uint8_t { SerialReceiver, SerialTransmitter, SpiReceiver, SpiTransmitter };
constexpr int kTransferListCount = 4;

// The menu command's texts. (The SPI transmitter shares the receiver's save
// dialog title and status text.)
struct TransferListTexts {
    const char* command;      // "Serial Port Receiver" ...
    const char* emptyMessage; // shown titled "Error" when the list is empty
    const char* dialogTitle;  // the save dialog's title
    const char* savingStatus; // status bar text while saving
};
const TransferListTexts& transferListTexts(TransferList list);

// The save dialog's filters (shown name, file patterns; Linux names are
// case-sensitive) and default extension. The serial host's "Browse" dialog
// uses the same filters.
struct FileFilter {
    const char* name;
    const char* patterns;
};
extern const std::array<FileFilter, 2> kTransferListFilters;
extern const char* const kTransferListExtension; // "dat"

// Step 1 of a save command: the list's text, or the "... Buffer Empty"
// message titled "Error" when it has no entry. Call while the simulation is
// paused (it reads the logs); the text is a snapshot.
struct TransferListSnapshot {
    std::string text;
    Validation empty; // set when there is nothing to save
};
TransferListSnapshot snapshotTransferList(const ChipState& chip, TransferList list);

// Step 3: writes `text` to `path`. On success the target holds exactly the
// text; on failure it is untouched (an earlier file survives) and the
// outcome says what to show: "Disk is Write Protected" titled "ERROR" with
// Retry and Cancel for a read-only file system, "Unable to Write the file"
// titled "ERROR" otherwise. Any thread; no machine state involved.
enum class SaveOutcome : uint8_t { Saved, WriteProtected, Failed };
struct SaveResult {
    SaveOutcome outcome = SaveOutcome::Saved;
    Validation message; // set unless saved
};
SaveResult saveTextFile(const std::filesystem::path& path, const std::string& text);

} // namespace quorvel
