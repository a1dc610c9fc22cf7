// The execution profile: exact counts and cycles whichever way a loop runs,
// vectoring kept apart; coverage names exactly the instructions never run.
#include "core_test_support.h"

#include "machine/code_coverage.h"
#include "machine/code_profile.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {

// A counted loop, a JZ never taken (A = 1), a table, a handler never enabled.
const std::string kBranchProgram = R"(
        .org 0
        ljmp main
        .org 0x0b
        ljmp t0isr
        .org 0x30
main:   mov r7, #3          ; 0030
loop:   djnz r7, loop       ; 0032
        mov a, #1           ; 0034
        jz zero             ; 0036
        inc r0              ; 0038
done:   sjmp done           ; 0039
zero:   mov r1, #5          ; 003B
        sjmp done           ; 003D
table:  .db 0x12, 0x34      ; 003F: LCALL and ADDC if read as code
t0isr:  cpl p1.0            ; 0041
        reti                ; 0043
)";

Machine profiledMachine(const std::string& source) {
    Machine machine = assembledMachine(source);
    machine.codeProfile.enable();
    return machine;
}

} // namespace

TEST(CodeProfile, CountsAndCyclesOfAKnownLoopWhicheverWayItRuns) {
    // Twelve instructions: through the loop to the self-jump, which runs four times.
    const struct { uint16_t address; uint64_t executions, cycles; } expected[] = {{0x0000, 1, 2}, {0x0030, 1, 1}, {0x0032, 3, 6}, {0x0034, 1, 1},
                    {0x0036, 1, 2}, {0x0038, 1, 1}, {0x0039, 4, 8}};
    const Machine start = profiledMachine(kBranchProgram);
    Machine freeRun = start, stepped = start, watched = start;
    runSteps(freeRun, 12);
    stepN(stepped, 12);
    runSteps(watched, 12, StopConditions{.untilPc = 0x1234, .selfJump = false, .breakpoints = {}});

    AddressCounts sum;
    for (const auto& e : expected) {
        EXPECT_EQ(freeRun.codeProfile.at(e.address), (AddressCounts{e.executions, e.cycles})) << e.address;
        sum = {sum.executions + e.executions, sum.cycles + e.cycles};
    }
    EXPECT_EQ(freeRun.codeProfile.total(), sum); // and nothing elsewhere
    EXPECT_EQ(freeRun.chip.cycles - start.chip.cycles, sum.cycles);
    EXPECT_EQ(stepped.codeProfile, freeRun.codeProfile);
    EXPECT_EQ(watched.codeProfile, freeRun.codeProfile);

    // Per function and line: 0030H is line 10, the loop line 11 (both "main"),
    // the rest line 12 of "tail"; the ljmp at 0000H has no place.
    const SourceProfile bySource = profileBySource(freeRun.codeProfile, [](uint16_t address) {
        return address < 0x0030 ? std::nullopt
               : address < 0x0034 ? std::optional(SourcePlace{"main", "m.asm", address < 0x0032 ? 10 : 11})
                                  : std::optional(SourcePlace{"tail", "m.asm", 12});
    });
    ASSERT_EQ(bySource.functions.size(), 2u);
    EXPECT_EQ(bySource.functions[0].counts, (AddressCounts{4, 7}));
    EXPECT_EQ(bySource.functions[1].counts, (AddressCounts{7, 12}));
    ASSERT_EQ(bySource.lines.size(), 3u);
    EXPECT_EQ(bySource.lines[1].counts, (AddressCounts{3, 6}));
}

TEST(CodeProfile, InterruptVectoringIsCountedApartFromTheInstructions) {
    // Timer 0 in mode 2 overflows every 16 cycles; its handler sits on the vector.
    Machine machine = profiledMachine(R"(
        .org 0
        ljmp main
        .org 0x0b
        inc r2
        reti
        .org 0x30
main:   mov tmod, #0x02
        mov th0, #0xf0
        mov tl0, #0xf0
        setb et0
        setb ea
        setb tr0
spin:   sjmp spin
)");
    const uint32_t startCycles = machine.chip.cycles;
    runSteps(machine, 1000);
    const uint8_t interrupts = ram(machine, 0x02);
    ASSERT_GT(interrupts, 10);
    EXPECT_EQ(machine.codeProfile.vectoringCycles, 2u * interrupts);
    EXPECT_EQ(machine.codeProfile.at(0x000B).executions, interrupts);
    EXPECT_EQ(machine.codeProfile.total().cycles + machine.codeProfile.vectoringCycles,
              machine.chip.cycles - startCycles);
    // The handler on its vector ran, so it is code; everything ran.
    const Coverage coverage = codeCoverage(machine.codeProfile, machine.chip);
    EXPECT_EQ(coverage.instructions.size(), 10u);
    EXPECT_DOUBLE_EQ(coverage.percent(), 100.0);
}

TEST(CodeCoverage, NamesExactlyTheInstructionsNeverExecuted) {
    Machine machine = profiledMachine(kBranchProgram);
    runSteps(machine, 12);
    const Coverage coverage = codeCoverage(machine.codeProfile, machine.chip);
    EXPECT_EQ(coverage.instructions, (std::vector<uint16_t>{0x0000, 0x000B, 0x0030, 0x0032, 0x0034, 0x0036,
                                                           0x0038, 0x0039, 0x003B, 0x003D, 0x0041, 0x0043}));
    EXPECT_EQ(coverage.missed, (std::vector<uint16_t>{0x000B, 0x003B, 0x003D, 0x0041, 0x0043}));
    EXPECT_EQ(coverage.missedRanges,
              (std::vector<CodeRange>{{0x000B, 0x000D}, {0x003B, 0x003E}, {0x0041, 0x0043}}));

    // Without the vector's jump the handler is no longer reachable code.
    machine.chip.code[0x000B] = 0x00;
    const Coverage noVector = codeCoverage(machine.codeProfile, machine.chip);
    EXPECT_EQ(noVector.missed, (std::vector<uint16_t>{0x003B, 0x003D}));
}
