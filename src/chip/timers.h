// Timers/counters 0, 1 and 2.
//
// A timer counts machine cycles (timer mode) or falling edges of its input
// (counter mode). It is not advanced instruction by instruction: the
// execution loop lets the machine-cycle counter run ahead and brings the
// timers up to it (countTimers) when a program reads or writes one of their
// registers, when an overflow that must be seen on time is due
// (timerEventDelay: an enabled interrupt, the clock-out, the serial port's
// baud ticks), before a line they watch changes, and before it returns.
// Every overflow on the way is counted: in an auto-reload mode the counter
// goes on from the reload value with the counts left over, so an
// instruction longer than the period produces each overflow.
//
// Lines watched: T0 = P3.4, T1 = P3.5, T2 = P1.0 (counter inputs: one count
// per falling edge, or per pulse request of the I/O window); INT0 = P3.2 and
// INT1 = P3.3 while GATE is set; T2EX = P1.1 (capture/reload, up/down). An
// edge on a counter input or T2EX takes effect kInputSampleDelay machine
// cycles after the line changed (interrupts.h), so a capture holds the
// count of that later cycle; a gate acts on the level at once. Line driven:
// P1.0's latch by timer 2's clock-out.
//
// Timer 1 overflows (serial modes 1 and 3) and timer 2 overflows in
// baud-rate mode are the serial port's baud ticks; timer 1 keeps giving them
// while timer 0 in mode 3 has taken its TF1 and TR1.
//
// Simplifications kept on purpose: timer 2 counts at fosc/12 outside its
// baud-rate mode, the clock-out toggles P1.0 on every second overflow, a
// down-count wraps at 0000 to FFFF (not at RCAP2), and a T2EX edge reloads
// also in baud-rate mode.
#pragma once

#include "chip/chip_state.h"

namespace quorvel {

// A delay no event reaches ("never").
inline constexpr uint32_t kNever = 0xFFFFFFFFu;

// Timer 0 or 1 mode (TMOD M1-M0).
enum class TimerMode : uint8_t { Bits13 = 0, Bits16 = 1, AutoReload = 2, Split = 3 };

inline TimerMode timerMode(uint8_t tmod, unsigned timer) {
    return TimerMode((tmod >> (timer * sfr::bits::kTimer1Shift)) & sfr::bits::kTimerModeMask);
}

// Adds `count` to a timer 0/1 register pair in mode 0, 1 or 2 and returns the
// overflows. Mode 0 is 13 bits (TL's upper three bits become 0); mode 2
// reloads TL from TH and keeps the counts past each overflow.
uint32_t countTimer(TimerMode mode, uint8_t& tl, uint8_t& th, uint64_t count);

// Counts from the register values to the first overflow, and between two
// later overflows, of a timer 0/1 in mode 0, 1 or 2.
uint32_t countsToOverflow(TimerMode mode, uint8_t tl, uint8_t th);
uint32_t overflowPeriod(TimerMode mode, uint8_t th);

// Brings the timers from where they stopped counting (periph.timers
// .countedTo) up to machine cycle `to`: overflow flags, baud ticks for the
// serial port, the clock-out. Thread: whichever thread executes the step.
void countTimers(ChipState& chip, uint32_t to);

// Up to the machine-cycle counter, when not there yet.
inline void syncTimers(ChipState& chip) {
    if (chip.periph.timers.countedTo != chip.cycles) countTimers(chip, chip.cycles);
}

// The lines the timers watch changed (`falling`: lines that went from 1 to
// 0, pulse requests included): counter inputs count, T2EX captures or
// reloads. The timers must have counted up to now first.
void timerInputEdges(ChipState& chip, uint32_t falling);

// Machine cycles from countedTo until the n-th (n >= 1) overflow of timer 1
// or timer 2 (`timer`), kNever when it does not count machine cycles.
uint32_t cyclesToOverflows(const ChipState& chip, unsigned timer, uint32_t n);

// Machine cycles from countedTo until the next overflow that must be handled
// when it happens rather than when the registers are next looked at: one
// that raises an enabled interrupt, or moves the clock-out. kNever if none.
uint32_t timerEventDelay(const ChipState& chip);

// Whether a timer watches a port line: a counter input, a gate, T2EX.
bool timersWatchLines(const ChipState& chip);

} // namespace quorvel
