// Bad arguments and bad files: the message on standard error, the exit
// status, and no output file touched when the run never started.
#include "test_support.h"

#include <gtest/gtest.h>

using namespace quorvel::support;

namespace {

ProcessResult runCli(const TempDir& dir, const std::vector<std::string>& args) {
    return runProcess(dir.path, cliProgram(), args);
}

struct Case {
    std::vector<std::string> args;
    int status;
    std::string message; // part of standard error
    std::string out = {}; // part of standard output, which is otherwise empty
};

struct CliErrors : testing::Test {
    TempDir dir;
    void SetUp() override {
        // SJMP $ at 0: a valid program for the runs that must get going.
        dir.write("park.hex", ":0200000080FE80\n:00000001FF\n");
        dir.write("bad.hex", ":0200000080FE80\n:02000000XX0000\n:00000001FF\n");
        dir.write("nolast.hex", ":0200000080FE80\n");
        dir.write("empty.bin", "");
        // SJMP $ twice over, each record's checksum off by one; LJMP 0800H,
        // beyond the AT89C2051's 2K.
        dir.write("sums.hex", ":0200000080FE81\n:0200020080FE7F\n:00000001FF\n");
        dir.write("away.hex", ":03000000020800F3\n:00000001FF\n");
    }
    void check(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            std::string line;
            for (const std::string& a : c.args) line += a + " ";
            SCOPED_TRACE(line);
            const ProcessResult r = runCli(dir, c.args);
            EXPECT_EQ(r.status, c.status) << r.err;
            EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
            if (c.out.empty()) EXPECT_TRUE(r.out.empty()) << r.out;
            else EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        }
    }
};

// Usage errors exit with status 2, configuration and load errors with 1,
// leaving program memory with 4; warnings, help and version are no errors.
// (The dialogs' own checks of clock and breakpoint values: core tests.)
TEST_F(CliErrors, ArgumentsAndFilesGiveTheirStatusAndMessage) {
    dir.write("four.bin", std::string("\x80\xFE\x00\x00", 4));
    // A file option with an empty value would read as not given.
    std::vector<Case> emptyFiles;
    for (const char* option : {"--data", "--modules", "--uart-in", "--uart-out", "--trace", "--vcd", "--profile", "--source-map"})
        emptyFiles.push_back({{std::string(option) + "=", "--max-steps", "1", "park.hex"}, 2, std::string(option) + " needs a file name"});
    check(emptyFiles);
    check({
        {{"--until-pc", "0100", "--until-pc", "0200", "--max-steps", "1", "park.hex"}, 2, "--until-pc given more than once"},
        {{"--trace", "a.txt", "--json", "--trace=b.txt", "--max-steps", "1", "park.hex"}, 2, "--trace given more than once"},
        {{}, 2, "no PROGRAM given"},
        {{"--frobnicate", "park.hex"}, 2, "unknown option '--frobnicate'"},
        {{"park.hex", "--device"}, 2, "--device needs a value"},
        {{"--device", "Z80", "park.hex"}, 2, "unknown device 'Z80'"},
        {{"--xdata", "3", "park.hex"}, 2, "--xdata takes 0, 2, 4, 8, 16, 32 or 64"},
        {{"--code-memory", "external", "park.hex"}, 2, "--code-memory takes internal"},
        {{"--pin", "P4.0=1", "park.hex"}, 2, "--pin takes"},
        {{"--max-cycles", "0", "park.hex"}, 2, "--max-cycles takes a positive number"},
        {{"--until-pc", "10000", "park.hex"}, 2, "--until-pc takes a hex address"},
        {{"--break", "acc=1", "park.hex"}, 2, "--break takes"},
        {{"--dump", "xdata:0100-00FF", "park.hex"}, 2, "--dump takes"},
        {{"--json=yes", "park.hex"}, 2, "--json takes no value"},
        {{"park.hex", "other.hex"}, 2, "more than one PROGRAM"},
        {{"--dap", "park.hex"}, 2, "--dap takes no other options"},
        {{"--uart-pty", "--uart-in", "park.hex", "park.hex"}, 2, "--uart-pty and --uart-in cannot be combined"},
        {{"--vcd", "w.vcd", "--vcd-lines", "P1.8", "park.hex"}, 2, "--vcd-lines takes port lines"},
        {{"--vcd", "w.vcd", "--vcd-lines", "P3.7-P3.0", "park.hex"}, 2, "not 'P3.7-P3.0'"},
        {{"--vcd-lines", "P1.0", "park.hex"}, 2, "--vcd-lines and --vcd-capacity need --vcd FILE"},
        {{"--clock", "30000000", "park.hex"}, 1, "Exceeds Maximum Operating Frequency"},
        {{"--device", "AT89C2051", "--code-memory", "external:8", "park.hex"}, 1, "fixed program memory"},
        {{"--device", "89c2051", "--xdata", "2", "park.hex"}, 1, "has no external data memory"},
        {{"--device", "8031", "--code-memory", "internal", "park.hex"}, 1, "no on-chip program memory"},
        {{"--code-memory", "both:48", "park.hex"}, 1, "both takes 2, 4, 8, 16, 32 or 56 KB"},
        {{"--device", "AT89C2051", "--pin", "P0.1=1", "park.hex"}, 1, "P0.1 is not a port line of the AT89C2051"},
        {{"--device", "AT89C4051", "--vcd", "w.vcd", "--vcd-lines", "P1,P3.6", "park.hex"}, 1,
         "P3.6 is not a port line of the AT89C4051 (--vcd-lines)"},
        {{"--break", "reg:DPTR0=1", "park.hex"}, 1, "unknown register 'DPTR0'"},
        {{"--break", "reg:ACC=100", "park.hex"}, 1, "Illegal Data."},
        {{"--break", "flag:ZZ=1", "park.hex"}, 1, "unknown flag 'ZZ'"},
        {{"--break", "xdata:0010=01", "park.hex"}, 1, "need external data memory"},
        {{"--dump", "xdata", "park.hex"}, 1, "needs external data memory"},
        {{"--xdata", "2", "--dump", "xdata:0000-0800", "park.hex"}, 1, "lies beyond external data memory"},
        {{"--dump", "code:1F00-2000", "park.hex"}, 1, "lies beyond program memory (highest address 1FFF)"},
        {{"--dump", "eeprom", "park.hex"}, 1, "the AT89C52 has no on-chip EEPROM"},
        {{"missing.hex"}, 1, "missing.hex: Unable to open the selected file"},
        {{"bad.hex"}, 1, "bad.hex: Invalid HEX file, line 2: data byte 1 is not hexadecimal."},
        {{"nolast.hex"}, 1, "Illegal File End: the file ends after line 1 without an end record."},
        {{"--device", "AT89C2051", "--load-address", "7FE", "four.bin"}, 1,
         "Address Exceeds the Program Memory Capacity."},
        {{"--data", "park.hex", "park.hex"}, 1, "--data needs external data memory"},
        {{"--modules", "missing.mst", "park.hex"}, 1, "missing.mst: Unable to Open Specified File.\nmissing.mst: no such file"},
        {{"--modules", "park.hex", "park.hex"}, 1, "park.hex: Unable to Open Specified File.\npark.hex: "},
        {{"--uart-in", "missing.bin", "park.hex"}, 1, "missing.bin: Unable to open the selected file"},
        {{"--uart-in", "empty.bin", "park.hex"}, 1, "The selected file is empty"},
        {{"--device", "AT89C1051", "--uart-out", "-", "park.hex"}, 1, "has no serial port"},
        {{"--device", "AT89C1051", "--uart-pty", "park.hex"}, 1, "has no serial port"},
        {{"--start-address", "2000", "park.hex"}, 1, "PC Exceeds Maximum Program Memory"},
        {{"--device", "AT89C2051", "--json", "away.hex"}, 4, "PC Exceeds Maximum Program Memory",
         R"("reason":"pc-out-of-range","exit_status":4,"pc":0,)"},
        {{"--halt-on-self-jump", "sums.hex"}, 0, "warning: sums.hex: 2 records with a wrong checksum"},
        {{"-h", "park.hex"}, 0, "", "Usage: quorvel-cli [options] PROGRAM"},
        {{"--version"}, 0, "", "quorvel-cli " QUORVEL_VERSION "\n"},
    });
}

// A bad program, an output that cannot be opened or no descriptor left for
// a pseudo-terminal (descriptors a test runner passes down are closed first,
// so the runner itself can still start): the other outputs keep their content.
TEST_F(CliErrors, OutputFilesAreKeptWhenTheRunCannotStart) {
    dir.write("keep.txt", "precious");
    const std::string cli = cliProgram().string();
    const struct {
        std::string command;
        const char* message;
    } cases[] = {
        {cli + " --uart-out keep.txt --trace keep.txt bad.hex", "bad.hex: Invalid HEX file"},
        {cli + " --uart-out keep.txt --trace no/such/dir/trace.txt park.hex", "no/such/dir/trace.txt"},
        {cli + " --vcd keep.txt --trace no/such/dir/t.txt park.hex", "no/such/dir/t.txt"},
        {"exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-; ulimit -n 4; exec " + cli + " --uart-pty --uart-out keep.txt --halt-on-self-jump park.hex </dev/null",
         "--uart-pty: cannot open a pseudo-terminal"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const ProcessResult r = runProcess(dir.path, "sh", {"-c", c.command});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(dir.read("keep.txt"), "precious");
    }
    // A run that starts replaces the file.
    EXPECT_EQ(runCli(dir, {"--uart-out", "keep.txt", "--halt-on-self-jump", "park.hex"}).status, 0);
    EXPECT_EQ(dir.read("keep.txt"), "");
}

} // namespace
