// The "Input/Output Levels" window's logic and the analog comparator of the
// 20-pin devices.
//
// Lines: every port line of the device's layout gets an input choice ("0",
// "1", "NC", and "Pulse" or "Analog" where the line has that function) and a
// latch text. The comparator reads P1.0 (+) and P1.1 (-) as voltages set by
// two sliders and writes the level of P3.6, its output.
//
// Timing: none; everything happens when the user acts. Pulse buttons raise
// the one-shot requests that the timer and interrupt logic take.
//
// Not modelled: analog behaviour beyond the two voltages (no hysteresis, no
// settling time); the comparator is only evaluated when a slider or an input
// choice of P1.0/P1.1 changes.
//
// Threads: user-interface thread. While a run is active the caller applies
// input changes, pulse buttons and slider moves under the run controller's
// pause guard; these are the plain core operations.
#pragma once

#include "chip/chip_state.h"
#include "chip/device.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// ---- layouts

enum class IoLayout : uint8_t {
    TwentyPin, // AT89C1051/2051/4051: ports 1 and 3, comparator, four pulse buttons
    FortyPin,  // 40-pin devices without an external bus: ports 0-3, six pulse buttons
    Bus,       // 8031/8032 and 40-pin devices with external memory: ports 1 and 3
};
IoLayout ioLayout(const DeviceSelection& selection);
// The port groups shown, "Port %d" in this order.
std::vector<int> ioPorts(IoLayout layout);
// Pins with an input choice and a latch text (P3.6 has neither on 20-pin devices).
uint32_t ioPins(IoLayout layout);

// The choices of a pin's drop-down list: "0", "1", "NC", and as a fourth
// entry "Pulse" or "Analog" where the pin has that function. Empty for a pin
// outside the layout.
std::vector<std::string> ioInputChoices(const DeviceSelection& selection, int index);
bool isComparatorDevice(DeviceKind kind);

// ---- comparator

struct ComparatorState {
    int8_t plusVoltage = 0;  // P1.0 (+), tenths of a volt, 0-50
    int8_t minusVoltage = 0; // P1.1 (-)
    bool operator==(const ComparatorState&) const = default;
};
constexpr int kComparatorMaxTenths = 50;
constexpr int kComparatorThreshold = 10; // 1.0 V and above reads as level 1

// A slider moved (input 0: P1.0, 1: P1.1): stores the voltage (clamped to
// 0-50), sets that pin's level by the 1.0 V threshold and recomputes P3.6.
void moveComparatorSlider(PinState& pins, ComparatorState& comparator, int input, int tenths);
// Recomputes from the input settings: "0" is 0 V, "1" 5 V, "NC" and "Analog"
// the slider voltage (that pin's level then follows the threshold). P3.6 is 1
// when the effective P1.0 voltage is strictly above the P1.1 voltage.
void evaluateComparator(PinState& pins, const ComparatorState& comparator);
bool comparatorSliderEnabled(const PinState& pins, int input);
std::string comparatorVoltageText(int tenths); // "Voltage = %1d.%1d V"
std::string comparatorOutputText(const PinState& pins); // "Input Level at P3.6 = %d"

// ---- input choices

// A new choice for pin `index`: the setting is stored, the level set for
// "1", cleared for "0", "Pulse" and "Analog", kept for "NC"; on a comparator
// device a change of P1.0 or P1.1 re-evaluates the comparator. Returns false
// (and changes nothing) for a pin or choice the layout does not offer.
bool setPinInput(PinState& pins, const ComparatorState& comparator,
                 const DeviceSelection& selection, int index, uint8_t setting);

// The window was created: each level bit agrees with its setting ("1" sets,
// "0", "Pulse" and "Analog" clear, "NC" leaves it); on a comparator device
// the comparator is re-evaluated so P1.0, P1.1 and P3.6 match the sliders.
void ioWindowOpened(PinState& pins, const ComparatorState& comparator, DeviceKind kind);

// ---- pulse buttons

enum class PulseButton : uint8_t { T0, T1, T2, T2EX, INT0, INT1 };
struct PulseButtonInfo {
    const char* caption;
    int pin;               // pin index whose setting must be "Pulse"
    PulseRequest request;
};
const PulseButtonInfo& pulseButtonInfo(PulseButton button);
// The buttons of group "Clock Pulse Inputs", in their order.
std::vector<PulseButton> ioPulseButtons(IoLayout layout);
bool pulseButtonEnabled(const PinState& pins, PulseButton button);
// Raises the button's pulse request; "T2EX" only while EXEN2 is set. Returns
// whether a request was raised (a disabled button raises none).
bool pressPulseButton(ChipState& chip, PulseButton button);

// ---- output latch texts

// "P%1x.%1x = %1x"
std::string latchText(int index, bool value);

// Kept by the window: the latch values it last showed, so that a refresh
// rewrites only the texts that changed.
struct LatchTextTracker {
    uint32_t shown = 0;
    // At creation every text is written once.
    void start(uint32_t latches) { shown = ~latches; }
    // The pins among `pins` whose latch differs from what was shown; they
    // are remembered as shown.
    uint32_t changed(uint32_t latches, uint32_t pins) {
        uint32_t diff = (latches ^ shown) & pins;
        shown ^= diff;
        return diff;
    }
};

} // namespace quorvel
