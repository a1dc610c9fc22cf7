// Cleaning and limits of the stored module settings, the start-up
// replacement of lines the device lacks, and the Cancel and limit rules of
// the LED, keypad, IIC and SPI dialogs.
#include "modules/module_settings.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

constexpr uint32_t kTwentyPin = 0xBF00FF00; // 15 lines
constexpr uint32_t kBus = 0xFF00FF00;       // 16 lines
constexpr uint32_t kAll = 0xFFFFFFFF;

TEST(ModuleSettings, LedCleaningKeepsFixedLevelsAndClampsTheCount) {
    ModuleSettings s;
    s.LedLines[0] = 0x41;
    s.LedLines[1] = 0x47; // another "GND" code
    s.LedLines[2] = 0x40;
    s.LedLines[3] = 0x2D;
    s.LedDigitCount = 20;
    s.LedOptions = kLedDecoderMask | kLedExternalMux; // decoder value 3
    cleanLedSettings(s, kAll);
    EXPECT_EQ(s.LedLines[0], kPinGnd);
    EXPECT_EQ(s.LedLines[1], kPinGnd);
    EXPECT_EQ(s.LedLines[2], kPinPlus5V);
    EXPECT_EQ(s.LedLines[3], 0x25);
    EXPECT_EQ(s.LedOptions & kLedDecoderMask, 0);
    EXPECT_EQ(s.LedDigitCount, 4); // above 16 becomes 4 (and "2 to 4" allows 4)

    // Switching a 16-digit multiplexed display to non-multiplexed lowers the
    // count to what the lines allow.
    s.LedOptions = 0;
    s.LedDigitCount = 16;
    cleanLedSettings(s, kAll);
    EXPECT_EQ(s.LedDigitCount, 16);
    s.LedOptions = kLedNonMultiplexed;
    clampLedDigitCount(s, kTwentyPin);
    EXPECT_EQ(s.LedDigitCount, 1);
}

TEST(ModuleSettings, MaximumDigitsByWiringAndLines) {
    struct Case {
        uint8_t options;
        uint32_t mask;
        int most;
    };
    const Case cases[] = {
        {kLedNonMultiplexed, kAll, 4}, {kLedNonMultiplexed, kBus, 2}, {kLedNonMultiplexed, kTwentyPin, 1},
        {kLedNonMultiplexed | kLedBcd, kAll, 8}, {kLedNonMultiplexed | kLedBcd, kTwentyPin, 3},
        {kLedNonMultiplexed | kLedExternalMux, kAll, 4}, // decoder ignored
        {0, kTwentyPin, 7}, {kLedBcd, kBus, 8}, {0, kAll, 16}, {kLedExternalMux, kTwentyPin, 4},
        {kLedExternalMux | (1 << kLedDecoderShift), kTwentyPin, 8},
        {kLedExternalMux | kLedBcd | (2 << kLedDecoderShift), kTwentyPin, 16},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ledMaxDigits(c.options, c.mask), c.most)
            << "options " << int(c.options) << " mask " << std::hex << c.mask;
}

// Cancel puts the options and grids back; select level and the
// seven-segment flag keep the choice; the count fits the old wiring.
TEST(ModuleSettings, LedDialogCancel) {
    ModuleSettings opened;
    opened.LedOptions = kLedNonMultiplexed;
    opened.LedConnected = {1, 2, 3, 4};
    ModuleSettings live = opened;
    live.LedOptions = 0;
    live.LedConnected = {};
    live.LedDigitCount = 12;
    live.LedSelectLevel = 1;
    live.LedSevenSegment = 1;
    cancelLedDialog(live, opened, kAll);
    EXPECT_EQ(live.LedOptions, kLedNonMultiplexed);
    EXPECT_EQ(live.LedSelectLevel, 1);
    EXPECT_EQ(live.LedSevenSegment, 1);
    EXPECT_EQ(live.LedDigitCount, 4);
    EXPECT_EQ(live.LedConnected, opened.LedConnected);
}

TEST(ModuleSettings, LcdCleaningAndFourBitLines) {
    ModuleSettings s;
    s.LcdOptions = 0x63;
    s.LcdPins = {0x35, 0x41, 0x3F, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17};
    cleanLcdSettings(s);
    EXPECT_EQ(s.LcdOptions, 0x03);
    EXPECT_EQ(s.LcdPins[1], kPinGnd);
    EXPECT_EQ(s.LcdPins[2], 0x37);
    s.LcdOptions = 0x23;
    cleanLcdSettings(s);
    EXPECT_EQ(s.LcdOptions, 0x23); // bit 5 alone stays
    // In 4 bits the dialog's list skips D0-D3.
    EXPECT_EQ(lcdPinOfControlLine(s.LcdOptions, 3), kLcdD0 + 4);
    EXPECT_EQ(lcdPinOfControlLine(s.LcdOptions, 7), -1);
}

TEST(ModuleSettings, LinesOutsideTheDeviceBecomeP10) {
    ModuleSettings s;
    struct Line {
        const char* name;
        PinRef& ref;
        PinRef stored, after;
    };
    const Line lines[] = {
        {"LED 0, P0.5", s.LedLines[0], 0x05, 0x10},  {"LED 1, P2.5", s.LedLines[1], 0x25, 0x10},
        {"LED 2", s.LedLines[2], kPinGnd, kPinGnd},  {"LED 3", s.LedLines[3], 0x33, 0x33},
        {"LCD 0", s.LcdPins[0], 0x27, 0x10},         {"LCD 1", s.LcdPins[1], kPinPlus5V, kPinPlus5V},
        {"keypad 0", s.KeypadLines[0], 0x01, 0x10},  {"keypad 1", s.KeypadLines[1], 0x44, 0x10},
        {"keypad 2", s.KeypadLines[2], 0x14, 0x14},  {"SCL", s.iic.IicScl, 0x05, 0x10},
        {"SDA", s.iic.IicSda, 0x17, 0x17},           {"SPI 0", s.spi.SpiLines[0], 0x20, 0x10},
        {"SPI 1", s.spi.SpiLines[1], 0x11, 0x11},    {"SPI 2", s.spi.SpiLines[2], 0x36, 0x10},
        {"SPI CS, P3.6: never offered on the 20-pin devices", s.spi.SpiEepromCs, 0x36, 0x10},
    };
    for (const Line& l : lines) l.ref = l.stored;
    replaceUnavailableLines(s, kTwentyPin);
    for (const Line& l : lines) EXPECT_EQ(l.ref, l.after) << l.name;
}

TEST(ModuleSettings, KeyboardSettings) {
    ModuleSettings s;
    s.KeypadLines[4] = 0x9E; // cleaned to P1.6
    s.KeypadLines[20] = 0xFF; // beyond the twelve lines in use: not touched
    cleanKeyboardSettings(s);
    EXPECT_EQ(s.KeypadLines[4], 0x16);
    EXPECT_EQ(s.KeypadLines[20], 0xFF);

    setKeyName(s, 4, "A very long key name");
    EXPECT_EQ(keyName(s, 4), "A very lon");

    // Only masks and type rebuild the window; names and lines do not.
    ModuleSettings after = s;
    setKeyName(after, 0, "Zero");
    after.KeypadLines[0] = 0x11;
    EXPECT_FALSE(keyboardWindowNeedsRebuild(s, after));
    after.KeyToggle[1] = 0x01;
    EXPECT_TRUE(keyboardWindowNeedsRebuild(s, after));
    after = s;
    after.KeypadType = 2;
    EXPECT_TRUE(keyboardWindowNeedsRebuild(s, after));
}

// The IIC and SPI dialogs: cleaning of stored garbage, and Cancel.
TEST(BusSettings, CleaningAndCancel) {
    IicSettings iic;
    iic.EepromType = 9; // cleaned to AT24C01
    iic.IicScl = 0x9E;
    cleanIicSettings(iic);
    EXPECT_EQ(iic.EepromType, 0);
    EXPECT_EQ(iic.IicScl, 0x16);

    SpiSettings opened;
    opened.SpiLines = {0x10, 0x11, 0x12};
    SpiSettings s = opened;
    s.SpiOptions = kSpiEnableBus | kSpiFourWire;
    s.SpiLines = {0x30, 0x31, 0x32};
    s.SpiEepromOptions = kSpiEepromTypeMask; // type 3: no such type
    cancelSpiBusDialog(s, opened);
    EXPECT_EQ(s.SpiOptions, opened.SpiOptions);
    EXPECT_EQ(s.SpiLines, opened.SpiLines); // the third line too
    cleanSpiSettings(s);
    EXPECT_EQ(s.SpiEepromOptions & kSpiEepromTypeMask, 0);
}

} // namespace
