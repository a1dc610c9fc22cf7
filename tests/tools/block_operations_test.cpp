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

// Start above end, then the end and a copy's last destination above the
// highest address (64K: not wrapped round to low memory); a refusal changes
// nothing.
TEST(BlockOperations, RangeChecksComeBeforeAnyChange) {
    ChipState small = makeChip(0x0FFF, 0x07FF), none = makeChip(0x0FFF, 0), full = makeChip(0xFFFF, 0xFFFF);
    full.code[0] = 0x12;
    const struct {
        ChipState* chip;
        S space;
        int ram; // the device's internal RAM size
        bool copy;
        BlockValues values;
        std::optional<UserMessage> refused;
    } cases[] = {
        {&small, S::Program, 128, false, range(0x0200, 0x01FF), kGreater},
        {&small, S::Program, 128, false, range(0x0000, 0x1000), kOutOfRange},
        {&small, S::ExternalData, 128, true, range(0x0700, 0x07FF, 0x0701), kOutOfRange},
        {&small, S::ExternalData, 128, true, range(0x0700, 0x07FF, 0x0700), std::nullopt},
        {&none, S::ExternalData, 128, false, range(0, 0), kOutOfRange},
        {&small, S::InternalData, 128, false, range(0x30, 0x7F, 0, 0x00), std::nullopt},
        {&small, S::InternalData, 128, false, range(0x30, 0x80, 0, 0x11), kRangeExceeds},
        {&small, S::InternalData, 128, true, range(0x70, 0x7F, 0x71), kRangeExceeds},
        {&small, S::InternalData, 256, true, range(0x70, 0x7F, 0xF0), std::nullopt},
        {&small, S::InternalData, 256, true, range(0x20, 0x10, 0x00), kGreater},
        {&full, S::Program, 128, true, range(0x8000, 0xFFFF, 0x9000), kOutOfRange},
        {&full, S::ExternalData, 128, true, range(0x0001, 0xFFFF, 0x0002), kOutOfRange},
        {&full, S::Program, 128, false, range(0xFFF0, 0xFFFF, 0, 0x77), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.values.start << "-" << c.values.end << " " << c.values.destination);
        const ChipState before = *c.chip;
        const BlockResult r = c.copy ? copyMemory(*c.chip, c.space, c.ram, c.values)
                                     : fillMemory(*c.chip, c.space, c.ram, c.values);
        EXPECT_EQ(r.done, !c.refused);
        if (!c.refused) continue;
        EXPECT_EQ(r.message, *c.refused);
        EXPECT_TRUE(c.chip->code == before.code && c.chip->xdata == before.xdata && c.chip->iram == before.iram);
        // The internal copy repaints even after an error, the rest only after success.
        EXPECT_EQ(r.refreshViews, c.copy && c.space == S::InternalData);
    }
    EXPECT_EQ(full.code[0xFFFF], 0x77);
    EXPECT_EQ(full.code[0], 0x12);
}

TEST(BlockOperations, FillsOverlappingCopiesAndClear) {
    ChipState chip = makeChip();
    EXPECT_TRUE(fillMemory(chip, S::ExternalData, 128, range(0x0100, 0x01FF, 0, 0x55)).done);
    EXPECT_TRUE(copyMemory(chip, S::ExternalData, 128, range(0x0100, 0x01FF, 0x0180)).done);
    for (int a = 0x00FF; a <= 0x0280; ++a) ASSERT_EQ(chip.xdata[a], a < 0x0100 || a > 0x027F ? 0x00 : 0x55) << a;
    // Inside the overlap window the writes reach program memory.
    chip.overlapEnabled = true;
    chip.overlapStart = 0x0400;
    chip.overlapEnd = 0x04FF;
    fillMemory(chip, S::ExternalData, 128, range(0x0400, 0x0401, 0, 0xA5));
    EXPECT_EQ(std::pair(chip.code[0x0400], chip.xdata[0x0400]), std::pair(uint8_t(0xA5), uint8_t(0x00)));

    // Copies act like a buffered copy, up or down, and leave the source's
    // bytes that are not overwritten: {space, start, end, destination}.
    for (const auto& [space, start, end, to] : {std::tuple{S::Program, 0x00, 0xFF, 0x01}, {S::Program, 0x10, 0x1F, 0x08},
                                                {S::InternalData, 0x30, 0x3F, 0x31}}) {
        for (int a = 0; a < 0x100; ++a) chip.code[a] = chip.iram[a] = uint8_t(a);
        EXPECT_TRUE(copyMemory(chip, space, 128, range(start, end, to)).done);
        auto at = [&](int a) { return space == S::Program ? chip.code[a] : chip.iram[a]; };
        for (int a = start; a <= end; ++a) ASSERT_EQ(at(a - start + to), a) << a;
        const int kept = to > start ? start : end; // a source byte outside the destination
        EXPECT_EQ(at(kept), kept);
    }
    clearProgramMemory(chip);
    EXPECT_EQ(chip.code, std::vector<uint8_t>(0x1000, 0xFF));
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

// Ok checks the overlap (its messages: the device tests) and keeps nothing
// it refused; the startup plan reads the boxes; without external data memory
// there is no overlap to keep.
TEST(MemorySetting, OkChecksTheOverlapAndTheStartupPlanReadsTheBoxes) {
    DeviceSelection sel;
    sel.kind = DeviceKind::I8031;
    sel.programMode = ProgramMemoryMode::ExternalOnly;
    sel.codeLimit = 0x7FFF;
    sel.xdataLimit = 0x7FFF;
    MemorySetting s;
    s.overlap = 2;
    EXPECT_EQ(acceptMemorySetting(s, "20", "10", 0x11, sel), errorMessage("Address Error", "Illegal Address."));
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

    prepareMemorySetting(s, false);
    EXPECT_EQ(s.overlap, 0);
    EXPECT_FALSE(memorySettingControls(s, false).overlapRadios);
}
