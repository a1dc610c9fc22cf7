// The interrupt system as the data book has it.
//
// Six sources, polled in this order within a priority level: INT0 (IE0),
// timer 0 (TF0), INT1 (IE1), timer 1 (TF1), the serial port (RI or TI, and
// on the AT89S parts the SPI flag with SPIE), timer 2 (TF2, or EXF2 while
// DCEN = 0). A source requests an interrupt while its flag is set - by the
// hardware or by the program - and its IE bit and EA are set; a request is
// high priority when its IP bit is set.
//
// Two levels can be in service: a high-priority handler blocks every
// request, a low-priority handler every other low-priority request; RETI
// ends the higher level in service. Vectoring pushes the program counter,
// jumps to the source's vector and takes two machine cycles; it clears IE0
// and IE1 when they are edge-triggered, and TF0 and TF1. An instruction that
// writes IE or IP, and RETI, lets one more instruction run before an
// interrupt is accepted; reads change nothing.
//
// Lines watched: INT0 = P3.2 and INT1 = P3.3 as the chip sees them (latch
// ANDed with the outside level): edge-triggered, a falling edge sets IE0/IE1
// whenever it comes; level-triggered, IE0/IE1 follow the inverted line. Like
// the timers' inputs they are sampled once a machine cycle, so a change is
// seen kInputSampleDelay cycles after it happened. The I/O window's pulse
// buttons act as one falling edge.
#pragma once

#include "chip/chip_state.h"

namespace quorvel {

// The lines the timers and the external interrupt inputs watch: T2, T2EX,
// INT0, INT1, T0, T1.
inline constexpr uint32_t kWatchedInputLines = pin::bit(pin::T2) | pin::bit(pin::T2EX) |
                                               pin::bit(pin::INT0) | pin::bit(pin::INT1) |
                                               pin::bit(pin::T0) | pin::bit(pin::T1);

// The input lines (INT0, INT1, T0, T1, T2, T2EX) are sampled once a machine
// cycle: a change is recognised in the cycle after the one in which the line
// changed, so an edge's count, flag, capture or reload comes this many
// machine cycles after the change (the timers have counted once more).
inline constexpr uint32_t kInputSampleDelay = 1;

// Machine cycles of the hardware call to a vector.
inline constexpr int kVectoringCycles = 2;

// The lines changed since the inputs were last looked at (a port write, a
// part driving a line, the user): IE0/IE1 take edges or follow levels,
// counter inputs count, T2EX captures or reloads (the timers must have
// counted up to the change). Pulse requests are taken here too. Returns
// true when an input must be looked at again after the next instruction
// (a pulse on a level-triggered input lasts one instruction).
bool sampleInputs(ChipState& chip);

// Requests of the six sources, bit 0 = INT0 ... bit 5 = timer 2, with their
// enable bits applied (EA is not).
unsigned interruptRequests(const ChipState& chip);

// Vectors the most urgent request the levels in service let through.
// Returns true when an interrupt was vectored (the caller adds its cycles).
bool acceptInterrupt(ChipState& chip);

// RETI: the higher level in service ends.
inline void endInterruptLevel(InterruptState& irq) {
    irq.inService &= (irq.inService & kInServiceHigh) ? uint8_t(~kInServiceHigh)
                                                      : uint8_t(~kInServiceLow);
}

} // namespace quorvel
