// The IIC and SPI dialogs' logic: summaries, enabling, cleaning, Cancel and
// the start-up replacement of lines the device lacks.
#include "modules/module_settings.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(BusSettings, IicDialogTexts) {
    IicSettings s;
    s.IicScl = 0x16;
    s.IicSda = 0x37;
    EXPECT_EQ(iicSummaryLines(s), (std::vector<std::string>{"SCL - P1.6", "SDA - P3.7"}));
    s.EepromType = 9; // stored garbage reads as AT24C01 and is cleaned to it
    EXPECT_EQ(iicEepromWindowTitle(s), "2 Wire Serial EEPROM - AT24C01");
    s.IicScl = 0x9E;
    cleanIicSettings(s);
    EXPECT_EQ(s.EepromType, 0);
    EXPECT_EQ(s.IicScl, 0x16);
    // Address pins the type needs for block bits are disabled.
    const IicAddressPinEnabling c04 = iicAddressPinEnabling(int(IicEepromType::AT24C04));
    EXPECT_TRUE(c04.a2 && c04.a1 && !c04.a0);
    const IicAddressPinEnabling c16 = iicAddressPinEnabling(int(IicEepromType::AT24C16));
    EXPECT_FALSE(c16.a2 || c16.a1 || c16.a0);
}

TEST(BusSettings, SpiDialogTextsAndCancel) {
    SpiSettings opened;
    opened.SpiLines = {0x10, 0x11, 0x12};
    SpiSettings s = opened;
    EXPECT_EQ(spiSummaryLines(s), (std::vector<std::string>{"SCK    - P1.0", "SO&SI - P1.1"}));
    s.SpiOptions = kSpiEnableBus | kSpiFourWire;
    s.SpiLines = {0x30, 0x31, 0x32};
    s.SpiEepromOptions = kSpiEepromTypeMask; // type 3
    EXPECT_EQ(spiControlLines(s), (std::vector<std::string>{"SCK", "SO ", "SI "}));
    EXPECT_EQ(spiSummaryLines(s),
              (std::vector<std::string>{"SCK - P3.0", "SO   - P3.1", "SI     - P3.2"}));
    EXPECT_EQ(spiEepromWindowTitle(s), "SPI EEPROM - AT25C010");
    cancelSpiBusDialog(s, opened);
    EXPECT_EQ(s.SpiOptions, opened.SpiOptions);
    EXPECT_EQ(s.SpiLines, opened.SpiLines); // the third line too
    cleanSpiSettings(s);
    EXPECT_EQ(s.SpiEepromOptions & kSpiEepromTypeMask, 0);
}

TEST(BusSettings, LinesOutsideTheDeviceBecomeP10) {
    ModuleSettings s;
    s.iic.IicScl = 0x05; // P0.5
    s.iic.IicSda = 0x17;
    s.spi.SpiLines = {0x20, 0x11, 0x36};
    s.spi.SpiEepromCs = 0x36; // P3.6: never offered on the 20-pin devices
    replaceUnavailableLines(s, 0xBF00FF00);
    EXPECT_EQ(s.iic.IicScl, 0x10);
    EXPECT_EQ(s.iic.IicSda, 0x17);
    EXPECT_EQ(s.spi.SpiLines, (std::array<PinRef, 3>{0x10, 0x11, 0x10}));
    EXPECT_EQ(s.spi.SpiEepromCs, 0x10);
}
