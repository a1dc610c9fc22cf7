// The per-instruction hooks of the external part models, called by the
// executor after the on-chip peripherals, in this fixed order: the LCD
// (always); the IIC bus when enabled (EEPROM write-cycle countdown first);
// the SPI EEPROM when enabled; the keypad while its window is open.
// The LED displays have no hook: their window reads the port latches.
#pragma once

namespace quorvel {

struct Machine;

// Simulation thread (or the user-interface thread while no run is active).
void runModuleHooks(Machine& machine, int cycles);

} // namespace quorvel
