// C variables read from SDCC's debug file and evaluated on a running
// machine. tests/data/debug/variables.c prints each of its variables over
// the UART before a line marked MARK; at each mark every printed expression
// must evaluate to what the program printed, or be reported as not
// available where the debug file gives no place (never a different value).
#include "debug/c_variables.h"
#include "debug/debug_session.h"
#include "machine/executor.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

using namespace quorvel;

namespace {

struct Uart : ChipEvents {
    std::string sent;
    void byteTransmitted(uint16_t entry) override { sent.push_back(char(entry & 0xFF)); }
};

struct Program {
    support::TempDir dir;
    Machine machine = support::makeMachine(DeviceKind::AT89C52, 11059200, 0xFFFF, 0xFFFF);
    std::optional<CVariables> variables;
    CodeAddressSet marks;
    Uart uart;
};

// Compiles variables.c with `flags`, loads it and finds the marked lines'
// addresses in the debug file's C-line records.
void build(Program& p, const std::vector<std::string>& flags) {
    const std::string source = support::readFile(std::string(QUORVEL_TEST_DATA) + "/debug/variables.c");
    ASSERT_TRUE(support::compileC(p.dir.path, "variables", source, flags));
    support::loadCode(p.machine, support::readBytes(p.dir / "variables.bin"));
    p.machine.chip.events = &p.uart;
    const std::string cdb = p.dir.read("variables.cdb");
    CdbSymbols symbols = readCdbSymbols(cdb);
    EXPECT_EQ(symbols.problems, std::vector<std::string>{});
    const auto bp = framePointerFromMap(p.dir.read("variables.map"));
    ASSERT_TRUE(bp);
    p.variables.emplace(std::move(symbols), bp);
    std::istringstream lines(source);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (line.find("/* MARK */") == std::string::npos) continue;
        const std::string key = "L:C$variables.c$" + std::to_string(number) + "$";
        const size_t at = cdb.find(key);
        ASSERT_NE(at, std::string::npos) << key;
        p.marks.set(std::stoul(cdb.substr(cdb.find(':', at + 2) + 1), nullptr, 16));
    }
}

// Runs to the next mark; returns the "expression value" lines printed since.
std::map<std::string, uint32_t> runToMark(Program& p) {
    p.uart.sent.clear();
    StopConditions stops;
    stops.addresses = &p.marks;
    const RunResult r = runSteps(p.machine, 2'000'000, stops);
    EXPECT_EQ(r.cause, StopCause::Address);
    std::map<std::string, uint32_t> printed;
    std::istringstream lines(p.uart.sent);
    for (std::string expression, value; lines >> expression >> value;)
        printed[expression] = uint32_t(std::stoul(value, nullptr, 16));
    return printed;
}

CValue eval(const Program& p, const std::string& expression) {
    const CEvaluation e = p.variables->evaluate(p.machine, p.machine.chip.pc, expression);
    EXPECT_TRUE(e.value) << e.error;
    return e.value.value_or(CValue{});
}

} // namespace

TEST(CVariables, EveryPrintedVariableWithAPlaceReadsAsPrinted) {
    const std::string kOverlaid = "its type is not in the debug file: an overlaid local, compile with --nooverlay";
    // Lines printed at the marks of main, rec and sum, and the expressions
    // the debug file gives no place (an empty register list, a bit variable
    // without an address).
    const size_t kPrinted = 36 + 3 + 4;
    const std::vector<std::string> kNoPlace = {"j", "loc", "gbit"};
    const struct {
        std::vector<std::string> flags;
        std::string leafLocal; // `t` in leaf(6, 7), which prints nothing
    } builds[] = {
        {{"--debug"}, "not available (" + kOverlaid + ")"},
        {{"--debug", "--nooverlay"}, "42"},
        {{"--debug", "--nooverlay", "--stack-auto"}, "42"},
    };
    for (const auto& b : builds) {
        SCOPED_TRACE(b.flags.back());
        Program p;
        build(p, b.flags);
        size_t lines = 0;
        EXPECT_TRUE(runToMark(p).empty());
        EXPECT_EQ(formatValue(eval(p, "t")), b.leafLocal);
        for (int mark = 0; mark < 3; ++mark) {
            for (const auto& [expression, value] : runToMark(p)) {
                ++lines;
                const CValue v = eval(p, expression);
                const bool expectNoPlace = std::count(kNoPlace.begin(), kNoPlace.end(), expression) > 0;
                EXPECT_EQ(!v.place, expectNoPlace) << expression << ": " << v.unavailable;
                if (v.place) {
                    EXPECT_EQ(uint32_t(integerOf(v)), value) << expression << " at " << v.place->where;
                }
            }
        }
        EXPECT_EQ(lines, kPrinted);
    }
}

TEST(CVariables, WritesLandWhereTheVariableLives) {
    Program p;
    build(p, {"--debug"});
    runToMark(p); // leaf's mark
    runToMark(p); // main's: every global is set
    EXPECT_EQ(realOf(eval(p, "gf")), -3.25);
    const CValue gpc = eval(p, "gpc"), ctab1 = eval(p, "ctab[1]");
    ASSERT_TRUE(gpc.place && ctab1.place);
    EXPECT_EQ(formatValue(gpc).substr(0, 5), "code:");
    EXPECT_EQ(uint16_t(integerOf(gpc)), ctab1.place->bytes[0]);
    const struct {
        const char* expression;
        const char* text;
        const char* readBack; // or the error's beginning
    } rows[] = {
        {"gi", "4321", "4321"},
        {"gc", "-128", "-128"},
        {"gul", "0xFFFFFFFF", "4294967295"},
        {"xarr[1]", "-7", "-7"},
        {"gpt.f2", "3", "3"},
        {"gpt.f1", "5", "5"}, // the neighbouring field kept
        {"gf", "1.5", "1.5"},
        {"P1_0", "0", "0"},
        {"P1", "164", "164"}, // the cleared bit seen in its SFR
        {"*pp", "17", "17"},
        {"pv", "17", "17"},   // the same pdata byte
        {"guv.b[2]", "0", "0"},
        {"guv.l", "285225796", "285225796"}, // 0x11003344: byte 2 cleared
        {"guc", "256", "'256' does not fit unsigned char"},
        {"gc", "-129", "'-129' does not fit signed char"},
        {"gpt.f1", "8", "'8' does not fit unsigned int : 3"},
        {"gi", "12x", "'12x' is not a number"},
        {"gpt", "1", "gpt is not a single value"},
        {"j", "1", "j is not available: kept in registers the debug file does not name"},
    };
    for (const auto& row : rows) {
        const std::string error = p.variables->write(p.machine, eval(p, row.expression), row.text);
        const std::string result = error.empty() ? formatValue(eval(p, row.expression)) : error;
        EXPECT_EQ(result, row.readBack) << row.expression << " = " << row.text;
    }
    EXPECT_EQ(p.variables->format(p.machine, eval(p, "gpt")), "{x = -3, y = 777, f1 = 5, f2 = 3}");
    EXPECT_EQ(p.variables->format(p.machine, eval(p, "xarr")), "{100, -7, 300, -400}");
    EXPECT_EQ(p.variables->format(p.machine, eval(p, "guv")), "{l = 285225796, b = {68, 51, 0, 17}}");
    // A register variable follows the bank PSW selects.
    runToMark(p);
    runToMark(p); // in sum, j in R6,R7
    const CValue j = eval(p, "j");
    ASSERT_TRUE(j.place);
    EXPECT_EQ(j.place->where, "R6,R7 bank 0");
    p.machine.chip.sfr(0xD0) |= 0x10;
    p.machine.chip.iram[0x16] = 0x34;
    p.machine.chip.iram[0x17] = 0x12;
    EXPECT_EQ(integerOf(eval(p, "j")), 0x1234);
}

TEST(CVariables, BadExpressionsAndNamesOutOfScopeAreReported) {
    Program p;
    build(p, {"--debug"});
    runToMark(p); // in leaf
    runToMark(p); // in main
    const struct {
        const char* expression;
        const char* message; // error, or "not available (...)" from a value
    } rows[] = {
        {"ibuf[", "expected an index at the end in \"ibuf[\""},
        {"*", "expected a variable name at the end in \"*\""},
        {"gpt..x", "expected a member name after '.' at column 5 in \"gpt..x\""},
        {"nosuch", "unknown name 'nosuch' in \"nosuch\""},
        {"gi[1]", "indexing a value that is neither an array nor a pointer in \"gi[1]\""},
        {"ibuf[3]", "index 3 outside the array of 3 in \"ibuf[3]\""},
        {"gpt.q", "struct pt has no member 'q' in \"gpt.q\""},
        {"*gi", "dereferencing a value that is not a pointer in \"*gi\""},
        {"gp[70000]", "index 70000 reaches beyond every memory in \"gp[70000]\""},
        {"(gi", "expected ')' at the end in \"(gi\""},
        {"gi gc", "unexpected 'g' at column 4 in \"gi gc\""},
        {"k", "not available (a local of rec, which is not running here)"},
        {"acc", "not available (a local of rec, which is not running here)"},
    };
    for (const auto& row : rows) {
        const CEvaluation e = p.variables->evaluate(p.machine, p.machine.chip.pc, row.expression);
        EXPECT_EQ(e.value ? formatValue(*e.value) : e.error, row.message) << row.expression;
    }
}

TEST(CdbSymbols, BrokenRecordsAreReportedByLineAndTheRestIsRead) {
    const struct {
        const char* record;
        const char* problem; // empty: read without a problem
    } rows[] = {
        {"S:G$x$1$0({2}SI:S),E,0,0", ""}, // the level written the old way
        {"S:G$x$0_0$0({2}SQ:S),E,0,0", "line 2: type chain 'SQ:S' not understood"},
        {"S:G$x$0_0$0({2}DA,SI:S),E,0,0", "line 2: type chain 'DA,SI:S' not understood"},
        {"S:G$x$0_0$0({2}SI:S),Q,0,0", "line 2: unknown address space 'Q'"},
        {"S:G$x$0_0$0({2}SI:S),R,0,0,[r9]", "line 2: register 'r9' not understood"},
        {"S:G$x$0_0$0({2}SI:S),R,0,0,[r1", "line 2: register list not closed"},
        {"S:G$x", "line 2: record ends where '$' was expected"},
        {"T:Fp$pt[({0}S:S$x$0_0$0({1}SC:S),Z,0,0)", "line 2: record ends where '(' was expected"},
        {"F:G$f$0_0$0({2}DF,SI:S),C,0,0,0,0,7", "line 2: register bank outside 0-3"},
        {"L:G$x$0_0$0:XYZ", "line 2: 'XYZ' is not a number"},
        {"S:S$x$0_0$0({1}SC:S),Z,0,0", "line 2: struct member outside a T: record"},
    };
    for (const auto& row : rows) {
        const CdbSymbols s = readCdbSymbols(std::string("M:t\n") + row.record + "\nS:G$ok$0_0$0({1}SC:U),E,0,0\n");
        ASSERT_EQ(s.problems.size(), row.problem[0] ? 1u : 0u) << row.record;
        if (row.problem[0]) {
            EXPECT_EQ(s.problems[0].substr(0, s.problems[0].find(" in \"")), row.problem);
        }
        ASSERT_FALSE(s.symbols.empty());
        EXPECT_EQ(s.symbols.back().name, "ok") << row.record;
    }
}

// Register variables live in the bank of their function: an interrupt
// function's __using bank, else the bank PSW selects; outside its function a
// register variable has no value.
TEST(CVariables, RegisterVariablesFollowTheFunctionsBank) {
    CVariables variables(readCdbSymbols("F:G$isr$0_0$0({2}DF,SV:S),C,0,0,1,1,2\n"
                                        "S:Lt.isr$c$1_0$1({1}SC:U),R,0,0,[r3]\n"
                                        "L:G$isr$0$0:100\nL:XG$isr$0$0:120\n"
                                        "F:G$main$0_0$0({2}DF,SV:S),C,0,0,0,0,0\n"
                                        "S:Lt.main$d$1_0$1({2}SI:S),R,0,0,[r2,r5]\n"
                                        "L:G$main$0$0:10\nL:XG$main$0$0:20\n"));
    Machine m = support::makeMachine();
    for (int i = 0; i < 32; ++i) m.chip.iram[i] = uint8_t(i);
    const struct {
        uint16_t pc;
        uint8_t psw;
        const char* expression;
        const char* value;
    } rows[] = {
        {0x110, 0x00, "c", "19"},   // R3 of bank 2 whatever PSW says
        {0x100, 0x08, "c", "19"},
        {0x015, 0x08, "d", "3338"}, // R2, R5 of bank 1: 0x0D0A
        {0x015, 0x18, "d", "7450"}, // bank 3: 0x1D1A
        {0x015, 0x00, "c", "not available (a local of isr, which is not running here)"},
        {0x050, 0x00, "d", "not available (a local of main, which is not running here)"},
    };
    for (const auto& row : rows) {
        m.chip.sfr(0xD0) = row.psw;
        const CEvaluation e = variables.evaluate(m, row.pc, row.expression);
        ASSERT_TRUE(e.value) << e.error;
        EXPECT_EQ(formatValue(*e.value), row.value) << row.expression << " at " << row.pc;
    }
}

// The session lists a frame's locals and the globals; in a frame further
// out, register and stack-frame locals are not available (a called
// function uses them now), while the others read as in the innermost.
TEST(DebugSession, VariablesOfEachStackFrame) {
    Program p;
    build(p, {"--debug"});
    DebugSession session(p.machine);
    session.setVariables(std::move(p.variables));
    for (int mark = 0; mark < 3; ++mark) runToMark(p); // leaf, main, then rec(2)'s
    const std::vector<std::string> recLocals = session.localNames(0);
    for (const char* name : {"n", "k", "acc"})
        EXPECT_NE(std::find(recLocals.begin(), recLocals.end(), name), recLocals.end()) << name;
    const std::vector<std::string> globals = session.globalNames();
    EXPECT_NE(std::find(globals.begin(), globals.end(), "gpt"), globals.end());
    EXPECT_EQ(std::find(globals.begin(), globals.end(), "main"), globals.end());
    ASSERT_EQ(session.stack().size(), 3u);
    EXPECT_EQ(integerOf(*session.evaluate("k", 0).value), 6);
    const CEvaluation outerK = session.evaluate("k", 1);
    ASSERT_TRUE(outerK.value);
    EXPECT_FALSE(outerK.value->place);
    EXPECT_EQ(outerK.value->unavailable, "in registers or a stack frame a called function uses now");
    EXPECT_EQ(integerOf(*session.evaluate("gi", 2).value), integerOf(*session.evaluate("gi").value));
    EXPECT_FALSE(session.evaluate("k", 3).value);
}

// A struct that holds itself, which only a broken file describes, has no
// size; showing it stops at a bounded depth instead of running out of stack.
TEST(CVariables, AStructHoldingItselfIsShownToABoundedDepth) {
    CVariables variables(readCdbSymbols("M:t\nT:Ft$a[({0}S:S$self$0_0$0({2}STa:S),Z,0,0)({0}S:S$n$0_0$0({1}SC:U),Z,0,0)]\n"
                                        "S:G$g$0_0$0({2}STa:S),E,0,0\nL:G$g$0_0$0:30\n"));
    Machine m = support::makeMachine();
    const CEvaluation e = variables.evaluate(m, 0, "g");
    ASSERT_TRUE(e.value) << e.error;
    const std::string text = variables.format(m, *e.value);
    EXPECT_NE(text.find("{...}"), std::string::npos) << text;
}
