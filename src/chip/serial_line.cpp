#include "chip/serial_line.h"

#include "chip/timers.h"

#include <cmath>

namespace quorvel {

namespace {

using namespace sfr::bits;

constexpr double kFractionsPerCycle = 65536.0;

uint8_t scon(const ChipState& chip) { return chip.sfrs[sfr::sfrIndex(sfr::SCON)]; }
// Modes 2 and 3 carry a ninth data bit: start, 8 data, ninth, stop.
uint8_t frameBits(const ChipState& chip) { return (scon(chip) & SM0) ? 11 : 10; }
unsigned lineLevel(const ChipState& chip, int line) { return (chip.pinSideLevels() >> line) & 1u; }

// The host's bit time in 1/65536 machine cycles.
uint64_t bitTime(const ChipState& chip) {
    const double cycles = 1e6 / (double(chip.cycleTimeUs) * double(chip.periph.line.baud));
    return uint64_t(std::llround(cycles * kFractionsPerCycle));
}

void advance(uint32_t& cycle, uint16_t& fraction, uint64_t by) {
    const uint64_t sum = fraction + by;
    cycle += uint32_t(sum >> 16);
    fraction = uint16_t(sum);
}
// A time takes effect at the first whole cycle not before it.
uint32_t dueCycle(uint32_t cycle, uint16_t fraction) { return cycle + (fraction ? 1u : 0u); }

// The frame's levels, least significant first: start bit, data, ninth bit,
// stop bit.
uint16_t frameLevels(uint8_t data, uint8_t ninth, uint8_t bits) {
    const uint16_t stop = uint16_t(1u << (bits - 1));
    const uint16_t ninthBit = bits == 11 && (ninth & 1u) ? uint16_t(1u << 9) : uint16_t(0);
    return uint16_t(stop | ninthBit | uint16_t(data) << 1);
}

void startFrame(SerialLineState& line, uint32_t at, uint16_t levels, uint8_t bits) {
    line.txFrame = levels;
    // One step more than bits: the last ends the stop bit.
    line.txBitsLeft = uint8_t(bits + 1);
    line.txEdge = at;
    line.txEdgeFraction = 0;
}

// The host's transmitter: the next bit on RXD, or the end of the frame.
void transmitStep(ChipState& chip, uint32_t at) {
    SerialLineState& line = chip.periph.line;
    if (line.txBitsLeft > 1) {
        chip.pins.drivePin(pin::RXD, line.txFrame & 1u);
        line.txFrame >>= 1;
        --line.txBitsLeft;
        advance(line.txEdge, line.txEdgeFraction, line.txBitTime);
        serialLinesChanged(chip, at);
        return;
    }
    line.txBitsLeft = 0;
    if (line.txNextBits) {
        startFrame(line, at, line.txNext, line.txNextBits);
        line.txNextBits = 0;
    } else if (chip.events) {
        chip.events->hostFrameSent();
    }
}

// The host's receiver: a sample of TXD in the middle of a bit.
void receiveStep(ChipState& chip) {
    SerialLineState& line = chip.periph.line;
    const unsigned level = lineLevel(chip, pin::TXD);
    const int index = line.rxFrameBits - line.rxBitsLeft;
    line.txdLevel = uint8_t(level);
    if (index == 0 && level) { // the start bit did not hold
        line.rxBitsLeft = 0;
        return;
    }
    line.rxShift = uint16_t(line.rxShift | level << index);
    if (--line.rxBitsLeft) {
        advance(line.rxSample, line.rxSampleFraction, line.rxBitTime);
        return;
    }
    const bool stop = (line.rxShift >> (line.rxFrameBits - 1)) & 1u;
    const uint8_t data = uint8_t(line.rxShift >> 1);
    uint16_t entry = data;
    if (line.rxFrameBits == 11) entry = uint16_t(0x200u | (line.rxShift & 0x200u ? 0x100u : 0u) | data);
    if (!stop) ++line.framingErrors;
    if (chip.events) chip.events->hostByteRead(entry, !stop);
}

} // namespace

void setSerialLineBaud(ChipState& chip, uint32_t baud) {
    SerialLineState& line = chip.periph.line;
    if (line.baud == baud) return;
    line = SerialLineState{};
    line.baud = baud;
    line.txdLevel = uint8_t(lineLevel(chip, pin::TXD));
    chip.periph.serial.rxdLevel = chip.periph.serial.rxdLast = uint8_t(lineLevel(chip, pin::RXD));
}

bool serialLineInUse(const ChipState& chip) {
    if (!chip.periph.line.baud) return false;
    const uint8_t s = scon(chip);
    const bool mode2 = (s & (SM0 | SM1)) == SM0;
    const bool mode0Receiving = (s & (SM0 | SM1 | REN)) == REN;
    return !mode2 && !mode0Receiving;
}

void sendSerialLineFrame(ChipState& chip, uint8_t data, uint8_t ninth) {
    SerialLineState& line = chip.periph.line;
    const uint8_t bits = frameBits(chip);
    const uint16_t levels = frameLevels(data, ninth, bits);
    if (line.txBitsLeft) {
        line.txNext = levels;
        line.txNextBits = bits;
        return;
    }
    line.txBitTime = bitTime(chip);
    startFrame(line, chip.periph.timers.countedTo, levels, bits);
}

bool serialLineBusy(const ChipState& chip) {
    return chip.periph.line.txBitsLeft || chip.periph.line.txNextBits;
}

uint32_t serialLineDelay(const ChipState& chip, uint32_t now) {
    const SerialLineState& line = chip.periph.line;
    uint32_t delay = kNever;
    auto consider = [&](uint32_t cycle, uint16_t fraction) {
        const int32_t left = int32_t(dueCycle(cycle, fraction) - now);
        const uint32_t d = left > 0 ? uint32_t(left) : 0;
        if (d < delay) delay = d;
    };
    if (line.txBitsLeft) consider(line.txEdge, line.txEdgeFraction);
    if (line.rxBitsLeft) consider(line.rxSample, line.rxSampleFraction);
    return delay;
}

void runSerialLine(ChipState& chip, uint32_t now) {
    SerialLineState& line = chip.periph.line;
    for (;;) {
        // The earlier of the two due events; the transmitter first on a tie.
        const bool tx = line.txBitsLeft && int32_t(now - dueCycle(line.txEdge, line.txEdgeFraction)) >= 0;
        const bool rx = line.rxBitsLeft && int32_t(now - dueCycle(line.rxSample, line.rxSampleFraction)) >= 0;
        if (!tx && !rx) return;
        const uint32_t txAt = dueCycle(line.txEdge, line.txEdgeFraction);
        const uint32_t rxAt = dueCycle(line.rxSample, line.rxSampleFraction);
        const bool transmitFirst = tx && (!rx || int32_t(rxAt - txAt) >= 0);
        const uint32_t at = transmitFirst ? txAt : rxAt;
        countTimers(chip, at);
        serialLinesChanged(chip, at);
        if (transmitFirst)
            transmitStep(chip, at);
        else
            receiveStep(chip);
    }
}

bool serialLinesChanged(ChipState& chip, uint32_t at) {
    SerialLineState& line = chip.periph.line;
    if (!line.baud) return false;
    SerialState& serial = chip.periph.serial;
    const unsigned rxd = lineLevel(chip, pin::RXD);
    if (rxd != serial.rxdLevel) {
        // The receiver's ticks up to now saw the old level.
        countTimers(chip, at);
        serial.rxdLevel = uint8_t(rxd);
    }
    const unsigned txd = lineLevel(chip, pin::TXD);
    const bool fall = line.txdLevel && !txd;
    line.txdLevel = uint8_t(txd);
    if (!fall || line.rxBitsLeft || !serialLineInUse(chip)) return false;
    // A start bit: the first sample in its middle.
    line.rxFrameBits = frameBits(chip);
    line.rxBitsLeft = line.rxFrameBits;
    line.rxShift = 0;
    line.rxBitTime = bitTime(chip);
    line.rxSample = at;
    line.rxSampleFraction = 0;
    advance(line.rxSample, line.rxSampleFraction, line.rxBitTime / 2);
    return true;
}

} // namespace quorvel
