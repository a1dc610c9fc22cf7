#include "modules/wave_trace.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvel {
namespace {

// P1.0 (pin 8) high at 10, low at 30, high again at 30 (two entries at one
// cycle: the later wins), P1.1 (pin 9) high from 50.
const std::vector<LineChange> kChanges = {
    {10, 0x100}, {30, 0x000}, {30, 0x100}, {50, 0x300}};

TEST(WaveTrace, LevelsAtCycles) {
    struct Case {
        uint64_t cycle;
        int pin;
        long entry;
        int level;
    };
    const Case cases[] = {
        {0, 8, -1, -1}, {9, 8, -1, -1}, {10, 8, 0, 1}, {29, 8, 0, 1}, {30, 8, 2, 1},
        {49, 9, 2, 0},  {50, 9, 3, 1},  {9999, 8, 3, 1}, {9999, 0, 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "cycle " << c.cycle << " pin " << c.pin);
        EXPECT_EQ(entryAt(kChanges, c.cycle), c.entry);
        EXPECT_EQ(levelAt(kChanges, c.cycle, c.pin), c.level);
    }
    EXPECT_EQ(levelAt({}, 5, 8), -1);
}

TEST(WaveTrace, CycleTimes) {
    struct Case {
        uint64_t cycles;
        uint32_t hz;
        const char* text;
    };
    const Case cases[] = {
        {0, 12000000, "0 s"},          {1, 12000000, "1 \xC2\xB5s"},
        {250000, 12000000, "250 ms"},  {1500, 12000000, "1.5 ms"},
        {3000000, 12000000, "3 s"},    {1, 11059200, "1.085 \xC2\xB5s"},
        {1, 24000000, "500 ns"},       {999, 12000000, "999 \xC2\xB5s"},
    };
    for (const Case& c : cases) EXPECT_EQ(cycleTimeText(c.cycles, c.hz), c.text) << c.cycles;
}

TEST(WaveTrace, AxisSteps) {
    struct Case {
        double cyclesPerPixel;
        int minPixels;
        uint64_t step;
    };
    const Case cases[] = {
        {0.01, 80, 1}, {0.1, 80, 10}, {1, 80, 100}, {1.3, 80, 200}, {3, 80, 500}, {1000, 100, 100000},
    };
    for (const Case& c : cases) EXPECT_EQ(axisStep(c.cyclesPerPixel, c.minPixels), c.step) << c.cyclesPerPixel;
}

} // namespace
} // namespace quorvel
