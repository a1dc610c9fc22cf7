// Enter Program: writes and advances, rejects without writing, stops at the
// end of program memory and never wraps into low memory.
#include "tools/program_entry.h"

#include "test_support.h"

#include <gtest/gtest.h>

using namespace quorvel;
using Kind = ProgramEntry::Outcome::Kind;

TEST(ProgramEntry, StoresInstructionsOneAfterAnother) {
    ChipState chip = support::makeChip(0x07FF, 0);
    ProgramEntry entry(0x0100);
    EXPECT_FALSE(entry.checkAddress(chip));

    auto first = entry.submit(chip, "mov a,#3f");
    EXPECT_EQ(first.kind, Kind::Stored);
    EXPECT_FALSE(first.refreshExternalMemory);
    EXPECT_EQ(entry.address(), 0x0102u);
    EXPECT_EQ(chip.code[0x0100], 0x74);
    EXPECT_EQ(chip.code[0x0101], 0x3F);

    // Errors leave memory and the address as they were.
    EXPECT_EQ(entry.submit(chip, "SJMP 0103").kind, Kind::Rejected);
    EXPECT_EQ(entry.address(), 0x0102u);
    EXPECT_EQ(chip.code[0x0102], 0xFF);

    // An empty line adds nothing and stays at the address.
    EXPECT_EQ(entry.submit(chip, "   ").kind, Kind::Unchanged);
    EXPECT_EQ(entry.address(), 0x0102u);

    // A longer instruction simply covers the following bytes.
    EXPECT_EQ(entry.submit(chip, "SJMP 0102").kind, Kind::Stored);
    ProgramEntry again(0x0100);
    EXPECT_EQ(again.offeredText(chip), "MOV    A,#3F");
    EXPECT_EQ(again.submit(chip, "LJMP 1234").kind, Kind::Stored);
    EXPECT_EQ(chip.code[0x0102], 0x34);
}

TEST(ProgramEntry, StopsAtTheEndOfProgramMemory) {
    ChipState chip = support::makeChip(0x07FF, 0x07FF);
    chip.overlapEnabled = true;
    ProgramEntry entry(0x07FE);
    // Three bytes do not fit in the last two: refused whole.
    EXPECT_EQ(entry.submit(chip, "LJMP 0000").message, errorMessage("Error", "Address Exceeds Maximum Capacity"));
    EXPECT_EQ(chip.code[0x07FE], 0xFF);
    auto fits = entry.submit(chip, "SJMP 07FE");
    EXPECT_EQ(fits.kind, Kind::Stored);
    EXPECT_TRUE(fits.refreshExternalMemory);
    EXPECT_EQ(entry.address(), 0x0800u);
    EXPECT_EQ(entry.checkAddress(chip), errorMessage("Error", "Address Exceeds Maximum Capacity"));

    // With 64K nothing wraps round to the reset vector.
    ChipState full = support::makeChip(0xFFFF, 0);
    full.code[0] = 0x12;
    ProgramEntry top(0xFFFF);
    EXPECT_EQ(top.submit(full, "MOV A,#1").kind, Kind::Rejected);
    EXPECT_EQ(top.submit(full, "NOP").kind, Kind::Stored);
    EXPECT_EQ(top.address(), 0x10000u);
    EXPECT_TRUE(top.checkAddress(full));
    EXPECT_EQ(full.code[0], 0x12);
    EXPECT_EQ(full.code[0xFFFF], 0x00);
}
