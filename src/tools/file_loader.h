// Loading a file into program memory ("Load Program") or external data memory
// ("Load Data"): Intel HEX records, or a raw binary image placed at a start
// address the user gives. A file whose name ends in ".hex" (any case, last
// suffix of the file name) is Intel HEX; every other file is binary.
//
// The file is read whole into memory when it is opened; after that the load
// runs in steps, one line (HEX) or one 140-byte block (binary) per step, so
// the GUI can pace it with a timer and keep Cancel live and the command-line
// runner can simply loop. The bytes read are held aside and written to the
// target memory only when the load ends loaded or with the address beyond
// the memory (then the bytes that fit): an error or a cancel leaves memory as
// it was.
//
// Intel HEX is read tolerantly: the checksum does not stop the load (the
// "Loading Details" count the records whose checksum is wrong), records of
// types other than 0, 1 and 2 are skipped, and the type is taken from its
// second digit. Digits may be upper or lower case; any other character in a
// field a record uses, or a line shorter than the 9-character header, ends
// the load with "Invalid HEX file, line N: <why>.". Lines may be as long as
// the longest valid record (255 data bytes).
//
// Load Program resets the chip (Reset CPU) before it loads; that is the
// caller's part, as are the refresh of the views afterwards.
#pragma once

#include "common/user_message.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

struct ChipState;

enum class LoadTarget : uint8_t { ProgramMemory, ExternalDataMemory };
enum class LoadFormat : uint8_t { IntelHex, Binary };

// Intel HEX when the file name's last suffix is "hex" or SDCC's "ihx", in
// any case.
LoadFormat loadFormatOf(const std::filesystem::path& path);

// A path for a one-line label: paths up to 35 characters whole; longer ones
// as the first three characters, "..", and the tail from the first "/" at or
// after position (length - 30), or the last 30 characters when there is no
// "/" there. Never longer than the path; never cuts a UTF-8 character.
std::string shortenPathForLabel(std::string_view path);

// 0 stopped (error, cancel or bad end), 1 loaded, 2 address beyond memory.
enum class LoadResult : uint8_t { Stopped = 0, Loaded = 1, Overflow = 2 };

struct LoadOutcome {
    LoadResult result = LoadResult::Stopped;
    // Message boxes to show, in order (an error, then "File Loading Stopped").
    std::vector<UserMessage> messages;
    // A HEX file loaded: show the "File Loading Details" dialog.
    bool showDetails = false;
    // The ranges loaded: "%04XH to %04XH" each, padded with spaces (12 after
    // a range that another follows, 10 after the last).
    std::string summary;
    unsigned badChecksums = 0; // records whose checksum is wrong or missing
    // "N records with a wrong checksum"; empty when every checksum was right.
    std::string checksumText() const;
    // What the details box shows: the summary, then the checksum count when
    // some records had a wrong checksum.
    std::string detailsText() const;
};

// Texts of the "File Loading Details" dialog (IDM_FILELOADINGDETAILS).
constexpr std::string_view kLoadDetailsCaption = "File Loading Details";
constexpr std::string_view kLoadDetailsHeadline = "File Loaded Successfully.";
constexpr std::string_view kLoadDetailsLabel = "Loading Details:";

class FileLoader {
public:
    explicit FileLoader(LoadTarget target) : target_(target) {}

    // Reads the whole file. On failure: "Unable to open the selected file"
    // (caption "ERROR"); nothing else happens and no step may follow.
    Validation open(const std::filesystem::path& path);
    // The same with the file's bytes already in hand (tests, fuzzing, the
    // assembler flow); `path` is used for the label only.
    void openBytes(std::vector<uint8_t> bytes, LoadFormat format, std::string_view path = {});

    LoadFormat format() const { return format_; }
    // Binary loads wait for the start address (the IDM_GETADDRESS dialog).
    bool needsStartAddress() const { return format_ == LoadFormat::Binary && !started_ && !finished_; }
    void setStartAddress(uint16_t address);

    // Ends the load as stopped ("File Loading Stopped"): Cancel in the
    // progress dialog, or Cancel of the start-address dialog.
    void cancel();

    // One line or block. Returns true while more steps are needed.
    bool step(ChipState& chip);
    bool finished() const { return finished_; }

    // Progress bar: position and range (bytes of the file).
    uint64_t progress() const { return position_; }
    uint64_t progressTotal() const { return data_.size(); }
    // "Loading from: <path shortened>".
    std::string label() const;

    // Valid once finished().
    const LoadOutcome& outcome() const { return outcome_; }

private:
    enum class Record { Continue, End, Overflow, Invalid };
    // A byte held for the target memory until the load ends.
    struct Pending {
        uint16_t address;
        uint8_t value;
    };

    void stepHex(ChipState& chip);
    void stepBinary(ChipState& chip);
    Record readRecord(ChipState& chip, std::string_view line);
    bool store(ChipState& chip, uint32_t address, uint8_t value);
    void appendRange(size_t padding);
    void finish(LoadResult result, std::vector<UserMessage> messages);
    void stop(std::string_view reason);
    void stopInvalid(std::string_view why);
    void commit(ChipState& chip);

    LoadTarget target_;
    LoadFormat format_ = LoadFormat::IntelHex;
    std::string path_;
    std::vector<uint8_t> data_;
    size_t position_ = 0;
    bool started_ = false;
    bool finished_ = false;
    LoadOutcome outcome_;
    // Record reader state.
    uint32_t rangeStart_ = 0;
    uint32_t nextAddress_ = 0;
    uint32_t base_ = 0; // HEX: segment base; binary: the current load address
    bool seenData_ = false;
    bool overflow_ = false;
    unsigned line_ = 0;             // HEX: number of the line being read, from 1
    std::string invalidWhy_;        // HEX: what is wrong with an invalid record
    std::vector<Pending> pending_;  // bytes to write when the load succeeds
};

} // namespace quorvel
