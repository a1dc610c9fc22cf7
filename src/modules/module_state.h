// The external parts wired to the chip's port lines: their settings (what the
// user configured) and their model state (what the parts hold now). Part of
// the copyable `Machine`.
#pragma once

namespace quorvel {

struct ModuleState {
    // Filled by the module models (LCD, LEDs, keys and keypad, I/O levels,
    // IIC EEPROM and RTC, SPI EEPROM, serial host).
};

} // namespace quorvel
