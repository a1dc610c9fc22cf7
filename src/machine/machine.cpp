#include "machine/machine.h"

namespace quorvel {

namespace {
constexpr int kComparatorOutput = 30; // P3.6
}

void configureMachine(Machine& machine, const DeviceSelection& selection) {
    machine.selection = selection;
    machine.profile = applyDevice(machine.selection);
    ChipState& chip = machine.chip;
    chip.dualDptr = machine.profile.dualDptr;
    chip.cycleTimeUs = machine.selection.cycleTimeUs;
    chip.reset();
    chip.allocate(machine.selection.codeLimit, machine.selection.xdataLimit,
                  machine.profile.eeprom);
    // Nothing is wired yet: every line reads its latch. On the 20-pin parts
    // P3.6 is the comparator's output, low until the inputs are evaluated.
    chip.pins = PinState{};
    if (!machine.selection.info().has40Pins()) chip.pins.setSetting(kComparatorOutput, kInput0);
    chip.pins.applySettings(chip.portLatches());
}

} // namespace quorvel
