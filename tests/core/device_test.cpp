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

TEST(DeviceCatalogue, ComboOrderAndNames) {
    EXPECT_EQ(deviceKindOfComboIndex(0), K::AT89C1051);
    EXPECT_EQ(deviceKindOfComboIndex(9), K::I8032);
    // Every device by its caption name; names as users type them.
    const std::pair<std::string, K> typed[] = {{"at89c52", K::AT89C52}, {"89c2051", K::AT89C2051},
                                               {"At89s8252", K::AT89S8252}};
    for (int i = 0; i < kDeviceCount; ++i) {
        const K kind = deviceKindOfComboIndex(i);
        EXPECT_EQ(comboIndexOfDeviceKind(kind), i);
        DeviceKind parsed{};
        EXPECT_TRUE(parseDeviceName(deviceInfo(kind).captionName, parsed) && parsed == kind) << i;
    }
    for (const auto& [name, kind] : typed) {
        DeviceKind parsed{};
        EXPECT_TRUE(parseDeviceName(name, parsed) && parsed == kind) << name;
    }
    DeviceKind unknown{};
    EXPECT_FALSE(parseDeviceName("AT89C99", unknown));
}

TEST(CodeLimit, ModesAndSizes) {
    const struct {
        K kind;
        M mode;
        int choice;
        uint16_t limit;
    } cases[] = {
        {K::AT89C52, M::InternalOnly, 0, 8191},  {K::AT89C52, M::Both, 3, 24575},
        {K::AT89C52, M::Both, 5, 65535},         {K::AT89C55, M::Both, 4, 53247},
        {K::I8031, M::ExternalOnly, 0, 2047},    {K::I8031, M::InternalOnly, 0, 65535},
        {K::AT89C1051, M::ExternalOnly, 5, 65535},
    };
    for (const auto& c : cases)
        EXPECT_EQ(computeCodeLimit(c.kind, c.mode, c.choice), c.limit)
            << int(c.kind) << " mode " << int(c.mode) << " choice " << c.choice;
}

TEST(ProgramMemoryDialog, LabelsEnablingAndInitialChoice) {
    EXPECT_EQ(sixthSizeLabel(K::AT89C52, M::Both), "56K");
    EXPECT_EQ(sixthSizeLabel(K::AT89C55, M::Both), "44K");
    EXPECT_EQ(sixthSizeLabel(K::AT89C52, M::ExternalOnly), "64K");
    EXPECT_FALSE(internalModesEnabled(K::I8031));
    EXPECT_TRUE(internalModesEnabled(K::AT89C51));
    EXPECT_FALSE(sizeButtonsEnabled(M::InternalOnly));
    EXPECT_TRUE(sizeButtonsEnabled(M::Both));
    EXPECT_EQ(initialSizeChoice(K::AT89C52, M::ExternalOnly, 16383), 3);
    EXPECT_EQ(initialSizeChoice(K::AT89C52, M::Both, 24575), 3);
    EXPECT_EQ(initialSizeChoice(K::AT89C52, M::Both, 65535), 5);
    EXPECT_EQ(initialSizeChoice(K::AT89C52, M::ExternalOnly, 1000), 0);
    // The data memory dialog opens on the configured size.
    EXPECT_EQ(dataMemoryChoiceOf(0), 0);
    for (int c = 0; c < 7; ++c) EXPECT_EQ(dataMemoryChoiceOf(xdataLimitOfChoice(c)), c);
    EXPECT_EQ(xdataLimitOfChoice(6), 65535);
}

TEST(DeviceDialog, ValidationMessagesInOrder) {
    DeviceSelection s;
    const struct {
        const char* frequency;
        int combo;
        const char* message;
    } refused[] = {
        {"", 4, "Enter Operating Frequency"},
        {"abc", 4, "Illegal Operating Frequency"},
        {"0", 4, "Illegal Operating Frequency"},
        {"12MHz", 4, "Illegal Operating Frequency"},
        {"12000000", -1, "No Device was Selected"},
        {"30000000", 4, "Exceeds Maximum Operating Frequency"}, // AT89C52
    };
    for (const auto& r : refused) {
        const Validation v = acceptDeviceDialog(s, r.frequency, r.combo);
        EXPECT_EQ(messageOf(v), r.message) << r.frequency;
        if (v) {
            EXPECT_EQ(v->title, "ERROR");
        }
    }
    // The refused frequency stays stored; the AT89C55 (combo 5) accepts it.
    EXPECT_EQ(s.frequency, 30000000u);
    EXPECT_FALSE(acceptDeviceDialog(s, "30000000", 5));
    EXPECT_EQ(s.kind, K::AT89C55);

    EXPECT_FALSE(acceptDeviceDialog(s, "11059200", 4));
    EXPECT_NEAR(s.cycleTimeUs, 1.085f, 0.001f);
    // OK computes the code limit.
    s.programMode = M::Both;
    s.externalSizeChoice = 3;
    ASSERT_FALSE(acceptDeviceDialog(s, "12000000", 4));
    EXPECT_FLOAT_EQ(s.cycleTimeUs, 1.0f);
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

    // AT89C51 on-chip only: every line; external memory of either kind takes P0/P2.
    s = DeviceSelection{};
    s.kind = K::AT89C51;
    s.codeLimit = 4095;
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
    EXPECT_TRUE(p.eeprom && p.dualDptr);
    for (int command : {cmd::EepromWindow, cmd::SpiWindow, cmd::LoadData})
        EXPECT_FALSE(disables(p, command)) << command;
    EXPECT_TRUE(disables(p, cmd::StopExecution));

    s.kind = K::AT89C52;
    s.xdataLimit = 0;
    p = applyDevice(s);
    for (int command : {cmd::EepromWindow, cmd::SpiWindow, cmd::SaveSpiReceiver, cmd::LoadData,
                        cmd::ExternalDataMemoryWindow, cmd::ExternalMemoryFill})
        EXPECT_TRUE(disables(p, command)) << command;
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
    EXPECT_EQ(m.chip.readDirect(sfr::P1), 0xFF);
}

TEST(Overlap, ValidationMessages) {
    DeviceSelection s;
    s.kind = K::AT89C52;
    s.programMode = M::Both;
    s.codeLimit = 24575; // 8K on chip + 16K
    s.xdataLimit = 32767;
    OverlapRange r;
    const struct {
        M mode;
        uint16_t codeLimit;
        const char *start, *end, *message;
    } cases[] = {
        {M::Both, 24575, "G000", "3000", "Illegal Overlap Starting Address."},
        {M::Both, 24575, "2000", "", "Illegal Overlap Ending Address."},
        {M::Both, 24575, "3000", "2000", "Illegal Address."},
        {M::Both, 24575, "1000", "3000", "User cannot Overlap the Internal Flash Memory."},
        {M::Both, 24575, "2000", "6000", "No External Program Memory in Given Address."},
        {M::Both, 24575, "2000", "9000", "No External Data Memory in Given Address."},
        {M::InternalOnly, 24575, "2000", "3000", "No External Program Memory."},
        {M::ExternalOnly, 8191, "1000", "2000", "No External Program Memory in Given Address."},
        {M::ExternalOnly, 8191, "1000", "1FFF", ""},
        {M::Both, 24575, "2000", "5fff", ""},
    };
    for (const auto& c : cases) {
        s.programMode = c.mode;
        s.codeLimit = c.codeLimit;
        EXPECT_EQ(messageOf(validateOverlap(c.start, c.end, s, r)), c.message)
            << c.start << "-" << c.end;
    }
    EXPECT_EQ(r.start, 0x2000);
    EXPECT_EQ(r.end, 0x5FFF);
    EXPECT_EQ(validateOverlap("3000", "2000", s, r)->title, "Address Error");
}
