#include "chip/spi_unit.h"

namespace quorvel {

namespace {

using namespace sfr::bits;

constexpr uint8_t kMosiBit = 0x20; // P1.5
constexpr uint8_t kSckBit = 0x80;  // P1.7
constexpr int kClocksPerBit[4] = {4, 16, 64, 128};

void completeTransfer(ChipState& chip) {
    SpiState& spi = chip.periph.spi;
    chip.side.spiReceiveBuffer = spi.slaveByte;
    spi.rxLog.append(spi.slaveByte);
    spi.txLog.append(chip.side.spiTransmitShadow);
    chip.sfrs[sfr::sfrIndex(sfr::SPSR)] |= SPIF;
    spi.state = 0;
}

} // namespace

void runSpiUnit(ChipState& chip, int cycles) {
    SpiState& spi = chip.periph.spi;
    const uint8_t spcr = chip.sfrs[sfr::sfrIndex(sfr::SPCR)];
    uint8_t& p1 = chip.sfrs[sfr::sfrIndex(sfr::P1)];

    if (spi.state == 1) {
        const int bitTime = kClocksPerBit[spcr & 0x03];
        spi.state = 2;
        spi.bitsLeft = 8;
        spi.remainder = bitTime;
    } else if (spi.state == 2) {
        const int bitTime = kClocksPerBit[spcr & 0x03];
        spi.remainder -= 12 * cycles;
        if (spi.remainder < 0) {
            // As many bits as the clocks pay for; what is left over (between
            // 0 and one bit time) carries into the next step.
            const int overdue = -spi.remainder;
            const int bits = overdue <= bitTime ? 1 : overdue / bitTime + 1;
            spi.bitsLeft -= bits;
            spi.remainder += bits * bitTime;
        }
        if (spi.bitsLeft < 1) completeTransfer(chip);
        const int left = spi.bitsLeft;
        bool mosi = false;
        if (left > 0) {
            const int bit = (spcr & DORD) ? 8 - left : left - 1;
            mosi = (chip.side.spiTransmitShadow >> bit) & 1u;
        }
        p1 = mosi ? uint8_t(p1 | kMosiBit) : uint8_t(p1 & ~kMosiBit);
    } else if (spi.state == 3) {
        completeTransfer(chip);
    }
    p1 = (spcr & CPOL) ? uint8_t(p1 | kSckBit) : uint8_t(p1 & ~kSckBit);
}

void requestSpiSlaveTransfer(ChipState& chip, uint8_t externalByte) {
    chip.periph.spi.slaveByte = externalByte;
    chip.periph.spi.state = 3;
}

} // namespace quorvel
