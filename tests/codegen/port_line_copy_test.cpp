// What the code-generation dialogs hand to the shared port-line dialog: a
// copy of the module settings carrying the record's wiring, whose edits go
// back into the record only; the SPI selection with its chip-enable entry;
// and the LED dialog's enabling rules.
#include "codegen/bus_codegen.h"
#include "codegen/keyboard_codegen.h"
#include "codegen/led_codegen.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(PortLineCopy, EditsReachTheRecordAndNeverTheModule) {
    ModuleSettings module;
    module.KeypadType = 2;
    module.KeypadLines[0] = 0x35;
    module.LedOptions = kLedBcd;
    module.LedDigitCount = 4;
    module.LedLines[0] = 0x37;
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
    EXPECT_EQ(copy.LedDigitCount, 3);
    EXPECT_EQ(copy.LedLines[0], 0x21);
    copy.LedLines[20] = 0x14;
    copy.LedDigitCount = 2;
    acceptLedPortLines(led, copy);
    EXPECT_EQ(led.lines[20], 0x14);
    EXPECT_EQ(led.digits, 2);

    EXPECT_EQ(module, before);
}

TEST(PortLineCopy, SpiSelectionEndsWithTheChipEnableLine) {
    SpiCodeGenSettings s;
    s.lines = {0x10, 0x11, 0x12};
    s.cs = 0x13;
    EXPECT_EQ(spiCodeGenControlLines(s), (std::vector<std::string>{"SCK", "SO&SI", "CS "}));
    EXPECT_EQ(spiCodeGenLine(s, 2), 0x13);
    setSpiCodeGenLine(s, 2, 0x27);
    EXPECT_EQ(s.cs, 0x27);
    EXPECT_EQ(s.lines[2], 0x12);
    s.bus = kSpiGenFourWire;
    EXPECT_EQ(spiCodeGenControlLines(s).size(), 4u);
    setSpiCodeGenLine(s, 2, 0x31);
    setSpiCodeGenLine(s, 3, 0x32);
    EXPECT_EQ(s.lines[2], 0x31);
    EXPECT_EQ(s.cs, 0x32);
    EXPECT_EQ(spiCodeGenSummaryLines(s).back(), "CS  - P3.2");
}

TEST(LedCodeGenEnablingRules, FollowTheWiringInUse) {
    const ModuleSettings module;
    struct Case {
        uint8_t configuration;
        uint8_t routines;
        // anode/cathode, external mux, decoder list, level, init, message, setting
        std::array<bool, 7> enabled;
    };
    const Case cases[] = {
        {0, kLedGenInit, {true, true, false, true, true, true, true}},
        {kLedExternalMux, kLedGenOneDigit, {true, true, true, false, true, true, false}},
        {kLedBcd, kLedGenInit, {false, true, false, true, true, false, true}},
        {kLedNonMultiplexed | kLedExternalMux, kLedGenInit, {true, false, false, false, false, true, false}},
    };
    for (const Case& c : cases) {
        LedCodeGenSettings s;
        s.configuration = c.configuration;
        s.routines = c.routines;
        const LedCodeGenEnabling e = ledCodeGenEnabling(s, module);
        EXPECT_EQ((std::array<bool, 7>{e.anodeCathode, e.externalMux, e.decoderList, e.selectLevel, e.init,
                                       e.message, e.setting}),
                  c.enabled)
            << int(c.configuration);
        EXPECT_TRUE(e.generate);
    }
    // "Use Same Setting": the module's display, which here is none.
    LedCodeGenSettings s;
    s.routines = kLedGenOneDigit;
    s.options = kLedGenSameAsSimulation;
    const LedCodeGenEnabling e = ledCodeGenEnabling(s, module);
    EXPECT_FALSE(e.displayControls || e.anodeCathode || e.generate);
    EXPECT_EQ(ledCodeGenCycleUs(s, 0.5), 0.5);
    s.options = 0;
    s.clockHz = 6000000;
    EXPECT_EQ(ledCodeGenCycleUs(s, 0.5), 2.0);
}
