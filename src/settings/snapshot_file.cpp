#include "settings/snapshot_file.h"

#include "settings/settings_io.h"

#include <array>
#include <utility>

namespace quorvel {

namespace {

constexpr std::array<uint8_t, 8> kSignature{'Q', 'R', 'V', 'S', 'N', 'A', 'P', '\n'};

uint64_t u64(ByteReader& reader) {
    const uint64_t high = reader.u32();
    return high << 32 | reader.u32();
}

} // namespace

std::vector<uint8_t> encodeSnapshotFile(const MachineSnapshot& snapshot) {
    const std::vector<uint8_t> payload = encodeSnapshot(snapshot);
    const uint64_t checksum = hashBytes(payload);
    ByteWriter writer;
    writer.bytes(kSignature);
    writer.u32(kSnapshotFileVersion);
    const uint64_t layout = snapshotLayoutFingerprint();
    writer.u32(uint32_t(layout >> 32));
    writer.u32(uint32_t(layout));
    writer.u32(uint32_t(uint64_t(payload.size()) >> 32));
    writer.u32(uint32_t(payload.size()));
    writer.u32(uint32_t(checksum >> 32));
    writer.u32(uint32_t(checksum));
    writer.bytes(payload);
    return writer.take();
}

std::optional<std::string> parseSnapshotFile(std::span<const uint8_t> bytes,
                                             MachineSnapshot& into) {
    ByteReader reader(bytes);
    const std::span<const uint8_t> signature = reader.bytes(kSignature.size());
    if (!reader.ok() || !std::equal(signature.begin(), signature.end(), kSignature.begin()))
        return std::string("not a snapshot file (it does not begin with the snapshot signature)");
    const uint32_t version = reader.u32();
    if (!reader.ok()) return std::string("truncated: the file ends inside its header");
    if (version != kSnapshotFileVersion)
        return "a snapshot file of version " + std::to_string(version) +
               ", which this program cannot read (it reads version " +
               std::to_string(kSnapshotFileVersion) + ")";
    const uint64_t layout = u64(reader);
    if (!reader.ok()) return std::string("truncated: the file ends inside its header");
    if (layout != snapshotLayoutFingerprint())
        return std::string("written by a build whose machine state has other fields; "
                           "this program cannot read it");
    const uint64_t length = u64(reader);
    const uint64_t checksum = u64(reader);
    if (!reader.ok()) return std::string("truncated: the file ends inside its header");
    if (length > reader.remaining())
        return "truncated: the header announces " + std::to_string(length) +
               " bytes of snapshot data, the file holds " + std::to_string(reader.remaining());
    if (length < reader.remaining())
        return "damaged: " + std::to_string(reader.remaining() - length) +
               " bytes follow the snapshot data its header announces";
    const std::span<const uint8_t> payload = reader.bytes(size_t(length));
    if (hashBytes(payload) != checksum)
        return std::string("corrupted: the checksum does not match the snapshot data");
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
