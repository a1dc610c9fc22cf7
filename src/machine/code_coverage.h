// Code coverage from an execution profile: which of the program's
// instructions ran and which never did.
//
// The program's code is the set of instructions a disassembler can reach
// from its entries by following the flow - falling through, jumps (both ways
// of a conditional one), calls and what follows them - within program
// memory. The entries are the start address, each interrupt vector whose
// instruction is a jump or RETI (the usual vector contents; a vector inside
// an instruction already reached, or holding the filler of unused memory, is
// not code), and every instruction that ran (a JMP @A+DPTR target, a
// handler placed on its vector). Flow stops at RET, RETI, JMP @A+DPTR and
// at the reserved opcode. Constant tables between the instructions are thus
// not counted as code, which a user reading the percentage expects.
#pragma once

#include "machine/code_profile.h"

#include <cstdint>
#include <span>
#include <vector>

namespace quorvel {

struct ChipState;

// The interrupt vectors: INT0, timer 0, INT1, timer 1, serial port, timer 2.
inline constexpr uint16_t kInterruptVectors[] = {0x0003, 0x000B, 0x0013, 0x001B, 0x0023, 0x002B};

// Bytes first..last of program memory, inclusive.
struct CodeRange {
    uint16_t first = 0;
    uint16_t last = 0;

    bool operator==(const CodeRange&) const = default;
};

struct Coverage {
    std::vector<uint16_t> instructions; // the program's instruction addresses, ascending
    std::vector<uint16_t> missed;       // those never executed, ascending
    // Runs of never-executed instructions that follow each other, from the
    // first byte of the first to the last byte of the last.
    std::vector<CodeRange> missedRanges;

    size_t executed() const { return instructions.size() - missed.size(); }
    // Percentage executed; 0 for no code.
    double percent() const;
};

// The coverage of the program in `chip`'s program memory that starts at
// `start`, from the executions in `profile`.
Coverage codeCoverage(const CodeProfile& profile, const ChipState& chip, uint16_t start = 0);

} // namespace quorvel
