#include "chip/serial_port.h"

#include "chip/timers.h"

#include <algorithm>

namespace quorvel {

namespace {

using namespace sfr::bits;

constexpr int32_t kTicksPerBit = 16;
constexpr uint8_t kRxdLatchBit = 0x01; // P3.0 within P3

unsigned serialMode(const ChipState& chip) { return chip.sfrs[sfr::sfrIndex(sfr::SCON)] >> 6; }
// Bits of an asynchronous frame: start, 8 data, (ninth,) stop.
int32_t frameBits(unsigned mode) { return mode == 1 ? 10 : 11; }

uint16_t logEntry(uint8_t data, unsigned mode, bool ninth) {
    if (mode < 2) return data;
    return uint16_t(0x200u | (ninth ? 0x100u : 0u) | data);
}

void byteTransmitted(ChipState& chip, unsigned mode) {
    uint8_t& scon = chip.sfrs[sfr::sfrIndex(sfr::SCON)];
    SerialState& serial = chip.periph.serial;
    const uint8_t data = chip.sfrs[sfr::sfrIndex(sfr::SBUF)];
    scon |= TI;
    serial.txState = Transmit::Idle;
    serial.lastTransmitted = data;
    const uint16_t entry = logEntry(data, mode, (scon & TB8) != 0);
    serial.txLog.append(entry);
    if (chip.events) chip.events->byteTransmitted(entry);
}

// The frame has arrived. The receive buffer, RB8 and RI are loaded only
// when RI is clear and either SM2 is clear or the ninth bit (the stop bit in
// mode 1) is set; otherwise the frame is lost, as the data book has it, and
// the byte the program has not read yet stays. Mode 0 starts receiving only
// with RI clear, so its byte always loads. Then log and host notice.
void byteReceived(ChipState& chip, unsigned mode) {
    uint8_t& scon = chip.sfrs[sfr::sfrIndex(sfr::SCON)];
    SerialState& serial = chip.periph.serial;
    const bool ninth = (serial.rxNinth & 1) != 0;
    const bool loads = mode == 0 || (!(scon & RI) && (!(scon & SM2) || ninth));
    serial.rxState = Reception::None;
    if (loads) {
        scon |= RI;
        if (mode >= 1) scon = ninth ? uint8_t(scon | RB8) : uint8_t(scon & ~RB8);
        chip.side.serialReceiveBuffer = serial.rxData;
    }
    const uint16_t entry = logEntry(serial.rxData, mode, ninth);
    serial.rxLog.append(entry);
    // Last: the host may hand over its next byte from inside the notice.
    if (chip.events) chip.events->byteReceived(entry);
}

// The level TXD shows at bit counter `counter` (1 or more) of an
// asynchronous frame of `bits` bits: the start bit at counter `bits`, the
// data bits least significant first, then TB8 in the 11-bit frame, the stop
// bit at counter 1.
unsigned txdLevel(const ChipState& chip, int32_t counter, int32_t bits) {
    if (counter >= bits) return 0; // start bit
    if (counter == 1) return 1;    // stop bit
    const int32_t firstData = bits - 1;
    if (counter > firstData - 8)
        return (chip.sfrs[sfr::sfrIndex(sfr::SBUF)] >> (firstData - counter)) & 1u;
    return (chip.sfrs[sfr::sfrIndex(sfr::SCON)] & TB8) ? 1u : 0u; // ninth bit
}

// Modes 1 and 3: a rollover of the transmitter's divide-by-16 counter. A
// byte waiting starts with its start bit; a byte going out shows its next
// bit, and with the stop bit TI is set.
void transmitBitBoundary(ChipState& chip, unsigned mode) {
    SerialState& serial = chip.periph.serial;
    if (serial.txState == Transmit::Waiting) {
        serial.txState = Transmit::Shifting;
        serial.txBits = frameBits(mode);
    } else {
        --serial.txBits;
    }
    setTxd(chip, txdLevel(chip, serial.txBits, frameBits(mode)));
    if (serial.txBits <= 1) byteTransmitted(chip, mode);
}

// The last tick of a frame received from the line: the decision on its stop
// bit, at the 9th tick of the last bit.
int32_t lineFrameEnd(unsigned mode) { return (frameBits(mode) - 1) * kTicksPerBit + 9; }

// A frame from the line is in: data, the ninth bit of mode 3 (the stop bit
// in mode 1) and the stop bit come from the shift register.
void lineFrameReceived(ChipState& chip, unsigned mode) {
    SerialState& serial = chip.periph.serial;
    const bool stop = (serial.rxShift >> (frameBits(mode) - 1)) & 1u;
    serial.rxData = uint8_t(serial.rxShift >> 1);
    serial.rxNinth = mode == 3 ? uint8_t((serial.rxShift >> 9) & 1u) : uint8_t(stop);
    if (!stop) ++serial.framingErrors;
    byteReceived(chip, mode);
}

// Modes 1 and 3 with a host on the line (serial_line.h): the receiver
// samples RXD at every baud tick, and RXD keeps the level rxdLevel for all
// of `ticks`. Idle, a 1-to-0 step restarts the divide-by-16 counter; each
// bit is sampled at the counter's 7th, 8th and 9th states and two of the
// three decide. A start bit that reads 1 is no start: the receiver waits for
// the next step. The stop bit's decision ends the frame.
void receiveFromLine(ChipState& chip, unsigned mode, uint32_t ticks) {
    SerialState& serial = chip.periph.serial;
    const unsigned level = serial.rxdLevel;
    const int32_t lastBit = frameBits(mode) - 1;
    while (ticks) {
        if (serial.rxState != Reception::Receiving) {
            const bool fall = serial.rxdLast && !level;
            serial.rxdLast = uint8_t(level);
            // Nothing changes for the rest of the ticks.
            if (!fall || !(chip.sfrs[sfr::sfrIndex(sfr::SCON)] & REN)) return;
            serial.rxState = Reception::Receiving;
            serial.rxTicks = 0;
            serial.rxShift = 0;
            serial.rxOnes = 0;
            --ticks;
            continue;
        }
        ++serial.rxTicks;
        --ticks;
        const int32_t state = serial.rxTicks % kTicksPerBit;
        if (state < 7 || state > 9) continue;
        serial.rxOnes = uint8_t(serial.rxOnes + level);
        if (state < 9) continue;
        const int32_t bit = serial.rxTicks / kTicksPerBit;
        const unsigned value = serial.rxOnes >= 2 ? 1u : 0u;
        serial.rxOnes = 0;
        if (bit == 0 && value) {
            serial.rxState = Reception::None;
            serial.rxdLast = uint8_t(level);
            continue;
        }
        serial.rxShift = uint16_t(serial.rxShift | value << bit);
        if (bit < lastBit) continue;
        lineFrameReceived(chip, mode);
        serial.rxdLast = uint8_t(level);
    }
}

// Machine cycles until `ticks` more baud ticks of the direction whose
// timer-2 selection bit (TCLK or RCLK) is `timer2Bit`.
uint32_t cyclesToTicks(const ChipState& chip, uint32_t ticks, uint8_t timer2Bit) {
    if (chip.sfrs[sfr::sfrIndex(sfr::T2CON)] & timer2Bit) return cyclesToOverflows(chip, 2, ticks);
    uint32_t overflows = ticks;
    if (!(chip.sfrs[sfr::sfrIndex(sfr::PCON)] & SMOD))
        overflows = 2 * ticks - chip.periph.serial.baudHalf;
    return cyclesToOverflows(chip, 1, overflows);
}

void runMode0(ChipState& chip, int cycles) {
    SerialState& serial = chip.periph.serial;
    const uint8_t scon = chip.sfrs[sfr::sfrIndex(sfr::SCON)];
    if (scon & SM2) return;
    if ((scon & REN) && serial.rxState != Reception::None) {
        if (serial.rxBits <= cycles)
            byteReceived(chip, 0);
        else
            serial.rxBits -= cycles;
    }
    if (serial.txState == Transmit::Idle) return;
    if (serial.txState == Transmit::Waiting) {
        serial.txState = Transmit::Shifting;
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
    uint8_t& p3 = chip.sfrs[sfr::sfrIndex(sfr::P3)];
    p3 = ((data >> (8 - serial.txBits)) & 1u) ? uint8_t(p3 | kRxdLatchBit)
                                               : uint8_t(p3 & ~kRxdLatchBit);
}

// Mode 2: 64 clock units per bit, 32 with SMOD; 11 bits per frame.
void runMode2(ChipState& chip, int cycles) {
    SerialState& serial = chip.periph.serial;
    const uint8_t scon = chip.sfrs[sfr::sfrIndex(sfr::SCON)];
    const int bitTime = (chip.sfrs[sfr::sfrIndex(sfr::PCON)] & SMOD) ? 32 : 64;
    const int clocks = 12 * cycles;
    if ((scon & REN) && serial.rxState != Reception::None) {
        if (serial.rxState == Reception::Pending) {
            serial.rxState = Reception::Receiving;
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
    if (serial.txState == Transmit::Waiting) {
        serial.txState = Transmit::Shifting;
        serial.txBits = 11;
        serial.txBitTime = bitTime - clocks;
        if (serial.txBitTime > 0) setTxd(chip, 0); // start bit
    } else if (serial.txState == Transmit::Shifting) {
        serial.txBitTime -= clocks;
        if (serial.txBitTime < 0) {
            serial.txBitTime += bitTime;
            if (--serial.txBits < 1)
                byteTransmitted(chip, 2);
            else
                setTxd(chip, txdLevel(chip, serial.txBits, 11));
        }
    }
}

} // namespace

void serialBaudTicks(ChipState& chip, uint32_t txTicks, uint32_t rxTicks) {
    SerialState& serial = chip.periph.serial;
    const unsigned mode = serialMode(chip);
    if (txTicks) {
        uint32_t toBoundary = uint32_t(kTicksPerBit - serial.txPhase);
        while (serial.txState != Transmit::Idle && txTicks >= toBoundary) {
            txTicks -= toBoundary;
            serial.txPhase = 0;
            toBoundary = kTicksPerBit;
            transmitBitBoundary(chip, mode);
        }
        serial.txPhase = uint8_t((serial.txPhase + txTicks) % kTicksPerBit);
    }
    if (rxTicks && chip.periph.line.baud) {
        receiveFromLine(chip, mode, rxTicks);
    } else if (rxTicks && serial.rxState == Reception::Receiving &&
               (chip.sfrs[sfr::sfrIndex(sfr::SCON)] & REN)) {
        if (uint32_t(serial.rxTicks) <= rxTicks) {
            // The count ends at 0 however the ticks came in (one batch or
            // many: where runs were cut), so that the state after a
            // reception is the same either way.
            serial.rxTicks = 0;
            byteReceived(chip, mode);
        } else
            serial.rxTicks -= int32_t(rxTicks);
    }
}

uint32_t serialEventDelay(const ChipState& chip) {
    const uint8_t scon = chip.sfrs[sfr::sfrIndex(sfr::SCON)];
    if (!(scon & SM1)) return kNever;
    const SerialState& serial = chip.periph.serial;
    uint32_t delay = kNever;
    if (serial.txState != Transmit::Idle)
        delay = cyclesToTicks(chip, uint32_t(kTicksPerBit - serial.txPhase), TCLK);
    if (chip.periph.line.baud) {
        // From the line: the tick that sees a step to 0, then the stop
        // bit's decision.
        uint32_t ticks = 0;
        if (serial.rxState == Reception::Receiving)
            ticks = uint32_t(lineFrameEnd(scon >> 6) - serial.rxTicks);
        else if (serial.rxdLast && !serial.rxdLevel && (scon & REN))
            ticks = 1;
        if (ticks) delay = std::min(delay, cyclesToTicks(chip, ticks, RCLK));
    } else if (serial.rxState == Reception::Receiving && (scon & REN)) {
        const uint32_t rx = cyclesToTicks(chip, uint32_t(serial.rxTicks), RCLK);
        if (rx < delay) delay = rx;
    }
    return delay;
}

bool serialStepsNeeded(const ChipState& chip) {
    const SerialState& serial = chip.periph.serial;
    const uint8_t scon = chip.sfrs[sfr::sfrIndex(sfr::SCON)];
    const bool oscillatorTimed = !(scon & SM1); // modes 0 and 2
    if (oscillatorTimed && serial.txState != Transmit::Idle) return true;
    if (!(scon & REN)) return false;
    return serial.rxState == Reception::Pending ||
           (oscillatorTimed && serial.rxState == Reception::Receiving);
}

void runSerialStep(ChipState& chip, int cycles) {
    const unsigned mode = serialMode(chip);
    SerialState& serial = chip.periph.serial;
    switch (mode) {
    case 0:
        if (serial.rxState == Reception::Pending) serial.rxState = Reception::Receiving;
        runMode0(chip, cycles);
        break;
    case 2: runMode2(chip, cycles); break;
    default:
        // Modes 1 and 3: a byte from the host starts arriving; the baud
        // ticks do the rest.
        if (serial.rxState == Reception::Pending &&
            (chip.sfrs[sfr::sfrIndex(sfr::SCON)] & REN)) {
            serial.rxState = Reception::Receiving;
            serial.rxTicks = kTicksPerBit * frameBits(mode);
        }
        break;
    }
}

void startSerialReception(ChipState& chip, uint8_t data, uint8_t ninth) {
    SerialState& serial = chip.periph.serial;
    serial.rxData = data;
    serial.rxNinth = uint8_t(ninth & 1u);
    serial.rxBits = 8; // mode 0 takes 8 machine cycles
    serial.rxState = Reception::Pending;
}

} // namespace quorvel
