#include "cli/cli_run.h"

#include "modules/led_display.h"
#include "tools/disassembler.h"

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::cli {

namespace {

struct ExitRow {
    DebugStop stop;
    int status;
};

constexpr std::array<ExitRow, 13> kExitStatuses{{
    {DebugStop::SelfJump, 0},
    {DebugStop::Breakpoint, 0},
    {DebugStop::UntilPc, 0},
    {DebugStop::CycleLimit, 3},
    {DebugStop::StepLimit, 3},
    {DebugStop::PcOutOfRange, 4},
    {DebugStop::OutputError, 1},
    {DebugStop::Interrupted, 0},
    {DebugStop::BreakLine, 0},
    {DebugStop::Watch, 0},
    {DebugStop::Step, 0},
    {DebugStop::PinLevel, 0},
    {DebugStop::Output, 0},
}};
// Indexed by the stop: a row for every stop, in the enumeration's order.
static_assert([] {
    for (size_t i = 0; i < kExitStatuses.size(); ++i)
        if (size_t(kExitStatuses[i].stop) != i) return false;
    return size_t(DebugStop::Output) + 1 == kExitStatuses.size();
}());

// "  ; main.c:12" for an address with a source line.
std::string sourceSuffix(const SourceMap& map, uint16_t address) {
    const auto where = map.locationAt(address);
    return where ? "  ; " + map.text(*where) : std::string();
}

// The trace's lines. Program memory does not change during a run: each
// address is disassembled, and its source line looked up, once.
class TraceLines {
public:
    TraceLines(std::FILE* out, const ChipState& chip, const SourceMap* sourceMap)
        : out_(out), sourceMap_(sourceMap), disassembly_(size_t(chip.codeLimit) + 1),
          sources_(sourceMap ? disassembly_.size() : 0), sourceKnown_(sources_.size()) {}

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

} // namespace

int exitStatus(DebugStop stop) { return kExitStatuses[size_t(stop)].status; }

void traceRun(RunLimits& limits, std::FILE* out, const ChipState& chip, const SourceMap* sourceMap) {
    auto lines = std::make_shared<TraceLines>(out, chip, sourceMap);
    limits.beforeStep = [lines](const Machine& m, uint64_t cycle) { lines->before(m.chip, cycle); };
    limits.afterStep = [lines](const Machine& m, uint64_t cycle) { lines->after(m.chip, cycle); };
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

} // namespace quorvel::cli
