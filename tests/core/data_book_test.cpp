// The chip as the MCS-51 data book has it, checked with small programs:
// decimal adjust, serial frames paced by the baud clock (auto-reload keeping
// its counts past an overflow), interrupt priority levels and polling order,
// requests from the flags, vectoring time, pins that read their latch ANDed
// with what drives them (so a program sees its own pin writes), and input
// lines sampled once a machine cycle.
#include "core_test_support.h"

#include "chip/serial_port.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {

// The bytes an interrupt test's handlers logged at 40H onwards (R1 points
// past the last).
std::vector<uint8_t> logged(const Machine& m) {
    return {m.chip.iram.begin() + 0x40, m.chip.iram.begin() + m.chip.iram[0x01]};
}

} // namespace

// ADDC then DA A on every pair of valid BCD bytes, with and without a carry
// in, gives the decimal sum's low two digits and its carry.
TEST(DataBook, DecimalAdjustAfterEveryBcdAddition) {
    Machine m = makeMachine();
    for (unsigned x = 0; x < 100; ++x) {
        for (unsigned y = 0; y < 100; ++y) {
            for (unsigned carryIn = 0; carryIn < 2; ++carryIn) {
                const uint8_t bx = uint8_t(x / 10 << 4 | x % 10);
                const uint8_t by = uint8_t(y / 10 << 4 | y % 10);
                loadCode(m, {0x34, by, 0xD4}); // ADDC A,#by; DA A
                m.chip.pc = 0;
                m.chip.sfr(sfr::ACC) = bx;
                m.chip.sfr(sfr::PSW) = carryIn ? sfr::bits::CY : 0;
                runSteps(m, 2);
                const unsigned sum = x + y + carryIn;
                const uint8_t expected = uint8_t((sum % 100) / 10 << 4 | sum % 10);
                ASSERT_EQ(m.chip.acc(), expected) << std::hex << unsigned(bx) << "+" << unsigned(by);
                ASSERT_EQ((m.chip.psw() & sfr::bits::CY) != 0, sum >= 100);
            }
        }
    }
}

// Bytes sent back to back, each written as soon as TI is set, leave one
// mode-1 frame (10 bits) apart. With SMOD = 1: at 11.0592 MHz and TH1 = FDH
// (19200 baud) bits of 48 machine cycles; with TH1 = FEH timer 1 overflows
// every 2 cycles, also under instructions of 4 (MUL AB in the polling loop):
// bits of 32 cycles. TI comes with the stop bit, 9 bit times after the start
// bit, which waits for the next bit boundary after the SBUF write.
TEST(DataBook, SerialBytesLeaveAtTheBaudRate) {
    const struct {
        const char* th1;
        const char* poll;
        uint32_t frequency, bit;
        double round; // cycles of one polling round
    } cases[] = {
        {"0xfd", "jnb  ti, wait", 11059200, 48, 4.0},
        {"0xfe", "mul  ab\n        jnb  ti, wait", 12000000, 32, 6.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.th1);
        std::string source = R"(
        mov  tmod, #0x20
        mov  th1, #TH1
        mov  tl1, #TH1
        orl  pcon, #0x80
        mov  scon, #0x50
        setb tr1
        mov  r7, #20
next:   mov  sbuf, r7
wait:   POLL
        clr  ti
        djnz r7, next
done:   sjmp done
)";
        for (int i = 0; i < 2; ++i) source.replace(source.find("TH1"), 3, c.th1);
        source.replace(source.find("POLL"), 4, c.poll);
        Machine m = assembledMachine(source, DeviceKind::AT89C52, c.frequency);
        EventRecorder events;
        attach(m, events);
        runToHalt(m);
        const std::vector<uint32_t>& at = events.transmittedAt;
        ASSERT_EQ(at.size(), 20u);
        for (size_t i = 1; i < at.size(); ++i)
            ASSERT_NEAR(double(at[i] - at[i - 1]), 10.0 * c.bit, c.round) << i;
        // The first TI: 9 bit times after a start bit that began within one
        // bit time of the write (the set-up before it takes 12 cycles).
        EXPECT_GT(at[0], 12u + 9 * c.bit);
        EXPECT_LE(at[0], 12u + 10 * c.bit + 2);
    }
}

// Reception at the same rate takes the same time: a host sending 100 bytes
// back to back, each as soon as the last is in, takes 100 frames.
TEST(DataBook, SerialBytesArriveAtTheBaudRate) {
    Machine m = assembledMachine(R"(
        mov  tmod, #0x20
        mov  th1, #0xfd
        mov  tl1, #0xfd
        orl  pcon, #0x80
        mov  scon, #0x50
        setb tr1
loop:   jnb  ri, loop
        clr  ri
        inc  0x30
        sjmp loop
)", DeviceKind::AT89C52, 11059200);
    EventRecorder events;
    attach(m, events);
    std::vector<uint32_t> arrivedAt;
    events.onReceived = [&](uint16_t) {
        arrivedAt.push_back(m.chip.cycles);
        if (arrivedAt.size() < 100) startSerialReception(m.chip, uint8_t(arrivedAt.size()), 1);
    };
    startSerialReception(m.chip, 0, 1);
    runSteps(m, 60'000);
    ASSERT_EQ(arrivedAt.size(), 100u);
    EXPECT_EQ(m.chip.iram[0x30], 100);
    EXPECT_NEAR(double(arrivedAt[99] - arrivedAt[0]), 99 * 480.0, 48.0);
}

// All six sources with handlers that log their number (1 = INT0 ... 6 =
// timer 2) at 40H after an optional action of their own (a flag set while
// the handler runs). Requests pending together are served by priority, then
// in polling order; a request waits for a handler of its own or a higher
// level and nests in a lower one. Edge-triggered INT0/INT1, so vectoring
// clears IE0/IE1.
TEST(DataBook, InterruptsByPriorityThenPollingOrder) {
    const char* const program = R"(
        .org 0
        ljmp main
        .org 0x03
        ACTION1
        mov  @r1, #1
        inc  r1
        reti
        .org 0x0b
        ACTION2
        mov  @r1, #2
        inc  r1
        reti
        .org 0x13
        ACTION3
        mov  @r1, #3
        inc  r1
        reti
        .org 0x1b
        ACTION4
        mov  @r1, #4
        inc  r1
        reti
        .org 0x23
        ACTION5
        clr  ri
        mov  @r1, #5
        inc  r1
        reti
        .org 0x2b
        ACTION6
        clr  0xcf
        mov  @r1, #6
        inc  r1
        reti
        .org 0x40
main:   mov  sp, #0x60
        mov  r1, #0x40
        setb it0
        setb it1
        mov  ip, #PRIORITY
        REQUESTS
        mov  ie, #0xbf
        nop
        nop
        nop
        nop
done:   sjmp done
)";
    const struct {
        const char* what;
        const char* priority;           // IP
        const char* requests;           // flags set before EA
        int actor;                      // handler (1-6) that does `action`, 0 none
        const char* action;
        std::vector<uint8_t> log;
    } cases[] = {
        {"one level: polling order", "0", "setb ie0\n setb tf0\n setb ie1\n setb tf1\n setb ri\n setb 0xcf",
         0, "", {1, 2, 3, 4, 5, 6}},
        {"high priority first", "0x10", "setb ie0\n setb tf0\n setb ie1\n setb tf1\n setb ri\n setb 0xcf",
         0, "", {5, 1, 2, 3, 4, 6}},
        {"high nests in low", "0x08", "setb tf0", 2, "setb tf1", {4, 2}},
        {"low waits for low", "0", "setb tf0", 2, "setb ie0", {2, 1}},
        {"low waits for high", "0x01", "setb ie0", 1, "setb tf0", {1, 2}},
        {"high waits for high", "0x03", "setb ie0", 1, "setb tf0", {1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string source = program;
        for (int n = 1; n <= 6; ++n) {
            const std::string key = "ACTION" + std::to_string(n);
            source.replace(source.find(key), key.size(), n == c.actor ? c.action : "nop\n nop");
        }
        source.replace(source.find("PRIORITY"), 8, c.priority);
        source.replace(source.find("REQUESTS"), 8, c.requests);
        Machine m = assembledMachine(source);
        runSteps(m, 300);
        EXPECT_EQ(logged(m), c.log);
        EXPECT_EQ(m.chip.periph.irq.inService, 0);
    }
}

// Requests are the flags: IE0 set by software, or latched by an edge the
// program itself makes on INT0 while EA = 0, is served once interrupts are
// enabled; a level-triggered INT0 the program holds low interrupts until it
// lets the line go. Vectoring takes two machine cycles.
TEST(DataBook, ExternalRequestsFromTheFlagAndTheProgramsOwnPin) {
    const char* const program = R"(
        .org 0
        ljmp main
        .org 0x03
        mov  @r1, #7
        inc  r1
        setb p3.2
        reti
        .org 0x40
main:   mov  sp, #0x60
        mov  r1, #0x40
        SETUP
        mov  ie, #0x81
        nop
        nop
done:   sjmp done
)";
    const struct {
        const char* setup;
        const char* what;
    } cases[] = {
        {"setb it0\n setb ie0", "IE0 set by software"},
        {"setb it0\n clr p3.2\n setb p3.2", "an edge while EA = 0"},
        {"clr p3.2", "the line held low, level-triggered"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string source = program;
        source.replace(source.find("SETUP"), 5, c.setup);
        Machine m = assembledMachine(source);
        runSteps(m, 100);
        EXPECT_EQ(logged(m), std::vector<uint8_t>{7});
    }

    // MOV IE,#81H with IE0 set: one more instruction, then the vector,
    // two cycles after that instruction's own.
    Machine m = assembledMachine(R"(
        setb it0
        setb ie0
        mov  ie, #0x81
        nop
        nop
)");
    runSteps(m, 3);
    const uint32_t before = m.chip.cycles;
    runSteps(m, 1); // the NOP, then the vector
    EXPECT_EQ(m.chip.pc, 0x0003);
    EXPECT_EQ(m.chip.cycles - before, 1u + 2u);
}

// Nothing wired: every line reads its latch, FFH after reset, then what the
// program wrote.
TEST(DataBook, PinsReadTheirLatch) {
    Machine m = assembledMachine(R"(
        mov  a, p1
        mov  r0, a
        mov  p1, #0x0f
        mov  a, p1
        mov  r2, a
done:   sjmp done
)");
    runToHalt(m);
    EXPECT_EQ(m.chip.iram[0], 0xFF); // R0: P1 after reset
    EXPECT_EQ(m.chip.iram[2], 0x0F); // R2: P1 reads its latch
}

// The inputs are sampled once a machine cycle: an edge the program makes on
// its own pin is recognised in the next cycle, when timer 2 has counted once
// more (T2EX capture and reload), and counter inputs and INT0/INT1 are seen
// by the next instruction. A gated timer counts only while its INTx line is
// high. Each program leaves the value to check in A. Timer 2 starts at 0000H
// when the write of T2CON (C8H) ends.
TEST(DataBook, InputLinesAreSampledOnceAMachineCycle) {
    const struct {
        const char* what;
        const char* program;
        uint8_t a;
    } cases[] = {
        {"T2EX capture after a 1-cycle write", "mov 0xc8, #0x0d\n clr p1.1\n mov a, 0xca", 2},
        {"T2EX capture after a 2-cycle write", "mov 0xc8, #0x0d\n anl p1, #0xfd\n mov a, 0xca", 3},
        {"T2EX reload", "mov 0xca, #0x50\n mov 0xc8, #0x0c\n clr p1.1\n mov a, 0xcc", 0x50},
        {"INT0 edge", "setb it0\n clr p3.2\n mov a, tcon", 0x03},
        {"INT1 edge", "setb it1\n clr p3.3\n mov a, tcon", 0x0C},
        {"T0 counter", "mov tmod, #0x05\n setb tr0\n clr p3.4\n mov a, tl0", 1},
        {"T1 counter", "mov tmod, #0x50\n setb tr1\n clr p3.5\n mov a, tl1", 1},
        {"T2 counter", "mov 0xc8, #0x06\n clr p1.0\n mov a, 0xcc", 1},
        {"timer 0 gated, INT0 high", "mov tmod, #0x09\n setb tr0\n nop\n nop\n mov a, tl0", 3},
        {"timer 0 gated, INT0 low", "clr p3.2\n mov tmod, #0x09\n setb tr0\n nop\n nop\n mov a, tl0", 0},
        {"timer 1 gated, INT1 low", "clr p3.3\n mov tmod, #0x90\n setb tr1\n nop\n nop\n mov a, tl1", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Machine m = assembledMachine(std::string(c.program) + "\ndone: sjmp done\n");
        runToHalt(m, 100);
        EXPECT_EQ(m.chip.acc(), c.a);
    }
}
