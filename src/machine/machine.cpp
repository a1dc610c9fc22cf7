#include "machine/machine.h"

namespace quorvel {

void configureMachine(Machine& machine, const DeviceSelection& selection) {
    machine.selection = selection;
    machine.profile = applyDevice(machine.selection);
    ChipState& chip = machine.chip;
    chip.dualDptr = machine.profile.dualDptr;
    chip.cycleTimeUs = machine.selection.cycleTimeUs;
    chip.reset();
    chip.allocate(machine.selection.codeLimit, machine.selection.xdataLimit,
                  machine.profile.eeprom);
    for (int i = 0; i < 32; ++i) chip.pins.setSetting(i, kInput0);
    chip.pins.applySettings(chip.portLatches());
}

} // namespace quorvel
