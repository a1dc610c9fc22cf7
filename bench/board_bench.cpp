// quorvel_board_bench: the board the Python module and the scenario files
// drive. A run with a wait for a pin level or a serial text against the
// same run with nothing to wait for (what quorvel-cli runs by default) and
// with a program counter to reach (--until-pc), on the tight loop, its
// history recorded as the Python board records it; restoring the snapshot
// a pytest fixture starts each test from; a serial wait for a regular
// expression after a long transcript.
#include "cli/cli_board.h"
#include "debug/output_match.h"
#include "tight_loop.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace quorvel;

namespace {

cli::Board& tightLoopBoard() {
    static const std::string path = [] {
        const auto file = std::filesystem::temp_directory_path() / "quorvel_board_bench_loop.bin";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bench::kTightLoop.data()), std::streamsize(bench::kTightLoop.size()));
        return file.string();
    }();
    static cli::Board board([] {
        cli::CliOptions options;
        options.program = path;
        return options;
    }(), false);
    return board;
}

constexpr uint64_t kCycles = 20000000;

// 0: nothing to wait for, 1: a pin level, 2: a serial text, 3: until_pc
// (never reached).
void RunWithCondition(benchmark::State& state) {
    cli::Board& board = tightLoopBoard();
    const MachineSnapshot start = board.snapshot();
    uint64_t steps = 0;
    for (auto _ : state) {
        board.restore(start);
        cli::RunRequest q;
        q.cycles = kCycles;
        if (state.range(0) == 3) q.untilPc = 0x1FF0;
        if (state.range(0) == 1) q.pin = std::make_pair(std::string("P2.0"), 0);
        if (state.range(0) == 2) q.uart = "never";
        steps += board.run(q).steps;
    }
    state.SetItemsProcessed(int64_t(steps));
}
BENCHMARK(RunWithCondition)->ArgName("None0Pin1Uart2UntilPc3")->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The wait for a regular expression that comes after `range(0)` bytes of
// other text: each byte is looked at once, so the time per byte stays flat
// as the text before the match grows.
void RegexWaitAfterText(benchmark::State& state) {
    const size_t before = size_t(state.range(0));
    const std::string_view filler = "status 17 ok\r\n", last = "READY 42\r\n";
    for (auto _ : state) {
        OutputMatch match;
        if (match.expect("READY [0-9]+\\r\\n", true)) state.SkipWithError("the pattern does not read");
        for (size_t i = 0; i < before; ++i) match.byteSent(uint8_t(filler[i % filler.size()]));
        for (char c : last) match.byteSent(uint8_t(c));
        if (!match.matched()) state.SkipWithError("no match");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(before + last.size()));
}
BENCHMARK(RegexWaitAfterText)->Arg(1000)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond);

void RestoreFixtureSnapshot(benchmark::State& state) {
    cli::Board& board = tightLoopBoard();
    const MachineSnapshot start = board.snapshot();
    for (auto _ : state) board.restore(start);
}
BENCHMARK(RestoreFixtureSnapshot)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
