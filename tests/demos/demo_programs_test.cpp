// Each demonstration loaded as the Demo menu loads it, on every device whose
// menu offers it, run for a stretch of simulated time at 12 MHz with the
// inputs it expects, and judged by what its parts show.
#include "demo_support.h"

#include "machine/executor.h"
#include "modules/iic_bus.h"
#include "modules/keys.h"
#include "modules/lcd_controller.h"
#include "modules/serial_host.h"
#include "modules/spi_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quorvel;
using namespace demotest;

namespace {

constexpr int kP1 = 8;  // pin index of P1.0
constexpr int kP3 = 24; // pin index of P3.0

TEST(Demo1, PointLedFlashesWithAHalfSecondPeriod) {
    forEachDevice(1, "Demo1", [&](Machine& machine) {
        std::vector<uint32_t> changes;
        bool lit = litOnP1(machine) & 1;
        ASSERT_TRUE(runCycles(machine, 1300000, [&] {
            const bool now = litOnP1(machine) & 1;
            if (now != lit) changes.push_back(machine.chip.cycles);
            lit = now;
        }));
        // Lit at once, then a change every 250 ms: six changes in 1.3 s.
        ASSERT_EQ(changes.size(), 6u);
        EXPECT_LT(changes[0], 10u);
        for (size_t i = 1; i < changes.size(); ++i) {
            const double ms = (changes[i] - changes[i - 1]) * machine.chip.cycleTimeUs / 1000.0;
            EXPECT_NEAR(ms, 250.0, 2.5);
        }
        EXPECT_FALSE(lit) << "the sixth change darkens it";
    });
}

TEST(Demo2, TwoDigitsCountUpEveryHalfSecond) {
    forEachDevice(2, "Demo2", [&](Machine& machine) {
        LedDigitMemory memory{};
        std::vector<int> shown;
        std::vector<uint32_t> when;
        uint32_t next = 0;
        ASSERT_TRUE(runCycles(machine, 2600000, [&] {
            const LedEvaluation e = leds(machine, memory); // as the window paints
            if (machine.chip.cycles < next) return;
            next = machine.chip.cycles + 5000;
            ASSERT_EQ(e.digitCount, 2);
            const int tens = digitOf(e.digits[0]), units = digitOf(e.digits[1]);
            if (tens < 0 || units < 0) return; // a select changing this instant
            const int value = tens * 10 + units;
            if (shown.empty() || shown.back() != value) {
                shown.push_back(value);
                when.push_back(machine.chip.cycles);
            }
        }));
        EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 3, 4, 5}));
        for (size_t i = 2; i < when.size(); ++i)
            EXPECT_NEAR((when[i] - when[i - 1]) / 1000.0, 504.0, 10.0) << "ms per count";
    });
}

TEST(Demo3, FourLineMessageOnTheLcd) {
    const std::vector<std::string> expected{"  Quorvel Simulator ", " 8051 Family Demo 3 ",
                                            "4 Lines X 20 Chars  ", "LCD Module Message  "};
    forEachDevice(3, "Demo3", [&](Machine& loaded) {
        // Reset CPU does not reset the LCD: a program run before may have
        // left it in 4-bit mode, and the demo's start-up brings it to 8 bits.
        for (bool leftIn4Bits : {false, true}) {
            SCOPED_TRACE(leftIn4Bits ? "LCD left in 4-bit mode" : "LCD as at power-on");
            Machine machine = loaded;
            if (leftIn4Bits) machine.modules.lcd.LcdFunctionFlags = kLcdTwoLines;
            const uint8_t options = machine.modules.settings.LcdOptions;
            ASSERT_TRUE(runCycles(machine, 120000));
            for (int row = 0; row < 4; ++row)
                EXPECT_EQ(lcdRowText(machine.modules.lcd, options, row), expected[size_t(row)])
                    << "row " << row;
            EXPECT_TRUE(machine.modules.lcd.LcdDisplayFlags & kLcdDisplayOn);
            EXPECT_FALSE(machine.modules.lcd.LcdDisplayFlags & kLcdCursor);
        }
    });
}

TEST(Demo4, SwitchesShowOnTheLeds) {
    forEachDevice(4, "Demo4", [&](Machine& machine) {
        const ModuleSettings& settings = machine.modules.settings;
        const uint32_t available = machine.profile.availablePinMask;
        // The keyboard window's 10 ms tick, with the push button (P3.2) held
        // or not; the switch is on P3.3.
        auto run = [&](bool held) {
            for (int tick = 0; tick < 3; ++tick) {
                momentaryKeysTick(settings, machine.chip.pins, available, held ? 1u << (kP3 + 2) : 0);
                ASSERT_TRUE(runCycles(machine, 10000));
            }
        };
        run(false);
        EXPECT_EQ(litOnP1(machine), 0x02) << "the switch's line unconnected reads 1";
        machine.chip.pins.setSetting(kP3 + 3, kInput0);
        machine.chip.pins.setLevel(kP3 + 3, false);
        run(false);
        EXPECT_EQ(litOnP1(machine), 0x00) << "button up, switch at 0";
        run(true);
        run(true);
        EXPECT_EQ(litOnP1(machine), 0x05) << "LED 1 while held; LED 3 changed once at the press";
        run(false);
        EXPECT_EQ(litOnP1(machine), 0x04) << "LED 1 off again, LED 3 stays";

        EXPECT_TRUE(clickToggleKey(machine.chip.pins, kP3 + 3));
        run(false);
        EXPECT_EQ(litOnP1(machine), 0x06) << "switch at 1 lights LED 2";
        run(true);
        run(false);
        EXPECT_EQ(litOnP1(machine), 0x02) << "second press: LED 3 off";
    });
}

TEST(Demo5, KeyPressedShowsOnTheDigit) {
    forEachDevice(5, "Demo5", [&](Machine& machine) {
        const ModuleSettings& settings = machine.modules.settings;
        machine.modules.keypad.windowOpen = true;
        // The keyboard window's 10 ms ticks with `key` held (or none).
        auto hold = [&](int key) {
            for (int tick = 0; tick < 3; ++tick) {
                keypadTick(machine.modules.keypad, settings, machine.chip.pins,
                           machine.chip.portLatches(), key);
                ASSERT_TRUE(runCycles(machine, 10000));
            }
            if (key == kNoKeyHeld) keypadRelease(machine.modules.keypad);
        };
        LedDigitMemory memory{};
        hold(kNoKeyHeld);
        ASSERT_EQ(leds(machine, memory).digitCount, 1);
        EXPECT_EQ(leds(machine, memory).digits[0], 0) << "dark before the first key";
        // Key k is row k / 3, column k % 3: "1" ... "9", "*", "0", "#".
        const int shows[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, -1, 0, -1};
        for (int key : {4, 0, 8, 10}) {
            hold(key);
            EXPECT_EQ(digitOf(leds(machine, memory).digits[0]), shows[key]) << "key " << key;
            hold(kNoKeyHeld);
            EXPECT_EQ(digitOf(leds(machine, memory).digits[0]), shows[key]) << "kept after release";
        }
        hold(9);
        EXPECT_EQ(leds(machine, memory).digits[0], 0x40) << "* shows a minus sign";
        hold(11);
        EXPECT_EQ(leds(machine, memory).digits[0], 0x76) << "# shows H";
    });
}

TEST(Demo6, ClockTimeOnSixDigits) {
    forEachDevice(6, "Demo6", [&](Machine& machine) {
        IicState& iic = machine.modules.iic;
        const IicSettings& settings = machine.modules.settings.iic;
        LocalTime now;
        now.hour = 12, now.minute = 34, now.second = 56;
        ASSERT_TRUE(rtcTick(iic.rtc, settings, now)) << "the clock takes the computer's time";
        LedDigitMemory memory{};
        ASSERT_TRUE(runCycles(machine, 30000, [&] { leds(machine, memory); }));
        EXPECT_EQ(digitsText(leds(machine, memory)), "12.34.56");

        now.hour = 9, now.minute = 5, now.second = 7;
        ASSERT_TRUE(rtcTick(iic.rtc, settings, now));
        ASSERT_TRUE(runCycles(machine, 30000, [&] { leds(machine, memory); }));
        EXPECT_EQ(digitsText(leds(machine, memory)), "09.05.07");
    });
}

std::string transmitted(const Machine& machine) {
    std::string text;
    const SerialLog& log = machine.chip.periph.serial.txLog;
    for (int i = 0; i < log.size(); ++i) text += char(log.at(i) & 0xFF);
    return text;
}

TEST(Demo7, GreetingThenEcho) {
    const std::string greeting = "Quorvel Simulator Serial Port Demo\r\n"
                                 "Send a character and it comes back.\r\n";
    forEachDevice(7, "Demo7", [&](Machine& machine) {
        // 73 characters of 10 bits at 2404 baud: about 0.3 s.
        ASSERT_TRUE(runCycles(machine, 350000));
        EXPECT_EQ(transmitted(machine), greeting);

        for (const char* byte : {"41", "7a"}) {
            EXPECT_FALSE(pressSerialSend(machine.modules.serialHost, machine.modules.settings.serialHost,
                                         machine.chip, byte));
            ASSERT_TRUE(runCycles(machine, 10000));
        }
        EXPECT_EQ(transmitted(machine), greeting + "Az");
    });
}

TEST(Demo8, SpiMasterSendsTextThenACount) {
    const std::string text = "Quorvel SPI Demo";
    forEachDevice(8, "Demo8", [&](Machine& machine) {
        ChipState& chip = machine.chip;
        ASSERT_FALSE(pressSpiWindowButton(chip, "a5").message) << "the slave's byte";
        ASSERT_TRUE(runCycles(machine, 20000));
        const SpiLog& sent = chip.periph.spi.txLog;
        ASSERT_GE(sent.size(), int(text.size()) + 1);
        std::string head;
        for (size_t i = 0; i < text.size(); ++i) head += char(sent.at(int(i)));
        EXPECT_EQ(head, text);
        EXPECT_EQ(sent.at(int(text.size())), 0x00) << "the count starts at 00H";
        LedDigitMemory memory{};
        EXPECT_EQ(leds(machine, memory).pointLit >> 16 & 0xFF, 0xA5u);

        ASSERT_FALSE(pressSpiWindowButton(chip, "3c").message);
        ASSERT_TRUE(runCycles(machine, 300000)); // three more counts, 100 ms apart
        ASSERT_EQ(sent.size(), int(text.size()) + 4);
        for (int n = 1; n < 4; ++n) EXPECT_EQ(sent.at(int(text.size()) + n), n);
        EXPECT_EQ(leds(machine, memory).pointLit >> 16 & 0xFF, 0x3Cu);
    });
}

// The count shown on the eight LEDs of P1 after pulses of both kinds: the
// I/O window's pulse button and a pin switched 1 -> 0.
void countPulses(const char* name, int entry, uint8_t pulseRequest, int pin) {
    forEachDevice(entry, name, [&](Machine& machine) {
        PinState& pins = machine.chip.pins;
        pins.setSetting(pin, kInput1);
        pins.applySettings(machine.chip.portLatches());
        ASSERT_TRUE(runCycles(machine, 1000));
        EXPECT_EQ(litOnP1(machine), 0);
        for (int i = 0; i < 3; ++i) {
            pins.setSetting(pin, kInputPulse);
            pins.pulseRequests |= pulseRequest;
            ASSERT_TRUE(runCycles(machine, 200));
        }
        EXPECT_EQ(litOnP1(machine), 3);
        for (int i = 0; i < 4; ++i) {
            pins.setLevel(pin, true);
            ASSERT_TRUE(runCycles(machine, 100));
            pins.setLevel(pin, false);
            ASSERT_TRUE(runCycles(machine, 100));
        }
        ASSERT_TRUE(runCycles(machine, 2000));
        EXPECT_EQ(litOnP1(machine), 7) << "a low level counts once";
        for (int i = 0; i < 250; ++i) {
            pins.setLevel(pin, true);
            ASSERT_TRUE(runCycles(machine, 20));
            pins.setLevel(pin, false);
            ASSERT_TRUE(runCycles(machine, 20));
        }
        ASSERT_TRUE(runCycles(machine, 100));
        EXPECT_EQ(litOnP1(machine), uint8_t(257)) << "the count wraps at 256";
    });
}

TEST(Demo9, Int0PulsesCountedOnTheLeds) { countPulses("Demo9", 9, kPulseInt0, kP3 + 2); }

TEST(Demo10, Timer0CountsEventsOnT0) { countPulses("Demo10", 10, kPulseT0, kP3 + 4); }

TEST(Demo11, FillsInternalRam20To2F) {
    forEachDevice(11, "Demo11", [&](Machine& machine) {
        machine.chip.iram.fill(0xAA);
        ASSERT_TRUE(runCycles(machine, 200));
        for (int i = 0; i < 16; ++i) EXPECT_EQ(machine.chip.iram[size_t(0x20 + i)], i);
        EXPECT_EQ(machine.chip.iram[0x1F], 0xAA) << "nothing below the block";
        EXPECT_EQ(machine.chip.iram[0x30], 0xAA) << "nothing above the block";
        EXPECT_FALSE(machine.chip.hasXdata());
    });
}

} // namespace
