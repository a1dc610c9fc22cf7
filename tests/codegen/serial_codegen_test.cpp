// Serial-port generation: the baud table and its 5 per cent rule, every
// routine assembling alone, and the generated routines echoing bytes on a
// simulated UART at the chosen baud rate.
#include "codegen/serial_codegen.h"
#include "codegen_test_support.h"

#include "machine/executor.h"
#include "modules/serial_host.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

SerialCodeGenSettings withOptions(uint8_t options, uint32_t clock, int baud = 0) {
    SerialCodeGenSettings s;
    s.options = options;
    s.baudIndex = baud;
    computeBaudTable(s, clock);
    return s;
}

uint8_t mode(int m) { return uint8_t(m << kSerialGenModeShift); }

} // namespace

TEST(SerialCodeGen, BaudTableAndItsFivePerCentRule) {
    const uint8_t t1 = kSerialGenInit | mode(1);
    const struct {
        uint8_t options;
        uint32_t clock;
        int index;
        bool available;
        uint16_t reload;
    } cases[] = {
        {t1, 11059200, 6, true, 0xFD},  // 9600
        {t1, 11059200, 8, false, 0xFE}, // 19200 needs n = 1.5 -> 2: 14400, 250 per mille off
        {t1, 11059200, 0, false, 0},    // 110 needs n = 262: beyond 8 bits
        {t1, 11059200, 1, true, 0xA0},  // 300: n = 96
        {uint8_t(t1 | kSerialGenSmod), 11059200, 8, true, 0xFD},
        {uint8_t(kSerialGenInit | mode(3) | kSerialGenTimer2), 11059200, 6, true, 0xFFDC},
        {t1, 12000000, 4, true, 0},  // 2400: n = 13, 2403 baud
        {t1, 12000000, 5, false, 0}, // 4800: n = 7 reaches 4464, 70 per mille off
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.options) << " " << std::dec << c.clock << " " << c.index);
        const SerialCodeGenSettings s = withOptions(c.options, c.clock, c.index);
        EXPECT_EQ(s.available[size_t(c.index)], c.available);
        if (c.reload) {
            EXPECT_EQ(s.reload[size_t(c.index)], c.reload);
        }
    }
}

TEST(SerialCodeGen, UnavailableSelectionMovesUp) {
    // 19200 and 38400 are out of reach at SMOD 0: no rate is left selected.
    SerialCodeGenSettings s = withOptions(kSerialGenInit | mode(1), 11059200, 8);
    EXPECT_EQ(s.baudIndex, kNoBaudRate);
    // With none selected the next recomputation starts from the lowest rate
    // offered (110 is out of reach, 300 is not).
    s.options |= kSerialGenSmod;
    computeBaudTable(s, 11059200);
    EXPECT_EQ(s.baudIndex, 1);
    // A selected 2400 at 12 MHz stays; a selected 4800 finds nothing above.
    s = withOptions(kSerialGenInit | mode(1), 12000000, 4);
    EXPECT_EQ(s.baudIndex, 4);
    s.baudIndex = 5;
    computeBaudTable(s, 12000000);
    EXPECT_EQ(s.baudIndex, kNoBaudRate);
}

// Each routine alone assembles, in every mode.
TEST(SerialCodeGen, EveryModeAndRoutineAlone) {
    const uint8_t all = kSerialGenInit | kSerialGenReceive | kSerialGenTransmit;
    for (const uint8_t routine : {kSerialGenInit, kSerialGenReceive, kSerialGenTransmit})
        for (int m = 0; m < 4; ++m) {
            const SerialGeneration g = generateSerialCode(withOptions(uint8_t(routine | mode(m)), 11059200, 6));
            ASSERT_FALSE(g.message.has_value());
            EXPECT_TRUE(codegentest::assembles(g.code.text)) << int(routine) << " mode " << m;
        }
    // Timer-set modes without a reachable rate give a message, not code.
    const SerialGeneration none = generateSerialCode(withOptions(all | mode(1), 11059200, 8));
    ASSERT_TRUE(none.message.has_value());
    EXPECT_EQ(none.message->text, "No Baudrate Selected");
    EXPECT_TRUE(none.code.text.empty());
}

// Timer 2 stays chosen only where the device has it.
TEST(SerialCodeGen, TimerTwoFollowsTheDevice) {
    SerialCodeGenSettings s;
    s.options = kSerialGenInit | mode(1) | kSerialGenTimer2;
    applySerialDevice(s, DeviceKind::I8032);
    EXPECT_TRUE(s.options & kSerialGenTimer2);
    applySerialDevice(s, DeviceKind::AT89C1051);
    EXPECT_FALSE(s.options & kSerialGenTimer2);
}

// The routines echo what the host sends; the byte time the receiver needs
// follows the baud rate the initialisation set up (timer 1, timer 2, or the
// fixed rates of mode 2).
TEST(SerialCodeGen, GeneratedRoutinesEchoAtTheChosenBaudRate) {
    struct Case {
        uint8_t options;
        int baud;
        double rate = 0; // mode 2: Fosc/32 with SMOD, else Fosc/64; else the table's rate
    };
    const uint8_t all = kSerialGenInit | kSerialGenReceive | kSerialGenTransmit;
    const uint32_t clock = 11059200;
    for (const Case c : {Case{uint8_t(all | mode(1)), 6}, Case{uint8_t(all | mode(1) | kSerialGenSmod), 8},
                         Case{uint8_t(all | mode(3) | kSerialGenTimer2), 7},
                         Case{uint8_t(all | mode(2) | kSerialGenSmod), 0, clock / 32.0},
                         Case{uint8_t(all | mode(2) | kSerialGenSm2), 0, clock / 64.0}}) {
        SCOPED_TRACE(testing::Message() << "options " << std::hex << int(c.options));
        const SerialGeneration g = generateSerialCode(withOptions(c.options, clock, c.baud));
        ASSERT_FALSE(g.message.has_value());
        const std::string main = R"(
        ORG     0
        LJMP    START
        ORG     40H
START:  MOV     SP,#60H
        LCALL   INITIALIZE_SERIALPORT
READY:  LCALL   RECEIVE_BYTE
GOT:    INC     A
        LCALL   TRANSMIT_BYTE
        SJMP    READY
)";
        Machine m = codegentest::makeMachine(DeviceKind::AT89C52, clock);
        const codegentest::Program p = codegentest::assembleInto(m, main, g.code.text);
        ASSERT_TRUE(p.ok) << p.messages;
        ASSERT_TRUE(codegentest::runTo(m, p.labels.at("READY"), 1000));
        // The host sends 41H; time it until RECEIVE_BYTE returns.
        m.modules.serialHost.ninthBit = 1;
        ASSERT_FALSE(pressSerialSend(m.modules.serialHost, m.modules.settings.serialHost, m.chip, "41")
                         .has_value());
        const uint32_t start = m.chip.cycles;
        ASSERT_TRUE(codegentest::runTo(m, p.labels.at("GOT"), 100000));
        const double us = (m.chip.cycles - start) * cycleTimeUs(clock);
        const int bits = serialGenMode(c.options) == 1 ? 10 : 11;
        const double expected = bits * 1e6 / (c.rate ? c.rate : kBaudRates[size_t(c.baud)]);
        // Timer 1 reloads lose the cycles an instruction runs past the
        // overflow, so its bytes take up to a third longer than the nominal time.
        EXPECT_GE(us, expected * 0.9);
        EXPECT_LE(us, expected * 1.4);
        EXPECT_EQ(m.chip.acc(), 0x41);
        ASSERT_TRUE(codegentest::runTo(m, p.labels.at("READY"), 100000));
        ASSERT_EQ(m.chip.periph.serial.txLog.size(), 1);
        EXPECT_EQ(m.chip.periph.serial.txLog.ring[0] & 0xFF, 0x42);
    }
}
