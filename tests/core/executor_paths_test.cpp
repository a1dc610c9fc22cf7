// The execution loop plans peripheral events ahead and brings the timers up
// to date only when they are looked at; a single step looks at everything.
// Whatever the program, free running must leave the machine in the same
// state as single steps.
#include "core_test_support.h"

#include "chip/serial_port.h"

#include <cstring>
#include <functional>
#include <random>
#include <tuple>

using namespace quorvel;
using namespace quorvel::test;

namespace {

// Everything a step can change.
void expectSameState(const Machine& a, const Machine& b, uint64_t stepIndex,
                     bool withMemories = true) {
    const ChipState& x = a.chip;
    const ChipState& y = b.chip;
    SCOPED_TRACE(::testing::Message() << "after step " << stepIndex << " at "
                                      << x.side.instructionAddress);
#define SAME(field) ASSERT_TRUE(x.field == y.field) << #field " differs"
    SAME(pc); SAME(cycleCount()); SAME(side.instructionAddress); SAME(side.serialReceiveBuffer);
    SAME(side.spiReceiveBuffer); SAME(side.spiTransmitShadow); SAME(sfrs); SAME(iram);
    if (withMemories) { SAME(xdata); SAME(code); SAME(eeprom); }
    SAME(eepromReady); SAME(pins.levels); SAME(pins.pulseRequests);
    SAME(periph.timers.prevLevels); SAME(periph.timers.clockOutToggle); SAME(periph.irq.inService);
    SAME(periph.serial.txState); SAME(periph.serial.txBits); SAME(periph.serial.txBitTime);
    SAME(periph.serial.txPhase); SAME(periph.serial.baudHalf); SAME(periph.serial.rxState);
    SAME(periph.serial.rxTicks); SAME(periph.serial.txLog.size()); SAME(periph.spi.state);
    SAME(periph.spi.bitsLeft); SAME(periph.spi.remainder); SAME(periph.eepromCountdown);
    SAME(periph.watchdogCountdown); SAME(periph.watchdogEnabled);
#undef SAME
    // The LCD's hook runs after every step unless it would change nothing.
    const LcdController& l = a.modules.lcd;
    const LcdController& m = b.modules.lcd;
    ASSERT_TRUE(std::tie(l.busyCounter, l.eWasHigh, l.LcdDisplayFlags, l.LcdFunctionFlags,
                         l.addressCounter, l.changeCount, l.displayMemory, l.cgMemory) ==
                std::tie(m.busyCounter, m.eWasHigh, m.LcdDisplayFlags, m.LcdFunctionFlags,
                         m.addressCounter, m.changeCount, m.displayMemory, m.cgMemory))
        << "LCD differs";
}

// Runs `batched` free in `batches` batches of `size(i)` steps and `single`
// step by step alongside, comparing the two after every batch, until a step
// leaves program memory (returned) or a check fails.
bool expectBatchesMatchSingleSteps(Machine& batched, Machine& single, int batches,
                                   const std::function<uint32_t(int)>& size, bool withMemories) {
    uint64_t done = 0;
    for (int batch = 0; batch < batches; ++batch) {
        const uint32_t count = size(batch);
        const RunResult result = runSteps(batched, count);
        for (uint32_t i = 0; i < result.steps; ++i)
            EXPECT_EQ(step(single), result.pcOutOfRange && i + 1 == result.steps);
        done += result.steps;
        expectSameState(batched, single, done, withMemories);
        if (::testing::Test::HasFailure() || result.pcOutOfRange) return result.pcOutOfRange;
        EXPECT_EQ(result.steps, count);
    }
    return false;
}

// The same, in the batches `sizes` lists.
void expectBatchesMatchSingleSteps(Machine& batched, Machine& single,
                                   const std::vector<uint32_t>& sizes) {
    EXPECT_FALSE(expectBatchesMatchSingleSteps(batched, single, int(sizes.size()),
                                               [&](int i) { return sizes[size_t(i)]; }, false));
}

// A machine filled with random code and data: random programs reach every
// opcode, SFR writes that wake peripherals, MOVX into the EEPROM, and so on.
Machine randomMachine(uint32_t seed) {
    Machine machine = makeMachine(DeviceKind::AT89S8252, 12000000, 0xFFFF, 0xFFFF);
    machine.chip.allocate(0xFFFF, 0xFFFF, true);
    std::mt19937 random(seed);
    for (auto& byte : machine.chip.code) byte = uint8_t(random());
    for (auto& byte : machine.chip.iram) byte = uint8_t(random());
    // Some lines driven low or high, so port reads mix latches and levels.
    for (int pin = 0; pin < 32; pin += 3) machine.chip.pins.setSetting(pin, pin % 2 ? kInput1 : kInput0);
    machine.chip.pins.applySettings(machine.chip.portLatches());
    // The LCD on random port lines, so that the program's port writes clock it.
    for (PinRef& ref : machine.modules.settings.LcdPins)
        ref = pinRefFromIndex(int(random() % 32));
    return machine;
}

} // namespace

// Random code from a quiet start, and from a busy one (timers, the UART and
// interrupts running, so that many steps run in the busy stretch before the
// code wanders off). Every other quiet machine starts just short of the
// 32-bit counter's wrap: the timers' schedule and the 64-bit count go on
// across it.
TEST(ExecutorPaths, RunStepsMatchesSingleSteps) {
    std::mt19937 random(7);
    for (uint32_t seed = 100; seed < 190; ++seed) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        Machine batched = randomMachine(seed);
        const bool busy = seed >= 130, wraps = !busy && seed % 2;
        ChipState& c = batched.chip;
        if (wraps) c.cycles = 0xFFFFFF00u;
        if (busy) {
            c.writeDirect(sfr::TMOD, uint8_t(0x20 | (seed % 3)));
            c.writeDirect(sfr::TH1, 0xFD);
            c.writeDirect(sfr::SCON, (seed & 1) ? 0x50 : 0xD0);
            c.writeDirect(sfr::TCON, 0x50); // TR0, TR1
            c.writeDirect(sfr::IE, uint8_t(0x80 | (random() & 0x1A)));
            c.writeDirect(sfr::IP, uint8_t(random() & 0x1A));
            c.writeDirect(sfr::SBUF, uint8_t(random()));
            c.sfrs[sfr::sfrIndex(sfr::SP)] = 0x70;
            c.pc = uint16_t(random());
        }
        Machine single = batched;
        const uint32_t largest = busy ? 300 : 200;
        expectBatchesMatchSingleSteps(batched, single, busy ? 30 : 40,
                                      [&](int) { return 1 + uint32_t(random() % largest); }, !busy);
        if (HasFailure()) return;
        if (wraps) {
            EXPECT_GT(c.cycleCount(), uint64_t(1) << 32);
        }
    }
}

// The EEPROM write timer, the SPI unit and the watchdog run step by step
// only once an instruction has started one of them, and they must run in
// that very step; a change of TMOD or T2CON plans the timers anew. Each
// program starts timer 0 and then switches one of them on, or timer 0 to
// mode 3.
TEST(ExecutorPaths, RunStepsStartsStepUnitsInTheStepThatEnablesThem) {
    const std::vector<uint8_t> start = {
        0x75, 0x89, 0x02, // MOV TMOD,#02H
        0xD2, 0x8C,       // SETB TR0
        0x00, 0x00,       // NOP, NOP
    };
    const std::vector<std::vector<uint8_t>> rest = {
        {0x75, 0x96, 0x01},                   // MOV WMCON,#01H: watchdog on
        {0x75, 0xD5, 0x50, 0x75, 0x86, 0x5A}, // MOV SPCR,#50H; MOV SPDR,#5AH
        {0x75, 0x96, 0x18,                    // MOV WMCON,#18H: EEPROM writable
         0x90, 0x00, 0x10,                    // MOV DPTR,#0010H
         0x74, 0xA5,                          // MOV A,#0A5H
         0xF0},                               // MOVX @DPTR,A: write time starts
        {0x75, 0x89, 0x03},                   // MOV TMOD,#03H: timer 0 in mode 3
    };
    for (size_t n = 0; n < rest.size(); ++n) {
        SCOPED_TRACE(::testing::Message() << "program " << n);
        std::vector<uint8_t> program = start;
        for (uint8_t byte : rest[n]) program.push_back(byte);
        for (uint8_t byte : {0x00, 0x00, 0x80, 0xFE}) program.push_back(byte); // NOP, NOP, SJMP $
        for (uint32_t batch : {1u, 2u, 3u, 5u, 40u}) {
            SCOPED_TRACE(::testing::Message() << "batches of " << batch);
            Machine batched = makeMachine(DeviceKind::AT89S8252, 12000000, 0xFFFF, 0xFFFF);
            batched.chip.allocate(0xFFFF, 0xFFFF, true);
            loadCode(batched, program);
            Machine single = batched;
            EXPECT_FALSE(expectBatchesMatchSingleSteps(batched, single, int(39 / batch + 1),
                                                       [&](int) { return batch; }, true));
            if (HasFailure()) return;
        }
    }
}

namespace {

// A program that keeps timers, the UART and interrupts busy together, the
// way interrupt-driven firmware does: timer 0 in mode 1 reloaded by its
// handler, timer 1 as baud-rate generator, the UART sending from its
// handler (and receiving what the test's host streams in), the main loop reading the timer, setting TI itself (a request
// no timer or UART event raised), changing IP so the serial handler nests
// into the timer handler, toggling IE, and writing the port that carries
// the LCD's E line.
const char* const kBusyProgram = R"(
        .org 0
        ljmp main
        .org 0x0b
        ljmp t0isr
        .org 0x23
        ljmp sisr
        .org 0x40
main:   mov  sp, #0x60
        mov  tmod, #TMODVAL
        mov  th1, #0xfd
        mov  tl1, #0xfd
        mov  th0, #0xff
        mov  tl0, #0x80
        mov  scon, #SCONVAL
        mov  0xcb, #0xff      ; RCAP2H:RCAP2L = FFDCH: 36 counts, 6 cycles
        mov  0xca, #0xdc
        mov  0xc8, #T2CONVAL  ; T2CON
        orl  pcon, #PCONVAL
        setb tr0
        TR1OP tr1
        mov  ie, #0x92
        mov  sbuf, #0x41
loop:   mov  a, tl0
        mov  p1, a
        add  a, th0
        mov  r2, a
        mov  b, #3
        div  ab
        mov  a, r2
        anl  a, #0x0f
        jnz  noti
        setb ti
noti:   djnz r3, loop
        xrl  ip, #0x10
        clr  es
        nop
        setb es
        cpl  p1.5
        mov  tl1, #0xfe
        sjmp loop
t0isr:  push acc
        push psw
        mov  th0, #0xff
        mov  a, tl0
        add  a, #0x80
        mov  tl0, a
        inc  0x30
        mov  r7, #4
t0spin: djnz r7, t0spin
        pop  psw
        pop  acc
        reti
sisr:   jnb  ti, srx
        clr  ti
        inc  0x31
        mov  sbuf, 0x31
srx:    clr  ri
        reti
)";

struct BusySetup {
    const char* scon;
    const char* tmod;
    const char* tr1;          // "setb" or "clr"
    const char* t2con = "0";  // 34H: timer 2 clocks both directions
    const char* pcon = "0";   // 80H: SMOD
};

std::string busySource(const BusySetup& setup) {
    std::string source = kBusyProgram;
    source.replace(source.find("SCONVAL"), 7, setup.scon);
    source.replace(source.find("TMODVAL"), 7, setup.tmod);
    source.replace(source.find("TR1OP"), 5, setup.tr1);
    source.replace(source.find("T2CONVAL"), 8, setup.t2con);
    source.replace(source.find("PCONVAL"), 7, setup.pcon);
    return source;
}

} // namespace

// Free running plans the timer and serial events ahead, where single steps
// look at everything after each instruction; the two must still agree,
// whatever the batch boundaries, in serial modes 1 and 3 (the ninth bit set
// and clear), with timer 0 in each mode, timer 1 running or stopped, SMOD
// set, timer 2 as the baud clock; with the UART only sending (idle between
// bytes) and with a host streaming bytes in as well.
TEST(ExecutorPaths, RunStepsMatchesSingleStepsWithTimersUartAndInterruptsBusy) {
    const BusySetup setups[] = {
        {"0x50", "0x21", "setb"}, {"0xd8", "0x21", "setb"}, {"0x50", "0x22", "setb"},
        {"0x50", "0x20", "setb"}, {"0x50", "0x21", "clr"},  {"0xd8", "0x22", "clr"},
        {"0x50", "0x20", "clr"},  {"0xd0", "0x21", "setb"},
        {"0x50", "0x21", "setb", "0", "0x80"}, {"0xd8", "0x21", "setb", "0", "0x80"},
        {"0x50", "0x21", "clr", "0x34"},
    };
    for (bool hostSends : {false, true}) {
        for (const BusySetup& setup : setups) {
            SCOPED_TRACE(::testing::Message()
                         << "SCON " << setup.scon << " TMOD " << setup.tmod << " " << setup.tr1
                         << (hostSends ? ", host sends" : ""));
            Machine batched = assembledMachine(busySource(setup));
            // The LCD's E on P1.5, which the program toggles and writes: free
            // running must reach the LCD after every port write that clocks it.
            batched.modules.settings.LcdPins[size_t(kLcdE)] = PinRef(0x15);
            EventRecorder batchedEvents, singleEvents;
            Machine single = batched;
            batched.chip.events = &batchedEvents;
            single.chip.events = &singleEvents;
            // A host streams bytes in, the next one from the notice of the last.
            int batchedSent = 0, singleSent = 0;
            batchedEvents.onReceived = [&](uint16_t) {
                startSerialReception(batched.chip, uint8_t(++batchedSent), 1);
            };
            singleEvents.onReceived = [&](uint16_t) {
                startSerialReception(single.chip, uint8_t(++singleSent), 1);
            };
            if (hostSends) {
                startSerialReception(batched.chip, 0x55, 1);
                startSerialReception(single.chip, 0x55, 1);
            }
            std::mt19937 random(11);
            ASSERT_FALSE(expectBatchesMatchSingleSteps(batched, single, 170,
                                                       [&](int) { return 1 + uint32_t(random() % 700); }, false));
            if (HasFailure()) return;
            // The program did what it is for: both handlers ran many times and
            // the UART kept sending.
            EXPECT_GT(batched.chip.iram[0x30], 0);
            // Bytes leave at the baud rate, and not at all without a baud clock.
            // (Timer 0 reloading every cycle in mode 2 keeps its handler
            // running, which starves the serial one polled after it.)
            if (std::string(setup.tr1) == "clr" && std::string(setup.t2con) == "0") {
                EXPECT_TRUE(batchedEvents.transmitted.empty());
            } else if (std::string(setup.tmod) != "0x22") {
                EXPECT_GT(batchedEvents.transmitted.size(), 20u);
            }
            EXPECT_EQ(batchedEvents.transmittedLog, singleEvents.transmittedLog);
            EXPECT_EQ(batchedEvents.receivedLog, singleEvents.receivedLog);
            // Without a baud clock there are no ticks to receive by.
            if (hostSends && (std::string(setup.tr1) == "setb" || std::string(setup.t2con) != "0")) {
                EXPECT_GT(batchedEvents.receivedLog.size(), 10u);
            }
        }
    }
}

// The free run brings the parity flag up to date only where an instruction
// reads PSW or P. Every kind of such read - byte reads, read-modify-write
// (where P carries into F1), PUSH, bit tests, JBC and CPL - must see the
// parity of the A it follows, as single steps do; with timer 0 running the
// same holds in the busy stretch.
TEST(ExecutorPaths, RunStepsReadsTheParityFlagAsSingleStepsDo) {
    for (const char* timer : {"clr", "setb"}) {
        SCOPED_TRACE(::testing::Message() << timer << " tr0");
        Machine batched = assembledMachine(std::string(R"(
        .org 0
        mov  sp, #0x60
        mov  tmod, #0x02
        )") + timer + R"( tr0
        mov  r0, #0x30
loop:   mov  a, r7
        add  a, #0x35
        mov  r7, a
        inc  psw
        mov  @r0, psw
        inc  r0
        mov  a, r7
        rl   a
        djnz psw, next
next:   push psw
        mov  a, r7
        swap a
        xrl  psw, #0x02
        mov  b, psw
        mov  c, p
        mov  0x20, c
        mov  a, r7
        inc  a
        jb   p, odd
        inc  0x21
odd:    mov  a, r7
        jbc  p, was
        inc  0x22
was:    mov  a, r7
        rr   a
        cpl  p
        mov  0x23, psw
        anl  psw, #0xe7
        mov  a, r0
        cjne a, #0x50, loop
        mov  r0, #0x30
        sjmp loop
)");
        Machine single = batched;
        expectBatchesMatchSingleSteps(batched, single, {1, 3, 50, 97, 400, 1000, 2, 2000});
    }
}

// A free run stops at the step that leaves program memory - by a jump or by
// running off its end - with the same steps, state and program counter as
// single steps, whether that step is the batch's last or not, and whether
// the chip is quiet or busy (timer 0 running, its interrupt enabled).
TEST(ExecutorPaths, RunStepsStopsWhereSingleStepsLeaveProgramMemory) {
    for (const char* busy : {"nop", "setb tr0"}) {
        for (const char* leave : {"ljmp 0x1234", "ljmp 0x0ffa"}) {
            SCOPED_TRACE(::testing::Message() << busy << ", " << leave);
            const std::vector<uint8_t> code = assemble(std::string(R"(
        .org 0
        ljmp main
        .org 0x0b
        reti
        .org 0x40
main:   mov  tmod, #0x02
        mov  ie, #0x82
        )") + busy + R"(
        mov  r7, #40
loop:   djnz r7, loop
        )" + leave + R"(
        .org 0x0ffa
        nop
        nop
        nop
        nop
        nop
        nop
)");
            ASSERT_FALSE(code.empty());
            Machine reference = makeMachine(DeviceKind::AT89C51, 12000000, 0x0FFF);
            ASSERT_EQ(reference.chip.codeLimit, 0x0FFF);
            loadCode(reference, code);
            // Where single steps stop.
            Machine single = reference;
            uint32_t total = 0;
            do ++total;
            while (!step(single) && total < 1000);
            ASSERT_LT(total, 1000u);
            for (uint32_t batch : {1u, 7u, total - 1, total, total + 5, 1000u}) {
                SCOPED_TRACE(::testing::Message() << "batches of " << batch);
                Machine batched = reference;
                uint32_t done = 0;
                RunResult result;
                do {
                    result = runSteps(batched, batch);
                    done += result.steps;
                } while (!result.pcOutOfRange && done < total);
                EXPECT_TRUE(result.pcOutOfRange);
                EXPECT_EQ(done, total);
                expectSameState(batched, single, done);
                if (HasFatalFailure()) return;
            }
        }
    }
}
