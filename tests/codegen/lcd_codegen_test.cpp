// LCD generation: every routine assembling alone, and the
// generated driver showing text and numbers on the simulated LCD for
// both bus widths, regular and irregular lines, several types and clocks.
#include "codegen/lcd_codegen.h"
#include "codegen_test_support.h"

#include "modules/lcd_controller.h"
#include "modules/module_state.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// RS, R/W, E on P3.5-P3.7; data lines as given (D0 first).
LcdCodeGenSettings record(uint8_t flags, uint16_t routines, std::array<PinRef, 8> data) {
    LcdCodeGenSettings s;
    s.flags = flags;
    s.routines = routines;
    s.lines = {0x35, 0x36, 0x37};
    for (int k = 0; k < 8; ++k) s.lines[size_t(3 + k)] = data[size_t(k)];
    return s;
}

constexpr std::array<PinRef, 8> kP1InOrder{0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17};

} // namespace

// Each routine alone brings what it calls, on a regular and an irregular bus
// of either width; "4 Digits Display" ticks "2 Digits Display" with it.
TEST(LcdCodeGen, EveryRoutineAloneAndTheDigitRule) {
    const ModuleSettings module;
    const std::pair<uint8_t, std::array<PinRef, 8>> buses[] = {
        {0, kP1InOrder},
        {0, {0x17, 0x16, 0x15, 0x14, 0x13, 0x12, 0x11, 0x10}},
        {kLcdGenFourBit, {0, 0, 0, 0, 0x14, 0x15, 0x16, 0x17}},
        {kLcdGenFourBit, {0, 0, 0, 0, 0x22, 0x23, 0x24, 0x25}}, // crosses a nibble
    };
    for (const auto& [flags, data] : buses)
        for (uint16_t routine = 1; routine & kLcdGenAllRoutines; routine = uint16_t(routine << 1))
            EXPECT_TRUE(codegentest::assembles(generateLcdCode(record(uint8_t(flags | 1), routine, data), module, 1.0).text))
                << int(flags) << " routine " << routine;
    EXPECT_TRUE(generateLcdCode(record(0, 0, kP1InOrder), module, 1.0).sections.empty());

    uint16_t mask = lcdRoutineClicked(0, kLcdGenFourDigits, true);
    EXPECT_EQ(mask, kLcdGenFourDigits | kLcdGenTwoDigits);
    EXPECT_EQ(lcdRoutineClicked(mask, kLcdGenTwoDigits, false), mask);
    EXPECT_EQ(lcdRoutineClicked(mask, kLcdGenFourDigits, false), kLcdGenTwoDigits);
}

TEST(LcdCodeGenRun, TheLcdShowsTheMessageAndTheNumbers) {
    struct Case {
        const char* name;
        uint8_t flags;
        std::array<PinRef, 8> data;
        uint32_t clock;
        uint8_t init;
    };
    const std::vector<Case> cases{
        {"8-bit port, 2 lines", 1, kP1InOrder, 12000000, kLcdInitDefault},
        {"8-bit lines, 1 line", 0, {0x17, 0x16, 0x15, 0x14, 0x13, 0x12, 0x11, 0x10}, 24000000, 0x75},
        {"4-bit high nibble, 4 x 20", kLcdGenFourBit | 3, {kPinGnd, kPinGnd, kPinGnd, kPinGnd, 0x24, 0x25, 0x26, 0x27},
         12000000, 0x76},
        {"4-bit low nibble, 4 x 16", kLcdGenFourBit | 2, {kPinGnd, kPinGnd, kPinGnd, kPinGnd, 0x10, 0x11, 0x12, 0x13},
         11059200, 0x74},
        {"4-bit lines, 2 lines", kLcdGenFourBit | 1, {kPinGnd, kPinGnd, kPinGnd, kPinGnd, 0x27, 0x10, 0x23, 0x15},
         6000000, kLcdInitDefault},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m = codegentest::makeMachine(DeviceKind::AT89C52, c.clock);
        ModuleSettings& module = m.modules.settings;
        module.LcdOptions = c.flags & (kLcdSizeMask | kLcdFourBit);
        LcdCodeGenSettings s = record(c.flags, kLcdGenAllRoutines, c.data);
        s.LcdInitOptions = c.init;
        std::copy(s.lines.begin(), s.lines.begin() + kLcdPinCount, module.LcdPins.begin());
        // The module follows its own settings: generate from them.
        s.flags = kLcdGenSameAsSimulation;
        const GeneratedCode g = generateLcdCode(s, module, m.selection.cycleTimeUs);
        ASSERT_EQ(g.error, "");
        const bool oneLine = (c.flags & 3) == 0;
        std::string main = R"(
        ORG     0
        MOV     SP,#60H
        LCALL   INITIALIZE_LCD
        LCALL   CLEAR_DISPLAY
        MOV     A,#21H                  ; line 1, character 1
        MOV     DPTR,#TEXT
        LCALL   DISPLAY_STRING
        MOV     A,#2CH                  ; line 1, character 12
        MOV     R0,#'!'
        LCALL   DISPLAY_CHARACTER
)";
        if (!oneLine)
            main += R"(
        MOV     A,#43H                  ; line 2, character 3
        MOV     R0,#42H
        LCALL   DISPLAY_2DIGITS
        MOV     A,#48H                  ; line 2, character 8
        MOV     R1,#19H
        MOV     R0,#0A7H
        LCALL   DISPLAY_4DIGITS
)";
        main += R"(
        MOV     A,#22H                  ; read back line 1, character 2
        LCALL   READ_DDRAM
        MOV     40H,A
        LCALL   DISPLAY_OFF
        LCALL   DISPLAY_ON
        LCALL   CURSOR_OFF
DONE:   SJMP    DONE
TEXT:   DB      'Hello, LCD',0
)";
        const codegentest::Program p = codegentest::assembleInto(m, main, g.text);
        ASSERT_TRUE(p.ok) << p.messages;
        // The second run starts over after Reset CPU, on an LCD left as the
        // first run set it up (a 4-bit one stays 4-bit).
        for (int run = 1; run <= 2; ++run) {
            SCOPED_TRACE(run);
            if (run == 2) {
                m.chip.reset();
                resetModulesOnCpuReset(m.modules);
                m.chip.iram[0x40] = 0;
                m.modules.lcd.displayMemory.fill('#'); // to be cleared and written again
            }
            ASSERT_TRUE(codegentest::runTo(m, p.labels.at("DONE"), 400000));
            const uint8_t options = module.LcdOptions;
            EXPECT_EQ(lcdRowText(m.modules.lcd, options, 0).substr(0, 12), "Hello, LCD !");
            if (!oneLine) {
                EXPECT_EQ(lcdRowText(m.modules.lcd, options, 1).substr(0, 12), "  42   19A7 ");
            }
            EXPECT_EQ(m.chip.iram[0x40], 'e');
            // Display on, cursor off after the last calls.
            EXPECT_EQ(m.modules.lcd.LcdDisplayFlags & (kLcdDisplayOn | kLcdCursor | kLcdBlink), kLcdDisplayOn);
            EXPECT_EQ(bool(m.modules.lcd.LcdFunctionFlags & kLcdTwoLines), !oneLine);
            EXPECT_EQ(bool(m.modules.lcd.LcdFunctionFlags & kLcdEightBit), !(c.flags & kLcdGenFourBit));
        }
    }
}
