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

#include "chip/chip_state.h"

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

// Adds `count` to a timer in mode 0, 1 or 2 (timers 0 and 1 share the
// arithmetic). Returns true on overflow. Mode 0 is 13 bits (TL's upper three
// bits become 0); mode 2 reloads TL from TH and drops the counts past the
// overflow.
inline bool countTimer(uint8_t mode, uint8_t& tl, uint8_t& th, int count) {
    // Mode 2 and 1 first: the modes programs use most.
    if (mode == 2) {
        uint8_t v;
        if (__builtin_add_overflow(tl, uint8_t(count), &v)) {
            tl = th;
            return true;
        }
        tl = v;
        return false;
    }
    if (mode == 1) {
        const unsigned v = (unsigned(th) << 8 | tl) + unsigned(count);
        tl = uint8_t(v);
        th = uint8_t(v >> 8);
        return v >= 65536u;
    }
    if (mode == 0) {
        const unsigned v = unsigned(th) * 32u + (tl & 0x1Fu) + unsigned(count);
        tl = uint8_t(v & 0x1Fu);
        th = uint8_t(v >> 5);
        return v >= 8192u;
    }
    return false;
}

// One timer-1 overflow as the serial port's bit clock (serial modes 1 and 3
// only). With SMOD = 0 every second tick counts, separately per direction.
// The bit-time counters only matter while a byte is shifting (a new transfer
// reloads them), so they move only then.
inline void timer1BaudTick(ChipState& chip) {
    using namespace sfr::bits;
    const uint8_t* s = chip.sfrs.data();
    if (!(s[sfr::sfrIndex(sfr::SCON)] & SM1)) return;
    const uint8_t t2con = s[sfr::sfrIndex(sfr::T2CON)];
    const bool smod = (s[sfr::sfrIndex(sfr::PCON)] & SMOD) != 0;
    SerialState& serial = chip.periph.serial;
    if (!(t2con & TCLK)) {
        if (!smod) serial.txTickHalf ^= 1;
        if ((smod || serial.txTickHalf == 0) && serial.txState == 2) --serial.txBitTime;
    }
    if (!(t2con & RCLK)) {
        if (!smod) serial.rxTickHalf ^= 1;
        if ((smod || serial.rxTickHalf == 0) && serial.rxRequest == 2) --serial.rxBitTime;
    }
}

// Every case: gates, counter inputs, timer 0 in mode 3, timer 2.
void advanceTimersInFull(ChipState& chip, int cycles);

// Whether only the common case can apply: timers 0 and 1 timing (no gate,
// no counter input), timer 0 not in mode 3, timer 2 stopped and not watching
// T2EX. Depends on TMOD and T2CON only.
inline bool timersSimple(const ChipState& chip) {
    using namespace sfr::bits;
    const uint8_t tmod = chip.sfrs[sfr::sfrIndex(sfr::TMOD)];
    return !(tmod & 0xCC) && (tmod & 0x03) != 0x03 &&
           !(chip.sfrs[sfr::sfrIndex(sfr::T2CON)] & (TR2 | EXEN2));
}

// advanceTimers while timersSimple holds: each running timer adds and
// compares. Returns the overflow flags raised (TF0, TF1 as in TCON).
inline unsigned advanceSimpleTimers(ChipState& chip, int cycles) {
    using namespace sfr::bits;
    uint8_t* s = chip.sfrs.data();
    const unsigned tcon = s[sfr::sfrIndex(sfr::TCON)];
    if (!(tcon & (TR0 | TR1))) return 0;
    const uint8_t tmod = s[sfr::sfrIndex(sfr::TMOD)];
    unsigned overflows = 0;
    if ((tcon & TR0) &&
        countTimer(tmod & 0x03, s[sfr::sfrIndex(sfr::TL0)], s[sfr::sfrIndex(sfr::TH0)], cycles))
        overflows = TF0;
    if ((tcon & TR1) && countTimer((tmod >> 4) & 0x03, s[sfr::sfrIndex(sfr::TL1)],
                                   s[sfr::sfrIndex(sfr::TH1)], cycles)) {
        overflows |= TF1;
        timer1BaudTick(chip);
    }
    if (overflows) s[sfr::sfrIndex(sfr::TCON)] = uint8_t(tcon | overflows);
    return overflows;
}

// How timer 0 or 1 counts while timersSimple holds: in its TMOD mode (0-2),
// or not at all. Changes only with TCON's run bits or TMOD.
enum class TimerRun : uint8_t { Mode0, Mode1, Mode2, Stopped };

inline TimerRun timerRun(const ChipState& chip, unsigned timer) {
    const uint8_t tcon = chip.sfrs[sfr::sfrIndex(sfr::TCON)];
    const uint8_t tmod = chip.sfrs[sfr::sfrIndex(sfr::TMOD)];
    if (!(tcon & (timer == 0 ? sfr::bits::TR0 : sfr::bits::TR1))) return TimerRun::Stopped;
    return TimerRun((tmod >> (4 * timer)) & 0x03);
}

// advanceSimpleTimers for timers known to count as T0 and T1, which leaves
// only the counting itself.
template <TimerRun T0, TimerRun T1>
inline unsigned advancePlannedTimers(ChipState& chip, int cycles) {
    using namespace sfr::bits;
    uint8_t* s = chip.sfrs.data();
    unsigned overflows = 0;
    if constexpr (T0 != TimerRun::Stopped) {
        if (countTimer(uint8_t(T0), s[sfr::sfrIndex(sfr::TL0)], s[sfr::sfrIndex(sfr::TH0)], cycles))
            overflows = TF0;
    }
    if constexpr (T1 != TimerRun::Stopped) {
        if (countTimer(uint8_t(T1), s[sfr::sfrIndex(sfr::TL1)], s[sfr::sfrIndex(sfr::TH1)],
                       cycles)) {
            overflows |= TF1;
            timer1BaudTick(chip);
        }
    }
    if (overflows) s[sfr::sfrIndex(sfr::TCON)] |= uint8_t(overflows);
    return overflows;
}

// Advances timers 0, 1 and 2, in that order, by one instruction of `cycles`
// machine cycles, if any of them can change (see timersActive). The common
// case - timers 0 and 1 timing in modes 0-2, no gate, timer 2 idle - is
// handled here, each running timer with one add and compare; everything else
// out of line.
// Thread: whichever thread executes the step.
inline void advanceTimers(ChipState& chip, int cycles) {
    using namespace sfr::bits;
    uint8_t* s = chip.sfrs.data();
    const uint8_t tmod = s[sfr::sfrIndex(sfr::TMOD)];
    const uint8_t tcon = s[sfr::sfrIndex(sfr::TCON)];
    if ((tmod & 0x03) == 0x03 || (s[sfr::sfrIndex(sfr::T2CON)] & (TR2 | EXEN2))) {
        advanceTimersInFull(chip, cycles);
        return;
    }
    if (!(tcon & (TR0 | TR1))) return; // nothing runs
    if (tmod & 0xCC) {                 // a gate or a counter input
        advanceTimersInFull(chip, cycles);
        return;
    }
    advanceSimpleTimers(chip, cycles);
}

} // namespace quorvel
