// The on-chip UART in its four modes (SCON bits 7-6), run once per
// instruction after the instruction itself.
//
// Lines driven through their latches: TXD = P3.1 (modes 1-3: start bit 0,
// data least significant bit first, ninth bit in modes 2/3, stop bit 1),
// RXD = P3.0 (mode 0: the data bits). Receiving has no pin: the serial host
// hands the chip a whole byte (startSerialReception) and the UART takes the
// mode's time to "receive" it.
//
// Timing:
// - mode 0: one bit per machine cycle, 8 cycles per byte;
// - modes 1 and 3 transmit: 16 units per bit, counted down by 12 clock units
//   per machine cycle and by one per baud tick (timer 1 or timer 2), so a bit
//   lasts about 2 one-cycle instructions whatever the baud rate;
// - modes 1 and 3 receive: 16 baud ticks per bit (timer 1 overflows, halved
//   while SMOD = 0, or timer 2 in baud-rate mode), 10 or 11 bits per byte;
// - mode 2: 64 clock units per bit (32 with SMOD), 11 bits per byte.
// On every step of a transfer after its first one the step's time is taken
// off the bit-time counter first and the bit moves on when the counter has
// run out in that same step; so at one cycle per instruction a mode-1 bit
// lasts two steps, and a mode-2 bit at SMOD = 1 lasts 32 clock units on
// average.
//
// Not modelled: the mode-0 shift clock on TXD, framing errors, receiver
// overrun (a new byte simply replaces the receive buffer).
#pragma once

#include "chip/chip_state.h"

namespace quorvel {

// Whether the UART has anything to do this step.
inline bool serialPortActive(const ChipState& chip) {
    return (chip.periph.serial.txState | chip.periph.serial.rxRequest) != 0;
}

// Runs the transmitter and receiver for one instruction of `cycles` machine
// cycles. Thread: whichever thread executes the step.
void runSerialPort(ChipState& chip, int cycles);

// What the inline part of a serial-port step did (serialStepInline).
enum SerialChange : unsigned {
    kSerialLine = 1,     // the TXD latch may have changed
    kSerialOutOfLine = 2 // nothing done: runSerialPort must run the step
};

// TXD is P3.1, driven through its latch.
inline void setTxd(ChipState& chip, unsigned level) {
    uint8_t& p3 = chip.sfrs[sfr::sfrIndex(sfr::P3)];
    p3 = uint8_t((p3 & ~0x02u) | (level & 1u) << 1);
}

// The level TXD shows at bit counter `counter` (1 or more) of an
// asynchronous frame whose data bit 0 shows at counter `firstData` (9 in
// mode 1, 10 in modes 2 and 3): the data bits least significant first, then
// TB8 in modes 2 and 3, the stop bit at counter 1.
inline unsigned txdLevel(const ChipState& chip, int32_t counter, int32_t firstData) {
    using namespace sfr::bits;
    if (counter == 1) return 1; // stop bit
    const uint8_t* s = chip.sfrs.data();
    if (counter > firstData - 8) return (s[sfr::sfrIndex(sfr::SBUF)] >> (firstData - counter)) & 1u;
    return (s[sfr::sfrIndex(sfr::SCON)] & TB8) ? 1u : 0u; // ninth bit
}

// Modes 1 and 3: the byte written to SBUF starts shifting out, start bit
// first; `frameBits` is 10 or 11.
inline void startBaudFrame(ChipState& chip, int32_t frameBits) {
    SerialState& serial = chip.periph.serial;
    serial.txState = 2;
    serial.txBits = frameBits;
    serial.txBitTime = 16;
    setTxd(chip, 0);
}

// What a stretch of steps has to do for the UART, until SCON, SBUF or the
// reception request changes, or a step left to runSerialPort ends the state:
// - kUartIdle: nothing (no byte shifting, none requested);
// - while a byte shifts out in mode 1 or 3 and no reception is due (the
//   common case of a busy UART), the counter value of its data bit 0 for
//   transmitStepInline: bit counter n shows data bit (frame bits - 1 - n),
//   9 - n in mode 1, 10 - n in mode 3;
// - kUartAny otherwise (serialStepInline).
inline constexpr int32_t kUartIdle = 0;
inline constexpr int32_t kUartAny = -1;

inline int32_t uartPlan(const ChipState& chip) {
    using namespace sfr::bits;
    const uint8_t scon = chip.sfrs[sfr::sfrIndex(sfr::SCON)];
    const SerialState& serial = chip.periph.serial;
    if ((serial.txState | serial.rxRequest) == 0) return kUartIdle;
    if (!(scon & SM1) || serial.txState != 2 || ((scon & REN) && serial.rxRequest != 0))
        return kUartAny;
    return (scon & SM0) ? 10 : 9;
}

// A serial-port step in uartPlan's transmitting state, inline: a byte
// that reaches no bit boundary in this step only moves the bit time, and
// one that reaches a boundary puts its next bit on TXD (data, ninth bit,
// stop bit). The end of the frame (TI, the log, the notice) is left to
// runSerialPort (kSerialOutOfLine), before anything has changed.
inline unsigned transmitStepInline(ChipState& chip, int cycles, int32_t firstData) {
    SerialState& serial = chip.periph.serial;
    const int32_t left = serial.txBitTime - 12 * cycles;
    if (left > 0) {
        serial.txBitTime = left;
        return 0;
    }
    const int32_t counter = serial.txBits - 1;
    if (counter < 1) return kSerialOutOfLine;
    serial.txBits = counter;
    serial.txBitTime = 16;
    setTxd(chip, txdLevel(chip, counter, firstData));
    return kSerialLine;
}

// The common cases of a serial-port step in modes 1 and 3, inline: those of
// transmitStepInline, a byte starting (the start bit on TXD), and a port
// with nothing to do in this step. Every other case - modes 0 and 2, a
// reception due - is left to runSerialPort (kSerialOutOfLine).
inline unsigned serialStepInline(ChipState& chip, int cycles) {
    using namespace sfr::bits;
    const uint8_t scon = chip.sfrs[sfr::sfrIndex(sfr::SCON)];
    SerialState& serial = chip.periph.serial;
    if (!(scon & SM1)) return kSerialOutOfLine;
    const bool rxDue = (scon & REN) && serial.rxRequest != 0 &&
                       (serial.rxRequest == 1 || serial.rxBitTime < 1);
    if (rxDue) return kSerialOutOfLine;
    const int32_t firstData = (scon & SM0) ? 10 : 9;
    switch (serial.txState) {
    case 0: return 0;
    case 1: startBaudFrame(chip, firstData + 1); return kSerialLine;
    default: return transmitStepInline(chip, cycles, firstData);
    }
}

// The serial host hands the chip a byte, as if it arrived on RXD: `ninth` is
// the ninth data bit in modes 2 and 3 and the stop bit in mode 1. The UART
// takes it in as soon as REN is set, with the mode's timing; when it has been
// received, RI is set (unless SM2 forbids it), the byte becomes what SBUF
// reads, it is appended to the receive log and ChipEvents::byteReceived is
// called. A reception still in progress is replaced.
// Thread: the simulation thread (e.g. from byteReceived), or any thread while
// the simulation is paused.
void startSerialReception(ChipState& chip, uint8_t data, uint8_t ninth);

} // namespace quorvel
