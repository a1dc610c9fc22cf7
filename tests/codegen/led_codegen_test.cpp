// Seven-segment driver generation: the sections of every wiring, the
// constants, summary, checks and memory area. (The generated routines run on
// the simulated display in led_codegen_run_test.cpp.)
#include "codegen/led_codegen.h"
#include "codegen_test_support.h"
#include "machine/executor.h"
#include "modules/led_display.h"

#include <gtest/gtest.h>

using namespace quorvel;
using codegentest::range;
using codegentest::operator+;

namespace {

LedCodeGenSettings record(uint8_t configuration, int digits, std::vector<PinRef> lines) {
    LedCodeGenSettings s;
    s.configuration = configuration;
    s.digits = uint8_t(digits);
    s.routines = kLedGenInit | kLedGenOneDigit | kLedGenTwoDigits | kLedGenFourDigits | kLedGenMessage;
    for (size_t i = 0; i < lines.size(); ++i) s.lines[i] = lines[i];
    return s;
}

} // namespace

TEST(LedCodeGen, SectionsOfEveryWiring) {
    const ModuleSettings module;
    struct Case {
        const char* name;
        LedCodeGenSettings s;
        std::vector<int> sections;
    };
    // Segments on P1 in a scrambled order still use the port form.
    const std::vector<PinRef> scrambled{0x17, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16};
    const std::vector<Case> cases{
        {"internal 7 segment, one port each", record(0x00, 4, scrambled + range(0x20, 4)),
         {1, 2, 6, 10, 11, 15, 18, 21, 22, 25, 26, 27, 34, 35, 35, 35, 35, 36, 40, 47, 49, 50, 51, 52}},
        {"internal 7 segment, separate lines, cathode",
         record(0x80, 2, range(0x10, 7) + std::vector<PinRef>{0x30, 0x20, 0x31}),
         {1, 3, 10, 12, 15, 18, 21, 23, 24, 24, 25, 26, 28, 29, 29, 33, 37, 40, 47, 49, 50, 51, 52}},
        {"internal BCD", record(kLedBcd, 2, range(0x10, 5) + range(0x20, 2)),
         {1, 4, 6, 10, 13, 15, 18, 21, 22, 25, 26, 27, 34, 35, 35, 38, 40, 48, 49, 50, 51}},
        {"external 7 segment 3 to 8", record(kLedExternalMux | 0x20, 8, range(0x10, 8) + range(0x20, 3)),
         {1, 2, 8, 10, 11, 15, 18, 21, 25, 30 + 1, 26, 33, 36, 40, 47, 49, 50, 51, 52}},
        {"external BCD 2 to 4", record(kLedExternalMux | kLedBcd, 4, range(0x10, 4) + std::vector<PinRef>{0x27, 0x20, 0x21}),
         {1, 5, 7, 10, 13, 15, 18, 21, 25, 30, 26, 33, 39, 40, 48, 49, 50, 51}},
        {"non-multiplexed 7 segment", record(kLedNonMultiplexed, 2, range(0x10, 8) + std::vector<PinRef>{0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x30}),
         {11, 41, 42, 43, 46, 47, 49, 50, 51, 52}},
        {"non-multiplexed BCD", record(kLedNonMultiplexed | kLedBcd, 2, range(0x10, 5) + range(0x20, 4) + std::vector<PinRef>{0x30}),
         {13, 41, 44, 45, 46, 48, 49, 50, 51}},
    };
    for (const Case& c : cases) {
        const GeneratedCode g = generateLedCode(c.s, module, 1.0);
        EXPECT_EQ(g.error, "") << c.name;
        EXPECT_EQ(g.sections, c.sections) << c.name;
    }
    // Timer 1 and timer 2 choose their own set-up and interrupt sections.
    LedCodeGenSettings s = record(0x00, 2, range(0x10, 8) + range(0x20, 2));
    s.options = 2 << kLedGenTimerShift;
    const GeneratedCode g = generateLedCode(s, module, 1.0);
    EXPECT_EQ(std::vector<int>(g.sections.begin() + 4, g.sections.begin() + 7), (std::vector<int>{11, 17, 20}));
    s.routines = 0;
    EXPECT_TRUE(generateLedCode(s, module, 1.0).sections.empty());
}

TEST(LedCodeGen, ConstantsAndMasks) {
    const ModuleSettings module;
    EXPECT_EQ(ledMillisecondCycles(cycleTimeUs(12000000)), 0x3E8);
    EXPECT_EQ(ledMillisecondCycles(cycleTimeUs(24000000)), 0x7D0);
    LedCodeGenSettings s = record(0x00, 3, range(0x10, 8) + std::vector<PinRef>{0x21, 0x23, 0x26});
    s.bufferStart = 0x48;
    std::string text = generateLedCode(s, module, cycleTimeUs(12000000)).text;
    // Level 0: all off = the three select bits, a digit's value clears only its own.
    EXPECT_TRUE(codegentest::containsAll(
        text, {"LED_PERIOD EQU 003E8H", "LED_SCAN DATA 048H", "LED_BUFFER DATA 049H", "LED_DIGITS EQU 003H",
               "LED_SEL_CLEAR EQU 0B5H", "LED_SEL_OFF EQU 04AH", "DB 048H\r\n", "DB 00AH\r\n"}));
    s.options |= kLedGenSelectLevel;
    text = generateLedCode(s, module, cycleTimeUs(24000000)).text;
    EXPECT_TRUE(codegentest::containsAll(text, {"LED_PERIOD EQU 007D0H", "LED_SEL_OFF EQU 000H", "DB 040H\r\n"}));
}

TEST(LedCodeGen, SummaryFollowsTheSettingsInUse) {
    ModuleSettings module;
    LedCodeGenSettings s = record(0x80, 2, range(0x10, 8) + range(0x20, 2));
    EXPECT_EQ(ledCodeGenSummary(s, module),
              "Interface  : Multiplexed\r\nMultiplexer: Internal\r\nAct. Level : 0\r\n"
              "Input      : Seven Segment Data\r\nType       : Common Cathode\r\n"
              "\r\nControl Lines       Port Lines\r\n"
              "Segement a          P1.0\r\nSegement b          P1.1\r\nSegement c          P1.2\r\n"
              "Segement d          P1.3\r\nSegement e          P1.4\r\nSegement f          P1.5\r\n"
              "Segement g          P1.6\r\nSegement dp         P1.7\r\n"
              "Digit 1 Select      P2.0\r\nDigit 2 Select      P2.1\r\n");
    s = record(kLedExternalMux | 0x40 | kLedBcd, 16, range(0x10, 5) + range(0x30, 4));
    const std::string ext = ledCodeGenSummary(s, module);
    EXPECT_NE(ext.find("Multiplexer: 4 to 16 External\r\nInput      : BCD Data\r\n\r\n"), std::string::npos) << ext;
    EXPECT_NE(ext.find("Multiplexer I/P D   P3.3\r\n"), std::string::npos);
    EXPECT_EQ(ext.find("Type"), std::string::npos);

    // "Use Same Setting as in Simulation": the module's display.
    s.options |= kLedGenSameAsSimulation;
    module.LedSevenSegment = 0;
    EXPECT_EQ(ledCodeGenSummary(s, module), "No Seven Segment Display");
    EXPECT_TRUE(generateLedCode(s, module, 1.0).sections.empty());
    module.LedSevenSegment = 1;
    module.LedOptions = kLedNonMultiplexed | kLedBcd;
    module.LedDigitCount = 1;
    module.LedLines[0] = 0x35;
    module.LedLines[4] = kPinGnd;
    EXPECT_EQ(ledCodeGenSummary(s, module),
              "Interface  : Non Multiplexed\r\nInput      : BCD Data\r\n\r\nControl Lines       Port Lines\r\n"
              "Digit1 A            P3.5\r\nDigit1 B            P0.0\r\nDigit1 C            P0.0\r\n"
              "Digit1 D            P0.0\r\nDigit1 dp           GND\r\n");
    EXPECT_EQ(s.lines[0], 0x10); // the record's own lines are untouched
}

TEST(LedCodeGen, DigitCountIsBoundedByTheWiring) {
    const ModuleSettings module;
    // Sixteen digits left over from a multiplexed display: a non-multiplexed
    // seven-segment table holds five, BCD nine, a 2-to-4 decoder four.
    LedCodeGenSettings s = record(kLedNonMultiplexed, 16, range(0x00, 32) + range(0x00, 8));
    const GeneratedCode g = generateLedCode(s, module, 1.0);
    EXPECT_EQ(std::count(g.sections.begin(), g.sections.end(), 42), 5);
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
    EXPECT_EQ(s.clockHz, 24000000u);
    EXPECT_EQ(s.bufferStart, 0x30);
    Validation v = acceptLedClock(s, "");
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->title, "ERROR");
    EXPECT_EQ(v->text, "Enter Clock Frequency");
    for (const char* bad : {"0", "12MHz", "123456789", "-5"}) {
        v = acceptLedClock(s, bad);
        ASSERT_TRUE(v.has_value()) << bad;
        EXPECT_EQ(v->text, "Illegal Clock Frequency");
    }
    EXPECT_EQ(s.clockHz, 24000000u);
    EXPECT_FALSE(acceptLedClock(s, "11059200").has_value());
    EXPECT_EQ(s.clockHz, 11059200u);

    EXPECT_FALSE(acceptLedBufferStart(s, "G0"));
    EXPECT_FALSE(acceptLedBufferStart(s, "100"));
    EXPECT_EQ(s.bufferStart, 0x30);
    EXPECT_TRUE(acceptLedBufferStart(s, "7a"));
    EXPECT_EQ(s.bufferStart, 0x7A);

    const ModuleSettings module;
    s.digits = 4;
    EXPECT_EQ(ledMemoryAreaText(s, module, 0xFF), "Internal Memory Area used : 7AH to 7EH");
    s.digits = 6;
    EXPECT_EQ(ledMemoryAreaText(s, module, 0x7F),
              "Internal Memory Area used : 7AH to 80H\r\nThe area passes the last internal RAM address (7FH).");

    uint8_t r = ledRoutineClicked(0, kLedGenFourDigits, true);
    EXPECT_EQ(r, kLedGenOneDigit | kLedGenTwoDigits | kLedGenFourDigits);
    EXPECT_EQ(ledRoutineClicked(r, kLedGenOneDigit, false), r);
    EXPECT_EQ(ledRoutineClicked(r, kLedGenFourDigits, false), kLedGenOneDigit | kLedGenTwoDigits);
    EXPECT_EQ(ledRoutineClicked(kLedGenOneDigit | kLedGenTwoDigits, kLedGenOneDigit, false), kLedGenOneDigit | kLedGenTwoDigits);
    EXPECT_EQ(ledRoutineClicked(kLedGenTwoDigits, kLedGenTwoDigits, false), 0);
    EXPECT_EQ(ledAllowedRoutines(kLedBcd, 0x1F), 0x1D);
    EXPECT_EQ(ledAllowedRoutines(kLedNonMultiplexed, 0x1F), 0x1E);
}
