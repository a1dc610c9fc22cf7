// Point LEDs and a row of seven-segment digits on port lines.
//
// Lines: any port line may carry a point LED (`LedConnected`, lit at the level
// chosen by `LedActiveHigh`); the digits use `LedLines`, laid out by one of
// six wirings (multiplexed or not, segment or BCD input, digit selection by
// port lines or by an external 2-to-4, 3-to-8 or 4-to-16 decoder). Lines may
// be tied to "+5V" (reads 1) or "GND" (reads 0).
//
// Timing: none. There is no per-instruction hook: the window evaluates the
// port output latches each time it paints. For multiplexed displays it keeps
// each digit's last pattern while selected (`LedDigitMemory`), shown for the
// unselected digits during a free run so that all digits stay visible.
//
// Not modelled: brightness, persistence of vision, ghosting, the input pins
// (an LED only looks at the output latches).
//
// Threads: painting, on the user-interface thread (reads the latches the
// simulation thread publishes).
#pragma once

#include "modules/module_settings.h"

#include <array>
#include <cstdint>

namespace quorvel {

// Segment pattern bits: bit 0 a ... bit 6 g, bit 7 dp; a set bit is lit.
using SegmentPattern = uint8_t;
using LedDigitMemory = std::array<SegmentPattern, kLedMaxDigits>;

// BCD decoder shapes for codes 0-15 (10-14 the usual decoder shapes, 15 blank).
extern const std::array<SegmentPattern, 16> kBcdSegments;

struct LedEvaluation {
    uint32_t pointConnected = 0; // bit n: an LED sits on pin index n
    uint32_t pointLit = 0;       // bit n: that LED is lit
    int digitCount = 0;          // digits to draw (0 without a seven-segment display)
    std::array<SegmentPattern, kLedMaxDigits> digits{};
};

// What the window shows for the given latches. Updates `memory` for the
// selected digit of a multiplexed display; `freeRun` tells whether a run is
// in progress, in which case unselected digits keep their remembered pattern
// (otherwise they are dark).
LedEvaluation evaluateLeds(const ModuleSettings& settings, uint32_t latches,
                           LedDigitMemory& memory, bool freeRun);

} // namespace quorvel
