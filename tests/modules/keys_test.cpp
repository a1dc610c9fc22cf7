// Momentary and toggle keys, and the matrix keypad scanned by a program:
// the program drives a row (or column) low through the latches and reads the
// other side through the pins.
#include "machine/module_hooks.h"
#include "modules/keys.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

TEST(Keys, MomentaryKeysFollowTheirButtons) {
    Machine m = support::makeMachine(DeviceKind::AT89C2051);
    ModuleSettings& s = m.modules.settings;
    s.KeyMomentary = {0x01, 0x01, 0x00, 0x04};      // P0.0 (not on this device), P1.0, P3.2
    s.KeyMomentaryLevel = {0x00, 0x00, 0x00, 0x04}; // P3.2 gives 1 while pressed
    PinState& pins = m.chip.pins;
    const uint32_t mask = m.profile.availablePinMask;
    pins.setSetting(0, kInputNC);

    momentaryKeysTick(s, pins, mask, 0);
    EXPECT_TRUE(m.chip.readBit(0x90));  // P1.0 released: 1
    EXPECT_FALSE(m.chip.readBit(0xB2)); // P3.2 released: 0
    EXPECT_EQ(pins.setting[8], kInput1);
    EXPECT_EQ(pins.setting[26], kInput0);
    EXPECT_EQ(pins.setting[0], kInputNC); // P0.0 has no button here: untouched

    momentaryKeysTick(s, pins, mask, (1u << 8) | (1u << 26));
    EXPECT_FALSE(m.chip.readBit(0x90));
    EXPECT_TRUE(m.chip.readBit(0xB2));
    EXPECT_EQ(pins.setting[26], kInput1);
    EXPECT_EQ(momentaryKeyLines(s, mask), (std::vector<int>{8, 26}));
}

TEST(Keys, ToggleKeysFlipSettingAndLevel) {
    PinState pins;
    pins.setSetting(26, kInputNC);
    pins.applySettings(0xFFFFFFFF); // NC: the level copies latch 1
    // From "NC" the first click gives setting "1" while the level simply
    // inverts, so the two disagree until the next click.
    EXPECT_FALSE(clickToggleKey(pins, 26));
    EXPECT_EQ(pins.setting[26], kInput1);
    EXPECT_EQ(pins.ncMask & (1u << 26), 0u);
    EXPECT_TRUE(clickToggleKey(pins, 26));
    EXPECT_EQ(pins.setting[26], kInput0);
    EXPECT_FALSE(clickToggleKey(pins, 26));
    EXPECT_EQ(pins.setting[26], kInput1);
    EXPECT_FALSE(clickToggleKey(pins, 32)); // out of range: nothing happens
}

TEST(Keys, KeyNumbering) {
    // {type, key, row, column}: "Key5" of 4 x 3 is row 2, column 3; -1 for no such key.
    for (const auto& [type, key, row, column] :
         {std::array{0, 5, 1, 2}, {1, 5, 1, 1}, {2, 31, 3, 7}, {0, 12, -1, -1}, {3, 0, -1, -1}}) {
        EXPECT_EQ(keypadKeyPosition(type, key).row, row) << type << " " << key;
        if (row >= 0) {
            EXPECT_EQ(keypadKeyPosition(type, key).column, column) << type << " " << key;
        }
    }
}

// A 4 x 3 keypad: rows P1.0-P1.3, columns P1.4-P1.6, all on input "1" so the
// program sees the levels the keypad writes.
class KeypadScan : public ::testing::Test {
protected:
    Machine m = support::makeMachine(DeviceKind::AT89C52);
    void SetUp() override {
        ModuleSettings& s = m.modules.settings;
        s.KeypadType = 0;
        for (int i = 0; i < 7; ++i) s.KeypadLines[size_t(i)] = PinRef(0x10 + i);
        for (int i = 8; i < 15; ++i) m.chip.pins.setSetting(i, kInput1);
        m.chip.pins.applySettings(m.chip.portLatches());
        m.modules.keypad.windowOpen = true;
    }
    // The program writes P1 and runs one instruction; then reads P1.
    uint8_t scan(uint8_t p1) {
        m.chip.sfr(sfr::P1) = p1;
        runModuleHooks(m, 1);
        return m.chip.readDirect(sfr::P1);
    }
    void tick(int held) {
        keypadTick(m.modules.keypad, m.modules.settings, m.chip.pins, m.chip.portLatches(), held);
    }
};

TEST_F(KeypadScan, HeldKeyConnectsRowAndColumnBothWays) {
    m.chip.sfr(sfr::P1) = 0xFF;
    tick(5); // Key5: row 2 (P1.1), column 3 (P1.6)
    // Rows driven low one at a time, columns read: only row 2 pulls column 3.
    EXPECT_EQ(scan(0xFE) & 0x70, 0x70);
    EXPECT_EQ(scan(0xFD) & 0x70, 0x30);
    // Columns driven, rows read: row 2 follows column 3.
    EXPECT_EQ(scan(0xBF) & 0x0F, 0x0D);
    EXPECT_EQ(scan(0xDF) & 0x0F, 0x0F);
    // The hook writes levels only: the input settings stay "1".
    EXPECT_EQ(m.chip.pins.setting[9], kInput1);
    EXPECT_EQ(m.chip.pins.setting[14], kInput1);

    // Released: the next tick puts every line back to its own latch.
    keypadRelease(m.modules.keypad);
    EXPECT_EQ(scan(0xFD) & 0x70, 0x70); // hook no longer acts
    m.chip.sfr(sfr::P1) = 0xF0;
    tick(kNoKeyHeld);
    EXPECT_EQ(m.chip.readDirect(sfr::P1) & 0x7F, 0x70);
}

TEST_F(KeypadScan, HookRunsOnlyWhileTheWindowIsOpen) {
    m.chip.sfr(sfr::P1) = 0xFF;
    tick(0); // Key0: row 1, column 1
    m.modules.keypad.windowOpen = false;
    EXPECT_EQ(scan(0xFE) & 0x70, 0x70); // column 1 not pulled between ticks
    m.modules.keypad.windowOpen = true;
    EXPECT_EQ(scan(0xFE) & 0x70, 0x60);
}

TEST_F(KeypadScan, OnlyTheFirstHeldKeyInScanOrderCounts) {
    // Keys scanned before the held one get their own latches; the scan stops
    // at the held key.
    m.chip.pins.setLevel(12, false);
    m.chip.pins.setLevel(13, true);
    m.chip.sfr(sfr::P1) = 0xFB; // row 3 low
    tick(7);                    // row 3 (P1.2), column 2 (P1.5)
    EXPECT_FALSE(m.chip.pins.level(13)); // column 2 takes row 3's latch 0
    EXPECT_TRUE(m.chip.pins.level(12));  // column 1 got its own latch first
}

TEST_F(KeypadScan, NoneHasNoKeys) {
    m.modules.settings.KeypadType = kKeypadNone;
    m.chip.sfr(sfr::P1) = 0x00;
    tick(0);
    EXPECT_EQ(m.modules.keypad.KeypadPressed, 0);
    EXPECT_EQ(m.chip.pins.levels >> 8 & 0x7F, 0x7Fu); // levels untouched
    m.modules.keypad.KeypadPressed = 1; // even a stale flag does nothing
    scan(0x00);
    EXPECT_EQ(m.chip.pins.levels >> 8 & 0x7F, 0x7Fu);
}

} // namespace
