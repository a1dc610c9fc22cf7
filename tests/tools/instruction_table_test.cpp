// The instruction table: lengths of every opcode, opcode lookup and
// encoding (the rows and forms show in the disassembler's tests).
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

TEST(InstructionTable, OperandsAndLookup) {
    // Every opcode but A5 is found again from its own mnemonic and operands.
    for (int op = 0; op < 256; ++op) {
        const Instruction& ins = instructionOf(uint8_t(op));
        auto found = findOpcode(ins.mnemonic, ins.operandList());
        if (ins.reserved) {
            EXPECT_FALSE(found);
        } else if (ins.form == OperandForm::PageAddress) {
            EXPECT_EQ(found, uint8_t(op & 0x1F)) << std::hex << op;
        } else {
            EXPECT_EQ(found, uint8_t(op)) << std::hex << op;
        }
    }
    const Operand aRn[] = {{OperandKind::A}, {OperandKind::Rn, 5}};
    EXPECT_EQ(findOpcode("XCH", aRn), 0xCD);
    EXPECT_FALSE(findOpcode("XCHD", aRn));
    EXPECT_EQ(opcodesOf("MOVC"), (std::vector<uint8_t>{0x83, 0x93}));
    EXPECT_TRUE(opcodesOf("RESERVED").empty());

    std::set<std::string_view> names;
    for (const Instruction& ins : instructionTable())
        if (!ins.reserved) names.insert(ins.mnemonic);
    EXPECT_EQ(names, std::set<std::string_view>(mnemonicNames().begin(), mnemonicNames().end()));
}

TEST(InstructionTable, EncodingPlacesOperandBytes) {
    auto enc = [](uint8_t op, std::vector<uint16_t> v, uint16_t at) {
        return encodeInstruction(op, v, at);
    };
    // MOV direct,direct: written destination first, encoded source first.
    Encoded mov = enc(0x85, {0x30, 0xA0}, 0);
    EXPECT_EQ(mov.bytes, (std::array<uint8_t, 3>{0x85, 0xA0, 0x30}));
    EXPECT_EQ(enc(0x90, {0x1234}, 0).bytes, (std::array<uint8_t, 3>{0x90, 0x12, 0x34}));
    EXPECT_EQ(enc(0x75, {0x90, 0xFF}, 0).bytes, (std::array<uint8_t, 3>{0x75, 0x90, 0xFF}));

    // AJMP takes its page from the next instruction.
    Encoded ajmp = enc(0x01, {0x0823}, 0x07FE);
    EXPECT_EQ(ajmp.status, EncodeStatus::Ok);
    EXPECT_EQ(ajmp.bytes[0], 0x01);
    EXPECT_EQ(ajmp.bytes[1], 0x23);
    EXPECT_EQ(enc(0x01, {0x0823}, 0x07FC).status, EncodeStatus::TargetOutsidePage);
    EXPECT_EQ(enc(0x11, {0x0723}, 0x0100).bytes[0], 0xF1);

    // Relative offsets count from the next instruction, limits -128..127.
    EXPECT_EQ(enc(0x80, {0x0100}, 0x0100).bytes[1], 0xFE);
    EXPECT_EQ(enc(0x80, {0x0181}, 0x0100).bytes[1], 0x7F);
    EXPECT_EQ(enc(0x80, {0x0082}, 0x0100).bytes[1], 0x80);
    EXPECT_EQ(enc(0x80, {0x0182}, 0x0100).status, EncodeStatus::RelativeTooFar);
    EXPECT_EQ(enc(0x80, {0x0081}, 0x0100).status, EncodeStatus::RelativeTooFar);
    Encoded djnz = enc(0xD5, {0x30, 0x0113}, 0x00F0);
    EXPECT_EQ(djnz.bytes, (std::array<uint8_t, 3>{0xD5, 0x30, 0x20}));
    // Targets wrap at 16 bits.
    EXPECT_EQ(enc(0x80, {0x0010}, 0xFFF0).bytes[1], 0x1E);
}
