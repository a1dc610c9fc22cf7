#include "machine/source_step.h"

#include "chip/chip_state.h"
#include "machine/call_stack.h"
#include "machine/executor.h"
#include "machine/machine.h"
#include "tools/opcode_facts.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace quorvel {

namespace {

// A stack frame to finish: the run ends when the program counter is back at
// `returnTo` with the stack pointer at `stackAfter` or below.
struct Frame {
    uint16_t returnTo;
    uint8_t stackAfter;
};

class Stepper {
public:
    Stepper(Machine& machine, uint32_t limit) : m_(machine), limit_(limit) {}

    uint32_t done() const { return done_; }
    bool exhausted() const { return done_ >= limit_; }
    // A watchpoint ended the last instruction or frame.
    bool watched() const { return watched_; }
    // Why a step that could not go on ends.
    SourceStepEnd end() const {
        return watched_ ? SourceStepEnd::Watchpoint : exhausted() ? SourceStepEnd::Limit : SourceStepEnd::PcOutOfRange;
    }

    // One instruction. False when it left program memory or wrote a
    // watched place.
    bool one() {
        ++done_;
        const RunResult r = runSteps(m_, 1);
        watched_ = r.cause == StopCause::Watchpoint;
        return !r.pcOutOfRange && !watched_;
    }

    // Runs until `frame` returns. False when the program left program
    // memory, wrote a watched place or the budget ran out.
    bool finish(Frame frame) {
        StopConditions stops;
        stops.untilPc = frame.returnTo;
        while (!exhausted()) {
            const RunResult r = runSteps(m_, limit_ - done_, stops);
            done_ += r.steps;
            if (r.pcOutOfRange) return false;
            if (r.cause == StopCause::Watchpoint) {
                watched_ = true;
                return false;
            }
            if (r.cause == StopCause::UntilPc && m_.chip.sfr(sfr::SP) <= frame.stackAfter) return true;
        }
        return false;
    }

private:
    Machine& m_;
    uint32_t limit_;
    uint32_t done_ = 0;
    bool watched_ = false;
};

// The frame of an interrupt vectored just now: its return address is on top
// of the stack (high byte above low byte).
Frame interruptFrame(const ChipState& chip) {
    const uint8_t sp = chip.sfr(sfr::SP);
    return {uint16_t(chip.iram[sp] << 8 | chip.iram[uint8_t(sp - 1)]), uint8_t(sp - 2)};
}

// Runs until the innermost frame of the machine's call stack returns;
// nothing without a known frame.
std::optional<SourceStepResult> stepOut(Machine& machine, uint32_t limit) {
    const CallStack* calls = machine.callStack;
    const std::vector<FrameView> frames = calls ? calls->frames(machine.chip) : std::vector<FrameView>{};
    if (frames.empty() || !frames.front().known) return std::nullopt;
    const CallFrame& innermost = frames.front().frame;
    Stepper stepper(machine, limit);
    if (!stepper.finish({innermost.returnTo, innermost.stackAfterReturn()}))
        return SourceStepResult{stepper.end(), stepper.done()};
    return SourceStepResult{SourceStepEnd::Returned, stepper.done()};
}

} // namespace

SourceStepResult stepInstruction(Machine& machine, SourceStep kind, uint32_t limit) {
    ChipState& chip = machine.chip;
    if (kind == SourceStep::Out) {
        if (const std::optional<SourceStepResult> out = stepOut(machine, limit)) return *out;
        kind = SourceStep::Over;
    }
    Stepper stepper(machine, limit);
    auto result = [&](SourceStepEnd end) { return SourceStepResult{end, stepper.done()}; };
    const uint16_t pc = chip.pc;
    const uint8_t opcode = chip.readCode(pc);
    const uint8_t stack = chip.sfr(sfr::SP);
    const uint8_t inService = chip.periph.irq.inService;
    if (!stepper.one()) return result(stepper.end());
    if (kind == SourceStep::Into) return result(SourceStepEnd::NewLine);
    if ((chip.periph.irq.inService & ~inService) != 0 && !stepper.finish(interruptFrame(chip)))
        return result(stepper.end());
    if (isCallOpcode(opcode) && !stepper.finish({uint16_t(pc + opcodeLength(opcode)), stack}))
        return result(stepper.end());
    return result(SourceStepEnd::NewLine);
}

SourceStepResult stepSourceLine(Machine& machine, const SourceMap& map, SourceLevel level,
                                SourceStep kind, uint32_t limit) {
    ChipState& chip = machine.chip;
    if (kind == SourceStep::Out) {
        if (const std::optional<SourceStepResult> out = stepOut(machine, limit)) return *out;
        kind = SourceStep::Over;
    }
    // The line the step starts on (none in code without a line).
    const SourceRange* const startLine = map.rangeAt(chip.pc, level);
    Stepper stepper(machine, limit);
    auto result = [&](SourceStepEnd end) { return SourceStepResult{end, stepper.done()}; };

    while (!stepper.exhausted()) {
        const uint16_t pc = chip.pc;
        const uint8_t opcode = chip.readCode(pc);
        const uint8_t stack = chip.sfr(sfr::SP);
        const uint8_t inService = chip.periph.irq.inService;
        if (!stepper.one()) return result(stepper.end());
        if ((chip.periph.irq.inService & ~inService) != 0 && !stepper.finish(interruptFrame(chip)))
            return result(stepper.end());
        if (isCallOpcode(opcode) && (kind == SourceStep::Over || !map.rangeAt(chip.pc, level))) {
            const Frame call{uint16_t(pc + opcodeLength(opcode)), stack};
            if (!stepper.finish(call)) return result(stepper.end());
        }
        const SourceRange* here = map.rangeAt(chip.pc, level);
        if (here && here->start == chip.pc && (!startLine || here->where != startLine->where))
            return result(SourceStepEnd::NewLine);
    }
    return result(SourceStepEnd::Limit);
}

} // namespace quorvel
