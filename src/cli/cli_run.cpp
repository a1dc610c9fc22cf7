#include "cli/cli_run.h"

#include "machine/executor.h"
#include "modules/led_display.h"
#include "tools/disassembler.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::cli {

namespace {

struct StopRow {
    StopKind kind;
    std::string_view name;
    int exitStatus;
};

constexpr std::array<StopRow, 9> kStops{{
    {StopKind::SelfJump, "halt", 0},
    {StopKind::Breakpoint, "breakpoint", 0},
    {StopKind::UntilPc, "until-pc", 0},
    {StopKind::CycleLimit, "max-cycles", 3},
    {StopKind::StepLimit, "max-steps", 3},
    {StopKind::PcOutOfRange, "pc-out-of-range", 4},
    {StopKind::OutputError, "output-error", 1},
    {StopKind::Interrupted, "interrupted", 0},
    {StopKind::BreakLine, "break-line", 0},
}};

// The executor's longest instruction (MUL, DIV).
constexpr uint64_t kMaxCyclesPerStep = 4;
// Batches stay short enough that the UART output is flushed regularly.
constexpr uint64_t kMaxBatch = 1u << 20;

// Counts the cycles of the steps since the last call; the chip's counter is
// 32 bits and wraps on long runs, the totals here do not.
struct CycleCounter {
    uint32_t last;
    uint64_t total = 0;
    explicit CycleCounter(const ChipState& chip) : last(chip.cycles) {}
    void update(const ChipState& chip) {
        total += uint32_t(chip.cycles - last);
        last = chip.cycles;
    }
};

bool limitReached(const RunRequest& r, const RunReport& report, StopKind& kind) {
    if (r.maxCycles && report.cycles >= *r.maxCycles) {
        kind = StopKind::CycleLimit;
        return true;
    }
    if (r.maxSteps && report.steps >= *r.maxSteps) {
        kind = StopKind::StepLimit;
        return true;
    }
    return false;
}

RunReport runBatches(Machine& machine, const RunRequest& r) {
    RunReport report;
    CycleCounter counter(machine.chip);
    StopConditions stops;
    stops.untilPc = r.untilPc;
    stops.selfJump = r.haltOnSelfJump;
    stops.breakpoints = r.breaks;
    stops.kind = machine.selection.kind;
    stops.addresses = r.lineBreaks;
    for (;;) {
        uint64_t budget = r.batchSteps.value_or(kMaxBatch);
        if (r.maxSteps) budget = std::min(budget, *r.maxSteps - report.steps);
        // No batch may pass the cycle limit; the last few cycles go one step
        // at a time.
        if (r.maxCycles) budget = std::min(budget, std::max<uint64_t>(1, (*r.maxCycles - report.cycles) / kMaxCyclesPerStep));
        const RunResult result = runSteps(machine, uint32_t(budget), stops);
        report.steps += result.steps;
        counter.update(machine.chip);
        report.cycles = counter.total;
        if (r.afterBatch) r.afterBatch();
        const bool carryOn = !r.carryOn || r.carryOn();
        if (r.outputFailed && r.outputFailed()) {
            report.stop = StopKind::OutputError;
            return report;
        }
        switch (result.cause) {
        case StopCause::Steps: break;
        case StopCause::Watchpoint: break; // the runner sets no watchpoints yet
        case StopCause::PcOutOfRange: report.stop = StopKind::PcOutOfRange; return report;
        case StopCause::UntilPc: report.stop = StopKind::UntilPc; return report;
        case StopCause::SelfJump: report.stop = StopKind::SelfJump; return report;
        case StopCause::Address: report.stop = StopKind::BreakLine; return report;
        case StopCause::Breakpoint:
            report.stop = StopKind::Breakpoint;
            report.breakIndex = result.breakIndex;
            return report;
        }
        if (limitReached(r, report, report.stop)) return report;
        if (!carryOn) {
            report.stop = StopKind::Interrupted;
            return report;
        }
    }
}

// "  ; main.c:12" for an address with a source line.
std::string sourceSuffix(const SourceMap& map, uint16_t address) {
    const auto where = map.locationAt(address);
    return where ? "  ; " + map.text(*where) : std::string();
}

// The trace's lines. Program memory does not change during a run: each
// address is disassembled, and its source line looked up, once.
class TraceLines {
public:
    TraceLines(const ChipState& chip, const RunRequest& r)
        : out_(r.trace), sourceMap_(r.sourceMap), disassembly_(size_t(chip.codeLimit) + 1),
          sources_(r.sourceMap ? disassembly_.size() : 0), sourceKnown_(sources_.size()) {}

    // Before the instruction at the program counter runs, at `cycle`.
    void before(const ChipState& chip, uint64_t cycle) {
        std::string& text = disassembly_[chip.pc];
        if (text.empty()) text = traceInstruction(chip);
        char cycles[24];
        std::snprintf(cycles, sizeof cycles, "%10llu  ", (unsigned long long)cycle);
        line_ = cycles + text;
        source_ = &noSource_;
        if (chip.pc < sources_.size()) {
            if (!sourceKnown_[chip.pc]) {
                sources_[chip.pc] = sourceSuffix(*sourceMap_, chip.pc);
                sourceKnown_[chip.pc] = true;
            }
            source_ = &sources_[chip.pc];
        }
        length_ = instructionCycles(chip.readCode(chip.pc));
        cycleBefore_ = cycle;
    }

    // After it ran, at `cycle`. An interrupt accepted after the instruction
    // is vectored in the same step (its cycles follow the instruction's):
    // the instruction's line shows the registers before the return address
    // was pushed, and the vectoring a line of its own.
    void after(const ChipState& chip, uint64_t cycle) {
        const bool vectored = cycle - cycleBefore_ > uint64_t(length_);
        line_ += traceTail(chip, vectored ? -2 : 0);
        line_ += *source_;
        line_ += '\n';
        if (vectored) line_ += traceVectoring(chip, cycleBefore_ + uint64_t(length_));
        std::fputs(line_.c_str(), out_);
    }

private:
    std::FILE* out_;
    const SourceMap* sourceMap_;
    std::vector<std::string> disassembly_;
    std::vector<std::string> sources_;
    std::vector<bool> sourceKnown_;
    const std::string noSource_;
    std::string line_;
    const std::string* source_ = &noSource_;
    int length_ = 0;
    uint64_t cycleBefore_ = 0;
};

// The stop conditions asked for that hold after an instruction, in the
// order the execution loop checks them.
std::optional<StopKind> conditionHolds(const Machine& machine, const RunRequest& r, RunReport& report) {
    const ChipState& chip = machine.chip;
    for (size_t i = 0; i < r.breaks.size(); ++i) {
        if (breakpointHolds(r.breaks[i], machine.selection.kind, chip)) {
            report.breakIndex = int(i);
            return StopKind::Breakpoint;
        }
    }
    if (r.lineBreaks && (*r.lineBreaks)[chip.pc]) return StopKind::BreakLine;
    if (r.untilPc && chip.pc == *r.untilPc) return StopKind::UntilPc;
    if (r.haltOnSelfJump && executedSelfJump(chip) && chip.periph.serial.txState == Transmit::Idle)
        return StopKind::SelfJump;
    return std::nullopt;
}

RunReport runStepwise(Machine& machine, const RunRequest& r) {
    RunReport report;
    ChipState& chip = machine.chip;
    CycleCounter counter(chip);
    uint32_t ledLatches = ~chip.portLatches();
    std::optional<TraceLines> trace;
    if (r.trace) trace.emplace(chip, r);
    for (;;) {
        if (trace) trace->before(chip, counter.total);
        const bool outOfRange = step(machine);
        ++report.steps;
        counter.update(chip);
        report.cycles = counter.total;
        if (trace) trace->after(chip, counter.total);
        const bool carryOn = !r.carryOn || report.steps % kStepSlice != 0 || r.carryOn();
        if (r.outputFailed && r.outputFailed()) {
            report.stop = StopKind::OutputError;
            return report;
        }
        if (outOfRange) {
            report.stop = StopKind::PcOutOfRange;
            return report;
        }
        if (r.trackLeds && chip.portLatches() != ledLatches) {
            // What the LED window's repaint does: the selected digit's
            // pattern is remembered for the others' turn.
            ledLatches = chip.portLatches();
            evaluateLeds(machine.modules.settings, ledLatches, machine.modules.ledDigitMemory, true);
        }
        if (const auto held = conditionHolds(machine, r, report)) {
            report.stop = *held;
            return report;
        }
        if (limitReached(r, report, report.stop)) return report;
        if (!carryOn) {
            report.stop = StopKind::Interrupted;
            return report;
        }
    }
}

} // namespace

std::string_view stopName(StopKind kind) { return kStops[size_t(kind)].name; }
int exitStatus(StopKind kind) { return kStops[size_t(kind)].exitStatus; }

bool executedSelfJump(const ChipState& chip) {
    const uint16_t at = chip.side.instructionAddress;
    if (chip.pc != at) return false;
    const uint8_t op = chip.readCode(at);
    const uint8_t b1 = chip.readCode(uint16_t(at + 1));
    const uint8_t b2 = chip.readCode(uint16_t(at + 2));
    if (op == 0x80) return b1 == 0xFE;                            // SJMP $
    if (op == 0x02) return uint16_t(b1 << 8 | b2) == at;          // LJMP $
    if ((op & 0x1F) == 0x01)                                      // AJMP $
        return uint16_t(((at + 2) & 0xF800) | (op >> 5) << 8 | b1) == at;
    return false;
}

std::string traceInstruction(const ChipState& chip) {
    const uint16_t pc = chip.pc;
    const DisassembledLine d = disassembleAt(chip, pc, ViewMode::Normal);
    char text[96];
    std::string bytes;
    for (int i = 0; i < d.length; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", chip.readCode(uint16_t(pc + i)));
        bytes += hex;
    }
    std::snprintf(text, sizeof text, "%04X  %-8s  %-24s", pc, bytes.c_str(), mnemonicPart(d.text).c_str());
    return text;
}

std::string traceTail(const ChipState& chip, int stackOffset) {
    char text[64];
    std::snprintf(text, sizeof text, "A=%02X PSW=%02X SP=%02X DPTR=%04X", chip.acc(), chip.psw(),
                  uint8_t(chip.sfr(sfr::SP) + stackOffset), chip.dptr());
    return text;
}

std::string traceVectoring(const ChipState& chip, uint64_t cycle) {
    const uint8_t sp = chip.sfr(sfr::SP);
    const unsigned returnAddress = chip.iram[uint8_t(sp - 1)] | unsigned(chip.iram[sp]) << 8;
    char vector[24];
    std::snprintf(vector, sizeof vector, "interrupt to %04X", chip.pc);
    char text[96];
    std::snprintf(text, sizeof text, "%10llu  %04X  %-8s  %-24s", (unsigned long long)cycle, returnAddress, "",
                  vector);
    return text + traceTail(chip) + "\n";
}

RunReport runMachine(Machine& machine, const RunRequest& request) {
    // A break line on the first instruction stops before it runs, as a
    // debugger's breakpoint does; every other stop is seen as the program
    // counter arrives.
    if (request.lineBreaks && (*request.lineBreaks)[machine.chip.pc]) {
        RunReport report;
        report.stop = StopKind::BreakLine;
        return report;
    }
    return request.needsSteps() ? runStepwise(machine, request) : runBatches(machine, request);
}

} // namespace quorvel::cli
