// The whole simulated machine as one copyable value: the device selection and
// what it implies, the chip (storage, pins, on-chip peripherals) and the
// external parts wired to it. The
// application owns exactly one; tests build as many as they like. Copies
// compare member by member (the pointers below included).
#pragma once

#include "chip/chip_state.h"
#include "chip/device.h"
#include "machine/code_profile.h"
#include "modules/module_state.h"

namespace quorvel {

class CallStack;
class WaveRecorder;
class Watchpoints;

struct Machine {
    DeviceSelection selection;
    DeviceProfile profile;
    ChipState chip;
    ModuleState modules;
    CodeProfile codeProfile; // off unless switched on
    // Records the port lines while set (not owned; a copy of the machine
    // records into the same one).
    WaveRecorder* wave = nullptr;
    // Fed by the execution loop while set (not owned, as `wave`): the
    // calls, returns and interrupts taken, and the places watched for a
    // change of value (a run stops after the instruction that changed one).
    CallStack* callStack = nullptr;
    Watchpoints* watchpoints = nullptr;
    bool operator==(const Machine&) const = default;
};

// Start-up order after the device dialog: apply the device, reset the chip,
// allocate the memories for the selection's limits, then put every port line
// unconnected ("NC": it reads its own latch) and apply the pin settings.
void configureMachine(Machine& machine, const DeviceSelection& selection);

} // namespace quorvel
