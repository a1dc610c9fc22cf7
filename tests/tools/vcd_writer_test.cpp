// The value change dump's timescale: every machine cycle on a whole number
// of units where one exists, else picoseconds rounded from the cycle count
// without overflow on long runs; a run whose times would not fit in 64 bits
// in that unit is written in the finest unit in which they do.
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

    const struct {
        uint32_t hz;
        uint64_t endCycle;
        const char* timescale;
        const char* end; // the last time
    } runs[] = {
        {11059200, 1000000000, "1 ps", "#1085069444444444\n"}, // 1085069444444444.4 ps
        {12000000, UINT64_MAX, "1 us", "#18446744073709551615\n"},
        {7, 1000000000, "100 ps", "#17142857142857142857\n"}, // 12/7 s a cycle
        {1, 2000000000000, "10 us", "#2400000000000000000\n"}, // 12 s, 1.2 * 10^7 us a cycle
        {1, UINT64_MAX, "100 s", "#2213609288845146194\n"},
    };
    for (const auto& r : runs) {
        VcdOptions o;
        o.lines = {8};
        o.frequencyHz = r.hz;
        o.endCycle = r.endCycle;
        const std::string vcd = vcdText(o, std::vector<LineChange>{{1, 0}});
        EXPECT_NE(vcd.find(std::string("$timescale ") + r.timescale + " $end"), std::string::npos) << vcd;
        EXPECT_TRUE(vcd.ends_with(r.end)) << vcd;
    }
}
