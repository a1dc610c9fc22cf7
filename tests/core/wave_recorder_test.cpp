// The waveform recorder in the execution loop: a free run in batches records
// exactly the line changes that stepping one instruction at a time sees,
// each at the end of the instruction that made it - also when an interrupt
// is vectored right after, and across the 32-bit wrap of the cycle counter;
// a change made between runs appears at the next run's start; a full ring
// keeps the newest changes and says where its window starts.
#include "core_test_support.h"

#include "machine/wave_recorder.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

// Port writes of the CPU: P1 bit and byte changes and P2 changes.
const char* const kPortWrites = R"(
        .org 0
        mov 0x90, #0x55
loop:   cpl 0x90
        mov r7, #3
dly:    djnz r7, dly
        xrl 0xA0, #0x0F
        sjmp loop
)";

// TXD moved by the serial port in mode 1, clocked by timer 1.
const char* const kSerialOut = R"(
        .org 0
        mov 0x98, #0x40         ; SCON: mode 1
        mov 0x89, #0x20         ; TMOD: timer 1 auto-reload
        mov 0x8D, #0xFF
        mov 0x8B, #0xFF
        setb 0x8E               ; TR1
loop:   clr 0x99                ; TI
        mov 0x99, #0x5A         ; SBUF
wt:     jnb 0x99, wt
        sjmp loop
)";

// P1.0 toggled by the main loop while timer 0 interrupts every 32 cycles
// to toggle P1.1: interrupts are often vectored right after a P1.0 write.
const char* const kInterrupted = R"(
        .org 0
        ljmp main
        .org 0x0B
        cpl 0x91
        reti
main:   mov 0x89, #0x02         ; TMOD: timer 0 auto-reload
        mov 0x8C, #0xE0
        mov 0x8A, #0xE0
        setb 0xA9               ; ET0
        setb 0xAF               ; EA
        setb 0x8C               ; TR0
loop:   cpl 0x90
        cpl 0x90
        cpl 0x90
        sjmp loop
)";

struct Observed {
    std::vector<LineChange> changes;
    int vectoredRightAfter = 0; // changes whose step also vectored an interrupt
};

// Steps without a recorder: each change is timed at the end of the
// instruction that made it (the counter before it plus its cycles).
Observed observeBySteps(Machine machine, uint64_t steps) {
    ChipState& c = machine.chip;
    Observed o;
    o.changes.push_back({c.cycleCount(), c.pinSideLevels()});
    for (uint64_t i = 0; i < steps; ++i) {
        const uint64_t end = c.cycleCount() + uint64_t(instructionCycles(c.readCode(c.pc)));
        const uint32_t was = c.pinSideLevels();
        EXPECT_FALSE(step(machine));
        if (c.pinSideLevels() == was) continue;
        o.changes.push_back({end, c.pinSideLevels()});
        if (c.cycleCount() != end) ++o.vectoredRightAfter;
    }
    return o;
}

// Runs `steps` instructions in batches of uneven sizes.
void runInBatches(Machine& machine, uint64_t steps) {
    for (uint32_t batch : {1u, 7u, 1000u}) {
        ASSERT_EQ(runSteps(machine, batch).steps, batch);
        steps -= batch;
    }
    ASSERT_EQ(runSteps(machine, uint32_t(steps)).steps, steps);
}

} // namespace

TEST(WaveRecorder, FreeRunRecordsWhatSteppingSees) {
    constexpr uint64_t kSteps = 3000;
    const struct {
        const char* name;
        const char* source;
        uint32_t movingLines; // lines the program must have moved
    } cases[] = {
        {"port writes", kPortWrites, 0x0FABu << 8}, // P1 to 55H, P1.0, P2.0-P2.3
        {"serial output", kSerialOut, pin::bit(pin::TXD)},
        {"interrupts after port writes", kInterrupted, 0x3u << 8},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        Machine machine = makeMachine();
        loadCode(machine, assemble(t.source));
        // The counter passes 2^32 during the run.
        machine.chip.setCycleCount((uint64_t(1) << 32) - 3000);
        const Observed expected = observeBySteps(machine, kSteps);
        uint32_t moved = 0;
        for (const LineChange& change : expected.changes) moved |= change.levels ^ expected.changes[0].levels;
        EXPECT_EQ(moved, t.movingLines);
        if (t.source == kInterrupted) {
            EXPECT_GT(expected.vectoredRightAfter, 10);
        }

        WaveRecorder recorder;
        machine.wave = &recorder;
        runInBatches(machine, kSteps);
        EXPECT_EQ(recorder.entries(), expected.changes);

        // An input set between runs shows at the next run's start.
        const uint64_t stoppedAt = machine.chip.cycleCount();
        machine.chip.pins.setSetting(0, kInput0); // P0.0, high in every program
        machine.chip.pins.applySettings(machine.chip.portLatches());
        runSteps(machine, 1);
        ASSERT_GT(recorder.nextSequence(), expected.changes.size());
        const LineChange atStart = recorder.at(expected.changes.size());
        EXPECT_EQ(atStart.cycle, stoppedAt);
        EXPECT_EQ(atStart.levels, expected.changes.back().levels & ~pin::bit(0));
    }
}

TEST(WaveRecorder, FullRingKeepsTheNewestAndKnowsWhereItStarts) {
    Machine machine = makeMachine();
    loadCode(machine, assemble(kPortWrites));
    const Observed all = observeBySteps(machine, 500);
    ASSERT_GT(all.changes.size(), 8u);

    WaveRecorder recorder(3); // room for 4
    machine.wave = &recorder;
    runSteps(machine, 500);
    const uint64_t total = all.changes.size();
    EXPECT_EQ(recorder.nextSequence(), total);
    EXPECT_EQ(recorder.firstSequence(), total - 4);
    EXPECT_EQ(recorder.dropped(), total - 4);
    EXPECT_EQ(recorder.entries(), std::vector<LineChange>(all.changes.end() - 4, all.changes.end()));

    // A reader asking from a dropped entry gets the window from its start;
    // one that is up to date gets only what is new.
    std::vector<LineChange> copied;
    EXPECT_EQ(recorder.copySince(0, copied), total - 4);
    EXPECT_EQ(copied.size(), 4u);
    EXPECT_EQ(recorder.copySince(total - 1, copied), total - 1);
    EXPECT_EQ(copied.back(), all.changes.back());
    EXPECT_EQ(copied.size(), 5u);
    EXPECT_EQ(recorder.copySince(total, copied), total);
    EXPECT_EQ(copied.size(), 5u);
}
