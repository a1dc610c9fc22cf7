// --vcd: the LED demonstration's first blinks in the dump, parsed back, are
// the edges stepping the core sees on P1.0, at their machine cycles; a full
// recorder keeps the newest changes and says so; bad line lists are usage
// errors; the dump follows the output-file rules.
#include "test_support.h"

#include "machine/executor.h"
#include "tools/file_loader.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <utility>

using namespace quorvel;
using namespace quorvel::support;

namespace {

const fs::path kDemos = fs::path(QUORVEL_BUILD_DIR) / "DemoPrograms";

using Edges = std::vector<std::pair<uint64_t, int>>; // time, level

struct Dump {
    std::string timescale;
    std::map<std::string, Edges> wires; // by wire name, the $dumpvars value first
};

// Reads the declarations and value changes of a dump.
Dump parseVcd(const std::string& text) {
    Dump dump;
    std::map<std::string, std::string> names; // identifier -> wire name
    std::istringstream in(text);
    std::string word;
    uint64_t time = 0;
    while (in >> word) {
        if (word == "$timescale") {
            std::string number, unit;
            in >> number >> unit;
            dump.timescale = number + " " + unit;
        } else if (word == "$var") {
            std::string type, width, id, name;
            in >> type >> width >> id >> name;
            names[id] = name;
        } else if (word[0] == '#') {
            time = std::stoull(word.substr(1));
        } else if ((word[0] == '0' || word[0] == '1') && names.count(word.substr(1))) {
            dump.wires[names[word.substr(1)]].push_back({time, word[0] - '0'});
        }
    }
    return dump;
}

// Demo1 on the CLI's default machine, stepped: P1.0's level after each
// instruction that changed it, at the machine cycle that instruction ended.
Edges steppedEdges(uint64_t cycles) {
    Machine machine = makeMachine(DeviceKind::AT89C52, 12000000);
    FileLoader loader(LoadTarget::ProgramMemory);
    EXPECT_FALSE(loader.open(kDemos / "Demo1.HEX"));
    while (loader.step(machine.chip)) {
    }
    constexpr int kLed = 8; // P1.0
    Edges edges{{0, machine.chip.pins.readBit(kLed, machine.chip.portLatches())}};
    while (machine.chip.cycleCount() < cycles) {
        const int was = edges.back().second;
        step(machine);
        const int level = machine.chip.pins.readBit(kLed, machine.chip.portLatches());
        if (level != was) edges.push_back({machine.chip.cycleCount(), level});
    }
    return edges;
}

struct CliWaveform : testing::Test {
    TempDir dir;
    ProcessResult runCli(const std::vector<std::string>& args) {
        std::vector<std::string> all{"--modules", (kDemos / "Demo1.MST").string()};
        all.insert(all.end(), args.begin(), args.end());
        all.push_back((kDemos / "Demo1.HEX").string());
        return runProcess(dir.path, cliProgram(), all);
    }
};

} // namespace

TEST_F(CliWaveform, LedDemoBlinksAtTheSteppedCycles) {
    // Two blinks: lit, dark, lit, dark.
    constexpr uint64_t kCycles = 1000000;
    const Edges expected = steppedEdges(kCycles);
    ASSERT_EQ(expected.size(), 5u);

    const ProcessResult r = runCli({"--vcd", "out.vcd", "--vcd-lines", "P1.0,P3.0-P3.1",
                                    "--max-cycles", std::to_string(kCycles)});
    EXPECT_EQ(r.status, 3) << r.err;
    const Dump dump = parseVcd(dir.read("out.vcd"));
    EXPECT_EQ(dump.timescale, "1 us"); // one machine cycle at 12 MHz
    EXPECT_EQ(dump.wires.at("P1_0"), expected);
    for (const char* still : {"P3_0", "P3_1"}) EXPECT_EQ(dump.wires.at(still), (Edges{{0, 1}}));
    EXPECT_EQ(dump.wires.size(), 3u);

    // Room for 4 changes of the 5 after the start: the dump starts at the
    // first blink's lit edge, and standard error says what went.
    const ProcessResult small = runCli({"--vcd", "small.vcd", "--vcd-capacity", "4",
                                        "--max-cycles", std::to_string(kCycles)});
    EXPECT_EQ(small.status, 3) << small.err;
    EXPECT_NE(small.err.find("the 1 oldest were dropped"), std::string::npos) << small.err;
    const Dump kept = parseVcd(dir.read("small.vcd"));
    EXPECT_EQ(kept.wires.at("P1_0"), Edges(expected.begin() + 1, expected.end()));
    EXPECT_EQ(kept.wires.size(), 32u);
}

TEST_F(CliWaveform, BadLineListsAndOutputFiles) {
    dir.write("kept.vcd", "old dump\n");
    const struct {
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {
        {{"--vcd", "x.vcd", "--vcd-lines", "P1.8"}, 2, "--vcd-lines takes port lines"},
        {{"--vcd", "x.vcd", "--vcd-lines", "P4.0"}, 2, "not 'P4.0'"},
        {{"--vcd", "x.vcd", "--vcd-lines", "P3.7-P3.0"}, 2, "not 'P3.7-P3.0'"},
        {{"--vcd", "x.vcd", "--vcd-lines", "P1.0,"}, 2, "not 'P1.0,'"},
        {{"--vcd-lines", "P1.0"}, 2, "need --vcd FILE"},
        {{"--vcd", "x.vcd", "--vcd-capacity", "0"}, 2, "--vcd-capacity takes a positive number"},
        // Another output cannot be opened: the dump is not touched.
        {{"--vcd", "kept.vcd", "--trace", "no/such/folder/t.txt"}, 1, "no/such/folder/t.txt"},
        {{"--vcd", "no/such/folder/x.vcd"}, 1, "no/such/folder/x.vcd"},
        {{"--vcd", (kDemos / "Demo1.HEX").string()}, 1, "cannot be one of the run's input files"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--max-steps", "10"});
        const ProcessResult r = runCli(args);
        EXPECT_EQ(r.status, c.status) << r.output();
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_FALSE(dir.exists("x.vcd"));
    EXPECT_EQ(dir.read("kept.vcd"), "old dump\n");

    // A dump that cannot be written (past a 512-byte file-size limit) ends
    // the run with exit status 1.
    const ProcessResult r = runProcess(
        dir.path, "sh",
        {"-c", "ulimit -f 1; exec " + cliProgram().string() + " --vcd big.vcd --max-cycles 2000000 " +
                   (kDemos / "Demo1.HEX").string()});
    EXPECT_EQ(r.status, 1) << r.output();
    EXPECT_NE(r.err.find("big.vcd: cannot write"), std::string::npos) << r.err;
}
