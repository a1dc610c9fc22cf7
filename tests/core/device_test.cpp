// Device catalogue, code-limit arithmetic, the device dialogs' validation and
// applying a device (fixed limits, pin mask, caption, disabled commands).
#include "common/commands.h"
#include "chip/device.h"
#include "machine/machine.h"
#include "chip/overlap.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quorvel;
using K = DeviceKind;
using M = ProgramMemoryMode;

namespace {
bool disables(const DeviceProfile& p, int command) {
    return std::find(p.disabledCommands.begin(), p.disabledCommands.end(), command) !=
           p.disabledCommands.end();
}
std::string messageOf(const Validation& v) { return v ? v->text : std::string(); }
} // namespace

TEST(DeviceCatalogue, ComboOrderPutsTheAt89C1051First) {
    EXPECT_EQ(deviceKindOfComboIndex(0), K::AT89C1051);
    EXPECT_EQ(deviceKindOfComboIndex(1), K::AT89C2051);
    EXPECT_EQ(deviceKindOfComboIndex(9), K::I8032);
    for (int i = 0; i < kDeviceCount; ++i)
        EXPECT_EQ(comboIndexOfDeviceKind(deviceKindOfComboIndex(i)), i);
    EXPECT_STREQ(deviceInfo(K::I8031).comboText, "General 8031/51");
    EXPECT_STREQ(deviceInfo(K::AT89S8252).captionName, "AT89S8252");
}

TEST(DeviceCatalogue, FeatureTextsNameTheCharacteristicLines) {
    EXPECT_EQ(deviceFeatureText(K::AT89C52).rfind("Compatible with MCS-51 Products\r\n", 0), 0u);
    EXPECT_NE(deviceFeatureText(K::AT89C55).find("Fully Static Operation:0HZ to 33MHZ"),
              std::string::npos);
    EXPECT_NE(deviceFeatureText(K::AT89S8252).find("2K bytes EEPROM"), std::string::npos);
    EXPECT_NE(deviceFeatureText(K::AT89C1051).find("64 x 8-Bit Internal RAM"), std::string::npos);
    EXPECT_NE(deviceFeatureText(K::I8032).find("Six Interrupt Sources"), std::string::npos);
    EXPECT_EQ(deviceFeatureText(K::I8031).find("Compatible"), std::string::npos);
}

TEST(DeviceCatalogue, ParsesDeviceNames) {
    DeviceKind kind{};
    EXPECT_TRUE(parseDeviceName("at89c52", kind));
    EXPECT_EQ(kind, K::AT89C52);
    EXPECT_TRUE(parseDeviceName("8032", kind));
    EXPECT_EQ(kind, K::I8032);
    EXPECT_TRUE(parseDeviceName("AT89S8252", kind));
    EXPECT_EQ(kind, K::AT89S8252);
    EXPECT_FALSE(parseDeviceName("AT89C99", kind));
}

TEST(CodeLimit, EveryDeviceAndMemoryMode) {
    for (int k = 0; k < kDeviceCount; ++k) {
        auto kind = DeviceKind(k);
        int onChip = deviceInfo(kind).onChipKB;
        EXPECT_EQ(computeCodeLimit(kind, M::InternalOnly, 0), uint16_t(onChip * 1024 - 1));
        for (int c = 0; c < 6; ++c) {
            int kb = kExternalProgramKB[size_t(c)];
            EXPECT_EQ(computeCodeLimit(kind, M::ExternalOnly, c), uint16_t(kb * 1024 - 1));
            uint16_t both = c == 5 ? 0xFFFF : uint16_t((onChip + kb) * 1024 - 1);
            EXPECT_EQ(computeCodeLimit(kind, M::Both, c), both) << k << " " << c;
        }
    }
    EXPECT_EQ(computeCodeLimit(K::AT89C52, M::Both, 5), 65535);
    EXPECT_EQ(computeCodeLimit(K::AT89C52, M::Both, 3), 24575);
    EXPECT_EQ(computeCodeLimit(K::I8031, M::ExternalOnly, 0), 2047);
    EXPECT_EQ(computeCodeLimit(K::I8031, M::InternalOnly, 0), 65535);
}

TEST(ProgramMemoryDialog, LabelsEnablingAndInitialChoice) {
    EXPECT_EQ(sixthSizeLabel(K::AT89C52, M::Both), "56K");
    EXPECT_EQ(sixthSizeLabel(K::AT89C55, M::Both), "44K");
    EXPECT_EQ(sixthSizeLabel(K::AT89C52, M::ExternalOnly), "64K");
    EXPECT_FALSE(internalModesEnabled(K::I8031));
    EXPECT_FALSE(internalModesEnabled(K::I8032));
    EXPECT_TRUE(internalModesEnabled(K::AT89C51));
    EXPECT_FALSE(sizeButtonsEnabled(M::InternalOnly));
    EXPECT_TRUE(sizeButtonsEnabled(M::Both));
    EXPECT_EQ(initialSizeChoice(K::AT89C52, M::ExternalOnly, 16383), 3);
    EXPECT_EQ(initialSizeChoice(K::AT89C52, M::Both, 24575), 3);
    EXPECT_EQ(initialSizeChoice(K::AT89C52, M::Both, 65535), 5);
    EXPECT_EQ(initialSizeChoice(K::AT89C52, M::ExternalOnly, 1000), 0);
}

TEST(DataMemoryDialog, OpensOnTheConfiguredSize) {
    EXPECT_EQ(dataMemoryChoiceOf(0), 0);
    EXPECT_EQ(dataMemoryChoiceOf(2047), 1);
    EXPECT_EQ(dataMemoryChoiceOf(8191), 3);
    EXPECT_EQ(dataMemoryChoiceOf(65535), 6);
    for (int c = 0; c < 7; ++c) EXPECT_EQ(dataMemoryChoiceOf(xdataLimitOfChoice(c)), c);
    EXPECT_EQ(xdataLimitOfChoice(6), 65535);
}

TEST(DeviceDialog, ValidationMessagesInOrder) {
    DeviceSelection s;
    EXPECT_EQ(messageOf(acceptDeviceDialog(s, "", 4)), "Enter Operating Frequency");
    EXPECT_EQ(acceptDeviceDialog(s, "", 4)->title, "ERROR");
    EXPECT_EQ(messageOf(acceptDeviceDialog(s, "abc", 4)), "Illegal Operating Frequency");
    EXPECT_EQ(messageOf(acceptDeviceDialog(s, "0", 4)), "Illegal Operating Frequency");
    EXPECT_EQ(messageOf(acceptDeviceDialog(s, "12MHz", 4)), "Illegal Operating Frequency");
    EXPECT_EQ(messageOf(acceptDeviceDialog(s, "12000000", -1)), "No Device was Selected");

    // AT89C52 (combo 4) at 30 MHz is refused; the frequency stays stored.
    EXPECT_EQ(messageOf(acceptDeviceDialog(s, "30000000", 4)),
              "Exceeds Maximum Operating Frequency");
    EXPECT_EQ(s.frequency, 30000000u);
    EXPECT_EQ(s.kind, K::AT89C52);
    // AT89C55 (combo 5) accepts it.
    EXPECT_FALSE(acceptDeviceDialog(s, "30000000", 5));
    EXPECT_EQ(s.kind, K::AT89C55);

    EXPECT_FALSE(acceptDeviceDialog(s, "11059200", 4));
    EXPECT_NEAR(s.cycleTimeUs, 1.085f, 0.001f);
    EXPECT_FALSE(acceptDeviceDialog(s, "12000000", 4));
    EXPECT_FLOAT_EQ(s.cycleTimeUs, 1.0f);
}

TEST(DeviceDialog, OkComputesTheCodeLimit) {
    DeviceSelection s;
    s.programMode = M::Both;
    s.externalSizeChoice = 5;
    ASSERT_FALSE(acceptDeviceDialog(s, "12000000", 4));
    EXPECT_EQ(s.codeLimit, 65535);
    s.externalSizeChoice = 3;
    ASSERT_FALSE(acceptDeviceDialog(s, "12000000", 4));
    EXPECT_EQ(s.codeLimit, 24575);
}

TEST(ApplyDevice, FixedDevicesAndPinMasks) {
    DeviceSelection s;
    s.kind = K::AT89C2051;
    s.xdataLimit = 8191;
    DeviceProfile p = applyDevice(s);
    EXPECT_EQ(s.codeLimit, 2047);
    EXPECT_EQ(s.xdataLimit, 0);
    EXPECT_EQ(p.availablePinMask, 0xBF00FF00u); // no P3.6, P0 or P2
    EXPECT_EQ(p.caption, "Quorvel Simulator - Simulated Device: AT89C2051");
    EXPECT_FALSE(deviceMemoryButtonsEnabled(K::AT89C2051));

    s.kind = K::AT89C1051;
    p = applyDevice(s);
    EXPECT_EQ(s.codeLimit, 1023);
    EXPECT_EQ(p.ramSize, 64);
    EXPECT_TRUE(disables(p, cmd::SerialPortWindow));
    EXPECT_TRUE(disables(p, cmd::SaveSerialTransmitter));

    // AT89C51 on-chip only: every line; with external data memory P0/P2 go.
    s = DeviceSelection{};
    s.kind = K::AT89C51;
    s.codeLimit = 4095;
    s.xdataLimit = 0;
    EXPECT_EQ(applyDevice(s).availablePinMask, 0xFFFFFFFFu);
    s.xdataLimit = 8191;
    EXPECT_EQ(applyDevice(s).availablePinMask, 0xFF00FF00u);
    s.xdataLimit = 0;
    s.programMode = M::Both;
    EXPECT_EQ(applyDevice(s).availablePinMask, 0xFF00FF00u);

    s.kind = K::I8031;
    EXPECT_EQ(applyDevice(s).availablePinMask, 0xFF00FF00u);
}

TEST(ApplyDevice, DisabledCommandsFollowTheDevice) {
    DeviceSelection s;
    s.kind = K::AT89S8252;
    s.xdataLimit = 2047;
    DeviceProfile p = applyDevice(s);
    EXPECT_TRUE(p.eeprom);
    EXPECT_TRUE(p.dualDptr);
    EXPECT_FALSE(disables(p, cmd::EepromWindow));
    EXPECT_FALSE(disables(p, cmd::SpiWindow));
    EXPECT_FALSE(disables(p, cmd::LoadData));
    EXPECT_TRUE(disables(p, cmd::StopExecution));

    s.kind = K::AT89C52;
    s.xdataLimit = 0;
    p = applyDevice(s);
    EXPECT_TRUE(disables(p, cmd::EepromWindow));
    EXPECT_TRUE(disables(p, cmd::SpiWindow));
    EXPECT_TRUE(disables(p, cmd::SaveSpiReceiver));
    EXPECT_TRUE(disables(p, cmd::LoadData));
    EXPECT_TRUE(disables(p, cmd::ExternalDataMemoryWindow));
    EXPECT_TRUE(disables(p, cmd::ExternalMemoryFill));
    EXPECT_FALSE(disables(p, cmd::SerialPortWindow));
}

TEST(ConfigureMachine, AllocatesResetsAndClearsInputs) {
    DeviceSelection s;
    s.kind = K::AT89S8252;
    s.programMode = M::ExternalOnly;
    s.codeLimit = 0xFFFF;
    s.xdataLimit = 0xFFFF;
    Machine m;
    m.chip.pins.setSetting(9, kInput0);
    configureMachine(m, s);
    EXPECT_EQ(m.chip.code.size(), 65536u);
    EXPECT_EQ(m.chip.xdata.size(), 65536u);
    EXPECT_EQ(m.chip.eeprom.size(), 2048u);
    EXPECT_TRUE(m.chip.dualDptr);
    EXPECT_EQ(m.chip.sfr(sfr::SP), 7);
    // Nothing is wired: every line reads its latch, and P1 reads FFH.
    EXPECT_EQ(m.chip.pins.setting[9], kInputNC);
    EXPECT_EQ(m.chip.pins.ncMask, 0xFFFFFFFFu);
    EXPECT_EQ(m.chip.readDirect(sfr::P1), 0xFF);
}

TEST(Overlap, ValidationMessages) {
    DeviceSelection s;
    s.kind = K::AT89C52;
    s.programMode = M::Both;
    s.codeLimit = 24575; // 8K on chip + 16K
    s.xdataLimit = 32767;
    OverlapRange r;
    EXPECT_EQ(messageOf(validateOverlap("G000", "3000", s, r)), "Illegal Overlap Starting Address.");
    EXPECT_EQ(messageOf(validateOverlap("2000", "", s, r)), "Illegal Overlap Ending Address.");
    EXPECT_EQ(messageOf(validateOverlap("3000", "2000", s, r)), "Illegal Address.");
    EXPECT_EQ(validateOverlap("3000", "2000", s, r)->title, "Address Error");
    EXPECT_EQ(messageOf(validateOverlap("1000", "3000", s, r)),
              "User cannot Overlap the Internal Flash Memory.");
    EXPECT_EQ(messageOf(validateOverlap("2000", "6000", s, r)),
              "No External Program Memory in Given Address.");
    EXPECT_EQ(messageOf(validateOverlap("2000", "9000", s, r)),
              "No External Data Memory in Given Address.");
    EXPECT_FALSE(validateOverlap("2000", "5fff", s, r));
    EXPECT_EQ(r.start, 0x2000);
    EXPECT_EQ(r.end, 0x5FFF);

    s.programMode = M::InternalOnly;
    EXPECT_EQ(messageOf(validateOverlap("2000", "3000", s, r)), "No External Program Memory.");
    s.programMode = M::ExternalOnly;
    s.codeLimit = 8191;
    EXPECT_EQ(messageOf(validateOverlap("1000", "2000", s, r)),
              "No External Program Memory in Given Address.");
    EXPECT_FALSE(validateOverlap("1000", "1FFF", s, r));
}

TEST(DeviceCatalogue, DemoMenuEntriesPerDevice) {
    // Demos 1-5 and 9-11 everywhere; Demo 7 (serial) wherever there is a
    // UART; Demo 6 (IIC clock) and the projects on the AT89C51/52/55 and the
    // AT89S devices; Demo 8 (SPI) on the AT89S devices only.
    EXPECT_EQ(deviceInfo(K::AT89C1051).demoMask, 0x0F1F);
    EXPECT_EQ(deviceInfo(K::AT89C2051).demoMask, 0x0F5F);
    EXPECT_EQ(deviceInfo(K::I8032).demoMask, 0x0F5F);
    EXPECT_EQ(deviceInfo(K::AT89C55).demoMask, 0x7F7F);
    EXPECT_EQ(deviceInfo(K::AT89S53).demoMask, 0x7FFF);
}
