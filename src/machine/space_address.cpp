#include "machine/space_address.h"

#include "machine/machine.h"
#include "tools/symbol_names.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace quorvel {

namespace {

struct SpaceName {
    AddressSpace space;
    std::string_view name;
};
constexpr std::array<SpaceName, 6> kSpaceNames{{
    {AddressSpace::InternalRam, "iram"},
    {AddressSpace::Sfr, "sfr"},
    {AddressSpace::Bit, "bit"},
    {AddressSpace::ExternalData, "xdata"},
    {AddressSpace::Eeprom, "eeprom"},
    {AddressSpace::Code, "code"},
}};
constexpr std::string_view kSpaceList = "iram, sfr, bit, xdata, eeprom or code";

std::optional<uint16_t> parseHex(std::string_view text) {
    if (text.size() > 1 && (text.back() == 'h' || text.back() == 'H')) text.remove_suffix(1);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > 0xFFFF)
        return std::nullopt;
    return uint16_t(value);
}

// The byte a bit lives in, and the bit's mask in it.
struct BitCell {
    uint8_t byte;
    uint8_t mask;
};
BitCell bitCell(uint16_t bit) {
    return {ChipState::bitByteAddress(uint8_t(bit)), uint8_t(1u << (bit & 7))};
}

} // namespace

std::string_view addressSpaceName(AddressSpace space) { return kSpaceNames[size_t(space)].name; }

std::optional<SpaceAddress> parseSpaceAddress(std::string_view text, std::string& error) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        error = "expected SPACE:ADDRESS (" + std::string(kSpaceList) + "), got \"" + std::string(text) + "\"";
        return std::nullopt;
    }
    const std::string_view name = text.substr(0, colon), rest = text.substr(colon + 1);
    const auto space = std::find_if(kSpaceNames.begin(), kSpaceNames.end(),
                                    [name](const SpaceName& s) { return s.name == name; });
    if (space == kSpaceNames.end()) {
        error = "unknown memory space \"" + std::string(name) + "\" (" + std::string(kSpaceList) + ")";
        return std::nullopt;
    }
    // Names first: "B" and "ACC" read as hexadecimal too.
    std::string upper(rest);
    for (char& ch : upper) ch = char(std::toupper(static_cast<unsigned char>(ch)));
    std::optional<uint16_t> address;
    if (space->space == AddressSpace::Sfr) address = lookupDirectName(upper);
    if (space->space == AddressSpace::Bit) address = lookupBitName(upper);
    if (!address) address = parseHex(rest);
    if (!address) {
        error = "\"" + std::string(rest) + "\" is not a hexadecimal address";
        return std::nullopt;
    }
    return SpaceAddress{space->space, *address};
}

std::string spaceAddressText(const SpaceAddress& place) {
    const std::string_view name = addressSpaceName(place.space);
    char text[24];
    std::snprintf(text, sizeof text, "%.*s:%0*X", int(name.size()), name.data(),
                  place.address > 0xFF ? 4 : 2, place.address);
    return text;
}

uint32_t spaceSize(const Machine& machine, AddressSpace space) {
    const ChipState& chip = machine.chip;
    switch (space) {
    case AddressSpace::InternalRam: return uint32_t(std::clamp(machine.profile.ramSize, 0, 256));
    case AddressSpace::Sfr: return 0x100; // 80H-0FFH; the low half is not SFR space
    case AddressSpace::Bit: return 0x100;
    case AddressSpace::ExternalData: return chip.hasXdata() ? uint32_t(chip.xdata.size()) : 0;
    case AddressSpace::Eeprom: return uint32_t(chip.eeprom.size());
    case AddressSpace::Code: return uint32_t(chip.code.size());
    }
    return 0;
}

std::optional<std::string> spaceAddressProblem(const Machine& machine, const SpaceAddress& place) {
    const uint16_t a = place.address;
    const char* problem = nullptr;
    switch (place.space) {
    case AddressSpace::InternalRam:
        if (a >= spaceSize(machine, place.space)) problem = "is beyond the internal RAM";
        break;
    case AddressSpace::Bit:
        if (a > 0xFF) problem = "is beyond bit address 0FFH";
        break;
    case AddressSpace::Sfr:
        if (a < 0x80 || a > 0xFF) problem = "is not an SFR address (80H to 0FFH)";
        break;
    case AddressSpace::ExternalData:
        if (!machine.chip.hasXdata()) problem = "does not exist: there is no external data memory";
        else if (a >= spaceSize(machine, place.space)) problem = "is beyond the external data memory";
        break;
    case AddressSpace::Eeprom:
        if (!machine.chip.hasEeprom()) problem = "does not exist: the device has no EEPROM";
        else if (a >= spaceSize(machine, place.space)) problem = "is beyond the EEPROM";
        break;
    case AddressSpace::Code:
        if (a >= spaceSize(machine, place.space)) problem = "is beyond the program memory";
        break;
    }
    if (!problem) return std::nullopt;
    return spaceAddressText(place) + " " + problem;
}

std::vector<uint8_t> readSpace(const Machine& machine, const SpaceAddress& start, size_t count) {
    const ChipState& chip = machine.chip;
    std::vector<uint8_t> values;
    if (spaceAddressProblem(machine, start)) return values;
    const uint32_t end = uint32_t(std::min<uint64_t>(uint64_t(start.address) + count, spaceSize(machine, start.space)));
    values.reserve(end - start.address);
    for (uint32_t a = start.address; a < end; ++a) {
        switch (start.space) {
        case AddressSpace::InternalRam: values.push_back(chip.iram[a]); break;
        case AddressSpace::Sfr: values.push_back(chip.sfr(uint8_t(a))); break;
        case AddressSpace::Bit: {
            const BitCell cell = bitCell(uint16_t(a));
            values.push_back((chip.readStored(cell.byte) & cell.mask) != 0);
            break;
        }
        case AddressSpace::ExternalData: values.push_back(chip.xdata[a]); break;
        case AddressSpace::Eeprom: values.push_back(chip.eeprom[a]); break;
        case AddressSpace::Code: values.push_back(chip.code[a]); break;
        }
    }
    return values;
}

Validation writeSpace(Machine& machine, const SpaceAddress& start, std::span<const uint8_t> values) {
    if (values.empty()) return std::nullopt;
    if (start.address + values.size() - 1 > 0xFFFF)
        return errorMessage("Memory", spaceAddressText(start) + ": " + std::to_string(values.size()) +
                                          " values go beyond address 0FFFFH");
    const SpaceAddress last{start.space, uint16_t(start.address + values.size() - 1)};
    for (const SpaceAddress& end : {start, last})
        if (std::optional<std::string> problem = spaceAddressProblem(machine, end))
            return errorMessage("Memory", *problem);
    if (start.space == AddressSpace::Bit &&
        std::any_of(values.begin(), values.end(), [](uint8_t v) { return v > 1; }))
        return errorMessage("Memory", "a bit takes 0 or 1");

    ChipState& chip = machine.chip;
    uint32_t a = start.address;
    for (uint8_t value : values) {
        switch (start.space) {
        case AddressSpace::InternalRam: chip.iram[a] = value; break;
        case AddressSpace::Sfr: chip.setSfr(uint8_t(a), value); break;
        case AddressSpace::Bit: {
            const BitCell cell = bitCell(uint16_t(a));
            const uint8_t byte = chip.readStored(cell.byte);
            const uint8_t changed = value ? uint8_t(byte | cell.mask) : uint8_t(byte & ~cell.mask);
            if (cell.byte < 0x80) chip.iram[cell.byte] = changed;
            else chip.setSfr(cell.byte, changed);
            break;
        }
        case AddressSpace::ExternalData: chip.xdata[a] = value; break;
        case AddressSpace::Eeprom: chip.eeprom[a] = value; break;
        case AddressSpace::Code: chip.code[a] = value; break;
        }
        ++a;
    }
    return std::nullopt;
}

} // namespace quorvel
