#include "chip/timers.h"

namespace quorvel {

namespace {

using namespace sfr::bits;

uint8_t& reg(ChipState& chip, uint8_t address) { return chip.sfrs[sfr::sfrIndex(address)]; }

// Counter mode counts 1 for a falling edge on the input since the previous
// instruction or for a pulse request (which is used up); never more, whatever
// the instruction's length.
int counterCount(ChipState& chip, bool fallingEdge, uint8_t pulseBit) {
    uint8_t& pulses = chip.pins.pulseRequests;
    if (pulses & pulseBit) {
        pulses = uint8_t(pulses & ~pulseBit);
        return 1;
    }
    return fallingEdge ? 1 : 0;
}

void advanceTimer2(ChipState& chip, int cycles, uint8_t pinsP1, uint8_t fallP1) {
    uint8_t& t2con = reg(chip, sfr::T2CON);
    const uint8_t t2mod = reg(chip, sfr::T2MOD);
    uint8_t& tl2 = reg(chip, sfr::TL2);
    uint8_t& th2 = reg(chip, sfr::TH2);
    uint8_t& rcapL = reg(chip, sfr::RCAP2L);
    uint8_t& rcapH = reg(chip, sfr::RCAP2H);
    InterruptState& irq = chip.periph.irq;

    // T2EX falling edge (P1.1), or a request the I/O window raised.
    if (fallP1 & 0x02) irq.requests |= kRequestT2ex;
    if ((irq.requests & kRequestT2ex) && (t2con & EXEN2)) {
        t2con |= EXF2;
        if (t2con & CPRL2) {
            rcapL = tl2;
            rcapH = th2;
        } else if (!(t2mod & DCEN)) {
            tl2 = rcapL;
            th2 = rcapH;
        }
    }
    if (!(t2con & TR2)) return;

    int count = cycles;
    if (t2con & CT2) count = counterCount(chip, (fallP1 & 0x01) != 0, kPulseT2);
    if (count == 0) return;

    // 32-bit arithmetic: 6 x 4 cycles added to 0xFFF0 must be seen to pass 0xFFFF.
    int32_t value = int32_t(th2) << 8 | tl2;
    const int32_t reload = int32_t(rcapH) << 8 | rcapL;
    bool overflow = false;
    if (t2con & (RCLK | TCLK)) {
        value += (t2con & CT2) ? 1 : 6 * cycles;
        if (value > 0xFFFF) {
            value = reload;
            overflow = true;
            SerialState& serial = chip.periph.serial;
            if ((t2con & TCLK) && serial.txState == 2) --serial.txBitTime;
            if ((t2con & RCLK) && serial.rxRequest == 2) --serial.rxBitTime;
        }
    } else if (t2con & CPRL2) {
        value += count;
        if (value > 0xFFFF) {
            value &= 0xFFFF;
            t2con |= TF2;
            overflow = true;
        }
        if ((t2con & EXF2) && (irq.requests & kRequestT2ex)) {
            rcapL = uint8_t(value);
            rcapH = uint8_t(value >> 8);
        }
    } else if (!(t2mod & DCEN) || (pinsP1 & 0x02)) {
        // Auto-reload counting up (always, or with DCEN while T2EX reads 1).
        value += count;
        if (value > 0xFFFF) {
            value = reload;
            t2con |= TF2;
            if (t2mod & DCEN) t2con ^= EXF2;
            overflow = true;
        }
    } else {
        // DCEN = 1 and T2EX reads 0: counting down, wrapping below 0000.
        value -= count;
        if (value < 0) {
            value = 0xFFFF;
            t2con = uint8_t((t2con | TF2) ^ EXF2);
            overflow = true;
        }
    }
    tl2 = uint8_t(value);
    th2 = uint8_t(value >> 8);

    // Clock-out on P1.0: the overflow does not raise TF2, and the latch
    // toggles on every second overflow.
    if (overflow && !(t2con & CT2) && (t2mod & T2OE)) {
        t2con &= uint8_t(~TF2);
        uint8_t& toggle = chip.periph.timers.clockOutToggle;
        if (toggle) {
            reg(chip, sfr::P1) ^= 0x01;
            toggle = 0;
        } else {
            toggle = 1;
        }
    }
}

} // namespace

void advanceTimersInFull(ChipState& chip, int cycles) {
    uint8_t& tcon = reg(chip, sfr::TCON);
    const uint8_t tmod = reg(chip, sfr::TMOD);
    const uint8_t t2con = reg(chip, sfr::T2CON);
    const bool timer0Mode3 = (tmod & 0x03) == 0x03;

    // Pin levels and edges only when a gate, a counter input or timer 2
    // looks at them.
    uint8_t pinsP3 = 0xFF, pinsP1 = 0xFF, fallP3 = 0, fallP1 = 0;
    if ((tmod & 0xCC) || (t2con & (TR2 | EXEN2))) {
        const uint32_t levels = chip.pinSideLevels();
        const TimerEdgeState& edges = chip.periph.timers;
        pinsP3 = uint8_t(levels >> 24);
        pinsP1 = uint8_t(levels >> 8);
        fallP3 = uint8_t(edges.prevP3() & ~pinsP3);
        fallP1 = uint8_t(edges.prevP1() & ~pinsP1);
    }

    // ---- timer 0
    uint8_t& tl0 = reg(chip, sfr::TL0);
    uint8_t& th0 = reg(chip, sfr::TH0);
    if (timer0Mode3 && (tcon & TR1)) {
        // TH0 is an 8-bit timer controlled by TR1 that overflows into TF1.
        unsigned v = unsigned(th0) + unsigned(cycles);
        th0 = uint8_t(v);
        if (v > 255u) tcon |= TF1;
    }
    if ((tcon & TR0) && (!(tmod & 0x08) || (pinsP3 & 0x04))) {
        int count = cycles;
        if (tmod & 0x04) count = counterCount(chip, (fallP3 & 0x10) != 0, kPulseT0);
        if (count) {
            bool overflow;
            if (timer0Mode3) {
                unsigned v = unsigned(tl0) + unsigned(count);
                tl0 = uint8_t(v);
                overflow = v >= 256u;
            } else {
                overflow = countTimer(tmod & 0x03, tl0, th0, count);
            }
            if (overflow) tcon |= TF0;
        }
    }

    // ---- timer 1 (runs without TR1 while timer 0 is in mode 3, but then
    // its overflows neither set TF1 nor clock the serial port)
    const uint8_t mode1 = (tmod >> 4) & 0x03;
    if (((tcon & TR1) || timer0Mode3) && (!(tmod & 0x80) || (pinsP3 & 0x08)) && mode1 != 3) {
        int count = cycles;
        if (tmod & 0x40) count = counterCount(chip, (fallP3 & 0x20) != 0, kPulseT1);
        if (count && countTimer(mode1, reg(chip, sfr::TL1), reg(chip, sfr::TH1), count) &&
            !timer0Mode3) {
            tcon |= TF1;
            timer1BaudTick(chip);
        }
    }

    // ---- timer 2
    if (t2con & (TR2 | EXEN2)) advanceTimer2(chip, cycles, pinsP1, fallP1);
}

} // namespace quorvel
