#include "chip/timers.h"

#include "chip/serial_port.h"

#include <algorithm>

namespace quorvel {

namespace {

using namespace sfr::bits;

uint8_t& reg(ChipState& chip, uint8_t address) { return chip.sfrs[sfr::sfrIndex(address)]; }
uint8_t reg(const ChipState& chip, uint8_t address) { return chip.sfrs[sfr::sfrIndex(address)]; }

constexpr uint32_t kBits13 = 8192, kBits16 = 65536, kBits8 = 256;
// Mode 0: TH counts the overflows of TL's low five bits.
constexpr unsigned kPrescaler = 32, kPrescalerMask = 0x1F;
// Timer 2 in baud-rate mode counts at fosc/2: six counts a machine cycle.
constexpr uint32_t kBaudCountsPerCycle = 6;

uint32_t clampDelay(uint64_t cycles) { return cycles >= kNever ? kNever : uint32_t(cycles); }

// Whether a GATE lets the timer run: GATE clear, or its INTx line high.
bool gateOpen(const ChipState& chip, uint8_t tmodField, int intLine) {
    if (!(tmodField & kTimerGate)) return true;
    return (chip.pins.lineLevels(chip.portLatches()) >> intLine) & 1u;
}

// How each timer runs now (what TCON, TMOD, T2CON and the gates say).
struct TimerRuns {
    bool timer0 = false;   // TL0 (all of timer 0 unless split) counts
    bool timer0Counts = false; // ... machine cycles (else input edges)
    bool th0 = false;      // TH0 of a split timer 0 counts machine cycles
    bool timer1 = false;
    bool timer1Counts = false;
    bool timer2 = false;
    bool timer2Counts = false;
    bool split = false;    // timer 0 in mode 3
    bool baud2 = false;    // timer 2 in baud-rate mode

    explicit TimerRuns(const ChipState& chip) {
        const uint8_t tcon = reg(chip, sfr::TCON);
        const uint8_t tmod = reg(chip, sfr::TMOD);
        const uint8_t t2con = reg(chip, sfr::T2CON);
        const uint8_t field0 = tmod & ((1u << kTimer1Shift) - 1);
        const uint8_t field1 = uint8_t(tmod >> kTimer1Shift);
        split = timerMode(tmod, 0) == TimerMode::Split;
        timer0 = (tcon & TR0) && gateOpen(chip, field0, pin::INT0);
        timer0Counts = timer0 && !(field0 & kTimerCounter);
        th0 = split && (tcon & TR1);
        // While timer 0 is split, TR1 belongs to TH0 and timer 1 runs unless
        // it is in mode 3 itself.
        timer1 = ((tcon & TR1) || split) && timerMode(tmod, 1) != TimerMode::Split &&
                 gateOpen(chip, field1, pin::INT1);
        timer1Counts = timer1 && !(field1 & kTimerCounter);
        timer2 = (t2con & TR2) != 0;
        timer2Counts = timer2 && !(t2con & CT2);
        baud2 = (t2con & (RCLK | TCLK)) != 0;
    }
};

uint16_t timer2Value(const ChipState& chip) {
    return uint16_t(reg(chip, sfr::TH2) << 8 | reg(chip, sfr::TL2));
}
uint16_t timer2Reload(const ChipState& chip) {
    return uint16_t(reg(chip, sfr::RCAP2H) << 8 | reg(chip, sfr::RCAP2L));
}
void setTimer2(ChipState& chip, uint32_t value) {
    reg(chip, sfr::TL2) = uint8_t(value);
    reg(chip, sfr::TH2) = uint8_t(value >> 8);
}

// Counts up from `value` with reload `reload` after each overflow.
uint32_t countReloading(uint32_t& value, uint32_t reload, uint32_t modulus, uint64_t count) {
    const uint64_t sum = value + count;
    if (sum < modulus) {
        value = uint32_t(sum);
        return 0;
    }
    const uint64_t past = sum - modulus;
    const uint64_t period = modulus - reload;
    value = uint32_t(reload + past % period);
    return uint32_t(std::min<uint64_t>(1 + past / period, kNever));
}

// Adds `count` to timer 2 in its current mode; returns the overflows (or
// underflows), which have set TF2 or EXF2 or moved the clock-out.
uint32_t countTimer2(ChipState& chip, uint64_t count) {
    uint8_t& t2con = reg(chip, sfr::T2CON);
    const uint8_t t2mod = reg(chip, sfr::T2MOD);
    uint32_t value = timer2Value(chip);
    uint32_t overflows;
    bool flag = true; // the overflows set TF2
    if (t2con & (RCLK | TCLK)) {
        overflows = countReloading(value, timer2Reload(chip), kBits16, count);
        flag = false;
    } else if (t2con & CPRL2) {
        const uint64_t sum = value + count;
        value = uint32_t(sum % kBits16);
        overflows = uint32_t(std::min<uint64_t>(sum / kBits16, kNever));
    } else if (!(t2mod & DCEN) ||
               ((chip.pins.lineLevels(chip.portLatches()) >> pin::T2EX) & 1u)) {
        // Auto-reload counting up (always, or with DCEN while T2EX reads 1).
        overflows = countReloading(value, timer2Reload(chip), kBits16, count);
        if ((t2mod & DCEN) && (overflows & 1u)) t2con ^= EXF2;
    } else {
        // DCEN = 1 and T2EX reads 0: counting down, wrapping below 0000.
        overflows = count > value ? uint32_t(std::min<uint64_t>(1 + (count - value - 1) / kBits16, kNever)) : 0;
        value = uint32_t((value + kBits16 - count % kBits16) % kBits16);
        if (overflows & 1u) t2con ^= EXF2;
    }
    setTimer2(chip, value);
    if (!overflows) return 0;
    // Clock-out on P1.0: the overflows do not raise TF2, and the latch
    // toggles on every second one.
    if (!(t2con & CT2) && (t2mod & T2OE)) {
        uint8_t& toggle = chip.periph.timers.clockOutToggle;
        const uint32_t steps = toggle + overflows;
        toggle = uint8_t(steps & 1u);
        if ((steps >> 1) & 1u) reg(chip, sfr::P1) ^= uint8_t(pin::bit(pin::T2));
        return overflows;
    }
    if (flag) t2con |= TF2;
    return overflows;
}

// Timer 1 overflows and timer 2 overflows in baud-rate mode, as the serial
// port's ticks for each direction.
void baudTicks(ChipState& chip, uint32_t timer1Overflows, uint32_t timer2Overflows) {
    const uint8_t scon = reg(chip, sfr::SCON);
    if (!(scon & SM1)) return;
    const uint8_t t2con = reg(chip, sfr::T2CON);
    uint32_t timer1Ticks = timer1Overflows;
    if (timer1Overflows && !(reg(chip, sfr::PCON) & SMOD)) {
        uint8_t& half = chip.periph.serial.baudHalf;
        const uint32_t total = half + timer1Overflows;
        half = uint8_t(total & 1u);
        timer1Ticks = total >> 1;
    }
    const uint32_t tx = (t2con & TCLK) ? timer2Overflows : timer1Ticks;
    const uint32_t rx = (t2con & RCLK) ? timer2Overflows : timer1Ticks;
    if (tx | rx) serialBaudTicks(chip, tx, rx);
}

} // namespace

uint32_t countTimer(TimerMode mode, uint8_t& tl, uint8_t& th, uint64_t count) {
    switch (mode) {
    case TimerMode::AutoReload: {
        uint32_t value = tl;
        const uint32_t overflows = countReloading(value, th, kBits8, count);
        tl = uint8_t(value);
        return overflows;
    }
    case TimerMode::Bits16: {
        const uint64_t sum = (uint64_t(th) << 8 | tl) + count;
        tl = uint8_t(sum);
        th = uint8_t(sum >> 8);
        return uint32_t(std::min<uint64_t>(sum / kBits16, kNever));
    }
    case TimerMode::Bits13: {
        const uint64_t sum = uint64_t(th) * kPrescaler + (tl & kPrescalerMask) + count;
        tl = uint8_t(sum & kPrescalerMask);
        th = uint8_t(sum / kPrescaler);
        return uint32_t(std::min<uint64_t>(sum / kBits13, kNever));
    }
    case TimerMode::Split: break;
    }
    return 0;
}

uint32_t countsToOverflow(TimerMode mode, uint8_t tl, uint8_t th) {
    switch (mode) {
    case TimerMode::AutoReload: return kBits8 - tl;
    case TimerMode::Bits16: return kBits16 - (uint32_t(th) << 8 | tl);
    case TimerMode::Bits13: return kBits13 - (uint32_t(th) * kPrescaler + (tl & kPrescalerMask));
    case TimerMode::Split: return kBits8 - tl;
    }
    return kNever;
}

uint32_t overflowPeriod(TimerMode mode, uint8_t th) {
    switch (mode) {
    case TimerMode::AutoReload: return kBits8 - th;
    case TimerMode::Bits16: return kBits16;
    case TimerMode::Bits13: return kBits13;
    case TimerMode::Split: return kBits8;
    }
    return kNever;
}

void countTimers(ChipState& chip, uint32_t to) {
    TimerState& state = chip.periph.timers;
    const uint32_t cycles = to - state.countedTo;
    // Never backwards (the counter compared across its wrap).
    if (int32_t(cycles) <= 0) return;
    state.countedTo = to;
    const TimerRuns runs(chip);
    uint8_t& tcon = reg(chip, sfr::TCON);
    const uint8_t tmod = reg(chip, sfr::TMOD);
    if (runs.timer0Counts) {
        uint8_t& tl0 = reg(chip, sfr::TL0);
        uint32_t overflows;
        if (runs.split) {
            const uint32_t sum = tl0 + cycles;
            tl0 = uint8_t(sum);
            overflows = sum >> 8;
        } else {
            overflows = countTimer(timerMode(tmod, 0), tl0, reg(chip, sfr::TH0), cycles);
        }
        if (overflows) tcon |= TF0;
    }
    if (runs.th0) {
        uint8_t& th0 = reg(chip, sfr::TH0);
        const uint32_t sum = th0 + cycles;
        th0 = uint8_t(sum);
        if (sum >> 8) tcon |= TF1;
    }
    uint32_t timer1Overflows = 0, timer2Overflows = 0;
    if (runs.timer1Counts) {
        timer1Overflows =
            countTimer(timerMode(tmod, 1), reg(chip, sfr::TL1), reg(chip, sfr::TH1), cycles);
        if (timer1Overflows && !runs.split) tcon |= TF1;
    }
    if (runs.timer2Counts)
        timer2Overflows = countTimer2(chip, uint64_t(cycles) * (runs.baud2 ? kBaudCountsPerCycle : 1));
    if (timer1Overflows | timer2Overflows) baudTicks(chip, timer1Overflows, runs.baud2 ? timer2Overflows : 0);
}

void timerInputEdges(ChipState& chip, uint32_t falling) {
    const TimerRuns runs(chip);
    uint8_t& tcon = reg(chip, sfr::TCON);
    const uint8_t tmod = reg(chip, sfr::TMOD);
    if (runs.timer0 && !runs.timer0Counts && (falling & pin::bit(pin::T0))) {
        uint8_t& tl0 = reg(chip, sfr::TL0);
        bool overflow;
        if (runs.split) {
            overflow = ++tl0 == 0;
        } else {
            overflow = countTimer(timerMode(tmod, 0), tl0, reg(chip, sfr::TH0), 1) != 0;
        }
        if (overflow) tcon |= TF0;
    }
    if (runs.timer1 && !runs.timer1Counts && (falling & pin::bit(pin::T1)) &&
        countTimer(timerMode(tmod, 1), reg(chip, sfr::TL1), reg(chip, sfr::TH1), 1)) {
        if (!runs.split) tcon |= TF1;
        baudTicks(chip, 1, 0);
    }
    uint8_t& t2con = reg(chip, sfr::T2CON);
    if ((falling & pin::bit(pin::T2EX)) && (t2con & EXEN2)) {
        t2con |= EXF2;
        if (t2con & CPRL2) {
            reg(chip, sfr::RCAP2L) = reg(chip, sfr::TL2);
            reg(chip, sfr::RCAP2H) = reg(chip, sfr::TH2);
        } else if (!(reg(chip, sfr::T2MOD) & DCEN)) {
            setTimer2(chip, timer2Reload(chip));
        }
    }
    if (runs.timer2 && !runs.timer2Counts && (falling & pin::bit(pin::T2))) {
        const uint32_t overflows = countTimer2(chip, 1);
        if (overflows && runs.baud2) baudTicks(chip, 0, overflows);
    }
}

uint32_t cyclesToOverflows(const ChipState& chip, unsigned timer, uint32_t n) {
    const TimerRuns runs(chip);
    if (timer == 1) {
        if (!runs.timer1Counts) return kNever;
        const TimerMode mode = timerMode(reg(chip, sfr::TMOD), 1);
        const uint8_t th1 = reg(chip, sfr::TH1);
        return clampDelay(countsToOverflow(mode, reg(chip, sfr::TL1), th1) +
                          uint64_t(n - 1) * overflowPeriod(mode, th1));
    }
    if (!runs.timer2Counts || !runs.baud2) return kNever;
    const uint64_t counts = uint64_t(kBits16 - timer2Value(chip)) +
                            uint64_t(n - 1) * (kBits16 - timer2Reload(chip));
    return clampDelay((counts + kBaudCountsPerCycle - 1) / kBaudCountsPerCycle);
}

uint32_t timerEventDelay(const ChipState& chip) {
    const uint8_t ie = reg(chip, sfr::IE);
    const uint8_t tcon = reg(chip, sfr::TCON);
    const uint8_t tmod = reg(chip, sfr::TMOD);
    const uint8_t t2con = reg(chip, sfr::T2CON);
    const bool interrupts = (ie & EA) != 0;
    const TimerRuns runs(chip);
    uint32_t delay = kNever;
    if (interrupts && (ie & ET0) && !(tcon & TF0) && runs.timer0Counts)
        delay = std::min(delay, countsToOverflow(timerMode(tmod, 0), reg(chip, sfr::TL0),
                                                 reg(chip, sfr::TH0)));
    if (interrupts && (ie & ET1) && !(tcon & TF1)) {
        if (runs.th0) delay = std::min(delay, kBits8 - reg(chip, sfr::TH0));
        if (runs.timer1Counts && !runs.split)
            delay = std::min(delay, countsToOverflow(timerMode(tmod, 1), reg(chip, sfr::TL1),
                                                     reg(chip, sfr::TH1)));
    }
    if (runs.timer2Counts) {
        const bool clockOut = (reg(chip, sfr::T2MOD) & T2OE) != 0;
        const bool flagDue = interrupts && (ie & ET2) && !(t2con & TF2) && !runs.baud2;
        if (clockOut || flagDue) {
            const uint32_t step = runs.baud2 ? kBaudCountsPerCycle : 1;
            const uint16_t value = timer2Value(chip);
            const bool down = (reg(chip, sfr::T2MOD) & DCEN) && !(t2con & (CPRL2 | RCLK | TCLK)) &&
                              !((chip.pins.lineLevels(chip.portLatches()) >> pin::T2EX) & 1u);
            const uint32_t counts = down ? uint32_t(value) + 1 : kBits16 - value;
            delay = std::min(delay, (counts + step - 1) / step);
        }
    }
    return delay;
}

bool timersWatchLines(const ChipState& chip) {
    const uint8_t tmod = reg(chip, sfr::TMOD);
    const uint8_t t2con = reg(chip, sfr::T2CON);
    return (tmod & (GATE1 | CT1 | GATE0 | CT0)) || (t2con & (CT2 | EXEN2)) ||
           ((reg(chip, sfr::T2MOD) & DCEN) && (t2con & TR2));
}

} // namespace quorvel
