// Whatever a settings file or a dialog left in the module settings, the
// models stay inside their buffers (run under the address sanitizer build to
// catch any stray index).
#include "machine/module_hooks.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

using namespace quorvel;

TEST(ModuleBounds, ArbitrarySettingsAndLatchesStayInBounds) {
    std::mt19937 random(7);
    auto byte = [&] { return uint8_t(random()); };
    Machine m = support::makeMachine();

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

// The executor skips the hooks when moduleHooksIdle says they would change
// nothing: with random LCD wiring, latches, busy countdowns and the other
// models switched on now and then, running the hooks in such a state must
// leave the LCD and the pins as they were.
TEST(ModuleBounds, IdleHooksChangeNothing) {
    std::mt19937 random(11);
    auto byte = [&] { return uint8_t(random()); };
    Machine m = support::makeMachine();
    ModuleSettings& s = m.modules.settings;
    int idleSeen = 0, busySeen = 0;
    for (int round = 0; round < 100; ++round) {
        for (PinRef& ref : s.LcdPins) ref = uint8_t(byte() % 0x44); // port lines, +5V, GND
        s.iic.IicOptions = random() % 8 == 0 ? kIicEnableBus : 0;
        s.spi.SpiOptions = random() % 8 == 0 ? kSpiEnableBus : 0;
        m.modules.keypad.windowOpen = random() % 4 == 0;
        m.modules.keypad.KeypadPressed = random() % 2;
        for (PinRef& ref : s.KeypadLines) ref = uint8_t(byte() & 0x37);
        // The per-batch form of the same check, kept up to date as runSteps
        // keeps it.
        ModuleHookWatch watch(m);
        for (int i = 0; i < 300; ++i) {
            // Mostly unchanged latches, so that idle states are common.
            if (random() % 4 == 0)
                for (uint8_t port : {sfr::P0, sfr::P1, sfr::P2, sfr::P3})
                    m.chip.sfr(port) = byte();
            if (random() % 50 == 0) {
                m.modules.lcd.busyCounter = int32_t(random() % 5) - 1;
                watch.refresh(m);
            }
            const int cycles = 1 + int(random() % 4);
            Machine before = m;
            const bool idle = moduleHooksIdle(m);
            ASSERT_EQ(watch.idle(), idle);
            runModuleHooks(m, cycles);
            watch.refresh(m);
            if (!idle) {
                ++busySeen;
                continue;
            }
            ++idleSeen;
            const auto lcd = [](const Machine& x) {
                const LcdController& l = x.modules.lcd;
                return std::tie(l.displayMemory, l.cgMemory, l.addressCounter, l.cgAddress, l.displayShift,
                                l.LcdDisplayFlags, l.LcdFunctionFlags, l.busyCounter, l.eWasHigh,
                                l.instructionByte, l.dataByte, l.changeCount);
            };
            ASSERT_EQ(lcd(before), lcd(m));
            ASSERT_EQ(before.chip.pins.levels, m.chip.pins.levels);
            ASSERT_EQ(before.chip.portLatches(), m.chip.portLatches());
        }
    }
    EXPECT_GT(idleSeen, 1000);
    EXPECT_GT(busySeen, 1000);
}
