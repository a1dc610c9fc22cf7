#include "modules/spi_eeprom.h"

namespace quorvel {

namespace {

inline unsigned latchBit(const ChipState& chip, PinRef ref) {
    return (chip.sfrs[size_t(((ref >> 4) & 3) * 0x10)] >> (ref & 7)) & 1u;
}

// How many quarters of the device, from address 0, stay writable for
// block-protect bits 0 to 3.
constexpr std::array<int, 4> kWritableQuarters{4, 3, 2, 0};

int dataInLine(const SpiSettings& s) {
    return pinIndex(s.SpiLines[spiFourWire(s) ? kSpiSi : kSpiSo]);
}

// Whether the device presents output bits in this byte: READ from the first
// data byte on, RDSR from the byte after the instruction.
bool outputActive(const SpiEepromState& e) {
    const uint8_t op = e.instruction & 7;
    return (op == spi_op::READ && e.byteCounter >= 2) || (op == spi_op::RDSR && e.byteCounter >= 1);
}

uint8_t statusReply(const SpiEepromState& e) {
    return spiEepromBusy(e) ? 0xFF : e.status;
}

// A byte has come in on SI; `e.byteCounter` is its place in the selection.
void byteComplete(SpiEepromState& e, const SpiSettings& s, uint8_t value) {
    const int size = spiEepromSize(spiEepromType(s));
    const bool busy = spiEepromBusy(e);
    if (e.byteCounter == 0) {
        e.instruction = value;
        e.written = false;
        if (busy && (value & 7) != spi_op::RDSR) {
            e.instruction = 0; // ignored while the write cycle runs
            return;
        }
        switch (value & 7) {
        case spi_op::WREN: e.status |= kSpiStatusWriteEnable; break;
        case spi_op::WRDI: e.status &= uint8_t(~kSpiStatusWriteEnable); break;
        case spi_op::RDSR: e.sendByte = statusReply(e); break;
        default: break;
        }
        return;
    }
    const uint8_t op = e.instruction & 7;
    if (e.byteCounter == 1) e.addressByte = value;
    switch (op) {
    case spi_op::RDSR: e.sendByte = statusReply(e); break;
    case spi_op::WRSR:
        if (e.byteCounter == 1 && !busy && (e.status & kSpiStatusWriteEnable) &&
            !(s.SpiEepromOptions & kSpiEepromWriteProtect)) {
            e.status = uint8_t((e.status & ~kSpiStatusBlockProtect) | (value & kSpiStatusBlockProtect));
            e.written = true;
        }
        break;
    case spi_op::READ:
        if (e.byteCounter == 1) e.pointer = uint16_t(((e.instruction & 0x08) << 5 | value) % size);
        e.sendByte = e.memory[e.pointer % size];
        e.pointer = uint16_t((e.pointer + 1) % size);
        break;
    case spi_op::WRITE:
        if (e.byteCounter == 1) {
            e.pointer = uint16_t(((e.instruction & 0x08) << 5 | value) % size);
            break;
        }
        e.dataByte = value;
        if (!busy && (e.status & kSpiStatusWriteEnable) && spiEepromWritable(e, s, e.pointer)) {
            e.memory[e.pointer % size] = value;
            e.written = true;
        }
        e.pointer = uint16_t((e.pointer & ~7u) | ((e.pointer + 1) & 7u));
        break;
    default: break;
    }
}

} // namespace

void runSpiEeprom(SpiEepromState& e, const SpiSettings& s, ChipState& chip, int cycles,
                  float cycleTimeUs) {
    if (!(s.SpiEepromOptions & kSpiEepromConnected)) return;
    if (e.writeCountdown > 0) {
        e.writeCountdown -= cycles;
        if (e.writeCountdown <= 0) e.status &= uint8_t(~(kSpiStatusBusy | kSpiStatusWriteEnable));
    }
    const uint8_t cs = uint8_t(latchBit(chip, s.SpiEepromCs));
    const uint8_t sck = uint8_t(latchBit(chip, s.SpiLines[kSpiSck]));
    if (cs == e.previousCs && sck == e.previousSck) return;

    if (cs != e.previousCs) {
        if (cs == 0) {
            e.selected = true;
            e.written = false;
            e.byteCounter = 0;
            e.bitCounter = 7;
            e.shiftRegister = 0;
            e.instruction = 0;
        } else {
            e.selected = false;
            chip.pins.releasePin(pinIndex(s.SpiLines[kSpiSo]), chip.portLatches());
            if (e.written) {
                e.written = false;
                e.writeCountdown = 10000.0 / double(cycleTimeUs);
                e.status |= kSpiStatusBusy;
            }
        }
    }
    if (e.selected && sck != e.previousSck) {
        if (sck) {
            if ((chip.portLatches() >> dataInLine(s)) & 1u)
                e.shiftRegister |= uint8_t(1u << e.bitCounter);
            if (e.bitCounter == 0) {
                const uint8_t value = e.shiftRegister;
                e.shiftRegister = 0;
                e.bitCounter = 7;
                byteComplete(e, s, value);
                if (e.byteCounter < 0xFFFF) ++e.byteCounter;
            } else {
                --e.bitCounter;
            }
        } else if (outputActive(e)) {
            chip.pins.drivePin(pinIndex(s.SpiLines[kSpiSo]), (e.sendByte >> e.bitCounter) & 1u);
        }
    }
    e.previousCs = cs;
    e.previousSck = sck;
}

bool spiEepromWritable(const SpiEepromState& e, const SpiSettings& s, int address) {
    const int size = spiEepromSize(spiEepromType(s));
    if (address < 0 || address >= size || (s.SpiEepromOptions & kSpiEepromWriteProtect))
        return false;
    const int blockProtect = (e.status & kSpiStatusBlockProtect) >> 2;
    return address < size / 4 * kWritableQuarters[size_t(blockProtect)];
}

bool editSpiEeprom(SpiEepromState& e, const SpiSettings& s, int address, uint8_t value) {
    const int size = spiEepromSize(spiEepromType(s));
    if (address < 0 || address >= size || (s.SpiEepromOptions & kSpiEepromWriteProtect))
        return false;
    e.memory[size_t(address)] = value;
    return true;
}

} // namespace quorvel
