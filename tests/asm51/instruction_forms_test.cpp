// Every instruction form against Debian's as31, relative jumps at both
// limits; the SFR and bit names; the generic CALL and JMP.
#include "asm51_support.h"

#include "tools/instruction_table.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace asm51test;
using namespace quorvel;

namespace {

std::string hexNumber(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*XH", digits, value);
    std::string s = text;
    return s[0] > '9' ? "0" + s : s;
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

// A generic CALL or JMP whose target is already defined takes the shortest
// form that reaches it; one whose target comes later takes LCALL/LJMP, even
// when the target turns out near, so all passes agree on every address.
struct GenericCase {
    const char* source; // after "        ORG 0"
    uint16_t at;
    Bytes bytes;
};

const GenericCase kGenericCases[] = {
    // Ahead: always the long form.
    {"        JMP L\nL:      NOP\n", 0, {0x02, 0x00, 0x03, 0x00}},
    {"        CALL S\nS:      RET\n", 0, {0x12, 0x00, 0x03, 0x22}},
    {"        JMP T\nT       EQU 5\n", 0, {0x02, 0x00, 0x05}},
    // Behind or known: SJMP, AJMP, LJMP; ACALL, LCALL.
    {"        JMP $\n", 0, {0x80, 0xFE}},
    {"L:      NOP\n        JMP L\n", 0, {0x00, 0x80, 0xFD}},
    {"L:      NOP\n        ORG 700H\n        JMP L\n", 0x700, {0x01, 0x00}},
    {"L:      NOP\n        ORG 800H\n        JMP L\n", 0x800, {0x02, 0x00, 0x00}},
    {"S:      RET\n        ORG 7F0H\n        CALL S\n", 0x7F0, {0x11, 0x00}},
    {"S:      RET\n        ORG 800H\n        CALL S\n", 0x800, {0x12, 0x00, 0x00}},
    {"        ORG 7FEH\n        CALL 823H\n", 0x7FE, {0x11, 0x23}}, // page of the next instruction
    {"        JMP @A+DPTR\n", 0, {0x73}},
    // Both kinds mixed: the forward jump's three bytes move the backward ones.
    {"        JMP FWD\nBACK:   NOP\n        JMP BACK\n        NOP\nFWD:    CALL BACK\n", 0,
     {0x02, 0x00, 0x07, 0x00, 0x80, 0xFD, 0x00, 0x11, 0x03}},
};

TEST(InstructionForms, GenericCallAndJumpLongAheadShortestBehind) {
    TempDir folder;
    for (const GenericCase& c : kGenericCases) {
        SCOPED_TRACE(c.source);
        auto image = assembleOk(folder, std::string("        ORG 0\n") + c.source + "        END\n");
        const int size = int(c.bytes.size());
        EXPECT_EQ(bytesAt(image, c.at, size), c.bytes);
        EXPECT_EQ(bytesAt(image, uint16_t(c.at + size), 1), Bytes{-1}) << "no longer than that";
    }
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
                text = hexNumber(uint16_t(next + (op & 1 ? 0x7F : -0x80)), 4); // both limits
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
