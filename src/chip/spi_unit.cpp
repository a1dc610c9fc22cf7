#include "chip/spi_unit.h"

namespace quorvel {

namespace {

using namespace sfr::bits;

constexpr uint8_t kMosiBit = 1u << (pin::MOSI % 8);
constexpr uint8_t kSckBit = 1u << (pin::SCK % 8);
constexpr int kClocksPerBit[4] = {4, 16, 64, 128};

void completeTransfer(ChipState& chip) {
    SpiState& spi = chip.periph.spi;
    chip.side.spiReceiveBuffer = spi.slaveByte;
    spi.rxLog.append(spi.slaveByte);
    spi.txLog.append(chip.side.spiTransmitShadow);
    chip.sfrs[sfr::sfrIndex(sfr::SPSR)] |= SPIF;
    spi.state = SpiTransfer::Idle;
}

} // namespace

void runSpiUnit(ChipState& chip, int cycles) {
    SpiState& spi = chip.periph.spi;
    const uint8_t spcr = chip.sfrs[sfr::sfrIndex(sfr::SPCR)];
    uint8_t& p1 = chip.sfrs[sfr::sfrIndex(sfr::P1)];

    if (spi.state == SpiTransfer::Started) {
        const int bitTime = kClocksPerBit[spcr & SPR_MASK];
        spi.state = SpiTransfer::Shifting;
        spi.bitsLeft = 8;
        spi.remainder = bitTime;
    } else if (spi.state == SpiTransfer::Shifting) {
        const int bitTime = kClocksPerBit[spcr & SPR_MASK];
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
    } else if (spi.state == SpiTransfer::External) {
        completeTransfer(chip);
    }
    p1 = (spcr & CPOL) ? uint8_t(p1 | kSckBit) : uint8_t(p1 & ~kSckBit);
}

void requestSpiSlaveTransfer(ChipState& chip, uint8_t externalByte) {
    chip.periph.spi.slaveByte = externalByte;
    chip.periph.spi.state = SpiTransfer::External;
}

} // namespace quorvel
