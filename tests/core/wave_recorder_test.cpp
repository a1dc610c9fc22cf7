// The waveform recorder in the execution loop: a free run in batches records
// exactly the line changes that stepping one instruction at a time sees,
// each at the end of the instruction that made it - also when an interrupt
// is vectored right after, and across the 32-bit wrap of the cycle counter;
// a change made between runs shows at the next run's start. (A full ring is
// tested through quorvel-cli --vcd-capacity.)
#include "core_test_support.h"

#include "machine/wave_recorder.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

// P1 written by the main loop while timer 0 interrupts every 32 cycles to
// toggle P1.1: interrupts are often vectored right after a port write.
const char* const kInterrupted = R"(
        ljmp main
        .org 0x0B
        cpl 0x91
        reti
main:   mov 0x89, #0x02         ; TMOD: timer 0 auto-reload
        mov 0x8C, #0xE0
        setb 0xA9               ; ET0
        setb 0xAF               ; EA
        setb 0x8C               ; TR0
loop:   cpl 0x90
        xrl 0x90, #0x0C
        sjmp loop
)";

} // namespace

TEST(WaveRecorder, FreeRunRecordsWhatSteppingSees) {
    Machine machine = assembledMachine(kInterrupted);
    machine.chip.setCycleCount((uint64_t(1) << 32) - 3000); // wraps during the run

    // Stepped without a recorder: a change is timed at the end of the
    // instruction that made it (the counter before it plus its cycles).
    Machine stepped = machine;
    ChipState& c = stepped.chip;
    std::vector<LineChange> expected{{c.cycleCount(), c.pinSideLevels()}};
    int vectoredRightAfter = 0;
    uint32_t moved = 0;
    for (int i = 0; i < 3000; ++i) {
        const uint64_t end = c.cycleCount() + uint64_t(instructionCycles(c.readCode(c.pc)));
        const uint32_t was = c.pinSideLevels();
        step(stepped);
        if (c.pinSideLevels() == was) continue;
        expected.push_back({end, c.pinSideLevels()});
        moved |= was ^ c.pinSideLevels();
        vectoredRightAfter += c.cycleCount() != end;
    }
    EXPECT_EQ(moved, 0x0Fu << 8); // P1.0-P1.3
    EXPECT_GT(vectoredRightAfter, 10);

    WaveRecorder recorder;
    machine.wave = &recorder;
    for (uint32_t batch : {1u, 7u, 992u, 2000u}) runSteps(machine, batch);
    EXPECT_EQ(recorder.entries(), expected);

    // An input set between runs, read by a viewer that has seen the rest.
    const uint64_t stoppedAt = machine.chip.cycleCount();
    machine.chip.pins.setSetting(0, kInput0); // P0.0, high until now
    machine.chip.pins.applySettings(machine.chip.portLatches());
    runSteps(machine, 1);
    std::vector<LineChange> since;
    EXPECT_EQ(recorder.copySince(expected.size(), since), expected.size());
    ASSERT_FALSE(since.empty());
    EXPECT_EQ(since[0], (LineChange{stoppedAt, expected.back().levels & ~pin::bit(0)}));
}
