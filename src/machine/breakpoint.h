// Breakpoint conditions: a register, an internal or external data byte, a
// PSW flag or a memory bit that must equal a value. A breakpoint run stops
// after the first instruction after which the condition holds. Also the
// status-bar text and the breakpoint dialog's validation.
#pragma once

#include "chip/device.h"
#include "common/user_message.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quorvel {

struct ChipState;

enum class BreakpointType : uint8_t {
    Register = 0,
    InternalMemory = 1,
    ExternalMemory = 2,
    Flag = 3,
    MemoryBit = 4,
    None = 5, // 5 or 6 in stored files
};

struct BreakpointCondition {
    BreakpointType type = BreakpointType::None;
    uint16_t address = 0;
    uint16_t data = 0;
    uint8_t registerIndex = 0;
    uint8_t flagIndex = 0;

    bool isSet() const { return type < BreakpointType::None; }
    bool operator==(const BreakpointCondition&) const = default;
};

// One entry of the dialog's register list.
struct BreakpointRegister {
    enum class Kind : uint8_t { Sfr8, Sfr16, Bank, Pc };
    const char* name;      // "Accumulator(ACC)"
    const char* shortName; // "ACC"
    Kind kind;
    uint8_t address; // SFR address (low byte for 16-bit pairs), or register number for Bank
    bool wide() const { return kind == Kind::Sfr16 || kind == Kind::Pc; }
};

struct BreakpointFlag {
    const char* name;      // "Carry(C)"
    const char* shortName; // "Flag CY"
    uint8_t mask;          // PSW bit
};

// The register list for a device: 18 entries on the AT89S53/AT89S8252 (two
// data pointers), 15 on the others.
std::span<const BreakpointRegister> breakpointRegisters(DeviceKind kind);
std::span<const BreakpointFlag> breakpointFlags();

// True when the condition holds on the chip now. Reads are free of side
// effects (no SFR read side effects, no pin refresh).
bool breakpointHolds(const BreakpointCondition& condition, DeviceKind kind, const ChipState& chip);

// An external-memory condition without external data memory is switched off.
void dropUnavailableBreakpoint(BreakpointCondition& condition, bool hasExternalData);

// A condition set on device `from` for use on device `to`: a register
// condition keeps its register, found in `to`'s list by what it reads (the
// lists number the registers differently; DPTR is DPTR0 on the two-pointer
// parts). False when `to` lacks that register:
// the condition is then switched off.
bool carryBreakpointOver(BreakpointCondition& condition, DeviceKind from, DeviceKind to);

// Status-bar text: "Break if ..." or "No Breakpoint Set".
std::string breakpointStatusText(const BreakpointCondition& condition, DeviceKind kind);

// OK of the "BreakPoint Setting" dialog. `listIndex` is the register or flag
// list selection (-1 for none). On success `condition` holds the new one.
Validation acceptBreakpointDialog(BreakpointType type, int listIndex, std::string_view addressText,
                                  std::string_view dataText, DeviceKind kind,
                                  BreakpointCondition& condition);

// Whether the dialog offers "&External Data Memory".
bool externalBreakpointAvailable(DeviceKind kind, bool hasExternalData);

} // namespace quorvel
