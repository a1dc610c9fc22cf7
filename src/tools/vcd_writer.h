// Waveform export as a value change dump (the text format logic-analyser
// viewers such as GTKWave read): a header with the date, the writer's
// version and the timescale, one single-bit wire per chosen port line in a
// module scope named after the chip, the lines' levels at the first entry
// under $dumpvars, then "#time" lines each followed by the chosen lines that
// changed then. Entries in which no chosen line changed write nothing.
//
// Time: one machine cycle is 12 oscillator periods. The timescale is the
// coarsest of 1 us ... 1 fs in which a machine cycle is a whole number of
// units, so every edge lands exactly on its cycle's time (1 us at 12 MHz,
// one unit per cycle). A clock whose machine cycle is no whole number of
// femtoseconds (11.0592 MHz) is written in picoseconds, each time rounded
// to the nearest picosecond from the cycle count (the error never adds up).
// Times are 64-bit numbers: when the last time of the run would not fit (a
// slow clock, a long run), the finest unit from 1 ps to 100 s in which it
// fits is used, times rounded to it. A $comment in the header says how long
// a machine cycle is.
//
// A cycle time lower than the one before (the counter was set back between
// runs) is written at the previous time, since times in a dump only grow.
#pragma once

#include "chip/line_change.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quorvel {

struct VcdTimescale {
    std::string unit;          // "100 s", "10 s", ... "1 fs"
    uint64_t unitsPerCycle = 0; // exact: a cycle is this many units
    bool exact = true;          // false: times rounded to the unit
    uint64_t unitFemtoseconds = 0;
};

// The timescale for a clock of `frequencyHz` (above 0) in which the time of
// machine cycle `lastCycle` still fits in 64 bits.
VcdTimescale vcdTimescale(uint32_t frequencyHz, uint64_t lastCycle = 0);

struct VcdOptions {
    uint32_t frequencyHz = 12000000;
    std::vector<int> lines;   // pin indexes (P1.0 = 8), in the order declared
    std::string date;         // $date text
    std::string version;      // $version text
    std::string scope = "chip";
    uint64_t endCycle = 0;    // a last "#time" here, when above the last change,
                              // so a viewer shows the lines up to the end of the run
};

// The dump of `changes` (oldest first; empty gives the header alone).
std::string vcdText(const VcdOptions& options, std::span<const LineChange> changes);

// "P1_0": the wire name of a pin index (a dump's names cannot hold '.').
std::string vcdWireName(int pin);

} // namespace quorvel
