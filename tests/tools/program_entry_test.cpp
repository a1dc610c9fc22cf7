// Enter Program: writes and advances, rejects without writing, stops at the
// end of program memory and never wraps into low memory.
#include "tools/program_entry.h"

#include "test_support.h"

#include <gtest/gtest.h>

using namespace quorvel;
using Kind = ProgramEntry::Outcome::Kind;

// Lines submitted in turn, each at the address the one before left: {line,
// outcome, address after}. A refusal changes no byte; a program memory that
// the external data window overlaps asks that window to refresh; past the
// last address entering stops.
TEST(ProgramEntry, LinesStoreAndAdvanceOrChangeNothing) {
    ChipState plain = support::makeChip(0x07FF, 0), overlapped = support::makeChip(0x07FF, 0x07FF),
              full = support::makeChip(0xFFFF, 0xFFFF); // external data memory, not overlapped
    overlapped.overlapEnabled = true;
    full.code[0] = 0x12;
    const Validation exceeds = errorMessage("Error", "Address Exceeds Maximum Capacity");
    const struct {
        ChipState* chip;
        uint16_t start;
        std::vector<std::tuple<const char*, Kind, uint32_t>> lines;
    } runs[] = {
        // A longer instruction simply covers the following bytes.
        {&plain, 0x0100, {{"mov a,#3f", Kind::Stored, 0x0102}, {"SJMP 0103", Kind::Rejected, 0x0102},
                          {"   ", Kind::Unchanged, 0x0102}, {"SJMP 0102", Kind::Stored, 0x0104}}},
        {&plain, 0x0100, {{"LJMP 1234", Kind::Stored, 0x0103}}},
        // Three bytes do not fit in the last two: refused whole.
        {&overlapped, 0x07FE, {{"LJMP 0000", Kind::Rejected, 0x07FE}, {"SJMP 07FE", Kind::Stored, 0x0800}}},
        {&full, 0xFFFF, {{"MOV A,#1", Kind::Rejected, 0xFFFF}, {"NOP", Kind::Stored, 0x10000}}},
    };
    for (const auto& run : runs) {
        ProgramEntry entry(run.start);
        for (const auto& [line, kind, next] : run.lines) {
            SCOPED_TRACE(line);
            const std::vector<uint8_t> before = run.chip->code;
            const auto outcome = entry.submit(*run.chip, line);
            EXPECT_EQ(outcome.kind, kind);
            EXPECT_EQ(outcome.refreshExternalMemory, kind == Kind::Stored && run.chip == &overlapped);
            if (kind != Kind::Stored) { EXPECT_EQ(run.chip->code, before); }
            EXPECT_EQ(entry.address(), next);
            EXPECT_EQ(entry.checkAddress(*run.chip), next > run.chip->codeLimit ? exceeds : Validation{});
        }
    }
    EXPECT_EQ(ProgramEntry(0x07FE).submit(overlapped, "LJMP 0000").message, exceeds);
    const std::vector<uint8_t> entered = {0x02, 0x12, 0x34, 0xFE};
    EXPECT_EQ(std::vector<uint8_t>(plain.code.begin() + 0x0100, plain.code.begin() + 0x0104), entered);
    EXPECT_EQ(ProgramEntry(0x0100).offeredText(plain), "LJMP   1234");
    EXPECT_EQ(std::pair(full.code[0], full.code[0xFFFF]), std::pair(uint8_t(0x12), uint8_t(0x00)));
}
