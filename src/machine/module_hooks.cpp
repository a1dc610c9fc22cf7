#include "machine/module_hooks.h"

#include "machine/machine.h"

namespace quorvel {

void runModuleHooks(Machine& machine, int cycles) {
    ModuleState& modules = machine.modules;
    PinState& pins = machine.chip.pins;
    const uint32_t latches = machine.chip.portLatches();

    // The LCD, always.
    lcdStep(modules.lcd, modules.settings, pins, latches, cycles, machine.selection.cycleTimeUs);

    // The IIC bus (when enabled): the EEPROM write-cycle countdown, then the
    // bus model.
    if (modules.settings.iic.IicOptions & kIicEnableBus)
        runIicBus(modules.iic, modules.settings.iic, machine.chip, cycles,
                  machine.selection.cycleTimeUs);

    // The SPI EEPROM (when enabled).
    if (modules.settings.spi.SpiOptions & kSpiEnableBus)
        runSpiEeprom(modules.spiEeprom, modules.settings.spi, machine.chip, cycles,
                     machine.selection.cycleTimeUs);

    // The keypad, while the keyboard window is open.
    if (modules.keypad.windowOpen) keypadHook(modules.keypad, modules.settings, pins, latches);
}

} // namespace quorvel
