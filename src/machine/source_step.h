// Stepping by source line, as debuggers do (the program window's step into
// and step over of a C or assembler line, and the command-line runner).
//
// Step into runs until the program counter reaches the first instruction of
// a line other than the one it started on; code without a line (library
// routines, start-up code) is stepped through, and an instruction in the
// middle of a line (the rest of a caller's line after a return) does not
// stop the step. A call whose target has no line at the chosen level runs to
// its return, since there is nothing to show inside it. Step over does the
// same, but every call (ACALL, LCALL) runs to its return: the step watches
// the stack pointer, so a recursive call that passes the return address
// deeper down does not end it. An interrupt vectored during either step runs
// to its RETI: the user steps through their own line, not through what
// happened to interrupt it.
//
// Step out runs until the function the program counter is in returns to
// its caller (the innermost frame of the machine's call stack; calls and
// interrupts on the way run to their end), and stops right after the
// return, which may be in the middle of the caller's line. Without a known
// frame (the outermost function, or no call stack attached) it steps over.
//
// Every step is bounded: after `limit` instructions it returns with
// SourceStepEnd::Limit (a program that never reaches another line, such as
// a loop on one line, still gives control back). An instruction that
// writes a watched place ends the step after it, as it ends a run
// (SourceStepEnd::Watchpoint).
//
// Thread: whoever owns the machine at the time (the user-interface thread
// under the pause guard, or the command-line runner).
#pragma once

#include "tools/source_map.h"

#include <cstdint>

namespace quorvel {

struct Machine;

enum class SourceStep : uint8_t { Into, Over, Out };
// Watchpoint: an instruction wrote a watched place (machine.watchpoints).
// Returned: a step out came back to the caller.
enum class SourceStepEnd : uint8_t { NewLine, Returned, Limit, PcOutOfRange, Watchpoint };

struct SourceStepResult {
    SourceStepEnd end = SourceStepEnd::NewLine;
    uint32_t instructions = 0; // executed by the step
};

inline constexpr uint32_t kSourceStepLimit = 1'000'000;

// One instruction: Into runs it (an interrupt vectored after it shows its
// vector); Over runs a call, and an interrupt vectored on the way, to its
// return; Out as for a source line. NewLine means the step is done.
SourceStepResult stepInstruction(Machine& machine, SourceStep kind, uint32_t limit = kSourceStepLimit);

SourceStepResult stepSourceLine(Machine& machine, const SourceMap& map, SourceLevel level,
                                SourceStep kind, uint32_t limit = kSourceStepLimit);

} // namespace quorvel
