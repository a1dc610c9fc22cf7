// Whatever a settings file or a dialog left in the module settings, the
// models stay inside their buffers (run under the address sanitizer build to
// catch any stray index).
#include "core/machine.h"
#include "modules/module_hooks.h"

#include <gtest/gtest.h>

#include <random>

using namespace quorvel;

TEST(ModuleBounds, ArbitrarySettingsAndLatchesStayInBounds) {
    std::mt19937 random(7);
    auto byte = [&] { return uint8_t(random()); };
    Machine m;
    DeviceSelection selection;
    selection.kind = DeviceKind::AT89C52;
    configureMachine(m, selection);

    for (int round = 0; round < 200; ++round) {
        ModuleSettings& s = m.modules.settings;
        for (PinRef& ref : s.LedLines) ref = byte();
        for (PinRef& ref : s.LcdPins) ref = byte();
        for (PinRef& ref : s.KeypadLines) ref = byte();
        s.LedOptions = byte();
        s.LedDigitCount = byte();
        s.LedSevenSegment = 1;
        s.LcdOptions = byte();
        s.KeypadType = byte();
        m.modules.keypad.windowOpen = true;

        for (int i = 0; i < 500; ++i) {
            for (uint8_t port : {sfr::P0, sfr::P1, sfr::P2, sfr::P3}) m.chip.sfr(port) = byte();
            runModuleHooks(m, 1 + int(random() % 4));
            if (i % 50 == 0) {
                keypadTick(m.modules.keypad, s, m.chip.pins, m.chip.portLatches(),
                           int(random() % 40) - 4);
                LedEvaluation e =
                    evaluateLeds(s, m.chip.portLatches(), m.modules.ledDigitMemory, true);
                ASSERT_LE(e.digitCount, kLedMaxDigits);
            }
        }
        ASSERT_LE(m.modules.lcd.addressCounter, 0x7F);
        for (int row = 0; row < 4; ++row)
            EXPECT_LE(lcdRowText(m.modules.lcd, s.LcdOptions, row).size(), 20u);
        (void)ledSummaryLines(s);
        (void)keypadSummaryLines(s);
    }
}
