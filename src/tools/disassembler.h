// The disassembler: one instruction of program memory as the text line of the
// program window, in the Normal View or Clear View layout.
//
// A line is the address and the instruction bytes, the opcode's table row and
// the operand text of its form, filled with spaces to 39 characters, turned to
// upper case, then followed by 18 spaces. Direct addresses and bits are shown
// by name where they have one (symbol_names.h). The next address is returned
// unwrapped (up to 0x10002 at the top of memory) so loops over memory end.
#pragma once

#include "common/view_mode.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

struct ChipState;

struct DisassembledLine {
    std::string text;
    uint32_t next = 0; // address + length, not wrapped
    int length = 1;
};

// Headers the program window draws above the lines of each layout.
constexpr std::string_view kNormalViewHeader = "  Address  BP  Code        Mnemonics";
constexpr std::string_view kClearViewHeader = " Addr  BP  Opcodes   Mnemonics";

// Column where the mnemonic starts in each layout.
constexpr size_t kNormalMnemonicColumn = 27;
constexpr size_t kClearMnemonicColumn = 21;

DisassembledLine disassemble(uint16_t address, uint8_t opcode, uint8_t b1, uint8_t b2,
                             ViewMode mode);
// Reads the three bytes through the chip's code read (FF beyond the limit).
DisassembledLine disassembleAt(const ChipState& chip, uint16_t address, ViewMode mode);

// The operand text the instruction's form appends to its row (lower-case hex
// digits, as before the line is upper-cased).
std::string operandFormText(uint16_t address, uint8_t opcode, uint8_t b1, uint8_t b2);

// The mnemonic part of a Normal View line: from the mnemonic column to the
// last character that is not a space. This is what instruction entry offers
// as the text to edit.
std::string mnemonicPart(std::string_view normalViewLine);

} // namespace quorvel
