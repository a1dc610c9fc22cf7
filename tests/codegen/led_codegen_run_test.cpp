// The generated seven-segment drivers on the simulated display.
#include "codegen/led_codegen.h"
#include "codegen_test_support.h"
#include "machine/executor.h"
#include "modules/led_display.h"

#include <gtest/gtest.h>

using namespace quorvel;
using codegentest::range;
using codegentest::operator+;

namespace {

constexpr std::array<uint8_t, 16> kHexShapes{0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07,
                                             0x7F, 0x6F, 0x77, 0x7C, 0x39, 0x5E, 0x79, 0x71};

// A main routine shows a four-digit number (and a message where the wiring
// has segments); the display window's evaluation, taken after every
// instruction during the free run, then shows those digits.

struct RunCase {
    const char* name;
    uint8_t configuration;
    uint8_t level;
    int digits;
    std::vector<PinRef> lines;
    std::vector<uint8_t> expected; // lit segments per digit
    bool everyInstruction = true;  // the window sampled after every instruction
};

void runOnDisplay(const RunCase& c, const std::string& main, uint8_t timerOption) {
    SCOPED_TRACE(c.name);
    Machine m = codegentest::makeMachine(DeviceKind::AT89C52, 12000000);
    ModuleSettings& ms = m.modules.settings;
    ms.LedSevenSegment = 1;
    ms.LedOptions = c.configuration;
    ms.LedSelectLevel = c.level;
    ms.LedDigitCount = uint8_t(c.digits);
    for (size_t i = 0; i < c.lines.size(); ++i) ms.LedLines[i] = c.lines[i];
    LedCodeGenSettings s;
    s.options = uint8_t(kLedGenSameAsSimulation | timerOption);
    s.routines = kLedGenInit | kLedGenFourDigits | kLedGenTwoDigits | kLedGenOneDigit | kLedGenMessage;
    const GeneratedCode g = generateLedCode(s, ms, cycleTimeUs(12000000));
    ASSERT_EQ(g.error, "");
    const codegentest::Program p = codegentest::assembleInto(m, main, g.text);
    ASSERT_TRUE(p.ok) << p.messages;
    ASSERT_TRUE(codegentest::runTo(m, p.labels.at("DONE"), 20000));
    LedDigitMemory memory{};
    LedEvaluation ev;
    for (int i = 0; i < 20000; ++i) { // about 20 ms of the idle loop
        step(m);
        // Decoder inputs change one at a time inside the interrupt routine,
        // passing through other digit numbers; there the window is sampled
        // between interrupts, as its painting would mostly find it.
        if (c.everyInstruction || m.chip.pc == p.labels.at("DONE"))
            ev = evaluateLeds(ms, m.chip.portLatches(), memory, true);
    }
    ASSERT_EQ(ev.digitCount, c.digits);
    for (int d = 0; d < c.digits; ++d)
        EXPECT_EQ(ev.digits[size_t(d)], c.expected[size_t(d)]) << "digit " << d + 1;
}

// A main routine: set-up (with LED_INIT where the wiring has one), `calls`,
// then an idle loop; TEXT holds a two-character message.
std::string program(const std::string& calls, bool init = true) {
    return std::string("        ORG 0\n        LJMP START\n        ORG 0100H\nSTART:  MOV SP,#60H\n") +
           (init ? "        LCALL LED_INIT\n" : "") + calls + "DONE:   SJMP DONE\nTEXT:   DB 76H,80H\n";
}
std::string at(int position, const std::string& setup, const char* routine) {
    return "        MOV R0,#" + std::to_string(position) + "\n" + setup + "        LCALL " + routine + "\n";
}
std::string four(int position, const char* high, const char* low) {
    return at(position, std::string("        MOV R2,#") + high + "\n        MOV R3,#" + low + "\n",
              "DISPLAY_4DIGITS");
}
std::string one(int position, const char* value) {
    return at(position, std::string("        MOV A,#") + value + "\n", "DISPLAY_1DIGIT");
}
std::string message(int position) {
    return at(position, "        MOV DPTR,#TEXT\n        MOV R2,#2\n", "DISPLAY_MESSAGE");
}

const std::string kMainNumber = program(four(1, "12H", "0A4H") + one(5, "0FH") + message(6));

} // namespace

TEST(LedCodeGenRun, InternalMultiplexedSegmentsShowTheNumber) {
    const std::vector<uint8_t> shown{kHexShapes[1], kHexShapes[2], kHexShapes[0xA], kHexShapes[4],
                                     kHexShapes[0xF], 0x76, 0x80};
    // Common anode, segments on P1 in order, digit selects on P2 (active 0).
    runOnDisplay({"anode, one port each", 0x00, 0, 7, range(0x10, 8) + range(0x20, 7), shown},
                 kMainNumber, 0);
    // Common cathode, segments scattered, selects scattered (active 1), timer 1.
    runOnDisplay({"cathode, separate lines", kLedCommonCathode, 1, 7,
                  std::vector<PinRef>{0x17, 0x10, 0x31, 0x12, 0x13, 0x14, 0x15, 0x16} +
                      std::vector<PinRef>{0x20, 0x27, 0x21, 0x26, 0x22, 0x25, 0x23},
                  shown},
                 kMainNumber, 1 << kLedGenTimerShift);
}

TEST(LedCodeGenRun, DecoderAndBcdShowTheNumber) {
    const std::string main = program(four(2, "19H", "5EH") + one(7, "7"));
    // BCD lines scattered, a 3-to-8 decoder on P2, timer 2.
    runOnDisplay({"BCD through 3 to 8", uint8_t(kLedExternalMux | kLedBcd | 0x20), 0, 8,
                  std::vector<PinRef>{0x10, 0x31, 0x12, 0x13, 0x17} + range(0x24, 3),
                  {0, kBcdSegments[1], kBcdSegments[9], kBcdSegments[5], kBcdSegments[0xE], 0,
                   kBcdSegments[7], 0}, false},
                 main, 2 << kLedGenTimerShift);
    // Segments on one port through a 2-to-4 decoder, common cathode.
    runOnDisplay({"segments through 2 to 4", uint8_t(kLedExternalMux | kLedCommonCathode), 0, 4,
                  std::vector<PinRef>{0x13, 0x12, 0x11, 0x10, 0x17, 0x16, 0x15, 0x14} + range(0x30, 2),
                  {0, kHexShapes[1], kHexShapes[9], kHexShapes[5]}, false},
                 program(at(2, "        MOV A,#19H\n", "DISPLAY_2DIGITS") + one(4, "5")),
                 0);
}

TEST(LedCodeGenRun, NonMultiplexedSegmentsShowTheNumber) {
    // Digits 1-3 from the number, digit 3 then overwritten by one digit,
    // digit 4 from the message; position 5 lies outside the display.
    const std::string main = program(four(1, "12H", "0A4H") + one(3, "0FH") + message(4), false);
    const std::vector<uint8_t> shown{kHexShapes[1], kHexShapes[2], kHexShapes[0xF], 0x76};
    // Common anode: digit 1 on P1 in order, digit 2 on P2 out of order,
    // digits 3 and 4 on lines of P0 and P3.
    runOnDisplay({"anode, ports and separate lines", kLedNonMultiplexed, 0, 4,
                  range(0x10, 8) +
                      std::vector<PinRef>{0x27, 0x20, 0x26, 0x21, 0x25, 0x22, 0x24, 0x23} +
                      range(0x30, 4) + range(0x00, 4) + range(0x04, 4) + range(0x34, 4),
                  shown},
                 main, 0);
    // Common cathode: digit 1 on separate lines, digit 2 on P3, digit 3 on
    // P0 out of order, digit 4 on the rest of P1 and P2.
    runOnDisplay({"cathode, ports and separate lines", uint8_t(kLedNonMultiplexed | kLedCommonCathode),
                  0, 4,
                  std::vector<PinRef>{0x10, 0x21, 0x12, 0x23, 0x14, 0x25, 0x16, 0x27} + range(0x30, 8) +
                      std::vector<PinRef>{0x03, 0x02, 0x01, 0x00, 0x07, 0x06, 0x05, 0x04} +
                      std::vector<PinRef>{0x20, 0x11, 0x22, 0x13, 0x24, 0x15, 0x26, 0x17},
                  shown},
                 main, 0);
}

TEST(LedCodeGenRun, NonMultiplexedBcdShowsTheNumber) {
    // Position 6 lies outside the display.
    const std::string main = program(four(1, "19H", "5EH") + one(5, "7") + one(6, "3"), false);
    const std::vector<uint8_t> shown{kBcdSegments[1], kBcdSegments[9], kBcdSegments[5],
                                     kBcdSegments[0xE], kBcdSegments[7]};
    // Digits sharing ports: 1 on P1.0-P1.4, 2 across P1 and P2, 3 on P2 out
    // of order, 4 across P2 and P0, 5 on P3 out of order.
    const std::vector<PinRef> lines =
        range(0x10, 5) + std::vector<PinRef>{0x15, 0x16, 0x17, 0x20, 0x21} +
        std::vector<PinRef>{0x26, 0x22, 0x25, 0x23, 0x24} +
        std::vector<PinRef>{0x27, 0x00, 0x01, 0x02, 0x03} +
        std::vector<PinRef>{0x37, 0x36, 0x35, 0x34, 0x33};
    runOnDisplay({"BCD, anode", uint8_t(kLedNonMultiplexed | kLedBcd), 0, 5, lines, shown}, main, 0);
    runOnDisplay({"BCD, cathode", uint8_t(kLedNonMultiplexed | kLedBcd | kLedCommonCathode), 0, 5,
                  lines, shown},
                 main, 0);
}
