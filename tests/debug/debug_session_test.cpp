// The debug session's runs from a source-line breakpoint: a run that starts
// on one stops before the instruction there runs; a run that resumes from
// that stop runs it, and stops when the program comes back to the line. The
// front end is asked whether to go on only between slices of a run that
// goes on, never after the slice that stopped.
#include "debug/debug_session.h"
#include "test_support.h"

#include <gtest/gtest.h>

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
