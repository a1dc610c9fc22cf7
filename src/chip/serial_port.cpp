#include "chip/serial_port.h"

namespace quorvel {

namespace {

using namespace sfr::bits;

constexpr uint8_t kRxdBit = 0x01; // P3.0

void setP3Latch(ChipState& chip, uint8_t mask, bool high) {
    uint8_t& p3 = chip.sfrs[sfr::sfrIndex(sfr::P3)];
    p3 = high ? uint8_t(p3 | mask) : uint8_t(p3 & ~mask);
}

uint16_t logEntry(uint8_t data, unsigned mode, bool ninth) {
    if (mode < 2) return data;
    return uint16_t(0x200u | (ninth ? 0x100u : 0u) | data);
}

void byteTransmitted(ChipState& chip, unsigned mode) {
    uint8_t& scon = chip.sfrs[sfr::sfrIndex(sfr::SCON)];
    SerialState& serial = chip.periph.serial;
    const uint8_t data = chip.sfrs[sfr::sfrIndex(sfr::SBUF)];
    scon |= TI;
    serial.txState = 0;
    serial.lastTransmitted = data;
    const uint16_t entry = logEntry(data, mode, (scon & TB8) != 0);
    serial.txLog.append(entry);
    if (chip.events) chip.events->byteTransmitted(entry);
}

// The byte has arrived: RI unless SM2 asks for a set ninth (stop) bit, RB8 in
// the 9-bit modes, receive buffer, log, host notice.
void byteReceived(ChipState& chip, unsigned mode) {
    uint8_t& scon = chip.sfrs[sfr::sfrIndex(sfr::SCON)];
    SerialState& serial = chip.periph.serial;
    const bool ninth = (serial.rxNinth & 1) != 0;
    if (mode == 0 || !(scon & SM2) || ninth) scon |= RI;
    if (mode >= 2) scon = ninth ? uint8_t(scon | RB8) : uint8_t(scon & ~RB8);
    serial.rxRequest = 0;
    chip.side.serialReceiveBuffer = serial.rxData;
    const uint16_t entry = logEntry(serial.rxData, mode, ninth);
    serial.rxLog.append(entry);
    // Last: the host may hand over its next byte from inside the notice.
    if (chip.events) chip.events->byteReceived(entry);
}

// Drives TXD for the bit counter of an asynchronous frame: `frameBits` is 10
// (mode 1) or 11 (modes 2, 3). Returns true when the frame is complete.
bool driveTxd(ChipState& chip, int counter, int frameBits) {
    if (counter < 1) return true;
    setTxd(chip, txdLevel(chip, counter, frameBits - 1));
    return false;
}

void runMode0(ChipState& chip, int cycles) {
    SerialState& serial = chip.periph.serial;
    const uint8_t scon = chip.sfrs[sfr::sfrIndex(sfr::SCON)];
    if (scon & SM2) return;
    if ((scon & REN) && serial.rxRequest) {
        if (serial.rxBits <= cycles)
            byteReceived(chip, 0);
        else
            serial.rxBits -= cycles;
    }
    if (serial.txState == 0) return;
    if (serial.txState == 1) {
        serial.txState = 2;
        serial.txBits -= cycles - 1;
    } else {
        serial.txBits -= cycles;
    }
    if (serial.txBits <= 0) {
        serial.txBits = 0;
        byteTransmitted(chip, 0);
        return;
    }
    // Counter 8 shows bit 0, counter 1 shows bit 7.
    const uint8_t data = chip.sfrs[sfr::sfrIndex(sfr::SBUF)];
    setP3Latch(chip, kRxdBit, (data >> (8 - serial.txBits)) & 1u);
}

// Modes 1 and 3: 16 units per bit; `frameBits` 10 or 11.
void runBaudMode(ChipState& chip, int cycles, unsigned mode, int frameBits) {
    SerialState& serial = chip.periph.serial;
    const uint8_t scon = chip.sfrs[sfr::sfrIndex(sfr::SCON)];
    if ((scon & REN) && serial.rxRequest) {
        if (serial.rxRequest == 1) {
            serial.rxRequest = 2;
            serial.rxBits = frameBits;
            serial.rxBitTime = 16;
        } else if (serial.rxBitTime < 1) {
            // Only baud ticks move the receiver's bit time.
            serial.rxBitTime = 16;
            if (--serial.rxBits < 1) byteReceived(chip, mode);
        }
    }
    if (serial.txState == 1) {
        startBaudFrame(chip, frameBits);
    } else if (serial.txState == 2) {
        serial.txBitTime -= 12 * cycles;
        if (serial.txBitTime <= 0) {
            serial.txBitTime = 16;
            if (driveTxd(chip, --serial.txBits, frameBits)) byteTransmitted(chip, mode);
        }
    }
}

// Mode 2: 64 clock units per bit, 32 with SMOD; 11 bits per frame.
void runMode2(ChipState& chip, int cycles) {
    SerialState& serial = chip.periph.serial;
    const uint8_t scon = chip.sfrs[sfr::sfrIndex(sfr::SCON)];
    const int bitTime = (chip.sfrs[sfr::sfrIndex(sfr::PCON)] & SMOD) ? 32 : 64;
    const int clocks = 12 * cycles;
    if ((scon & REN) && serial.rxRequest) {
        if (serial.rxRequest == 1) {
            serial.rxRequest = 2;
            serial.rxBits = 11;
            serial.rxBitTime = bitTime - clocks;
        } else {
            serial.rxBitTime -= clocks;
            if (serial.rxBitTime <= 0) {
                serial.rxBitTime += bitTime;
                if (--serial.rxBits < 1) byteReceived(chip, 2);
            }
        }
    }
    if (serial.txState == 1) {
        serial.txState = 2;
        serial.txBits = 11;
        serial.txBitTime = bitTime - clocks;
        if (serial.txBitTime > 0) setTxd(chip, 0); // start bit
    } else if (serial.txState == 2) {
        serial.txBitTime -= clocks;
        if (serial.txBitTime < 0) {
            serial.txBitTime += bitTime;
            if (driveTxd(chip, --serial.txBits, 11)) byteTransmitted(chip, 2);
        }
    }
}

} // namespace

void runSerialPort(ChipState& chip, int cycles) {
    const unsigned mode = chip.sfrs[sfr::sfrIndex(sfr::SCON)] >> 6;
    switch (mode) {
    case 0: runMode0(chip, cycles); break;
    case 1: runBaudMode(chip, cycles, 1, 10); break;
    case 2: runMode2(chip, cycles); break;
    default: runBaudMode(chip, cycles, 3, 11); break;
    }
}

void startSerialReception(ChipState& chip, uint8_t data, uint8_t ninth) {
    SerialState& serial = chip.periph.serial;
    serial.rxData = data;
    serial.rxNinth = uint8_t(ninth & 1u);
    serial.rxBits = 8; // mode 0 takes 8 machine cycles
    serial.rxRequest = 1;
}

} // namespace quorvel
