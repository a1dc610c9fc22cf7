// What quorvel-cli adds to a run of the debug session: the exit status of
// each stop, and the observers that look at every instruction (the trace,
// the memory of a multiplexed LED display).
#pragma once

#include "debug/debug_session.h"
#include "tools/source_map.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace quorvel::cli {

// 0 for the conditions asked for, 3 for the limits, 4 for the program
// counter, 1 for an output that could not be written, 0 for a run ended
// from outside (a signal: the usual end of a --uart-pty session).
int exitStatus(DebugStop stop);

// The trace: one line per instruction and one per vectoring of an
// interrupt, written to `out`; with a source map each instruction's line
// ends with "  ; file:line". Sets the run's beforeStep and afterStep.
void traceRun(RunLimits& limits, std::FILE* out, const ChipState& chip, const SourceMap* sourceMap);

// A trace line: the cycle counter before the instruction, then
// `traceInstruction` (address, bytes, disassembly of the instruction at the
// program counter), then `traceTail` (the registers after it ran; SP taken
// `stackOffset` from the chip's, which vectoring an interrupt moved on).
std::string traceInstruction(const ChipState& chip);
std::string traceTail(const ChipState& chip, int stackOffset = 0);
// The line of an interrupt vectored at `cycle`, after the instruction at
// the return address on the stack: "interrupt to VVVV" and the registers.
std::string traceVectoring(const ChipState& chip, uint64_t cycle);

} // namespace quorvel::cli
