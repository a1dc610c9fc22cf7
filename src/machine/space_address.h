// One address form for every memory space a user reads, writes or watches:
// "SPACE:ADDRESS" with the address in hexadecimal (an SFR or a bit may be
// named: "sfr:P1", "bit:TI"). The spaces are program memory ("code"),
// internal RAM as @Ri reaches it ("iram", up to the device's RAM size), the
// SFRs ("sfr", 80H-0FFH), the bit space ("bit", one byte 0 or 1 per bit),
// external data memory ("xdata") and the on-chip EEPROM ("eeprom").
//
// Reading and writing here is what a debugger does, not what an instruction
// does: a read has no side effect (SBUF reads what was last received and
// clears no flag), and a write stores the value (an SFR write keeps P, the
// parity of A, right) without starting a transfer or a timed EEPROM write.
#pragma once

#include "common/user_message.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

struct Machine;

enum class AddressSpace : uint8_t { InternalRam, Sfr, Bit, ExternalData, Eeprom, Code };

struct SpaceAddress {
    AddressSpace space = AddressSpace::InternalRam;
    uint16_t address = 0;
    bool operator==(const SpaceAddress&) const = default;
};

// "iram", "sfr", "bit", "xdata", "eeprom", "code".
std::string_view addressSpaceName(AddressSpace space);
std::optional<SpaceAddress> parseSpaceAddress(std::string_view text, std::string& error);
// "iram:7F", "xdata:1234".
std::string spaceAddressText(const SpaceAddress& place);

// How many addresses the space has on the machine as configured (0 when
// the device has none of it).
uint32_t spaceSize(const Machine& machine, AddressSpace space);
// Why the place does not exist on the machine ("xdata:8000 is beyond the
// external data memory"), or nothing when it does.
std::optional<std::string> spaceAddressProblem(const Machine& machine, const SpaceAddress& place);

// Up to `count` values from `start` on; fewer where the space ends.
std::vector<uint8_t> readSpace(const Machine& machine, const SpaceAddress& start, size_t count);
// Stores `values` from `start` on; refuses (storing nothing) when they do
// not all fit in the space, or a bit's value is not 0 or 1.
Validation writeSpace(Machine& machine, const SpaceAddress& start, std::span<const uint8_t> values);

} // namespace quorvel
