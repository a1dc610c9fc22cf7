// The serial line between the chip and a host that has a baud rate of its
// own: the wire, not the bytes.
//
// Lines: the host drives RXD = P3.0 (idle high; start bit 0, the data bits
// least significant first, the ninth bit in modes 2 and 3, stop bit 1) and
// reads TXD = P3.1. The chip's receiver samples RXD itself (serial_port.h),
// so a program that watches RXD sees every bit, and a host whose rate does
// not match the chip's garbles bytes as it would on a wire.
//
// Timing: each bit the host shows and each sample it takes is an event at
// its own machine cycle (times keep a fraction of a cycle, so rates that do
// not divide the clock do not drift). The host's bit time is worked out from
// its rate and the machine-cycle time when a frame starts. Its receiver
// waits for TXD to fall (with TXD high before), then samples the middle of
// each bit; the frame has 11 bits while SCON selects mode 2 or 3, else 10.
//
// With rate 0 ("as the chip") there is no line: the host hands the UART
// whole bytes (startSerialReception) and takes the bytes it transmits. Modes
// 0 and 2 are clocked by the chip's oscillator against the host; while the
// UART is in mode 2, or in mode 0 with REN set, the host works as with rate
// 0 (serialLineInUse).
//
// Not modelled: flow control, a break, a host that samples more than once
// a bit.
#pragma once

#include "chip/chip_state.h"

namespace quorvel {

// The host's rate in bits per second; 0 is "as the chip". A new rate
// starts the line afresh (a frame on it is dropped); the same rate leaves
// it as it is.
void setSerialLineBaud(ChipState& chip, uint32_t baud);

// Whether the host works on the line now (see above).
bool serialLineInUse(const ChipState& chip);

// The host starts a frame on RXD with `data` (and `ninth` in modes 2 and 3),
// at once when the line is idle, else after the frame on it (a frame already
// waiting is replaced). The line's time is where the timers have counted to.
// Thread: the simulation thread (e.g. from ChipEvents::hostFrameSent), or
// any thread while the simulation is paused.
void sendSerialLineFrame(ChipState& chip, uint8_t data, uint8_t ninth);

// Whether a frame is on the line or waiting for it.
bool serialLineBusy(const ChipState& chip);

// For the execution loop. Machine cycles from `now` until the line's next
// event (0 when due; kNever when none).
uint32_t serialLineDelay(const ChipState& chip, uint32_t now);

// Runs the line's events due by `now` in their order, each with the timers
// brought up to its cycle first, so the UART sees RXD change when it did.
void runSerialLine(ChipState& chip, uint32_t now);

// RXD or TXD may have changed at cycle `at` (a port write, a part, the
// timers): the UART's receiver counts up to `at` with the level it saw and
// takes the new one; the host notices a start bit on TXD. Returns true when
// the host started reading a frame (a new event to plan).
bool serialLinesChanged(ChipState& chip, uint32_t at);

// Whether RXD or TXD differ from what the line last saw (cheap).
inline bool serialLinesMoved(const ChipState& chip) {
    if (!chip.periph.line.baud) return false;
    const uint32_t levels = chip.pinSideLevels();
    return ((levels >> pin::RXD) & 1u) != chip.periph.serial.rxdLevel ||
           ((levels >> pin::TXD) & 1u) != chip.periph.line.txdLevel;
}

} // namespace quorvel
