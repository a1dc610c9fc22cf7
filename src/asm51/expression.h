// Expressions of the assembler: numbers, characters, symbols, the location
// counter "$", parentheses, the operators + - * / MOD SHL SHR AND OR XOR NOT
// HIGH LOW, the comparisons (EQ NE LT LE GT GE and = <> < <= > >=), and the
// bit selector "byte.bit" (P1.0, ACC.7, 20H.3).
//
// Arithmetic is done in 64 bits and range-checked where the value is used, so
// nothing is silently truncated; SHR, HIGH and LOW work on the 16-bit value
// and a true comparison is 0FFFFH, as MCS-51 assemblers do it.
#pragma once

#include "asm51/lexer.h"
#include "asm51/symbols.h"

#include <span>
#include <string>

namespace quorvel::asm51 {

struct EvalContext {
    SymbolTable* symbols = nullptr;
    int pass = 1;
    int64_t locationCounter = 0;
    ValueType locationType = ValueType::Code; // "$" is an address of the current segment
    // Filled while evaluating:
    std::string undefinedName; // first symbol not defined in any pass
    std::string forwardName;   // first symbol not yet defined in this pass
    std::string unknownName;   // first symbol whose own value is not known
};

// Evaluates the expression that starts at tokens[pos]; pos moves past it.
// A symbol that is not defined yet gives an unknown value (and its name in the
// context); a malformed expression, a division by zero or a bad bit selector
// throws AsmError.
Value evaluate(std::span<const Token> tokens, size_t& pos, EvalContext& context);

// True for the words that are operators inside expressions.
bool isOperatorWord(std::string_view upperName);

// The bit address of bit n of a bit-addressable byte (20H-2FH, or an SFR
// whose address is a multiple of 8); throws AsmError otherwise.
int64_t bitAddressOf(int64_t byteAddress, int64_t bit);

} // namespace quorvel::asm51
