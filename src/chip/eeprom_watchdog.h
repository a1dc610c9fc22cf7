// Two countdowns of the AT89S8252/AT89S53 that run in machine cycles:
//
// - the on-chip EEPROM write timer: a MOVX write into the EEPROM makes it
//   busy for 2500 us (WMCON bit 1 reads 0 meanwhile);
// - the watchdog (WMCON: PS2-PS0 bits 7-5, WDTRST bit 1, WDTEN bit 0): a
//   period of 16 ms x 2^PS; setting WDTRST reloads it (and the bit clears
//   itself), enabling WDTEN (0 to 1) loads it too, and while WDTEN is set
//   the countdown runs; when it runs out the CPU is reset.
//
// Times in microseconds become machine cycles through the selected clock's
// machine-cycle time, truncated. Counters are 32 bits (2048 ms at 33 MHz is
// about 5.6 million cycles).
#pragma once

#include "chip/chip_state.h"

namespace quorvel {

inline bool eepromTimerActive(const ChipState& chip) {
    return chip.periph.eepromCountdown != 0 || chip.eepromReady != sfr::bits::RDY;
}

// Counts the EEPROM write time down; ready again once it has run out.
void runEepromTimer(ChipState& chip, int cycles);

inline bool watchdogActive(const ChipState& chip) {
    return (chip.sfrs[sfr::sfrIndex(sfr::WMCON)] & (sfr::bits::WDTRST | sfr::bits::WDTEN)) !=
               0 ||
           chip.periph.watchdogEnabled;
}

// The watchdog period for WMCON's prescaler bits, in machine cycles.
int32_t watchdogPeriodCycles(const ChipState& chip);

// Reloads on WDTRST or on enabling, counts down while enabled, and resets the
// CPU when the countdown runs out. Returns true when it reset the CPU.
bool runWatchdog(ChipState& chip, int cycles);

} // namespace quorvel
