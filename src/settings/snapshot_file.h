// Snapshot files: one machine snapshot (machine/snapshot.h) in a versioned
// binary format of our own.
//
//   offset  size  content (header numbers big-endian, as the other files)
//        0     8  signature "QRVSNAP\n"
//        8     4  format version (kSnapshotFileVersion)
//       12     8  the machine state's layout (snapshotLayoutFingerprint)
//       20     8  length of the snapshot data that follows
//       28     8  checksum: hashBytes of that data
//       36     -  the snapshot's byte form (little-endian, encodeSnapshot)
//
// A file is checked whole before anything changes: the signature, the
// version, the layout (a build whose machine state has other fields
// writes other data), the length against the file's own, the checksum,
// then every field as decodeSnapshot checks it. The message says what is wrong; the
// snapshot given to read into is then untouched. No file is read beyond
// kMaxSnapshotFileSize, so a damaged length cannot make the reader
// allocate without bound.
//
// Saving writes a temporary file beside the target and renames it over the
// target, so a failed save leaves an earlier file as it was.
#pragma once

#include "machine/snapshot.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quorvel {

// The header both snapshot files and recording files (debug/recording_file.h)
// put before their data: which kind of file it is, how it names itself in
// messages, and its version.
struct CheckedFileKind {
    std::span<const uint8_t> signature; // 8 bytes
    uint32_t version;
    const char* name;          // "a snapshot file"
    const char* signatureName; // "the snapshot signature"
    const char* dataName;      // "snapshot data"
};
// The header and `payload` after it.
std::vector<uint8_t> wrapCheckedFile(const CheckedFileKind& kind, std::span<const uint8_t> payload);
// Checks the header of `bytes` as above and sets `payload` to the data it
// announces; the message says what is wrong.
std::optional<std::string> unwrapCheckedFile(const CheckedFileKind& kind, std::span<const uint8_t> bytes,
                                             std::span<const uint8_t>& payload);

constexpr uint32_t kSnapshotFileVersion = 1;
constexpr size_t kSnapshotHeaderSize = 36;
// The largest byte form: 64 KB of code and of data, the profile's counters
// (1 MB), a serial host's transfer file (16 MB) and the small rest.
constexpr size_t kMaxSnapshotFileSize = 18u << 20;

std::vector<uint8_t> encodeSnapshotFile(const MachineSnapshot& snapshot);
// Nothing when the bytes are a valid snapshot file (then in `into`), else
// what is wrong with them.
std::optional<std::string> parseSnapshotFile(std::span<const uint8_t> bytes, MachineSnapshot& into);

// "Unable to write the snapshot file NAME" when it cannot be written.
std::optional<std::string> saveSnapshotFile(const std::filesystem::path& file,
                                            const MachineSnapshot& snapshot);
// "NAME: " and what is wrong, when the file cannot be read or is not a
// valid snapshot file.
std::optional<std::string> loadSnapshotFile(const std::filesystem::path& file,
                                            MachineSnapshot& into);

} // namespace quorvel
