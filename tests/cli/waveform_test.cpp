// --vcd: the LED demonstration's first blinks in the dump, parsed back, are
// the edges stepping the core sees on P1.0, at their machine cycles; a full
// recorder keeps the newest changes and says so. (Bad line lists: the usage
// errors' table.)
#include "test_support.h"

#include "machine/executor.h"
#include "tools/file_loader.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

using namespace quorvel;
using namespace quorvel::support;

namespace {

const fs::path kDemos = fs::path(QUORVEL_BUILD_DIR) / "DemoPrograms";
using Edges = std::vector<std::pair<uint64_t, int>>; // time, level

// A dump's timescale ("1 us") and each wire's values by name, $dumpvars first.
std::pair<std::string, std::map<std::string, Edges>> parseVcd(const std::string& text) {
    std::string timescale, word, unit;
    std::map<std::string, std::string> names; // identifier -> wire name
    std::map<std::string, Edges> wires;
    std::istringstream in(text);
    uint64_t time = 0;
    while (in >> word) {
        if (word == "$timescale") {
            in >> timescale >> unit;
            timescale += " " + unit;
        } else if (word == "$var") {
            std::string type, width, id;
            in >> type >> width >> id >> names[id];
        } else if (word[0] == '#') {
            time = std::stoull(word.substr(1));
        } else if ((word[0] == '0' || word[0] == '1') && names.count(word.substr(1))) {
            wires[names[word.substr(1)]].push_back({time, word[0] - '0'});
        }
    }
    return {timescale, wires};
}

ProcessResult runDemo1(const TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), {"--modules", (kDemos / "Demo1.MST").string()});
    args.push_back((kDemos / "Demo1.HEX").string());
    return runProcess(dir.path, cliProgram(), args);
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

    TempDir dir;
    ProcessResult r = runDemo1(dir, {"--vcd", "out.vcd", "--vcd-lines", "P1.0,P3.0-P3.1", "--max-cycles",
                                     std::to_string(kCycles)});
    EXPECT_EQ(r.status, 3) << r.err;
    const auto [timescale, wires] = parseVcd(dir.read("out.vcd"));
    EXPECT_EQ(timescale, "1 us"); // one machine cycle at 12 MHz
    EXPECT_EQ(wires.size(), 3u);
    EXPECT_EQ(wires.at("P1_0"), expected);
    EXPECT_EQ(wires.at("P3_1"), (Edges{{0, 1}}));

    // Room for 4 of the 5 entries: the dump starts at the first lit edge.
    r = runDemo1(dir, {"--vcd", "small.vcd", "--vcd-capacity", "4", "--max-cycles", std::to_string(kCycles)});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("the 1 oldest were dropped"), std::string::npos) << r.err;
    const auto kept = parseVcd(dir.read("small.vcd")).second;
    EXPECT_EQ(kept.at("P1_0"), Edges(expected.begin() + 1, expected.end()));
    EXPECT_EQ(kept.size(), 32u);
}
