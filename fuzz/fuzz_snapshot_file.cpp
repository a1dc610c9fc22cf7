// Fuzzes the snapshot file reader. The first byte picks what the rest is:
// bit 0 set, a whole file; clear, the snapshot data alone, which gets a
// header with the right length and checksum so the field reader is reached
// (a mutated file almost never keeps its checksum).
// Checks: no crash, hang or sanitizer report, and no unbounded allocation;
// a refused input has a message; an accepted one writes back to the very
// same bytes, hashes as those bytes, and restored into a machine runs a
// few hundred instructions without a sanitizer report (the reader's
// checks must make every snapshot it accepts safe to run).
#include "machine/executor.h"
#include "machine/snapshot.h"
#include "settings/snapshot_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

using namespace quorvel;

namespace {

std::vector<uint8_t> sealed(std::span<const uint8_t> payload) {
    std::vector<uint8_t> file{'Q', 'R', 'V', 'S', 'N', 'A', 'P', '\n'};
    auto big = [&](uint64_t value, int bytes) {
        for (int i = bytes - 1; i >= 0; --i) file.push_back(uint8_t(value >> (8 * i)));
    };
    big(kSnapshotFileVersion, 4);
    big(snapshotLayoutFingerprint(), 8);
    big(payload.size(), 8);
    big(hashBytes(payload), 8);
    file.insert(file.end(), payload.begin(), payload.end());
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::span<const uint8_t> rest(data + 1, size - 1);
    const bool wholeFile = data[0] & 1;
    const std::vector<uint8_t> file =
        wholeFile ? std::vector<uint8_t>(rest.begin(), rest.end()) : sealed(rest);

    MachineSnapshot snapshot;
    const auto problem = parseSnapshotFile(file, snapshot);
    if (problem) {
        if (problem->empty()) __builtin_trap();
        return 0;
    }
    const std::span<const uint8_t> payload =
        std::span(file).subspan(kSnapshotHeaderSize);
    const std::vector<uint8_t> again = encodeSnapshot(snapshot);
    if (!std::equal(again.begin(), again.end(), payload.begin(), payload.end())) __builtin_trap();
    if (snapshotHash(snapshot) != hashBytes(payload)) __builtin_trap();

    Machine machine;
    restoreSnapshot(snapshot, machine);
    runSteps(machine, 300);
    return 0;
}
