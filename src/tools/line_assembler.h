// The line assembler: one line of 8051 assembly text turned into the bytes of
// one instruction placed at a given address. There are no labels, expressions
// or directives: operands are registers, hexadecimal numbers (plain digits, or
// with asm51's suffix H: "#55H", "0002H"), and the fixed names of SFRs and
// bits (symbol_names.h).
//
// The result code says what was wrong; the callers show `assembleError` for
// codes 1 to 10. An empty or blank line gives `Empty`, which changes nothing.
#pragma once

#include "common/user_message.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace quorvel {

enum class AssembleResult : uint8_t {
    Empty = 0,
    IllegalMnemonic = 1,
    MissingOperand = 2,
    ImproperHexValue = 3,
    Exceeds2K = 4,
    IllegalOperand = 5,
    IllegalData = 6,
    IllegalDataAddress = 7,
    IllegalCodeAddress = 8,
    RelativeJumpTooLong = 9,
    IllegalBitAddress = 10,
    Success = 11,
};

struct AssembledInstruction {
    AssembleResult result = AssembleResult::Empty;
    std::array<uint8_t, 3> bytes{}; // valid when result is Success
    uint8_t length = 0;             // 1 to 3 when result is Success, else 0
};

AssembledInstruction assembleLine(std::string_view line, uint16_t address);

// "Illegal mnemonic", "Missing Operand", ...; empty for Empty and Success.
std::string_view assembleMessageText(AssembleResult result);
// The message box for codes 1 to 10 (caption "Error"); nothing otherwise.
Validation assembleError(AssembleResult result);

} // namespace quorvel
