// Recording files (.qrec): a whole recorded history (debug/history.h) in a
// versioned binary format of our own, so that a run recorded on one machine
// is replayed bit for bit on another.
//
//   offset  size  content (numbers big-endian, as the other files)
//        0     8  signature "QRVRECD\n"
//        8     4  format version (kRecordingFileVersion)
//       12     8  the machine state's layout (snapshotLayoutFingerprint)
//       20     8  length of the data that follows
//       28     8  checksum: hashBytes of that data
//       36     -  the data:
//                 the page size of the snapshots' storage (u32), the interval
//                 and budget of the history (u64 each); the end of the run:
//                 its step, machine cycle, state hash (machineHash) and stop
//                 (u64, u64, u64, u8); the kept snapshots (u32 count; each
//                 its step, cycle and inputs before it, u64, and the length
//                 of its byte form, u32); the pages of the byte forms (u32
//                 count; each u32 versions, each a u64 step and the page's
//                 bytes); the input log (u32 count; each its step and cycle,
//                 u64, kind u8, memory space u8, address u16, u32 byte count
//                 and the bytes, port line u8, value u32).
//
// The program and the board travel in the snapshots: the first holds the
// code memory, the device selection and the part models' settings, so a
// recording needs nothing beside it to be replayed.
//
// A file is checked whole before anything is used: signature, version,
// layout, length and checksum, then the history's own order (moments in
// order, every page a snapshot needs present, inputs within the history,
// every field in its range), and every kept snapshot is put together and
// read back as decodeSnapshot checks it. The message says what is wrong.
// No file is read beyond kMaxRecordingFileSize.
//
// Saving writes a temporary file beside the target and renames it over the
// target, so a failed save leaves an earlier file as it was.
#pragma once

#include "debug/debug_session.h"
#include "debug/history.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quorvel {

constexpr uint32_t kRecordingFileVersion = 1;
constexpr size_t kRecordingHeaderSize = 36;
// Four times the default history budget.
constexpr size_t kMaxRecordingFileSize = size_t(256) << 20;

// The end of the recorded run, as the recording keeps it: a replay to the
// end must reach a machine with this hash.
struct RecordingEnd {
    uint64_t cycle = 0;
    uint64_t hash = 0;
    DebugStop stop = DebugStop::CycleLimit;
};

struct Recording {
    std::optional<History> history;
    RecordingEnd end;
};

// The history must be at its end (not in its past).
std::vector<uint8_t> encodeRecordingFile(const History& history, const RecordingEnd& end);
// Nothing when the bytes are a valid recording (then in `into`), else what
// is wrong with them (`into` then untouched).
std::optional<std::string> parseRecordingFile(std::span<const uint8_t> bytes, Recording& into);

// "Unable to write the recording file NAME" when it cannot be written.
std::optional<std::string> saveRecordingFile(const std::filesystem::path& file,
                                             const History& history, const RecordingEnd& end);
// The session's recorded history, ended at the present with `stop` as the
// run's stop: what quorvel-cli --record and a front end's save write, so
// that --replay stops at this very moment. Refuses, with the reason, when
// the session keeps no history, when it is in its past, or when the machine
// ran outside the session since the last recorded moment; then no file is
// written.
std::optional<std::string> saveSessionRecording(const std::filesystem::path& file,
                                                const DebugSession& session, DebugStop stop);
// "NAME: " and what is wrong, when the file cannot be read or is not a
// valid recording.
std::optional<std::string> loadRecordingFile(const std::filesystem::path& file, Recording& into);

// Makes a recording the session's: its history in place of the session's
// own, the machine at its end (the program, the board and every part as the
// recorded run left them), which must be the state the recording ends with.
// On failure returns what is wrong, and the session's history and its
// machine are as they were. Every front end that opens a recording opens it
// here.
std::optional<std::string> openRecording(DebugSession& session, Recording recording);

} // namespace quorvel
