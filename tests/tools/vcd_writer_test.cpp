// The value change dump's timescale: every machine cycle on a whole number
// of units where one exists, else picoseconds rounded from the cycle count
// without overflow on long runs.
#include "tools/vcd_writer.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(VcdWriter, TimescaleFromTheClock) {
    const struct {
        uint32_t hz;
        const char* unit;
        uint64_t unitsPerCycle; // 0: rounded picoseconds
    } cases[] = {{12000000, "1 us", 1}, {3000000, "1 us", 4},    {24000000, "100 ns", 5},
                 {16000000, "10 ns", 75}, {11059200, "1 ps", 0}, {33000000, "1 ps", 0}};
    for (const auto& c : cases) {
        const VcdTimescale scale = vcdTimescale(c.hz);
        EXPECT_EQ(scale.unit + "/" + std::to_string(scale.unitsPerCycle),
                  c.unit + ("/" + std::to_string(c.unitsPerCycle))) << c.hz;
        EXPECT_EQ(scale.exact, c.unitsPerCycle != 0) << c.hz;
    }

    VcdOptions o;
    o.lines = {8};
    // 10^9 cycles at 11.0592 MHz: 1085069444444444.4 ps.
    o.frequencyHz = 11059200;
    o.endCycle = 1000000000;
    EXPECT_TRUE(vcdText(o, std::vector<LineChange>{{1, 0}}).ends_with("#1085069444444444\n"));
}
