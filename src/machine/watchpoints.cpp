#include "machine/watchpoints.h"

#include "chip/chip_state.h"
#include "tools/symbol_names.h"

#include <cctype>
#include <charconv>
#include <cstdio>

namespace quorvel {

namespace {

struct SpaceName {
    WatchSpace space;
    std::string_view name;
};
constexpr SpaceName kSpaceNames[] = {
    {WatchSpace::InternalRam, "iram"}, {WatchSpace::Sfr, "sfr"},       {WatchSpace::Bit, "bit"},
    {WatchSpace::ExternalData, "xdata"}, {WatchSpace::Eeprom, "eeprom"},
};

std::string_view spaceName(WatchSpace space) { return kSpaceNames[size_t(space)].name; }

std::optional<uint16_t> parseHex(std::string_view text) {
    if (text.size() > 1 && (text.back() == 'h' || text.back() == 'H')) text.remove_suffix(1);
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > 0xFFFF)
        return std::nullopt;
    return uint16_t(value);
}

} // namespace

std::optional<WatchAddress> parseWatchAddress(std::string_view text, std::string& error) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        error = "expected SPACE:ADDRESS (iram, sfr, bit, xdata or eeprom), got \"" + std::string(text) + "\"";
        return std::nullopt;
    }
    const std::string_view name = text.substr(0, colon), rest = text.substr(colon + 1);
    const SpaceName* space = nullptr;
    for (const SpaceName& s : kSpaceNames)
        if (s.name == name) space = &s;
    if (!space) {
        error = "unknown memory space \"" + std::string(name) + "\" (iram, sfr, bit, xdata or eeprom)";
        return std::nullopt;
    }
    // Names first: "B" and "ACC" read as hexadecimal too.
    std::string upper(rest);
    for (char& ch : upper) ch = char(std::toupper(static_cast<unsigned char>(ch)));
    std::optional<uint16_t> address;
    if (space->space == WatchSpace::Sfr) address = lookupDirectName(upper);
    if (space->space == WatchSpace::Bit) address = lookupBitName(upper);
    if (!address) address = parseHex(rest);
    if (!address) {
        error = "\"" + std::string(rest) + "\" is not a hexadecimal address";
        return std::nullopt;
    }
    return WatchAddress{space->space, *address};
}

std::string watchAddressText(const WatchAddress& place) {
    char text[24];
    std::snprintf(text, sizeof text, "%.*s:%0*X", int(spaceName(place.space).size()),
                  spaceName(place.space).data(), place.address > 0xFF ? 4 : 2, place.address);
    return text;
}

Validation Watchpoints::add(const WatchAddress& place, const ChipState& chip) {
    const uint16_t a = place.address;
    const char* problem = nullptr;
    switch (place.space) {
    case WatchSpace::InternalRam:
    case WatchSpace::Bit:
        if (a > 0xFF) problem = "is beyond 0FFH";
        break;
    case WatchSpace::Sfr:
        if (a < 0x80 || a > 0xFF) problem = "is not an SFR address (80H to 0FFH)";
        break;
    case WatchSpace::ExternalData:
        if (!chip.hasXdata()) problem = "cannot be watched: there is no external data memory";
        else if (a > chip.xdataLimit) problem = "is beyond the external data memory";
        break;
    case WatchSpace::Eeprom:
        if (!chip.hasEeprom()) problem = "cannot be watched: the device has no EEPROM";
        else if (a >= chip.eeprom.size()) problem = "is beyond the EEPROM";
        break;
    }
    if (problem) return errorMessage("Watchpoint", watchAddressText(place) + " " + problem);
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
        }
    }
    bool anyDirect = false, anyInternal = false, anyRegister = false;
    for (unsigned a = 0; a < 256; ++a) anyDirect |= direct_[a], anyInternal |= internal_[a];
    for (unsigned a = 0; a < 0x20; ++a) anyRegister |= internal_[a];
    for (unsigned op = 0; op < 256; ++op) {
        bool look = everyInstruction_;
        switch (kOpcodeWrites[op]) {
        case DataWrite::None: break;
        case DataWrite::Direct: break; // below
        case DataWrite::SecondDirect:
        case DataWrite::Bit: look |= anyDirect; break;
        case DataWrite::Register: look |= anyRegister; break;
        case DataWrite::Indirect:
        case DataWrite::Stack: look |= anyInternal; break;
        case DataWrite::ExternalData: look |= externalData_; break;
        }
        look |= withCalls && (isCallOpcode(uint8_t(op)) || isReturnOpcode(uint8_t(op)));
        opcodes_[op] = look ? kLook
                       : kOpcodeWrites[op] == DataWrite::Direct && anyDirect ? kLookAtDirect
                                                                            : kSkip;
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
