// The value change dump: the timescale puts every machine cycle on a whole
// number of units where one exists and rounds picoseconds from the cycle
// count otherwise (without overflow on long runs); the dump declares the
// chosen lines in their order, writes only their changes, and never lets
// time go back.
#include "tools/vcd_writer.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(VcdWriter, TimescaleFromTheClock) {
    const struct {
        uint32_t hz;
        const char* unit;
        uint64_t unitsPerCycle;
        bool exact;
    } cases[] = {
        {12000000, "1 us", 1, true},   {3000000, "1 us", 4, true},
        {24000000, "100 ns", 5, true}, {16000000, "10 ns", 75, true},
        {11059200, "1 ps", 0, false},  {33000000, "1 ps", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hz);
        const VcdTimescale scale = vcdTimescale(c.hz);
        EXPECT_EQ(scale.unit, c.unit);
        EXPECT_EQ(scale.unitsPerCycle, c.unitsPerCycle);
        EXPECT_EQ(scale.exact, c.exact);
    }
}

TEST(VcdWriter, ChosenLinesChangesOnlyInGrowingTime) {
    VcdOptions o;
    o.frequencyHz = 24000000;
    o.lines = {25, 8}; // P3.1, P1.0
    o.date = "today";
    o.version = "test";
    o.endCycle = 40;
    const uint32_t p10 = 1u << 8, txd = 1u << 25;
    const std::vector<LineChange> changes{
        {2, p10 | txd},
        {3, txd},       // P1.0 falls
        {5, txd | 1u},  // P0.0 only: not shown
        {9, p10},       // both move
        {7, p10 | txd}, // counter set back: written at the last time
    };
    EXPECT_EQ(vcdText(o, changes),
              "$date\n   today\n$end\n$version\n   test\n$end\n"
              "$comment\n   one machine cycle = 12 clock periods at 24000000 Hz = 5 x 100 ns\n$end\n"
              "$timescale 100 ns $end\n$scope module chip $end\n"
              "$var wire 1 ! P3_1 $end\n$var wire 1 \" P1_0 $end\n"
              "$upscope $end\n$enddefinitions $end\n"
              "#10\n$dumpvars\n1!\n1\"\n$end\n"
              "#15\n0\"\n#45\n0!\n1\"\n1!\n#200\n");

    // 10^9 cycles at 11.0592 MHz: 1085069444444444.4 ps.
    o.frequencyHz = 11059200;
    o.endCycle = 1000000000;
    const std::string text = vcdText(o, std::vector<LineChange>{{1, 0}});
    EXPECT_NE(text.find("#1085069\n$dumpvars"), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with("#1085069444444444\n")) << text;
}
