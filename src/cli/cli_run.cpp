#include "cli/cli_run.h"

#include "machine/executor.h"
#include "modules/led_display.h"
#include "tools/disassembler.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

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

RunReport runStepwise(Machine& machine, const RunRequest& r) {
    RunReport report;
    ChipState& chip = machine.chip;
    CycleCounter counter(chip);
    uint32_t ledLatches = ~chip.portLatches();
    std::string line;
    // Program memory does not change during a run: each address is
    // disassembled once.
    std::vector<std::string> disassembly(r.trace ? size_t(chip.codeLimit) + 1 : 0);
    // The same for the source lines: each address looked up once.
    const bool traceSource = r.trace && r.sourceMap;
    std::vector<std::string> sources(traceSource ? disassembly.size() : 0);
    std::vector<bool> sourceKnown(sources.size());
    const std::string noSource;
    for (;;) {
        if (r.trace) {
            std::string& text = disassembly[chip.pc];
            if (text.empty()) text = traceInstruction(chip);
            char cycles[24];
            std::snprintf(cycles, sizeof cycles, "%10llu  ", (unsigned long long)counter.total);
            line = cycles + text;
        }
        const std::string* source = &noSource;
        if (traceSource && chip.pc < sources.size()) {
            if (!sourceKnown[chip.pc]) {
                sources[chip.pc] = sourceSuffix(*r.sourceMap, chip.pc);
                sourceKnown[chip.pc] = true;
            }
            source = &sources[chip.pc];
        }
        const uint64_t cyclesBefore = counter.total;
        const int instructionLength = r.trace ? instructionCycles(chip.readCode(chip.pc)) : 0;
        const bool outOfRange = step(machine);
        ++report.steps;
        counter.update(chip);
        report.cycles = counter.total;
        if (r.trace) {
            // An interrupt accepted after the instruction is vectored in the
            // same step (its cycles follow the instruction's): the
            // instruction's line shows the registers before the return
            // address was pushed, and the vectoring a line of its own.
            const bool vectored = counter.total - cyclesBefore > uint64_t(instructionLength);
            line += traceTail(chip, vectored ? -2 : 0);
            line += *source;
            line += '\n';
            if (vectored) line += traceVectoring(chip, cyclesBefore + uint64_t(instructionLength));
            std::fputs(line.c_str(), r.trace);
        }
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
        for (size_t i = 0; i < r.breaks.size(); ++i) {
            if (breakpointHolds(r.breaks[i], machine.selection.kind, chip)) {
                report.stop = StopKind::Breakpoint;
                report.breakIndex = int(i);
                return report;
            }
        }
        if (r.lineBreaks && (*r.lineBreaks)[chip.pc]) {
            report.stop = StopKind::BreakLine;
            return report;
        }
        if (r.untilPc && chip.pc == *r.untilPc) {
            report.stop = StopKind::UntilPc;
            return report;
        }
        if (r.haltOnSelfJump && executedSelfJump(chip) &&
            chip.periph.serial.txState == Transmit::Idle) {
            report.stop = StopKind::SelfJump;
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
