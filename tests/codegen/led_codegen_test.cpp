// Seven-segment driver generation: every routine assembling alone, the
// summary, digit bounds, dialog checks, and the generated routines on the
// simulated display for every kind of wiring.
#include "codegen/led_codegen.h"
#include "codegen_test_support.h"
#include "machine/executor.h"
#include "modules/led_display.h"

#include <gtest/gtest.h>

using namespace quorvel;
using codegentest::range;
using codegentest::operator+;
using Lines = std::vector<PinRef>;

namespace {

LedCodeGenSettings record(uint8_t configuration, int digits, Lines lines) {
    LedCodeGenSettings s;
    s.configuration = configuration;
    s.digits = uint8_t(digits);
    s.routines = kLedGenInit | kLedGenOneDigit | kLedGenTwoDigits | kLedGenFourDigits | kLedGenMessage;
    for (size_t i = 0; i < lines.size(); ++i) s.lines[i] = lines[i];
    return s;
}

} // namespace

// Each routine alone brings what it calls, for wirings the runs below do
// not reach.
TEST(LedCodeGen, EveryRoutineAlone) {
    const ModuleSettings module;
    const LedCodeGenSettings wirings[] = {
        // Segments on P1 in a scrambled order still use the port form.
        record(0x00, 4, Lines{0x17, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16} + range(0x20, 4)),
        record(kLedBcd, 2, range(0x10, 5) + range(0x20, 2)),
        record(kLedExternalMux | kLedBcd | (2 << kLedDecoderShift), 16, range(0x10, 5) + range(0x30, 4)),
        record(kLedNonMultiplexed, 2, range(0x10, 16)),
    };
    for (LedCodeGenSettings s : wirings)
        for (const uint8_t routine : {kLedGenInit, kLedGenMessage, kLedGenOneDigit, kLedGenTwoDigits, kLedGenFourDigits}) {
            s.routines = ledAllowedRoutines(s.configuration, ledRoutineClicked(0, LedRoutine(routine), true));
            EXPECT_TRUE(codegentest::assembles(generateLedCode(s, module, 1.0).text))
                << int(s.configuration) << " routine " << int(routine);
        }
    LedCodeGenSettings s = wirings[0];
    s.routines = 0;
    EXPECT_TRUE(generateLedCode(s, module, 1.0).sections.empty());
}

// "Use Same Setting as in Simulation" shows the module's display, or none.
TEST(LedCodeGen, SummaryFollowsTheSettingsInUse) {
    ModuleSettings module;
    LedCodeGenSettings s = record(kLedExternalMux | 0x40 | kLedBcd, 16, range(0x10, 5) + range(0x30, 4));
    s.options |= kLedGenSameAsSimulation;
    module.LedSevenSegment = 0;
    EXPECT_EQ(ledCodeGenSummary(s, module), "No Seven Segment Display");
    EXPECT_TRUE(generateLedCode(s, module, 1.0).sections.empty());
    module.LedSevenSegment = 1;
    module.LedOptions = kLedNonMultiplexed | kLedBcd;
    module.LedDigitCount = 1;
    module.LedLines[0] = 0x35;
    module.LedLines[4] = kPinGnd;
    EXPECT_TRUE(codegentest::containsAll(ledCodeGenSummary(s, module),
                                         {"Interface : Non Multiplexed", "Digit1 A P3.5", "Digit1 dp GND\r\n"}));
    EXPECT_EQ(s.lines[0], 0x10); // the record's own lines are untouched
}

TEST(LedCodeGen, DigitCountIsBoundedByTheWiring) {
    const ModuleSettings module;
    // Sixteen digits left over from a multiplexed display: a non-multiplexed
    // seven-segment table holds five, BCD nine, a 2-to-4 decoder four.
    LedCodeGenSettings s = record(kLedNonMultiplexed, 16, range(0x00, 32) + range(0x00, 8));
    EXPECT_TRUE(codegentest::assembles(generateLedCode(s, module, 1.0).text));
    // {configuration, stored digits, digits in use}; a stored decoder 3 reads as "2 to 4".
    for (const auto& [configuration, stored, used] :
         {std::array{int(kLedNonMultiplexed), 16, 5}, {kLedNonMultiplexed | kLedBcd, 16, 9},
          {kLedExternalMux, 16, 4}, {kLedExternalMux | kLedDecoderMask, 16, 4}, {0, 0, 1}, {0, 200, 16}}) {
        s.configuration = uint8_t(configuration);
        s.digits = uint8_t(stored);
        EXPECT_EQ(ledDisplayInUse(s, module).digits, used) << configuration << " " << stored;
    }
}

TEST(LedCodeGen, DialogChecksAndRoutineRules) {
    LedCodeGenSettings s;
    for (const auto& [text, message] : {std::pair{"", "Enter Clock Frequency"}, {"0", "Illegal Clock Frequency"},
                                        {"12MHz", "Illegal Clock Frequency"}, {"123456789", "Illegal Clock Frequency"}}) {
        const Validation v = acceptLedClock(s, text);
        ASSERT_TRUE(v.has_value()) << text;
        EXPECT_EQ(*v, errorMessage("ERROR", message)) << text;
    }
    EXPECT_EQ(s.clockHz, 24000000u); // refused entries change nothing
    EXPECT_FALSE(acceptLedClock(s, "11059200").has_value());
    EXPECT_EQ(s.clockHz, 11059200u);
    EXPECT_FALSE(acceptLedBufferStart(s, "G0"));
    EXPECT_FALSE(acceptLedBufferStart(s, "100"));
    EXPECT_EQ(s.bufferStart, 0x30);
    EXPECT_TRUE(acceptLedBufferStart(s, "7a"));
    EXPECT_EQ(s.bufferStart, 0x7A);

    const ModuleSettings module;
    s.digits = 6;
    EXPECT_EQ(ledMemoryAreaText(s, module, 0x7F),
              "Internal Memory Area used : 7AH to 80H\r\nThe area passes the last internal RAM address (7FH).");

    // {routines, box, checked, result}: four digits need two and one; one
    // digit stays while two need it.
    const uint8_t one = kLedGenOneDigit, two = kLedGenTwoDigits, four = kLedGenFourDigits;
    const struct {
        uint8_t routines, box;
        bool checked;
        uint8_t result;
    } clicks[] = {{0, four, true, uint8_t(one | two | four)}, {uint8_t(one | two | four), one, false, uint8_t(one | two | four)},
                  {uint8_t(one | two | four), four, false, uint8_t(one | two)}, {uint8_t(one | two), one, false, uint8_t(one | two)},
                  {two, two, false, 0}};
    for (const auto& c : clicks)
        EXPECT_EQ(ledRoutineClicked(c.routines, LedRoutine(c.box), c.checked), c.result) << int(c.routines) << " " << int(c.box);
    EXPECT_EQ(ledAllowedRoutines(kLedBcd, 0x1F), 0x1D);
    EXPECT_EQ(ledAllowedRoutines(kLedNonMultiplexed, 0x1F), 0x1E);
}

// The generated routines on the simulated display: a main routine shows a
// number (and a message where the wiring has segments); the display
// window's evaluation, taken during the free run after it, shows them.
namespace {

constexpr std::array<uint8_t, 16> kHex{0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07,
                                       0x7F, 0x6F, 0x77, 0x7C, 0x39, 0x5E, 0x79, 0x71};

// A main routine: set-up (with LED_INIT where the wiring has one), `calls`,
// an idle loop; TEXT holds a two-character message.
std::string program(const std::string& calls, bool init = true) {
    return std::string("        ORG 0\n        LJMP START\n        ORG 0100H\nSTART:  MOV SP,#60H\n") +
           (init ? "        LCALL LED_INIT\n" : "") + calls + "DONE:   SJMP DONE\nTEXT:   DB 76H,80H\n";
}
std::string at(int position, const std::string& setup, const char* routine) {
    return "        MOV R0,#" + std::to_string(position) + "\n" + setup + "        LCALL " + routine + "\n";
}
std::string four(int position, const char* high, const char* low) {
    return at(position, std::string("        MOV R2,#") + high + "\n        MOV R3,#" + low + "\n", "DISPLAY_4DIGITS");
}
std::string one(int position, const char* value) {
    return at(position, std::string("        MOV A,#") + value + "\n", "DISPLAY_1DIGIT");
}
std::string message(int position) { return at(position, "        MOV DPTR,#TEXT\n        MOV R2,#2\n", "DISPLAY_MESSAGE"); }

} // namespace

TEST(LedCodeGenRun, EveryWiringShowsTheNumber) {
    const std::string number = program(four(1, "12H", "0A4H") + one(5, "0FH") + message(6));
    const std::vector<uint8_t> shown{kHex[1], kHex[2], kHex[0xA], kHex[4], kHex[0xF], 0x76, 0x80};
    // Non-multiplexed: digit 3 overwritten by one digit, digit 4 from the
    // message; position 5 (6 for BCD) lies outside the display.
    const std::string direct = program(four(1, "12H", "0A4H") + one(3, "0FH") + message(4), false);
    const std::vector<uint8_t> directShown{kHex[1], kHex[2], kHex[0xF], 0x76};
    const std::string bcd = program(four(1, "19H", "5EH") + one(5, "7") + one(6, "3"), false);
    const std::vector<uint8_t> bcdShown{kBcdSegments[1], kBcdSegments[9], kBcdSegments[5], kBcdSegments[0xE],
                                        kBcdSegments[7]};
    // Digits sharing ports, in and out of order.
    const Lines bcdLines = range(0x10, 5) + Lines{0x15, 0x16, 0x17, 0x20, 0x21} + Lines{0x26, 0x22, 0x25, 0x23, 0x24} +
                           Lines{0x27, 0x00, 0x01, 0x02, 0x03} + Lines{0x37, 0x36, 0x35, 0x34, 0x33};
    const struct {
        const char* name;
        uint8_t configuration, level, timer;
        int digits;
        Lines lines;
        std::string main;
        std::vector<uint8_t> expected; // lit segments per digit
        bool everyInstruction = true;  // the window sampled after every instruction
    } cases[] = {
        {"anode, one port each", 0x00, 0, 0, 7, range(0x10, 8) + range(0x20, 7), number, shown},
        {"cathode, separate lines, timer 1", kLedCommonCathode, 1, 1, 7,
         Lines{0x17, 0x10, 0x31, 0x12, 0x13, 0x14, 0x15, 0x16} + Lines{0x20, 0x27, 0x21, 0x26, 0x22, 0x25, 0x23},
         number, shown},
        // Decoder inputs change one at a time inside the interrupt routine,
        // passing other digit numbers: sampled between interrupts, as the
        // window's painting would mostly find it.
        {"BCD through 3 to 8, timer 2", uint8_t(kLedExternalMux | kLedBcd | 0x20), 0, 2, 8,
         Lines{0x10, 0x31, 0x12, 0x13, 0x17} + range(0x24, 3), program(four(2, "19H", "5EH") + one(7, "7")),
         {0, kBcdSegments[1], kBcdSegments[9], kBcdSegments[5], kBcdSegments[0xE], 0, kBcdSegments[7], 0}, false},
        {"segments through 2 to 4", uint8_t(kLedExternalMux | kLedCommonCathode), 0, 0, 4,
         Lines{0x13, 0x12, 0x11, 0x10, 0x17, 0x16, 0x15, 0x14} + range(0x30, 2),
         program(at(2, "        MOV A,#19H\n", "DISPLAY_2DIGITS") + one(4, "5")), {0, kHex[1], kHex[9], kHex[5]}, false},
        {"direct anode, ports and separate lines", kLedNonMultiplexed, 0, 0, 4,
         range(0x10, 8) + Lines{0x27, 0x20, 0x26, 0x21, 0x25, 0x22, 0x24, 0x23} + range(0x30, 4) + range(0x00, 4) +
             range(0x04, 4) + range(0x34, 4),
         direct, directShown},
        {"direct cathode, ports and separate lines", uint8_t(kLedNonMultiplexed | kLedCommonCathode), 0, 0, 4,
         Lines{0x10, 0x21, 0x12, 0x23, 0x14, 0x25, 0x16, 0x27} + range(0x30, 8) +
             Lines{0x03, 0x02, 0x01, 0x00, 0x07, 0x06, 0x05, 0x04} + Lines{0x20, 0x11, 0x22, 0x13, 0x24, 0x15, 0x26, 0x17},
         direct, directShown},
        {"direct BCD, anode", uint8_t(kLedNonMultiplexed | kLedBcd), 0, 0, 5, bcdLines, bcd, bcdShown},
        {"direct BCD, cathode", uint8_t(kLedNonMultiplexed | kLedBcd | kLedCommonCathode), 0, 0, 5, bcdLines, bcd,
         bcdShown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m = codegentest::makeMachine(DeviceKind::AT89C52, 12000000);
        ModuleSettings& ms = m.modules.settings;
        ms.LedSevenSegment = 1;
        ms.LedOptions = c.configuration;
        ms.LedSelectLevel = c.level;
        ms.LedDigitCount = uint8_t(c.digits);
        for (size_t i = 0; i < c.lines.size(); ++i) ms.LedLines[i] = c.lines[i];
        LedCodeGenSettings s;
        s.options = uint8_t(kLedGenSameAsSimulation | (c.timer << kLedGenTimerShift));
        s.routines = kLedGenInit | kLedGenFourDigits | kLedGenTwoDigits | kLedGenOneDigit | kLedGenMessage;
        const GeneratedCode g = generateLedCode(s, ms, cycleTimeUs(12000000));
        ASSERT_EQ(g.error, "");
        const codegentest::Program p = codegentest::assembleInto(m, c.main, g.text);
        ASSERT_TRUE(p.ok) << p.messages;
        ASSERT_TRUE(codegentest::runTo(m, p.labels.at("DONE"), 20000));
        LedDigitMemory memory{};
        LedEvaluation ev;
        for (int i = 0; i < 20000; ++i) { // about 20 ms of the idle loop
            step(m);
            if (c.everyInstruction || m.chip.pc == p.labels.at("DONE"))
                ev = evaluateLeds(ms, m.chip.portLatches(), memory, true);
        }
        ASSERT_EQ(ev.digitCount, c.digits);
        for (int d = 0; d < c.digits; ++d) EXPECT_EQ(ev.digits[size_t(d)], c.expected[size_t(d)]) << "digit " << d + 1;
    }
}
