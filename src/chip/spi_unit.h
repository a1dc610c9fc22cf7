// The SPI unit of the AT89S53 and AT89S8252 (SPCR, SPSR, SPDR), run once per
// instruction while SPE is set.
//
// Lines driven through their latches: MOSI = P1.5 (the transmit shadow's bit
// for the bits still to go, most significant first unless DORD), SCK = P1.7
// (held at CPOL). The external slave is not clocked bit by bit: the byte it
// returns is set beforehand (the SPI window) and arrives whole at the end.
//
// Timing: SPR1-SPR0 select 4, 16, 64 or 128 oscillator clocks per bit; an
// instruction supplies 12 clocks per machine cycle. A transfer takes its
// first step to start, then completes as many bits per step as the clocks
// pay for (the remainder carries over), 8 bits per byte; SPIF is set when
// the last bit is done.
//
// Slave mode (SPE = 1, MSTR = 0) has no bit timing: a transfer that an
// external master starts (requestSpiSlaveTransfer) completes in the next step.
#pragma once

#include "chip/chip_state.h"

namespace quorvel {

inline bool spiUnitEnabled(const ChipState& chip) {
    return (chip.sfrs[sfr::sfrIndex(sfr::SPCR)] & sfr::bits::SPE) != 0;
}

// One instruction of `cycles` machine cycles; call only while SPE is set.
void runSpiUnit(ChipState& chip, int cycles);

// An external master clocks one byte into the chip (the SPI window's "Send"
// in slave mode): with SPE set, the next step swaps `externalByte` with the
// transmit shadow, logs both and sets SPIF. Thread: while the simulation is
// paused.
void requestSpiSlaveTransfer(ChipState& chip, uint8_t externalByte);

} // namespace quorvel
