// The three projects of the Demo menu, loaded as the menu loads them on
// every device offering them and run at 12 MHz: the two sequencers are
// watched over a whole cycle of their eight channels, the programmable timer
// is driven through its keypad.
#include "demo_support.h"

#include "machine/executor.h"
#include "modules/keys.h"
#include "modules/lcd_controller.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace quorvel;
using namespace demotest;

namespace {

constexpr uint32_t kSecond = 1000000; // machine cycles at 12 MHz
constexpr uint32_t kMs = 1000;

// ---------------------------------------------------------------- sequencers

// The channel times of the table DURATIONS in Project1.asm and Project2.asm,
// in seconds, channels 1 to 8.
const std::vector<int> kDurations{2, 3, 1, 4, 2, 10, 1, 3};

// What the sequencer should show `elapsed` cycles after channel 1 first came
// on: the channel (1-8) and the seconds it has left.
struct SequencerState {
    int channel;
    int secondsLeft;
};
SequencerState expectedAt(uint32_t elapsed) {
    uint32_t second = elapsed / kSecond;
    for (;;) {
        for (size_t c = 0; c < kDurations.size(); ++c) {
            if (second < uint32_t(kDurations[c])) return {int(c) + 1, kDurations[c] - int(second)};
            second -= uint32_t(kDurations[c]);
        }
    }
}

struct ChannelChange {
    uint32_t cycle;
    uint8_t lit; // point LEDs lit on P1
};

// Runs a sequencer for one whole cycle of its channels and a second and a
// half of the next (channel 1 again, for less than its time), recording every change of the channel LEDs; `sample` is called
// in the middle of every second after channel 1 came on, with what the
// display should show then.
std::vector<ChannelChange> runSequencer(Machine& machine,
                                        const std::function<void()>& eachInstruction,
                                        const std::function<void(SequencerState)>& sample) {
    std::vector<ChannelChange> changes;
    uint8_t lit = litOnP1(machine);
    uint32_t nextSample = 0;
    uint32_t total = 0;
    for (int d : kDurations) total += uint32_t(d) * kSecond;
    const bool ran = runCycles(machine, total + kSecond + kSecond / 2, [&] {
        eachInstruction();
        const uint8_t now = litOnP1(machine);
        if (now != lit) {
            changes.push_back({machine.chip.cycles, now});
            if (changes.size() == 1) nextSample = machine.chip.cycles + kSecond / 2;
            lit = now;
        }
        if (!changes.empty() && machine.chip.cycles >= nextSample) {
            sample(expectedAt(machine.chip.cycles - changes.front().cycle));
            nextSample += kSecond;
        }
    });
    EXPECT_TRUE(ran) << "the program left program memory";
    return changes;
}

// One channel at a time, 1 to 8 and then 1 again, each lit for its time
// from the table (within a millisecond, the refresh tick).
void expectSequence(const std::vector<ChannelChange>& changes, double cycleTimeUs) {
    ASSERT_EQ(changes.size(), kDurations.size() + 1) << "eight channels, then channel 1 again";
    EXPECT_LT(changes.front().cycle, 100 * kMs) << "channel 1 comes on at start-up";
    for (size_t i = 0; i < changes.size(); ++i) {
        const size_t channel = i % kDurations.size();
        EXPECT_EQ(changes[i].lit, 1u << channel) << "change " << i;
        if (i == 0) continue;
        const double ms = (changes[i].cycle - changes[i - 1].cycle) * cycleTimeUs / 1000.0;
        EXPECT_NEAR(ms, kDurations[i - 1] * 1000.0, 1.0) << "channel " << i;
    }
}

std::string twoDigits(int value) {
    return std::string(1, char('0' + value / 10)) + char('0' + value % 10);
}

// Both sequencers show the channel and the seconds it has left: Project 1
// on three digits ("3.01"), Project 2 on the LCD's two lines.
TEST(Projects, SequencersShowTheChannelAndTheSecondsLeft) {
    for (int project : {1, 2}) {
        forEachDevice(11 + project, "Project" + std::to_string(project), [&](Machine& machine) {
            LedDigitMemory memory{};
            const uint8_t options = machine.modules.settings.LcdOptions;
            auto shown = [&] {
                if (project == 1) return digitsText(leds(machine, memory));
                return lcdRowText(machine.modules.lcd, options, 0) + "|" +
                       lcdRowText(machine.modules.lcd, options, 1);
            };
            auto wanted = [&](SequencerState s) {
                const std::string left = twoDigits(s.secondsLeft);
                return project == 1 ? std::to_string(s.channel) + "." + left
                                    : "Channel " + std::to_string(s.channel) + " ON    |Time left " + left + " s  ";
            };
            int samples = 0;
            const auto changes = runSequencer(
                machine,
                [&] {
                    if (project == 1) leds(machine, memory); // as the window paints
                },
                [&](SequencerState expected) {
                    ++samples;
                    EXPECT_EQ(shown(), wanted(expected)) << "at " << machine.chip.cycles / 1000 << " ms";
                });
            expectSequence(changes, machine.chip.cycleTimeUs);
            EXPECT_GE(samples, 27);
        });
    }
}

// ---------------------------------------------------------------- timer

// Project 3 with the keyboard window open: key presses on the keypad, the
// timer output on P1.7 (on while its LED is lit) and the LCD.
class TimerBench {
public:
    explicit TimerBench(Machine& machine) : machine_(machine) {
        machine_.modules.keypad.windowOpen = true;
    }

    // Holds `key` ("0"-"9", "*", "#") for 30 ms and releases it for 30 ms,
    // with the window's 10 ms keypad ticks.
    void press(char key) {
        const std::string names = "123456789*0#";
        const int number = int(names.find(key));
        ASSERT_GE(number, 0);
        ticks(number, 3);
        ticks(kNoKeyHeld, 3);
        keypadRelease(machine_.modules.keypad);
    }
    void type(const std::string& keys) {
        for (char key : keys) press(key);
    }
    // Runs with no key held.
    void wait(uint32_t ms) { ticks(kNoKeyHeld, int(ms / 10)); }

    bool outputOn() { return litOnP1(machine_) & 0x80; }
    std::string line(int row) {
        return lcdRowText(machine_.modules.lcd, machine_.modules.settings.LcdOptions, row);
    }
    // When the output last came on and went off (machine cycles).
    uint32_t onAt = 0, offAt = 0;
    bool ran = true;

private:
    void ticks(int key, int count) {
        for (int t = 0; t < count; ++t) {
            keypadTick(machine_.modules.keypad, machine_.modules.settings, machine_.chip.pins,
                       machine_.chip.portLatches(), key);
            ran = ran && runCycles(machine_, 10 * kMs, [&] {
                const bool on = outputOn();
                if (on != was_) (on ? onAt : offAt) = machine_.chip.cycles;
                was_ = on;
            });
        }
    }

    Machine& machine_;
    bool was_ = false;
};

TEST(Project3, KeyedTimeDrivesTheOutputWhileTheLcdCountsDown) {
    forEachDevice(14, "Project3", [&](Machine& machine) {
        TimerBench bench(machine);

        bench.wait(100);
        EXPECT_EQ(bench.line(0), "Set Time: 000 s ");
        EXPECT_EQ(bench.line(1), "#:Start *:Clear ");
        EXPECT_FALSE(bench.outputOn());

        bench.type("12");
        EXPECT_EQ(bench.line(0), "Set Time: 012 s ");
        EXPECT_FALSE(bench.outputOn()) << "nothing runs before #";

        bench.press('#');
        EXPECT_EQ(bench.line(0), "Output ON       ");
        // Mid-second readings of the countdown: 12 s left in the first second.
        bench.wait(440);
        for (int left = 12; left >= 1; --left) {
            EXPECT_EQ(bench.line(1), "Time Left 0" + twoDigits(left) + " s ") << left;
            EXPECT_TRUE(bench.outputOn()) << left;
            bench.wait(1000);
        }
        EXPECT_FALSE(bench.outputOn());
        EXPECT_EQ(bench.line(0), "Time Over       ");
        EXPECT_EQ(bench.line(1), "Output OFF      ");
        const double ms = (bench.offAt - bench.onAt) * machine.chip.cycleTimeUs / 1000.0;
        EXPECT_NEAR(ms, 12000.0, 1.0) << "the output is on for the time keyed";

        EXPECT_TRUE(bench.ran);
    });
}

TEST(Project3, EditingStoppingAndRunningAgain) {
    forEachDevice(14, "Project3", [&](Machine& machine) {
        TimerBench bench(machine);
        bench.wait(100);

        bench.type("1234");
        EXPECT_EQ(bench.line(0), "Set Time: 234 s ") << "the oldest digit drops out";
        bench.type("*#");
        EXPECT_EQ(bench.line(0), "Set Time: 000 s ");
        EXPECT_FALSE(bench.outputOn()) << "a time of 000 does not start";

        bench.type("5#9#");
        EXPECT_EQ(bench.line(1), "Time Left 005 s ") << "digits and # do nothing while running";
        bench.wait(2000);
        EXPECT_EQ(bench.line(1), "Time Left 003 s ");
        bench.press('*');
        EXPECT_FALSE(bench.outputOn()) << "* stops the timer early";
        EXPECT_EQ(bench.line(0), "Timer Stopped   ");

        bench.press('#');
        EXPECT_EQ(bench.line(1), "Time Left 005 s ") << "# runs the last time again";
        bench.wait(5000);
        EXPECT_FALSE(bench.outputOn());
        EXPECT_NEAR((bench.offAt - bench.onAt) * machine.chip.cycleTimeUs / 1000.0, 5000.0, 1.0);

        bench.press('3');
        EXPECT_EQ(bench.line(0), "Set Time: 003 s ") << "a digit after the end begins a new time";
        EXPECT_EQ(bench.line(1), "#:Start *:Clear ");
        EXPECT_TRUE(bench.ran);
    });
}

} // namespace
