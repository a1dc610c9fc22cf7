// The names of special function registers and bits as the program tools show
// and accept them, the same for every device of the family.
//
// Display: the disassembler shows a named direct address 80-F0 by its name
// and every other direct address as two upper-case hex digits; named bits by
// their names ("TR0", "P1.3", "ACC.7") and the rest as two hex digits.
//
// Entry: the line assembler looks names up in fixed tables whose order
// matters where one name begins another; a bit table entry may also be the
// two-digit form of a bit address, standing for itself.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorvel {

struct SymbolName {
    std::string_view name;
    uint8_t address;
};

// "P0", "TH1", ...; otherwise "%02X".
std::string directDisplayName(uint8_t address);
// "IT0", "P3.7", "ACC.0", "CP/RL2", ...; otherwise "%02x" (upper-cased with
// the rest of the disassembly line).
std::string bitDisplayName(uint8_t bitAddress);

// The assembler's direct-address names (35, in lookup order).
std::span<const SymbolName> directEntryNames();
// The assembler's bit names (180, in lookup order).
std::span<const SymbolName> bitEntryNames();

// The first entry of the table equal to `token` (upper case expected).
std::optional<uint8_t> lookupDirectName(std::string_view token);
std::optional<uint8_t> lookupBitName(std::string_view token);

} // namespace quorvel
