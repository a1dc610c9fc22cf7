// Simulated instructions per second of the executor (items_per_second):
//   TightLoop   - DJNZ/MOV/ADD/INC in a loop, no peripheral active;
//   CrcSort     - SDCC-compiled C (CRC-16 and an insertion sort);
//   CrcSortBusy - the same with a timer-0 interrupt every 100 machine cycles
//                 and the UART transmitting from its interrupt;
//   CrcSortBusyProfiled - CrcSortBusy with the execution profile counting
//                 (its cost against CrcSortBusy is the profile's cost);
//   CrcSortBusyWatched - CrcSortBusy with 8 watchpoints set on places the
//                 program leaves alone after its start-up (the cost of
//                 looking at them after the instructions that may write);
//   CrcSortBusyDebugged - the same with the call stack kept as well.
// Each runs as a free run does (runSteps in batches) and, suffixed
// "/SingleSteps", as separate step() calls (breakpoint runs, stepping).
// SourceMapFiles reads a debug file naming N source files, one line record
// each (items_per_second: records read). Each name is looked up once, so the
// rate stays of one order from 10 000 to 160 000 names; what it loses on
// the way is the names outgrowing the processor's caches.
#include "tight_loop.h"
#include "machine/call_stack.h"
#include "machine/executor.h"
#include "machine/machine.h"
#include "machine/watchpoints.h"
#include "tools/source_map_files.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

constexpr int kStepsPerIteration = 10000;

Machine makeMachine(const std::vector<uint8_t>& program) {
    DeviceSelection selection;
    selection.kind = DeviceKind::AT89C52;
    selection.frequency = 11059200;
    selection.cycleTimeUs = machineCycleTimeUs(selection.frequency);
    Machine machine;
    configureMachine(machine, selection);
    for (size_t i = 0; i < program.size(); ++i) machine.chip.writeCode(uint16_t(i), program[i]);
    return machine;
}

// state.range(0): 0 free run (batches of 1000 steps), 1 single steps.
void runProgram(benchmark::State& state, Machine& machine) {
    const bool singleSteps = state.range(0) != 0;
    for (auto _ : state) {
        if (singleSteps) {
            for (int i = 0; i < kStepsPerIteration; ++i) {
                if (step(machine)) {
                    state.SkipWithError("program counter out of range");
                    return;
                }
            }
        } else {
            for (int i = 0; i < kStepsPerIteration; i += 1000) {
                const RunResult result = runSteps(machine, 1000);
                if (result.pcOutOfRange) {
                    state.SkipWithError("program counter out of range");
                    return;
                }
                if (result.cause == StopCause::Watchpoint) {
                    state.SkipWithError("a watchpoint stopped the run");
                    return;
                }
            }
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kStepsPerIteration);
    state.counters["cycles_per_instruction"] =
        double(machine.chip.cycles) / (double(state.iterations()) * kStepsPerIteration);
}

void TightLoop(benchmark::State& state) {
    Machine machine = makeMachine(bench::kTightLoop);
    runProgram(state, machine);
}
BENCHMARK(TightLoop)->ArgName("SingleSteps")->Arg(0)->Arg(1);

void SourceMapFiles(benchmark::State& state) {
    std::string cdb;
    char record[64];
    for (int64_t i = 0; i < state.range(0); ++i) {
        std::snprintf(record, sizeof record, "L:C$file%lld.c$1$0_0$0:%llX\n", (long long)i,
                      (long long)(i & 0xFFFF));
        cdb += record;
    }
    for (auto _ : state) {
        SourceMap map;
        if (parseSdccDebug(cdb, "files.cdb", map)) state.SkipWithError("not read");
        benchmark::DoNotOptimize(map.files().size());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(SourceMapFiles)->Arg(10000)->Arg(40000)->Arg(160000)->Unit(benchmark::kMillisecond);

#ifdef QUORVEL_BENCH_FIRMWARE_DIR
std::vector<uint8_t> readFirmware(const char* name) {
    std::ifstream file(std::string(QUORVEL_BENCH_FIRMWARE_DIR) + "/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

enum class Extra { None, Profiled, Watched, Debugged };

void runFirmware(benchmark::State& state, const char* name, Extra extra = Extra::None) {
    const std::vector<uint8_t> program = readFirmware(name);
    if (program.empty()) {
        state.SkipWithError("firmware not built");
        return;
    }
    Machine machine = makeMachine(program);
    if (extra == Extra::Profiled) machine.codeProfile.enable();
    Watchpoints watchpoints;
    CallStack calls;
    if (extra == Extra::Watched || extra == Extra::Debugged) {
        // Internal RAM above the program's data and stack, which it leaves
        // alone once its start-up code (which clears all internal RAM, and
        // so writes them) has run.
        runSteps(machine, 100000);
        for (uint16_t address = 0x78; address < 0x80; ++address)
            if (watchpoints.add({WatchSpace::InternalRam, address}, machine)) {
                state.SkipWithError("watchpoint refused");
                return;
            }
        machine.watchpoints = &watchpoints;
    }
    if (extra == Extra::Debugged) machine.callStack = &calls;
    runProgram(state, machine);
    state.counters["bytes_sent"] = double(machine.chip.periph.serial.txLog.size());
}

void CrcSort(benchmark::State& state) { runFirmware(state, "crc_sort_plain.bin"); }
void CrcSortBusy(benchmark::State& state) { runFirmware(state, "crc_sort_peripherals.bin"); }
void CrcSortBusyProfiled(benchmark::State& state) {
    runFirmware(state, "crc_sort_peripherals.bin", Extra::Profiled);
}
void CrcSortBusyWatched(benchmark::State& state) {
    runFirmware(state, "crc_sort_peripherals.bin", Extra::Watched);
}
void CrcSortBusyDebugged(benchmark::State& state) {
    runFirmware(state, "crc_sort_peripherals.bin", Extra::Debugged);
}
BENCHMARK(CrcSort)->ArgName("SingleSteps")->Arg(0)->Arg(1);
BENCHMARK(CrcSortBusy)->ArgName("SingleSteps")->Arg(0)->Arg(1);
BENCHMARK(CrcSortBusyProfiled)->ArgName("SingleSteps")->Arg(0)->Arg(1);
BENCHMARK(CrcSortBusyWatched)->ArgName("SingleSteps")->Arg(0)->Arg(1);
BENCHMARK(CrcSortBusyDebugged)->ArgName("SingleSteps")->Arg(0)->Arg(1);
#endif

} // namespace

BENCHMARK_MAIN();
