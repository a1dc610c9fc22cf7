// quorvel-cli --var: tests/data/debug/variables.c prints its variables over
// the UART before the line marked MARK in main; stopped there, each --var
// in the JSON and text reports holds what the program printed. Expressions
// that cannot be read are usage errors; unknown names are errors of their
// variable.
#include "test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <sstream>

using namespace quorvel::support;

namespace {

struct CliVariables : testing::Test {
    TempDir dir;
    std::string source = readFile(std::string(QUORVEL_TEST_DATA) + "/debug/variables.c");

    void SetUp() override { ASSERT_TRUE(compileC(dir.path, "variables", source, {"--debug"})); }
    // The line of the first text `marker` after the first `after`.
    int lineOf(const std::string& marker, const std::string& after = "") const {
        const size_t pos = source.find(marker, source.find(after));
        return int(std::count(source.begin(), source.begin() + long(pos), '\n') + 1);
    }
    // main's mark: the last one in the file.
    std::string mainMark() const { return "variables.c:" + std::to_string(lineOf("/* MARK */", "void main")); }
    ProcessResult cli(const std::vector<std::string>& vars, std::vector<std::string> args) {
        for (const std::string& v : vars) args.insert(args.end(), {"--var", v});
        args.insert(args.end(), {"--xdata", "64", "variables.hex"});
        return runProcess(dir.path, cliProgram(), args);
    }
};

TEST_F(CliVariables, ValuesAtTheStopAreWhatTheProgramPrinted) {
    // An empty `json`: the value is the number the program printed (as an
    // unsigned long) for the expression.
    const struct {
        const char* expression;
        const char* json;
        const char* text; // the text report's line begins so
    } rows[] = {
        {"gc", "", "gc: signed char = -5 ["},
        {"gul", "", "gul: unsigned long = 3000000000 ["},
        {"gs", "", "gs: int = -300 ["},
        {"gpt.f2", "", "gpt.f2: unsigned int : 5 = 17 ["},
        {"guv.b[1]", "", "guv.b[1]: unsigned char = 51 ["},
        {"xarr[3]", "", "xarr[3]: int = -400 [xdata "},
        {"*gp", "", "*gp: unsigned char = 44 [xdata "},
        {"dp->y", "", "dp->y: int = 777 ["},
        {"(*dp).x", "", "(*dp).x: signed char = -3 ["},
        {"*cp", "", "*cp: unsigned char = 51 [code "},
        {"P1_1", "", "P1_1: bit = 0 [bit 0x91]"},
        {"gf", "-3.25", "gf: float = -3.25 ["},
        {"gpt", R"({"x":-3,"y":777,"f1":5,"f2":17})", "gpt: struct pt = {x = -3, y = 777, f1 = 5, f2 = 17} ["},
        {"ibuf", "[7,8,9]", "ibuf: unsigned char [3] = {7, 8, 9} [iram "},
        {"j", "null", "j: unsigned char = not available (kept in registers"},
        {"k", "null", "k: int = not available (a local of rec, which is not running here)"},
        {"nosuch", "null", "nosuch: error: unknown name 'nosuch' in \"nosuch\""},
    };
    std::vector<std::string> vars;
    for (const auto& row : rows) vars.push_back(row.expression);
    const ProcessResult json = cli(vars, {"--source-map", "variables.hex", "--break-line", mainMark(), "--json",
                                          "--dump", "uart"});
    ASSERT_EQ(json.status, 0) << json.err;
    const nlohmann::json report = nlohmann::json::parse(json.out);
    std::map<std::string, uint32_t> printed;
    std::istringstream lines(report["uart"]["text"].get<std::string>());
    for (std::string expression, value; lines >> expression >> value;)
        printed[expression] = uint32_t(std::stoul(value, nullptr, 16));
    const nlohmann::json& variables = report["variables"];
    ASSERT_EQ(variables.size(), std::size(rows)) << json.out;

    const ProcessResult text = cli(vars, {"--source-map", "variables.cdb", "--break-line", mainMark()});
    ASSERT_EQ(text.status, 0) << text.err;
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto& row = rows[i];
        const nlohmann::json& v = variables[i];
        EXPECT_EQ(v["name"], row.expression);
        if (*row.json) {
            EXPECT_EQ(v["value"], nlohmann::json::parse(row.json)) << v;
        } else {
            ASSERT_TRUE(printed.count(row.expression)) << row.expression;
            EXPECT_EQ(uint32_t(v["value"].get<int64_t>()), printed[row.expression]) << v;
        }
        // A value has its type and place; null a reason or an error.
        EXPECT_EQ(v["location"].is_string(), !v["value"].is_null()) << v;
        EXPECT_EQ(v.contains("reason") || v.contains("error"), v["value"].is_null()) << v;
        EXPECT_NE(text.out.find(std::string("\n") + row.text), std::string::npos) << row.text << "\n" << text.out;
    }
}

TEST_F(CliVariables, WatchStopsAfterTheWriteAndTheStackNamesEveryFrame) {
    // The first write of `stop` is the start-up code's, which clears
    // internal RAM: it stores the 0 that was there.
    ProcessResult r = cli({}, {"--source-map", "variables.cdb", "--watch", "stop", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    nlohmann::json report = nlohmann::json::parse(r.out);
    const nlohmann::json& stop = report["stop"];
    EXPECT_EQ(stop["reason"], "watch");
    EXPECT_EQ(stop["watch"]["watched"], "stop");
    EXPECT_EQ(std::make_pair(stop["watch"]["old"].get<int>(), stop["watch"]["new"].get<int>()), std::make_pair(0, 0));
    EXPECT_LT(stop["watch"]["writer_pc"].get<int>(), stop["pc"].get<int>());
    const auto frames = [](const nlohmann::json& stack) {
        std::vector<std::pair<std::string, int>> out;
        for (const nlohmann::json& f : stack) out.emplace_back(f["function"], f["line"]);
        return out;
    };
    // leaf, called from main.
    const int leafMark = lineOf("/* MARK */", "unsigned char leaf");
    r = cli({}, {"--source-map", "variables.cdb", "--break-line", "variables.c:" + std::to_string(leafMark), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(frames(nlohmann::json::parse(r.out)["stack"]),
              (std::vector<std::pair<std::string, int>>{{"leaf", leafMark}, {"main", lineOf("leaf(6, 7)")}}));

    // rec(3) -> rec(2) -> rec(1) -> rec(0) have returned to rec(2)'s mark.
    const std::string recMark = "variables.c:" + std::to_string(lineOf("/* MARK */", "int rec"));
    r = cli({}, {"--source-map", "variables.cdb", "--break-line", recMark, "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    report = nlohmann::json::parse(r.out);
    const int recursion = lineOf("rec(n - 1)"), sinkLine = lineOf("sink = j");
    EXPECT_EQ(frames(report["stack"]), (std::vector<std::pair<std::string, int>>{
                                           {"rec", lineOf("/* MARK */", "int rec")}, {"rec", recursion}, {"main", sinkLine}}));
    r = cli({}, {"--source-map", "variables.cdb", "--break-line", recMark});
    EXPECT_NE(r.out.find("[stack]\n#0 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" main variables.c:" + std::to_string(sinkLine) + "\n"), std::string::npos) << r.out;

    // What the watchpoints refuse (tabled in their own test) reaches the
    // user with the status of a usage or a setup error.
    const struct {
        std::vector<std::string> args;
        int status;
        const char* message;
    } refused[] = {
        {{"--watch", "xram:10"}, 2, "--watch 'xram:10': unknown memory space \"xram\""},
        {{"--watch", "gi["}, 2, "--watch 'gi[': expected an index at the end"},
        {{"--watch", "gi"}, 2, "--watch of a variable needs --source-map"},
        {{"--source-map", "variables.cdb", "--watch", "nosuch"}, 1, "unknown name 'nosuch'"},
        {{"--watch", "eeprom:10"}, 1, "the device has no EEPROM (--watch eeprom:10)"},
    };
    for (const auto& row : refused) {
        r = runProcess(dir.path, cliProgram(), [&] {
            std::vector<std::string> args = row.args;
            args.push_back("variables.hex");
            return args;
        }());
        EXPECT_EQ(r.status, row.status) << row.message;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

// Without --nooverlay SDCC writes no type for the locals of a function that
// calls nothing; with it they have their places.
TEST_F(CliVariables, LeafLocalsHavePlacesOnlyWithNoOverlay) {
    TempDir noOverlay;
    ASSERT_TRUE(compileC(noOverlay.path, "variables", source, {"--debug", "--nooverlay"}));
    const std::string leafMark = "variables.c:" + std::to_string(lineOf("/* MARK */", "unsigned char leaf"));
    const std::pair<const TempDir*, const char*> builds[] = {
        {&dir, "\nt: ? = not available (its type is not in the debug file"},
        {&noOverlay, "\nt: unsigned char = 42 [iram "},
    };
    for (const auto& [build, line] : builds) {
        const ProcessResult r = runProcess(build->path, cliProgram(),
                                           {"--source-map", "variables.cdb", "--break-line", leafMark, "--var", "t",
                                            "--xdata", "64", "variables.hex"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    }
}

TEST_F(CliVariables, ExpressionsThatCannotBeReadAreRefused) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } rows[] = {
        {{"--source-map", "variables.hex", "--var", "ibuf["}, "--var 'ibuf[': expected an index at the end"},
        {{"--source-map", "variables.hex", "--var", "*"}, "--var '*': expected a variable name at the end"},
        {{"--source-map", "variables.hex", "--var", "gpt..x"},
         "--var 'gpt..x': expected a member name after '.' at column 5"},
        {{"--source-map", "variables.hex", "--var", "gi gc"}, "--var 'gi gc': unexpected 'g' at column 4"},
        // Deep enough to exhaust the stack of an unbounded parser.
        {{"--source-map", "variables.hex", "--var", std::string(100000, '(') + "gi"}, "nested more than 64 levels deep"},
        {{"--var", "gi"}, "--var needs --source-map (an SDCC debug file or an asm51 listing)"},
    };
    for (const auto& row : rows) {
        const ProcessResult r = cli({}, row.args);
        EXPECT_EQ(r.status, 2) << row.message;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

// An asm51 program's symbols from its listing: DATA, IDATA, XDATA and BIT
// symbols are variables, labels name the call stack's frames.
TEST(CliAssemblerSymbols, ListingSymbolsAreVariablesAndLabelsNameTheFrames) {
    TempDir dir;
    dir.write("prog.asm", R"(COUNT   DATA    30H
PTR     IDATA   90H
BUF     XDATA   0200H
FLAG    BIT     08H
LIMIT   EQU     10
        ORG     0
START:  MOV     SP, #50H
        MOV     COUNT, #5
        MOV     R0, #PTR
        MOV     @R0, #0AAH
        MOV     DPTR, #BUF
        MOV     A, #77H
        MOVX    @DPTR, A
        SETB    FLAG
        LCALL   OUTER
HERE:   SJMP    HERE
OUTER:  ACALL   INNER
        RET
INNER:  MOV     A, COUNT
LOOP:   INC     COUNT
        RET
        END
)");
    ASSERT_EQ(runProcess(dir.path, asm51Program(), {"prog.asm"}).status, 0);
    ProcessResult r = runProcess(dir.path, cliProgram(),
                                 {"--source-map", "prog.lst", "--watch", "COUNT", "--watch", "FLAG", "--var", "COUNT",
                                  "--var", "PTR", "--var", "BUF", "--var", "FLAG", "--var", "LIMIT", "--var", "NOSUCH",
                                  "--xdata", "4", "--json", "prog.hex"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The first write of COUNT stores 5.
    nlohmann::json report = nlohmann::json::parse(r.out);
    EXPECT_EQ(report["stop"]["watch"]["watched"], "COUNT");
    EXPECT_EQ(report["stop"]["watch"]["new"], 5);

    r = runProcess(dir.path, cliProgram(),
                   {"--source-map", "prog.lst", "--break-line", "prog.asm:20", "--var", "COUNT", "--var", "PTR",
                    "--var", "BUF", "--var", "FLAG", "--var", "LIMIT", "--var", "NOSUCH", "--xdata", "4", "--json",
                    "prog.hex"});
    ASSERT_EQ(r.status, 0) << r.err;
    report = nlohmann::json::parse(r.out);
    const struct {
        const char* name;
        nlohmann::json value;
        const char* location; // or the reason or error's beginning
    } rows[] = {
        {"COUNT", 5, "iram 0x30"},   {"PTR", 0xAA, "iram 0x90"},
        {"BUF", 0x77, "xdata 0x0200"}, {"FLAG", 1, "bit 0x08"},
        {"LIMIT", nullptr, "it has no storage"}, {"NOSUCH", nullptr, "unknown name 'NOSUCH'"},
    };
    const nlohmann::json& variables = report["variables"];
    ASSERT_EQ(variables.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const nlohmann::json& v = variables[i];
        EXPECT_EQ(v["value"], rows[i].value) << v;
        const std::string said = v["location"].is_string() ? v["location"].get<std::string>()
                                 : v.contains("reason")      ? v["reason"].get<std::string>()
                                                             : v["error"].get<std::string>();
        EXPECT_EQ(said.rfind(rows[i].location, 0), 0u) << v;
    }
    // Stopped at LOOP inside INNER, called from OUTER, called from START.
    std::vector<std::pair<std::string, int>> frames;
    for (const nlohmann::json& f : report["stack"]) frames.emplace_back(f["function"], f["line"]);
    EXPECT_EQ(frames, (std::vector<std::pair<std::string, int>>{{"LOOP", 20}, {"OUTER", 17}, {"START", 15}}));

    // A timer interrupt taken inside a call: the handler's frame is marked.
    dir.write("isr.asm", R"(        ORG     0
        LJMP    MAIN
        ORG     0BH
        LJMP    ISR
        ORG     30H
MAIN:   MOV     TMOD, #02H
        MOV     TH0, #0F0H
        SETB    TR0
        MOV     IE, #82H
        LCALL   WORK
WORK:   SJMP    WORK
ISR:    NOP
        RETI
        END
)");
    ASSERT_EQ(runProcess(dir.path, asm51Program(), {"isr.asm"}).status, 0);
    r = runProcess(dir.path, cliProgram(), {"--source-map", "isr.lst", "--break-line", "isr.asm:12", "--json", "isr.hex"});
    ASSERT_EQ(r.status, 0) << r.err;
    const nlohmann::json stack = nlohmann::json::parse(r.out)["stack"];
    ASSERT_EQ(stack.size(), 3u) << stack;
    EXPECT_EQ(std::make_tuple(stack[0]["function"], stack[0]["interrupt"], stack[1]["function"], stack[1]["interrupt"],
                              stack[2]["function"], stack[2]["line"]),
              std::make_tuple("ISR", true, "WORK", false, "MAIN", 10)) << stack;
}

} // namespace
