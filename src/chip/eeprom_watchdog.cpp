#include "chip/eeprom_watchdog.h"

namespace quorvel {

using namespace sfr::bits;

void runEepromTimer(ChipState& chip, int cycles) {
    int32_t& countdown = chip.periph.eepromCountdown;
    if (countdown < 1) {
        chip.eepromReady = RDY;
        countdown = 0;
    } else {
        countdown -= cycles;
    }
}

int32_t watchdogPeriodCycles(const ChipState& chip) {
    const unsigned prescaler = chip.sfrs[sfr::sfrIndex(sfr::WMCON)] >> 5;
    const float periodUs = 16000.0f * float(1u << prescaler);
    return int32_t(periodUs / chip.cycleTimeUs);
}

bool runWatchdog(ChipState& chip, int cycles) {
    uint8_t& wmcon = chip.sfrs[sfr::sfrIndex(sfr::WMCON)];
    PeripheralState& periph = chip.periph;
    const bool enabled = (wmcon & WDTEN) != 0;
    if ((wmcon & WDTRST) || (enabled && !periph.watchdogEnabled)) {
        periph.watchdogCountdown = watchdogPeriodCycles(chip);
        wmcon &= uint8_t(~WDTRST);
    }
    periph.watchdogEnabled = enabled;
    if (!enabled) return false;
    periph.watchdogCountdown -= cycles;
    if (periph.watchdogCountdown >= 1) return false;
    chip.reset();
    // WDTEN is cleared by the reset; the next enabling loads a new period.
    periph.watchdogEnabled = false;
    return true;
}

} // namespace quorvel
