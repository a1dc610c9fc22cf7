// Saving an address range of program memory or external data memory as
// Intel HEX (16-byte data records with checksums, then the end record) or as
// a raw binary image.
//
// Like loading, the save runs in steps (one block of up to 17 bytes per
// step) so the GUI can pace it with a timer and keep Cancel live. The bytes go
// to a temporary file in the target's folder, which replaces the target only
// once the last byte is written and flushed: a cancelled or failed save leaves
// an existing file untouched and a new one absent, and a write error is never
// reported as success.
#pragma once

#include "common/user_message.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorvel {

struct ChipState;

enum class SaveFormat : uint8_t { IntelHex = 0, Binary = 1 };
enum class SaveMemory : uint8_t { Program = 0, ExternalData = 1 };

// The Save Memory dialog's values, kept program-wide between uses.
struct SaveSettings {
    uint16_t start = 0;
    uint16_t end = 0;
    SaveFormat format = SaveFormat::IntelHex;
    SaveMemory memory = SaveMemory::Program;
};

// "&Save" of the dialog: both fields must be valid hexadecimal text (1 to 4
// digits); otherwise nothing, and the dialog stays open without a message.
bool acceptSaveFields(std::string_view startText, std::string_view endText, SaveSettings& settings);

// Range checks after the dialog: start above end, then end above the highest
// address of the chosen memory (there is no data memory to save when the
// device has none).
Validation checkSaveRange(const SaveSettings& settings, const ChipState& chip);

// One Intel HEX data record with its checksum, ending in CR LF.
std::string hexDataRecord(uint16_t address, std::span<const uint8_t> data);
// The end record as written after the last data record.
constexpr std::string_view kHexEndRecord = ":00000001FF\n";

class MemorySaver {
public:
    MemorySaver() = default;
    MemorySaver(const MemorySaver&) = delete;
    MemorySaver& operator=(const MemorySaver&) = delete;
    ~MemorySaver(); // discards an unfinished temporary file

    struct OpenError {
        UserMessage message;
        bool retry = false; // "Disk is Write Protected": offer Retry and Cancel
    };
    // Creates the temporary file beside `target`. Errors: a read-only file
    // system gives "Disk is Write Protected" (caption "ERROR", retry); any
    // other failure "Unable to Write the file" (caption "ERROR").
    std::optional<OpenError> begin(const std::filesystem::path& target, const SaveSettings& settings);

    // Writes one block; returns true while more steps are needed.
    bool step(const ChipState& chip);
    // Cancel in the progress dialog: the temporary file is removed.
    void cancel();
    bool finished() const { return finished_; }

    // Progress bar: bytes written out of the bytes to write.
    uint32_t progress() const { return written_; }
    uint32_t progressTotal() const { return uint32_t(settings_.end) - settings_.start + 1; }
    // "Saving to: <path shortened>".
    std::string label() const;

    // Valid once finished(): success, cancel or failure, and its message.
    bool succeeded() const { return succeeded_; }
    const UserMessage& outcome() const { return outcome_; }

private:
    bool writeAll(std::string_view bytes);
    void fail();
    void discard();

    std::string label_;
    std::filesystem::path target_;
    std::filesystem::path temp_;
    int fd_ = -1;
    SaveSettings settings_;
    uint32_t current_ = 0;
    uint32_t written_ = 0;
    bool finished_ = false;
    bool succeeded_ = false;
    UserMessage outcome_;
};

} // namespace quorvel
