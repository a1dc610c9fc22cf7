// The debug session's recorded history:
//   Recording/Busy:0|1/Recording:0|1 - the tight loop (DJNZ/MOV/ADD/INC, no
//       peripheral) or the busy firmware (CRC and sort with a timer-0
//       interrupt every 100 cycles and the UART sending from its interrupt)
//       run by the session in free runs of 2^20 instructions, without and
//       with recording (items_per_second: instructions);
//   DemoHistory/Demo:N/Log2:L - 2^L instructions (2^26, and 2^32) of
//       demonstration N recorded with the default interval and budget: the
//       bytes kept (history_bytes), the snapshots kept and the bytes per
//       snapshot;
//   RunBackwards - from the end of a history of 10^9 instructions of the
//       busy firmware back to its start, with a line breakpoint the program
//       never reaches (every segment looked over with the stop conditions
//       checked, on as many threads as there are cores);
//   StepBack - from 200 random moments of a 2^26-instruction history of
//       the busy firmware, one instruction back: median and 95th percentile
//       in milliseconds (p50_ms, p95_ms).
#include "tight_loop.h"
#include "debug/debug_session.h"
#include "machine/machine.h"
#include "settings/module_settings_file.h"
#include "tools/file_loader.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

constexpr uint64_t kRun = uint64_t(1) << 20;
constexpr uint64_t kLongRun = uint64_t(1) << 26;

using bench::kTightLoop;

// The busy firmware, or the tight loop.
Machine busyMachine(bool busy = true) {
    std::ifstream file(std::string(QUORVEL_BENCH_FIRMWARE_DIR) + "/crc_sort_peripherals.bin",
                       std::ios::binary);
    const std::vector<uint8_t> program =
        busy ? std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {}) : kTightLoop;
    DeviceSelection selection;
    selection.kind = DeviceKind::AT89C52;
    selection.frequency = 11059200;
    selection.cycleTimeUs = machineCycleTimeUs(selection.frequency);
    Machine machine;
    configureMachine(machine, selection);
    for (size_t i = 0; i < program.size(); ++i)
        machine.chip.writeCode(uint16_t(i), program[i]);
    return machine;
}

// Demonstration `name` on an AT89S8252 at 12 MHz, as the Demo menu loads it;
// false when its files are missing.
bool demoMachine(Machine& machine, const std::string& name) {
    const std::string folder = QUORVEL_DEMO_DIR;
    DeviceSelection selection;
    selection.kind = DeviceKind::AT89S8252;
    selection.frequency = 12000000;
    selection.cycleTimeUs = machineCycleTimeUs(selection.frequency);
    selection.programMode = ProgramMemoryMode::InternalOnly;
    selection.codeLimit = computeCodeLimit(selection.kind, selection.programMode, 5);
    configureMachine(machine, selection);
    if (ReadModuleSettings(folder + "/" + name + ".MST", machine.modules.settings,
                           machine.profile.availablePinMask))
        return false;
    FileLoader loader(LoadTarget::ProgramMemory);
    if (loader.open(folder + "/" + name + ".HEX")) return false;
    while (loader.step(machine.chip)) {
    }
    return loader.outcome().result == LoadResult::Loaded;
}

bool runFor(DebugSession& session, uint64_t steps) {
    RunLimits limits;
    limits.maxSteps = steps;
    const DebugRun run = session.run(limits);
    return run.stop == DebugStop::StepLimit;
}

void Recording(benchmark::State& state) {
    Machine machine = busyMachine(state.range(0) != 0);
    DebugSession session(machine);
    if (state.range(1)) session.setRecording(true);
    for (auto _ : state)
        if (!runFor(session, kRun)) {
            state.SkipWithError("the program stopped");
            return;
        }
    state.SetItemsProcessed(int64_t(state.iterations() * kRun));
    if (const History* history = session.history()) {
        state.counters["history_bytes"] = double(history->bytes());
        state.counters["snapshots"] = double(history->moments().size());
    }
}
BENCHMARK(Recording)
    ->ArgNames({"Busy", "Recording"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

void DemoHistory(benchmark::State& state) {
    const std::string name = "Demo" + std::to_string(state.range(0));
    Machine machine;
    if (!demoMachine(machine, name)) {
        state.SkipWithError("demonstration not built");
        return;
    }
    const uint64_t instructions = uint64_t(1) << state.range(1);
    for (auto _ : state) {
        state.PauseTiming();
        Machine m = machine;
        DebugSession session(m);
        session.setRecording(true);
        state.ResumeTiming();
        if (!runFor(session, instructions)) {
            state.SkipWithError("the program stopped");
            return;
        }
        const History& history = *session.history();
        state.counters["history_bytes"] = double(history.bytes());
        state.counters["snapshots"] = double(history.moments().size());
        state.counters["bytes_per_snapshot"] =
            double(history.bytes()) / double(history.moments().size());
    }
    state.SetItemsProcessed(int64_t(state.iterations() * instructions));
}
BENCHMARK(DemoHistory)
    ->ArgNames({"Demo", "Log2"})
    ->ArgsProduct({benchmark::CreateDenseRange(1, 11, 1), {26, 32}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void StepBack(benchmark::State& state) {
    Machine machine = busyMachine();
    DebugSession session(machine);
    session.setRecording(true);
    if (!runFor(session, kLongRun)) {
        state.SkipWithError("the program stopped");
        return;
    }
    History& history = *session.history();
    std::mt19937_64 random(7);
    std::vector<double> ms;
    for (auto _ : state) {
        for (int i = 0; i < 200; ++i) {
            const uint64_t at = 1 + random() % (kLongRun - 1);
            history.goTo(machine, at);
            const auto start = std::chrono::steady_clock::now();
            if (session.stepBack(1)) {
                state.SkipWithError("step back refused");
                return;
            }
            ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
        }
    }
    std::sort(ms.begin(), ms.end());
    state.counters["p50_ms"] = ms[ms.size() / 2];
    state.counters["p95_ms"] = ms[ms.size() * 95 / 100];
    state.counters["history_bytes"] = double(history.bytes());
}
BENCHMARK(StepBack)->Iterations(1)->Unit(benchmark::kMillisecond);

void RunBackwards(benchmark::State& state) {
    constexpr uint64_t kHistory = 1'000'000'000;
    Machine machine = busyMachine();
    DebugSession session(machine);
    session.setRecording(true);
    if (!runFor(session, kHistory)) {
        state.SkipWithError("the program stopped");
        return;
    }
    CodeAddressSet never;
    never.set(0xFFF0);
    session.setLineBreaks(never);
    for (auto _ : state) {
        const ReverseRun reverse = session.runBackwards();
        if (reverse.refused || reverse.hit) {
            state.SkipWithError("a stop before the history's start");
            return;
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations() * kHistory));
}
BENCHMARK(RunBackwards)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
