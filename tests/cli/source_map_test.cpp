// quorvel-cli with --source-map: a C program built with `sdcc --debug` stops
// at a source line and says where; trace lines name their line; a map that
// cannot be read, a line without code or beyond program memory, and an
// output that would overwrite a file the map was read from are refused; a
// map of another build is warned about.
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quorvel;
using namespace quorvel::support;

namespace {

struct CliSourceMap : testing::Test {
    TempDir dir;
    std::string source = readFile(std::string(QUORVEL_TEST_DATA) + "/source_steps.c");

    void SetUp() override { ASSERT_TRUE(compileC(dir.path, "steps", source, {"--debug"})); }
    std::string at(const std::string& mark) {
        const size_t pos = source.find("mark:" + mark + " ");
        return "steps.c:" + std::to_string(std::count(source.begin(), source.begin() + long(pos), '\n') + 1);
    }
    ProcessResult cli(std::vector<std::string> args) {
        args.insert(args.begin(), "steps.hex");
        return runProcess(dir.path, cliProgram(), args);
    }
};

TEST_F(CliSourceMap, BreakLineStopsThereAndTheReportSaysWhere) {
    ProcessResult r = cli({"--source-map", "steps.cdb", "--break-line", at("call"), "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "") << "the map matches the program and is whole";
    EXPECT_NE(r.out.find(R"("reason":"break-line")"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(R"("source":")" + at("call") + R"(","function":"main")"), std::string::npos) << r.out;

    // A line in the function, named with a folder; the map found beside the
    // program; the text report.
    r = cli({"--source-map", "steps.hex", "--break-line", "src/" + at("port")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("[stop]\nreason=break-line pc="), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" source=" + at("port") + " function=bump\n"), std::string::npos) << r.out;

    // A line without code breaks at the next, and says so.
    r = cli({"--source-map", "steps.cdb", "--break-line", at("nocode")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(at("nocode") + " has no code; breaking at " + at("loop")), std::string::npos) << r.err;
    EXPECT_NE(r.out.find(" source=" + at("loop") + " "), std::string::npos) << r.out;

    // The trace: the bump line's instructions carry it, the start-up code
    // (no line) nothing.
    r = cli({"--source-map", "steps.cdb", "--break-line", at("after"), "--trace", "-"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("  ; " + at("bump") + "\n"), std::string::npos);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')).find(';'), std::string::npos) << r.out.substr(0, 200);

    // The profile summed per function and line: the port line (one MOV) ran
    // once per call of the three-pass loop.
    r = cli({"--source-map", "steps.cdb", "--break-line", at("after"), "--profile", "p.json"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string profile = dir.read("p.json");
    const std::string port = at("port");
    EXPECT_NE(profile.find(R"({"function":"bump","file":"steps.c","line":)" + port.substr(port.find(':') + 1) +
                           R"(,"executions":3,)"),
              std::string::npos) << profile;
}

TEST_F(CliSourceMap, BadMapsAndLinesAreRefused) {
    dir.write("bad.cdb", "M:steps\nL:C$steps.c$3$0_0$0:12G\n");
    std::filesystem::create_directory(dir / "folder.cdb");
    std::filesystem::create_symlink("steps.rst", dir / "link.out");
    const std::string cdb = dir.read("steps.cdb"), rst = dir.read("steps.rst");
    const std::string input = "an output cannot be one of the run's input files";
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::vector<Row> rows{
        {{"--source-map", "missing.cdb"}, 1, "missing.cdb: no such file"},
        {{"--source-map", "steps.c"}, 1, "a source map is an asm51 listing"},
        {{"--source-map", "bad.cdb"}, 1, "bad.cdb:2: bad address"},
        {{"--source-map", "steps.asm"}, 1, "a source map is"},
        {{"--source-map", "folder.cdb"}, 1, "folder.cdb: not a regular file"},
        {{"--source-map", "steps.cdb", "--break-line", "steps.c:999"}, 1, "steps.c:999 has no code"},
        {{"--source-map", "steps.cdb", "--break-line", "other.c:3"}, 1, "no file other.c"},
        {{"--source-map", "steps.cdb", "--break-line", "steps.c:x"}, 2, "--break-line takes FILE:LINE"},
        {{"--break-line", "steps.c:3"}, 2, "--break-line needs --source-map"},
        // The files the map was read from: found beside the program, the
        // module's linker listing, and that listing through a link.
        {{"--source-map", "steps.hex", "--profile", "steps.cdb"}, 1, "steps.cdb: " + input},
        {{"--source-map", "steps.cdb", "--trace", "steps.rst"}, 1, "steps.rst: " + input},
        {{"--source-map", "steps.hex", "--vcd", "link.out"}, 1, "link.out: " + input},
    };
    for (const Row& row : rows) {
        const ProcessResult r = cli(row.args);
        EXPECT_EQ(r.status, row.status) << row.args.back() << ": " << r.err;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    EXPECT_EQ(dir.read("steps.cdb"), cdb);
    EXPECT_EQ(dir.read("steps.rst"), rst);
}

TEST_F(CliSourceMap, AMapOfAnotherBuildIsWarnedAbout) {
    // The same program with another port value: its linker listing shows
    // other bytes.
    std::string other = source;
    const size_t port = other.find("P1 = ");
    ASSERT_NE(port, std::string::npos);
    other.insert(port + 5, "0x40 ^ ");
    std::filesystem::create_directory(dir / "other");
    ASSERT_TRUE(compileC(dir / "other", "steps", other, {"--debug"}));
    const ProcessResult r = cli({"--source-map", "other/steps.cdb", "--break-line", at("after")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: other/steps.rst: not a listing of the loaded program (it lists code at "),
              std::string::npos) << r.err;
}

// A program written in assembler: its listing is the map. short.hex is the
// program run; t.lst the listing of a longer build with code beyond 2K.
struct CliListingMap : testing::Test {
    TempDir dir;
    const std::string source = "        ORG 0\nSTART:  MOV A,#1\n        INC A\nHERE:   SJMP HERE\n"
                               "        ORG 0900H\nFAR:    NOP\n        END\n";
    void SetUp() override {
        const std::pair<std::string, std::string> programs[] = {
            {"t", source}, {"short", source.substr(0, source.find("        ORG 0900H")) + "        END\n"}};
        for (const auto& [name, text] : programs) {
            dir.write(name + ".asm", text);
            const ProcessResult r = runProcess(dir.path, asm51Program().string(), {name});
            ASSERT_EQ(r.status, 0) << r.output();
        }
    }
    ProcessResult cli(std::vector<std::string> args) {
        args.insert(args.begin(), "short.hex");
        return runProcess(dir.path, cliProgram(), args);
    }
};

TEST_F(CliListingMap, BreakLinesAndListingsTheProgramCannotMatch) {
    // The first instruction's line stops before it runs.
    ProcessResult r = cli({"--source-map", "short.lst", "--break-line", "short.asm:2", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find(R"("reason":"break-line","exit_status":0,"pc":0,"source":"short.asm:2")"),
              std::string::npos) << r.out;
    EXPECT_NE(r.out.find(R"("instructions":0,)"), std::string::npos) << r.out;

    struct Row {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::vector<Row> rows{
        {{"--device", "AT89C2051", "--source-map", "t.lst", "--break-line", "t.asm:6"}, 1,
         "t.asm:6 has code at 0900, beyond the program memory of the AT89C2051 (highest address 07FF)"},
        {{"--source-map", "t.lst", "--break-line", "t.asm:3"}, 0,
         "warning: t.lst: not a listing of the loaded program (it lists code at 0900 as 00 where the "
         "program has FF; 1 of its 6 bytes differ)"},
    };
    for (const Row& row : rows) {
        r = cli(row.args);
        EXPECT_EQ(r.status, row.status) << row.args[1] << ": " << r.err;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
    }
}

} // namespace
