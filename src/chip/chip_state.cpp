#include "chip/chip_state.h"

#include <algorithm>

namespace quorvel {

void ChipState::allocate(uint16_t newCodeLimit, uint16_t newXdataLimit, bool withEeprom) {
    codeLimit = newCodeLimit;
    code.assign(size_t(newCodeLimit) + 1, 0xFF);
    xdataLimit = newXdataLimit;
    if (newXdataLimit != 0)
        xdata.assign(size_t(newXdataLimit) + 1, 0x00);
    else
        xdata.clear();
    if (withEeprom)
        eeprom.assign(2048, 0xFF);
    else
        eeprom.clear();
}

uint8_t ChipState::readXdata(uint16_t address) const {
    if (hasEeprom() && (sfr(sfr::WMCON) & sfr::bits::EEMEN) && address < 2048)
        return eeprom[address];
    if (!hasXdata() || address > xdataLimit) return 0xFF;
    if (overlapEnabled && address >= overlapStart && address <= overlapEnd)
        return readCode(address);
    return xdata[address];
}

void ChipState::writeXdata(uint16_t address, uint8_t value) {
    uint8_t wmcon = sfr(sfr::WMCON);
    if (hasEeprom() && (wmcon & sfr::bits::EEMEN) && address < 2048) {
        if (wmcon & sfr::bits::EEMWE) {
            eeprom[address] = value;
            eepromReady = 0;
            periph.eepromCountdown = int32_t(2500.0f / cycleTimeUs);
        }
        return;
    }
    if (!hasXdata()) return;
    if (overlapEnabled && address >= overlapStart && address <= overlapEnd) {
        writeCode(address, value);
        return;
    }
    if (address <= xdataLimit) xdata[address] = value;
}

void ChipState::writeSpdr(uint8_t value) {
    if (periph.spi.state != SpiTransfer::Idle) {
        sfr(sfr::SPSR) |= sfr::bits::WCOL;
        return;
    }
    sfr(sfr::SPDR) = value;
    side.spiTransmitShadow = value;
    if (sfr(sfr::SPCR) & sfr::bits::MSTR) periph.spi.state = SpiTransfer::Started;
}

void ChipState::reset() {
    pc = 0;
    sfrs.fill(0);
    side = SfrSideState{};
    sfr(sfr::SP) = 0x07;
    sfr(sfr::P0) = 0xFF;
    sfr(sfr::P1) = 0xFF;
    sfr(sfr::P2) = 0xFF;
    sfr(sfr::P3) = 0xFF;
    // P follows A, which is 00H: even parity.
    sfr(sfr::PSW) = 0x00;
    // A reset also ends any interrupt in service, as on the real chip.
    periph.irq = InterruptState{};
}

} // namespace quorvel
