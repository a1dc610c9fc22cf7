#include "machine/watchpoints.h"

#include "chip/chip_state.h"
#include "machine/machine.h"

#include <algorithm>
#include <cstdio>

namespace quorvel {

namespace {

// The places an instruction wrote through what it names: its direct or bit
// operand, @Ri, Rn, the stack, or MOVX's address. A bit instruction writes
// its whole byte (it reads, changes and writes back the byte). Taken after it ran (and
// after the vectoring of an interrupt, which pushed two bytes more).
struct WriteTargets {
    std::array<int, 4> iram{-1, -1, -1, -1}; // internal RAM addresses
    int sfr = -1;
    int bit = -1;
    int xdata = -1;
    int eeprom = -1;

    bool internalWritten(int address) const {
        return std::find(iram.begin(), iram.end(), address) != iram.end() ||
               (bit >= 0 && bit < 0x80 && ChipState::bitByteAddress(uint8_t(bit)) == address);
    }
    bool sfrWritten(int address) const { return sfr == address || (bit >= 0x80 && (bit & 0xF8) == address); }
    bool covers(const WatchAddress& place) const {
        const int a = place.address;
        switch (place.space) {
        case WatchSpace::InternalRam: return internalWritten(a);
        case WatchSpace::Sfr: return sfrWritten(a);
        // A bit is written by an instruction that names it; a write of its
        // byte that leaves it as it was (ANL P1, #0F1H) leaves it alone.
        case WatchSpace::Bit: return bit == a;
        case WatchSpace::ExternalData: return xdata == a;
        case WatchSpace::Eeprom: return eeprom == a;
        case WatchSpace::Code: return false;
        }
        return false;
    }
};

WriteTargets writeTargets(uint8_t op, const uint8_t* operands, const ChipState& c, bool vectored) {
    WriteTargets t;
    const uint8_t sp = c.sfr(sfr::SP);
    const uint8_t instructionSp = uint8_t(sp - (vectored ? 2 : 0));
    const auto direct = [&t](uint8_t address) { (address < 0x80 ? t.iram[0] : t.sfr) = address; };
    switch (kOpcodeWrites[op]) {
    case DataWrite::None: break;
    case DataWrite::Direct: direct(operands[0]); break;
    case DataWrite::SecondDirect: direct(operands[1]); break;
    case DataWrite::Bit: t.bit = operands[0]; break;
    case DataWrite::Indirect: t.iram[0] = c.iram[uint8_t(c.bankBase() + (op & 1))]; break;
    case DataWrite::Register: t.iram[0] = c.bankBase() + (op & 7); break;
    case DataWrite::Stack:
        t.iram[0] = instructionSp;
        if (isCallOpcode(op)) t.iram[1] = uint8_t(instructionSp - 1);
        break;
    case DataWrite::ExternalData: {
        const bool dptr1 = c.dualDptr && (c.sfr(sfr::WMCON) & sfr::bits::DPS);
        const uint16_t address = op == 0xF0 ? (dptr1 ? c.dptr1() : c.dptr())
                                            : uint16_t(c.sfr(sfr::P2) << 8 | c.iram[uint8_t(c.bankBase() + (op & 1))]);
        const uint8_t wmcon = c.sfr(sfr::WMCON);
        if (c.hasEeprom() && (wmcon & sfr::bits::EEMEN) && address < 2048) {
            if (wmcon & sfr::bits::EEMWE) t.eeprom = address;
        } else {
            t.xdata = address;
        }
        break;
    }
    }
    if (vectored) {
        t.iram[2] = uint8_t(sp - 1);
        t.iram[3] = sp;
    }
    return t;
}

} // namespace

bool Watchpoints::check(uint8_t op, const uint8_t* operands, const ChipState& c, uint16_t writerPc, bool vectored) {
    const WriteTargets written = writeTargets(op, operands, c, vectored);
    for (size_t i = 0; i < cells_.size(); ++i) {
        const Cell& cell = cells_[i];
        const uint8_t now = *cell.byte & cell.mask;
        if (now != cell.last || written.covers(places_[size_t(cell.place)])) [[unlikely]]
            return changed(i, now, writerPc);
    }
    return false;
}

std::optional<WatchAddress> parseWatchAddress(std::string_view text, std::string& error) {
    const std::optional<SpaceAddress> place = parseSpaceAddress(text, error);
    if (place && place->space == AddressSpace::Code) {
        error = "code memory cannot be watched: no instruction writes it";
        return std::nullopt;
    }
    return place;
}

Validation Watchpoints::add(const WatchAddress& place, const Machine& machine) {
    std::optional<std::string> problem = spaceAddressProblem(machine, place);
    if (!problem && place.space == AddressSpace::Code)
        problem = "code memory cannot be watched: no instruction writes it";
    if (problem) return errorMessage("Watchpoint", *problem);
    places_.push_back(place);
    filterStale_ = true;
    return std::nullopt;
}

void Watchpoints::remove(int index) {
    if (index >= 0 && size_t(index) < places_.size()) places_.erase(places_.begin() + index);
    filterStale_ = true;
}

void Watchpoints::clear() {
    places_.clear();
    cells_.clear();
    filterStale_ = true;
    hit_.reset();
}

void Watchpoints::buildFilter(bool withCalls) {
    direct_.fill(false);
    internal_.fill(false);
    externalData_ = everyInstruction_ = false;
    const auto internalByte = [this](uint8_t address) {
        internal_[address] = true;
        if (address < 0x80) direct_[address] = true;
    };
    for (const WatchAddress& place : places_) {
        const uint8_t low = uint8_t(place.address);
        switch (place.space) {
        case WatchSpace::InternalRam: internalByte(low); break;
        case WatchSpace::Bit:
            if (low < 0x80) internalByte(ChipState::bitByteAddress(low));
            else everyInstruction_ = true;
            break;
        case WatchSpace::Sfr: everyInstruction_ = true; break;
        case WatchSpace::ExternalData:
        case WatchSpace::Eeprom: externalData_ = true; break;
        case WatchSpace::Code: break;
        }
    }
    bool anyDirect = false, anyInternal = false, anyRegister = false;
    for (unsigned a = 0; a < 256; ++a) anyDirect |= direct_[a], anyInternal |= internal_[a];
    for (unsigned a = 0; a < 0x20; ++a) anyRegister |= internal_[a];
    // What the loop does after an instruction of each opcode. It looks at
    // a direct address, at @Ri (unless a register is watched: @Ri may point
    // at Ri itself) and at the stack without a call.
    for (unsigned op = 0; op < 256; ++op) {
        const bool callOrReturn = withCalls && (isCallOpcode(uint8_t(op)) || isReturnOpcode(uint8_t(op)));
        uint8_t kind = kSkip;
        switch (kOpcodeWrites[op]) {
        case DataWrite::None: break;
        case DataWrite::Direct: kind = anyDirect ? kLookAtDirect : kSkip; break;
        case DataWrite::SecondDirect:
        case DataWrite::Bit: kind = anyDirect ? kLook : kSkip; break;
        case DataWrite::Register: kind = anyRegister ? kLook : kSkip; break;
        case DataWrite::Indirect: kind = !anyInternal ? kSkip : anyRegister ? kLook : kLookAtIndirect; break;
        case DataWrite::Stack: kind = anyInternal ? kLookAtStack : kSkip; break;
        case DataWrite::ExternalData: kind = externalData_ ? kLook : kSkip; break;
        }
        opcodes_[op] = everyInstruction_ || callOrReturn ? kLook : kind;
        for (unsigned b1 = 0; b1 < 256; ++b1)
            pairs_[op << 8 | b1] = opcodes_[op] == kLookAtDirect ? direct_[b1] : opcodes_[op] != kSkip;
    }
    filterStale_ = false;
    filterWithCalls_ = withCalls;
}

void Watchpoints::arm(ChipState& chip, bool withCalls) {
    if (filterStale_ || withCalls != filterWithCalls_) buildFilter(withCalls);
    cells_.clear();
    for (size_t i = 0; i < places_.size(); ++i) {
        const WatchAddress& place = places_[i];
        const uint16_t a = place.address;
        Cell cell{nullptr, 0xFF, 0, int(i)};
        switch (place.space) {
        case WatchSpace::InternalRam: cell.byte = &chip.iram[uint8_t(a)]; break;
        case WatchSpace::Sfr: cell.byte = &chip.sfr(uint8_t(a | 0x80)); break;
        case WatchSpace::Bit: {
            const uint8_t byte = ChipState::bitByteAddress(uint8_t(a));
            cell.byte = byte < 0x80 ? &chip.iram[byte] : &chip.sfr(byte);
            cell.mask = uint8_t(1u << (a & 7));
            break;
        }
        case WatchSpace::ExternalData:
            // The memories may have been resized since the place was added.
            if (a < chip.xdata.size()) cell.byte = &chip.xdata[a];
            break;
        case WatchSpace::Eeprom:
            if (a < chip.eeprom.size()) cell.byte = &chip.eeprom[a];
            break;
        case WatchSpace::Code: break;
        }
        if (!cell.byte) continue;
        cell.last = *cell.byte & cell.mask;
        cells_.push_back(cell);
    }
}

bool Watchpoints::changed(size_t index, uint8_t now, uint16_t writerPc) {
    Cell& cell = cells_[index];
    WatchHit hit;
    hit.index = cell.place;
    hit.place = places_[size_t(cell.place)];
    hit.oldValue = cell.mask == 0xFF ? cell.last : uint8_t(cell.last != 0);
    hit.newValue = cell.mask == 0xFF ? now : uint8_t(now != 0);
    hit.writerPc = writerPc;
    cell.last = now;
    hit_ = hit;
    return true;
}

} // namespace quorvel
