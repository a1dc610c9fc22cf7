#include "machine/code_coverage.h"

#include "chip/chip_state.h"
#include "tools/instruction_table.h"

#include <algorithm>
#include <array>

namespace quorvel {

double Coverage::percent() const {
    return instructions.empty() ? 0.0 : 100.0 * double(executed()) / double(instructions.size());
}

namespace {

// How control leaves an instruction.
enum class Flow : uint8_t {
    Next,       // to the next instruction only
    Jump,       // to its target only
    Branch,     // to its target or the next instruction (conditional jumps, calls)
    End,        // nowhere a disassembler can follow (RET, RETI, JMP @A+DPTR, A5)
};

struct FlowRow {
    Flow flow = Flow::Next;
    OperandKind target = OperandKind::A; // Rel, Addr11 or Addr16 when it has one
};

std::array<FlowRow, 256> makeFlowTable() {
    std::array<FlowRow, 256> table{};
    for (unsigned op = 0; op < 256; ++op) {
        const Instruction& ins = instructionOf(uint8_t(op));
        FlowRow& row = table[op];
        for (const Operand& operand : ins.operandList())
            if (operand.kind == OperandKind::Rel || operand.kind == OperandKind::Addr11 ||
                operand.kind == OperandKind::Addr16)
                row.target = operand.kind;
        const bool hasTarget = row.target != OperandKind::A;
        if (ins.reserved || ins.mnemonic == "RET" || ins.mnemonic == "RETI" || ins.mnemonic == "JMP")
            row.flow = Flow::End;
        else if (ins.mnemonic == "AJMP" || ins.mnemonic == "LJMP" || ins.mnemonic == "SJMP")
            row.flow = Flow::Jump;
        else if (hasTarget)
            row.flow = Flow::Branch;
    }
    return table;
}

const std::array<FlowRow, 256>& flowTable() {
    static const std::array<FlowRow, 256> table = makeFlowTable();
    return table;
}

uint16_t targetOf(const ChipState& chip, uint32_t address, const Instruction& ins, OperandKind kind) {
    const uint32_t next = address + ins.length;
    const uint8_t opcode = chip.readCode(uint16_t(address));
    const uint8_t b1 = chip.readCode(uint16_t(address + 1));
    const uint8_t last = chip.readCode(uint16_t(address + ins.length - 1));
    switch (kind) {
    case OperandKind::Addr11: {
        constexpr uint32_t kPage = 0xF800, kPageBits = 0xE0;
        return uint16_t((next & kPage) | uint32_t(opcode & kPageBits) << 3 | b1);
    }
    case OperandKind::Addr16: return uint16_t(b1 << 8 | last);
    default: return uint16_t(next + uint32_t(int8_t(last)));
    }
}

// What a vector that a program uses holds: a jump to its handler, or RETI.
bool usedVector(uint8_t opcode) {
    return flowTable()[opcode].flow == Flow::Jump || instructionOf(opcode).mnemonic == "RETI";
}

class Walk {
public:
    explicit Walk(const ChipState& chip) : chip_(chip), start_(kCodeSpace), covered_(kCodeSpace) {}

    void from(uint16_t entry) {
        pending_.push_back(entry);
        while (!pending_.empty()) {
            uint32_t address = pending_.back();
            pending_.pop_back();
            while (address <= chip_.codeLimit && !start_[address]) {
                const uint8_t opcode = chip_.readCode(uint16_t(address));
                const Instruction& ins = instructionOf(opcode);
                start_[address] = true;
                for (uint32_t i = address; i < address + ins.length && i < kCodeSpace; ++i) covered_[i] = true;
                const FlowRow& row = flowTable()[opcode];
                if (row.flow == Flow::End) break;
                if (row.flow != Flow::Next) pending_.push_back(targetOf(chip_, address, ins, row.target));
                if (row.flow == Flow::Jump) break;
                address += ins.length;
            }
        }
    }

    bool covered(uint16_t address) const { return covered_[address]; }
    bool isStart(uint32_t address) const { return start_[address]; }

private:
    const ChipState& chip_;
    std::vector<bool> start_;
    std::vector<bool> covered_;
    std::vector<uint32_t> pending_;
};

} // namespace

Coverage codeCoverage(const CodeProfile& profile, const ChipState& chip, uint16_t start) {
    Walk walk(chip);
    walk.from(start);
    for (uint16_t vector : kInterruptVectors)
        if (vector <= chip.codeLimit && !walk.covered(vector) && usedVector(chip.readCode(vector)))
            walk.from(vector);
    for (uint32_t address = 0; address < profile.counts.size(); ++address)
        if (profile.counts[address].executions != 0) walk.from(uint16_t(address));

    Coverage result;
    for (uint32_t address = 0; address < kCodeSpace; ++address) {
        if (!walk.isStart(address)) continue;
        result.instructions.push_back(uint16_t(address));
        if (profile.at(uint16_t(address)).executions != 0) continue;
        result.missed.push_back(uint16_t(address));
        const uint32_t last = std::min(address + instructionOf(chip.readCode(uint16_t(address))).length - 1,
                                       kCodeSpace - 1);
        // Instructions found at overlapping addresses (bytes read both as an
        // operand and as an opcode) join one range too.
        if (!result.missedRanges.empty() && result.missedRanges.back().last + 1u >= address)
            result.missedRanges.back().last = std::max(result.missedRanges.back().last, uint16_t(last));
        else
            result.missedRanges.push_back({uint16_t(address), uint16_t(last)});
    }
    return result;
}

} // namespace quorvel
