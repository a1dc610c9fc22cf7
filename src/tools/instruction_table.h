// The 8051 instruction set as one table of 256 rows, indexed by opcode: the
// mnemonic, the operands in the order they are written (A, Rn, @Ri, #data,
// #data16, direct, bit, /bit, rel, addr11, addr16, C, DPTR, @A+DPTR, @A+PC,
// AB, @DPTR), the operand form that fixes the encoding, and the length.
//
// It is the single source of instruction lengths and operand forms for the
// disassembler, the line assembler and the asm51 assembler. The executor keeps
// its own cycle table. Opcode A5 is the one reserved code: one byte, no
// operands, shown as "RESERVED" and never produced by an assembler.
//
// Everything here is immutable and may be used from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// What an operand is, as written in assembler source.
enum class OperandKind : uint8_t {
    A,            // the accumulator, "A"
    Rn,           // "R0".."R7" (register number in Operand::reg)
    AtRi,         // "@R0", "@R1" (register number in Operand::reg)
    Data,         // "#data": one byte of immediate data
    Data16,       // "#data16": MOV DPTR,#data16
    Direct,       // direct address 00-FF
    Bit,          // bit address 00-FF
    NotBit,       // "/bit": complemented bit of ANL C and ORL C
    Rel,          // relative jump target (written as the target address)
    Addr11,       // AJMP/ACALL target in the 2 KB page of the next instruction
    Addr16,       // LJMP/LCALL target
    C,            // the carry flag, "C"
    DPTR,         // "DPTR"
    AtAPlusDPTR,  // "@A+DPTR"
    AtAPlusPC,    // "@A+PC"
    AB,           // "AB"
    AtDPTR,       // "@DPTR"
};

struct Operand {
    OperandKind kind;
    uint8_t reg = 0; // Rn: 0-7, AtRi: 0-1, otherwise 0

    bool operator==(const Operand&) const = default;
};

// True for the operands that carry a value in the instruction bytes (#data,
// #data16, direct, bit, /bit, rel, addr11, addr16); the others are fixed by
// the opcode.
bool carriesValue(OperandKind kind);

// The source text of an operand fixed by the opcode ("A", "R3", "@R1", "C",
// "DPTR", "@A+DPTR", "@A+PC", "AB", "@DPTR"); the placeholder name
// ("#data", "direct", "bit", "/bit", "rel", "addr11", "addr16", "#data16")
// for the others.
std::string operandText(Operand operand);

// How the operand bytes are laid out after the opcode; fixes the length.
enum class OperandForm : uint8_t {
    None,               // 1 byte
    PageAddress,        // 2: AJMP/ACALL, target bits 10-8 in the opcode, low byte in b1
    Long,               // 3: b1 high byte, b2 low byte (LJMP, LCALL, MOV DPTR,#)
    Direct,             // 2: b1 direct address
    Immediate,          // 2: b1 data
    Relative,           // 2: b1 offset
    DirectRegister,     // 2: b1 direct address, then a register fixed by the opcode
    DirectImmediate,    // 3: b1 direct address, b2 data
    Bit,                // 2: b1 bit address
    DirectDirect,       // 3: b1 source, b2 destination (MOV direct,direct)
    BitCarry,           // 2: b1 bit address (MOV bit,C)
    BitRelative,        // 3: b1 bit address, b2 offset
    ImmediateRelative,  // 3: b1 data, b2 offset
    DirectRelative,     // 3: b1 direct address, b2 offset
};

int formLength(OperandForm form);

struct Instruction {
    std::string_view mnemonic;       // "MOV"; "RESERVED" for opcode A5
    std::string_view syntax;         // operands as written: "A,#data", "" for none
    std::array<Operand, 3> operands; // the first operandCount are used
    uint8_t operandCount = 0;
    OperandForm form = OperandForm::None;
    uint8_t length = 1;              // 1 to 3 bytes
    bool reserved = false;           // opcode A5
    // The disassembler's fixed text: the mnemonic left-aligned in 7
    // characters, then the operand text up to the first value ("ADD    A,#",
    // "LJMP   "); "NOP" and "RESERVED" stand alone.
    std::string row;

    std::span<const Operand> operandList() const { return {operands.data(), operandCount}; }
};

// The row of one opcode.
const Instruction& instructionOf(uint8_t opcode);
// All 256 rows, indexed by opcode.
const std::array<Instruction, 256>& instructionTable();

// The opcode whose mnemonic and operand list match exactly (kind and register
// number; values are not part of the match). Never returns A5.
std::optional<uint8_t> findOpcode(std::string_view mnemonic, std::span<const Operand> operands);
// Every opcode of a mnemonic, in opcode order (empty for an unknown name).
std::vector<uint8_t> opcodesOf(std::string_view mnemonic);
// The 44 mnemonics of the instruction set, in alphabetical order.
std::span<const std::string_view> mnemonicNames();

// ---- encoding

enum class EncodeStatus : uint8_t {
    Ok,
    TargetOutsidePage, // addr11 target not in the 2 KB page of address + 2
    RelativeTooFar,    // rel target more than 128 back or 127 ahead of the next instruction
};

struct Encoded {
    EncodeStatus status = EncodeStatus::Ok;
    std::array<uint8_t, 3> bytes{};
    uint8_t length = 0;
};

// Builds the bytes of `opcode` placed at `address`. `values` holds one value
// per value-carrying operand, in the order the operands are written (for
// MOV direct,direct: destination then source; a rel or addr11/addr16 operand
// is the target address). Missing values count as 0. Addresses wrap at 16
// bits, like the targets the disassembler shows.
Encoded encodeInstruction(uint8_t opcode, std::span<const uint16_t> values, uint16_t address);

// Signed offset of a relative jump from the instruction at `address` with the
// given length to `target`, in -32768..32767 (16-bit wrap).
int relativeOffset(uint16_t address, int length, uint16_t target);

} // namespace quorvel
