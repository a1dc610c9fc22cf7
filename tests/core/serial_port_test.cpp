// The UART in modes 0-3: line levels bit by bit, when TI and RI rise, the
// ninth bit and SM2, the logs and the host's notices; then assembler
// programs that use it the way firmware does.
#include "chip/serial_port.h"

#include "core_test_support.h"

using namespace quorvel;
using namespace quorvel::test;
using namespace quorvel::sfr::bits;

namespace {

// MOV SBUF,A (1 cycle) followed by NOPs.
Machine transmitter(uint8_t scon, uint8_t data) {
    Machine m = makeMachine(DeviceKind::AT89C52);
    std::fill(m.chip.code.begin(), m.chip.code.end(), 0x00);
    loadCode(m, {0xF5, 0x99});
    m.chip.sfr(sfr::SCON) = scon;
    m.chip.sfr(sfr::ACC) = data;
    return m;
}

Machine nops() {
    Machine m = makeMachine(DeviceKind::AT89C52);
    std::fill(m.chip.code.begin(), m.chip.code.end(), 0x00);
    return m;
}

int txd(const Machine& m) { return (m.chip.sfr(sfr::P3) >> 1) & 1; }
int rxd(const Machine& m) { return m.chip.sfr(sfr::P3) & 1; }
bool flag(const Machine& m, uint8_t bit) { return (m.chip.sfr(sfr::SCON) & bit) != 0; }

// Timer 1 in mode 2 overflowing every machine cycle, SMOD set: one baud
// tick per cycle.
void tickEveryCycle(Machine& m) {
    m.chip.sfr(sfr::TMOD) = 0x20;
    m.chip.sfr(sfr::TH1) = 0xFF;
    m.chip.sfr(sfr::TL1) = 0xFF;
    m.chip.sfr(sfr::PCON) = SMOD;
    m.chip.sfr(sfr::TCON) = TR1;
}

} // namespace

TEST(SerialMode1, TransmitsStartDataStopTwoStepsPerBit) {
    Machine m = transmitter(0x40, 0x35); // 0011 0101
    EventRecorder events;
    attach(m, events);
    std::vector<int> line;
    for (int i = 0; i < 20; ++i) {
        stepN(m, 1);
        line.push_back(txd(m));
        EXPECT_FALSE(flag(m, TI)) << "step " << i + 1;
    }
    // start, bits 0..7 least significant first, stop: two steps each
    const std::vector<int> expected = {0, 0, 1, 1, 0, 0, 1, 1, 0, 0,
                                       1, 1, 1, 1, 0, 0, 0, 0, 1, 1};
    EXPECT_EQ(line, expected);
    stepN(m, 1);
    EXPECT_TRUE(flag(m, TI));
    EXPECT_EQ(events.transmittedLog, std::vector<uint16_t>{0x35});
    EXPECT_EQ(m.chip.periph.serial.lastTransmitted, 0x35);
    EXPECT_EQ(m.chip.periph.serial.txState, 0);
}

TEST(SerialMode1, BaudTicksCountTowardsTheTransmitBitTime) {
    Machine plain = transmitter(0x40, 0x00);
    Machine ticked = transmitter(0x40, 0x00);
    tickEveryCycle(ticked);
    stepN(plain, 2);
    stepN(ticked, 2);
    EXPECT_EQ(plain.chip.periph.serial.txBitTime, 16 - 12);
    EXPECT_EQ(ticked.chip.periph.serial.txBitTime, 16 - 12 - 1);
}

TEST(SerialMode1, ReceivesOnBaudTicksAndRaisesRi) {
    Machine m = nops();
    EventRecorder events;
    attach(m, events);
    tickEveryCycle(m);
    m.chip.sfr(sfr::SCON) = 0x40 | REN;
    startSerialReception(m.chip, 0x41, 1);
    stepN(m, 160); // the first step starts, then 10 bits of 16 ticks
    EXPECT_FALSE(flag(m, RI));
    stepN(m, 1);
    EXPECT_TRUE(flag(m, RI));
    EXPECT_EQ(m.chip.readDirect(sfr::SBUF), 0x41);
    EXPECT_EQ(events.receivedLog, std::vector<uint16_t>{0x41});
    EXPECT_EQ(m.chip.periph.serial.rxLog.at(0), 0x41);
}

TEST(SerialMode1, NoReceptionWithoutRenAndSm2WantsTheStopBit) {
    Machine m = nops();
    tickEveryCycle(m);
    m.chip.sfr(sfr::SCON) = 0x40; // REN clear: the request waits
    startSerialReception(m.chip, 0x42, 1);
    stepN(m, 400);
    EXPECT_FALSE(flag(m, RI));
    EXPECT_EQ(m.chip.periph.serial.rxRequest, 1);

    m.chip.sfr(sfr::SCON) = 0x40 | REN | SM2;
    startSerialReception(m.chip, 0x43, 0); // stop bit 0: no RI, byte still taken
    stepN(m, 200);
    EXPECT_FALSE(flag(m, RI));
    EXPECT_EQ(m.chip.periph.serial.rxRequest, 0);
    EXPECT_EQ(m.chip.readDirect(sfr::SBUF), 0x43);
}

TEST(SerialMode1, HostCanStreamFromTheReceivedNotice) {
    Machine m = nops();
    EventRecorder events;
    attach(m, events);
    tickEveryCycle(m);
    m.chip.sfr(sfr::SCON) = 0x40 | REN;
    const std::string text = "abc";
    size_t next = 1;
    events.onReceived = [&](uint16_t) {
        if (next < text.size()) startSerialReception(m.chip, uint8_t(text[next++]), 1);
    };
    startSerialReception(m.chip, uint8_t(text[0]), 1);
    stepN(m, 600);
    ASSERT_EQ(events.receivedLog.size(), 3u);
    EXPECT_EQ(events.receivedLog[2], 'c');
}

TEST(SerialMode0, ShiftsOneBitPerCycleOnRxd) {
    Machine m = transmitter(0x00, 0xA5); // 1010 0101
    std::vector<int> line;
    for (int i = 0; i < 8; ++i) {
        stepN(m, 1);
        line.push_back(rxd(m));
        EXPECT_FALSE(flag(m, TI));
    }
    EXPECT_EQ(line, (std::vector<int>{1, 0, 1, 0, 0, 1, 0, 1}));
    stepN(m, 1);
    EXPECT_TRUE(flag(m, TI));
    EXPECT_EQ(m.chip.periph.serial.txLog.at(0), 0xA5);
}

TEST(SerialMode0, ReceivesAfterEightCyclesAndIdlesWithSm2) {
    Machine m = nops();
    m.chip.sfr(sfr::SCON) = REN;
    startSerialReception(m.chip, 0x5A, 0);
    stepN(m, 7);
    EXPECT_FALSE(flag(m, RI));
    stepN(m, 1);
    EXPECT_TRUE(flag(m, RI));
    EXPECT_EQ(m.chip.readDirect(sfr::SBUF), 0x5A);

    Machine idle = transmitter(SM2, 0x12);
    stepN(idle, 30);
    EXPECT_FALSE(flag(idle, TI));
    EXPECT_EQ(idle.chip.periph.serial.txState, 1);
}

TEST(SerialMode2, ThirtyTwoClocksPerBitWithSmod) {
    Machine m = transmitter(0x80 | TB8, 0xFF);
    m.chip.sfr(sfr::PCON) = SMOD;
    EventRecorder events;
    attach(m, events);
    stepN(m, 1);
    EXPECT_EQ(txd(m), 0); // start bit
    // 11 bits of 32 clock units at 12 per step: the last bit ends in step 30.
    stepN(m, 28);
    EXPECT_FALSE(flag(m, TI));
    stepN(m, 1);
    EXPECT_TRUE(flag(m, TI));
    EXPECT_EQ(events.transmittedLog, std::vector<uint16_t>{0x3FF}); // 9-bit mark, TB8
}

TEST(SerialMode2, SixtyFourClocksPerBitAndTheNinthBit) {
    Machine m = transmitter(0x80, 0x00);
    std::vector<int> line;
    for (int i = 0; i < 60; ++i) {
        stepN(m, 1);
        line.push_back(txd(m));
    }
    // TB8 = 0 is sent before the stop bit; 11 x 64 / 12 = 58.7 steps.
    EXPECT_EQ(line[0], 0);
    EXPECT_EQ(line[50], 0); // ninth bit
    EXPECT_EQ(line[56], 1); // stop bit
    EXPECT_TRUE(flag(m, TI));
    EXPECT_EQ(m.chip.periph.serial.txLog.at(0), 0x200);

    // Reception: RB8 from the ninth bit; SM2 keeps RI low for a 0.
    Machine rx = nops();
    rx.chip.sfr(sfr::SCON) = 0x80 | REN | SM2;
    startSerialReception(rx.chip, 0x21, 0);
    stepN(rx, 70);
    EXPECT_FALSE(flag(rx, RI));
    EXPECT_FALSE(flag(rx, RB8));
    startSerialReception(rx.chip, 0x22, 1);
    stepN(rx, 70);
    EXPECT_TRUE(flag(rx, RI));
    EXPECT_TRUE(flag(rx, RB8));
    EXPECT_EQ(rx.chip.periph.serial.rxLog.at(1), 0x322);
}

TEST(SerialMode3, ElevenBitsWithTb8AndRb8) {
    Machine m = transmitter(0xC0 | TB8, 0x00);
    std::vector<int> line;
    for (int i = 0; i < 22; ++i) {
        stepN(m, 1);
        line.push_back(txd(m));
    }
    // start (2 steps), eight 0 bits (16), TB8 = 1 (2), stop (2)
    EXPECT_EQ(std::vector<int>(line.begin(), line.begin() + 18), std::vector<int>(18, 0));
    EXPECT_EQ(line[18], 1);
    EXPECT_EQ(line[20], 1);
    EXPECT_FALSE(flag(m, TI));
    stepN(m, 1);
    EXPECT_TRUE(flag(m, TI));
    EXPECT_EQ(m.chip.periph.serial.txLog.at(0), 0x300);

    Machine rx = nops();
    tickEveryCycle(rx);
    rx.chip.sfr(sfr::SCON) = 0xC0 | REN;
    startSerialReception(rx.chip, 0x7E, 1);
    stepN(rx, 176); // 11 bits of 16 ticks after the first step
    EXPECT_FALSE(flag(rx, RI));
    stepN(rx, 1);
    EXPECT_TRUE(flag(rx, RI));
    EXPECT_TRUE(flag(rx, RB8));
    EXPECT_EQ(rx.chip.periph.serial.rxLog.at(0), 0x37E);
}

TEST(SerialLogs, KeepTheNewest256AndSbufReadsTheReceiveBuffer) {
    Machine m = nops();
    for (int i = 0; i < 300; ++i) {
        m.chip.writeDirect(sfr::SBUF, uint8_t(i));
        m.chip.sfr(sfr::SCON) = 0x00;
        stepN(m, 9);
    }
    const SerialLog& log = m.chip.periph.serial.txLog;
    EXPECT_EQ(log.size(), 256);
    EXPECT_EQ(log.at(0), 300 - 256);
    EXPECT_EQ(log.at(255), 299 & 0xFF);
    // SBUF reads the receive buffer, not what was written.
    m.chip.side.serialReceiveBuffer = 0x77;
    EXPECT_EQ(m.chip.readDirect(sfr::SBUF), 0x77);
}

// ---- assembler programs

TEST(SerialPrograms, Mode1PolledTransmitAtTimer1BaudRate) {
    const std::vector<uint8_t> code = assemble(R"(
        .org 0
        mov  tmod, #0x20      ; timer 1 mode 2
        mov  th1, #0xfd       ; 9600 baud at 11.0592 MHz
        mov  tl1, #0xfd
        mov  scon, #0x50      ; mode 1, receiver on
        setb tr1
        mov  dptr, #text
next:   clr  a
        movc a, @a+dptr
        jz   done
        mov  sbuf, a
wait:   jnb  ti, wait
        clr  ti
        inc  dptr
        sjmp next
done:   sjmp done
text:   .db "HELLO", 0
)");
    ASSERT_FALSE(code.empty());
    Machine m = makeMachine(DeviceKind::AT89C52, 11059200);
    loadCode(m, code);
    EventRecorder events;
    attach(m, events);
    runUntil(m, [&](const Machine&) { return events.transmitted.size() == 5; }, 10000);
    EXPECT_EQ(events.transmitted, "HELLO");
    // Bytes follow each other at a steady pace.
    ASSERT_EQ(events.transmittedAt.size(), 5u);
    const uint32_t first = events.transmittedAt[1] - events.transmittedAt[0];
    for (size_t i = 2; i < 5; ++i)
        EXPECT_NEAR(double(events.transmittedAt[i] - events.transmittedAt[i - 1]), first, 4.0);
}

TEST(SerialPrograms, Mode3EchoWithNinthBit) {
    // Receives bytes, sends each back with TB8 := RB8.
    const std::vector<uint8_t> code = assemble(R"(
        .org 0
        mov  tmod, #0x20
        mov  th1, #0xff
        mov  tl1, #0xff
        orl  pcon, #0x80      ; SMOD
        mov  scon, #0xd0      ; mode 3, receiver on
        setb tr1
loop:   jnb  ri, loop
        clr  ri
        mov  c, rb8
        mov  tb8, c
        mov  a, sbuf
        mov  sbuf, a
wait:   jnb  ti, wait
        clr  ti
        sjmp loop
)");
    ASSERT_FALSE(code.empty());
    Machine m = makeMachine(DeviceKind::AT89C52);
    loadCode(m, code);
    EventRecorder events;
    attach(m, events);
    const uint8_t bytes[] = {0x10, 0x91, 0xFE};
    size_t next = 1;
    events.onReceived = [&](uint16_t) {
        if (next < 3) {
            startSerialReception(m.chip, bytes[next], uint8_t(next & 1));
            ++next;
        }
    };
    stepN(m, 10);
    startSerialReception(m.chip, bytes[0], 0);
    runUntil(m, [&](const Machine&) { return events.transmittedLog.size() == 3; }, 5000);
    EXPECT_EQ(events.transmittedLog, (std::vector<uint16_t>{0x210, 0x391, 0x2FE}));
}
