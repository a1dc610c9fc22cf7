// Disassembly lines byte for byte in both layouts: prefixes by length, rows,
// names, filling, upper case and the next address. (Operand forms and jump
// targets: the line assembler's round trip over every opcode.)
#include "tools/disassembler.h"

#include "test_support.h"
#include "tools/symbol_names.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// Pads the visible part to 39 characters and adds the 18 trailing spaces.
std::string line(std::string visible) {
    if (visible.size() < 39) visible.resize(39, ' ');
    return visible + std::string(18, ' ');
}

std::string normal(uint16_t at, uint8_t op, uint8_t b1 = 0, uint8_t b2 = 0) {
    return disassemble(at, op, b1, b2, ViewMode::Normal).text;
}
std::string clear(uint16_t at, uint8_t op, uint8_t b1 = 0, uint8_t b2 = 0) {
    return disassemble(at, op, b1, b2, ViewMode::Clear).text;
}

} // namespace

TEST(Disassembler, PrefixesOfBothLayoutsByLength) {
    EXPECT_EQ(normal(0x0100, 0x80, 0xFE), line("  0100         80 FE       SJMP   0100"));
    EXPECT_EQ(clear(0x0100, 0x80, 0xFE), line(" 0100      80 FE     SJMP   0100"));
    EXPECT_EQ(normal(0x0000, 0xA5), line("  0000         A5          RESERVED"));
    EXPECT_EQ(normal(0x1234, 0x02, 0xAB, 0xCD), line("  1234         02 AB CD    LJMP   ABCD"));
    EXPECT_EQ(clear(0x1234, 0x90, 0x00, 0x7f), line(" 1234      90 00 7F  MOV    DPTR,#007F"));
    // A line longer than 39 characters is not cut.
    EXPECT_EQ(normal(0x0100, 0xB6, 0x12, 0x02),
              "  0100         B6 12 02    CJNE   @R0,#12,0105" + std::string(18, ' '));
    // The mnemonic starts in the documented column of each layout.
    EXPECT_EQ(normal(0, 0x04).find("INC"), kNormalMnemonicColumn);
    EXPECT_EQ(clear(0, 0x04).find("INC"), kClearMnemonicColumn);
    EXPECT_EQ(kNormalViewHeader.find("Mnemonics"), kNormalMnemonicColumn);
    EXPECT_EQ(kClearViewHeader.find("Mnemonics"), kClearMnemonicColumn);
    // What instruction entry offers: the text from that column on.
    EXPECT_EQ(mnemonicPart(normal(0x0100, 0x80, 0xFE)), "SJMP   0100");
    EXPECT_EQ(mnemonicPart("short"), "");
}

TEST(Disassembler, NamesOfDirectAddressesAndBits) {
    // RAM, a named and an unnamed SFR; bits in RAM, in a port, named, and
    // unnamed in an SFR.
    const std::pair<uint8_t, const char*> direct[] = {{0x0A, "0A"}, {0xD5, "SPCR"}, {0xF1, "F1"}};
    for (auto [address, name] : direct) EXPECT_EQ(directDisplayName(address), name);
    const std::pair<uint8_t, const char*> bits[] = {
        {0x7F, "7f"}, {0xB7, "P3.7"}, {0xE3, "ACC.3"}, {0x8D, "TF0"}, {0xAD, "ad"}, {0xC9, "C/T2"}};
    for (auto [address, name] : bits) EXPECT_EQ(bitDisplayName(address), name);
    EXPECT_EQ(normal(0, 0xD2, 0x7F), line("  0000         D2 7F       SETB   7F"));
    EXPECT_EQ(normal(0, 0xC2, 0xC0), line("  0000         C2 C0       CLR    C0"));
}

TEST(Disassembler, NextAddressIsNotWrappedAndReadsFfBeyondMemory) {
    ChipState chip = support::makeChip(0xFFFF, 0);
    chip.code[0xFFFF] = 0x02; // LJMP with both operand bytes beyond memory
    DisassembledLine top = disassembleAt(chip, 0xFFFF, ViewMode::Normal);
    EXPECT_EQ(top.next, 0x10002u);
    EXPECT_EQ(top.text, line("  FFFF         02 FF FF    LJMP   FFFF"));

    ChipState small = support::makeChip(0x07FF, 0);
    small.code[0x07FF] = 0x74;
    DisassembledLine end = disassembleAt(small, 0x07FF, ViewMode::Clear);
    EXPECT_EQ(end.next, 0x0801u);
    EXPECT_EQ(end.text, line(" 07FF      74 FF     MOV    A,#FF"));
    // Program memory just allocated is FF: MOV R7,A on every row.
    EXPECT_EQ(disassembleAt(small, 0x0100, ViewMode::Normal).text,
              line("  0100         FF          MOV    R7,A"));
}
