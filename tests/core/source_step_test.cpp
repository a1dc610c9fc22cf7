// Source maps from SDCC's --debug output and stepping by C line: a program
// with a loop calling a function (tests/data/source_steps.c) compiled at test
// time, its .cdb and .rst read back, then stepped into and over.
#include "test_support.h"

#include "debug/debug_session.h"
#include "machine/executor.h"
#include "machine/source_step.h"
#include "machine/watchpoints.h"
#include "tools/source_map_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace quorvel;
using namespace quorvel::support;

namespace {

// The number of the line holding "mark:<name>".
uint32_t markLine(const std::string& source, const std::string& name) {
    const size_t at = source.find("mark:" + name + " ");
    return at == std::string::npos ? 0 : uint32_t(std::count(source.begin(), source.begin() + long(at), '\n') + 1);
}

struct SdccSteps : testing::Test {
    TempDir dir;
    std::string source = readFile(std::string(QUORVEL_TEST_DATA) + "/source_steps.c");
    SourceMap map;
    Machine machine = makeMachine();

    void SetUp() override {
        ASSERT_TRUE(compileC(dir.path, "steps", source, {"--debug"}));
        const auto failure = loadSourceMap(dir / "steps.cdb", map);
        ASSERT_FALSE(failure) << *failure;
        loadCode(machine, readBytes(dir / "steps.bin"));
    }
    uint32_t line(const std::string& name) { return markLine(source, name); }
    uint16_t codeOf(const std::string& name) {
        const auto resolved = map.resolveLine("steps.c", line(name));
        EXPECT_TRUE(resolved && !resolved->addresses.empty()) << name;
        return resolved && !resolved->addresses.empty() ? resolved->addresses[0] : 0;
    }
    // The C line the program counter is on ("steps.c:12"), or "none".
    std::string here() {
        const auto where = map.locationAt(machine.chip.pc, SourceLevel::C);
        return where ? map.text(*where) : "none";
    }
    std::string at(const std::string& name) { return "steps.c:" + std::to_string(line(name)); }
    std::string function() {
        const SourceFunction* f = map.functionAt(machine.chip.pc);
        return f ? f->name : "none";
    }
    SourceStepEnd stepLine(SourceStep kind, uint32_t limit = kSourceStepLimit) {
        return stepSourceLine(machine, map, SourceLevel::C, kind, limit).end;
    }
};

TEST_F(SdccSteps, DebugFileGivesCLinesAssemblerLinesAndFunctions) {
    EXPECT_EQ(map.primaryLevel(), SourceLevel::C);
    const uint16_t call = codeOf("call");
    machine.chip.pc = call;
    EXPECT_EQ(here(), at("call"));
    EXPECT_EQ(map.functionAt(call)->name, "main");
    EXPECT_EQ(map.functionAt(codeOf("port"))->name, "bump");
    // A line without code stands for the next line with code.
    const auto resolved = map.resolveLine("/elsewhere/steps.c", line("nocode"));
    ASSERT_TRUE(resolved);
    EXPECT_EQ(resolved->where.line, line("loop"));
    // The loop line starts twice: the start value, and the step and test.
    EXPECT_EQ(resolved->addresses.size(), 2u);
    std::string error;
    EXPECT_FALSE(map.resolveLine("steps.c", line("park") + 100, &error));
    EXPECT_NE(error.find("has no code"), std::string::npos) << error;

    // Below the call line: the assembler line of its LCALL, in steps.asm,
    // from the debug file's assembler records and from the linker's listing
    // steps.rst alone.
    std::string withoutAsmRecords;
    std::istringstream cdb(readFile(dir / "steps.cdb"));
    for (std::string l; std::getline(cdb, l);)
        if (!l.starts_with("L:A$")) withoutAsmRecords += l + "\n";
    SourceMap fromListing;
    ASSERT_FALSE(parseSdccDebug(withoutAsmRecords, "steps.cdb", fromListing,
                                [&](const std::string& module) { return readFile(dir / (module + ".rst")); }));
    ASSERT_EQ(fromListing.ranges(SourceLevel::C).size(), map.ranges(SourceLevel::C).size());
    std::vector<std::string> asmLines{""};
    std::istringstream asmText(readFile(dir / "steps.asm"));
    for (std::string l; std::getline(asmText, l);) asmLines.push_back(l);
    for (const SourceMap* m : {&map, &fromListing}) {
        const SourceRange* c = m->rangeAt(call, SourceLevel::C);
        ASSERT_TRUE(c);
        int calls = 0;
        for (uint32_t a = c->start; a < c->end; ++a) {
            const SourceRange* r = m->rangeAt(uint16_t(a), SourceLevel::Assembler);
            if (!r || r->start != a || machine.chip.readCode(uint16_t(a)) != 0x12) continue;
            EXPECT_EQ(m->fileName(r->where.file), "steps.asm");
            ASSERT_LT(r->where.line, asmLines.size());
            EXPECT_NE(asmLines[r->where.line].find("lcall\t_bump"), std::string::npos) << asmLines[r->where.line];
            EXPECT_EQ(r->end - r->start, 3u);
            ++calls;
        }
        EXPECT_EQ(calls, 1);
    }
}

TEST_F(SdccSteps, StepIntoEntersTheFunctionAndStepOverRunsItWhole) {
    ASSERT_TRUE(runTo(machine, codeOf("loop"), 10000));
    EXPECT_EQ(stepLine(SourceStep::Over), SourceStepEnd::NewLine);
    EXPECT_EQ(here(), at("call"));
    EXPECT_EQ(stepLine(SourceStep::Into), SourceStepEnd::NewLine);
    EXPECT_EQ(here(), at("bump"));
    EXPECT_EQ(function(), "bump");
    EXPECT_EQ(stepLine(SourceStep::Into), SourceStepEnd::NewLine);
    EXPECT_EQ(here(), at("port"));
    // The closing brace, then back in main: the rest of the call line is
    // not a new line, the loop's step is.
    EXPECT_EQ(stepLine(SourceStep::Into), SourceStepEnd::NewLine);
    EXPECT_EQ(stepLine(SourceStep::Into), SourceStepEnd::NewLine);
    EXPECT_EQ(here(), at("loop"));
    EXPECT_EQ(function(), "main");

    // Step over the second call: it runs (P1 shows count 0 + 1), the step
    // ends on the next line of main.
    EXPECT_EQ(stepLine(SourceStep::Over), SourceStepEnd::NewLine);
    EXPECT_EQ(here(), at("call"));
    EXPECT_EQ(stepLine(SourceStep::Over), SourceStepEnd::NewLine);
    EXPECT_EQ(here(), at("loop"));
    EXPECT_EQ(machine.chip.sfr(sfr::P1), 1);

    // Stepping over the call that writes a watched P1 ends right after
    // the write, inside the called function.
    Watchpoints watch;
    ASSERT_FALSE(watch.add({WatchSpace::Sfr, sfr::P1}, machine));
    machine.watchpoints = &watch;
    EXPECT_EQ(stepLine(SourceStep::Over), SourceStepEnd::NewLine);
    EXPECT_EQ(here(), at("call"));
    EXPECT_EQ(stepLine(SourceStep::Over), SourceStepEnd::Watchpoint);
    EXPECT_EQ(function(), "bump");
    EXPECT_EQ(machine.chip.sfr(sfr::P1), 3);
    machine.watchpoints = nullptr;

    // A line that never ends gives control back after the limit.
    ASSERT_TRUE(runTo(machine, codeOf("park"), 10000));
    const SourceStepResult parked = stepSourceLine(machine, map, SourceLevel::C, SourceStep::Over, 500);
    EXPECT_EQ(parked.end, SourceStepEnd::Limit);
    EXPECT_EQ(parked.instructions, 500u);
    EXPECT_EQ(here(), at("park"));
}

// The session's steps: out of a function back into its caller's line (and,
// in the outermost function, over the line), and over a call instruction.
TEST_F(SdccSteps, TheSessionStepsOutOfAFunctionAndOverACallInstruction) {
    DebugSession session(machine); // feeds its call stack from here on
    session.setSourceMap(map);
    ASSERT_TRUE(runTo(machine, codeOf("port"), 10000));
    ASSERT_EQ(session.stack().size(), 2u);
    EXPECT_EQ(session.step(SourceStep::Out).stop, DebugStop::Step);
    EXPECT_EQ(function(), "main");
    EXPECT_EQ(here(), at("call"));
    EXPECT_EQ(session.stack().size(), 1u);
    EXPECT_EQ(session.step(SourceStep::Out).stop, DebugStop::Step);
    EXPECT_EQ(here(), at("loop"));

    while (machine.chip.readCode(machine.chip.pc) != 0x12) // LCALL _bump
        ASSERT_EQ(session.step(SourceStep::Into, DebugSession::StepUnit::Instruction).stop, DebugStop::Step);
    const uint16_t call = machine.chip.pc;
    const uint8_t shown = machine.chip.sfr(sfr::P1);
    EXPECT_EQ(session.step(SourceStep::Over, DebugSession::StepUnit::Instruction).stop, DebugStop::Step);
    EXPECT_EQ(machine.chip.pc, call + 3);
    EXPECT_NE(machine.chip.sfr(sfr::P1), shown) << "the call ran";
}

} // namespace
