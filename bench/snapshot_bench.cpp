// The cost of whole-machine snapshots of an AT89C52 with 64 KB of program
// memory and 64 KB of external data memory, the call stack attached, after
// a short run: taking one into a snapshot that already has its storage,
// hashing it, restoring it into the machine, and writing and reading its
// file form in memory (bytes_per_second: of the byte form).
#include "machine/call_stack.h"
#include "machine/executor.h"
#include "machine/machine.h"
#include "machine/snapshot.h"
#include "settings/snapshot_file.h"

#include <benchmark/benchmark.h>

using namespace quorvel;

namespace {

struct Subject {
    Machine machine;
    CallStack stack;
    MachineSnapshot snapshot;
    int64_t bytes = 0;

    Subject() {
        DeviceSelection selection;
        selection.kind = DeviceKind::AT89C52;
        selection.programMode = ProgramMemoryMode::ExternalOnly;
        selection.externalSizeChoice = 5;
        selection.codeLimit = 0xFFFF;
        selection.xdataLimit = 0xFFFF;
        configureMachine(machine, selection);
        machine.callStack = &stack;
        // Fills external data memory from DPTR up: MOVX @DPTR,A; INC DPTR; INC A; SJMP back.
        const uint8_t loop[] = {0xF0, 0xA3, 0x04, 0x80, 0xFB};
        for (size_t i = 0; i < sizeof loop; ++i) machine.chip.writeCode(uint16_t(i), loop[i]);
        runSteps(machine, 100000);
        takeSnapshot(machine, snapshot);
        bytes = int64_t(encodeSnapshot(snapshot).size());
    }
};

void SnapshotTake(benchmark::State& state) {
    Subject s;
    for (auto _ : state) {
        takeSnapshot(s.machine, s.snapshot);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * s.bytes);
}
BENCHMARK(SnapshotTake);

void SnapshotHash(benchmark::State& state) {
    Subject s;
    for (auto _ : state) benchmark::DoNotOptimize(snapshotHash(s.snapshot));
    state.SetBytesProcessed(int64_t(state.iterations()) * s.bytes);
}
BENCHMARK(SnapshotHash);

void SnapshotRestore(benchmark::State& state) {
    Subject s;
    for (auto _ : state) {
        restoreSnapshot(s.snapshot, s.machine);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * s.bytes);
}
BENCHMARK(SnapshotRestore);

void SnapshotFileWriteAndRead(benchmark::State& state) {
    Subject s;
    MachineSnapshot read;
    for (auto _ : state) {
        const std::vector<uint8_t> file = encodeSnapshotFile(s.snapshot);
        if (parseSnapshotFile(file, read)) {
            state.SkipWithError("the file did not read back");
            return;
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * s.bytes);
}
BENCHMARK(SnapshotFileWriteAndRead);

} // namespace

BENCHMARK_MAIN();
