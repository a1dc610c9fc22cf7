// The I/O window's logic: layouts and input choices per device, input
// changes, pulse buttons, latch texts, and the analog comparator.
#include "modules/io_levels.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace quorvel;
using K = DeviceKind;

namespace {

DeviceSelection selectionFor(DeviceKind kind, uint16_t xdataLimit = 0) {
    DeviceSelection selection;
    selection.kind = kind;
    selection.xdataLimit = xdataLimit;
    return selection;
}

TEST(IoLevels, LayoutsAndChoices) {
    EXPECT_EQ(ioLayout(selectionFor(K::AT89C2051)), IoLayout::TwentyPin);
    EXPECT_EQ(ioLayout(selectionFor(K::AT89C52)), IoLayout::FortyPin);
    EXPECT_EQ(ioLayout(selectionFor(K::AT89C52, 0x1FFF)), IoLayout::Bus);
    EXPECT_EQ(ioLayout(selectionFor(K::I8031)), IoLayout::Bus);

    // Pulses on INT0 and on T2/T2EX only where timer 2 exists; the
    // comparator's inputs are analog; no choice for lines that are not inputs.
    using V = std::vector<std::string>;
    const V pulse{"0", "1", "NC", "Pulse"};
    for (const auto& [kind, xdata, pin, choices] :
         {std::tuple{K::I8031, 0, 26, pulse}, {K::I8031, 0, 8, V{"0", "1", "NC"}}, {K::I8032, 0, 8, pulse},
          {K::AT89S8252, 0, 9, pulse}, {K::AT89C4051, 0, 9, V{"0", "1", "NC", "Analog"}},
          {K::AT89C2051, 0, 30, V{}}, {K::AT89C2051, 0, 0, V{}}, {K::AT89C51, 0x07FF, 16, V{}}})
        EXPECT_EQ(ioInputChoices(selectionFor(kind, uint16_t(xdata)), pin), choices) << int(kind) << " " << pin;
}

TEST(IoLevels, ChangingAnInputSetting) {
    Machine m = support::makeMachine(K::AT89C52);
    PinState& pins = m.chip.pins;
    const DeviceSelection& sel = m.selection;
    ComparatorState comparator;
    ASSERT_TRUE(setPinInput(pins, comparator, sel, 12, kInput1));
    EXPECT_TRUE(pins.level(12));
    ASSERT_TRUE(setPinInput(pins, comparator, sel, 12, kInputNC));
    EXPECT_TRUE(pins.level(12));
    EXPECT_TRUE(pins.ncMask & (1u << 12));
    ASSERT_TRUE(setPinInput(pins, comparator, sel, 28, kInput0));
    EXPECT_FALSE(pins.ncMask & (1u << 28));
    ASSERT_TRUE(setPinInput(pins, comparator, sel, 28, kInputPulse));
    EXPECT_TRUE(pins.level(28)); // a pulse source idles high
    // A choice the pin does not offer changes nothing.
    EXPECT_FALSE(setPinInput(pins, comparator, sel, 12, kInputPulse));
    EXPECT_EQ(pins.setting[12], kInputNC);
    EXPECT_FALSE(setPinInput(pins, comparator, sel, 40, kInput1));
}

TEST(IoLevels, PulseButtonsNeedTheirPinOnPulse) {
    Machine m = support::makeMachine(K::AT89C52);
    ComparatorState comparator;
    EXPECT_FALSE(pulseButtonEnabled(m.chip.pins, PulseButton::T0));
    EXPECT_FALSE(pressPulseButton(m.chip, PulseButton::T0));
    EXPECT_EQ(m.chip.pins.pulseRequests, 0);

    setPinInput(m.chip.pins, comparator, m.selection, 28, kInputPulse); // P3.4 = T0
    EXPECT_FALSE(pulseButtonEnabled(m.chip.pins, PulseButton::T1));
    EXPECT_TRUE(pressPulseButton(m.chip, PulseButton::T0));
    EXPECT_EQ(m.chip.pins.pulseRequests, kPulseT0);

    setPinInput(m.chip.pins, comparator, m.selection, 26, kInputPulse); // P3.2 = INT0
    EXPECT_TRUE(pressPulseButton(m.chip, PulseButton::INT0));
    EXPECT_EQ(m.chip.pins.pulseRequests, kPulseT0 | kPulseInt0);

    // T2EX raises its request only while EXEN2 is set.
    setPinInput(m.chip.pins, comparator, m.selection, 9, kInputPulse);
    EXPECT_FALSE(pressPulseButton(m.chip, PulseButton::T2EX));
    EXPECT_FALSE(m.chip.pins.pulseRequests & kPulseT2ex);
    m.chip.sfr(sfr::T2CON) = sfr::bits::EXEN2;
    EXPECT_TRUE(pressPulseButton(m.chip, PulseButton::T2EX));
    EXPECT_TRUE(m.chip.pins.pulseRequests & kPulseT2ex);
}

TEST(IoLevels, LatchTextsAreRewrittenOnlyWhenChanged) {
    const uint32_t pins = ioPins(IoLayout::TwentyPin);
    LatchTextTracker tracker;
    tracker.start(0xFFFFFFFF);
    EXPECT_EQ(tracker.changed(0xFFFFFFFF, pins), pins); // every text written once
    EXPECT_EQ(tracker.changed(0xFFFFFFFF, pins), 0u);
    EXPECT_EQ(tracker.changed(0xFFFFFEFF, pins), 1u << 8); // P1.0 now 0
    EXPECT_EQ(tracker.changed(0xBFFFFEFF, pins), 0u);      // P3.6 has no text
    EXPECT_EQ(tracker.changed(0xFFFFFFFF, pins), 1u << 8);
}

class Comparator : public ::testing::Test {
protected:
    Machine m = support::makeMachine(K::AT89C2051);
    ComparatorState comparator;
    PinState& pins = m.chip.pins;
    void choose(int pin, uint8_t setting) {
        ASSERT_TRUE(setPinInput(pins, comparator, m.selection, pin, setting));
    }
    void slide(int input, int tenths) { moveComparatorSlider(pins, comparator, input, tenths); }
};

TEST_F(Comparator, OutputFollowsTheVoltages) {
    choose(8, kInputPulse); // "Analog"
    choose(9, kInputPulse);
    EXPECT_TRUE(comparatorSliderEnabled(pins, 0));
    slide(0, 25);
    slide(1, 25);
    EXPECT_FALSE(m.chip.readBit(0xB6)); // equal voltages give 0
    slide(0, 26);
    EXPECT_TRUE(m.chip.readBit(0xB6));
    EXPECT_EQ(comparatorVoltageText(comparator.plusVoltage), "Voltage = 2.6 V");

    // The digital reading of an input uses the 1.0 V threshold.
    slide(1, 9);
    EXPECT_FALSE(m.chip.readBit(0x91));
    slide(1, 10);
    EXPECT_TRUE(m.chip.readBit(0x91));
    slide(1, 80); // clamped to 5.0 V
    EXPECT_EQ(comparator.minusVoltage, 50);
    EXPECT_FALSE(m.chip.readBit(0xB6));
}

TEST_F(Comparator, InputSettingsGiveFixedVoltages) {
    choose(8, kInputPulse);
    slide(0, 30);
    choose(9, kInput1); // P1.1 at "1": 5 V, above any slider
    EXPECT_FALSE(comparatorSliderEnabled(pins, 1));
    EXPECT_FALSE(pins.level(30));
    choose(9, kInput0); // 0 V
    EXPECT_TRUE(pins.level(30));
    choose(8, kInput0); // 0 V against 0 V
    EXPECT_FALSE(pins.level(30));
    // "NC" uses the slider again and recomputes the pin level from it.
    choose(8, kInputNC);
    EXPECT_TRUE(pins.level(30));
    EXPECT_TRUE(pins.level(8));
}

TEST_F(Comparator, WindowOpeningMakesLevelsAgree) {
    choose(8, kInputPulse);
    slide(0, 40);
    pins.setSetting(12, kInput1);
    pins.setSetting(13, kInputNC);
    pins.setLevel(13, true);
    pins.levels &= ~((1u << 8) | (1u << 30) | (1u << 12));
    ioWindowOpened(pins, comparator, m.selection.kind);
    EXPECT_TRUE(pins.level(12));
    EXPECT_TRUE(pins.level(13)); // "NC" left alone
    EXPECT_TRUE(pins.level(8));  // analog input above 1.0 V
    EXPECT_TRUE(pins.level(30)); // 4.0 V against P1.1 on "0"
}

} // namespace
