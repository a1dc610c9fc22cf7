// Turns one instruction line (mnemonic and operand tokens) into its bytes,
// using the shared instruction table for the opcodes and their layout. Adds
// the generic CALL and JMP: a target already defined where the line stands
// gets the shortest form that reaches it (ACALL/LCALL; SJMP/AJMP/LJMP), a
// target defined further on gets LCALL/LJMP, as MCS-51 assemblers do.
#pragma once

#include "asm51/expression.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace quorvel::asm51 {

// What a byte operand (#data, DB) accepts: a negative value down to -256
// stands for its low byte, as MCS-51 assemblers read it (#-250 is 06H).
// Direct and bit addresses and relative offsets keep their own ranges.
constexpr int64_t kByteLow = -256;
constexpr int64_t kByteHigh = 255;

// The 44 instruction mnemonics and the generic CALL.
bool isMnemonic(std::string_view upperName);

// The size of one generic CALL or JMP (2 or 3), chosen in the first pass and
// kept by every later pass, so all passes agree on the addresses. 0 until the
// first pass has seen the line.
struct GenericJump {
    int size = 0;
};

// Bytes of the instruction at `address`. Operand values that are not known
// yet (forward references in an early pass, undefined symbols) assemble as 0
// and skip the range checks; the caller reports undefined symbols. A byte
// operand (#data, DB) takes -256 to 255 and keeps the low byte. Throws
// AsmError for a wrong operand form, a value out of range or a jump that does
// not reach. `generic` is used and updated only by a generic CALL or JMP.
std::vector<uint8_t> encodeLine(std::string_view mnemonic, std::span<const Token> operandTokens,
                                int64_t address, EvalContext& context, GenericJump& generic);

// True when the mnemonic and operands make a generic CALL or JMP, which needs
// a GenericJump slot.
bool isGenericJump(std::string_view mnemonic, std::span<const Token> operandTokens);

} // namespace quorvel::asm51
