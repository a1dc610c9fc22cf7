// Turns one instruction line (mnemonic and operand tokens) into its bytes,
// using the shared instruction table for the opcodes and their layout. Adds
// the generic CALL and JMP, which become the shortest form that reaches the
// target (ACALL/LCALL; SJMP/AJMP/LJMP).
#pragma once

#include "asm51/expression.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace quorvel::asm51 {

// The 44 instruction mnemonics and the generic CALL.
bool isMnemonic(std::string_view upperName);

// The size a generic CALL or JMP had in the previous pass (2 or 3); it only
// grows from pass to pass, so the passes settle.
struct GenericJump {
    int size = 2;
};

// Bytes of the instruction at `address`. Operand values that are not known
// yet (forward references in an early pass, undefined symbols) assemble as 0
// and skip the range checks; the caller reports undefined symbols. Throws
// AsmError for a wrong operand form, a value out of range or a jump that does
// not reach. `generic` is used and updated only by a generic CALL or JMP.
std::vector<uint8_t> encodeLine(std::string_view mnemonic, std::span<const Token> operandTokens,
                                int64_t address, EvalContext& context, GenericJump& generic);

// True when the mnemonic and operands make a generic CALL or JMP, which needs
// a GenericJump slot.
bool isGenericJump(std::string_view mnemonic, std::span<const Token> operandTokens);

} // namespace quorvel::asm51
