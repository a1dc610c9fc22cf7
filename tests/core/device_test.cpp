// Device catalogue, code-limit arithmetic, the device dialogs' validation and
// applying a device (fixed limits, pin mask, commands that need a part).
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

// Every device by its caption name and its combo index; names as users type them.
TEST(DeviceCatalogue, NamesAndComboIndicesRoundTrip) {
    for (int i = 0; i < kDeviceCount; ++i) {
        const K kind = deviceKindOfComboIndex(i);
        EXPECT_EQ(comboIndexOfDeviceKind(kind), i);
        DeviceKind parsed{};
        EXPECT_TRUE(parseDeviceName(deviceInfo(kind).captionName, parsed) && parsed == kind) << i;
    }
    DeviceKind parsed{};
    EXPECT_TRUE(parseDeviceName("89c2051", parsed) && parsed == K::AT89C2051);
    EXPECT_FALSE(parseDeviceName("AT89C99", parsed));
}

// The limit of each mode and size, and the dialogs reopening on the size
// that gave it.
TEST(CodeLimit, ModesSizesAndTheChoiceThatGaveThem) {
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
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << int(c.kind) << " mode " << int(c.mode) << " choice " << c.choice);
        EXPECT_EQ(computeCodeLimit(c.kind, c.mode, c.choice), c.limit);
        if (c.mode != M::InternalOnly) {
            EXPECT_EQ(initialSizeChoice(c.kind, c.mode, c.limit), c.choice);
        }
    }
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
    for (const auto& r : refused)
        EXPECT_EQ(messageOf(acceptDeviceDialog(s, r.frequency, r.combo)), r.message) << r.frequency;
    // The AT89C55 (combo 5) accepts what the AT89C52 refused.
    EXPECT_FALSE(acceptDeviceDialog(s, "30000000", 5));
    EXPECT_EQ(s.kind, K::AT89C55);
    // OK computes the cycle time and the code limit.
    s.programMode = M::Both;
    s.externalSizeChoice = 3;
    ASSERT_FALSE(acceptDeviceDialog(s, "11059200", 4));
    EXPECT_NEAR(s.cycleTimeUs, 1.085f, 0.001f);
    EXPECT_EQ(s.codeLimit, 24575);
}

// The 20-pin parts fix their memories and lack lines; external memory of
// either kind takes P0 and P2; commands for parts a device lacks are off.
TEST(ApplyDevice, FixedMemoriesPinMasksAndCommands) {
    DeviceSelection s;
    s.kind = K::AT89C2051;
    s.xdataLimit = 8191;
    DeviceProfile p = applyDevice(s);
    EXPECT_EQ(s.codeLimit, 2047);
    EXPECT_EQ(s.xdataLimit, 0);
    EXPECT_EQ(p.availablePinMask, 0xBF00FF00u); // no P3.6, P0 or P2

    s.kind = K::AT89C1051;
    p = applyDevice(s);
    EXPECT_EQ(s.codeLimit, 1023);
    EXPECT_EQ(p.ramSize, 64);
    EXPECT_TRUE(disables(p, cmd::SerialPortWindow));

    s = DeviceSelection{};
    s.kind = K::AT89C51;
    s.codeLimit = 4095;
    EXPECT_EQ(applyDevice(s).availablePinMask, 0xFFFFFFFFu);
    s.xdataLimit = 8191;
    EXPECT_EQ(applyDevice(s).availablePinMask, 0xFF00FF00u);
    s.xdataLimit = 0;
    s.programMode = M::Both;
    EXPECT_EQ(applyDevice(s).availablePinMask, 0xFF00FF00u);

    s = DeviceSelection{};
    s.kind = K::AT89S8252;
    s.xdataLimit = 2047;
    p = applyDevice(s);
    EXPECT_TRUE(p.eeprom && p.dualDptr);
    EXPECT_FALSE(disables(p, cmd::EepromWindow));
    s.kind = K::AT89C52;
    s.xdataLimit = 0;
    p = applyDevice(s);
    EXPECT_TRUE(disables(p, cmd::EepromWindow));
    EXPECT_TRUE(disables(p, cmd::ExternalDataMemoryWindow));
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
    EXPECT_EQ(m.chip.sfr(sfr::SP), 7);
    // Nothing is wired: every line reads its latch, and P1 reads FFH.
    EXPECT_EQ(m.chip.readDirect(sfr::P1), 0xFF);
}

TEST(Overlap, ValidationMessages) {
    DeviceSelection s;
    s.kind = K::AT89C52;
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
}
