#include "settings/snapshot_file.h"

#include "settings/settings_io.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quorvel {

namespace {

constexpr std::array<uint8_t, 8> kSignature{'Q', 'R', 'V', 'S', 'N', 'A', 'P', '\n'};

uint64_t u64(ByteReader& reader) {
    const uint64_t high = reader.u32();
    return high << 32 | reader.u32();
}

void u64(ByteWriter& writer, uint64_t value) {
    writer.u32(uint32_t(value >> 32));
    writer.u32(uint32_t(value));
}

const CheckedFileKind kSnapshotFile{kSignature, kSnapshotFileVersion, "a snapshot file",
                                    "the snapshot signature", "snapshot data"};

} // namespace

std::vector<uint8_t> wrapCheckedFile(const CheckedFileKind& kind, std::span<const uint8_t> payload) {
    ByteWriter writer;
    writer.bytes(kind.signature);
    writer.u32(kind.version);
    u64(writer, snapshotLayoutFingerprint());
    u64(writer, payload.size());
    u64(writer, hashBytes(payload));
    writer.bytes(payload);
    return writer.take();
}

std::optional<std::string> unwrapCheckedFile(const CheckedFileKind& kind, std::span<const uint8_t> bytes,
                                             std::span<const uint8_t>& payload) {
    ByteReader reader(bytes);
    const std::span<const uint8_t> signature = reader.bytes(kind.signature.size());
    if (!reader.ok() || !std::equal(signature.begin(), signature.end(), kind.signature.begin()))
        return "not " + std::string(kind.name) + " (it does not begin with " + kind.signatureName + ")";
    const uint32_t version = reader.u32();
    if (!reader.ok()) return std::string("truncated: the file ends inside its header");
    if (version != kind.version)
        return std::string(kind.name) + " of version " + std::to_string(version) +
               ", which this program cannot read (it reads version " + std::to_string(kind.version) + ")";
    const uint64_t layout = u64(reader);
    if (!reader.ok()) return std::string("truncated: the file ends inside its header");
    if (layout != snapshotLayoutFingerprint())
        return std::string("written by a build whose machine state has other fields; "
                           "this program cannot read it");
    const uint64_t length = u64(reader);
    const uint64_t checksum = u64(reader);
    if (!reader.ok()) return std::string("truncated: the file ends inside its header");
    if (length > reader.remaining())
        return "truncated: the header announces " + std::to_string(length) + " bytes of " + kind.dataName +
               ", the file holds " + std::to_string(reader.remaining());
    if (length < reader.remaining())
        return "damaged: " + std::to_string(reader.remaining() - length) + " bytes follow the " +
               kind.dataName + " its header announces";
    payload = reader.bytes(size_t(length));
    if (hashBytes(payload) != checksum)
        return "corrupted: the checksum does not match the " + std::string(kind.dataName);
    return std::nullopt;
}

std::vector<uint8_t> encodeSnapshotFile(const MachineSnapshot& snapshot) {
    return wrapCheckedFile(kSnapshotFile, encodeSnapshot(snapshot));
}

std::optional<std::string> parseSnapshotFile(std::span<const uint8_t> bytes,
                                             MachineSnapshot& into) {
    std::span<const uint8_t> payload;
    if (auto problem = unwrapCheckedFile(kSnapshotFile, bytes, payload)) return problem;
    MachineSnapshot read;
    if (auto problem = decodeSnapshot(payload, read)) return "unusable: " + *problem;
    into = std::move(read);
    return std::nullopt;
}

std::optional<std::string> saveSnapshotFile(const std::filesystem::path& file,
                                            const MachineSnapshot& snapshot) {
    if (!writeFileAtomically(file, encodeSnapshotFile(snapshot)))
        return "Unable to write the snapshot file " + file.string();
    return std::nullopt;
}

std::optional<std::string> loadSnapshotFile(const std::filesystem::path& file,
                                            MachineSnapshot& into) {
    std::string why;
    const auto bytes = readWholeFile(file, kMaxSnapshotFileSize, &why);
    if (!bytes) return file.string() + ": cannot be read (" + why + ")";
    if (auto problem = parseSnapshotFile(*bytes, into)) return file.string() + ": " + *problem;
    return std::nullopt;
}

} // namespace quorvel
