// The line assembler: every result code and its message, the lexical rules,
// name lookups, page and relative limits, and a round trip over all opcodes
// through the disassembler.
#include "tools/line_assembler.h"

#include "tools/disassembler.h"
#include "tools/instruction_table.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quorvel;

namespace {

using R = AssembleResult;

std::vector<uint8_t> bytes(std::string_view text, uint16_t at = 0x0100) {
    AssembledInstruction a = assembleLine(text, at);
    if (a.result != R::Success) return {0xEE, uint8_t(a.result)};
    return std::vector<uint8_t>(a.bytes.begin(), a.bytes.begin() + a.length);
}

R code(std::string_view text, uint16_t at = 0x0100) { return assembleLine(text, at).result; }

using B = std::vector<uint8_t>;

} // namespace

TEST(LineAssembler, MessagesOfEveryCode) {
    const std::pair<R, const char*> expected[] = {
        {R::IllegalMnemonic, "Illegal mnemonic"},     {R::MissingOperand, "Missing Operand"},
        {R::ImproperHexValue, "Improper Hex value"},  {R::Exceeds2K, "Exceeds 2K Memory"},
        {R::IllegalOperand, "Illegal Operand"},       {R::IllegalData, "Illegal Data"},
        {R::IllegalDataAddress, "Illegal Data Address"}, {R::IllegalCodeAddress, "Illegal Code Address"},
        {R::RelativeJumpTooLong, "Relative jump too long"}, {R::IllegalBitAddress, "Illegal Bit Address"},
    };
    for (auto [result, text] : expected) {
        Validation message = assembleError(result);
        ASSERT_TRUE(message);
        EXPECT_EQ(message->title, "Error");
        EXPECT_EQ(message->text, text);
        EXPECT_EQ(message->icon, UserMessage::Icon::Error);
    }
    EXPECT_FALSE(assembleError(R::Success));
    EXPECT_FALSE(assembleError(R::Empty));
}

TEST(LineAssembler, MnemonicsAndBlankLines) {
    EXPECT_EQ(code(""), R::Empty);
    EXPECT_EQ(code(" \t "), R::Empty);
    EXPECT_EQ(bytes("NOP"), B{0x00});
    EXPECT_EQ(bytes("  nop  "), B{0x00});
    EXPECT_EQ(bytes("RET"), B{0x22});
    EXPECT_EQ(bytes("\tRETI"), B{0x32});
    EXPECT_EQ(code("NOP A"), R::IllegalMnemonic);
    EXPECT_EQ(code("RETX"), R::IllegalMnemonic);
    EXPECT_EQ(code("MOVE A,R0"), R::IllegalMnemonic);
    EXPECT_EQ(code("HALT"), R::IllegalMnemonic);
    EXPECT_EQ(code("MOV,A"), R::IllegalMnemonic);
    EXPECT_EQ(code("INC"), R::MissingOperand);
    EXPECT_EQ(code("INC   "), R::MissingOperand);
    // Longer names are tried before the names they begin with.
    EXPECT_EQ(bytes("JBC 20,0100"), (B{0x10, 0x20, 0xFD}));
    EXPECT_EQ(bytes("JB 20,0100"), (B{0x20, 0x20, 0xFD}));
    EXPECT_EQ(bytes("ADDC A,R1"), B{0x39});
    EXPECT_EQ(bytes("XCHD A,@R1"), B{0xD7});
    EXPECT_EQ(bytes("RLC A"), B{0x33});
    EXPECT_EQ(bytes("MOVX @DPTR,A"), B{0xF0});
}

TEST(LineAssembler, OperandSeparatorsAndCounts) {
    EXPECT_EQ(bytes("mov a,#3f"), (B{0x74, 0x3F}));
    EXPECT_EQ(bytes("MOV\tA , #3F"), (B{0x74, 0x3F}));
    EXPECT_EQ(code("MOV A #3F"), R::IllegalOperand);
    EXPECT_EQ(code("MOV A,"), R::MissingOperand);
    EXPECT_EQ(code("MOV A,  "), R::MissingOperand);
    EXPECT_EQ(code("ADD A"), R::MissingOperand);
    EXPECT_EQ(code("CJNE A,#12"), R::MissingOperand);
    EXPECT_EQ(code("MOV A,#3F,5"), R::IllegalOperand);
    EXPECT_EQ(code("ADD #1,A"), R::IllegalOperand);
    EXPECT_EQ(code("INC #5"), R::IllegalOperand);
}

TEST(LineAssembler, ImmediateData) {
    EXPECT_EQ(code("MOV A,#3FH"), R::IllegalData);
    EXPECT_EQ(code("MOV A,#123"), R::IllegalData);
    EXPECT_EQ(code("MOV A,#"), R::IllegalData);
    EXPECT_EQ(code("MOV A,#0x3"), R::IllegalData);
    EXPECT_EQ(bytes("MOV A,#5"), (B{0x74, 0x05}));
    EXPECT_EQ(bytes("MOV DPTR,#1234"), (B{0x90, 0x12, 0x34}));
    EXPECT_EQ(bytes("MOV DPTR,#7"), (B{0x90, 0x00, 0x07}));
    EXPECT_EQ(code("MOV DPTR,#12345"), R::IllegalData);
    EXPECT_EQ(bytes("CJNE A,#12,0100"), (B{0xB4, 0x12, 0xFD}));
    EXPECT_EQ(bytes("CJNE R7,#FF,0103"), (B{0xBF, 0xFF, 0x00}));
}

TEST(LineAssembler, DirectAddresses) {
    EXPECT_EQ(bytes("MOV P1,#FF"), (B{0x75, 0x90, 0xFF}));
    EXPECT_EQ(bytes("MOV B5,A"), (B{0xF5, 0xB5}));
    EXPECT_EQ(bytes("MOV B,A"), (B{0xF5, 0xF0}));
    EXPECT_EQ(bytes("INC DP0L"), (B{0x05, 0x82}));
    EXPECT_EQ(bytes("PUSH ACC"), (B{0xC0, 0xE0}));
    EXPECT_EQ(bytes("POP SP"), (B{0xD0, 0x81}));
    EXPECT_EQ(bytes("ORL SPCR,#40"), (B{0x43, 0xD5, 0x40}));
    EXPECT_EQ(bytes("ADD A,ACC"), (B{0x25, 0xE0}));
    EXPECT_EQ(bytes("ADD A,A"), (B{0x25, 0x0A}));      // a lone A is address 0A
    EXPECT_EQ(bytes("ADD A,RCAP2H"), (B{0x25, 0xCB}));
    EXPECT_EQ(bytes("MOV 30,P2"), (B{0x85, 0xA0, 0x30})); // source first
    EXPECT_EQ(bytes("MOV 7,6"), (B{0x85, 0x06, 0x07}));
    EXPECT_EQ(code("MOV 123,A"), R::IllegalDataAddress);
    EXPECT_EQ(code("MOV BX,A"), R::IllegalDataAddress);
    EXPECT_EQ(code("INC P1X"), R::IllegalDataAddress);
    EXPECT_EQ(code("ADD A,@R2"), R::IllegalOperand);
    EXPECT_EQ(code("ADD A,R8"), R::IllegalOperand);
    EXPECT_EQ(code("ADD A,RX"), R::IllegalOperand);
}

TEST(LineAssembler, RegistersBeatDirectReadings) {
    EXPECT_EQ(bytes("INC A"), B{0x04});
    EXPECT_EQ(bytes("INC DPTR"), B{0xA3});
    EXPECT_EQ(bytes("ADD A,R0"), B{0x28});
    EXPECT_EQ(bytes("MOV R3,A"), B{0xFB});
    EXPECT_EQ(bytes("MOV @R1,#0"), (B{0x77, 0x00}));
    EXPECT_EQ(bytes("MOV @R0,SP"), (B{0xA6, 0x81}));
    EXPECT_EQ(bytes("MOV SP,@R0"), (B{0x86, 0x81}));
    EXPECT_EQ(bytes("MOV 30,R7"), (B{0x8F, 0x30}));
    EXPECT_EQ(bytes("MOV ACC,A"), (B{0xF5, 0xE0}));
    EXPECT_EQ(bytes("DJNZ R2,0100"), (B{0xDA, 0xFE}));
    EXPECT_EQ(bytes("DJNZ 30,0100"), (B{0xD5, 0x30, 0xFD}));
    EXPECT_EQ(bytes("CLR C"), B{0xC3});
    EXPECT_EQ(bytes("CLR C0"), (B{0xC2, 0xC0}));
    // MOV tries A before C, C before a bit followed by ",C".
    EXPECT_EQ(bytes("MOV A,C"), (B{0xE5, 0x0C}));
    EXPECT_EQ(bytes("MOV C,P1.0"), (B{0xA2, 0x90}));
    EXPECT_EQ(bytes("MOV P1.7,C"), (B{0x92, 0x97}));
    EXPECT_EQ(bytes("MOV 30,C"), (B{0x92, 0x30}));
    EXPECT_EQ(code("MOV C,A"), R::IllegalBitAddress);
    EXPECT_EQ(code("MOV #1,A"), R::IllegalOperand);
    EXPECT_EQ(code("MOV @R2,A"), R::IllegalOperand);
}

TEST(LineAssembler, FixedOperandInstructions) {
    EXPECT_EQ(bytes("JMP @A+DPTR"), B{0x73});
    EXPECT_EQ(code("JMP 0100"), R::IllegalOperand);
    EXPECT_EQ(bytes("MOVC A,@A+DPTR"), B{0x93});
    EXPECT_EQ(bytes("MOVC A,@A+PC"), B{0x83});
    EXPECT_EQ(code("MOVC B,@A+PC"), R::IllegalData);
    EXPECT_EQ(code("MOVC A,@DPTR"), R::IllegalOperand);
    EXPECT_EQ(code("MOVC A"), R::MissingOperand);
    EXPECT_EQ(bytes("MUL AB"), B{0xA4});
    EXPECT_EQ(bytes("DIV AB"), B{0x84});
    EXPECT_EQ(code("MUL A"), R::IllegalOperand);
    EXPECT_EQ(bytes("DA A"), B{0xD4});
    EXPECT_EQ(code("DA B"), R::IllegalOperand);
}

TEST(LineAssembler, BitAddresses) {
    EXPECT_EQ(bytes("SETB F0"), (B{0xD2, 0xD5}));
    EXPECT_EQ(bytes("SETB AC"), (B{0xD2, 0xD6}));
    EXPECT_EQ(bytes("SETB 7F"), (B{0xD2, 0x7F}));
    EXPECT_EQ(bytes("SETB C/T2"), (B{0xD2, 0xC9}));
    EXPECT_EQ(bytes("CPL P"), (B{0xB2, 0xD0}));
    EXPECT_EQ(bytes("CPL B.7"), (B{0xB2, 0xF7}));
    EXPECT_EQ(code("SETB P1.8"), R::IllegalBitAddress);
    EXPECT_EQ(code("SETB 7"), R::IllegalBitAddress);
    EXPECT_EQ(code("SETB 123"), R::IllegalBitAddress);
    EXPECT_EQ(bytes("ANL C,/CY"), (B{0xB0, 0xD7}));
    EXPECT_EQ(bytes("ORL C,/P3.2"), (B{0xA0, 0xB2}));
    EXPECT_EQ(bytes("ORL C,TI"), (B{0x72, 0x99}));
    EXPECT_EQ(code("ANL C,/"), R::IllegalBitAddress);
    EXPECT_EQ(bytes("JNB RI,0100"), (B{0x30, 0x98, 0xFD}));
}

TEST(LineAssembler, CodeAddressesPagesAndRelativeJumps) {
    EXPECT_EQ(bytes("AJMP 0823", 0x07FE), (B{0x01, 0x23}));
    EXPECT_EQ(code("AJMP 0823", 0x07FC), R::Exceeds2K);
    EXPECT_EQ(bytes("ACALL 0723", 0x0100), (B{0xF1, 0x23}));
    EXPECT_EQ(code("AJMP 08G3"), R::ImproperHexValue);
    EXPECT_EQ(code("ACALL 08G3"), R::IllegalCodeAddress);
    EXPECT_EQ(code("AJMP 12345"), R::IllegalCodeAddress);
    EXPECT_EQ(bytes("LJMP FFFF"), (B{0x02, 0xFF, 0xFF}));
    EXPECT_EQ(bytes("LCALL 5"), (B{0x12, 0x00, 0x05}));
    EXPECT_EQ(code("LJMP 10000"), R::IllegalCodeAddress);
    EXPECT_EQ(code("LJMP 1000H"), R::IllegalCodeAddress);

    EXPECT_EQ(bytes("SJMP 0100"), (B{0x80, 0xFE}));
    EXPECT_EQ(code("SJMP 0101"), R::IllegalCodeAddress);
    EXPECT_EQ(bytes("SJMP 0102"), (B{0x80, 0x00}));
    EXPECT_EQ(bytes("SJMP 0181"), (B{0x80, 0x7F}));
    EXPECT_EQ(code("SJMP 0182"), R::RelativeJumpTooLong);
    EXPECT_EQ(bytes("SJMP 0082"), (B{0x80, 0x80}));
    EXPECT_EQ(code("SJMP 0081"), R::RelativeJumpTooLong);
    // Three-byte jumps: offsets FF and FE point into the instruction.
    EXPECT_EQ(code("JB P1.0,0101"), R::IllegalCodeAddress);
    EXPECT_EQ(code("JB P1.0,0102"), R::IllegalCodeAddress);
    EXPECT_EQ(bytes("JB P1.0,0100"), (B{0x20, 0x90, 0xFD}));
    EXPECT_EQ(bytes("CJNE A,P0,0103"), (B{0xB5, 0x80, 0x00}));
    // Targets wrap at 16 bits.
    EXPECT_EQ(bytes("SJMP 0010", 0xFFF0), (B{0x80, 0x1E}));
}

// Every opcode with a spread of operand bytes: the disassembled text,
// assembled at the same address, gives the same bytes. Relative offsets that
// point into the instruction itself are refused by design (code 8).
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
                    std::array<uint8_t, 3> expected{uint8_t(op), b1, b2};
                    ASSERT_EQ(back.length, ins.length) << text;
                    for (int i = 0; i < ins.length; ++i)
                        ASSERT_EQ(back.bytes[i], expected[i]) << text << " at " << std::hex << at;
                    ++checked;
                }
    }
    EXPECT_GT(checked, 20000);
}
