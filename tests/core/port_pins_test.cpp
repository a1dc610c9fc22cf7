// Pin naming and cleaning, input settings, drive/release and pulse requests.
#include "chip/port_pins.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(PinRef, NamesIndicesAndCleaning) {
    const std::pair<PinRef, const char*> names[] = {
        {0x25, "P2.5"}, {0x10, "P1.0"}, {kPinPlus5V, "+5V"}, {kPinGnd, "GND"}, {0x7F, "GND"}};
    for (auto [ref, name] : names) EXPECT_EQ(pinRefName(ref), name) << int(ref);
    EXPECT_EQ(pinIndex(0x32), 26);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(pinIndex(pinRefFromIndex(i)), i);
    // {stored, cleaned, cleaned where fixed levels are allowed}: above 0x40
    // only the bit is kept, or "+5V"/"GND" for fields with fixed levels.
    const std::array<uint8_t, 3> cleaning[] = {
        {0x2D, 0x25, 0x25}, {0xB7, 0x37, kPinGnd}, {0x52, 0x02, kPinGnd},
        {0x40, 0x40, kPinPlus5V}, {0x41, 0x01, kPinGnd}, {0xFF, 0x07, kPinGnd}};
    for (const auto& [stored, plain, fixed] : cleaning) {
        EXPECT_EQ(cleanPinRef(stored), plain) << int(stored);
        EXPECT_EQ(cleanFixedLevelPinRef(stored), fixed) << int(stored);
    }
}

// A line reads its latch ANDed with what drives it from outside; a line that
// nothing drives reads its latch, as the chip's pull-ups make it.
TEST(PinState, LineLevelIsLatchAndOutside) {
    struct Row {
        uint8_t setting;
        bool latch, outside, reads;
    } rows[] = {
        {kInputNC, true, false, true},     {kInputNC, false, true, false},
        {kInputPulse, true, false, false}, {kInput1, true, true, true},
        {kInput1, false, true, false},     {kInput0, true, false, false},
    };
    for (const Row& row : rows) {
        PinState pins;
        EXPECT_EQ(pins.setting[12], kInputNC) << "every line starts unconnected";
        pins.setSetting(12, row.setting);
        pins.setLevel(12, row.outside);
        const uint32_t latches = row.latch ? 0xFFFFFFFFu : ~(1u << 12);
        EXPECT_EQ(pins.readBit(12, latches), row.reads) << int(row.setting) << row.latch << row.outside;
        EXPECT_EQ((pins.readPort(1, latches) >> 4) & 1u, unsigned(row.reads));
    }
}

TEST(PinState, DriveReleaseAndHold) {
    PinState pins;
    const uint32_t latches = 0xFFFFFFFFu;
    pins.drivePin(20, false);
    EXPECT_EQ(pins.setting[20], kInput0);
    EXPECT_FALSE(pins.readBit(20, latches));
    pins.releasePin(20, latches);
    EXPECT_EQ(pins.setting[20], kInputNC);
    EXPECT_TRUE(pins.readBit(20, latches));
    // A keypad joins a row to a column: the line follows while its setting stays.
    pins.holdLevel(21, false);
    EXPECT_EQ(pins.setting[21], kInputNC);
    EXPECT_FALSE(pins.readBit(21, latches));
}
