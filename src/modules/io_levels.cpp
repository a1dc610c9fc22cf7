#include "modules/io_levels.h"

#include <algorithm>
#include <cstdio>

namespace quorvel {

namespace {

constexpr int kPinP10 = 8, kPinP11 = 9, kPinP36 = 30;

using K = DeviceKind;

// The fourth drop-down entry of a pin, or null.
const char* fourthChoice(DeviceKind kind, int index) {
    if (index >= 26 && index <= 29) return "Pulse"; // INT0, INT1, T0, T1
    if (index != kPinP10 && index != kPinP11) return nullptr;
    switch (kind) {
    case K::AT89C52:
    case K::AT89C55:
    case K::AT89S53:
    case K::AT89S8252:
    case K::I8032: return "Pulse"; // T2, T2EX
    case K::AT89C1051:
    case K::AT89C2051:
    case K::AT89C4051: return "Analog";
    default: return nullptr;
    }
}

// The voltage a comparator input sees under its input setting: "0" is 0 V,
// "1" 5 V, "NC" and "Analog" the slider.
bool followsSlider(const PinState& pins, int index) {
    return pins.setting[size_t(index)] != kInput0 && pins.setting[size_t(index)] != kInput1;
}
int voltageOf(const PinState& pins, int index, int slider) {
    if (followsSlider(pins, index)) return slider;
    return pins.setting[size_t(index)] == kInput1 ? kComparatorMaxTenths : 0;
}

} // namespace

// ---- layouts

IoLayout ioLayout(const DeviceSelection& selection) {
    if (!selection.info().has40Pins()) return IoLayout::TwentyPin;
    return availablePinMask(selection) == 0xFFFFFFFFu ? IoLayout::FortyPin : IoLayout::Bus;
}

std::vector<int> ioPorts(IoLayout layout) {
    if (layout == IoLayout::FortyPin) return {0, 1, 2, 3};
    return {1, 3};
}

uint32_t ioPins(IoLayout layout) {
    switch (layout) {
    case IoLayout::TwentyPin: return 0xBF00FF00u; // P1, P3 without P3.6
    case IoLayout::FortyPin: return 0xFFFFFFFFu;
    case IoLayout::Bus: return 0xFF00FF00u;
    }
    return 0;
}

std::vector<std::string> ioInputChoices(const DeviceSelection& selection, int index) {
    if (index < 0 || index >= 32 || !((ioPins(ioLayout(selection)) >> index) & 1u)) return {};
    std::vector<std::string> choices{"0", "1", "NC"};
    if (const char* fourth = fourthChoice(selection.kind, index)) choices.push_back(fourth);
    return choices;
}

bool isComparatorDevice(DeviceKind kind) { return !deviceInfo(kind).has40Pins(); }

// ---- comparator

void moveComparatorSlider(PinState& pins, ComparatorState& comparator, int input, int tenths) {
    if (input != 0 && input != 1) return;
    const int8_t voltage = int8_t(std::clamp(tenths, 0, kComparatorMaxTenths));
    (input == 0 ? comparator.plusVoltage : comparator.minusVoltage) = voltage;
    pins.setLevel(kPinP10 + input, voltage >= kComparatorThreshold);
    // The output compares what each input really sees: an input held at "0"
    // or "1" is 0 V or 5 V whatever its slider says.
    const int plus = voltageOf(pins, kPinP10, comparator.plusVoltage);
    const int minus = voltageOf(pins, kPinP11, comparator.minusVoltage);
    pins.setLevel(kPinP36, plus > minus);
}

void evaluateComparator(PinState& pins, const ComparatorState& comparator) {
    const std::array<int, 2> sliders{comparator.plusVoltage, comparator.minusVoltage};
    for (int input = 0; input < 2; ++input)
        if (followsSlider(pins, kPinP10 + input))
            pins.setLevel(kPinP10 + input, sliders[size_t(input)] >= kComparatorThreshold);
    const int plus = voltageOf(pins, kPinP10, sliders[0]);
    const int minus = voltageOf(pins, kPinP11, sliders[1]);
    pins.setLevel(kPinP36, plus > minus);
}

bool comparatorSliderEnabled(const PinState& pins, int input) {
    return (input == 0 || input == 1) && pins.setting[size_t(kPinP10 + input)] == kInputPulse;
}

std::string comparatorVoltageText(int tenths) {
    char text[32];
    std::snprintf(text, sizeof text, "Voltage = %1d.%1d V", tenths / 10, tenths % 10);
    return text;
}

std::string comparatorOutputText(const PinState& pins) {
    return pins.level(kPinP36) ? "Input Level at P3.6 = 1" : "Input Level at P3.6 = 0";
}

// ---- input choices

bool setPinInput(PinState& pins, const ComparatorState& comparator,
                 const DeviceSelection& selection, int index, uint8_t setting) {
    const std::vector<std::string> choices = ioInputChoices(selection, index);
    if (setting >= choices.size()) return false;
    pins.setSetting(index, setting);
    // "1", a pulse source (idle high) and "NC" high; "0" low; an analog
    // input follows its voltage below.
    pins.setLevel(index, setting != kInput0);
    if (isComparatorDevice(selection.kind) && (index == kPinP10 || index == kPinP11))
        evaluateComparator(pins, comparator);
    return true;
}

void ioWindowOpened(PinState& pins, const ComparatorState& comparator, DeviceKind kind) {
    for (int i = 0; i < 32; ++i) {
        const uint8_t setting = pins.setting[size_t(i)];
        if (setting == kInput0 || setting == kInput1) pins.setLevel(i, setting == kInput1);
    }
    if (isComparatorDevice(kind)) evaluateComparator(pins, comparator);
}

// ---- pulse buttons

const PulseButtonInfo& pulseButtonInfo(PulseButton button) {
    static constexpr std::array<PulseButtonInfo, 6> buttons{{
        {"T0", 28, kPulseT0},     // P3.4
        {"T1", 29, kPulseT1},     // P3.5
        {"T2", 8, kPulseT2},      // P1.0
        {"T2EX", 9, kPulseT2ex},  // P1.1
        {"INT0", 26, kPulseInt0}, // P3.2
        {"INT1", 27, kPulseInt1}, // P3.3
    }};
    return buttons[size_t(button)];
}

std::vector<PulseButton> ioPulseButtons(IoLayout layout) {
    using B = PulseButton;
    if (layout == IoLayout::TwentyPin) return {B::T0, B::T1, B::INT0, B::INT1};
    return {B::T0, B::T1, B::T2, B::T2EX, B::INT0, B::INT1};
}

bool pulseButtonEnabled(const PinState& pins, PulseButton button) {
    return pins.setting[size_t(pulseButtonInfo(button).pin)] == kInputPulse;
}

bool pressPulseButton(ChipState& chip, PulseButton button) {
    if (!pulseButtonEnabled(chip.pins, button)) return false;
    if (button == PulseButton::T2EX && !(chip.sfr(sfr::T2CON) & sfr::bits::EXEN2)) return false;
    chip.pins.pulseRequests |= pulseButtonInfo(button).request;
    return true;
}

// ---- output latch texts

std::string latchText(int index, bool value) {
    char text[16];
    std::snprintf(text, sizeof text, "P%1x.%1x = %1x", (index >> 3) & 3, index & 7, value ? 1 : 0);
    return text;
}

} // namespace quorvel
