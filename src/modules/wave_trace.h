// What a logic-analyser display reads off a recording of the port lines
// (entries of chip/line_change.h, oldest first): a line's level at a cycle,
// the time of a cycle count at a clock, and the spacing of the time axis.
#pragma once

#include "chip/line_change.h"

#include <cstdint>
#include <span>
#include <string>

namespace quorvel {

// Index of the last entry at or before `cycle` (entries in recording order,
// cycle times not falling), or -1 when every entry is later.
long entryAt(std::span<const LineChange> changes, uint64_t cycle);

// The level (0 or 1) of pin `pin` at `cycle`; -1 before the first entry.
int levelAt(std::span<const LineChange> changes, uint64_t cycle, int pin);

// The time `cycles` machine cycles (12 oscillator periods each) take at
// `frequencyHz`, in the largest of s, ms, µs and ns that keeps the number at
// least 1 (0 is "0 s"), with at most three decimals and no trailing zeros:
// "250 ms", "1.085 µs". UTF-8.
std::string cycleTimeText(uint64_t cycles, uint32_t frequencyHz);

// The distance between labelled ticks of a time axis in machine cycles: the
// smallest of 1, 2, 5, 10, 20, 50 ... that is at least `minPixels` wide at
// `cyclesPerPixel`.
uint64_t axisStep(double cyclesPerPixel, int minPixels);

} // namespace quorvel
