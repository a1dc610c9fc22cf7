// Serial-port generation: the baud table and its 5 per cent rule, the
// section for every mode and generator, and the generated routines echoing
// bytes on a simulated UART at the chosen baud rate.
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

TEST(SerialCodeGen, BaudTableAt11059200) {
    // Timer 1, SMOD 0: 9600 is reload FDH; 19200 would need n = 1.5 -> 2,
    // reaching 14400 (250 per mille off), so it is not offered.
    SerialCodeGenSettings s = withOptions(kSerialGenInit | mode(1), 11059200, 6);
    EXPECT_TRUE(s.available[6]);
    EXPECT_EQ(s.reload[6], 0xFD);
    EXPECT_FALSE(s.available[8]);
    EXPECT_EQ(s.reload[8], 0xFE);
    EXPECT_FALSE(s.available[0]); // 110 baud needs n = 262: beyond 8 bits
    EXPECT_TRUE(s.available[1]);  // 300 baud: n = 96, reload A0H
    EXPECT_EQ(s.reload[1], 0xA0);
    // SMOD 1: 19200 is n = 3, reload FDH, and available.
    s = withOptions(kSerialGenInit | mode(1) | kSerialGenSmod, 11059200, 8);
    EXPECT_TRUE(s.available[8]);
    EXPECT_EQ(s.reload[8], 0xFD);
    // Timer 2: 9600 is n = 36, reload FFDCH.
    s = withOptions(kSerialGenInit | mode(3) | kSerialGenTimer2, 11059200, 6);
    EXPECT_TRUE(s.available[6]);
    EXPECT_EQ(s.reload[6], 0xFFDC);
}

TEST(SerialCodeGen, UnavailableSelectionMovesUp) {
    // 19200 at SMOD 0 is out of reach, and so is 38400 (n = 1 reaches 28800):
    // no rate is left selected.
    SerialCodeGenSettings s = withOptions(kSerialGenInit | mode(1), 11059200, 8);
    EXPECT_EQ(s.baudIndex, kNoBaudRate);
    // With none selected, the next recomputation starts from the lowest rate:
    // 110 is out of reach at this clock, 300 is the first offered.
    s.options |= kSerialGenSmod;
    computeBaudTable(s, 11059200);
    EXPECT_EQ(s.baudIndex, 1);
    // 12 MHz, SMOD 0: 4800 rounds x = 65 up to n = 7 and reaches 4464 baud,
    // 70 per mille off: not offered; 2400 (n = 13, 2403 baud) is. A selected
    // 2400 stays; a selected 4800 moves up and finds nothing above.
    s = withOptions(kSerialGenInit | mode(1), 12000000, 4);
    EXPECT_TRUE(s.available[4]);
    EXPECT_FALSE(s.available[5]);
    EXPECT_EQ(s.baudIndex, 4);
    s.baudIndex = 5;
    computeBaudTable(s, 12000000);
    EXPECT_EQ(s.baudIndex, kNoBaudRate);
}

TEST(SerialCodeGen, SectionForEveryModeAndGenerator) {
    struct Case {
        uint8_t options;
        std::vector<int> sections;
        const char* init; // the SCON line as generated
    };
    const uint8_t all = kSerialGenInit | kSerialGenReceive | kSerialGenTransmit;
    const std::vector<Case> cases{
        {uint8_t(all | mode(0) | kSerialGenSm2), {0, 6, 8}, "MOV     SCON,#010H"},
        {uint8_t(all | mode(2) | kSerialGenSmod), {1, 7, 9}, "MOV     SCON,#090H"},
        {uint8_t(all | mode(2) | kSerialGenSm2), {2, 7, 9}, "MOV     SCON,#0B0H"},
        {uint8_t(all | mode(1)), {3, 6, 8}, "MOV     SCON,#050H"},
        {uint8_t(all | mode(1) | kSerialGenSmod), {4, 6, 8}, "MOV     SCON,#050H"},
        {uint8_t(all | mode(3) | kSerialGenTimer2), {5, 7, 9}, "MOV     SCON,#0D0H"},
        {uint8_t(kSerialGenTransmit | mode(3)), {9}, nullptr},
        {uint8_t(kSerialGenReceive | mode(1)), {6}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "options " << std::hex << int(c.options));
        const SerialGeneration g = generateSerialCode(withOptions(c.options, 11059200, 6));
        EXPECT_FALSE(g.message.has_value());
        EXPECT_EQ(g.code.error, "");
        EXPECT_EQ(g.code.sections, c.sections);
        if (c.init) {
            EXPECT_TRUE(codegentest::contains(g.code.text, c.init)) << g.code.text;
        }
    }
    // The reload constants of timer 1 and timer 2.
    std::string text = generateSerialCode(withOptions(all | mode(1), 11059200, 6)).code.text;
    EXPECT_TRUE(codegentest::contains(text, "MOV     TH1,#0FDH"));
    text = generateSerialCode(withOptions(all | mode(1) | kSerialGenTimer2, 11059200, 6)).code.text;
    EXPECT_TRUE(codegentest::containsAll(text, {"MOV RCAP2H,#0FFH", "MOV RCAP2L,#0DCH"}));

    // Timer-set modes without a reachable rate give a message, not code.
    const SerialGeneration none = generateSerialCode(withOptions(all | mode(1), 11059200, 8));
    ASSERT_TRUE(none.message.has_value());
    EXPECT_EQ(none.message->text, "No Baudrate Selected");
    EXPECT_TRUE(none.code.text.empty());
}

TEST(SerialCodeGen, DialogRulesAndDescriptions) {
    EXPECT_EQ(serialModeDescription(mode(2)), "Mode 2 - 9-Bit UART : Baudrate will be fixed(Fosc/64).");
    EXPECT_EQ(serialModeDescription(mode(2) | kSerialGenSmod),
              "Mode 2 - 9-Bit UART : Baudrate will be fixed(Fosc/32).");
    SerialCodeGenSettings s;
    SerialDialogEnabling e = serialDialogEnabling(s, DeviceKind::AT89C52);
    EXPECT_FALSE(e.generate);
    EXPECT_FALSE(e.modeRadios);
    s.options = kSerialGenReceive;
    e = serialDialogEnabling(s, DeviceKind::AT89C52);
    EXPECT_TRUE(e.modeRadios);
    EXPECT_FALSE(e.baudRadios);
    s.options = kSerialGenInit | mode(0);
    e = serialDialogEnabling(s, DeviceKind::AT89C52);
    EXPECT_FALSE(e.sm2 || e.generator || e.smod || e.baudRadios);
    s.options = kSerialGenInit | mode(1);
    EXPECT_TRUE(serialDialogEnabling(s, DeviceKind::AT89C52).timer2);
    // Timer 2 is offered only where the device has it (not the AT89C1051).
    EXPECT_FALSE(serialDialogEnabling(s, DeviceKind::AT89C1051).timer2);
    EXPECT_FALSE(serialDialogEnabling(s, DeviceKind::AT89C51).timer2);
    s.options |= kSerialGenTimer2;
    EXPECT_FALSE(serialDialogEnabling(s, DeviceKind::AT89C52).smod); // SMOD belongs to timer 1
    applySerialDevice(s, DeviceKind::I8032);
    EXPECT_TRUE(s.options & kSerialGenTimer2);
    applySerialDevice(s, DeviceKind::AT89C1051);
    EXPECT_FALSE(s.options & kSerialGenTimer2);
}

// The routines echo what the host sends; the byte time the receiver needs
// follows the baud rate the initialisation set up.
TEST(SerialCodeGen, GeneratedRoutinesEchoAtTheChosenBaudRate) {
    struct Case {
        uint8_t options;
        int baud;
    };
    const uint8_t all = kSerialGenInit | kSerialGenReceive | kSerialGenTransmit;
    for (const Case c : {Case{uint8_t(all | mode(1)), 6}, Case{uint8_t(all | mode(1) | kSerialGenSmod), 8},
                         Case{uint8_t(all | mode(3) | kSerialGenTimer2), 7}}) {
        SCOPED_TRACE(testing::Message() << "options " << std::hex << int(c.options));
        const uint32_t clock = 11059200;
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
        const int bits = serialGenMode(c.options) == 3 ? 11 : 10;
        const double expected = bits * 1e6 / kBaudRates[size_t(c.baud)];
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
