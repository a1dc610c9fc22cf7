// The instruction table: display rows, operand forms and lengths of every
// opcode, opcode lookup and encoding.
#include "tools/instruction_table.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace quorvel;

TEST(InstructionTable, DisplayRowsPadTheMnemonic) {
    // The mnemonic padded to 7 columns, then the fixed operand text; the
    // disassembler and line-assembler tests read the rows of every opcode.
    const std::pair<uint8_t, const char*> rows[] = {
        {0x00, "NOP"}, {0xA5, "RESERVED"}, {0x02, "LJMP   "}, {0x24, "ADD    A,#"}, {0x73, "JMP    @A+DPTR"},
        {0xD7, "XCHD   A,@R1"}, {0x85, "MOV    "}, {0xF2, "MOVX   @R0,A"}};
    for (const auto& [op, row] : rows) EXPECT_EQ(instructionOf(op).row, row) << std::hex << int(op);
}

TEST(InstructionTable, EveryOpcodeHasTheFormOfItsList) {
    using F = OperandForm;
    std::map<F, std::vector<int>> lists = {
        {F::Long, {0x02, 0x12, 0x90}},
        {F::Direct, {0x05, 0x15, 0x25, 0x35, 0x45, 0x55, 0x65, 0x95, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA,
                     0xAB, 0xAC, 0xAD, 0xAE, 0xAF, 0xC0, 0xC5, 0xD0, 0xE5}},
        {F::Immediate, {0x24, 0x34, 0x44, 0x54, 0x64, 0x74, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B,
                        0x7C, 0x7D, 0x7E, 0x7F, 0x94}},
        {F::Relative, {0x40, 0x50, 0x60, 0x70, 0x80, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF}},
        {F::DirectRegister, {0x42, 0x52, 0x62, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E,
                             0x8F, 0xF5}},
        {F::DirectImmediate, {0x43, 0x53, 0x63, 0x75}},
        {F::Bit, {0x72, 0x82, 0xA0, 0xA2, 0xB0, 0xB2, 0xC2, 0xD2}},
        {F::DirectDirect, {0x85}},
        {F::BitCarry, {0x92}},
        {F::BitRelative, {0x10, 0x20, 0x30}},
        {F::ImmediateRelative, {0xB4, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF}},
        {F::DirectRelative, {0xB5, 0xD5}},
    };
    for (int hi = 0; hi < 16; ++hi) lists[F::PageAddress].push_back(hi * 16 + 1);

    std::map<int, F> expected;
    for (auto& [form, ops] : lists)
        for (int op : ops) {
            EXPECT_FALSE(expected.count(op)) << "listed twice: " << std::hex << op;
            expected[op] = form;
        }
    for (int op = 0; op < 256; ++op) {
        F form = expected.count(op) ? expected[op] : F::None;
        const Instruction& ins = instructionOf(uint8_t(op));
        EXPECT_EQ(ins.form, form) << std::hex << op;
        EXPECT_EQ(ins.length, formLength(form)) << std::hex << op;
    }
    EXPECT_TRUE(instructionOf(0xA5).reserved);
    EXPECT_EQ(instructionOf(0xA5).length, 1);
}

TEST(InstructionTable, OperandsAndLookup) {
    const Instruction& cjne = instructionOf(0xBB);
    ASSERT_EQ(cjne.operandCount, 3);
    EXPECT_EQ(cjne.operands[0], (Operand{OperandKind::Rn, 3}));
    EXPECT_EQ(cjne.operands[1].kind, OperandKind::Data);
    EXPECT_EQ(cjne.operands[2].kind, OperandKind::Rel);
    EXPECT_EQ(operandText(instructionOf(0x87).operands[1]), "@R1");
    EXPECT_EQ(operandText(instructionOf(0x73).operands[0]), "@A+DPTR");

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
