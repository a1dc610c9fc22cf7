// --vcd: the LED demonstration's first blinks in the dump, parsed back, are
// the edges stepping the core sees on P1.0, at their machine cycles; a full
// recorder keeps the newest changes and says so; GTKWave reads the dump. (Bad line lists: the usage
// errors' table.)
#include "test_support.h"

#include "machine/executor.h"
#include "tools/file_loader.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace quorvel;
using namespace quorvel::support;

namespace {

const fs::path kDemos = fs::path(QUORVEL_BUILD_DIR) / "DemoPrograms";
using Edges = std::vector<std::pair<uint64_t, int>>; // time, level

// The values of the dump's one wire, "!", from $dumpvars on.
Edges edgesOf(const std::string& vcd) {
    std::istringstream in(vcd.substr(vcd.find("$enddefinitions")));
    Edges edges;
    uint64_t time = 0;
    for (std::string word; in >> word;) {
        if (word[0] == '#') time = std::stoull(word.substr(1));
        if (word == "0!" || word == "1!") edges.push_back({time, word[0] - '0'});
    }
    return edges;
}

} // namespace

TEST(CliWaveform, LedDemoBlinksAtTheSteppedCycles) {
    constexpr uint64_t kCycles = 1000000; // two blinks: lit, dark, lit, dark
    // Demo1 on the runner's default machine, stepped: P1.0's level after each
    // instruction that changed it, at the cycle that instruction ended.
    Machine machine = makeMachine(DeviceKind::AT89C52, 12000000);
    FileLoader loader(LoadTarget::ProgramMemory);
    ASSERT_FALSE(loader.open(kDemos / "Demo1.HEX"));
    while (loader.step(machine.chip)) {
    }
    auto led = [&] { return int(machine.chip.pins.readBit(8, machine.chip.portLatches())); };
    Edges expected{{0, led()}};
    while (machine.chip.cycleCount() < kCycles) {
        step(machine);
        if (led() != expected.back().second) expected.push_back({machine.chip.cycleCount(), led()});
    }
    ASSERT_EQ(expected.size(), 5u);

    // With room for 3 of the 5 entries (exactly as asked) the dump starts at
    // the first dark edge after the first lit one.
    TempDir dir;
    for (const char* capacity : {"16", "3"}) {
        const ProcessResult r = runProcess(
            dir.path, cliProgram(),
            {"--modules", (kDemos / "Demo1.MST").string(), "--vcd", "out.vcd", "--vcd-lines", "P1.0",
             "--vcd-capacity", capacity, "--max-cycles", std::to_string(kCycles), (kDemos / "Demo1.HEX").string()});
        EXPECT_EQ(r.status, 3) << r.err;
        const int dropped = capacity == std::string("3") ? 2 : 0;
        EXPECT_EQ(r.err.find("the 2 oldest were dropped") != std::string::npos, dropped != 0) << r.err;
        const std::string vcd = dir.read("out.vcd");
        EXPECT_NE(vcd.find("$timescale 1 us $end\n$scope module AT89C52 $end\n$var wire 1 ! P1_0 $end\n"),
                  std::string::npos) << vcd; // one machine cycle at 12 MHz
        EXPECT_EQ(edgesOf(vcd), Edges(expected.begin() + dropped, expected.end()));
    }
    // GTKWave's reader takes the dump and gives the same edges back.
    ASSERT_EQ(runProcess(dir.path, kVcd2fst, {"out.vcd", "out.fst"}).status, 0);
    const ProcessResult back = runProcess(dir.path, kFst2vcd, {"out.fst"});
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(edgesOf(back.out), Edges(expected.begin() + 2, expected.end()));
}
