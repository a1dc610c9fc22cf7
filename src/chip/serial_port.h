// The on-chip UART in its four modes (SCON bits 7-6).
//
// Lines driven through their latches: TXD = P3.1 (modes 1-3: start bit 0,
// data least significant bit first, ninth bit in modes 2/3, stop bit 1),
// RXD = P3.0 (mode 0: the data bits). Receiving: a host with a baud rate of
// its own drives RXD (serial_line.h) and in modes 1 and 3 the receiver
// samples the line as the data book describes (receiveFromLine); a host "as
// the chip" hands the chip a whole byte (startSerialReception) and the UART
// takes the mode's time to "receive" it.
//
// Timing:
// - modes 1 and 3 run on baud ticks (timer 1 overflows, halved while SMOD =
//   0, or timer 2 overflows in baud-rate mode; see timers.h), 16 a bit. The
//   transmitter's divide-by-16 counter runs all the time: a byte written to
//   SBUF starts with the next bit boundary, and TI is set when the stop bit
//   starts (the 10th boundary after the write in mode 1, the 11th in mode
//   3), so bytes sent back to back leave one frame (10 or 11 bit times)
//   apart. With no baud clock running nothing leaves. A byte is received in
//   16 ticks for each of its 10 or 11 bits, from the step after REN lets it
//   in. These transfers move only when the timers count (serialBaudTicks);
//   the execution loop plans the next bit boundary (serialEventDelay).
// - mode 0: one bit per machine cycle, 8 cycles per byte; mode 2: 64
//   oscillator clocks per bit (32 with SMOD), 11 bits per byte. These run
//   step by step (runSerialStep) while a transfer is going on.
//
// Not modelled: the mode-0 shift clock on TXD, receiver overrun (a new byte
// simply replaces the receive buffer). A frame from the line whose stop bit
// reads 0 is counted in SerialState::framingErrors.
#pragma once

#include "chip/chip_state.h"

namespace quorvel {

// Serial modes 1 and 3: baud ticks for the transmitter and the receiver.
// Thread: whichever thread executes the step.
void serialBaudTicks(ChipState& chip, uint32_t txTicks, uint32_t rxTicks);

// Modes 1 and 3: machine cycles from the timers' countedTo until the next
// bit boundary of a byte going out or the end of a byte coming in; kNever
// when there is none or no baud clock runs.
uint32_t serialEventDelay(const ChipState& chip);

// Whether the UART has work in every step: a transfer in mode 0 or 2, or a
// byte from the host to take in.
bool serialStepsNeeded(const ChipState& chip);

// One step of `cycles` machine cycles of that work.
void runSerialStep(ChipState& chip, int cycles);

// TXD is P3.1, driven through its latch.
inline void setTxd(ChipState& chip, unsigned level) {
    constexpr unsigned kTxdLatchShift = pin::TXD % 8;
    uint8_t& p3 = chip.sfrs[sfr::sfrIndex(sfr::P3)];
    p3 = uint8_t((p3 & ~(1u << kTxdLatchShift)) | (level & 1u) << kTxdLatchShift);
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
