// Breakpoint conditions: evaluation for every kind and device list, the
// status-bar text and the dialog's validation.
#include "machine/breakpoint.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace quorvel;
using BT = BreakpointType;

TEST(Breakpoint, EvaluatesEveryKind) {
    ChipState c = support::makeChip(0x1FFF, 0x07FF);
    const auto k52 = DeviceKind::AT89C52, k8252 = DeviceKind::AT89S8252;
    c.sfr(sfr::DPH) = 0x12;
    c.sfr(sfr::DPL) = 0x34;
    c.sfr(sfr::DP1H) = 0xAB;
    c.sfr(sfr::DP1L) = 0xCD;
    c.sfr(sfr::PSW) = 0x08; // bank 1
    c.iram[0x0F] = 0x77;    // R7 of bank 1
    c.pc = 0x0456;
    EXPECT_TRUE(breakpointHolds({BT::Register, 0, 0x1234, 4, 0}, k52, c));    // DPTR
    EXPECT_TRUE(breakpointHolds({BT::Register, 0, 0xABCD, 7, 0}, k8252, c));  // DPTR1
    EXPECT_TRUE(breakpointHolds({BT::Register, 0, 0x77, 12, 0}, k52, c));     // R7, bank 1
    EXPECT_TRUE(breakpointHolds({BT::Register, 0, 0x77, 15, 0}, k8252, c));   // R7 on the longer list
    EXPECT_FALSE(breakpointHolds({BT::Register, 0, 0x77, 13, 0}, k8252, c));  // R5 there
    EXPECT_TRUE(breakpointHolds({BT::Register, 0, 0x0456, 13, 0}, k52, c));   // PC
    c.iram[0x30] = 5;
    EXPECT_TRUE(breakpointHolds({BT::InternalMemory, 0x30, 5, 0, 0}, k52, c));
    c.xdata[0x100] = 0x42;
    EXPECT_TRUE(breakpointHolds({BT::ExternalMemory, 0x100, 0x42, 0, 0}, k52, c));
    EXPECT_TRUE(breakpointHolds({BT::ExternalMemory, 0x900, 0xFF, 0, 0}, k52, c)); // beyond limit
    c.sfr(sfr::PSW) = sfr::bits::CY;
    EXPECT_TRUE(breakpointHolds({BT::Flag, 0, 1, 0, 1}, k52, c));  // CY = 1
    EXPECT_TRUE(breakpointHolds({BT::Flag, 0, 0, 0, 3}, k52, c));  // OV = 0
    c.iram[0x2F] = 0x80;
    EXPECT_TRUE(breakpointHolds({BT::MemoryBit, 0x7F, 1, 0, 0}, k52, c));
    EXPECT_FALSE(breakpointHolds({BT::MemoryBit, 0x7E, 1, 0, 0}, k52, c));
    EXPECT_FALSE(breakpointHolds({}, k52, c));
}

// The text names the register by the device's own list (DP0H on the
// dual-DPTR parts, DPH elsewhere).
TEST(Breakpoint, StatusTextsAndDroppingAnUnavailableCondition) {
    EXPECT_EQ(breakpointStatusText({}, DeviceKind::AT89C52), "No Breakpoint Set");
    EXPECT_EQ(breakpointStatusText({BT::Register, 0, 0x5, 2, 0}, DeviceKind::AT89C52), "Break if DPH = 05H");
    EXPECT_EQ(breakpointStatusText({BT::Register, 0, 0x5, 2, 0}, DeviceKind::AT89S53),
              "Break if DP0H = 05H");

    BreakpointCondition ext{BT::ExternalMemory, 0x10, 1, 0, 0};
    dropUnavailableBreakpoint(ext, true);
    EXPECT_EQ(ext.type, BT::ExternalMemory);
    dropUnavailableBreakpoint(ext, false);
    EXPECT_EQ(ext.type, BT::None);
}

TEST(Breakpoint, DialogValidation) {
    const auto k = DeviceKind::AT89C52;
    const struct {
        BT type;
        int selection;
        const char *address, *data, *message;
    } refused[] = {
        {BT::Register, -1, "", "12", "No Register was Selected"},
        {BT::Register, 0, "", "123", "Illegal Data."}, // ACC takes 8 bits
        {BT::Register, 0, "", "G1", "Illegal Data."},
        {BT::InternalMemory, -1, "ZZ", "1", "Illegal Address."},
        {BT::InternalMemory, -1, "30", "", "Illegal Data."},
        {BT::Flag, -1, "", "1", "No Flag was Selected"},
        {BT::Flag, 1, "", "2", "Illegal Data."},
        {BT::MemoryBit, -1, "80", "1", "Illegal Address."},
    };
    BreakpointCondition c;
    for (const auto& r : refused) {
        const Validation v = acceptBreakpointDialog(r.type, r.selection, r.address, r.data, k, c);
        ASSERT_TRUE(v) << r.message;
        EXPECT_EQ(v->text, r.message);
    }
    EXPECT_EQ(c, BreakpointCondition{}); // nothing refused was kept
    EXPECT_FALSE(acceptBreakpointDialog(BT::Register, 4, "", "1234", k, c)); // DPTR takes 16 bits
    EXPECT_EQ(c.data, 0x1234);
    EXPECT_FALSE(acceptBreakpointDialog(BT::MemoryBit, -1, "7F", "0", k, c));
    EXPECT_EQ(c, (BreakpointCondition{BT::MemoryBit, 0x7F, 0, 0, 0}));

    EXPECT_TRUE(externalBreakpointAvailable(DeviceKind::I8031, false));
    EXPECT_FALSE(externalBreakpointAvailable(DeviceKind::AT89C52, false));
    EXPECT_TRUE(externalBreakpointAvailable(DeviceKind::AT89C52, true));
}
