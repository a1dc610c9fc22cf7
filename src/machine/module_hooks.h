// The per-instruction hooks of the external part models, called by the
// execution loop after the on-chip peripherals, in this fixed order: the LCD
// (always); the IIC bus when enabled (EEPROM write-cycle countdown first);
// the SPI EEPROM when enabled; the keypad while its window is open.
// The LED displays have no hook: their window reads the port latches, and
// the execution loop keeps a multiplexed display's digit memory as the
// latches change.
#pragma once

#include "machine/machine.h"

namespace quorvel {

// Simulation thread (or the user-interface thread while no run is active).
void runModuleHooks(Machine& machine, int cycles);

// Whether runModuleHooks would change nothing after this step: the IIC bus
// and the SPI EEPROM are off, no keypad key is held in an open keyboard
// window, and the LCD is not busy (counter
// run out, busy flag already clear) and sees E at the level it last saw (so
// no falling edge and nothing to remember). The hooks themselves decide from
// the same state, so skipping them then changes nothing.
// The keypad hook acts only while a key of an open keyboard window is held.
inline bool keypadKeyHeld(const KeypadState& keypad) {
    return keypad.windowOpen && keypad.KeypadPressed;
}

inline bool moduleHooksIdle(const Machine& machine) {
    const ModuleState& modules = machine.modules;
    if ((modules.settings.iic.IicOptions & kIicEnableBus) ||
        (modules.settings.spi.SpiOptions & kSpiEnableBus) || keypadKeyHeld(modules.keypad))
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

// moduleHooksIdle for a run of the execution loop, in which only the
// instructions change the machine: the settings and the keypad stay as they
// are (a window changes them only while the run is paused, between batches), and the LCD's state changes only in its hook, so all that is
// left to look at per step is the E line's latch.
struct ModuleHookWatch {
    const uint8_t* eLatch; // the port latch holding E (any latch for a fixed level)
    uint8_t eMask;         // E's bit in it, 0 for a fixed level
    uint8_t eFixedHigh;    // 1 when E is tied to +5V
    bool quiet;            // moduleHooksIdle apart from E: nothing else to do
    bool eSeen;            // the LCD's eWasHigh

    explicit ModuleHookWatch(const Machine& machine) {
        const PinRef e = machine.modules.settings.LcdPins[size_t(kLcdE)];
        const bool portLine = e < kPinPlus5V;
        eLatch = &machine.chip.sfrs[portLine ? e & 0x30u : 0u];
        eMask = portLine ? uint8_t(1u << (e & 7u)) : 0;
        eFixedHigh = e == kPinPlus5V;
        refresh(machine);
    }
    // After the hooks ran.
    void refresh(const Machine& machine) {
        const ModuleState& modules = machine.modules;
        quiet = !(modules.settings.iic.IicOptions & kIicEnableBus) &&
                !(modules.settings.spi.SpiOptions & kSpiEnableBus) &&
                !keypadKeyHeld(modules.keypad) && modules.lcd.busyCounter < 1 &&
                !(modules.lcd.LcdDisplayFlags & kLcdBusy);
        eSeen = modules.lcd.eWasHigh;
    }
    bool idle() const { return quiet && (((*eLatch & eMask) | eFixedHigh) != 0) == eSeen; }
};

} // namespace quorvel
