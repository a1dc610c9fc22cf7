// The line assembler: result codes and their messages, the lexical rules,
// name lookups, page and relative limits, and a round trip over all opcodes
// through the disassembler (which covers each opcode's canonical spelling).
#include "tools/line_assembler.h"

#include "tools/disassembler.h"
#include "tools/instruction_table.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quorvel;

namespace {

using R = AssembleResult;
using B = std::vector<uint8_t>;

} // namespace

// Spellings the disassembler never produces: case, spacing, other names of
// the same address, short numbers, and the order names are tried in.
TEST(LineAssembler, AcceptedSpellings) {
    const struct {
        const char* text;
        B bytes;
        uint16_t at = 0x0100;
    } cases[] = {
        {"  nop  ", {0x00}}, {"\tRETI", {0x32}}, {"mov a,#3f", {0x74, 0x3F}}, {"MOV\tA , #3F", {0x74, 0x3F}},
        {"JBC 20,0100", {0x10, 0x20, 0xFD}}, {"JB 20,0100", {0x20, 0x20, 0xFD}}, // longer names first
        {"ADDC A,R1", {0x39}}, {"XCHD A,@R1", {0xD7}}, {"RLC A", {0x33}},
        {"MOV DPTR,#7", {0x90, 0x00, 0x07}}, {"CJNE R7,#FF,0103", {0xBF, 0xFF, 0x00}},
        {"MOV B5,A", {0xF5, 0xB5}}, {"MOV B,A", {0xF5, 0xF0}}, {"INC DP0L", {0x05, 0x82}},
        {"ORL SPCR,#40", {0x43, 0xD5, 0x40}}, {"ADD A,A", {0x25, 0x0A}}, // a lone A is address 0A
        {"ADD A,RCAP2H", {0x25, 0xCB}}, {"MOV 7,6", {0x85, 0x06, 0x07}},        // source first
        {"MOV @R0,SP", {0xA6, 0x81}}, {"MOV SP,@R0", {0x86, 0x81}}, {"DJNZ 30,0100", {0xD5, 0x30, 0xFD}},
        {"CLR C", {0xC3}}, {"CLR C0", {0xC2, 0xC0}}, {"MOV @R1,#0", {0x77, 0x00}},
        // MOV tries A before C, C before a bit followed by ",C".
        {"MOV A,C", {0xE5, 0x0C}}, {"MOV C,P1.0", {0xA2, 0x90}}, {"MOV 30,C", {0x92, 0x30}},
        {"SETB F0", {0xD2, 0xD5}}, {"SETB AC", {0xD2, 0xD6}}, {"CPL P", {0xB2, 0xD0}},
        {"CPL B.7", {0xB2, 0xF7}}, {"ORL C,/P3.2", {0xA0, 0xB2}}, {"ORL C,TI", {0x72, 0x99}},
        {"JNB RI,0100", {0x30, 0x98, 0xFD}}, {"LCALL 5", {0x12, 0x00, 0x05}},
        // Relative offsets of 0 (page and offset limits are refused below).
        {"SJMP 0102", {0x80, 0x00}}, {"CJNE A,P0,0103", {0xB5, 0x80, 0x00}},
        // asm51's suffix H, with the leading zero asm51 needs before a letter.
        {"MOV A,#55H", {0x74, 0x55}}, {"mov a,#0ffh", {0x74, 0xFF}}, {"LJMP 0002H", {0x02, 0x00, 0x02}},
        {"MOV DPTR,#01234H", {0x90, 0x12, 0x34}}, {"MOV 30H,A", {0xF5, 0x30}}, {"SETB 7H", {0xD2, 0x07}},
        {"SJMP 102H", {0x80, 0x00}}, {"MOV 0E0H,#0H", {0x75, 0xE0, 0x00}},
    };
    for (const auto& c : cases) {
        const AssembledInstruction a = assembleLine(c.text, c.at);
        ASSERT_EQ(a.result, R::Success) << c.text;
        EXPECT_EQ(B(a.bytes.begin(), a.bytes.begin() + a.length), c.bytes) << c.text;
    }
}

TEST(LineAssembler, RefusedLinesAndTheirCodes) {
    const struct {
        const char* text;
        R code;
        uint16_t at = 0x0100;
    } cases[] = {
        {"", R::Empty}, {" \t ", R::Empty},
        {"NOP A", R::IllegalMnemonic}, {"RETX", R::IllegalMnemonic}, {"MOVE A,R0", R::IllegalMnemonic},
        {"MOV,A", R::IllegalMnemonic},
        {"INC   ", R::MissingOperand}, {"MOV A,  ", R::MissingOperand}, {"ADD A", R::MissingOperand},
        {"CJNE A,#12", R::MissingOperand},
        {"MOV A #3F", R::IllegalOperand}, {"MOV A,#3F,5", R::IllegalOperand}, {"ADD #1,A", R::IllegalOperand},
        {"ADD A,@R2", R::IllegalOperand}, {"ADD A,R8", R::IllegalOperand}, {"MOV @R2,A", R::IllegalOperand},
        {"JMP 0100", R::IllegalOperand}, {"MOVC A,@DPTR", R::IllegalOperand}, {"MUL A", R::IllegalOperand},
        {"MOV A,#1FFH", R::IllegalData}, {"MOV A,#H", R::IllegalData}, {"MOV A,#123", R::IllegalData}, {"MOV A,#", R::IllegalData},
        {"MOV A,#0x3", R::IllegalData}, {"MOV DPTR,#12345", R::IllegalData}, {"MOVC B,@A+PC", R::IllegalData},
        {"MOV 123,A", R::IllegalDataAddress}, {"MOV BX,A", R::IllegalDataAddress},
        {"INC P1X", R::IllegalDataAddress},
        {"MOV C,A", R::IllegalBitAddress}, {"SETB P1.8", R::IllegalBitAddress}, {"SETB 7", R::IllegalBitAddress},
        {"SETB 123", R::IllegalBitAddress}, {"ANL C,/", R::IllegalBitAddress},
        {"AJMP 0823", R::Exceeds2K, 0x07FC}, {"AJMP 08G3", R::ImproperHexValue},
        {"ACALL 08G3", R::IllegalCodeAddress}, {"AJMP 12345", R::IllegalCodeAddress},
        {"LJMP 10000", R::IllegalCodeAddress}, {"LJMP 10000H", R::IllegalCodeAddress},
        {"SJMP 0182", R::RelativeJumpTooLong}, {"SJMP 0081", R::RelativeJumpTooLong},
        // Offsets that point into the instruction itself.
        {"SJMP 0101", R::IllegalCodeAddress}, {"JB P1.0,0101", R::IllegalCodeAddress},
        {"JB P1.0,0102", R::IllegalCodeAddress},
    };
    for (const auto& c : cases) EXPECT_EQ(assembleLine(c.text, c.at).result, c.code) << c.text;
}

// Every opcode with a spread of operand bytes: the disassembled text,
// assembled at the same address, gives the same bytes. Relative offsets that
// point into the instruction itself are refused by design.
TEST(LineAssembler, RoundTripThroughTheDisassembler) {
    const uint8_t values[] = {0x00, 0x01, 0x0A, 0x30, 0x7F, 0x80, 0x81, 0x88, 0x9F,
                              0xA0, 0xAC, 0xC8, 0xCB, 0xD5, 0xD6, 0xE0, 0xF0, 0xFE, 0xFF};
    const uint16_t addresses[] = {0x0000, 0x0100, 0x07FE, 0x1234, 0xFFFE};
    int checked = 0;
    for (int op = 0; op < 256; ++op) {
        if (op == 0xA5) continue;
        const Instruction& ins = instructionOf(uint8_t(op));
        for (uint16_t at : addresses)
            for (uint8_t b1 : values)
                for (uint8_t b2 : values) {
                    if (ins.length < 3 && b2 != values[0]) continue;
                    if (ins.length < 2 && b1 != values[0]) continue;
                    DisassembledLine shown = disassemble(at, uint8_t(op), b1, b2, ViewMode::Normal);
                    std::string text = mnemonicPart(shown.text);
                    AssembledInstruction back = assembleLine(text, at);
                    const uint8_t rel = ins.length == 3 ? b2 : b1;
                    const bool relForm = ins.form == OperandForm::Relative ||
                                         ins.form == OperandForm::BitRelative ||
                                         ins.form == OperandForm::ImmediateRelative ||
                                         ins.form == OperandForm::DirectRelative;
                    if (relForm && int8_t(rel) < 0 && int8_t(rel) > -ins.length) {
                        EXPECT_EQ(back.result, R::IllegalCodeAddress) << text;
                        continue;
                    }
                    ASSERT_EQ(back.result, R::Success) << text << " at " << std::hex << at;
                    const std::array<uint8_t, 3> expected{uint8_t(op), b1, b2};
                    ASSERT_EQ(back.length, ins.length) << text;
                    for (int i = 0; i < ins.length; ++i)
                        ASSERT_EQ(back.bytes[i], expected[i]) << text << " at " << std::hex << at;
                    ++checked;
                }
    }
    EXPECT_GT(checked, 20000);
}
