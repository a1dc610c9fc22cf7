// Timers/counters 0, 1 and 2, advanced once per instruction by its machine
// cycles, before the instruction itself runs (so they see the state the
// instruction started from). There is no finer time base: a timer in timer
// mode adds the whole instruction at once and overflow is checked once per
// instruction.
//
// Lines watched: T0 = P3.4, T1 = P3.5, T2 = P1.0 (counter inputs: a falling
// edge since the end of the previous instruction, or a pulse request from the
// I/O window, counts 1 whatever the instruction's length); INT0 = P3.2 and
// INT1 = P3.3 for GATE; T2EX = P1.1 (capture/reload, up/down). Line driven:
// P1.0 latch by timer 2's clock-out.
//
// Timer 1 overflows (serial modes 1 and 3) and timer 2 overflows in baud-rate
// mode give the serial port its baud ticks.
//
// Simplifications kept on purpose: timer 2 counts at fosc/12 in every mode,
// the clock-out toggles P1.0 on every second overflow, a down-count wraps at
// 0000 to FFFF (not at RCAP2), and a T2EX edge reloads also in baud-rate mode.
#pragma once

#include "core/chip_state.h"

namespace quorvel {

// Whether any timer can change this step: timer 0 or 1 running, timer 0 in
// mode 3 (timer 1 then runs without TR1), or timer 2 running or watching
// T2EX. The executor skips advanceTimers otherwise.
inline bool timersActive(const ChipState& chip) {
    const uint8_t tcon = chip.sfrs[sfr::sfrIndex(sfr::TCON)];
    const uint8_t tmod = chip.sfrs[sfr::sfrIndex(sfr::TMOD)];
    const uint8_t t2con = chip.sfrs[sfr::sfrIndex(sfr::T2CON)];
    return (tcon & (sfr::bits::TR0 | sfr::bits::TR1)) != 0 || (tmod & 0x03) == 0x03 ||
           (t2con & (sfr::bits::TR2 | sfr::bits::EXEN2)) != 0;
}

// Advances timers 0, 1 and 2, in that order, by one instruction of `cycles`
// machine cycles. Thread: whichever thread executes the step.
void advanceTimers(ChipState& chip, int cycles);

} // namespace quorvel
