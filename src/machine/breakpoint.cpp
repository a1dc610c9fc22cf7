#include "machine/breakpoint.h"

#include "chip/chip_state.h"
#include "common/hex_field.h"

#include <cstdio>

namespace quorvel {

namespace {

using R = BreakpointRegister;
using RK = BreakpointRegister::Kind;

// clang-format off
constexpr BreakpointRegister kRegisters[] = {
    {"Accumulator(ACC)",            "ACC",  RK::Sfr8,  sfr::ACC},
    {"B Register(B)",               "B",    RK::Sfr8,  sfr::B},
    {"Data Pointer High Byte(DPH)", "DPH",  RK::Sfr8,  sfr::DPH},
    {"Data Pointer Low Byte(DPL)",  "DPL",  RK::Sfr8,  sfr::DPL},
    {"Data Pointer(DPTR)",          "DPTR", RK::Sfr16, sfr::DPL},
    {"General Register 0(R0)", "R0", RK::Bank, 0}, {"General Register 1(R1)", "R1", RK::Bank, 1},
    {"General Register 2(R2)", "R2", RK::Bank, 2}, {"General Register 3(R3)", "R3", RK::Bank, 3},
    {"General Register 4(R4)", "R4", RK::Bank, 4}, {"General Register 5(R5)", "R5", RK::Bank, 5},
    {"General Register 6(R6)", "R6", RK::Bank, 6}, {"General Register 7(R7)", "R7", RK::Bank, 7},
    {"Program Counter(PC)",         "PC",   RK::Pc,    0},
    {"Stack Pointer(SP)",           "SP",   RK::Sfr8,  sfr::SP},
};

constexpr BreakpointRegister kDualDptrRegisters[] = {
    {"Accumulator(ACC)",                "ACC",   RK::Sfr8,  sfr::ACC},
    {"B Register(B)",                   "B",     RK::Sfr8,  sfr::B},
    {"Data Pointer0 High Byte(DP0H)",   "DP0H",  RK::Sfr8,  sfr::DPH},
    {"Data Pointer0 Low Byte(DP0L)",    "DP0L",  RK::Sfr8,  sfr::DPL},
    {"Data Pointer0(DPTR0)",            "DPTR0", RK::Sfr16, sfr::DPL},
    {"Data Pointer1 High Byte(DP1H)",   "DP1H",  RK::Sfr8,  sfr::DP1H},
    {"Data Pointer1 Low Byte(DP1L)",    "DP1L",  RK::Sfr8,  sfr::DP1L},
    {"Data Pointer1(DPTR1)",            "DPTR1", RK::Sfr16, sfr::DP1L},
    {"General Register 0(R0)", "R0", RK::Bank, 0}, {"General Register 1(R1)", "R1", RK::Bank, 1},
    {"General Register 2(R2)", "R2", RK::Bank, 2}, {"General Register 3(R3)", "R3", RK::Bank, 3},
    {"General Register 4(R4)", "R4", RK::Bank, 4}, {"General Register 5(R5)", "R5", RK::Bank, 5},
    {"General Register 6(R6)", "R6", RK::Bank, 6}, {"General Register 7(R7)", "R7", RK::Bank, 7},
    {"Program Counter(PC)",             "PC",    RK::Pc,    0},
    {"Stack Pointer(SP)",               "SP",    RK::Sfr8,  sfr::SP},
};

constexpr BreakpointFlag kFlags[] = {
    {"Auxillary Carry(AC)", "Flag AC", sfr::bits::AC},
    {"Carry(C)",            "Flag CY", sfr::bits::CY},
    {"General Flag(F0)",    "Flag F0", sfr::bits::F0},
    {"Overflow Flag(OV)",   "Flag OV", sfr::bits::OV},
    {"Parity(P)",           "Flag P",  sfr::bits::P},
};
// clang-format on

bool hasDualDptrList(DeviceKind kind) {
    return kind == DeviceKind::AT89S53 || kind == DeviceKind::AT89S8252;
}

uint16_t registerValue(const BreakpointRegister& r, const ChipState& chip) {
    switch (r.kind) {
    case RK::Sfr8: return chip.sfr(r.address);
    case RK::Sfr16: return uint16_t(chip.sfr(uint8_t(r.address + 1)) << 8 | chip.sfr(r.address));
    case RK::Bank: return chip.iram[chip.bankBase() + r.address];
    case RK::Pc: return chip.pc;
    }
    return 0;
}

// "0" or "1" only.
std::optional<uint16_t> parseBitValue(std::string_view text) {
    if (text == "0") return 0;
    if (text == "1") return 1;
    return std::nullopt;
}

std::optional<uint16_t> parseHexOfWidth(std::string_view text, size_t maxChars) {
    if (text.size() > maxChars) return std::nullopt;
    return parseHexField(text);
}

} // namespace

std::span<const BreakpointRegister> breakpointRegisters(DeviceKind kind) {
    if (hasDualDptrList(kind)) return kDualDptrRegisters;
    return kRegisters;
}

std::span<const BreakpointFlag> breakpointFlags() { return kFlags; }

bool breakpointHolds(const BreakpointCondition& c, DeviceKind kind, const ChipState& chip) {
    switch (c.type) {
    case BreakpointType::Register: {
        auto list = breakpointRegisters(kind);
        if (c.registerIndex >= list.size()) return false;
        return registerValue(list[c.registerIndex], chip) == c.data;
    }
    case BreakpointType::InternalMemory: return chip.iram[c.address & 0xFF] == c.data;
    case BreakpointType::ExternalMemory: {
        uint8_t value = chip.hasXdata() && c.address <= chip.xdataLimit ? chip.xdata[c.address] : 0xFF;
        return value == c.data;
    }
    case BreakpointType::Flag:
        if (c.flagIndex >= std::size(kFlags)) return false;
        return ((chip.psw() & kFlags[c.flagIndex].mask) != 0) == (c.data != 0);
    case BreakpointType::MemoryBit:
        return chip.readLatchBit(uint8_t(c.address & 0x7F)) == (c.data != 0);
    default: return false;
    }
}

void dropUnavailableBreakpoint(BreakpointCondition& condition, bool hasExternalData) {
    if (condition.type == BreakpointType::ExternalMemory && !hasExternalData)
        condition.type = BreakpointType::None;
}

bool carryBreakpointOver(BreakpointCondition& condition, DeviceKind from, DeviceKind to) {
    if (condition.type != BreakpointType::Register) return true;
    const auto before = breakpointRegisters(from);
    const auto after = breakpointRegisters(to);
    if (condition.registerIndex < before.size()) {
        const BreakpointRegister& r = before[condition.registerIndex];
        for (size_t i = 0; i < after.size(); ++i)
            if (after[i].kind == r.kind && after[i].address == r.address) {
                condition.registerIndex = uint8_t(i);
                return true;
            }
    }
    condition.type = BreakpointType::None;
    return false;
}

std::string breakpointStatusText(const BreakpointCondition& c, DeviceKind kind) {
    char text[64];
    switch (c.type) {
    case BreakpointType::Register: {
        auto list = breakpointRegisters(kind);
        if (c.registerIndex >= list.size()) break;
        const BreakpointRegister& r = list[c.registerIndex];
        std::snprintf(text, sizeof text, r.wide() ? "Break if %s = %04XH" : "Break if %s = %02XH",
                      r.shortName, unsigned(c.data));
        return text;
    }
    case BreakpointType::InternalMemory:
        std::snprintf(text, sizeof text, "Break if Int Mem (%02XH) = %02XH", unsigned(c.address),
                      unsigned(c.data));
        return text;
    case BreakpointType::ExternalMemory:
        std::snprintf(text, sizeof text, "Break if Ext Mem (%04XH) = %02XH", unsigned(c.address),
                      unsigned(c.data));
        return text;
    case BreakpointType::Flag:
        if (c.flagIndex >= std::size(kFlags)) break;
        std::snprintf(text, sizeof text, "Break if %s = %01X", kFlags[c.flagIndex].shortName,
                      unsigned(c.data));
        return text;
    case BreakpointType::MemoryBit:
        std::snprintf(text, sizeof text, "Break if  Mem Bit %02XH = %01X", unsigned(c.address),
                      unsigned(c.data));
        return text;
    default: break;
    }
    return "No Breakpoint Set";
}

Validation acceptBreakpointDialog(BreakpointType type, int listIndex, std::string_view addressText,
                                  std::string_view dataText, DeviceKind kind,
                                  BreakpointCondition& condition) {
    auto fail = [](const char* text) { return errorMessage("ERROR", text); };
    BreakpointCondition result;
    result.type = type;
    switch (type) {
    case BreakpointType::Register: {
        auto list = breakpointRegisters(kind);
        if (listIndex < 0 || size_t(listIndex) >= list.size())
            return fail("No Register was Selected");
        auto data = parseHexOfWidth(dataText, 4);
        if (!data || (!list[size_t(listIndex)].wide() && *data > 0xFF)) return fail("Illegal Data.");
        result.registerIndex = uint8_t(listIndex);
        result.data = *data;
        break;
    }
    case BreakpointType::InternalMemory:
    case BreakpointType::ExternalMemory: {
        size_t addressChars = type == BreakpointType::InternalMemory ? 2 : 4;
        auto address = parseHexOfWidth(addressText, addressChars);
        if (!address) return fail("Illegal Address.");
        auto data = parseHexOfWidth(dataText, 2);
        if (!data) return fail("Illegal Data.");
        result.address = *address;
        result.data = *data;
        break;
    }
    case BreakpointType::Flag: {
        if (listIndex < 0 || size_t(listIndex) >= std::size(kFlags))
            return fail("No Flag was Selected");
        auto data = parseBitValue(dataText);
        if (!data) return fail("Illegal Data.");
        result.flagIndex = uint8_t(listIndex);
        result.data = *data;
        break;
    }
    case BreakpointType::MemoryBit: {
        auto address = parseHexOfWidth(addressText, 2);
        if (!address || *address >= 0x80) return fail("Illegal Address.");
        auto data = parseBitValue(dataText);
        if (!data) return fail("Illegal Data.");
        result.address = *address;
        result.data = *data;
        break;
    }
    default: result.type = BreakpointType::None; break;
    }
    condition = result;
    return std::nullopt;
}

bool externalBreakpointAvailable(DeviceKind kind, bool hasExternalData) {
    return kind == DeviceKind::I8031 || kind == DeviceKind::I8032 || hasExternalData;
}

} // namespace quorvel
