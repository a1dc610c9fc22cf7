// Every instruction form: bytes -> disassembler text -> asm51 -> the same
// bytes; the same forms against Debian's as31; the generic CALL and JMP.
#include "asm51_support.h"

#include "tools/disassembler.h"
#include "tools/instruction_table.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sstream>

using namespace asm51test;
using namespace quorvel;

namespace {

std::string hexNumber(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*XH", digits, value);
    std::string s = text;
    return s[0] > '9' ? "0" + s : s;
}

// Disassembler operands are bare hexadecimal ("30", "0123"); asm51 wants the
// H suffix. Register words and the names that look like hex digits stay.
std::string operandToSource(const std::string& operand) {
    static const std::array<std::string, 6> kWords{"A", "AB", "C", "B", "F0", "AC"};
    size_t prefix = operand.find_first_not_of("#/@");
    std::string head = operand.substr(0, prefix), body = operand.substr(prefix);
    for (const auto& w : kWords)
        if (body == w && head != "#") return operand;
    if (body.empty() || body.find_first_not_of("0123456789ABCDEF") != std::string::npos)
        return operand;
    return head + (body[0] > '9' ? "0" : "") + body + "H";
}

std::string disassemblyToSource(uint16_t address, uint8_t op, uint8_t b1, uint8_t b2) {
    std::string text = mnemonicPart(disassemble(address, op, b1, b2, ViewMode::Normal).text);
    size_t space = text.find(' ');
    if (space == std::string::npos) return text;
    std::string mnemonic = text.substr(0, space);
    std::string operands = text.substr(text.find_first_not_of(' ', space));
    std::string out = mnemonic + " ";
    std::stringstream parts(operands);
    std::string part;
    bool first = true;
    while (std::getline(parts, part, ',')) {
        out += (first ? "" : ",") + operandToSource(part);
        first = false;
    }
    return out;
}

// `body` assembled at `origin` by asm51 and by as31 (in o31/): both images.
std::pair<Image, Image> withBothAssemblers(const TempDir& folder, const std::string& body,
                                           uint16_t origin) {
    Image ours = assembleOk(folder, "        ORG " + hexNumber(origin, 4) + "\n" + body + "        END\n");
    std::filesystem::create_directories(folder / "o31");
    EXPECT_TRUE(quorvel::support::as31Hex(folder / "o31", "t", "        .org " + std::to_string(origin) + "\n" + body));
    return {ours, parseHex(folder.read("o31/t.hex"))};
}

} // namespace

// Each opcode with several operand byte patterns: plain addresses, SFR and bit
// names, the slashed T2CON bit names, relative offsets at both limits.
TEST(InstructionForms, DisassemblerTextAssemblesBackToTheSameBytes) {
    struct Pattern {
        uint8_t b1, b2;
    };
    const std::array<Pattern, 5> patterns{
        {{0x30, 0x21}, {0x90, 0xF0}, {0xD5, 0x80}, {0xC9, 0x7F}, {0xC8, 0x8C}}};
    std::string source;
    struct Expected {
        uint16_t address;
        std::vector<int> bytes;
        std::string line;
    };
    std::vector<Expected> expected;
    uint16_t address = 0x1000;
    for (int op = 0; op < 256; ++op) {
        if (op == 0xA5) continue;
        const int length = instructionOf(uint8_t(op)).length;
        for (const Pattern& p : patterns) {
            std::string line = disassemblyToSource(address, uint8_t(op), p.b1, p.b2);
            source += "        ORG " + hexNumber(address, 4) + "\n        " + line + "\n";
            std::vector<int> bytes{op, p.b1, p.b2};
            bytes.resize(size_t(length));
            expected.push_back({address, bytes, line});
            address = uint16_t(address + 4);
            if (length == 1) break; // the pattern does not matter
        }
    }
    source += "        END\n";
    TempDir folder;
    auto image = assembleOk(folder, source);
    for (const Expected& e : expected)
        EXPECT_EQ(bytesAt(image, e.address, int(e.bytes.size())), e.bytes) << e.line;
    EXPECT_GT(expected.size(), 700u);
}

TEST(InstructionForms, GenericCallAndJumpPickTheShortestForm) {
    TempDir folder;
    auto image = assembleOk(folder, R"(
        ORG 0
        JMP NEAR        ; 0000 SJMP: within -128..127
        CALL SUB        ; 0002 ACALL: same 2 KB page
        JMP INPAGE      ; 0004 AJMP: too far for SJMP, same page
        JMP FAR         ; 0006 LJMP: another page
        CALL FAR        ; 0009 LCALL
        JMP BACK        ; 000C SJMP backwards
NEAR:   NOP             ; 000E
SUB:    RET             ; 000F
        ORG 700H
INPAGE: NOP
        ORG 1000H
FAR:    JMP @A+DPTR     ; the one JMP form of the instruction table
BACK    EQU 0
        ORG 7FEH
        CALL 823H       ; page of the next instruction (0800), not of 07FE
        END
)");
    EXPECT_EQ(bytesAt(image, 0x0000, 16),
              (Bytes{0x80, 0x0C, 0x11, 0x0F, 0xE1, 0x00, 0x02, 0x10, 0x00, 0x12, 0x10,
                                0x00, 0x80, 0xF2, 0x00, 0x22}));
    EXPECT_EQ(bytesAt(image, 0x1000, 1), (Bytes{0x73}));
    EXPECT_EQ(bytesAt(image, 0x07FE, 2), (Bytes{0x11, 0x23}));
}

// A jump that grows from two to three bytes pushes later code, which can put
// another jump's target out of reach; the passes go on until nothing moves.
TEST(InstructionForms, GenericJumpsSettleWhenOneGrowthCausesAnother) {
    TempDir folder;
    auto image = assembleOk(folder, R"(
        ORG 7F0H
        JMP T           ; T is 127 bytes ahead while the next JMP is short
        JMP FAR         ; must be LJMP, which pushes T out of SJMP reach
        DS 125
T:      NOP             ; in the next page, so the first JMP becomes LJMP too
        ORG 2000H
FAR:    NOP
        END
)");
    EXPECT_EQ(bytesAt(image, 0x07F0, 6), (Bytes{0x02, 0x08, 0x73, 0x02, 0x20, 0x00}));
    EXPECT_EQ(bytesAt(image, 0x0873, 1), (Bytes{0x00}));
}

// The same file of every instruction form, assembled by asm51 and by
// Debian's as31, gives identical bytes.
TEST(InstructionForms, SameBytesAsAs31) {
    std::string body;
    uint16_t address = 0x1000;
    for (int op = 0; op < 256; ++op) {
        const Instruction& ins = instructionOf(uint8_t(op));
        if (ins.reserved) continue;
        const uint16_t next = uint16_t(address + ins.length);
        std::string line = std::string(ins.mnemonic);
        int directs = 0;
        for (size_t i = 0; i < ins.operandCount; ++i) {
            Operand o = ins.operands[i];
            std::string text;
            switch (o.kind) {
            case OperandKind::Data: text = "#5AH"; break;
            case OperandKind::Data16: text = "#1234H"; break;
            case OperandKind::Direct: text = hexNumber(0x30 + directs++, 2); break;
            case OperandKind::Bit: text = "21H"; break;
            case OperandKind::NotBit: text = "/21H"; break;
            case OperandKind::Rel:
                text = hexNumber(uint16_t(next + (op & 1 ? 0x11 : -0x40)), 4);
                break;
            case OperandKind::Addr11: text = hexNumber((next & 0xF800) | 0x345, 4); break;
            case OperandKind::Addr16: text = "0ABCDH"; break;
            default: text = operandText(o); break;
            }
            line += (i == 0 ? " " : ",") + text;
        }
        body += "        " + line + "\n";
        address = next;
    }
    TempDir folder;
    const auto [ours, theirs] = withBothAssemblers(folder, body, 0x1000);
    EXPECT_EQ(ours.size(), size_t(address - 0x1000));
    EXPECT_EQ(ours, theirs);
}

// The SFR and bit names both assemblers know, and the byte.bit forms of every
// bit-addressable byte, give the same addresses.
TEST(InstructionForms, SameNamesAsAs31) {
    const char* sfrs[] = {"P0",  "SP",  "DPL", "DPH",   "PCON",   "TCON",   "TMOD", "TL0", "TL1",
                          "TH0", "TH1", "P1",  "SCON",  "SBUF",   "P2",     "IE",   "P3",  "IP",
                          "PSW", "ACC", "B",   "T2CON", "RCAP2L", "RCAP2H", "TL2",  "TH2"};
    const char* bits[] = {"IT0",  "IE0",  "IT1", "IE1",   "TR0",  "TF0",  "TR1", "TF1", "RI",
                          "TI",   "RB8",  "TB8", "REN",   "SM2",  "SM1",  "SM0", "EX0", "ET0",
                          "EX1",  "ET1",  "ES",  "ET2",   "EA",   "PX0",  "PT0", "PX1", "PT1",
                          "PS",   "PT2",  "P",   "OV",    "RS0",  "RS1",  "F0",  "AC",  "CY",
                          "TR2",  "EXF2", "TF2", "EXEN2", "TCLK", "RCLK", "RXD", "TXD", "INT0",
                          "INT1", "T0",   "T1",  "WR",    "RD"};
    std::string body;
    for (const char* name : sfrs)
        body += std::string("        MOV ") + name + ",A\n";
    for (const char* name : bits)
        body += std::string("        SETB ") + name + "\n";
    for (const char* name : {"P0", "TCON", "P1", "SCON", "P2", "IE", "P3", "IP", "T2CON", "PSW",
                             "ACC", "B", "20H", "2FH"})
        for (int bit = 0; bit < 8; ++bit)
            body += std::string("        CPL ") + name + "." + std::to_string(bit) + "\n";
    TempDir folder;
    const auto [ours, theirs] = withBothAssemblers(folder, body, 0);
    EXPECT_EQ(ours.size(), 2 * (std::size(sfrs) + std::size(bits) + 14 * 8));
    EXPECT_EQ(ours, theirs);
}
