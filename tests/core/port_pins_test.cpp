// Pin naming and cleaning, input settings, drive/release and pulse requests.
#include "chip/port_pins.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(PinRef, NamesAndIndices) {
    EXPECT_EQ(pinRefName(0x25), "P2.5");
    EXPECT_EQ(pinRefName(0x10), "P1.0");
    EXPECT_EQ(pinRefName(kPinPlus5V), "+5V");
    EXPECT_EQ(pinRefName(kPinGnd), "GND");
    EXPECT_EQ(pinRefName(0x7F), "GND");
    EXPECT_EQ(pinIndex(0x10), 8);
    EXPECT_EQ(pinIndex(0x32), 26);
    EXPECT_EQ(pinIndex(0x36), 30);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(pinIndex(pinRefFromIndex(i)), i);
}

TEST(PinRef, Cleaning) {
    EXPECT_EQ(cleanPinRef(0x2D), 0x25);
    EXPECT_EQ(cleanPinRef(0xB7), 0x37);
    EXPECT_EQ(cleanPinRef(0x52), 0x02); // above 0x40 keeps only the bit
    EXPECT_EQ(cleanPinRef(0x40), 0x40);
    // Fields with fixed levels keep "+5V" and "GND".
    EXPECT_EQ(cleanFixedLevelPinRef(0x41), kPinGnd);
    EXPECT_EQ(cleanFixedLevelPinRef(0x47), kPinGnd);
    EXPECT_EQ(cleanFixedLevelPinRef(0xFF), kPinGnd);
    EXPECT_EQ(cleanFixedLevelPinRef(0x40), kPinPlus5V);
    EXPECT_EQ(cleanFixedLevelPinRef(0x2D), 0x25);
}

TEST(PinState, ApplySettingsDriveAndRelease) {
    PinState pins;
    const uint32_t latches = 0x00F00000; // P2 latch 0xF0
    pins.setSetting(8, kInput1);
    pins.setSetting(9, kInputPulse);
    pins.setSetting(20, kInputNC); // P2.4: latch 1
    pins.setSetting(16, kInputNC); // P2.0: latch 0
    pins.levels = 0xFFFFFFFF;
    pins.applySettings(latches);
    EXPECT_TRUE(pins.level(8));
    EXPECT_FALSE(pins.level(9));
    EXPECT_TRUE(pins.level(20));
    EXPECT_FALSE(pins.level(16));
    EXPECT_FALSE(pins.level(0));
    EXPECT_EQ(pins.ncMask, (1u << 20) | (1u << 16));

    pins.drivePin(20, false);
    EXPECT_FALSE(pins.level(20));
    EXPECT_EQ(pins.setting[20], kInput0);
    EXPECT_EQ(pins.ncMask, 1u << 16);
    EXPECT_FALSE(pins.readBit(20, latches)); // driven, not the latch

    pins.releasePin(20, latches);
    EXPECT_TRUE(pins.level(20));
    EXPECT_EQ(pins.setting[20], kInputNC);
    EXPECT_TRUE(pins.readBit(20, latches));
}

TEST(PinState, ByteReadRefreshesEveryNcLine) {
    PinState pins;
    for (int i = 8; i < 16; ++i) pins.setSetting(i, kInput1);
    pins.setSetting(11, kInputNC);
    uint32_t latches = 0xFFFFF7FF; // P1 latch 0xF7
    pins.applySettings(latches);
    EXPECT_EQ(pins.readPort(1, latches), 0xF7);
    latches = 0xFFFFFFFF;
    EXPECT_EQ(pins.readPort(1, latches), 0xFF);
    EXPECT_EQ(pins.portLevels(0), 0x00); // P0 on "0"
}
