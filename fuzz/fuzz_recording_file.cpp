// Fuzzes the recording file reader. The first byte picks what the rest is:
// bit 0 set, a whole file; clear, the recorded data alone, which gets a
// header with the right length and checksum so the history's reader is
// reached (a mutated file almost never keeps its checksum).
// Checks: no crash, hang or sanitizer report, and no unbounded allocation;
// a refused input has a message; an accepted one writes back to the very
// same bytes, and every kept moment (with the inputs logged at it) is
// visited, then a few hundred instructions replayed from the first, without
// a sanitizer report (the reader's checks must make every history it
// accepts safe to replay).
#include "debug/debug_session.h"
#include "debug/recording_file.h"
#include "machine/snapshot.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

using namespace quorvel;

namespace {

std::vector<uint8_t> sealed(std::span<const uint8_t> payload) {
    std::vector<uint8_t> file{'Q', 'R', 'V', 'R', 'E', 'C', 'D', '\n'};
    auto big = [&](uint64_t value, int bytes) {
        for (int i = bytes - 1; i >= 0; --i)
            file.push_back(uint8_t(value >> (8 * i)));
    };
    big(kRecordingFileVersion, 4);
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

    Recording recording;
    const auto problem = parseRecordingFile(file, recording);
    if (problem) {
        if (problem->empty()) __builtin_trap();
        return 0;
    }
    History& history = *recording.history;
    if (encodeRecordingFile(history, recording.end) != file) __builtin_trap();

    Machine machine;
    const std::vector<History::Moment> moments = history.moments();
    for (const History::Moment& m : moments)
        if (history.goTo(machine, m.step)) __builtin_trap();
    const uint64_t near = std::min(history.end(), moments.front().step + 300);
    if (history.goTo(machine, near)) __builtin_trap();
    return 0;
}
