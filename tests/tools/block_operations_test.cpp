// Fill, copy/move and clear over the three memories: field and range checks
// in their order with their messages, overlap-safe copies, no 16-bit wrap,
// the values the dialogs keep, and the Memory Setting dialog's checks.
#include "tools/block_operations.h"

#include "chip/chip_state.h"
#include "tools/memory_setting.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace quorvel;
using S = MemorySpace;

namespace {

ChipState makeChip(uint16_t codeLimit = 0x0FFF, uint16_t xdataLimit = 0x07FF) {
    return support::makeChip(codeLimit, xdataLimit);
}

BlockValues range(uint16_t start, uint16_t end, uint16_t destination = 0, uint8_t fill = 0) {
    return {start, end, destination, fill};
}

const UserMessage kGreater = errorMessage("Address Error", "Starting Address is Greater than Ending Address!");
const UserMessage kOutOfRange = errorMessage("Error", "Address out of Range");
const UserMessage kRangeExceeds = errorMessage("Address Error", "Address Range Exceeds!");
const UserMessage kFilled{"Fill Memory", "Fill Operation Completed Successfully.", UserMessage::Icon::Information};
const UserMessage kCopied{"Memory Copy", "Memory Copy Completed Successfully", UserMessage::Icon::Information};
const UserMessage kMoved{"Memory Move", "Memory Move Completed Successfully", UserMessage::Icon::Information};

} // namespace

TEST(BlockOperations, DialogFieldsInOrder) {
    // {copy, space, start, end, third field, refused field}; internal memory
    // fields hold two digits.
    const struct {
        bool copy;
        S space;
        const char *start, *end, *third, *refused;
    } cases[] = {
        {false, S::ExternalData, "", "zz", "1", "Start Address"},  {false, S::ExternalData, "0", "zz", "", "End Address"},
        {false, S::ExternalData, "0", "10", "123", "Data"},        {false, S::ExternalData, "0", "10", "G", "Data"},
        {true, S::Program, "0", "10", "", "Destination Address"},  {false, S::InternalData, "100", "10", "0", "Start Address"},
        {true, S::InternalData, "10", "20", "130", "Destination Address"},
    };
    BlockValues v;
    for (const auto& c : cases)
        EXPECT_EQ(c.copy ? acceptCopyFields(c.space, c.start, c.end, c.third, v)
                         : acceptFillFields(c.space, c.start, c.end, c.third, v),
                  errorMessage("ERROR", std::string("Illegal ") + c.refused + "."))
            << c.start << " " << c.end << " " << c.third;

    EXPECT_FALSE(acceptFillFields(S::Program, "01a0", "ffff", "5a", v));
    EXPECT_EQ((std::array{v.start, v.end, uint16_t(v.fill)}), (std::array<uint16_t, 3>{0x01A0, 0xFFFF, 0x5A}));
    EXPECT_FALSE(acceptCopyFields(S::InternalData, "30", "7F", "8", v));
    EXPECT_EQ(v.destination, 0x08);
}

TEST(BlockOperations, FillAndCopyExternalMemory) {
    ChipState chip = makeChip();
    EXPECT_EQ(fillMemory(chip, S::ExternalData, 128, range(0x0100, 0x01FF, 0, 0x55)).message, kFilled);
    chip.code[0x10] = 0x00;
    chip.code[0xFFF] = 0x12;
    clearProgramMemory(chip);
    EXPECT_EQ(chip.code, std::vector<uint8_t>(0x1000, 0xFF));
    EXPECT_EQ(copyMemory(chip, S::ExternalData, 128, range(0x0100, 0x01FF, 0x0180)).message, kCopied);
    for (int a = 0x0100; a <= 0x027F; ++a) ASSERT_EQ(chip.xdata[a], 0x55) << a;
    EXPECT_EQ(chip.xdata[0x00FF], 0x00);
    EXPECT_EQ(chip.xdata[0x0280], 0x00);

    // Inside the overlap window the writes reach program memory.
    chip.overlapEnabled = true;
    chip.overlapStart = 0x0400;
    chip.overlapEnd = 0x04FF;
    fillMemory(chip, S::ExternalData, 128, range(0x0400, 0x0401, 0, 0xA5));
    EXPECT_EQ(chip.code[0x0400], 0xA5);
    EXPECT_EQ(chip.xdata[0x0400], 0x00);

    // Without external data memory there is nothing to fill.
    ChipState none = makeChip(0x0FFF, 0);
    EXPECT_EQ(fillMemory(none, S::ExternalData, 128, range(0, 0)).message, kOutOfRange);
}

TEST(BlockOperations, OverlappingCopiesActLikeABufferedCopy) {
    ChipState chip = makeChip();
    for (int a = 0; a < 0x100; ++a) chip.code[a] = uint8_t(a);
    EXPECT_EQ(copyMemory(chip, S::Program, 128, range(0x0000, 0x00FF, 0x0001)).message, kMoved);
    EXPECT_EQ(chip.code[0], 0x00); // the source is not cleared
    for (int a = 1; a <= 0x100; ++a) ASSERT_EQ(chip.code[a], a - 1) << a;

    for (int a = 0; a < 0x100; ++a) chip.code[a] = uint8_t(a);
    copyMemory(chip, S::Program, 128, range(0x0010, 0x001F, 0x0008)); // down, overlapping
    for (int a = 0x08; a <= 0x17; ++a) ASSERT_EQ(chip.code[a], a + 8) << a;

    for (int a = 0; a < 0x80; ++a) chip.iram[a] = uint8_t(a);
    EXPECT_EQ(copyMemory(chip, S::InternalData, 128, range(0x30, 0x3F, 0x31)).message, kCopied);
    for (int a = 0x31; a <= 0x40; ++a) ASSERT_EQ(chip.iram[a], a - 1) << a;
}

TEST(BlockOperations, RangeChecksComeBeforeAnyChange) {
    ChipState chip = makeChip(0x0FFF, 0x07FF);
    auto unchanged = chip;
    EXPECT_EQ(fillMemory(chip, S::Program, 128, range(0x0200, 0x01FF)).message, kGreater);
    EXPECT_EQ(fillMemory(chip, S::Program, 128, range(0x0000, 0x1000)).message, kOutOfRange);
    EXPECT_EQ(copyMemory(chip, S::ExternalData, 128, range(0x0700, 0x07FF, 0x0701)).message, kOutOfRange);
    EXPECT_EQ(copyMemory(chip, S::ExternalData, 128, range(0x0700, 0x07FF, 0x0700)).message, kCopied);
    EXPECT_EQ(chip.code, unchanged.code);

    // Internal data memory: the device's RAM size sets the limit.
    EXPECT_TRUE(fillMemory(chip, S::InternalData, 128, range(0x30, 0x7F, 0, 0x00)).done);
    BlockResult over = fillMemory(chip, S::InternalData, 128, range(0x30, 0x80, 0, 0x11));
    EXPECT_EQ(over.message, kRangeExceeds);
    EXPECT_FALSE(over.refreshViews); // the internal fill repaints only after success
    EXPECT_EQ(chip.iram[0x30], 0x00);
    BlockResult badCopy = copyMemory(chip, S::InternalData, 128, range(0x70, 0x7F, 0x71));
    EXPECT_EQ(badCopy.message, kRangeExceeds);
    EXPECT_TRUE(badCopy.refreshViews); // the internal copy repaints even after an error
    EXPECT_EQ(copyMemory(chip, S::InternalData, 256, range(0x70, 0x7F, 0xF0)).message, kCopied);
    EXPECT_EQ(copyMemory(chip, S::InternalData, 256, range(0x20, 0x10, 0x00)).message, kGreater);

    // 64K: the last destination address is not wrapped round to low memory.
    ChipState full = makeChip(0xFFFF, 0xFFFF);
    full.code[0] = 0x12;
    EXPECT_EQ(copyMemory(full, S::Program, 128, range(0x8000, 0xFFFF, 0x9000)).message, kOutOfRange);
    EXPECT_EQ(copyMemory(full, S::ExternalData, 128, range(0x0001, 0xFFFF, 0x0002)).message, kOutOfRange);
    EXPECT_EQ(full.code[0], 0x12);
    EXPECT_TRUE(fillMemory(full, S::Program, 128, range(0xFFF0, 0xFFFF, 0, 0x77)).done);
    EXPECT_EQ(full.code[0xFFFF], 0x77);
    EXPECT_EQ(full.code[0], 0x12);
}

TEST(BlockOperations, DialogsKeepTheirValues) {
    BlockDialogStore store;
    const BlockValues a = range(0x0100, 0x01FF, 0, 0x55);
    const BlockValues b = range(0x0200, 0x02FF, 0, 0xAA);
    EXPECT_EQ(store.open(BlockCommand::FillExternal).start, 0);
    store.accepted(BlockCommand::FillExternal, a, true);
    // Fill Program Memory opens with the external fill values and leaves them.
    EXPECT_EQ(store.open(BlockCommand::FillProgram).start, 0x0100);
    store.accepted(BlockCommand::FillProgram, b, true);
    EXPECT_EQ(store.open(BlockCommand::FillExternal).fill, 0x55);

    // Move Program Memory keeps its own set only after a successful move.
    const BlockValues copyValues = range(0x0010, 0x0020, 0x0030);
    store.accepted(BlockCommand::CopyExternal, copyValues, true);
    EXPECT_EQ(store.open(BlockCommand::CopyExternal).destination, 0x0030);
    EXPECT_EQ(store.open(BlockCommand::MoveProgram).destination, 0x0000);
    store.accepted(BlockCommand::MoveProgram, range(1, 2, 3), false);
    EXPECT_EQ(store.open(BlockCommand::MoveProgram).destination, 0x0000);
    store.accepted(BlockCommand::MoveProgram, range(1, 2, 3), true);
    EXPECT_EQ(store.open(BlockCommand::MoveProgram).destination, 0x0003);
}

// Without external data memory there is no overlap to keep.
TEST(MemorySetting, OverlapNeedsExternalDataMemory) {
    MemorySetting s;
    s.overlap = 2;
    prepareMemorySetting(s, false);
    EXPECT_EQ(s.overlap, 0);
    EXPECT_FALSE(memorySettingControls(s, false).overlapRadios);
}

TEST(MemorySetting, OkChecksTheOverlapAndTheStartupPlanReadsTheBoxes) {
    DeviceSelection sel;
    sel.kind = DeviceKind::I8031;
    sel.programMode = ProgramMemoryMode::ExternalOnly;
    sel.codeLimit = 0x7FFF;
    sel.xdataLimit = 0x7FFF;
    MemorySetting s;
    s.overlap = 2;
    for (const auto& [start, end, text] : {std::tuple{"x", "10", "Illegal Overlap Starting Address."},
                                           {"20", "10", "Illegal Address."},
                                           {"100", "8000", "No External Data Memory in Given Address."}})
        EXPECT_EQ(acceptMemorySetting(s, start, end, 0, sel), errorMessage("Address Error", text)) << start;
    EXPECT_EQ(s.startupSelection, 0);
    const int boxes = startup::ClearProgram | startup::ClearInternal | startup::RestoreExternal;
    EXPECT_FALSE(acceptMemorySetting(s, "1000", "1fff", boxes, sel));
    EXPECT_EQ(std::pair(s.overlapStart, s.overlapEnd), std::pair(uint16_t(0x1000), uint16_t(0x1FFF)));
    EXPECT_EQ(s.startupSelection, boxes);
    MemorySetting off; // with overlap off the address fields are not read
    EXPECT_FALSE(acceptMemorySetting(off, "junk", "", 0, sel));

    ChipState chip = makeChip(0x7FFF, 0x7FFF);
    applyOverlap(chip, s);
    chip.writeXdata(0x1000, 0x42);
    EXPECT_EQ(chip.code[0x1000], 0x42);

    using A = StartupMemoryAction;
    const StartupPlan clear = startupPlan(s);
    EXPECT_EQ((std::array{clear.program, clear.external, clear.internal}), (std::array{A::Clear, A::None, A::Clear}));
    s.startupAction = 2;
    const StartupPlan restore = startupPlan(s);
    EXPECT_EQ((std::array{restore.program, restore.external, restore.internal}), (std::array{A::None, A::Restore, A::None}));
}
