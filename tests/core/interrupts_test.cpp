// The interrupt system: external-pin sampling, the twelve candidates in
// urgency order, the acceptance state and its one-instruction delays.
#include "chip/interrupts.h"

#include "core_test_support.h"

using namespace quorvel;
using namespace quorvel::test;
using namespace quorvel::sfr::bits;

namespace {

constexpr int kP3_2 = 26, kP3_3 = 27;

// NOPs everywhere; PC at 0x0100, so vectors are easy to tell apart.
Machine nops() {
    Machine m = makeMachine(DeviceKind::AT89S8252, 12000000, 0xFFFF, 0xFFFF);
    std::fill(m.chip.code.begin(), m.chip.code.end(), 0x00);
    m.chip.pc = 0x0100;
    // INT0/INT1 idle high, so level-mode inputs raise nothing.
    m.chip.pins.setLevel(kP3_2, true);
    m.chip.pins.setLevel(kP3_3, true);
    m.chip.periph.timers.prevLevels = m.chip.pinSideLevels();
    return m;
}

uint8_t& reg(Machine& m, uint8_t address) { return m.chip.sfr(address); }
uint16_t pushed(const Machine& m) {
    const uint8_t sp = m.chip.sfr(sfr::SP);
    return uint16_t(m.chip.iram[sp] << 8 | m.chip.iram[uint8_t(sp - 1)]);
}

} // namespace

TEST(Interrupts, Timer0OverflowVectorsAfterTheInstruction) {
    Machine m = nops();
    reg(m, sfr::IE) = 0x82;
    reg(m, sfr::TMOD) = 0x01;
    reg(m, sfr::TH0) = 0xFF;
    reg(m, sfr::TL0) = 0xFF;
    reg(m, sfr::TCON) = TR0;
    const uint32_t cycles = m.chip.cycles;
    stepN(m, 1);
    EXPECT_EQ(m.chip.pc, 0x000B);
    EXPECT_EQ(pushed(m), 0x0101); // the instruction after the NOP
    EXPECT_EQ(reg(m, sfr::SP), 0x09);
    EXPECT_FALSE(reg(m, sfr::TCON) & TF0);
    EXPECT_EQ(m.chip.cycles - cycles, 1u); // vectoring costs no cycles
    EXPECT_EQ(m.chip.periph.irq.acceptance, Acceptance::InService);
    EXPECT_EQ(m.chip.periph.irq.urgency, 8);
}

TEST(Interrupts, MoreUrgentRequestsInterruptAHandler) {
    for (uint8_t ip : {0x01, 0x00}) { // INT0 high (urgency 1) or low (urgency 7)
        SCOPED_TRACE(int(ip));
        Machine m = nops();
        reg(m, sfr::IP) = ip;
        reg(m, sfr::IE) = EA | ET0 | EX0;
        reg(m, sfr::TCON) = TF0;
        stepN(m, 1);
        ASSERT_EQ(m.chip.pc, 0x000B); // timer 0, urgency 8, in service
        m.chip.pins.setLevel(kP3_2, false); // INT0 low, level mode
        stepN(m, 1);
        EXPECT_EQ(m.chip.pc, 0x0003);
        EXPECT_EQ(pushed(m), 0x000C);
        EXPECT_EQ(m.chip.periph.irq.urgency, ip ? 1 : 7);
    }
}

TEST(Interrupts, LessUrgentRequestsWait) {
    Machine m = nops();
    reg(m, sfr::IP) = 0x02; // PT0: timer 0 is urgency 2, timer 1 urgency 10
    reg(m, sfr::IE) = EA | ET0 | ET1;
    reg(m, sfr::TCON) = TF0;
    stepN(m, 1);
    ASSERT_EQ(m.chip.pc, 0x000B); // urgency 2
    reg(m, sfr::TCON) |= TF1;     // urgency 10
    stepN(m, 5);
    EXPECT_EQ(m.chip.pc, 0x0010);
    EXPECT_TRUE(reg(m, sfr::TCON) & TF1);
}

TEST(Interrupts, IeWriteDelaysAcceptanceByOneInstruction) {
    Machine m = nops();
    loadCode(m, {0x75, 0xA8, 0x82}, 0x0100); // MOV IE,#82H
    reg(m, sfr::TCON) = TF0;
    stepN(m, 1);
    EXPECT_EQ(m.chip.pc, 0x0103); // not yet
    stepN(m, 1);
    EXPECT_EQ(m.chip.pc, 0x000B);
    EXPECT_EQ(pushed(m), 0x0104);
}

TEST(Interrupts, ReadingIpAlsoDelays) {
    Machine m = nops();
    loadCode(m, {0xE5, 0xB8}, 0x0100); // MOV A,IP
    reg(m, sfr::IE) = 0x82;
    reg(m, sfr::TCON) = TF0;
    m.chip.periph.irq.acceptance = Acceptance::Accepting;
    stepN(m, 1);
    EXPECT_EQ(m.chip.pc, 0x0102);
    stepN(m, 1);
    EXPECT_EQ(m.chip.pc, 0x000B);
}

TEST(Interrupts, BitInstructionsOnIeDoNotDelay) {
    Machine m = nops();
    loadCode(m, {0xD2, 0xAF}, 0x0100); // SETB EA
    reg(m, sfr::IE) = ET0;
    reg(m, sfr::TCON) = TF0;
    stepN(m, 1);
    EXPECT_EQ(m.chip.pc, 0x000B);
    EXPECT_EQ(pushed(m), 0x0102);
}

TEST(Interrupts, RetiIsFollowedByOneInstruction) {
    Machine m = nops();
    loadCode(m, {0x32}, 0x0100); // RETI
    reg(m, sfr::SP) = 0x09;
    m.chip.iram[0x08] = 0x00; // return to 0x0200
    m.chip.iram[0x09] = 0x02;
    m.chip.periph.irq.acceptance = Acceptance::InService;
    m.chip.periph.irq.urgency = 8;
    reg(m, sfr::IE) = 0x82;
    reg(m, sfr::TCON) = TF0;
    stepN(m, 1);
    EXPECT_EQ(m.chip.pc, 0x0200);
    stepN(m, 1);
    EXPECT_EQ(m.chip.pc, 0x000B);
    EXPECT_EQ(pushed(m), 0x0201);
}

TEST(Interrupts, EdgeNotAcceptedInItsStepIsLost) {
    Machine m = nops();
    reg(m, sfr::TCON) = IT0;
    reg(m, sfr::IE) = EA | EX0;
    m.chip.periph.irq.acceptance = Acceptance::InService;
    m.chip.periph.irq.urgency = 2; // a more urgent handler runs
    m.chip.pins.setLevel(kP3_2, false);
    stepN(m, 1);
    EXPECT_TRUE(reg(m, sfr::TCON) & IE0);
    EXPECT_EQ(m.chip.pc, 0x0101);
    m.chip.periph.irq.acceptance = Acceptance::Accepting; // as after RETI
    stepN(m, 5);
    EXPECT_EQ(m.chip.pc, 0x0106); // never taken, IE0 stays set
    EXPECT_TRUE(reg(m, sfr::TCON) & IE0);
}

TEST(Interrupts, EdgeModeVectorClearsIe0) {
    Machine m = nops();
    reg(m, sfr::TCON) = IT0;
    reg(m, sfr::IE) = EA | EX0;
    m.chip.pins.setLevel(kP3_2, false);
    stepN(m, 1);
    EXPECT_EQ(m.chip.pc, 0x0003);
    EXPECT_FALSE(reg(m, sfr::TCON) & IE0);
}

TEST(Interrupts, LevelModeUsesTheLatchForNcAndPulseLines) {
    Machine m = nops();
    m.chip.pins.setSetting(kP3_2, kInputPulse);
    m.chip.pins.setLevel(kP3_2, false); // a "Pulse" line's level is 0 ...
    reg(m, sfr::IE) = EA | EX0;
    stepN(m, 2);
    EXPECT_EQ(m.chip.pc, 0x0102); // ... but the latch (1) decides
    reg(m, sfr::P3) &= uint8_t(~0x04);
    stepN(m, 1);
    EXPECT_EQ(m.chip.pc, 0x0003);

    // INT1 on "NC" needs both its level and its latch low.
    Machine n = nops();
    n.chip.pins.setSetting(kP3_3, kInputNC);
    n.chip.pins.setLevel(kP3_3, true);
    n.chip.sfr(sfr::P3) &= uint8_t(~0x08);
    n.chip.sfr(sfr::IE) = EA | EX1;
    stepN(n, 1);
    EXPECT_EQ(n.chip.pc, 0x0101);
    n.chip.pins.setLevel(kP3_3, false);
    stepN(n, 1);
    EXPECT_EQ(n.chip.pc, 0x0013);
}

TEST(Interrupts, PulseButtonRaisesAOneStepRequest) {
    Machine m = nops();
    reg(m, sfr::IE) = EA | EX1;
    m.chip.periph.irq.acceptance = Acceptance::InService;
    m.chip.periph.irq.urgency = 1;
    m.chip.pins.pulseRequests |= kPulseInt1;
    stepN(m, 1);
    EXPECT_EQ(m.chip.pins.pulseRequests, 0);
    EXPECT_EQ(m.chip.periph.irq.requests, 0); // gone at the end of the step
    m.chip.periph.irq.acceptance = Acceptance::Accepting;
    m.chip.pins.pulseRequests |= kPulseInt1;
    stepN(m, 1);
    EXPECT_EQ(m.chip.pc, 0x0013);
}

TEST(Interrupts, UrgencyOrderAndPriorityGroups) {
    struct Case {
        uint8_t ip;
        uint16_t vector;
    };
    for (const Case& c : {Case{0x00, 0x0003}, Case{0x08, 0x001B}, Case{0x30, 0x0023},
                          Case{0x20, 0x002B}, Case{0x02, 0x000B}}) {
        SCOPED_TRACE(int(c.ip));
        Machine m = nops();
        m.chip.pins.setLevel(kP3_2, false); // INT0 low (level)
        m.chip.pins.setLevel(kP3_3, false); // INT1 low (level)
        reg(m, sfr::TCON) = TF0 | TF1;
        reg(m, sfr::SCON) = TI;
        reg(m, sfr::T2CON) = TF2;
        reg(m, sfr::IP) = c.ip;
        reg(m, sfr::IE) = 0xBF;
        stepN(m, 1);
        EXPECT_EQ(m.chip.pc, c.vector);
    }
}

TEST(Interrupts, SharedAndTimer2VectorsLeaveTheirFlags) {
    Machine serial = nops();
    serial.chip.sfr(sfr::IE) = EA | ES;
    serial.chip.sfr(sfr::SCON) = RI | TI;
    stepN(serial, 1);
    EXPECT_EQ(serial.chip.pc, 0x0023);
    EXPECT_EQ(serial.chip.sfr(sfr::SCON) & (RI | TI), RI | TI);

    Machine spi = nops();
    spi.chip.sfr(sfr::IE) = EA | ES;
    spi.chip.sfr(sfr::SPCR) = SPIE;
    spi.chip.sfr(sfr::SPSR) = SPIF;
    stepN(spi, 1);
    EXPECT_EQ(spi.chip.pc, 0x0023);
    EXPECT_TRUE(spi.chip.sfr(sfr::SPSR) & SPIF);

    Machine t2 = nops();
    t2.chip.sfr(sfr::IE) = EA | ET2;
    t2.chip.sfr(sfr::T2CON) = TF2 | EXF2;
    stepN(t2, 1);
    EXPECT_EQ(t2.chip.pc, 0x002B);
    EXPECT_EQ(t2.chip.sfr(sfr::T2CON) & (TF2 | EXF2), TF2 | EXF2);
}

TEST(Interrupts, Exf2WithDcenCountsOnlyAtLowPriority) {
    Machine high = nops();
    high.chip.sfr(sfr::T2MOD) = DCEN;
    high.chip.sfr(sfr::T2CON) = EXF2;
    high.chip.sfr(sfr::IP) = 0x20;
    high.chip.sfr(sfr::IE) = EA | ET2;
    stepN(high, 1);
    EXPECT_EQ(high.chip.pc, 0x0101);

    Machine low = nops();
    low.chip.sfr(sfr::T2MOD) = DCEN;
    low.chip.sfr(sfr::T2CON) = EXF2;
    low.chip.sfr(sfr::IE) = EA | ET2;
    stepN(low, 1);
    EXPECT_EQ(low.chip.pc, 0x002B);
}

TEST(Interrupts, ResetMakesTheChipAcceptAgain) {
    Machine m = nops();
    m.chip.periph.irq.acceptance = Acceptance::InService;
    m.chip.periph.irq.urgency = 1;
    m.chip.reset();
    EXPECT_EQ(m.chip.periph.irq.acceptance, Acceptance::Accepting);
}

// ---- assembler programs

TEST(InterruptPrograms, HighPriorityInterruptsTheTimerHandler) {
    // Timer 0 (low priority) overflows every 256 cycles; its handler is long.
    // INT1 (high priority, edge) is pulsed by the test while the timer
    // handler runs. Each handler logs its entry and exit into RAM at 40H+.
    const std::vector<uint8_t> code = assemble(R"(
        .org 0
        ljmp main
        .org 0x0b
        ljmp t0isr
        .org 0x13
        ljmp x1isr
        .org 0x40
main:   mov  r0, #0x40
        mov  tmod, #0x02
        mov  th0, #0x00
        setb it1
        setb px1
        setb et0
        setb ex1
        setb ea
        setb tr0
idle:   sjmp idle
t0isr:  mov  @r0, #0x10
        inc  r0
        mov  r7, #50
spin:   djnz r7, spin
        mov  @r0, #0x11
        inc  r0
        reti
x1isr:  mov  @r0, #0x20
        inc  r0
        mov  @r0, #0x21
        inc  r0
        reti
)");
    ASSERT_FALSE(code.empty());
    Machine m = makeMachine(DeviceKind::AT89C52);
    loadCode(m, code);
    m.chip.pins.setLevel(kP3_3, true);
    // Into the timer handler's loop, then an INT1 falling edge.
    runUntil(m, [](const Machine& x) { return x.chip.iram[0x40] == 0x10; }, 5000);
    stepN(m, 10);
    m.chip.pins.setLevel(kP3_3, false);
    stepN(m, 200);
    const std::vector<uint8_t> log(m.chip.iram.begin() + 0x40, m.chip.iram.begin() + 0x44);
    EXPECT_EQ(log, (std::vector<uint8_t>{0x10, 0x20, 0x21, 0x11}));
}

TEST(InterruptPrograms, FirstHandlerInstructionSeesTheOverflowStep) {
    // Timer 0 in mode 2 reloads 00 on overflow (dropping the counts past
    // it). Vectoring takes no time and the timer counts before each
    // instruction, so the handler's first instruction, MOV A,TL0, reads 1.
    const std::vector<uint8_t> code = assemble(R"(
        .org 0
        ljmp main
        .org 0x0b
        mov  a, tl0
        mov  0x30, a
        reti
        .org 0x40
main:   mov  tmod, #0x02
        mov  th0, #0x00
        mov  tl0, #0xf1
        mov  ie, #0x82
        setb tr0
idle:   sjmp idle
)");
    ASSERT_FALSE(code.empty());
    Machine m = makeMachine(DeviceKind::AT89C52);
    loadCode(m, code);
    m.chip.iram[0x30] = 0xEE;
    runUntil(m, [](const Machine& x) { return x.chip.iram[0x30] != 0xEE; }, 200);
    EXPECT_EQ(m.chip.iram[0x30], 0x01);
}

TEST(InterruptPrograms, SetbEaFromResetTakesTimerInterrupts) {
    // Interrupts enabled only with bit instructions, as C compilers do.
    const std::vector<uint8_t> code = assemble(R"(
        .org 0
        ljmp main
        .org 0x0b
        inc  0x30
        reti
        .org 0x40
main:   mov  tmod, #0x02
        mov  th0, #156        ; 100 cycles per overflow
        mov  tl0, #156
        setb et0
        setb ea
        setb tr0
idle:   sjmp idle
)");
    ASSERT_FALSE(code.empty());
    Machine m = makeMachine(DeviceKind::AT89C52);
    loadCode(m, code);
    runUntil(m, [](const Machine& x) { return x.chip.cycles >= 10000; }, 100000);
    EXPECT_NEAR(m.chip.iram[0x30], 100, 2);
}
