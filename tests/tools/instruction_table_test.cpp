// The instruction table: lengths of every opcode and its mnemonic list (the
// encoding is checked by the line assembler's round trip, the rows and
// forms by the disassembler's tests).
#include "tools/instruction_table.h"
#include "tools/opcode_facts.h"

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

// The opcode facts the run loop and the debugger use agree with the rows:
// lengths, and calls, returns and unconditional jumps by mnemonic.
TEST(InstructionTable, OpcodeFactsAgreeWithTheRows) {
    for (int op = 0; op < 256; ++op) {
        const Instruction& ins = instructionOf(uint8_t(op));
        const std::string_view m = ins.mnemonic;
        EXPECT_EQ(opcodeLength(uint8_t(op)), ins.length) << std::hex << op;
        EXPECT_EQ(isCallOpcode(uint8_t(op)), m == "ACALL" || m == "LCALL") << std::hex << op;
        EXPECT_EQ(isReturnOpcode(uint8_t(op)), m == "RET" || m == "RETI") << std::hex << op;
        EXPECT_EQ(isUnconditionalJump(uint8_t(op)), m == "SJMP" || m == "AJMP" || m == "LJMP")
            << std::hex << op;
    }
    const struct {
        uint8_t bytes[3];
        uint16_t at;
        bool toItself;
    } jumps[] = {
        {{0x80, 0xFE, 0x00}, 0x0100, true},  // SJMP $
        {{0x80, 0xFD, 0x00}, 0x0100, false}, // SJMP $-1
        {{0x02, 0x12, 0x34}, 0x1234, true},  // LJMP $
        {{0x02, 0x12, 0x34}, 0x1235, false},
        {{0xE1, 0x34, 0x00}, 0x0734, true},  // AJMP $ (page 0, bits 10-8 = 7)
        {{0xE1, 0x34, 0x00}, 0x07FF, false}, // the next instruction is in the next page
        {{0x12, 0x01, 0x00}, 0x0100, false}, // LCALL $ is no jump
    };
    for (const auto& j : jumps)
        EXPECT_EQ(isJumpToItself(j.bytes[0], j.bytes[1], j.bytes[2], j.at), j.toItself)
            << std::hex << int(j.bytes[0]) << " at " << j.at;
}

// Every mnemonic of the table is one the editor and the line assembler know
// (the lookup of each opcode is covered by the line assembler's round trip).
TEST(InstructionTable, MnemonicNamesMatchTheTable) {
    std::set<std::string_view> names;
    for (const Instruction& ins : instructionTable())
        if (!ins.reserved) names.insert(ins.mnemonic);
    EXPECT_EQ(names, std::set<std::string_view>(mnemonicNames().begin(), mnemonicNames().end()));
}
