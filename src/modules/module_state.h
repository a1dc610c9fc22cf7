// The external parts wired to the chip's port lines: their settings (what the
// user configured) and their model state (what the parts hold now). Part of
// the copyable `Machine`: plain data only.
#pragma once

#include "modules/iic_bus.h"
#include "modules/io_levels.h"
#include "modules/keys.h"
#include "modules/lcd_controller.h"
#include "modules/led_display.h"
#include "modules/module_settings.h"
#include "modules/serial_host.h"
#include "modules/spi_eeprom.h"

namespace quorvel {

struct ModuleState {
    ModuleSettings settings;
    LcdController lcd;
    // Written by the LED window when it paints; cleared when a run starts.
    LedDigitMemory ledDigitMemory{};
    KeypadState keypad;
    ComparatorState comparator;
    IicState iic;            // IIC bus, EEPROM and clock
    SpiEepromState spiEeprom;
    SerialHostState serialHost;
    bool operator==(const ModuleState&) const = default;
};

// Reset CPU: what the parts do when the chip is reset (the LCD's 4-bit
// transfer starts again with the high nibble, and it takes a first function
// set as it does after its own reset; everything else stays).
void resetModulesOnCpuReset(ModuleState& modules);
// Start of a run: the multiplexed display's per-digit memory is cleared.
void resetModulesOnRunStart(ModuleState& modules);

} // namespace quorvel
