// The instruction table: lengths of every opcode and its mnemonic list (the
// encoding is checked by the line assembler's round trip, the rows and
// forms by the disassembler's tests).
#include "tools/instruction_table.h"

#include "machine/executor.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <set>

using namespace quorvel;
using support::loadCode;

// The table's lengths against the execution loop, which decodes on its own:
// with zero operand bytes every instruction but the absolute jumps, calls and
// returns ends at the next one (a relative offset of 0 lands there too).
TEST(InstructionTable, LengthsAgreeWithTheExecutionLoop) {
    for (int op = 0; op < 256; ++op) {
        const Instruction& ins = instructionOf(uint8_t(op));
        if (ins.form == OperandForm::PageAddress || op == 0x02 || op == 0x12 || op == 0x22 ||
            op == 0x32 || op == 0x73)
            continue;
        Machine m = support::makeMachine();
        loadCode(m, {uint8_t(op), 0x00, 0x00}, 0x0100);
        m.chip.pc = 0x0100;
        ASSERT_FALSE(step(m));
        EXPECT_EQ(m.chip.pc, 0x0100 + (ins.reserved ? 0 : ins.length)) << std::hex << op;
    }
}

// Every mnemonic of the table is one the editor and the line assembler know
// (the lookup of each opcode is covered by the line assembler's round trip).
TEST(InstructionTable, MnemonicNamesMatchTheTable) {
    std::set<std::string_view> names;
    for (const Instruction& ins : instructionTable())
        if (!ins.reserved) names.insert(ins.mnemonic);
    EXPECT_EQ(names, std::set<std::string_view>(mnemonicNames().begin(), mnemonicNames().end()));
}
