// What the code-generation dialogs hand to the shared port-line dialog: a
// copy of the module settings carrying the record's wiring, whose edits go
// back into the record only; the SPI selection with its chip-enable entry;
// and the LED dialog's "Use Same Setting".
#include "codegen/bus_codegen.h"
#include "codegen/keyboard_codegen.h"
#include "codegen/lcd_codegen.h"
#include "codegen/led_codegen.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(PortLineCopy, EditsReachTheRecordAndNeverTheModule) {
    ModuleSettings module;
    module.KeypadType = 2;
    module.KeypadLines[0] = 0x35;
    module.LedOptions = kLedBcd;
    module.LedLines[0] = 0x37;
    module.LcdPins[0] = 0x20;
    module.iic.IicSda = 0x31;
    const ModuleSettings before = module;

    KeyboardCodeGenSettings keys;
    keys.type = 1;
    keys.lines[0] = 0x10;
    ModuleSettings copy = keyboardPortLineCopy(keys, module);
    EXPECT_EQ(keypadType(copy), 1);
    EXPECT_EQ(copy.KeypadLines[0], 0x10);
    copy.KeypadLines[11] = 0x27;
    acceptKeyboardPortLines(keys, copy);
    EXPECT_EQ(keys.lines[11], 0x27);

    LedCodeGenSettings led;
    led.configuration = kLedNonMultiplexed;
    led.digits = 3;
    led.lines[0] = 0x21;
    copy = ledPortLineCopy(led, module);
    EXPECT_EQ(copy.LedOptions, kLedNonMultiplexed);
    EXPECT_EQ(copy.LedLines[0], 0x21);
    copy.LedLines[20] = 0x14;
    copy.LedDigitCount = 2;
    acceptLedPortLines(led, copy);
    EXPECT_EQ(led.lines[20], 0x14);
    EXPECT_EQ(led.digits, 2);

    LcdCodeGenSettings lcd;
    lcd.flags = 2; // 4 x 16
    lcd.lines[0] = 0x35;
    copy = lcdPortLineCopy(lcd, module);
    EXPECT_EQ(copy.LcdPins[0], 0x35);
    EXPECT_EQ(lcdSize(copy.LcdOptions), 2);
    copy.LcdPins[0] = 0x30;
    acceptLcdPortLines(lcd, copy);
    EXPECT_EQ(lcd.lines[0], 0x30);

    IicCodeGenSettings iic;
    iic.lines = {0x17, 0x16, 0};
    IicSettings iicCopy = iicPortLineCopy(iic, module.iic);
    EXPECT_EQ(iicCopy.IicSda, 0x17);
    iicCopy.IicSda = 0x25;
    acceptIicPortLines(iic, iicCopy);
    EXPECT_EQ(iic.lines[0], 0x25);

    EXPECT_EQ(module, before);
}

// The SPI selection's third line is the chip enable on a 3-wire bus and SI
// on a 4-wire one, whose fourth line is the chip enable.
TEST(PortLineCopy, SpiSelectionEndsWithTheChipEnableLine) {
    SpiCodeGenSettings s;
    s.lines = {0x10, 0x11, 0x12};
    s.cs = 0x13;
    EXPECT_EQ(spiCodeGenLine(s, 2), 0x13);
    setSpiCodeGenLine(s, 2, 0x27);
    EXPECT_EQ(s.cs, 0x27);
    EXPECT_EQ(s.lines[2], 0x12);
    s.bus = kSpiGenFourWire;
    setSpiCodeGenLine(s, 2, 0x31);
    setSpiCodeGenLine(s, 3, 0x32);
    EXPECT_EQ(s.lines[2], 0x31);
    EXPECT_EQ(s.cs, 0x32);
}

// With "Use Same Setting" and no display in the module there is nothing to
// generate; the clock is the simulation's then, else the dialog's own.
TEST(LedCodeGenEnablingRules, SameSettingUsesTheModuleAndItsClock) {
    const ModuleSettings module;
    LedCodeGenSettings s;
    s.routines = kLedGenOneDigit;
    EXPECT_TRUE(ledCodeGenEnabling(s, module).generate);
    s.options = kLedGenSameAsSimulation;
    EXPECT_FALSE(ledCodeGenEnabling(s, module).generate);
    EXPECT_EQ(ledCodeGenCycleUs(s, 0.5), 0.5);
    s.options = 0;
    s.clockHz = 6000000;
    EXPECT_EQ(ledCodeGenCycleUs(s, 0.5), 2.0);
}
