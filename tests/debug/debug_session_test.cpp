// The debug session's runs from a source-line breakpoint: a run that starts
// on one stops before the instruction there runs; a run that resumes from
// that stop runs it, and stops when the program comes back to the line. The
// front end is asked whether to go on only between slices of a run that
// goes on, never after the slice that stopped. Exception stops end a run
// before the faulting instruction.
#include "debug/debug_session.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace quorvel;

TEST(DebugSessionRun, AResumedRunLeavesTheLineBreakItStoppedAt) {
    Machine m = support::makeMachine();
    // 0000: INC 30H; 0002: INC 30H; 0004: SJMP 0000
    support::loadCode(m, {0x05, 0x30, 0x05, 0x30, 0x80, 0xFA});
    DebugSession session(m);
    CodeAddressSet lines;
    lines.set(0x0002);
    session.setLineBreaks(lines);
    const struct {
        bool resume;
        uint16_t from;
        uint64_t steps;
        uint8_t count; // 30H at the stop
        int asked;     // carryOn calls, with slices of one instruction
    } rows[] = {
        {false, 0x0000, 1, 1, 0},
        {false, 0x0002, 0, 0, 0},
        {true, 0x0002, 3, 2, 2},
        {true, 0x0000, 1, 1, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "resume " << row.resume << " from " << row.from);
        m.chip.iram[0x30] = 0;
        m.chip.pc = row.from;
        RunLimits limits;
        limits.maxSteps = 100;
        limits.resume = row.resume;
        limits.batchSteps = 1;
        int asked = 0;
        limits.carryOn = [&asked] { return ++asked > 0; };
        const DebugRun run = session.run(limits);
        EXPECT_EQ(run.stop, DebugStop::BreakLine);
        EXPECT_EQ(run.steps, row.steps);
        EXPECT_EQ(m.chip.pc, 0x0002);
        EXPECT_EQ(m.chip.iram[0x30], row.count);
        EXPECT_EQ(asked, row.asked);
    }
}

// Exception stops halt a run before the instruction that would commit the
// fault, only when it does and only while its filter is on.
TEST(DebugSessionRun, ExceptionStopsHaltBeforeTheFault) {
    using E = ExceptionStop;
    const struct {
        std::vector<uint8_t> code;
        uint16_t xdataLimit;
        std::vector<E> on;
        std::optional<E> stop;
        uint16_t pc; // where the run stopped (with no stop: left running)
        DeviceKind kind = DeviceKind::AT89C52;
    } rows[] = {
        // NOP; NOP; A5H
        {{0x00, 0x00, 0xA5}, 0, {E::UndefinedOpcode}, E::UndefinedOpcode, 2},
        {{0x00, 0x00, 0xA5}, 0, {E::MovxBeyondMemory}, std::nullopt, 0},
        // MOV DPTR,#0100H; MOVX @DPTR,A; SJMP $
        {{0x90, 0x01, 0x00, 0xF0, 0x80, 0xFE}, 0, {E::MovxBeyondMemory}, E::MovxBeyondMemory, 3},
        {{0x90, 0x01, 0x00, 0xF0, 0x80, 0xFE}, 0x00FF, {E::MovxBeyondMemory}, E::MovxBeyondMemory, 3},
        {{0x90, 0x01, 0x00, 0xF0, 0x80, 0xFE}, 0x07FF, {E::MovxBeyondMemory}, std::nullopt, 0},
        // MOV P2,#08H; MOV R0,#00H; MOVX A,@R0 (0800H); SJMP $
        {{0x75, 0xA0, 0x08, 0x78, 0x00, 0xE2, 0x80, 0xFE}, 0x07FF, {E::MovxBeyondMemory}, E::MovxBeyondMemory, 5},
        // MOV SP,#0FEH; LCALL 0008H (pushes FFH and, wrapping, 00H)
        {{0x75, 0x81, 0xFE, 0x12, 0x00, 0x08, 0x00, 0x00, 0x80, 0xFE}, 0, {E::StackOverflow}, E::StackOverflow, 3},
        // MOV SP,#0FDH; LCALL 0008H: FEH and FFH are free
        {{0x75, 0x81, 0xFD, 0x12, 0x00, 0x08, 0x00, 0x00, 0x80, 0xFE}, 0, {E::StackOverflow}, std::nullopt, 0},
        // NOP; MOV WMCON,#01H (the watchdog on, 16 ms); SJMP $
        {{0x00, 0x75, 0x96, 0x01, 0x80, 0xFE}, 0, {E::WatchdogReset}, E::WatchdogReset, 0, DeviceKind::AT89S8252},
        {{0x00, 0x75, 0x96, 0x01, 0x80, 0xFE}, 0, {E::StackOverflow}, std::nullopt, 0, DeviceKind::AT89S8252},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "row with stop at " << row.pc);
        Machine m = support::makeMachine(row.kind, 12000000, 0xFFFF, row.xdataLimit);
        support::loadCode(m, row.code);
        DebugSession session(m);
        session.setExceptionStops(row.on);
        RunLimits limits;
        limits.maxSteps = 100000;
        const DebugRun run = session.run(limits);
        EXPECT_EQ(run.exception, row.stop);
        if (row.stop) EXPECT_EQ(m.chip.pc, row.pc);
        else EXPECT_EQ(run.stop, DebugStop::StepLimit);
        // The watchdog's reset comes after its period of 16000 cycles.
        if (row.stop == E::WatchdogReset) {
            EXPECT_GE(run.cycles, 16000u);
        }
    }
}
