// Running the machine until a stop condition holds, on the calling thread.
//
// Two loops: the execution loop runs the instructions in large batches sized
// so that no batch can overshoot a cycle or step limit, and stops by itself
// at breakpoint conditions, a PC to reach or a jump to itself; when the
// runner must look at every instruction itself (a trace, the LED digits of a
// multiplexed display), a step loop does it.
#pragma once

#include "machine/breakpoint.h"
#include "machine/executor.h"
#include "machine/machine.h"
#include "tools/source_map.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::cli {

enum class StopKind : uint8_t {
    SelfJump, Breakpoint, UntilPc, CycleLimit, StepLimit, PcOutOfRange, OutputError, Interrupted,
    BreakLine,
};

// "halt", "breakpoint", "until-pc", "max-cycles", "max-steps", "pc-out-of-range",
// "output-error", "interrupted", "break-line".
std::string_view stopName(StopKind kind);
// 0 for the conditions asked for, 3 for the limits, 4 for the program
// counter, 1 for an output that could not be written, 0 for a run ended
// from outside (a signal: the usual end of a --uart-pty session).
int exitStatus(StopKind kind);

struct RunRequest {
    std::optional<uint64_t> maxCycles;
    std::optional<uint64_t> maxSteps;
    std::optional<uint16_t> untilPc;
    std::vector<BreakpointCondition> breaks;
    const CodeAddressSet* lineBreaks = nullptr; // the code of the --break-line lines
    const SourceMap* sourceMap = nullptr;       // trace lines end with "  ; file:line"
    bool haltOnSelfJump = false;
    std::FILE* trace = nullptr; // one line per instruction when set
    bool trackLeds = false;     // keep the multiplexed digits' memory up to date
    std::function<void()> afterBatch; // batch loop only: e.g. flush the UART output
    // True once an output (trace, UART) could not be written: the run ends
    // there, after the batch or the traced instruction that found it.
    std::function<bool()> outputFailed;
    // Called between run slices (after each batch, or every kStepSlice
    // instructions of the step loop): e.g. serve a pseudo-terminal. False
    // ends the run there (StopKind::Interrupted).
    std::function<bool()> carryOn;
    // Batch loop: the most instructions between two calls of carryOn.
    std::optional<uint64_t> batchSteps;

    bool needsSteps() const { return trace || trackLeds; }
};

// Instructions the step loop runs between calls of RunRequest::carryOn.
constexpr uint64_t kStepSlice = 1u << 16;

struct RunReport {
    StopKind stop = StopKind::CycleLimit;
    int breakIndex = -1;   // which --break held
    uint64_t steps = 0;    // instructions executed
    uint64_t cycles = 0;   // machine cycles of those instructions (not wrapped)
};

RunReport runMachine(Machine& machine, const RunRequest& request);

// Whether the instruction just executed at `chip.side.instructionAddress` was
// an unconditional jump to its own address (SJMP $, AJMP or LJMP to itself)
// that the program counter followed.
bool executedSelfJump(const ChipState& chip);

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
