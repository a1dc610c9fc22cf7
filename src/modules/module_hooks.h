// The per-instruction hooks of the external part models, called by the
// executor after the on-chip peripherals, in this fixed order: the LCD
// (always); the IIC bus when enabled (EEPROM write-cycle countdown first);
// the SPI EEPROM when enabled; the keypad while its window is open.
// The LED displays have no hook: their window reads the port latches.
#pragma once

#include "core/machine.h"

namespace quorvel {

// Simulation thread (or the user-interface thread while no run is active).
void runModuleHooks(Machine& machine, int cycles);

// Whether runModuleHooks would change nothing after this step: the IIC bus,
// the SPI EEPROM and the keypad are off, and the LCD is not busy (counter
// run out, busy flag already clear) and sees E at the level it last saw (so
// no falling edge and nothing to remember). The hooks themselves decide from
// the same state, so skipping them then changes nothing.
inline bool moduleHooksIdle(const Machine& machine) {
    const ModuleState& modules = machine.modules;
    if ((modules.settings.iic.IicOptions & kIicEnableBus) ||
        (modules.settings.spi.SpiOptions & kSpiEnableBus) || modules.keypad.windowOpen)
        return false;
    const LcdController& lcd = modules.lcd;
    if (lcd.busyCounter >= 1 || (lcd.LcdDisplayFlags & kLcdBusy)) return false;
    // The E line's level as fixedLevelLine sees it: port n's latch is SFR
    // byte n * 0x10, which is the reference's bits 5-4 in place.
    const PinRef e = modules.settings.LcdPins[size_t(kLcdE)];
    const bool eHigh = e < kPinPlus5V ? ((machine.chip.sfrs[e & 0x30u] >> (e & 7u)) & 1u) != 0
                                      : e == kPinPlus5V;
    return eHigh == lcd.eWasHigh;
}

// The hooks, skipped when they would change nothing.
inline void runModuleHooksIfNeeded(Machine& machine, int cycles) {
    if (!moduleHooksIdle(machine)) runModuleHooks(machine, cycles);
}

} // namespace quorvel
