// Timers 0, 1 and 2: every mode, gate, counter inputs from pin edges and
// pulse requests, timer 0 mode 3 taking over TF1, baud ticks, timer 2
// capture, auto-reload, up/down counting and clock-out.
#include "chip/timers.h"

#include "core_test_support.h"

using namespace quorvel;
using namespace quorvel::test;
using namespace quorvel::sfr::bits;

namespace {

constexpr uint8_t kNop[] = {0x00};             // 1 cycle
constexpr uint8_t kSjmpSelf[] = {0x80, 0xFE};  // 2 cycles, stays
constexpr uint8_t kMulLoop[] = {0xA4, 0x80, 0xFD}; // MUL AB (4), SJMP back (2)

Machine machineWith(std::initializer_list<uint8_t> program) {
    Machine machine = makeMachine(DeviceKind::AT89C52);
    loadCode(machine, std::vector<uint8_t>(program));
    return machine;
}

Machine nopMachine() {
    Machine machine = makeMachine(DeviceKind::AT89C52);
    std::fill(machine.chip.code.begin(), machine.chip.code.end(), kNop[0]);
    return machine;
}

uint8_t& sfrRef(Machine& m, uint8_t address) { return m.chip.sfr(address); }

void setPin(Machine& m, int index, bool high) { m.chip.pins.setLevel(index, high); }

constexpr int kP1_0 = 8, kP1_1 = 9, kP3_2 = 26, kP3_3 = 27, kP3_4 = 28, kP3_5 = 29;

} // namespace

TEST(Timer0, Mode1OverflowsAndWraps) {
    Machine m = machineWith({kSjmpSelf[0], kSjmpSelf[1]});
    sfrRef(m, sfr::TMOD) = 0x01;
    sfrRef(m, sfr::TH0) = 0xFF;
    sfrRef(m, sfr::TL0) = 0xFF;
    sfrRef(m, sfr::TCON) = TR0;
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TH0), 0x00);
    EXPECT_EQ(sfrValue(m, sfr::TL0), 0x01);
    EXPECT_TRUE(sfrValue(m, sfr::TCON) & TF0);
}

TEST(Timer0, Mode2ReloadsAndDropsTheExtraCounts) {
    Machine m = machineWith({kSjmpSelf[0], kSjmpSelf[1]});
    sfrRef(m, sfr::TMOD) = 0x02;
    sfrRef(m, sfr::TH0) = 0xF0;
    sfrRef(m, sfr::TL0) = 0xFF;
    sfrRef(m, sfr::TCON) = TR0;
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TL0), 0xF0);
    EXPECT_TRUE(sfrValue(m, sfr::TCON) & TF0);
    // Then it counts on from the reload value.
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TL0), 0xF2);
}

TEST(Timer0, Mode0Is13Bits) {
    Machine m = nopMachine();
    sfrRef(m, sfr::TMOD) = 0x00;
    sfrRef(m, sfr::TL0) = 0xFF; // upper three bits are not part of the count
    sfrRef(m, sfr::TH0) = 0x00;
    sfrRef(m, sfr::TCON) = TR0;
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TL0), 0x00);
    EXPECT_EQ(sfrValue(m, sfr::TH0), 0x01);
    EXPECT_FALSE(sfrValue(m, sfr::TCON) & TF0);
    sfrRef(m, sfr::TH0) = 0xFF;
    sfrRef(m, sfr::TL0) = 0x1F;
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TH0), 0x00);
    EXPECT_EQ(sfrValue(m, sfr::TL0), 0x00);
    EXPECT_TRUE(sfrValue(m, sfr::TCON) & TF0);
}

TEST(Timer0, StoppedTimerHolds) {
    Machine m = nopMachine();
    sfrRef(m, sfr::TMOD) = 0x01;
    sfrRef(m, sfr::TL0) = 0x10;
    stepN(m, 10);
    EXPECT_EQ(sfrValue(m, sfr::TL0), 0x10);
}

TEST(Timer0, CountsBeforeTheInstructionRuns) {
    // MOV TL0,#00 in the step where the timer overflows: the timer counted
    // first (TF0 set), then the instruction wrote TL0.
    Machine m = machineWith({0x75, 0x8A, 0x00, 0x80, 0xFE});
    sfrRef(m, sfr::TMOD) = 0x01;
    sfrRef(m, sfr::TH0) = 0xFF;
    sfrRef(m, sfr::TL0) = 0xFF;
    sfrRef(m, sfr::TCON) = TR0;
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TL0), 0x00);
    EXPECT_EQ(sfrValue(m, sfr::TH0), 0x00);
    EXPECT_TRUE(sfrValue(m, sfr::TCON) & TF0);
}

TEST(Timer0, GateFollowsInt0WhateverTimer1Uses) {
    for (uint8_t timer1Bits : {0x00, 0x20, 0x90}) {
        SCOPED_TRACE(int(timer1Bits));
        Machine m = nopMachine();
        sfrRef(m, sfr::TMOD) = uint8_t(timer1Bits | 0x09); // GATE0, mode 1
        sfrRef(m, sfr::TCON) = TR0;
        setPin(m, kP3_2, false); // input "0"
        stepN(m, 5);
        EXPECT_EQ(sfrValue(m, sfr::TL0), 0);
        setPin(m, kP3_2, true);
        stepN(m, 5);
        EXPECT_EQ(sfrValue(m, sfr::TL0), 5);
    }
}

TEST(Timer0, CounterCountsOneFallingEdgeWhateverTheCycles) {
    Machine m = machineWith({kSjmpSelf[0], kSjmpSelf[1]});
    sfrRef(m, sfr::TMOD) = 0x05; // counter, mode 1
    sfrRef(m, sfr::TCON) = TR0;
    setPin(m, kP3_4, true);
    stepN(m, 3);
    EXPECT_EQ(sfrValue(m, sfr::TL0), 0);
    setPin(m, kP3_4, false); // 1 -> 0 between two instructions
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TL0), 1);
    stepN(m, 3); // the low level does not count again
    EXPECT_EQ(sfrValue(m, sfr::TL0), 1);
    setPin(m, kP3_4, true);
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TL0), 1); // rising edge: nothing
}

TEST(Timer0, CounterTakesPulseRequestsOnce) {
    Machine m = nopMachine();
    m.chip.pins.setSetting(kP3_4, kInputPulse);
    sfrRef(m, sfr::TMOD) = 0x05;
    sfrRef(m, sfr::TCON) = TR0;
    m.chip.pins.pulseRequests |= kPulseT0;
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TL0), 1);
    EXPECT_EQ(m.chip.pins.pulseRequests & kPulseT0, 0);
    stepN(m, 2);
    EXPECT_EQ(sfrValue(m, sfr::TL0), 1);
}

TEST(Timer0, Mode3SplitsTimer0AndTakesTf1) {
    Machine m = nopMachine();
    sfrRef(m, sfr::TMOD) = 0x13; // timer 1 mode 1, timer 0 mode 3
    sfrRef(m, sfr::TL0) = 0xFE;
    sfrRef(m, sfr::TH0) = 0xFF;
    sfrRef(m, sfr::TL1) = 0xFF;
    sfrRef(m, sfr::TH1) = 0xFF;
    sfrRef(m, sfr::TCON) = TR0 | TR1;
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TL0), 0xFF);
    EXPECT_EQ(sfrValue(m, sfr::TH0), 0x00);
    EXPECT_TRUE(sfrValue(m, sfr::TCON) & TF1); // TH0's overflow
    EXPECT_FALSE(sfrValue(m, sfr::TCON) & TF0);
    // Timer 1 overflowed too but did not set TF1 on its own.
    EXPECT_EQ(sfrValue(m, sfr::TL1), 0x00);
    EXPECT_EQ(sfrValue(m, sfr::TH1), 0x00);
    sfrRef(m, sfr::TCON) = 0; // TR1 off: TH0 stops, timer 1 still runs
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TH0), 0x00);
    EXPECT_EQ(sfrValue(m, sfr::TL1), 0x01);
    EXPECT_EQ(sfrValue(m, sfr::TL0), 0xFF); // TR0 off
    sfrRef(m, sfr::TL1) = 0xFF;
    sfrRef(m, sfr::TH1) = 0xFF;
    stepN(m, 1);
    EXPECT_FALSE(sfrValue(m, sfr::TCON) & TF1);
}

TEST(Timer1, ModesAndGate) {
    Machine m = nopMachine();
    sfrRef(m, sfr::TMOD) = 0x20; // mode 2
    sfrRef(m, sfr::TH1) = 0xFD;
    sfrRef(m, sfr::TL1) = 0xFE;
    sfrRef(m, sfr::TCON) = TR1;
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TL1), 0xFF);
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TL1), 0xFD);
    EXPECT_TRUE(sfrValue(m, sfr::TCON) & TF1);

    sfrRef(m, sfr::TMOD) = 0x30; // mode 3: timer 1 holds
    stepN(m, 3);
    EXPECT_EQ(sfrValue(m, sfr::TL1), 0xFD);

    sfrRef(m, sfr::TMOD) = 0x90; // gate, mode 1, INT1 low
    sfrRef(m, sfr::TL1) = 0;
    stepN(m, 3);
    EXPECT_EQ(sfrValue(m, sfr::TL1), 0);
    setPin(m, kP3_3, true);
    stepN(m, 3);
    EXPECT_EQ(sfrValue(m, sfr::TL1), 3);
}

TEST(Timer1, CounterOnT1Edges) {
    Machine m = nopMachine();
    sfrRef(m, sfr::TMOD) = 0x50; // counter, mode 1
    sfrRef(m, sfr::TCON) = TR1;
    for (int i = 0; i < 4; ++i) {
        setPin(m, kP3_5, true);
        stepN(m, 1);
        setPin(m, kP3_5, false);
        stepN(m, 1);
    }
    EXPECT_EQ(sfrValue(m, sfr::TL1), 4);
    m.chip.pins.pulseRequests |= kPulseT1;
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TL1), 5);
}

TEST(Timer2, BaudRateModeAddsSixPerCycle) {
    Machine m = machineWith({kMulLoop[0], kMulLoop[1], kMulLoop[2]});
    sfrRef(m, sfr::T2CON) = TCLK | TR2;
    sfrRef(m, sfr::RCAP2H) = 0xFF;
    sfrRef(m, sfr::RCAP2L) = 0xE0;
    sfrRef(m, sfr::TH2) = 0xFF;
    sfrRef(m, sfr::TL2) = 0x00;
    stepN(m, 1); // MUL: 4 cycles
    EXPECT_EQ(sfrValue(m, sfr::TL2), 24);
    stepN(m, 1); // SJMP: 2 cycles
    EXPECT_EQ(sfrValue(m, sfr::TL2), 36);
    sfrRef(m, sfr::TL2) = 0xF0; // 0xFFF0 + 24 passes 0xFFFF: reload, no TF2
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TH2), 0xFF);
    EXPECT_EQ(sfrValue(m, sfr::TL2), 0xE0);
    EXPECT_FALSE(sfrValue(m, sfr::T2CON) & TF2);
}

TEST(Timer2, AutoReloadOnOverflowAndOnceOnT2exEdge) {
    Machine m = nopMachine();
    setPin(m, kP1_1, true);
    sfrRef(m, sfr::T2CON) = TR2 | EXEN2;
    sfrRef(m, sfr::RCAP2H) = 0x12;
    sfrRef(m, sfr::RCAP2L) = 0x34;
    sfrRef(m, sfr::TH2) = 0xFF;
    sfrRef(m, sfr::TL2) = 0xFF;
    stepN(m, 1);
    EXPECT_TRUE(sfrValue(m, sfr::T2CON) & TF2);
    EXPECT_EQ(sfrValue(m, sfr::TH2), 0x12);
    EXPECT_EQ(sfrValue(m, sfr::TL2), 0x34);

    sfrRef(m, sfr::T2CON) = TR2 | EXEN2;
    sfrRef(m, sfr::TH2) = 0x50;
    sfrRef(m, sfr::TL2) = 0x00;
    stepN(m, 1);
    setPin(m, kP1_1, false); // one falling edge
    stepN(m, 1);
    EXPECT_TRUE(sfrValue(m, sfr::T2CON) & EXF2);
    EXPECT_EQ(sfrValue(m, sfr::TH2), 0x12);
    EXPECT_EQ(sfrValue(m, sfr::TL2), 0x35); // reloaded, then counted
    stepN(m, 3); // EXF2 stays set but does not reload again
    EXPECT_EQ(sfrValue(m, sfr::TL2), 0x38);
}

TEST(Timer2, CaptureOnT2exEdge) {
    Machine m = nopMachine();
    sfrRef(m, sfr::T2CON) = TR2 | EXEN2 | CPRL2;
    sfrRef(m, sfr::TH2) = 0x00;
    sfrRef(m, sfr::TL2) = 0x10;
    setPin(m, kP1_1, true);
    stepN(m, 1);
    m.chip.pins.pulseRequests |= kPulseT2ex; // the I/O window's T2EX button
    stepN(m, 1);
    EXPECT_TRUE(sfrValue(m, sfr::T2CON) & EXF2);
    // Captured before the count, and again after it (EXF2 set, request set).
    EXPECT_EQ(sfrValue(m, sfr::RCAP2L), 0x12);
    EXPECT_EQ(sfrValue(m, sfr::TL2), 0x12);
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::RCAP2L), 0x12);
    EXPECT_EQ(sfrValue(m, sfr::TL2), 0x13);
    sfrRef(m, sfr::TH2) = 0xFF;
    sfrRef(m, sfr::TL2) = 0xFF;
    stepN(m, 1);
    EXPECT_TRUE(sfrValue(m, sfr::T2CON) & TF2);
    EXPECT_EQ(sfrValue(m, sfr::TH2), 0x00); // wraps, no reload
    EXPECT_EQ(sfrValue(m, sfr::TL2), 0x00);
}

TEST(Timer2, UpDownCountingWithDcen) {
    Machine m = nopMachine();
    sfrRef(m, sfr::T2MOD) = DCEN;
    sfrRef(m, sfr::T2CON) = TR2;
    sfrRef(m, sfr::RCAP2H) = 0xAB;
    sfrRef(m, sfr::RCAP2L) = 0xCD;
    // T2EX low: down from 0000 by one.
    setPin(m, kP1_1, false);
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TH2), 0xFF);
    EXPECT_EQ(sfrValue(m, sfr::TL2), 0xFF);
    EXPECT_TRUE(sfrValue(m, sfr::T2CON) & TF2);
    EXPECT_TRUE(sfrValue(m, sfr::T2CON) & EXF2);
    // T2EX high: up, overflow reloads and toggles EXF2 back.
    sfrRef(m, sfr::T2CON) = TR2 | EXF2;
    setPin(m, kP1_1, true);
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TH2), 0xAB);
    EXPECT_EQ(sfrValue(m, sfr::TL2), 0xCD);
    EXPECT_FALSE(sfrValue(m, sfr::T2CON) & EXF2);
    EXPECT_TRUE(sfrValue(m, sfr::T2CON) & TF2);
}

TEST(Timer2, CounterModeCountsT2Edges) {
    Machine m = nopMachine();
    sfrRef(m, sfr::T2CON) = TR2 | CT2;
    setPin(m, kP1_0, true);
    stepN(m, 2);
    setPin(m, kP1_0, false);
    stepN(m, 2);
    m.chip.pins.pulseRequests |= kPulseT2;
    stepN(m, 1);
    EXPECT_EQ(sfrValue(m, sfr::TL2), 2);
}

TEST(Timer2, ClockOutTogglesP10EverySecondOverflow) {
    Machine m = nopMachine();
    sfrRef(m, sfr::T2MOD) = T2OE;
    sfrRef(m, sfr::T2CON) = TR2;
    sfrRef(m, sfr::RCAP2H) = 0xFF;
    sfrRef(m, sfr::RCAP2L) = 0xFE; // an overflow every 2 cycles
    sfrRef(m, sfr::TH2) = 0xFF;
    sfrRef(m, sfr::TL2) = 0xFE;
    std::vector<int> latch;
    for (int i = 0; i < 8; ++i) {
        stepN(m, 1);
        latch.push_back(sfrValue(m, sfr::P1) & 1);
        EXPECT_FALSE(sfrValue(m, sfr::T2CON) & TF2);
    }
    // Overflows at steps 2, 4, 6, 8; the latch toggles at every second one.
    EXPECT_EQ(latch, (std::vector<int>{1, 1, 1, 0, 0, 0, 0, 1}));
}

TEST(Timer1, BaudTicksHalvedWithoutSmod) {
    Machine m = nopMachine();
    sfrRef(m, sfr::SCON) = 0x40; // mode 1
    sfrRef(m, sfr::TMOD) = 0x20;
    sfrRef(m, sfr::TH1) = 0xFF; // an overflow every cycle
    sfrRef(m, sfr::TL1) = 0xFF;
    sfrRef(m, sfr::TCON) = TR1;
    SerialState& serial = m.chip.periph.serial;
    serial.rxRequest = 2; // a reception shifting
    serial.rxBits = 10;
    serial.rxBitTime = 16;
    sfrRef(m, sfr::SCON) = 0x40 | REN;
    stepN(m, 4);
    EXPECT_EQ(serial.rxBitTime, 14); // 4 overflows, every second counts
    sfrRef(m, sfr::PCON) = SMOD;
    stepN(m, 4);
    EXPECT_EQ(serial.rxBitTime, 10);
}
